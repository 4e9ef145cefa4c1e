#include "report/BandElements.h"
#include "errors/EAbort.h"

#include <QColor>
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
    : m_title(def.title), m_params(params), m_issued(issued), m_images(std::make_shared<PageImages>())
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
    const ExpressionNames names = ReportDefinition::elementNames(kind, record, params);
    ExpressionNames rowNames = names;
    rowNames.totalsAllowed = false;
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
        element.format = ReportFormat::ValueFormat::parse(e.format);
        const QString value = e.valueExpression();
        if (!value.trimmed().isEmpty()) {
            element.value = compile(value, names, QStringLiteral("a expressão d%1").arg(what));
            if (!element.value.totals().isEmpty())
                element.totals = std::make_shared<ExpressionTotals>(element.value);
        }
        for (qsizetype s = 0; s < e.styles.size(); ++s) {
            const ReportStyleRule &rule = e.styles.at(s);
            element.styles << BoundStyle{
                compile(rule.when, rowNames, QStringLiteral("a condição do estilo %1 d%2").arg(s + 1).arg(what)),
                lookOfRule(rule)};
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

void BandElements::openGroup(int level)
{
    if (level < m_groupFooters.size())
        for (Element &e : m_groupFooters[level].elements)
            if (e.totals)
                e.totals->reset();
}

void BandElements::add(const QVariantList &row)
{
    const auto count = [&](Band &band) {
        for (Element &e : band.elements)
            if (e.totals)
                e.totals->add(RunScope(row, m_params, nullptr, 0, m_issued));
    };
    for (Band &band : m_groupFooters)
        count(band);
    count(m_summary);
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
        p.look = lookOf(e.styles, scope);
        placed << p;
    }
    return placed;
}
