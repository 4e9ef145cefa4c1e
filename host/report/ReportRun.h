#pragma once

#include "SqlDialect.h"
#include "TParams.h"
#include "suite_export.h"
#include "ReportDefinition.h"
#include "ReportSink.h"

#include <QSqlDatabase>
#include <functional>

// One run of a report with its parameters: resolves the visible columns, the heading and
// the criteria lines, then streams the query's rows into a sink, breaking groups and
// keeping totals. The query is read forward only, one row at a time, so memory does not
// grow with the rows; each output is one pass.
class SUITE_EXPORT ReportRun
{
public:
    // Called every few rows with the rows read and pages done; throws EAbort to cancel.
    using Progress = std::function<void(qint64 rows, int pages)>;

    ReportRun(const ReportDefinition &definition, const TParams &params, SqlDialect dialect, const QSqlDatabase &db);

    // Runs the criteria lookups; raises ESuiteError/EDatabaseError with the cause.
    void prepare();
    const ReportRunInfo &info() const { return m_info; }

    // One pass; returns the rows read. db: the connection to read through (the one given
    // to the constructor when invalid). A query that is not one SELECT is refused.
    qint64 execute(ReportSink &sink, const Progress &progress = {}, const QSqlDatabase &db = QSqlDatabase());

private:
    QString runLookup(const QString &sql) const;

    ReportDefinition m_def;
    TParams m_params;
    SqlDialect m_dialect;
    QSqlDatabase m_db;
    ReportRunInfo m_info;
    bool m_prepared = false;
};
