#include "report/ReportRun.h"
#include "report/BandElements.h"
#include "report/DecimalSum.h"
#include "data/Database.h"
#include "data/PgCursor.h"
#include "errors/EAbort.h"
#include "data/SqlBinding.h"
#include "data/SqlGuard.h"
#include "report/ReportExpression.h"
#include "report/ReportFormat.h"
#include "report/ReportTemplate.h"
#include "report/SortedRuns.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>

namespace {

// Running value of one total.
struct Accumulator
{
    DecimalSum sum;
    double min = 0;
    double max = 0;

    void add(const QVariant &value)
    {
        bool ok = false;
        const double v = ReportFormat::toNumber(value, &ok);
        if (!ok)
            return;
        min = sum.count() == 0 ? v : std::min(min, v);
        max = sum.count() == 0 ? v : std::max(max, v);
        sum.add(v);
    }
};

// A total bound to the query: where its value comes from and where it is shown.
struct BoundTotal
{
    int field = -1;
    int cell = -1;
    QString op;
};

struct Band
{
    ReportTemplate text;
    QList<BoundTotal> totals;
    QList<Accumulator> acc;
    qint64 count = 0;

    void reset()
    {
        count = 0;
        for (Accumulator &a : acc)
            a = Accumulator();
    }
    void add(const QVariantList &row)
    {
        ++count;
        for (qsizetype i = 0; i < totals.size(); ++i)
            acc[i].add(row.at(totals.at(i).field));
    }
    void cells(int width, QVariantList &values, QStringList &formats) const
    {
        values = QVariantList(width);
        formats = QStringList(width);
        for (qsizetype i = 0; i < totals.size(); ++i) {
            const BoundTotal &t = totals.at(i);
            const Accumulator &a = acc.at(i);
            QVariant v;
            if (t.op == QLatin1String("count")) {
                v = a.sum.count();
                formats[t.cell] = QStringLiteral("integer");
            } else if (a.sum.count() > 0) {
                if (t.op == QLatin1String("sum"))
                    v = a.sum.value();
                else if (t.op == QLatin1String("avg"))
                    v = a.sum.value() / double(a.sum.count());
                else if (t.op == QLatin1String("min"))
                    v = a.min;
                else if (t.op == QLatin1String("max"))
                    v = a.max;
            }
            values[t.cell] = v;
        }
    }
};

QString keyOf(const QVariant &v)
{
    return v.isNull() ? QStringLiteral("\x01null") : v.toString();
}

// A report's definition bound to its query's fields: where each cell, group key and total
// comes from, and the group and summary texts ready to expand.
struct BoundReport
{
    int width = 0;
    QList<int> cellField;
    QList<int> groupField;
    QList<ReportTemplate> headers;
    QList<bool> pageBreaks;
    QList<Band> footers;
    Band summary;
    QList<BoundStyle> rowStyles;
    QList<QList<BoundStyle>> cellStyles; // per cell; empty lists when a column has none
    bool styled = false;
};

class ReportBinder
{
public:
    ReportBinder(const ReportDefinition &def, const ReportRunInfo &info, const TParams &params,
                 const QSqlRecord &record)
        : m_def(def), m_info(info), m_params(params), m_record(record)
    { }

    BoundReport bind() const
    {
        BoundReport r;
        r.width = int(m_info.columns.size());
        for (const ReportColumn &c : m_info.columns)
            r.cellField << fieldIndex(c.field, c.label());
        r.footers.resize(m_def.groups.size());
        for (qsizetype g = 0; g < m_def.groups.size(); ++g) {
            const ReportGroup &group = m_def.groups.at(g);
            r.groupField << fieldIndex(group.field, QStringLiteral("o grupo"));
            r.headers << ReportTemplate::compile(group.header, m_params, m_record);
            r.footers[g].text = ReportTemplate::compile(group.footer, m_params, m_record);
            bindTotals(group.totals, r, r.footers[g]);
            r.pageBreaks << ReportDefinition::conditionHolds(group.pageBreak, m_params, false);
        }
        r.summary.text = ReportTemplate::compile(m_def.summaryLabel, m_params, m_record);
        bindTotals(m_def.summaryTotals, r, r.summary);
        bindStyles(r);
        return r;
    }

private:
    QList<BoundStyle> styles(const QList<ReportStyleRule> &rules, const QString &where) const
    {
        ExpressionNames names;
        for (int i = 0; i < m_record.count(); ++i)
            names.fields << m_record.fieldName(i);
        for (int i = 0; i < m_params.Count(); ++i)
            names.params << m_params[i].Name();
        QList<BoundStyle> bound;
        for (qsizetype i = 0; i < rules.size(); ++i) {
            const ReportStyleRule &rule = rules.at(i);
            ExpressionError error;
            BoundStyle style{ReportExpression::compile(rule.when, names, &error), lookOfRule(rule), nullptr};
            if (error.isError())
                throw ESuiteError(QStringLiteral("Relatório '%1': a condição do estilo %2 %3 está errada (%4). "
                                                 "Corrija a definição do relatório.")
                                      .arg(m_def.title)
                                      .arg(i + 1)
                                      .arg(where, error.describe()));
            bound << style;
        }
        return bound;
    }

