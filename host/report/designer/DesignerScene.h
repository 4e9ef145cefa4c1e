#pragma once

#include "report/designer/DesignerBand.h"
#include "suite_export.h"

#include <QGraphicsScene>
#include <QHash>
#include <functional>

class ElementItem;

// The page of the designer at true size (a scene unit is a millimetre): the sheet with its
// margins, and the bands stacked as they print, each under a bar that names it. It is drawn
// again from the definition after every change; what the mouse does to it (move, resize,
// a band's height) is handed to the window as one change when the button is released.
class SUITE_TEST_EXPORT DesignerScene : public QGraphicsScene
{
    Q_OBJECT
public:
    explicit DesignerScene(QObject *parent = nullptr);

    static constexpr double barMm = 4.5;
    static constexpr double tableRowMm = 5;

    void rebuild(const ReportDefinition &definition);
    double contentWidthMm() const { return m_contentWidth; }

    // The band at a scene point (its body or its bar) and the point within its body.
    bool bandAt(QPointF scenePos, DesignerBand &band, QPointF &inBandMm) const;
    // The band's body in scene coordinates.
    QRectF bandRect(const DesignerBand &band) const;

    QList<ElementRef> selectedElements() const;
    QList<int> selectedColumns() const;
    QList<DesignerBand> selectedBands() const;
    void select(const QList<ElementRef> &elements, const QList<int> &columns, const QList<DesignerBand> &bands);

    std::function<void(const QList<ElementRef> &, double dx, double dy)> moved;
    std::function<void(const ElementRef &, const QRectF &)> resized;
    std::function<void(const DesignerBand &, double heightMm)> bandResized;
    // A column's right edge dragged on the table, by dxMm on the page (Alt: not snapped).
    std::function<void(int column, double dxMm, bool free)> columnResized;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;
    void drawBackground(QPainter *painter, const QRectF &rect) override;

private:
    enum class Drag { None, Move, Resize, Band, Column };
    double mmPerPixel() const;
    bool bandEdgeAt(QPointF scenePos, DesignerBand &band) const;
    // The table column whose right edge is under a scene point.
    bool columnEdgeAt(QPointF scenePos, int &column, QRectF &rect) const;
    // The pointer over an edge that can be dragged shows which way it goes.
    void hover(QPointF scenePos);
    void addBand(const ReportDefinition &d, const DesignerBand &band, double &y);
    QString noteOf(const ReportDefinition &d, const DesignerBand &band) const;

    ReportDefinition m_definition;
    QSizeF m_page;
    ReportMargins m_margins; // the definition's, as the report engine lays pages out
    double m_contentWidth = 0;
    double m_bottom = 0;
    QList<std::pair<DesignerBand, QRectF>> m_bands; // body of each band, in print order

    Drag m_drag = Drag::None;
    QPointF m_pressAt;
    QHash<ElementItem *, QPointF> m_startPos;
    ElementItem *m_grabbed = nullptr;
    DesignerBand m_dragBand;
    int m_dragColumn = -1;
    double m_columnWidth = 0; // as drawn when the drag began
    QGraphicsRectItem *m_bandGhost = nullptr;
};
