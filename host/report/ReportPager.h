#pragma once

#include "../suite_export.h"
#include "ReportFormat.h"
#include "ReportSink.h"

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QStringList>
#include <memory>

class QPagedPaintDevice;
class QPainter;

// Lays a run out on pages of a paged device (PDF writer, printer): a page header with
// the report code, the heading, "Página N de M", the date and time of issue and the
// criteria; the column titles; group headers (repeated with "(continuação)" on the
// pages a group spills onto, and never left alone at the foot of a page); rows; group
// footers with totals; the summary; and a page footer. Without a painter it only counts
// the pages, so a first pass can tell the painting pass how many there will be.
class SUITE_EXPORT ReportPager : public ReportSink
{
public:
    ReportPager(QPagedPaintDevice *device, QPainter *painter, int totalPages = 0);

    int pageCount() const { return m_page; }

    void begin(const ReportRunInfo &info) override;
    void groupHeader(int level, const QString &text, bool pageBreak) override;
    void detail(const QVariantList &cells, bool footerFollows) override;
    void groupFooter(int level, const QString &label, const QVariantList &cells,
                     const QStringList &formats) override;
    void summary(const QString &label, const QVariantList &cells, const QStringList &formats) override;
    void finish(qint64 rows) override;
    int pagesDone() const override { return m_page; }

private:
    void ensureSpace(double height);
    void startPage();
    void endPage();
    void drawGroupHeader(int level, const QString &text);
    void drawTotals(const QString &label, const QVariantList &cells, const QStringList &formats,
                    bool doubleRule);
    void drawCell(int column, const QString &text, double y, double height, const QFont &font);
    void useFont(const QFont &font);
    QString pageText() const;

    QPagedPaintDevice *m_device;
    QPainter *m_painter;
    int m_totalPages;
    ReportRunInfo m_info;

    QFont m_body, m_bold, m_title, m_small;
    std::unique_ptr<QFontMetricsF> m_bodyMetrics, m_boldMetrics;
    const QFont *m_currentFont = nullptr;
    double m_mm = 1;
    double m_width = 0, m_height = 0;
    double m_lineH = 0, m_groupH = 0, m_titleH = 0, m_smallH = 0;
    double m_headerBottom = 0, m_bodyBottom = 0;
    QList<ReportColumn> m_cols;   // the printed columns
    QList<ReportFormat::ValueFormat> m_valueFormats;
    QList<int> m_printed;         // their places among the run's cells
    QList<double> m_colX, m_colW;
    QStringList m_criteriaLines;

    int m_page = 0;
    bool m_pageOpen = false;
    bool m_bodyUsed = false;
    double m_y = 0;
    int m_stripe = 0;
    QStringList m_openHeaders;
};