    void bindStyles(BoundReport &r) const
    {
        r.rowStyles = styles(m_def.rowStyles, QStringLiteral("das linhas"));
        r.styled = !r.rowStyles.isEmpty();
        for (const ReportColumn &c : m_info.columns) {
            r.cellStyles << styles(c.styles, QStringLiteral("da coluna %1").arg(c.field));
            r.styled = r.styled || !r.cellStyles.constLast().isEmpty();
        }
    }

    int fieldIndex(const QString &field, const QString &what) const
    {
        const int i = m_record.indexOf(field);
        if (i < 0)
            throw ESuiteError(QStringLiteral("Relatório '%1': %2 usa o campo %3, que a consulta não retorna. "
                                             "Corrija a definição do relatório.")
                                  .arg(m_def.title, what, field));
        return i;
    }

    void bindTotals(const QList<ReportTotal> &totals, const BoundReport &r, Band &band) const
    {
        for (const ReportTotal &t : totals) {
            int cell = -1;
            for (int i = 0; i < r.width; ++i)
                if (m_info.columns.at(i).field.compare(t.column, Qt::CaseInsensitive) == 0)
                    cell = i;
            if (cell < 0)
                continue; // its column is hidden in this run
            band.totals << BoundTotal{r.cellField.at(cell), cell, t.op};
            band.acc << Accumulator();
        }
    }

    const ReportDefinition &m_def;
    const ReportRunInfo &m_info;
    const TParams &m_params;
    const QSqlRecord &m_record;
};

BoundReport bindReport(const ReportDefinition &def, const ReportRunInfo &info, const TParams &params,
                       const QSqlRecord &record)
{
    return ReportBinder(def, info, params, record).bind();
}

// Writes the rows into the sink in order: opens and closes the groups around them and
// keeps the totals of each group and of the whole report.
class RowWriter
{
public:
    RowWriter(BoundReport &report, ReportSink &sink)
        : m_r(report), m_sink(sink), m_groups(int(report.groupField.size())), m_cells(report.width),
          m_keys(m_groups)
    { }

    void setElements(BandElements *elements)
    {
        m_elements = elements;
        m_tellRows = elements && elements->pageBandsReadRows();
    }

    // Closes the groups whose key this row changes and opens them anew, then counts it.
    void open(const QVariantList &row, bool first)
    {
        int opened = m_groups;
        for (int g = 0; g < m_groups; ++g) {
            if (first || keyOf(row.at(m_r.groupField.at(g))) != m_keys.at(g)) {
                opened = g;
                break;
            }
        }
        if (opened < m_groups && !first)
            closeGroups(opened);
        if (m_tellRows)
            m_sink.rowAhead(row);
        if (opened < m_groups) {
            for (int g = opened; g < m_groups; ++g) {
                m_keys[g] = keyOf(row.at(m_r.groupField.at(g)));
                m_r.footers[g].reset();
                m_sink.groupHeader(g, m_r.headers.at(g).expand(row), m_r.pageBreaks.at(g));
                if (m_elements) {
                    m_elements->openGroup(g);
                    band(ReportDefinition::BandKind::GroupHeader, g, row);
                }
            }
        }
        for (int g = 0; g < m_groups; ++g)
            m_r.footers[g].add(row);
        m_r.summary.add(row);
        if (m_elements)
            m_elements->add(row);
    }

