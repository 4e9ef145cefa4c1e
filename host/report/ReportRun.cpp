#include "ReportRun.h"
#include "../Database.h"
#include "../EAbort.h"
#include "../SqlBinding.h"
#include "../SqlGuard.h"
#include "ReportFormat.h"
#include "ReportTemplate.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>

namespace {

// Running value of one total.
struct Accumulator
{
    qint64 n = 0;
    double sum = 0;
    double min = 0;
    double max = 0;

    void add(const QVariant &value)
    {
        bool ok = false;
        const double v = ReportFormat::toNumber(value, &ok);
        if (!ok)
            return;
        min = n == 0 ? v : std::min(min, v);
        max = n == 0 ? v : std::max(max, v);
        sum += v;
        ++n;
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
                v = a.n;
                formats[t.cell] = QStringLiteral("integer");
            } else if (a.n > 0) {
                if (t.op == QLatin1String("sum")) v = a.sum;
                else if (t.op == QLatin1String("avg")) v = a.sum / double(a.n);
                else if (t.op == QLatin1String("min")) v = a.min;
                else if (t.op == QLatin1String("max")) v = a.max;
            }
            values[t.cell] = v;
        }
    }
};

QString keyOf(const QVariant &v)
{
    return v.isNull() ? QStringLiteral("\x01null") : v.toString();
}

} // namespace

ReportRun::ReportRun(const ReportDefinition &definition, const TParams &params, SqlDialect dialect,
                     const QSqlDatabase &db)
    : m_def(definition), m_params(params), m_dialect(dialect), m_db(db)
{
}

QString ReportRun::runLookup(const QString &sql) const
{
    SqlGuard::requireSingleSelect(sql, QStringLiteral("A consulta do cabeçalho do relatório '%1'").arg(m_def.title));
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    try {
        PreparedSql::prepare(sql, m_params, m_dialect).exec(query);
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("Relatório '%1': a consulta do cabeçalho falhou. %2")
                                 .arg(m_def.title, e.message()));
    }
    return query.next() ? query.value(0).toString().trimmed() : QString();
}

void ReportRun::prepare()
{
    m_def.validate();
    m_info = ReportRunInfo();
    m_info.code = m_def.code;
    m_info.heading = ReportTemplate::expandParams(m_def.heading.isEmpty() ? m_def.title : m_def.heading,
                                                  m_params);
    m_info.footer = ReportTemplate::expandParams(m_def.footer, m_params);
    m_info.issued = QDateTime::currentDateTime();
    m_info.landscape = m_def.landscape;
    m_info.groupCount = int(m_def.groups.size());
    for (const ReportColumn &c : m_def.columns)
        if (ReportDefinition::conditionHolds(c.visibleWhen, m_params, true))
            m_info.columns << c;
    for (const ReportCriterion &c : m_def.criteria) {
        QString text = ReportTemplate::expandParams(c.text, m_params).trimmed();
        if (text.isEmpty())
            continue;
        if (!c.lookup.trimmed().isEmpty()) {
            const QString name = runLookup(c.lookup);
            if (!name.isEmpty())
                text += QStringLiteral(" - ") + name;
        }
        m_info.criteria << (c.label.isEmpty() ? text : c.label + QStringLiteral(": ") + text);
    }
    m_prepared = true;
}

