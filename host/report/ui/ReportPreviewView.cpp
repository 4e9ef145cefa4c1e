#include "report/ui/ReportPreviewView.h"
#include "errors/EAbort.h"
#include "report/output/PagePainter.h"
#include "report/PageStore.h"

#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace {
constexpr int gap = 12;      // pixels between pages and around them
constexpr int cacheSize = 8; // pages kept drawn
} // namespace

ReportPreviewView::ReportPreviewView(const PageStore &store, QWidget *parent)
    : QAbstractScrollArea(parent), m_store(store)
{
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(40);
}

double ReportPreviewView::scale() const
{
    return m_zoom * logicalDpiX() / 72.0;
}

double ReportPreviewView::pageWidthPx() const
{
    return m_store.setup().size.width() * scale();
}

double ReportPreviewView::pageHeightPx() const
{
    return m_store.setup().size.height() * scale();
}

void ReportPreviewView::setPageCount(int count, int finalCount)
{
    const bool totalChanged = finalCount != m_final;
    m_count = count;
    m_final = finalCount;
    if (totalChanged)
        m_cache.clear(); // the pages drawn so far say "Página N" without "de M"
    updateScrollBars();
    viewport()->update();
}

int ReportPreviewView::currentPage() const
{
    if (m_count == 0)
        return 0;
    const double stride = pageHeightPx() + gap;
    const int page = int((verticalScrollBar()->value() + stride / 3) / stride) + 1;
    return qBound(1, page, m_count);
}

void ReportPreviewView::showPage(int page)
{
    page = qBound(1, page, qMax(1, m_count));
    verticalScrollBar()->setValue(int((page - 1) * (pageHeightPx() + gap)));
}

void ReportPreviewView::setMatch(int page, const QRectF &rect)
{
    m_matchPage = page;
    m_match = rect;
    if (page > 0 && !rect.isEmpty()) {
        const double top = (page - 1) * (pageHeightPx() + gap) + gap + rect.top() * scale();
        const int height = viewport()->height();
        QScrollBar *bar = verticalScrollBar();
        if (top < bar->value() || top > bar->value() + height - 40)
            bar->setValue(int(top - height / 3));
    }
    viewport()->update();
}

void ReportPreviewView::setZoom(double zoom)
{
    const int page = currentPage();
    m_zoom = qBound(0.1, zoom, 6.0);
    m_cache.clear();
    updateScrollBars();
    if (page > 0)
        showPage(page);
    viewport()->update();
    emit zoomChanged(m_zoom);
}

void ReportPreviewView::setFit(Fit fit)
{
    m_fit = fit;
    applyFit();
}

void ReportPreviewView::applyFit()
{
    const QSizeF sheet = m_store.setup().size;
    if (m_fit == Fit::None || sheet.isEmpty())
        return;
    const double dpi = logicalDpiX() / 72.0;
    const double byWidth = (viewport()->width() - 2 * gap) / (sheet.width() * dpi);
    const double byHeight = (viewport()->height() - 2 * gap) / (sheet.height() * dpi);
    const double wanted = m_fit == Fit::Width ? byWidth : qMin(byWidth, byHeight);
    if (qAbs(wanted - m_zoom) > 0.001) {
        const Fit keep = m_fit;
        setZoom(wanted);
        m_fit = keep;
    }
}

void ReportPreviewView::updateScrollBars()
{
    const int total = int(m_count * (pageHeightPx() + gap) + gap);
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, qMax(0, total - viewport()->height()));
    const int width = int(pageWidthPx() + 2 * gap);
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, qMax(0, width - viewport()->width()));
}

void ReportPreviewView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    applyFit();
    updateScrollBars();
}

void ReportPreviewView::scrollContentsBy(int, int)
{
    viewport()->update();
    const int page = currentPage();
    if (page != m_lastCurrent) {
        m_lastCurrent = page;
        emit currentPageChanged(page);
    }
}

void ReportPreviewView::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        m_fit = Fit::None;
        setZoom(m_zoom * (event->angleDelta().y() > 0 ? 1.15 : 1 / 1.15));
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

QImage ReportPreviewView::rendered(int index)
{
    const double s = scale();
    for (qsizetype i = 0; i < m_cache.size(); ++i)
        if (m_cache.at(i).index == index && m_cache.at(i).scale == s && m_cache.at(i).pageCount == m_final) {
            m_cache.move(i, 0);
            return m_cache.first().image;
        }
    const qreal ratio = devicePixelRatioF();
    QImage image(QSize(int(pageWidthPx() * ratio), int(pageHeightPx() * ratio)), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(s, s);
    try {
        PagePainter::paint(painter, m_store.page(index), m_final, m_store.setup().images.get());
    } catch (const ESuiteError &e) {
        painter.resetTransform();
        painter.setPen(Qt::red);
        painter.drawText(image.rect(), Qt::AlignCenter | Qt::TextWordWrap, e.message());
    }
    painter.end();
    m_cache.prepend({index, s, m_final, image});
    while (m_cache.size() > cacheSize)
        m_cache.removeLast();
    return image;
}

void ReportPreviewView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    if (m_count == 0) {
        painter.setPen(palette().color(QPalette::BrightText));
        painter.drawText(viewport()->rect(), Qt::AlignCenter, QStringLiteral("Aguardando a primeira página..."));
        return;
    }
    const double stride = pageHeightPx() + gap;
    const int top = verticalScrollBar()->value();
    const int left = int(qMax(0.0, (viewport()->width() - pageWidthPx()) / 2)) - horizontalScrollBar()->value();
    const int first = qMax(0, int((top - gap) / stride));
    const int last = qMin(m_count - 1, int((top + viewport()->height()) / stride));
    for (int i = first; i <= last; ++i) {
        const QPointF at(left + (horizontalScrollBar()->maximum() > 0 ? gap : 0), i * stride + gap - top);
        const QRectF sheet(at, QSizeF(pageWidthPx(), pageHeightPx()));
        painter.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 60));
        painter.drawImage(at, rendered(i));
        if (m_matchPage == i + 1 && !m_match.isEmpty()) {
            const QRectF mark(at + m_match.topLeft() * scale(), m_match.size() * scale());
            painter.fillRect(mark.adjusted(-2, -1, 2, 1), QColor(255, 200, 0, 90));
            painter.setPen(QPen(QColor(230, 140, 0), 1.5));
            painter.drawRect(mark.adjusted(-2, -1, 2, 1));
        }
    }
}
