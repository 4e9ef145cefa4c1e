#pragma once

#include "data/SqlDialect.h"
#include "data/TParams.h"
#include "suite_export.h"
#include "report/ReportDefinition.h"
#include "report/ReportSink.h"

#include <QSqlDatabase>
#include <functional>

struct PreparedSql;

// One run of a report with its parameters: resolves the visible columns, the heading and
// the criteria lines, then streams the query's rows into a sink, breaking groups and
// keeping totals. The query is read forward only, one row at a time, so memory does not
// grow with the rows; each output is one pass.
class SUITE_TEST_EXPORT ReportRun
{
public:
    // Called every few rows with the rows read and pages done; throws EAbort to cancel.
    using Progress = std::function<void(qint64 rows, int pages)>;

    ReportRun(const ReportDefinition &definition, const TParams &params, SqlDialect dialect, const QSqlDatabase &db);

    // Checks the definition and resolves what needs no database; raises ESuiteError.
    // The criteria lookups run at the start of execute(), on the run's connection and
    // within its limits.
    void prepare();
    const ReportRunInfo &info() const { return m_info; }
    QString title() const { return m_def.title; }

    // The longest value (text or bytes) a field may hold; a longer one stops the run with a
    // message naming its column.
    static constexpr qsizetype maxValueBytes = 1 << 20;

    // One pass; returns the rows read. db: the connection to read through (the one given
    // to the constructor when invalid). A query that is not one SELECT is refused.
    qint64 execute(ReportSink &sink, const Progress &progress = {}, const QSqlDatabase &db = QSqlDatabase());
    // For a person waiting on the first page (the preview): where the database plans a
    // statement for its first rows only when asked to (PostgreSQL, through a cursor), it is
    // asked. The whole result then costs more, so files and printing leave this off.
    void setFirstRowsSoon(bool on) { m_firstRowsSoon = on; }
    // Whether the last execute() read through a cursor planned for its first rows.
    bool ranCursor() const { return m_ranCursor; }

    // Whether the last execute() or queryText() chose the definition's text for long lists.
    bool ranLargeList() const { return m_ranLargeList; }
    // The text a run reads on db: the main one, or the one for long lists when the
    // definition's count reaches its mark there (the count runs on db) and the text serves
    // this run (see ReportLargeList::firstRowsOnly).
    QString queryText(const QSqlDatabase &db);

private:
    QString runLookup(const QString &sql, const QSqlDatabase &db) const;
    void runLookups(const QSqlDatabase &db);
    // The text with the run's values bound, checked to be one statement on db.
    PreparedSql guarded(const QSqlDatabase &db, const QString &sql) const;
    void execGuarded(QSqlQuery &query, const QSqlDatabase &db, const QString &sql) const;
    void checkSize(const QVariant &value, const QString &field) const;
    // The rows into the sink; Rows reads as a forward-only QSqlQuery does.
    template <class Rows>
    qint64 streamInOrder(Rows &rows, ReportSink &sink, const Progress &progress);
    template <class Rows>
    qint64 stream(Rows &rows, ReportSink &sink, const Progress &progress);

    ReportDefinition m_def;
    TParams m_params;
    SqlDialect m_dialect;
    QSqlDatabase m_db;
    ReportRunInfo m_info;
    QList<int> m_lookupCriteria; // the index in m_info.criteria of each criterion with a lookup
    QStringList m_lookups;
    bool m_prepared = false;
    bool m_lookedUp = false;
    bool m_ranLargeList = false;
    bool m_firstRowsSoon = false;
    bool m_ranCursor = false;
};
