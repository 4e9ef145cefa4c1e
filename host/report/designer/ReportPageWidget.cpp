#include "report/designer/ReportPageWidget.h"
#include "report/output/PagePainter.h"

#include <QPainter>

namespace {
constexpr int desk = 12; // pixels of desk around the sheet
const QSizeF a4Landscape(841.89, 595.28);
} // namespace

ReportPageWidget::ReportPageWidget(QWidget *parent) : QWidget(parent)
{
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAutoFillBackground(false);
}

void ReportPageWidget::setPage(const ReportPage &page, const PageSetup &setup, int pageCount)
{
    m_page = page;
    m_setup = setup;
    m_pageCount = pageCount;
    m_hasPage = true;
    updateGeometry();
    update();
}

void ReportPageWidget::setPageCount(int pageCount)
{
    m_pageCount = pageCount;
    update();
}

void ReportPageWidget::clear()
{
    m_hasPage = false;
    m_page = ReportPage();
    update();
}

double ReportPageWidget::scaleFor(int width) const
{
    const QSizeF sheet = m_setup.size.isEmpty() ? a4Landscape : m_setup.size;
    return std::max(0.1, double(width - 2 * desk) / sheet.width());
}

int ReportPageWidget::heightForWidth(int width) const
{
    const QSizeF sheet = m_setup.size.isEmpty() ? a4Landscape : m_setup.size;
    return int(sheet.height() * scaleFor(width)) + 2 * desk;
}

QSize ReportPageWidget::sizeHint() const
{
    return {480, heightForWidth(480)};
}

void ReportPageWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x80, 0x86, 0x8C));
    if (!m_hasPage)
        return;
    const QSizeF sheet = m_setup.size.isEmpty() ? a4Landscape : m_setup.size;
    const double scale = scaleFor(width());
    const QRectF paper(desk, desk, sheet.width() * scale, sheet.height() * scale);
    painter.fillRect(paper.translated(3, 3), QColor(0x50, 0x50, 0x50));
    painter.fillRect(paper, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(paper.topLeft());
    painter.scale(scale, scale);
    painter.setClipRect(QRectF(QPointF(0, 0), sheet));
    PagePainter::paint(painter, m_page, m_pageCount, m_setup.images.get());
}
