#include "report/designer/DesignerScene.h"
#include "report/designer/DesignerEdits.h"
#include "report/designer/DesignerItems.h"

#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QPageSize>
#include <QPainter>
#include <cmath>

namespace {

QSizeF pageSizeMm(bool landscape)
{
    const QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Millimeter);
    return landscape ? a4.transposed() : a4;
}

// The position of the grabbed edge after snapping: to another element's edge (either of
// the moving element's two edges may catch one), else to the grid.
double snapEdges(double start, double size, const QList<double> &others, bool free)
{
    if (free)
        return start;
    const double near = DesignerEdits::snap(start, others, false);
    if (near != start)
        return near;
    const double farEdge = DesignerEdits::snap(start + size, others, false);
    if (farEdge != start + size)
        return farEdge - size;
    return DesignerEdits::snap(start, {}, true);
}

} // namespace

DesignerScene::DesignerScene(QObject *parent) : QGraphicsScene(parent) { }

double DesignerScene::mmPerPixel() const
{
    const QList<QGraphicsView *> list = views();
    const double scale = list.isEmpty() ? 4 : list.first()->transform().m11();
    return 1.0 / std::max(0.01, scale);
}

QString DesignerScene::noteOf(const ReportDefinition &d, const DesignerBand &band) const
{
    switch (band.kind) {
    case DesignerBand::PageHeader: return d.heading;
    case DesignerBand::GroupHeader: {
        const ReportGroup &g = d.groups.at(band.level);
        QString note = QStringLiteral("quebra por %1").arg(g.field);
        if (!g.header.isEmpty())
            note += QStringLiteral(": \"%1\"").arg(g.header);
        if (!g.pageBreak.isEmpty())
            note += QStringLiteral(" · nova página");
        return note;
    }
    case DesignerBand::GroupFooter: return d.groups.at(band.level).footer;
    case DesignerBand::Summary: return d.summaryLabel;
    case DesignerBand::PageFooter: return d.footer;
    default: return QString();
    }
}

void DesignerScene::addBand(const ReportDefinition &d, const DesignerBand &band, double &y)
{
    addItem(new BandBarItem(band, noteOf(d, band), QRectF(m_margins.left, y, m_contentWidth, barMm)));
    y += barMm;
    const ReportBand *elements = band.in(d);
    const double height = elements ? elements->height : tableRowMm;
    const QRectF body(m_margins.left, y, m_contentWidth, height);
    m_bands.append({band, body});
    if (elements) {
        for (int i = 0; i < elements->elements.size(); ++i) {
            auto *item = new ElementItem(ElementRef{band, i}, elements->elements.at(i));
            item->setPos(body.topLeft() + QPointF(item->element.x, item->element.y));
            item->setZValue(1 + i * 0.001);
            addItem(item);
        }
    } else {
        // The table's columns at the widths they print.
        const double scale = ReportColumn::paperScale(d.columns, m_contentWidth, d.columnsFillWidth);
        double x = body.left();
        for (int i = 0; i < d.columns.size(); ++i) {
            const ReportColumn &c = d.columns.at(i);
            if (c.dataOnly)
                continue;
            auto *item = new ColumnItem(i, c, band.kind == DesignerBand::ColumnTitles,
                                        QRectF(x, body.top(), c.width * scale, height));
            item->setZValue(1);
            addItem(item);
            x += c.width * scale;
        }
    }
    y += height;
}

void DesignerScene::rebuild(const ReportDefinition &definition)
{
    const QList<ElementRef> elements = selectedElements();
    const QList<int> columns = selectedColumns();
    const QList<DesignerBand> bands = selectedBands();
    m_grabbed = nullptr;
    m_bandGhost = nullptr;
    m_startPos.clear();
    m_drag = Drag::None;
    {
        // The items go and come back: the selection did not change for anyone watching.
        const QSignalBlocker block(this);
        clear();
    }
    m_definition = definition;
    m_bands.clear();
    m_page = pageSizeMm(definition.landscape);
    m_margins = definition.margins;
    m_contentWidth = std::max(1.0, m_page.width() - m_margins.left - m_margins.right);
    double y = m_margins.top;
    for (const DesignerBand &band : DesignerBand::stack(definition))
        addBand(definition, band, y);
    m_bottom = y;
    const double pageHeight = std::max(m_page.height(), y + m_margins.bottom);
    setSceneRect(QRectF(-15, -15, m_page.width() + 30, pageHeight + 30));
    select(elements, columns, bands);
}

