#pragma once

#include "report/designer/DesignerBand.h"
#include "suite_export.h"

#include <QGraphicsRectItem>
#include <QImage>

class QPainter;

// What the designer draws on its page, in millimetres (one scene unit is 1 mm).

// Paints a text in a box in mm with a font size in points, whatever the view's zoom.
SUITE_TEST_EXPORT void paintTextMm(QPainter *painter, const QRectF &box, const QString &text, double sizePt, bool bold, bool italic,
                 Qt::Alignment align, const QColor &color);

// An element of a band, drawn as the report prints it (a field shows its name in brackets,
// an expression its text after "=").
class SUITE_TEST_EXPORT ElementItem : public QGraphicsRectItem
{
public:
    enum { Type = UserType + 1 };
    ElementItem(const ElementRef &ref, const ReportElement &element, QGraphicsItem *parent = nullptr);
    int type() const override { return Type; }

    ElementRef ref;
    ReportElement element;

    // The handle that resizes the element (bottom right), in the item's coordinates.
    QRectF handle(double mmPerPixel) const;
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QImage m_image;
};

// A column of the table, in the column titles (its title) or the detail rows (its field).
class SUITE_TEST_EXPORT ColumnItem : public QGraphicsRectItem
{
public:
    enum { Type = UserType + 2 };
    ColumnItem(int column, const ReportColumn &data, bool title, const QRectF &rect);
    int type() const override { return Type; }

    int column;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    ReportColumn m_data;
    bool m_title;
};

// The bar above a band that names it; selecting it selects the band (and its group).
class SUITE_TEST_EXPORT BandBarItem : public QGraphicsRectItem
{
public:
    enum { Type = UserType + 3 };
    BandBarItem(const DesignerBand &band, const QString &note, const QRectF &rect);
    int type() const override { return Type; }

    DesignerBand band;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QString m_note;
};
