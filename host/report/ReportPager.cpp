#include "ReportPager.h"
#include "ReportFormat.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {

const QColor stripeColor(0xF2, 0xF4, 0xF7);
const QColor groupColor(0xE1, 0xE7, 0xEF);
const QColor ruleColor(0x60, 0x60, 0x60);
const QColor riseColor(0xB0, 0x1E, 0x1E);
const QColor fallColor(0x1E, 0x7A, 0x2E);

QFont reportFont(double points, bool bold)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

} // namespace

ReportPager::ReportPager(QPagedPaintDevice *device, QPainter *painter, int totalPages)
    : m_device(device), m_painter(painter), m_totalPages(totalPages)
{
}

void ReportPager::begin(const ReportRunInfo &info)
{
    m_info = info;
    m_body = reportFont(7.5, false);
    m_bold = reportFont(7.5, true);
    m_title = reportFont(11, true);
    m_small = reportFont(7, false);
    m_mm = m_device->logicalDpiX() / 25.4;
    m_width = m_device->width();
    m_height = m_device->height();

    const QFontMetricsF body(m_body, m_device), title(m_title, m_device), small(m_small, m_device);
    m_bodyMetrics = std::make_unique<QFontMetricsF>(m_body, m_device);
    m_boldMetrics = std::make_unique<QFontMetricsF>(m_bold, m_device);
    m_currentFont = nullptr;
    m_lineH = body.height() * 1.3;
    m_groupH = body.height() * 1.6;
    m_titleH = title.height() * 1.25;
    m_smallH = small.height() * 1.2;

    // Criteria are set as running text, wrapped between items.
    m_criteriaLines.clear();
    QString line;
    const QString gap = QStringLiteral("     ");
    for (const QString &item : m_info.criteria) {
        const QString candidate = line.isEmpty() ? item : line + gap + item;
        if (!line.isEmpty() && small.horizontalAdvance(candidate) > m_width) {
            m_criteriaLines << line;
            line = item;
        } else {
            line = candidate;
        }
    }
    if (!line.isEmpty())
        m_criteriaLines << line;

    m_cols.clear();
    m_valueFormats.clear();
    m_printed.clear();
    for (int c = 0; c < m_info.columns.size(); ++c)
        if (!m_info.columns.at(c).dataOnly) {
            m_cols << m_info.columns.at(c);
            m_valueFormats << ReportFormat::ValueFormat::parse(m_info.columns.at(c).format);
            m_printed << c;
        }
    double total = 0;
    for (const ReportColumn &c : m_cols)
        total += c.width;
    const double scale = total > 0 ? m_width / (total * m_mm) : 1;
    m_colX.clear();
    m_colW.clear();
    double x = 0;
    for (const ReportColumn &c : m_cols) {
        m_colX << x;
        m_colW << c.width * m_mm * scale;
        x += c.width * m_mm * scale;
    }

    m_headerBottom = m_titleH + m_smallH * (1 + m_criteriaLines.size()) + 1.5 * m_mm + m_lineH + 1 * m_mm;
    m_bodyBottom = m_height - (m_smallH + 2 * m_mm);
    m_page = 0;
    m_pageOpen = false;
    m_openHeaders.clear();
}

QString ReportPager::pageText() const
{
    if (m_totalPages > 0)
        return QStringLiteral("Página %1 de %2").arg(m_page).arg(m_totalPages);
    return QStringLiteral("Página %1").arg(m_page);
}