void DesignerScene::drawBackground(QPainter *painter, const QRectF &rect)
{
    painter->fillRect(rect, QColor(0x9A, 0x9A, 0x9A));
    const double pageHeight = std::max(m_page.height(), m_bottom + m_margins.bottom);
    const QRectF sheet(0, 0, m_page.width(), pageHeight);
    painter->fillRect(sheet.translated(1, 1), QColor(0x60, 0x60, 0x60));
    painter->fillRect(sheet, Qt::white);
    QPen margin(QColor(0x80, 0xA0, 0xD0));
    margin.setCosmetic(true);
    margin.setStyle(Qt::DashLine);
    painter->setPen(margin);
    painter->drawRect(QRectF(m_margins.left, m_margins.top, m_page.width() - m_margins.left - m_margins.right,
                              m_page.height() - m_margins.top - m_margins.bottom));
    if (pageHeight > m_page.height()) {
        // Where the sheet ends: what is below it prints on the next page.
        QPen end(QColor(0xC0, 0x40, 0x40));
        end.setCosmetic(true);
        end.setStyle(Qt::DotLine);
        painter->setPen(end);
        painter->drawLine(QPointF(0, m_page.height()), QPointF(m_page.width(), m_page.height()));
    }
}

bool DesignerScene::bandAt(QPointF scenePos, DesignerBand &band, QPointF &inBandMm) const
{
    for (const auto &[b, body] : m_bands) {
        const QRectF withBar = body.adjusted(0, -barMm, 0, 0);
        if (scenePos.y() >= withBar.top() && scenePos.y() < std::max(withBar.bottom(), withBar.top() + barMm)) {
            band = b;
            inBandMm = QPointF(std::max(0.0, scenePos.x() - body.left()), std::max(0.0, scenePos.y() - body.top()));
            return true;
        }
    }
    return false;
}

QRectF DesignerScene::bandRect(const DesignerBand &band) const
{
    for (const auto &[b, body] : m_bands)
        if (b == band)
            return body;
    return QRectF();
}

bool DesignerScene::bandEdgeAt(QPointF scenePos, DesignerBand &band) const
{
    const double tolerance = 4 * mmPerPixel();
    for (const auto &[b, body] : m_bands)
        if (b.holdsElements() && std::abs(scenePos.y() - body.bottom()) <= tolerance && scenePos.x() >= body.left()
            && scenePos.x() <= body.right()) {
            band = b;
            return true;
        }
    return false;
}

bool DesignerScene::columnEdgeAt(QPointF scenePos, int &column, QRectF &rect) const
{
    const double tolerance = 4 * mmPerPixel();
    const QRectF near(scenePos.x() - tolerance, scenePos.y(), 2 * tolerance, 0.01);
    for (QGraphicsItem *item : items(near))
        if (item->type() == ColumnItem::Type) {
            // A column's rectangle is in scene coordinates (the item sits at the origin).
            const QRectF cell = static_cast<ColumnItem *>(item)->rect();
            if (std::abs(scenePos.x() - cell.right()) <= tolerance && scenePos.y() >= cell.top()
                && scenePos.y() <= cell.bottom()) {
                column = static_cast<ColumnItem *>(item)->column;
                rect = cell;
                return true;
            }
        }
    return false;
}

void DesignerScene::hover(QPointF scenePos)
{
    const QList<QGraphicsView *> list = views();
    if (list.isEmpty())
        return;
    int column = -1;
    QRectF cell;
    DesignerBand band;
    const Qt::CursorShape shape = columnEdgeAt(scenePos, column, cell) ? Qt::SizeHorCursor
                                  : bandEdgeAt(scenePos, band)         ? Qt::SizeVerCursor
                                                                       : Qt::ArrowCursor;
    if (list.first()->viewport()->cursor().shape() != shape)
        list.first()->viewport()->setCursor(shape);
}

