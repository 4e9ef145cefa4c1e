#pragma once

#include "report/designer/DesignerBand.h"
#include "suite_export.h"

#include <QGraphicsView>
#include <QWidget>

class DesignerScene;

// The page seen at a zoom, where 100 % is true size on the screen. Takes the field list's
// drops, nudges the selection with the arrows (Shift: a tenth of a millimetre) and zooms
// with Ctrl and the wheel.
class SUITE_TEST_EXPORT DesignerView : public QGraphicsView
{
    Q_OBJECT
public:
    static constexpr const char *fieldMime = "application/x-suite-report-field";

    explicit DesignerView(DesignerScene *scene, QWidget *parent = nullptr);

    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    // The zoom at which the sheet's width fills the view.
    void fitWidth();

signals:
    void zoomChanged(double zoom);
    void nudged(double dxMm, double dyMm);
    // A field (or "=expression") dropped on a band, at a point of its body in mm.
    void dropped(const DesignerBand &band, QPointF atMm, const QString &what);
    void viewChanged();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    DesignerScene *m_scene;
    double m_zoom = 1.0;
};

// A ruler in millimetres along the top or the left of the view, its zero at the sheet's
// corner, following the scroll and the zoom.
class SUITE_TEST_EXPORT DesignerRuler : public QWidget
{
public:
    DesignerRuler(DesignerView *view, Qt::Orientation orientation, QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    DesignerView *m_view;
    Qt::Orientation m_orientation;
};

// The view with its two rulers.
class SUITE_TEST_EXPORT DesignerPageArea : public QWidget
{
public:
    DesignerPageArea(DesignerView *view, QWidget *parent = nullptr);
};
