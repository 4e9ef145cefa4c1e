#include "report/BandElements.h"
#include "errors/EAbort.h"

#include <QColor>
#include <QRegularExpression>
#include <QSqlRecord>

CellLook lookOfRule(const ReportStyleRule &rule)
{
    const auto color = [](const QString &text) { return text.isEmpty() ? QRgb(0) : QColor(text).rgba(); };
    return CellLook{color(rule.color), color(rule.background), rule.bold};
}

CellLook lookOf(const QList<BoundStyle> &styles, const ExpressionScope &scope)
{
    CellLook look;
    for (const BoundStyle &s : styles)
        if (s.when.holds(scope))
            look = s.look.over(look);
    return look;
}

BandElements::BandElements(const ReportDefinition &def, const TParams &params, const QSqlRecord &record,
                           const QDateTime &issued)
    : m_title(def.title), m_params(params), m_issued(issued), m_columns(def.columns),
      m_images(std::make_shared<PageImages>())
{
    def.forEachBand([&](const ReportBand &band, const QString &where, ReportDefinition::BandKind kind, int) {
        Band bound = bind(band, where, kind, record);
        m_empty = m_empty && bound.heightMm <= 0 && bound.elements.isEmpty();
        switch (kind) {
        case ReportDefinition::BandKind::PageHeader: m_pageHeader = bound; break;
        case ReportDefinition::BandKind::PageFooter: m_pageFooter = bound; break;
        case ReportDefinition::BandKind::GroupHeader: m_groupHeaders << bound; break;
        case ReportDefinition::BandKind::GroupFooter: m_groupFooters << bound; break;
        case ReportDefinition::BandKind::Summary: m_summary = bound; break;
        }
    });
}

BandElements::Band BandElements::bind(const ReportBand &band, const QString &where, ReportDefinition::BandKind kind,
                                      const QSqlRecord &record)
{
    QStringList params;
    for (int i = 0; i < m_params.Count(); ++i)
        params << m_params[i].Name();
    // A style reads what the element's value may read: totals too where a group or the report ends.
    const ExpressionNames names = ReportDefinition::elementNames(kind, record, params);
    const bool pageBand =
        kind == ReportDefinition::BandKind::PageHeader || kind == ReportDefinition::BandKind::PageFooter;
    const auto compile = [&](const QString &text, const ExpressionNames &n, const QString &what) {
        ExpressionError error;
        ReportExpression e = ReportExpression::compile(text, n, &error);
        if (error.isError())
            throw ESuiteError(QStringLiteral("Relatório '%1': %2 está errada (%3). Corrija a definição do relatório.")
                                  .arg(m_title, what, error.describe()));
        return e;
    };
    Band bound;
    bound.heightMm = band.height;
    for (qsizetype i = 0; i < band.elements.size(); ++i) {
        const ReportElement &e = band.elements.at(i);
        const QString what = QStringLiteral("%1 %2").arg(e.label(int(i)), where);
        Element element;
        element.element = e;
        element.format = ReportFormat::ValueFormat::parse(formatOf(e));
        const QString value = e.valueExpression();
        if (!value.trimmed().isEmpty()) {
            element.value = compile(value, names, QStringLiteral("a expressão d%1").arg(what));
            if (!element.value.totals().isEmpty())
                element.totals = std::make_shared<ExpressionTotals>(element.value);
            m_pageRows = m_pageRows || (pageBand && element.value.readsFields());
        }
        for (qsizetype s = 0; s < e.styles.size(); ++s) {
            const ReportStyleRule &rule = e.styles.at(s);
            BoundStyle style{
                compile(rule.when, names, QStringLiteral("a condição do estilo %1 d%2").arg(s + 1).arg(what)),
                lookOfRule(rule), nullptr};
            if (!style.when.totals().isEmpty())
                style.totals = std::make_shared<ExpressionTotals>(style.when);
            m_pageRows = m_pageRows || (pageBand && style.when.readsFields());
            element.styles << style;
        }
        if (e.kind == ReportElement::Kind::Image) {
            element.image = int(m_images->size());
            m_images->append(PageImage{e.image, e.mime});
        }
        bound.elements << element;
    }
    return bound;
}

