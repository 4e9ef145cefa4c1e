#pragma once

#include "../suite_export.h"
#include "ReportFormat.h"
#include "ReportSink.h"

#include <QByteArray>
#include <QList>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// The rows of a run as an Excel workbook, written row by row in libxlsxwriter's
// constant-memory mode: the column titles in bold, frozen, with a filter; numbers as
// numbers (with the column's decimals), percents as percents, dates as dates shown
// dd/mm/yyyy. The file is written by finish() (or close()); a writer destroyed before
// that writes nothing.
class SUITE_EXPORT XlsxReportWriter : public ReportSink
{
public:
    // shownName: the file as the person named it (fileName may be its temporary).
    explicit XlsxReportWriter(const QString &fileName, const QString &shownName = QString());
    ~XlsxReportWriter() override;
    XlsxReportWriter(const XlsxReportWriter &) = delete;
    XlsxReportWriter &operator=(const XlsxReportWriter &) = delete;

    // Rows a worksheet can hold, the title row included.
    static constexpr qint64 maxRows = 1048576;

    void begin(const ReportRunInfo &info) override;
    void groupHeader(int, const QString &, bool) override {}
    void detail(const QVariantList &cells, bool footerFollows) override;
    void groupFooter(int, const QString &, const QVariantList &, const QStringList &) override {}
    void summary(const QString &, const QVariantList &, const QStringList &) override {}
    void finish(qint64 rows) override;

    // Writes the file; raises ESuiteError with the cause.
    void close();

private:
    void check(int error, const char *what) const;

    QString m_fileName;
    QString m_shownName;
    QByteArray m_fileNameBytes;
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_titleFormat = nullptr;
    QList<lxw_format *> m_formats;
    QList<ReportColumn> m_columns;
    QList<ReportFormat::ValueFormat> m_valueFormats;
    unsigned m_row = 0;
};