    // Whether the row the query stands on belongs to another group than the last one.
    template <class Rows>
    bool groupEndsBefore(const Rows &query) const
    {
        for (int g = 0; g < m_groups; ++g)
            if (keyOf(query.value(m_r.groupField.at(g))) != m_keys.at(g))
                return true;
        return false;
    }

    void detail(const QVariantList &row, bool footerFollows, const TParams &params)
    {
        for (int c = 0; c < m_r.width; ++c)
            m_cells[c] = row.at(m_r.cellField.at(c));
        if (m_r.styled && m_sink.drawsLooks())
            giveLook(RunScope(row, params));
        m_sink.detail(m_cells, footerFollows);
        // A footer shows its group's last row: kept only at a group's end.
        if (footerFollows)
            m_lastRow = row;
    }

    // The last groups' footers, the summary and the end of the report.
    void finish(qint64 rows, const QVariantList &lastRow, bool summaryLabelled)
    {
        if (rows > 0)
            closeGroups(0);
        if (summaryLabelled || !m_r.summary.totals.isEmpty()) {
            m_r.summary.cells(m_r.width, m_totalCells, m_totalFormats);
            m_sink.summary(m_r.summary.text.expand(lastRow, m_r.summary.count), m_totalCells, m_totalFormats);
        }
        band(ReportDefinition::BandKind::Summary, -1, lastRow);
        m_sink.finish(rows);
    }

private:
    void band(ReportDefinition::BandKind kind, int level, const QVariantList &row)
    {
        if (!m_elements)
            return;
        const double height = m_elements->heightMm(kind, level);
        QList<PlacedElement> placed = m_elements->place(kind, level, row);
        if (height > 0 || !placed.isEmpty())
            m_sink.band(kind, level, height, placed);
    }

    void giveLook(const RunScope &row)
    {
        RowLook look;
        look.row = lookOf(m_r.rowStyles, row);
        bool any = look.row.isSet();
        for (const QList<BoundStyle> &cell : m_r.cellStyles) {
            look.cells << (cell.isEmpty() ? CellLook() : lookOf(cell, row));
            any = any || look.cells.constLast().isSet();
        }
        if (any)
            m_sink.detailLook(look);
    }

    // The footers read the closing groups' last row, as the summary reads the report's.
    void closeGroups(int from)
    {
        if (m_tellRows)
            m_sink.rowAhead(m_lastRow);
        for (int g = m_groups - 1; g >= from; --g) {
            const Band &footer = m_r.footers.at(g);
            footer.cells(m_r.width, m_totalCells, m_totalFormats);
            m_sink.groupFooter(g, footer.text.expand(m_lastRow, footer.count), m_totalCells, m_totalFormats);
            band(ReportDefinition::BandKind::GroupFooter, g, m_lastRow);
        }
    }

    BoundReport &m_r;
    ReportSink &m_sink;
    BandElements *m_elements = nullptr;
    bool m_tellRows = false;
    const int m_groups;
    QVariantList m_cells;
    QVariantList m_lastRow;
    QStringList m_keys;
    QVariantList m_totalCells;
    QStringList m_totalFormats;
};

// The positions of the named columns of the long-list text's result.
QList<int> columnsOf(const QSqlRecord &record, const QStringList &names, const QString &title)
{
    QList<int> out;
    for (const QString &name : names) {
        const int i = record.indexOf(name);
        if (i < 0)
            throw ESuiteError(QStringLiteral("Relatório '%1': a consulta para listas longas não tem a coluna %2, "
                                             "pela qual diz ordenar as linhas. Corrija a definição do relatório.")
                                  .arg(title, name));
        out << i;
    }
    return out;
}

} // namespace

ReportRun::ReportRun(const ReportDefinition &definition, const TParams &params, SqlDialect dialect,
                     const QSqlDatabase &db)
    : m_def(definition), m_params(params), m_dialect(dialect), m_db(db)
{ }

PreparedSql ReportRun::guarded(const QSqlDatabase &db, const QString &sql) const
{
    PreparedSql prepared = PreparedSql::prepare(sql, m_params, m_dialect);
    SqlGuard::requireOneStatement(db, prepared.text);
    return prepared;
}