QList<ElementRef> DesignerScene::selectedElements() const
{
    QList<ElementRef> refs;
    for (QGraphicsItem *item : selectedItems())
        if (item->type() == ElementItem::Type)
            refs << static_cast<ElementItem *>(item)->ref;
    return refs;
}

QList<int> DesignerScene::selectedColumns() const
{
    QList<int> columns;
    for (QGraphicsItem *item : selectedItems())
        if (item->type() == ColumnItem::Type && !columns.contains(static_cast<ColumnItem *>(item)->column))
            columns << static_cast<ColumnItem *>(item)->column;
    return columns;
}

QList<DesignerBand> DesignerScene::selectedBands() const
{
    QList<DesignerBand> bands;
    for (QGraphicsItem *item : selectedItems())
        if (item->type() == BandBarItem::Type)
            bands << static_cast<BandBarItem *>(item)->band;
    return bands;
}

void DesignerScene::select(const QList<ElementRef> &elements, const QList<int> &columns,
                           const QList<DesignerBand> &bands)
{
    const QSignalBlocker block(this);
    clearSelection();
    for (QGraphicsItem *item : items()) {
        if (item->type() == ElementItem::Type)
            item->setSelected(elements.contains(static_cast<ElementItem *>(item)->ref));
        else if (item->type() == ColumnItem::Type)
            item->setSelected(columns.contains(static_cast<ColumnItem *>(item)->column));
        else if (item->type() == BandBarItem::Type)
            item->setSelected(bands.contains(static_cast<BandBarItem *>(item)->band));
    }
    blockSignals(false);
    emit selectionChanged();
}

void DesignerScene::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    m_drag = Drag::None;
    if (event->button() != Qt::LeftButton) {
        QGraphicsScene::mousePressEvent(event);
        return;
    }
    m_pressAt = event->scenePos();
    const QList<ElementItem *> selected = [this] {
        QList<ElementItem *> list;
        for (QGraphicsItem *item : selectedItems())
            if (item->type() == ElementItem::Type)
                list << static_cast<ElementItem *>(item);
        return list;
    }();
    if (selected.size() == 1
        && selected.first()->handle(mmPerPixel()).contains(selected.first()->mapFromScene(event->scenePos()))) {
        m_drag = Drag::Resize;
        m_grabbed = selected.first();
        m_startPos.insert(m_grabbed, m_grabbed->pos());
        return;
    }
    QGraphicsItem *under = itemAt(event->scenePos(), views().isEmpty() ? QTransform() : views().first()->transform());
    QRectF cell;
    if ((!under || under->type() != ElementItem::Type) && columnEdgeAt(event->scenePos(), m_dragColumn, cell)) {
        m_drag = Drag::Column;
        m_columnWidth = cell.width();
        m_bandGhost = addRect(cell, QPen(QColor(0x1E, 0x64, 0xC8), 0, Qt::DashLine));
        m_bandGhost->setZValue(10);
        return;
    }
    if ((!under || under->type() != ElementItem::Type) && bandEdgeAt(event->scenePos(), m_dragBand)) {
        m_drag = Drag::Band;
        const QRectF body = bandRect(m_dragBand);
        m_bandGhost = addRect(QRectF(body.left(), body.top(), body.width(), body.height()),
                              QPen(QColor(0x1E, 0x64, 0xC8), 0, Qt::DashLine));
        m_bandGhost->setZValue(10);
        return;
    }
    QGraphicsScene::mousePressEvent(event);
    if (under && under->type() == ElementItem::Type && under->isSelected()) {
        m_drag = Drag::Move;
        m_grabbed = static_cast<ElementItem *>(under);
        for (QGraphicsItem *item : selectedItems())
            if (item->type() == ElementItem::Type)
                m_startPos.insert(static_cast<ElementItem *>(item), item->pos());
    }
}

