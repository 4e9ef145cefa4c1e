#include "report/designer/DesignerEdits.h"

#include <algorithm>
#include <cmath>

namespace DesignerEdits {

namespace {

constexpr double minSizeMm = 1.0;

QRectF rectOf(const ReportElement &e)
{
    return QRectF(e.x, e.y, e.width, e.height);
}

double edgeOf(const QRectF &r, Edge edge)
{
    switch (edge) {
    case Edge::Left: return r.left();
    case Edge::Right: return r.right();
    case Edge::Top: return r.top();
    case Edge::Bottom: return r.bottom();
    case Edge::HCenter: return r.center().x();
    case Edge::VCenter: return r.center().y();
    }
    return 0;
}

// A band grows to hold what is put in it, never shrinks by itself.
void fitBand(ReportBand &band, const ReportElement &e)
{
    band.height = std::max(band.height, e.y + std::max(e.height, 0.0));
}

// Tenths of a millimetre are as fine as anyone places things on paper; keeping positions
// rounded keeps the file free of 12.000000000001.
double tidy(double mm)
{
    return std::round(mm * 100) / 100;
}

// The bands of the elements grow to hold them where they now are: a band that prints an
// element past its foot is refused when the definition is checked.
void fitBands(ReportDefinition &d, const QList<ElementRef> &refs)
{
    for (const ElementRef &ref : refs)
        if (const ReportElement *e = ref.in(d))
            fitBand(*ref.band.in(d), *e);
}

} // namespace

void moveElements(ReportDefinition &d, const QList<ElementRef> &refs, double dxMm, double dyMm)
{
    for (const ElementRef &ref : refs)
        if (ReportElement *e = ref.in(d)) {
            e->x = tidy(std::max(0.0, e->x + dxMm));
            e->y = tidy(std::max(0.0, e->y + dyMm));
        }
    fitBands(d, refs);
}

void setGeometry(ReportDefinition &d, const ElementRef &ref, const QRectF &mm)
{
    ReportElement *e = ref.in(d);
    if (!e)
        return;
    e->x = tidy(std::max(0.0, mm.x()));
    e->y = tidy(std::max(0.0, mm.y()));
    if (e->kind == ReportElement::Kind::Line) {
        e->width = tidy(mm.width());
        e->height = tidy(mm.height());
        if (e->width == 0 && e->height == 0)
            e->width = minSizeMm;
    } else {
        e->width = tidy(std::max(minSizeMm, mm.width()));
        e->height = tidy(std::max(minSizeMm, mm.height()));
    }
    fitBands(d, {ref});
}

ElementRef addElement(ReportDefinition &d, const DesignerBand &band, const ReportElement &element)
{
    ReportBand *b = band.in(d);
    if (!b)
        return ElementRef{band, -1};
    b->elements << element;
    fitBand(*b, element);
    return ElementRef{band, int(b->elements.size() - 1)};
}

void removeElements(ReportDefinition &d, QList<ElementRef> refs)
{
    // From the last index down, so the indexes still to remove stay valid.
    std::sort(refs.begin(), refs.end(), [](const ElementRef &a, const ElementRef &b) { return a.index > b.index; });
    for (const ElementRef &ref : refs)
        if (ReportBand *b = ref.band.in(d); b && ref.index >= 0 && ref.index < b->elements.size())
            b->elements.removeAt(ref.index);
}

QList<ElementRef> paste(ReportDefinition &d, const DesignerBand &band, const QList<ReportElement> &elements,
                        QPointF offsetMm)
{
    QList<ElementRef> refs;
    for (ReportElement e : elements) {
        e.x = tidy(std::max(0.0, e.x + offsetMm.x()));
        e.y = tidy(std::max(0.0, e.y + offsetMm.y()));
        const ElementRef ref = addElement(d, band, e);
        if (ref.index >= 0)
            refs << ref;
    }
    return refs;
}

ElementRef restack(ReportDefinition &d, const ElementRef &ref, bool toFront)
{
    ReportBand *b = ref.band.in(d);
    if (!b || ref.index < 0 || ref.index >= b->elements.size())
        return ref;
    const ReportElement e = b->elements.takeAt(ref.index);
    if (toFront)
        b->elements.append(e);
    else
        b->elements.prepend(e);
    return ElementRef{ref.band, toFront ? int(b->elements.size() - 1) : 0};
}

DropResult dropField(ReportDefinition &d, const DesignerBand &band, QPointF atMm, const QString &field,
                     double contentWidthMm)
{
    DropResult result;
    if (!band.holdsElements()) {
        // Between the columns as they print, where the page shows them.
        const double scale = ReportColumn::paperScale(d.columns, contentWidthMm, d.columnsFillWidth);
        int before = int(d.columns.size());
        double x = 0;
        for (int i = 0; i < d.columns.size(); ++i) {
            const ReportColumn &c = d.columns.at(i);
            if (c.dataOnly)
                continue;
            if (atMm.x() < x + c.width * scale / 2) {
                before = i;
                break;
            }
            x += c.width * scale;
        }
        ReportColumn column;
        column.field = field;
        column.title = field;
        result.column = addColumn(d, column, before);
        return result;
    }
    ReportElement e;
    e.kind = ReportElement::Kind::Field;
    e.field = field;
    e.name = field;
    e.x = tidy(std::max(0.0, atMm.x()));
    e.y = tidy(std::max(0.0, atMm.y()));
    e.width = 40;
    e.height = 5;
    result.element = addElement(d, band, e);
    return result;
}

ElementRef dropExpression(ReportDefinition &d, const DesignerBand &band, QPointF atMm, const QString &expression)
{
    ReportElement e;
    e.kind = ReportElement::Kind::Text;
    e.expression = expression;
    e.x = tidy(std::max(0.0, atMm.x()));
    e.y = tidy(std::max(0.0, atMm.y()));
    return addElement(d, band.holdsElements() ? band : DesignerBand{DesignerBand::PageHeader, -1}, e);
}

void setBandHeight(ReportDefinition &d, const DesignerBand &band, double heightMm)
{
    ReportBand *b = band.in(d);
    if (!b)
        return;
    // Never above what it holds: the band's foot stops at its lowest element.
    double needed = 0;
    for (const ReportElement &e : b->elements)
        needed = std::max(needed, e.y + std::max(0.0, e.height));
    b->height = tidy(std::max(needed, heightMm));
}

void addGroup(ReportDefinition &d, const QString &field)
{
    ReportGroup g;
    g.field = field;
    g.header = QStringLiteral("{%1}").arg(field);
    d.groups << g;
}

void removeGroup(ReportDefinition &d, int level)
{
    if (level >= 0 && level < d.groups.size())
        d.groups.removeAt(level);
}

bool moveGroup(ReportDefinition &d, int level, int delta)
{
    const int to = level + delta;
    if (level < 0 || level >= d.groups.size() || to < 0 || to >= d.groups.size())
        return false;
    d.groups.move(level, to);
    return true;
}

ReportDefinition blankLike(const ReportDefinition &d)
{
    ReportDefinition blank;
    blank.code = d.code;
    blank.title = QStringLiteral("Novo relatório");
    blank.heading = blank.title;
    blank.landscape = d.landscape;
    blank.params = d.params;
    // A new report prints its columns at the widths its author gives them.
    blank.columnsFillWidth = false;
    return blank;
}

void dragColumnEdge(ReportDefinition &d, int column, double dxMm, double contentWidthMm, bool toGrid)
{
    if (column < 0 || column >= d.columns.size() || d.columns.at(column).dataOnly)
        return;
    const double scale = ReportColumn::paperScale(d.columns, contentWidthMm, d.columnsFillWidth);
    double width = d.columns.at(column).width + dxMm / scale;
    if (toGrid)
        width = std::round(width / gridMm) * gridMm;
    d.columns[column].width = tidy(std::clamp(width, gridMm, maxColumnMm));
}

int addColumn(ReportDefinition &d, const ReportColumn &column, int before)
{
    if (before < 0 || before > d.columns.size())
        before = int(d.columns.size());
    d.columns.insert(before, column);
    return before;
}

void removeColumn(ReportDefinition &d, int column)
{
    if (column >= 0 && column < d.columns.size())
        d.columns.removeAt(column);
}

bool moveColumn(ReportDefinition &d, int column, int delta)
{
    const int to = column + delta;
    if (column < 0 || column >= d.columns.size() || to < 0 || to >= d.columns.size())
        return false;
    d.columns.move(column, to);
    return true;
}

void align(ReportDefinition &d, const QList<ElementRef> &refs, Edge edge)
{
    const ReportElement *first = refs.isEmpty() ? nullptr : refs.first().in(d);
    if (!first)
        return;
    const double target = edgeOf(rectOf(*first), edge);
    for (const ElementRef &ref : refs.mid(1))
        if (ReportElement *e = ref.in(d)) {
            const double shift = target - edgeOf(rectOf(*e), edge);
            if (edge == Edge::Left || edge == Edge::Right || edge == Edge::HCenter)
                e->x = tidy(std::max(0.0, e->x + shift));
            else
                e->y = tidy(std::max(0.0, e->y + shift));
        }
    fitBands(d, refs);
}

void distribute(ReportDefinition &d, const QList<ElementRef> &refs, bool horizontal)
{
    QList<ReportElement *> elements;
    for (const ElementRef &ref : refs)
        if (ReportElement *e = ref.in(d))
            elements << e;
    if (elements.size() < 3)
        return;
    const auto start = [horizontal](const ReportElement *e) { return horizontal ? e->x : e->y; };
    const auto size = [horizontal](const ReportElement *e) { return horizontal ? e->width : e->height; };
    std::sort(elements.begin(), elements.end(),
              [&](const ReportElement *a, const ReportElement *b) { return start(a) < start(b); });
    // Equal gaps between neighbours, the outermost two staying where they are.
    double used = 0;
    for (const ReportElement *e : elements)
        used += size(e);
    const double from = start(elements.first());
    const double to = start(elements.last()) + size(elements.last());
    const double gap = (to - from - used) / (elements.size() - 1);
    double at = from;
    for (ReportElement *e : elements) {
        (horizontal ? e->x : e->y) = tidy(std::max(0.0, at));
        at += size(e) + gap;
    }
    fitBands(d, refs);
}

double snap(double valueMm, const QList<double> &others, bool toGrid)
{
    double best = valueMm;
    double distance = snapMm;
    for (double o : others)
        if (std::abs(o - valueMm) <= distance) {
            distance = std::abs(o - valueMm);
            best = o;
        }
    if (best != valueMm || !toGrid)
        return best;
    return std::round(valueMm / gridMm) * gridMm;
}

QList<double> edgesOf(const ReportDefinition &d, const DesignerBand &band, const QList<ElementRef> &skip,
                      bool horizontal)
{
    QList<double> edges;
    const ReportBand *b = band.in(d);
    if (!b)
        return edges;
    for (int i = 0; i < b->elements.size(); ++i) {
        if (skip.contains(ElementRef{band, i}))
            continue;
        const QRectF r = rectOf(b->elements.at(i));
        edges << (horizontal ? r.left() : r.top()) << (horizontal ? r.right() : r.bottom());
    }
    return edges;
}

} // namespace DesignerEdits
