#pragma once

#include "report/designer/DesignerBand.h"
#include "suite_export.h"

#include <QList>
#include <QPointF>
#include <QRectF>

// The designer's changes as functions of a definition: each takes the definition as it is
// and changes it in place, so the window only has to keep the state before and after for
// undo. None of them shows anything or asks anyone.
namespace DesignerEdits {

enum class Edge { Left, Right, Top, Bottom, HCenter, VCenter };

// The grid elements snap to (mm), and how close an edge has to come to snap to another.
constexpr double gridMm = 1.0;
constexpr double snapMm = 1.0;

SUITE_TEST_EXPORT void moveElements(ReportDefinition &d, const QList<ElementRef> &refs, double dxMm, double dyMm);
// Sets one element's position and size; a size is never below 1 mm (a line may be 0 high
// or wide, and only one of the two).
SUITE_TEST_EXPORT void setGeometry(ReportDefinition &d, const ElementRef &ref, const QRectF &mm);
// Adds an element at the end of the band (drawn over the others); returns where it is. A
// band without height grows to hold it.
SUITE_TEST_EXPORT ElementRef addElement(ReportDefinition &d, const DesignerBand &band, const ReportElement &element);
// Removes the elements (in any order).
SUITE_TEST_EXPORT void removeElements(ReportDefinition &d, QList<ElementRef> refs);
// Pastes copies of elements into a band, shifted by offset; returns where they are.
SUITE_TEST_EXPORT QList<ElementRef> paste(ReportDefinition &d, const DesignerBand &band, const QList<ReportElement> &elements,
                                     QPointF offsetMm);
// Draws the element over or under the others of its band; returns where it is.
SUITE_TEST_EXPORT ElementRef restack(ReportDefinition &d, const ElementRef &ref, bool toFront);

// A field dropped at a place: onto the detail rows or the column titles it becomes a column
// before the column at xMm (titled after the field); onto a band of elements, a field
// element there. Returns the column's index, or -1 for an element (see lastDrop).
struct SUITE_TEST_EXPORT DropResult
{
    int column = -1;
    ElementRef element;
};
SUITE_TEST_EXPORT DropResult dropField(ReportDefinition &d, const DesignerBand &band, QPointF atMm, const QString &field,
                                  double contentWidthMm);
// A parameter dropped (as "=:P_NAME" text): a text element that shows it.
SUITE_TEST_EXPORT ElementRef dropExpression(ReportDefinition &d, const DesignerBand &band, QPointF atMm,
                                       const QString &expression);

SUITE_TEST_EXPORT void setBandHeight(ReportDefinition &d, const DesignerBand &band, double heightMm);
// Group levels: added innermost, by its key field; removed with their bands; moved out
// (-1) or in (+1) one level, with everything they hold.
SUITE_TEST_EXPORT void addGroup(ReportDefinition &d, const QString &field);
SUITE_TEST_EXPORT void removeGroup(ReportDefinition &d, int level);
SUITE_TEST_EXPORT bool moveGroup(ReportDefinition &d, int level, int delta);

// A report with nothing on it yet, for the same screen: its code, parameters and
// orientation (the screen hands it the same values), no query, columns, groups or bands.
SUITE_TEST_EXPORT ReportDefinition blankLike(const ReportDefinition &d);

// A column's right edge dragged by dxMm on the page, where the printed columns share the
// content width in proportion to their widths: the column grows or shrinks by as much at
// today's proportion, snapped to the grid (between gridMm and maxColumnMm); the other
// columns keep their widths, and no column comes or goes.
constexpr double maxColumnMm = 300;
SUITE_TEST_EXPORT void dragColumnEdge(ReportDefinition &d, int column, double dxMm, double contentWidthMm,
                                      bool toGrid = true);
SUITE_TEST_EXPORT int addColumn(ReportDefinition &d, const ReportColumn &column, int before = -1);
SUITE_TEST_EXPORT void removeColumn(ReportDefinition &d, int column);
SUITE_TEST_EXPORT bool moveColumn(ReportDefinition &d, int column, int delta);

// Lines the elements up on the edge of the first one (the one selected first).
SUITE_TEST_EXPORT void align(ReportDefinition &d, const QList<ElementRef> &refs, Edge edge);
// Spreads three or more elements evenly between the outermost two, horizontally or not.
SUITE_TEST_EXPORT void distribute(ReportDefinition &d, const QList<ElementRef> &refs, bool horizontal);

// Where a position moves to: the nearest edge of another element when one is within
// snapMm, else the grid. others are the edges that may be snapped to (mm).
SUITE_TEST_EXPORT double snap(double valueMm, const QList<double> &others, bool toGrid = true);
// The left/right (horizontal) or top/bottom edges of the band's elements other than refs.
SUITE_TEST_EXPORT QList<double> edgesOf(const ReportDefinition &d, const DesignerBand &band, const QList<ElementRef> &skip,
                                   bool horizontal);

} // namespace DesignerEdits