void ReportRun::execGuarded(QSqlQuery &query, const QSqlDatabase &db, const QString &sql) const
{
    guarded(db, sql).exec(query);
}

// The main text, or the one for long lists when the definition's count reaches its mark on
// this database: one short statement on the run's connection, under the run's limits.
QString ReportRun::queryText(const QSqlDatabase &db)
{
    m_ranLargeList = false;
    const QString count = m_def.largeListCountFor(m_dialect);
    if (count.isEmpty() || (m_def.largeList.firstRowsOnlyOn(m_dialect) && !m_firstRowsSoon))
        return m_def.sqlFor(m_dialect);
    SqlGuard::requireSingleSelect(count,
                                  QStringLiteral("A contagem que escolhe a consulta do relatório '%1'").arg(m_def.title));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    try {
        execGuarded(query, db, count);
    } catch (const EDatabaseError &e) {
        throw e.within(QStringLiteral("Relatório '%1': a contagem que escolhe a consulta falhou. ").arg(m_def.title));
    }
    m_ranLargeList = query.next() && query.value(0).toLongLong() >= m_def.largeList.from;
    return m_ranLargeList ? m_def.largeListSqlFor(m_dialect) : m_def.sqlFor(m_dialect);
}

void ReportRun::checkSize(const QVariant &value, const QString &field) const
{
    qsizetype bytes = 0;
    if (value.typeId() == QMetaType::QString)
        bytes = static_cast<const QString *>(value.constData())->size() * 2;
    else if (value.typeId() == QMetaType::QByteArray)
        bytes = static_cast<const QByteArray *>(value.constData())->size();
    if (bytes > maxValueBytes)
        throw ESuiteError(QStringLiteral("Relatório '%1': o campo %2 trouxe um valor de %3 KB, e um campo aceita até "
                                         "%4 KB. Corrija a consulta do relatório.")
                              .arg(m_def.title, field)
                              .arg(bytes >> 10)
                              .arg(maxValueBytes >> 10));
}

QString ReportRun::runLookup(const QString &sql, const QSqlDatabase &db) const
{
    SqlGuard::requireSingleSelect(sql, QStringLiteral("A consulta do cabeçalho do relatório '%1'").arg(m_def.title));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    try {
        execGuarded(query, db, sql);
    } catch (const EDatabaseError &e) {
        throw e.within(QStringLiteral("Relatório '%1': a consulta do cabeçalho falhou. ").arg(m_def.title));
    }
    if (!query.next())
        return QString();
    checkSize(query.value(0), query.record().fieldName(0));
    return query.value(0).toString().trimmed();
}

void ReportRun::runLookups(const QSqlDatabase &db)
{
    for (qsizetype i = 0; i < m_lookups.size(); ++i) {
        const QString name = runLookup(m_lookups.at(i), db);
        if (!name.isEmpty())
            m_info.criteria[m_lookupCriteria.at(i)] += QStringLiteral(" - ") + name;
    }
    m_lookedUp = true;
}

void ReportRun::prepare()
{
    m_def.validate();
    m_info = ReportRunInfo();
    m_info.code = m_def.code;
    m_info.heading = ReportTemplate::expandParams(m_def.heading.isEmpty() ? m_def.title : m_def.heading, m_params);
    m_info.footer = ReportTemplate::expandParams(m_def.footer, m_params);
    m_info.issued = QDateTime::currentDateTime();
    m_info.landscape = m_def.landscape;
    m_info.margins = m_def.margins;
    m_info.columnsFillWidth = m_def.columnsFillWidth;
    m_info.groupCount = int(m_def.groups.size());
    for (const ReportGroup &g : m_def.groups)
        m_info.repeatHeaders << g.repeatHeader;
    for (const ReportColumn &c : m_def.columns)
        if (ReportDefinition::conditionHolds(c.visibleWhen, m_params, true))
            m_info.columns << c;
    m_lookups.clear();
    m_lookupCriteria.clear();
    for (const ReportCriterion &c : m_def.criteria) {
        const QString text = ReportTemplate::expandParams(c.text, m_params).trimmed();
        if (text.isEmpty())
            continue;
        if (!c.lookup.trimmed().isEmpty()) {
            m_lookups << c.lookup;
            m_lookupCriteria << int(m_info.criteria.size());
        }
        m_info.criteria << (c.label.isEmpty() ? text : c.label + QStringLiteral(": ") + text);
    }
    m_prepared = true;
    m_lookedUp = false;
}

