#include "report/designer/DesignerView.h"
#include "report/designer/DesignerScene.h"

#include <QDragEnterEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

DesignerView::DesignerView(DesignerScene *scene, QWidget *parent) : QGraphicsView(scene, parent), m_scene(scene)
{
    setObjectName(QStringLiteral("designerView"));
    setDragMode(QGraphicsView::RubberBandDrag);
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setRubberBandSelectionMode(Qt::IntersectsItemShape);
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setZoom(1.0);
}

void DesignerView::setZoom(double zoom)
{
    m_zoom = std::clamp(zoom, 0.25, 4.0);
    // A millimetre on the screen as the screen says it is.
    const double pixelsPerMm = logicalDpiX() / 25.4;
    setTransform(QTransform::fromScale(m_zoom * pixelsPerMm, m_zoom * pixelsPerMm));
    emit zoomChanged(m_zoom);
    emit viewChanged();
}

void DesignerView::fitWidth()
{
    const double pixelsPerMm = logicalDpiX() / 25.4;
    const double width = scene() ? scene()->sceneRect().width() : 297;
    setZoom((viewport()->width() - 4) / (width * pixelsPerMm));
}

void DesignerView::keyPressEvent(QKeyEvent *event)
{
    const double step = event->modifiers() & Qt::ShiftModifier ? 0.1 : 1.0;
    switch (event->key()) {
    case Qt::Key_Left: emit nudged(-step, 0); return;
    case Qt::Key_Right: emit nudged(step, 0); return;
    case Qt::Key_Up: emit nudged(0, -step); return;
    case Qt::Key_Down: emit nudged(0, step); return;
    default: QGraphicsView::keyPressEvent(event);
    }
}

void DesignerView::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        setZoom(m_zoom * (event->angleDelta().y() > 0 ? 1.25 : 0.8));
        return;
    }
    QGraphicsView::wheelEvent(event);
}

void DesignerView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(QLatin1String(fieldMime)))
        event->acceptProposedAction();
    else
        QGraphicsView::dragEnterEvent(event);
}

void DesignerView::dragMoveEvent(QDragMoveEvent *event)
{
    DesignerBand band;
    QPointF at;
    if (event->mimeData()->hasFormat(QLatin1String(fieldMime))) {
        if (m_scene->bandAt(mapToScene(event->position().toPoint()), band, at))
            event->acceptProposedAction();
        else
            event->ignore();
        return;
    }
    QGraphicsView::dragMoveEvent(event);
}

void DesignerView::dropEvent(QDropEvent *event)
{
    const QByteArray data = event->mimeData()->data(QLatin1String(fieldMime));
    DesignerBand band;
    QPointF at;
    if (data.isEmpty() || !m_scene->bandAt(mapToScene(event->position().toPoint()), band, at)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit dropped(band, at, QString::fromUtf8(data));
}

void DesignerView::scrollContentsBy(int dx, int dy)
{
    QGraphicsView::scrollContentsBy(dx, dy);
    emit viewChanged();
}

void DesignerView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    emit viewChanged();
}

DesignerRuler::DesignerRuler(DesignerView *view, Qt::Orientation orientation, QWidget *parent)
    : QWidget(parent), m_view(view), m_orientation(orientation)
{
    connect(view, &DesignerView::viewChanged, this, qOverload<>(&QWidget::update));
}

QSize DesignerRuler::sizeHint() const
{
    return m_orientation == Qt::Horizontal ? QSize(100, 22) : QSize(28, 100);
}

void DesignerRuler::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(0xF2, 0xF2, 0xF2));
    p.setPen(QColor(0x70, 0x70, 0x70));
    QFont font = p.font();
    font.setPointSizeF(7);
    p.setFont(font);
    const bool horizontal = m_orientation == Qt::Horizontal;
    const QPoint viewOrigin = m_view->viewport()->mapTo(window(), QPoint(0, 0));
    const QPoint selfOrigin = mapTo(window(), QPoint(0, 0));
    const int offset = horizontal ? viewOrigin.x() - selfOrigin.x() : viewOrigin.y() - selfOrigin.y();
    const int length = horizontal ? width() : height();
    const int depth = horizontal ? height() : width();
    const double pixelsPerMm = m_view->transform().m11();
    const QPointF zero = m_view->mapFromScene(QPointF(0, 0));
    const double origin = (horizontal ? zero.x() : zero.y()) + offset;
    // Marks every millimetre when they are far enough apart, else every 5 or 10; numbers
    // far enough apart to read.
    const int step = pixelsPerMm >= 4 ? 1 : pixelsPerMm >= 1.2 ? 5 : 10;
    int labelStep = 10;
    for (const int candidate : {10, 20, 50, 100})
        if ((labelStep = candidate) * pixelsPerMm >= 32)
            break;
    const int first = int(std::floor(-origin / pixelsPerMm / step)) * step;
    for (int mm = first; origin + mm * pixelsPerMm < length; mm += step) {
        const double at = origin + mm * pixelsPerMm;
        if (at < 0)
            continue;
        const int tick = mm % 10 == 0 ? depth - 2 : mm % 5 == 0 ? depth / 2 : depth / 4;
        if (horizontal)
            p.drawLine(QPointF(at, depth), QPointF(at, depth - tick));
        else
            p.drawLine(QPointF(depth, at), QPointF(depth - tick, at));
        if (mm % labelStep == 0) {
            const QString label = QString::number(mm);
            if (horizontal)
                p.drawText(QPointF(at + 2, 9), label);
            else
                p.drawText(QPointF(2, at + 10), label);
        }
    }
    p.setPen(QColor(0xB0, 0xB0, 0xB0));
    if (horizontal)
        p.drawLine(0, depth - 1, length, depth - 1);
    else
        p.drawLine(depth - 1, 0, depth - 1, length);
}

DesignerPageArea::DesignerPageArea(DesignerView *view, QWidget *parent) : QWidget(parent)
{
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    auto *corner = new QWidget(this);
    corner->setFixedSize(28, 22);
    grid->addWidget(corner, 0, 0);
    auto *top = new DesignerRuler(view, Qt::Horizontal, this);
    top->setFixedHeight(22);
    auto *left = new DesignerRuler(view, Qt::Vertical, this);
    left->setFixedWidth(28);
    grid->addWidget(top, 0, 1);
    grid->addWidget(left, 1, 0);
    grid->addWidget(view, 1, 1);
}