qint64 ReportRun::execute(ReportSink &sink, const Progress &progress, const QSqlDatabase &db)
{
    if (!m_prepared)
        prepare();

    const QString sql = m_def.sqlFor(m_dialect);
    SqlGuard::requireSingleSelect(sql, QStringLiteral("A consulta do relatório '%1'").arg(m_def.title));
    QSqlQuery query(db.isValid() ? db : m_db);
    query.setForwardOnly(true);
    try {
        PreparedSql::prepare(sql, m_params, m_dialect).exec(query);
    } catch (const EDatabaseError &e) {
        throw EDatabaseError(QStringLiteral("Relatório '%1': %2").arg(m_def.title, e.message()));
    }
    const QSqlRecord record = query.record();
    const int fieldCount = record.count();

    auto fieldIndex = [&](const QString &field, const QString &what) {
        const int i = record.indexOf(field);
        if (i < 0)
            throw ESuiteError(QStringLiteral("Relatório '%1': %2 usa o campo %3, que a consulta não retorna. "
                                             "Corrija a definição do relatório.")
                                  .arg(m_def.title, what, field));
        return i;
    };
    const int width = int(m_info.columns.size());
    QList<int> cellField;
    for (const ReportColumn &c : m_info.columns)
        cellField << fieldIndex(c.field, QStringLiteral("a coluna \"%1\"").arg(c.title));

    auto bindTotals = [&](const QList<ReportTotal> &totals, Band &band) {
        for (const ReportTotal &t : totals) {
            int cell = -1;
            for (int i = 0; i < width; ++i)
                if (m_info.columns.at(i).field.compare(t.column, Qt::CaseInsensitive) == 0)
                    cell = i;
            if (cell < 0)
                continue;   // its column is hidden in this run
            band.totals << BoundTotal{cellField.at(cell), cell, t.op};
            band.acc << Accumulator();
        }
    };

    const int groupCount = int(m_def.groups.size());
    QList<int> groupField;
    QList<ReportTemplate> headers;
    QList<bool> pageBreaks;
    QList<Band> footers(groupCount);
    for (int g = 0; g < groupCount; ++g) {
        const ReportGroup &group = m_def.groups.at(g);
        groupField << fieldIndex(group.field, QStringLiteral("o grupo"));
        headers << ReportTemplate::compile(group.header, m_params, record);
        footers[g].text = ReportTemplate::compile(group.footer, m_params, record);
        bindTotals(group.totals, footers[g]);
        pageBreaks << ReportDefinition::conditionHolds(group.pageBreak, m_params, false);
    }
    Band summary;
    summary.text = ReportTemplate::compile(m_def.summaryLabel, m_params, record);
    bindTotals(m_def.summaryTotals, summary);

    QVariantList row(fieldCount);
    QVariantList cells(width);
    QList<QVariantList> groupRow(groupCount);
    QStringList keys(groupCount);
    QVariantList totalCells;
    QStringList totalFormats;

    auto closeGroups = [&](int from) {
        for (int g = groupCount - 1; g >= from; --g) {
            footers[g].cells(width, totalCells, totalFormats);
            sink.groupFooter(g, footers.at(g).text.expand(groupRow.at(g), footers.at(g).count), totalCells,
                             totalFormats);
        }
    };

    sink.begin(m_info);
    qint64 rows = 0;
    bool more = query.next();
    while (more) {
        for (int i = 0; i < fieldCount; ++i)
            row[i] = query.value(i);

        int opened = groupCount;
        for (int g = 0; g < groupCount; ++g) {
            if (rows == 0 || keyOf(row.at(groupField.at(g))) != keys.at(g)) {
                opened = g;
                break;
            }
        }
        if (opened < groupCount) {
            if (rows > 0)
                closeGroups(opened);
            for (int g = opened; g < groupCount; ++g) {
                keys[g] = keyOf(row.at(groupField.at(g)));
                groupRow[g] = row;
                footers[g].reset();
                sink.groupHeader(g, headers.at(g).expand(row), pageBreaks.at(g));
            }
        }
        for (int g = 0; g < groupCount; ++g)
            footers[g].add(row);
        summary.add(row);

        for (int c = 0; c < width; ++c)
            cells[c] = row.at(cellField.at(c));
        // One row ahead tells whether a footer comes after this one.
        more = query.next();
        bool footerFollows = !more;
        for (int g = 0; more && !footerFollows && g < groupCount; ++g)
            footerFollows = keyOf(query.value(groupField.at(g))) != keys.at(g);
        sink.detail(cells, footerFollows);
        ++rows;
        if (progress && (rows & 127) == 0)
            progress(rows, sink.pagesDone());
    }
    if (query.lastError().isValid())
        throw EDatabaseError(QStringLiteral("Relatório '%1': a leitura dos dados foi interrompida por um erro "
                                            "do banco de dados: %2")
                                 .arg(m_def.title, databaseCause(query.lastError())));
    if (rows > 0)
        closeGroups(0);
    if (!m_def.summaryLabel.isEmpty() || !summary.totals.isEmpty()) {
        summary.cells(width, totalCells, totalFormats);
        sink.summary(summary.text.expand(row, summary.count), totalCells, totalFormats);
    }
    sink.finish(rows);
    if (progress)
        progress(rows, sink.pagesDone());
    return rows;
}