void ReportPager::startPage()
{
    if (m_painter && m_page > 0)
        m_device->newPage();
    ++m_page;
    m_pageOpen = true;
    m_bodyUsed = false;
    m_stripe = 0;
    m_y = m_headerBottom;

    if (m_painter) {
        QPainter &p = *m_painter;
        p.setPen(Qt::black);
        double y = 0;
        useFont(m_title);
        p.drawText(QRectF(0, y, m_width, m_titleH), Qt::AlignHCenter | Qt::AlignVCenter, m_info.heading);
        useFont(m_bold);
        p.drawText(QRectF(0, y, m_width, m_titleH), Qt::AlignLeft | Qt::AlignVCenter, m_info.code);
        p.drawText(QRectF(0, y, m_width, m_titleH), Qt::AlignRight | Qt::AlignVCenter, pageText());
        y += m_titleH;
        useFont(m_small);
        p.drawText(QRectF(0, y, m_width, m_smallH), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Emissão: %1").arg(m_info.issued.toString(QStringLiteral("dd/MM/yyyy hh:mm"))));
        for (const QString &line : m_criteriaLines) {
            y += m_smallH;
            p.drawText(QRectF(0, y, m_width, m_smallH), Qt::AlignLeft | Qt::AlignVCenter, line);
        }
        y += m_smallH + 1.5 * m_mm;
        p.setPen(QPen(ruleColor, 0.3 * m_mm));
        p.drawLine(QPointF(0, y - 0.75 * m_mm), QPointF(m_width, y - 0.75 * m_mm));
        p.setPen(Qt::black);
        for (int c = 0; c < m_cols.size(); ++c)
            drawCell(c, m_cols.at(c).title, y, m_lineH, m_bold);
        y += m_lineH;
        p.setPen(QPen(ruleColor, 0.2 * m_mm));
        p.drawLine(QPointF(0, y), QPointF(m_width, y));
        p.setPen(Qt::black);
    }
    for (int level = 0; level < m_openHeaders.size(); ++level)
        drawGroupHeader(level, m_openHeaders.at(level) + QStringLiteral(" (continuação)"));
}

void ReportPager::endPage()
{
    if (!m_pageOpen)
        return;
    if (m_painter) {
        QPainter &p = *m_painter;
        const double y = m_height - m_smallH;
        p.setPen(QPen(ruleColor, 0.2 * m_mm));
        p.drawLine(QPointF(0, y - 0.5 * m_mm), QPointF(m_width, y - 0.5 * m_mm));
        p.setPen(Qt::black);
        useFont(m_small);
        p.drawText(QRectF(0, y, m_width, m_smallH), Qt::AlignLeft | Qt::AlignVCenter, m_info.footer);
        p.drawText(QRectF(0, y, m_width, m_smallH), Qt::AlignRight | Qt::AlignVCenter,
                   m_info.code + QStringLiteral(" - ") + pageText());
    }
    m_pageOpen = false;
}

void ReportPager::ensureSpace(double height)
{
    if (!m_pageOpen) {
        startPage();
    } else if (m_y + height > m_bodyBottom) {
        endPage();
        startPage();
    }
}

void ReportPager::drawCell(int column, const QString &text, double y, double height, const QFont &font)
{
    const double pad = 0.8 * m_mm;
    const double w = m_colW.at(column) - 2 * pad;
    if (w <= 0 || text.isEmpty())
        return;
    const QFontMetricsF &fm = &font == &m_bold ? *m_boldMetrics : *m_bodyMetrics;
    const QString shown = fm.horizontalAdvance(text) > w ? fm.elidedText(text, Qt::ElideRight, w) : text;
    useFont(font);
    m_painter->drawText(QRectF(m_colX.at(column) + pad, y, w, height), m_cols.at(column).alignment(), shown);
}

void ReportPager::useFont(const QFont &font)
{
    if (m_currentFont != &font) {
        m_painter->setFont(font);
        m_currentFont = &font;
    }
}

void ReportPager::drawGroupHeader(int level, const QString &text)
{
    if (m_painter) {
        const double top = m_y + 0.3 * m_groupH;
        const double h = 0.7 * m_groupH;
        m_painter->fillRect(QRectF(0, top, m_width, h), groupColor);
        useFont(m_bold);
        m_painter->setPen(Qt::black);
        m_painter->drawText(QRectF(level * 4 * m_mm + m_mm, top, m_width - level * 4 * m_mm - 2 * m_mm, h),
                            Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    m_y += m_groupH;
    m_stripe = 0;
}

void ReportPager::groupHeader(int level, const QString &text, bool pageBreak)
{
    if (m_openHeaders.size() > level)
        m_openHeaders.resize(level);
    if (pageBreak && m_pageOpen && m_bodyUsed) {
        endPage();
        startPage();
    }
    // Room for the header, its first row and, should that row be the only one, the footer.
    ensureSpace(m_groupH + m_lineH + m_lineH * 1.25);
    drawGroupHeader(level, text);
    m_openHeaders << text;
    m_bodyUsed = true;
}

void ReportPager::detail(const QVariantList &cells, bool footerFollows)
{
    // The last row of a group keeps its footer company on the page.
    ensureSpace(footerFollows ? m_lineH + m_lineH * 1.25 : m_lineH);
    if (m_painter) {
        if (m_stripe % 2 == 1)
            m_painter->fillRect(QRectF(0, m_y, m_width, m_lineH), stripeColor);
        for (int c = 0; c < m_cols.size(); ++c) {
            const ReportFormat::ValueFormat &style = m_valueFormats.at(c);
            const QString text = ReportFormat::display(cells.value(m_printed.at(c)), style);
            QColor pen = Qt::black;
            if (style.kind == ReportFormat::ValueFormat::Variation) {
                if (text.startsWith(QChar(0x25B2)))
                    pen = riseColor;
                else if (text.startsWith(QChar(0x25BC)))
                    pen = fallColor;
            }
            m_painter->setPen(pen);
            drawCell(c, text, m_y, m_lineH, m_body);
        }
        m_painter->setPen(Qt::black);
    }
    m_y += m_lineH;
    ++m_stripe;
    m_bodyUsed = true;
}

void ReportPager::drawTotals(const QString &label, const QVariantList &cells, const QStringList &formats,
                             bool doubleRule)
{
    const double h = m_lineH * 1.25;
    ensureSpace(h);
    if (m_painter) {
        QPainter &p = *m_painter;
        p.setPen(QPen(ruleColor, 0.2 * m_mm));
        p.drawLine(QPointF(0, m_y + 0.3 * m_mm), QPointF(m_width, m_y + 0.3 * m_mm));
        if (doubleRule)
            p.drawLine(QPointF(0, m_y + 0.8 * m_mm), QPointF(m_width, m_y + 0.8 * m_mm));
        p.setPen(Qt::black);
        int firstTotal = int(m_cols.size());
        for (int c = 0; c < m_cols.size(); ++c)
            if (!cells.value(m_printed.at(c)).isNull()) {
                firstTotal = c;
                break;
            }
        const double labelRight = firstTotal < m_colX.size() ? m_colX.at(firstTotal) : m_width;
        useFont(m_bold);
        p.drawText(QRectF(m_mm, m_y, labelRight - 2 * m_mm, h), Qt::AlignLeft | Qt::AlignVCenter,
                   m_boldMetrics->elidedText(label, Qt::ElideRight, labelRight - 2 * m_mm));
        for (int c = 0; c < m_cols.size(); ++c) {
            const int cell = m_printed.at(c);
            if (cells.value(cell).isNull())
                continue;
            const QString text = formats.value(cell).isEmpty()
                                     ? ReportFormat::display(cells.at(cell), m_valueFormats.at(c))
                                     : ReportFormat::display(cells.at(cell), formats.value(cell));
            drawCell(c, text, m_y, h, m_bold);
        }
    }
    m_y += h;
    m_bodyUsed = true;
}

void ReportPager::groupFooter(int level, const QString &label, const QVariantList &cells,
                              const QStringList &formats)
{
    bool any = !label.isEmpty();
    for (const QVariant &v : cells)
        any = any || !v.isNull();
    if (any)
        drawTotals(label, cells, formats, false);
    m_y += 0.15 * m_lineH;
    if (m_openHeaders.size() > level)
        m_openHeaders.resize(level);
}

void ReportPager::summary(const QString &label, const QVariantList &cells, const QStringList &formats)
{
    m_openHeaders.clear();
    drawTotals(label, cells, formats, true);
}

void ReportPager::finish(qint64 rows)
{
    if (!m_pageOpen)
        startPage();
    if (rows == 0 && m_painter) {
        useFont(m_body);
        m_painter->setPen(Qt::black);
        m_painter->drawText(QRectF(0, m_y + m_lineH, m_width, m_lineH), Qt::AlignLeft | Qt::AlignVCenter,
                            QStringLiteral("Nenhum registro encontrado para os parâmetros informados."));
    }
    endPage();
}
