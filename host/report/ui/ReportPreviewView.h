#pragma once

#include "suite_export.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QList>
#include <QRectF>

class PageStore;

// The pages of a run one under the other, as on a desk: scrolls, zooms, and draws only
// the pages in sight, from the page store, so a run of thousands of pages opens as fast
// as one of a single page. The number of pages may grow while it is shown.
class SUITE_TEST_EXPORT ReportPreviewView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum class Fit { None, Width, Page };

    explicit ReportPreviewView(const PageStore &store, QWidget *parent = nullptr);

    // Pages that can be shown now (grows while the run lays out pages).
    void setPageCount(int count, int finalCount);
    int currentPage() const; // 1-based; the page at the top of the view
    void showPage(int page);
    // Marks a text found on a page (points) and brings it into view; an empty rect clears.
    void setMatch(int page, const QRectF &rect);

    double zoom() const { return m_zoom; }
    void setZoom(double zoom); // 1.0 = 100%
    void setFit(Fit fit);
    Fit fit() const { return m_fit; }

signals:
    void currentPageChanged(int page);
    void zoomChanged(double zoom);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    double scale() const; // pixels per point
    double pageHeightPx() const;
    double pageWidthPx() const;
    QImage rendered(int index);
    void updateScrollBars();
    void applyFit();

    const PageStore &m_store;
    int m_count = 0;
    int m_final = 0;
    double m_zoom = 1.0;
    Fit m_fit = Fit::Width;
    int m_lastCurrent = 0;
    int m_matchPage = 0;
    QRectF m_match;
    struct Cached
    {
        int index;
        double scale;
        int pageCount;
        QImage image;
    };
    QList<Cached> m_cache;
};