void DesignerScene::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    const bool free = event->modifiers() & Qt::AltModifier; // Alt places without snapping
    const QPointF delta = event->scenePos() - m_pressAt;
    switch (m_drag) {
    case Drag::None:
        if (!(event->buttons() & Qt::LeftButton))
            hover(event->scenePos());
        QGraphicsScene::mouseMoveEvent(event);
        return;
    case Drag::Column: {
        QRectF r = m_bandGhost->rect();
        r.setWidth(std::max(DesignerEdits::gridMm, m_columnWidth + delta.x()));
        m_bandGhost->setRect(r);
        return;
    }
    case Drag::Move: {
        const ReportElement &e = m_grabbed->element;
        const QList<ElementRef> moving = selectedElements();
        const double x = snapEdges(e.x + delta.x(), e.width,
                                   DesignerEdits::edgesOf(m_definition, m_grabbed->ref.band, moving, true), free);
        const double y = snapEdges(e.y + delta.y(), e.height,
                                   DesignerEdits::edgesOf(m_definition, m_grabbed->ref.band, moving, false), free);
        const QPointF shift(std::max(x, 0.0) - e.x, std::max(y, 0.0) - e.y);
        for (auto it = m_startPos.cbegin(); it != m_startPos.cend(); ++it)
            it.key()->setPos(it.value() + shift);
        return;
    }
    case Drag::Resize: {
        const ReportElement &e = m_grabbed->element;
        const QList<ElementRef> self{m_grabbed->ref};
        const auto edges = [&](bool h) { return DesignerEdits::edgesOf(m_definition, m_grabbed->ref.band, self, h); };
        const double right = free ? e.x + e.width + delta.x()
                                  : DesignerEdits::snap(e.x + e.width + delta.x(), edges(true));
        const double bottom = free ? e.y + e.height + delta.y()
                                   : DesignerEdits::snap(e.y + e.height + delta.y(), edges(false));
        const bool line = e.kind == ReportElement::Kind::Line;
        m_grabbed->setRect(0, 0, line ? right - e.x : std::max(1.0, right - e.x),
                           line ? bottom - e.y : std::max(1.0, bottom - e.y));
        return;
    }
    case Drag::Band: {
        QRectF r = m_bandGhost->rect();
        const double height = std::max(0.0, std::round((event->scenePos().y() - r.top()) / 0.5) * 0.5);
        r.setHeight(height);
        m_bandGhost->setRect(r);
        return;
    }
    }
}

void DesignerScene::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    const Drag drag = std::exchange(m_drag, Drag::None);
    if (drag == Drag::None || drag == Drag::Move)
        QGraphicsScene::mouseReleaseEvent(event);
    if (drag == Drag::Move && m_grabbed) {
        const QPointF shift = m_grabbed->pos() - m_startPos.value(m_grabbed);
        m_startPos.clear();
        if (!shift.isNull() && moved)
            moved(selectedElements(), shift.x(), shift.y());
    } else if (drag == Drag::Resize && m_grabbed) {
        const ReportElement &e = m_grabbed->element;
        const QRectF r = m_grabbed->rect();
        m_startPos.clear();
        if ((r.width() != e.width || r.height() != e.height) && resized)
            resized(m_grabbed->ref, QRectF(e.x, e.y, r.width(), r.height()));
    } else if (drag == Drag::Column && m_bandGhost) {
        const double dx = m_bandGhost->rect().width() - m_columnWidth;
        delete std::exchange(m_bandGhost, nullptr);
        if (dx != 0 && columnResized)
            columnResized(m_dragColumn, dx, event->modifiers() & Qt::AltModifier);
        else if (dx == 0)
            select({}, {m_dragColumn}, {}); // a click on the edge picks the column
    } else if (drag == Drag::Band && m_bandGhost) {
        const double height = m_bandGhost->rect().height();
        delete std::exchange(m_bandGhost, nullptr);
        if (bandResized)
            bandResized(m_dragBand, height);
    }
}