const BandElements::Band *BandElements::find(ReportDefinition::BandKind kind, int level) const
{
    switch (kind) {
    case ReportDefinition::BandKind::PageHeader: return &m_pageHeader;
    case ReportDefinition::BandKind::PageFooter: return &m_pageFooter;
    case ReportDefinition::BandKind::GroupHeader: return level < m_groupHeaders.size() ? &m_groupHeaders.at(level) : nullptr;
    case ReportDefinition::BandKind::GroupFooter: return level < m_groupFooters.size() ? &m_groupFooters.at(level) : nullptr;
    case ReportDefinition::BandKind::Summary: return &m_summary;
    }
    return nullptr;
}

double BandElements::heightMm(ReportDefinition::BandKind kind, int level) const
{
    const Band *band = find(kind, level);
    return band ? band->heightMm : 0;
}

QString BandElements::formatOf(const ReportElement &element) const
{
    if (ReportFormat::ValueFormat::parse(element.format).kind != ReportFormat::ValueFormat::Text)
        return element.format;
    // sum(VRPRECO), avg(VRPRECO) ...: the total prints as its column does.
    static const QRegularExpression total(QStringLiteral("^\\s*(?:sum|avg|min|max)\\s*\\(\\s*([A-Za-z_][A-Za-z0-9_$]*)\\s*\\)\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = total.match(element.valueExpression());
    if (!m.hasMatch())
        return element.format;
    for (const ReportColumn &c : m_columns)
        if (c.field.compare(m.captured(1), Qt::CaseInsensitive) == 0)
            return c.format;
    return element.format;
}

namespace {
// Every total a band's elements keep, of their values and of their styles.
template <class Band, class Visit>
void eachTotal(Band &band, Visit visit)
{
    for (auto &e : band.elements) {
        if (e.totals)
            visit(*e.totals);
        for (BoundStyle &s : e.styles)
            if (s.totals)
                visit(*s.totals);
    }
}
} // namespace

void BandElements::openGroup(int level)
{
    if (level < m_groupFooters.size())
        eachTotal(m_groupFooters[level], [](ExpressionTotals &t) { t.reset(); });
}

void BandElements::add(const QVariantList &row)
{
    const RunScope scope(row, m_params, nullptr, 0, m_issued);
    const auto count = [&](ExpressionTotals &t) { t.add(scope); };
    for (Band &band : m_groupFooters)
        eachTotal(band, count);
    eachTotal(m_summary, count);
}

QList<PlacedElement> BandElements::place(ReportDefinition::BandKind kind, int level, const QVariantList &row,
                                         int page) const
{
    QList<PlacedElement> placed;
    const Band *band = find(kind, level);
    if (!band)
        return placed;
    for (const Element &e : band->elements) {
        PlacedElement p{e.element, QString(), CellLook(), e.image};
        const RunScope scope(row, m_params, e.totals.get(), page, m_issued, true);
        if (e.value.isValid())
            p.text = ReportFormat::display(e.value.evaluate(scope), e.format);
        else if (e.element.kind == ReportElement::Kind::Text)
            p.text = e.element.text;
        if (e.value.usesPageCount())
            for (const char *standIn : {"987654321", "987.654.321"})
                p.text.replace(QLatin1String(standIn), QString(QChar(pageCountMark)));
        // Each rule reads its own totals; later rules are laid over earlier ones.
        for (const BoundStyle &style : e.styles)
            if (style.when.holds(RunScope(row, m_params, style.totals.get(), page, m_issued, true)))
                p.look = style.look.over(p.look);
        placed << p;
    }
    return placed;
}
