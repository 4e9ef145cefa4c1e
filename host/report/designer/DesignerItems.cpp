#include "report/designer/DesignerItems.h"

#include <QBuffer>
#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

namespace {

constexpr double ptToMm = 25.4 / 72.0;

QColor colorOr(const QString &hex, const QColor &fallback)
{
    const QColor c(hex);
    return hex.isEmpty() || !c.isValid() ? fallback : c;
}

Qt::Alignment alignmentOf(const QString &align)
{
    if (align.compare(QLatin1String("right"), Qt::CaseInsensitive) == 0)
        return Qt::AlignRight | Qt::AlignVCenter;
    if (align.compare(QLatin1String("center"), Qt::CaseInsensitive) == 0)
        return Qt::AlignHCenter | Qt::AlignVCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

void paintSelection(QPainter *painter, const QRectF &rect, bool selected)
{
    if (!selected)
        return;
    QPen pen(QColor(0x1E, 0x64, 0xC8));
    pen.setCosmetic(true);
    pen.setWidth(2);
    pen.setStyle(Qt::DashLine);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect);
}

QImage decode(const ReportElement &e, const QSizeF &mm)
{
    if (e.image.isEmpty())
        return QImage();
    QByteArray bytes = e.image;
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    // A drawing is rasterised at about 150 dpi of its size on paper.
    if (e.mime == QLatin1String("image/svg+xml"))
        reader.setScaledSize(QSize(qMax(1, qRound(mm.width() / 25.4 * 150)), qMax(1, qRound(mm.height() / 25.4 * 150))));
    return reader.read();
}

} // namespace

void paintTextMm(QPainter *painter, const QRectF &box, const QString &text, double sizePt, bool bold, bool italic,
                 Qt::Alignment align, const QColor &color)
{
    // Fonts are sized in the device's points; drawing at ten times the scale keeps small
    // sizes from being rounded to whole pixels of a scene unit.
    constexpr double k = 10;
    painter->save();
    painter->scale(1 / k, 1 / k);
    QFont font(QStringLiteral("DejaVu Sans"));
    const int dpi = painter->device() ? painter->device()->logicalDpiY() : 96;
    font.setPointSizeF(qMax(0.5, sizePt * ptToMm * k * 72.0 / dpi));
    font.setBold(bold);
    font.setItalic(italic);
    painter->setFont(font);
    painter->setPen(color);
    const QRectF scaled(box.x() * k, box.y() * k, box.width() * k, box.height() * k);
    const QString shown =
        painter->fontMetrics().elidedText(text, Qt::ElideRight, qMax(1, int(scaled.width())));
    painter->drawText(scaled, int(align) | Qt::TextSingleLine, shown);
    painter->restore();
}

ElementItem::ElementItem(const ElementRef &ref, const ReportElement &element, QGraphicsItem *parent)
    : QGraphicsRectItem(parent), ref(ref), element(element)
{
    setRect(0, 0, element.width, element.height);
    setFlag(ItemIsSelectable);
    setAcceptHoverEvents(true);
    if (element.kind == ReportElement::Kind::Image)
        m_image = decode(element, QSizeF(element.width, element.height));
}

QRectF ElementItem::handle(double mmPerPixel) const
{
    const double size = 7 * mmPerPixel;
    const QRectF r = rect().normalized();
    return QRectF(r.right() - size / 2, r.bottom() - size / 2, size, size);
}

QRectF ElementItem::boundingRect() const
{
    // Room for the handle and the selection outline around thin lines.
    return rect().normalized().adjusted(-2, -2, 2, 2);
}

void ElementItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const ReportElement &e = element;
    const QRectF r = rect().normalized();
    const QColor ink = colorOr(e.color, Qt::black);
    painter->save();
    if (!e.background.isEmpty())
        painter->fillRect(r, colorOr(e.background, Qt::transparent));
    switch (e.kind) {
    case ReportElement::Kind::Line: {
        QPen pen(colorOr(e.borderColor, ink), e.borderWidth > 0 ? e.borderWidth : 0.2);
        painter->setPen(pen);
        painter->drawLine(QPointF(0, 0), QPointF(e.width, e.height));
        break;
    }
    case ReportElement::Kind::Rect: break; // its border below
    case ReportElement::Kind::Image:
        if (!m_image.isNull())
            painter->drawImage(r, m_image);
        else
            paintTextMm(painter, r, QStringLiteral("(imagem)"), 7, false, true, Qt::AlignCenter, Qt::gray);
        break;
    case ReportElement::Kind::Field:
        paintTextMm(painter, r, QStringLiteral("[%1]").arg(e.field), e.fontSize, e.bold, e.italic,
                    alignmentOf(e.align), ink);
        break;
    case ReportElement::Kind::Text:
        paintTextMm(painter, r, e.expression.trimmed().isEmpty() ? e.text : QStringLiteral("=") + e.expression,
                    e.fontSize, e.bold, e.italic, alignmentOf(e.align), ink);
        break;
    }
    if (e.kind != ReportElement::Kind::Line && (e.borderWidth > 0 || e.kind == ReportElement::Kind::Rect)) {
        QPen pen(colorOr(e.borderColor, ink), e.borderWidth > 0 ? e.borderWidth : 0.2);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(r);
    } else if (e.kind != ReportElement::Kind::Line) {
        // Where an element without a border is, faintly.
        QPen pen(QColor(0xC8, 0xC8, 0xC8));
        pen.setCosmetic(true);
        pen.setStyle(Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(r);
    }
    const bool selected = option->state & QStyle::State_Selected;
    paintSelection(painter, r, selected);
    if (selected) {
        const double mmPerPixel = 1.0 / qMax(0.01, painter->worldTransform().m11());
        painter->fillRect(handle(mmPerPixel), QColor(0x1E, 0x64, 0xC8));
    }
    painter->restore();
}

ColumnItem::ColumnItem(int column, const ReportColumn &data, bool title, const QRectF &rect)
    : QGraphicsRectItem(rect), column(column), m_data(data), m_title(title)
{
    setFlag(ItemIsSelectable);
}

void ColumnItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const QRectF r = rect();
    painter->save();
    QPen grid(QColor(0xB4, 0xB4, 0xB4));
    grid.setCosmetic(true);
    painter->setPen(grid);
    painter->setBrush(m_data.visibleWhen.isEmpty() ? Qt::NoBrush : QBrush(QColor(0xF4, 0xF0, 0xE0)));
    painter->drawRect(r);
    const QString text = m_title ? m_data.title : QStringLiteral("[%1]").arg(m_data.field);
    paintTextMm(painter, r.adjusted(0.6, 0, -0.6, 0), text, 7.5, m_title, false, m_data.alignment(),
                m_title ? Qt::black : QColor(0x30, 0x30, 0x90));
    paintSelection(painter, r, option->state & QStyle::State_Selected);
    painter->restore();
}

BandBarItem::BandBarItem(const DesignerBand &band, const QString &note, const QRectF &rect)
    : QGraphicsRectItem(rect), band(band), m_note(note)
{
    setFlag(ItemIsSelectable);
}

void BandBarItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const QRectF r = rect();
    const bool selected = option->state & QStyle::State_Selected;
    painter->fillRect(r, selected ? QColor(0xC8, 0xDC, 0xF5) : QColor(0xE6, 0xE6, 0xE6));
    const QString text = m_note.isEmpty() ? band.title() : band.title() + QStringLiteral("  —  ") + m_note;
    paintTextMm(painter, r.adjusted(1, 0, -1, 0), text, 6.5, true, false, Qt::AlignLeft | Qt::AlignVCenter,
                QColor(0x50, 0x50, 0x50));
}
