#pragma once

#include "suite_export.h"
#include "report/ReportFormat.h"
#include "report/ReportSink.h"

class QIODevice;

// A run as one self-contained HTML page (styles inline, no external files): heading,
// criteria, date of issue, the page header's band, and one table with group lines, rows,
// totals and the bands of groups and summary, then the page footer's band. The page is one
// page: its header's band reads the report's first row, its footer's the last. Every value
// is escaped.
class SUITE_TEST_EXPORT HtmlReportWriter : public ReportSink
{
public:
    explicit HtmlReportWriter(QIODevice *out);

    void begin(const ReportRunInfo &info) override;
    void rowAhead(const QVariantList &row) override { m_rowAhead = row; }
    void groupHeader(int level, const QString &text, bool pageBreak) override;
    void detail(const QVariantList &cells, bool footerFollows) override;
    void detailLook(const RowLook &look) override { m_nextLook = look; }
    bool drawsLooks() const override { return true; }
    void groupFooter(int level, const QString &label, const QVariantList &cells, const QStringList &formats) override;
    void summary(const QString &label, const QVariantList &cells, const QStringList &formats) override;
    void band(ReportDefinition::BandKind kind, int level, double heightMm,
              const QList<PlacedElement> &elements) override;
    void finish(qint64 rows) override;

private:
    void write(const QString &html);
    // The page header's band and the table's head, once the first row is known.
    void openTable();
    void totalsRow(const char *cssClass, const QString &label, const QVariantList &cells, const QStringList &formats);
    QString cellClass(int column) const;

    QIODevice *m_out;
    ReportRunInfo m_info; // columns: the printed ones
    QList<int> m_printed; // their places among the run's cells
    QList<ReportFormat::ValueFormat> m_valueFormats;
    RowLook m_nextLook; // the look of the row detail() writes next
    QVariantList m_rowAhead;
    bool m_tableOpen = false;
};
