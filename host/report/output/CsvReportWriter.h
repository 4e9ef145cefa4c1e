#pragma once

#include "suite_export.h"
#include "report/ReportFormat.h"
#include "report/ReportSink.h"

#include <string>

class QIODevice;

// The rows of a run as CSV for spreadsheets set to Brazilian Portuguese: UTF-8 with a
// byte order mark, ';' between fields, CRLF between lines, decimal comma, dates
// dd/MM/yyyy; a field is quoted when it holds ';', '"' or a line break. Only the column
// titles and the rows are written (no group lines or totals), so the file is data.
// A text that a spreadsheet would take for a formula (=, +, -, @ first) is written with
// an apostrophe in front.
class SUITE_TEST_EXPORT CsvReportWriter : public ReportSink
{
public:
    explicit CsvReportWriter(QIODevice *out);

    static QString quoted(const QString &field);

    void begin(const ReportRunInfo &info) override;
    void groupHeader(int, const QString &, bool) override { }
    void detail(const QVariantList &cells, bool footerFollows) override;
    void groupFooter(int, const QString &, const QVariantList &, const QStringList &) override { }
    void summary(const QString &, const QVariantList &, const QStringList &) override { }
    void finish(qint64 rows) override;

private:
    void writeLine(const QStringList &fields);

    QIODevice *m_out;
    QList<ReportColumn> m_columns;
    QList<ReportFormat::ValueFormat> m_valueFormats;
    std::string m_line;
};