qint64 ReportRun::execute(ReportSink &sink, const Progress &progress, const QSqlDatabase &db)
{
    if (!m_prepared)
        prepare();

    const QSqlDatabase reading = db.isValid() ? db : m_db;
    if (!m_lookedUp)
        runLookups(reading);
    const QString sql = queryText(reading);
    SqlGuard::requireSingleSelect(sql, QStringLiteral("A consulta do relatório '%1'").arg(m_def.title));
    try {
        const PreparedSql prepared = guarded(reading, sql);
        m_ranCursor = m_firstRowsSoon && m_dialect == SqlDialect::PostgreSQL;
        if (m_ranCursor) {
            PgCursor cursor(reading);
            cursor.open(prepared);
            return streamInOrder(cursor, sink, progress);
        }
        QSqlQuery query(reading);
        query.setForwardOnly(true);
        prepared.exec(query);
        return streamInOrder(query, sink, progress);
    } catch (const EDatabaseError &e) {
        throw e.within(QStringLiteral("Relatório '%1': ").arg(m_def.title));
    }
}

// The rows as they come, or, when the text for long lists leaves the end of the order to
// the run, sorted a stretch at a time.
template <class Rows>
qint64 ReportRun::streamInOrder(Rows &rows, ReportSink &sink, const Progress &progress)
{
    const QStringList leading = m_ranLargeList ? m_def.largeList.sortedByFor(m_dialect) : QStringList();
    if (leading.isEmpty())
        return stream(rows, sink, progress);
    const QSqlRecord record = rows.record();
    SortedRuns<Rows> sorted(rows, record, columnsOf(record, leading, m_def.title),
                            columnsOf(record, m_def.largeList.thenByFor(m_dialect), m_def.title));
    return stream(sorted, sink, progress);
}

template <class Rows>
qint64 ReportRun::stream(Rows &query, ReportSink &sink, const Progress &progress)
{
    // Asked once: Firebird's driver asks the database for each column every time.
    const QSqlRecord record = query.record();
    BoundReport report = bindReport(m_def, m_info, m_params, record);
    RowWriter writer(report, sink);
    ReportRunInfo info = m_info;
    const auto elements = std::make_shared<BandElements>(m_def, m_params, record, m_info.issued);
    if (!elements->isEmpty()) {
        writer.setElements(elements.get());
        info.pageHeaderMm = elements->heightMm(ReportDefinition::BandKind::PageHeader, -1);
        info.pageFooterMm = elements->heightMm(ReportDefinition::BandKind::PageFooter, -1);
        for (int g = 0; g < m_info.groupCount; ++g)
            info.groupHeaderMm << elements->heightMm(ReportDefinition::BandKind::GroupHeader, g);
        info.images = elements->images();
        info.pageElements = [elements](bool footer, int page, const QVariantList &row) {
            return elements->place(footer ? ReportDefinition::BandKind::PageFooter
                                          : ReportDefinition::BandKind::PageHeader,
                                   -1, row, page);
        };
    }
    sink.begin(info);
    qint64 rows = 0;
    QVariantList row(record.count());
    bool more = query.next();
    while (more) {
        for (int i = 0; i < row.size(); ++i) {
            row[i] = query.value(i);
            checkSize(row.at(i), record.fieldName(i));
        }
        writer.open(row, rows == 0);
        // One row ahead tells whether a footer comes after this one.
        more = query.next();
        writer.detail(row, !more || writer.groupEndsBefore(query), m_params);
        ++rows;
        if (progress && (rows & 127) == 0)
            progress(rows, sink.pagesDone());
    }
    if (query.lastError().isValid())
        throw EDatabaseError(QStringLiteral("a leitura dos dados foi interrompida por um erro do banco de dados"),
                             databaseCause(query.lastError()));
    writer.finish(rows, row, !m_def.summaryLabel.isEmpty());
    if (progress)
        progress(rows, sink.pagesDone());
    return rows;
}
