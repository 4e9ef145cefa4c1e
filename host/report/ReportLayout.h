#pragma once

#include "suite_export.h"
#include "report/ReportFormat.h"
#include "report/ReportPage.h"
#include "report/ReportSink.h"
#include "report/output/TrueTypeFont.h"

#include <QList>
#include <QStringList>
#include <memory>

// Lays a run out on A4 pages as rows arrive, and hands each page to a PageSink as soon as
// it is full: a page header with the report code, the heading, "Página N de M", the date
// and time of issue and the criteria; the column titles; group headers (repeated with
// "(continuação)" on the pages a group spills onto, and never left alone at the foot of a
// page); rows; group footers with totals; the summary; and a page footer. Nothing but the
// page being filled is kept, so memory does not grow with the rows, and the page count
// is left to the backends (see PageItem::PageNumber).
class SUITE_TEST_EXPORT ReportLayout : public ReportSink
{
public:
    explicit ReportLayout(PageSink &out);
    ~ReportLayout() override;

    static PageSetup pageSetup(bool landscape);

    int pageCount() const { return m_page; }
    // The images the run's pages name (the sinks have them from beginDocument() too).
    std::shared_ptr<const PageImages> images() const { return m_setup.images; }

    void begin(const ReportRunInfo &info) override;
    void rowAhead(const QVariantList &row) override { m_rowAhead = row; }
    void groupHeader(int level, const QString &text, bool pageBreak) override;
    void detail(const QVariantList &cells, bool footerFollows) override;
    void detailLook(const RowLook &look) override { m_nextLook = look; }
    bool drawsLooks() const override { return true; }
    void groupFooter(int level, const QString &label, const QVariantList &cells, const QStringList &formats) override;
    void summary(const QString &label, const QVariantList &cells, const QStringList &formats) override;
    void band(ReportDefinition::BandKind kind, int level, double heightMm, const QList<PlacedElement> &elements) override;
    void finish(qint64 rows) override;
    int pagesDone() const override { return m_page; }

private:
    struct Style
    {
        PageItem::Face face = PageItem::Regular;
        double size = 7.5;
        const TrueTypeFont *font = nullptr;
        double ascent = 0, height = 0;
    };
    Style style(PageItem::Face face, double size) const;

    void ensureSpace(double height);
    void startPage();
    void endPage();
    void drawHeader();
    void drawGroupHeader(int level, const QString &text);
    void drawTotals(const QString &label, const QVariantList &cells, const QStringList &formats, bool doubleRule);
    // A text in a box (content coordinates), aligned and cut with "…" to fit its width.
    void text(const Style &s, double x, double y, double w, double h, Qt::Alignment align, const QString &text,
              QRgb color = 0xFF000000);
    void cell(int column, const Style &s, double y, double h, const QString &text, QRgb color = 0xFF000000);
    void fill(double x, double y, double w, double h, QRgb color);
    void rule(double y, double width);
    void pageNumber(const Style &s, double y, double h, const QString &prefix);
    // A text that shows the page count (pageCountMark), placed as text() would.
    void pageCount(const Style &s, double x, double y, double w, double h, Qt::Alignment align, const QString &value,
                   QRgb color);
    void line(double x1, double y1, double x2, double y2, double width, QRgb color);
    void frame(double x, double y, double w, double h, double width, QRgb color);
    // A band's elements with the band's top at y (content coordinates).
    void place(const QList<PlacedElement> &elements, double y);
    void place(const PlacedElement &element, double y);

    PageSink &m_out;
    ReportRunInfo m_info;
    PageSetup m_setup;
    std::shared_ptr<const TrueTypeFont> m_regular, m_boldFont;
    Style m_body, m_bold, m_title, m_small;
    double m_mm = 72.0 / 25.4;
    double m_left = 0, m_top = 0;     // margins
    double m_width = 0, m_height = 0; // the area inside the margins
    double m_lineH = 0, m_groupH = 0, m_titleH = 0, m_smallH = 0;
    double m_headerBottom = 0, m_bodyBottom = 0;
    double m_pageHeaderH = 0, m_pageFooterH = 0; // the page's bands
    QList<ReportColumn> m_cols; // the printed columns
    QList<ReportFormat::ValueFormat> m_valueFormats;
    QList<int> m_printed; // their places among the run's cells
    QList<double> m_colX, m_colW;
    QStringList m_criteriaLines;

    RowLook m_nextLook; // the look of the row detail() draws next
    // For the page's bands: the row of what is placed next (its header reads the first of
    // a page) and of what was placed last (its footer reads the last).
    QVariantList m_rowAhead, m_pageLastRow;
    ReportPage m_current;
    int m_page = 0;
    bool m_pageOpen = false;
    bool m_bodyUsed = false;
    double m_y = 0;
    int m_stripe = 0;
    QStringList m_openHeaders;
};
