#pragma once

#include "suite_export.h"
#include "report/ReportFormat.h"
#include "report/ReportSink.h"

#include <QList>
#include <memory>
#include <string>

class QIODevice;
class WriteQueue;
class ZipWriter;

// The rows of a run as an Excel workbook (XLSX), written as the rows come: the column
// titles in bold, frozen, with a filter; numbers as numbers (with the column's decimals),
// percents as percents, dates as dates shown dd/mm/yyyy; texts as they are. The sheet is
// compressed on a thread of its own while the next rows are read, and nothing but the
// rows on their way is kept. The workbook is complete when finish() returns.
class SUITE_TEST_EXPORT XlsxReportWriter : public ReportSink
{
public:
    explicit XlsxReportWriter(QIODevice *out);
    ~XlsxReportWriter() override;
    XlsxReportWriter(const XlsxReportWriter &) = delete;
    XlsxReportWriter &operator=(const XlsxReportWriter &) = delete;

    // The most rows a sheet holds (the titles take the first).
    static constexpr qint64 maxRows = 1048576;

    void begin(const ReportRunInfo &info) override;
    void groupHeader(int, const QString &, bool) override { }
    void detail(const QVariantList &cells, bool footerFollows) override;
    void groupFooter(int, const QString &, const QVariantList &, const QStringList &) override { }
    void summary(const QString &, const QVariantList &, const QStringList &) override { }
    void finish(qint64 rows) override;

    // Excel's format code for a report format ("#,##0.0000", "0.00%", "dd/mm/yyyy"...);
    // empty for text.
    static QByteArray formatCode(const QString &format);

private:
    void cellStart(int column, int style);
    void appendText(QStringView text);
    void flush(bool last);
    QByteArray stylesXml() const;
    QByteArray workbookXml() const;

    QIODevice *m_out;
    ReportRunInfo m_info;
    QList<ReportFormat::ValueFormat> m_valueFormats;
    QList<QByteArray> m_columnNames; // A, B, ... AA
    std::unique_ptr<ZipWriter> m_zip;
    std::unique_ptr<WriteQueue> m_queue;
    std::string m_chunk;
    qint64 m_row = 0;
};
