#pragma once

#include "report/ReportDefinition.h"
#include "report/ReportPage.h"
#include "suite_export.h"

#include <QDateTime>
#include <QList>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <memory>


// How a detail row or one of its cells is drawn when a style rule of the definition holds;
// a colour of 0 (no alpha) keeps the default.
struct CellLook
{
    QRgb color = 0;
    QRgb background = 0;
    bool bold = false;

    bool isSet() const { return color || background || bold; }
    // This look with another laid over it: what the other sets wins.
    CellLook over(const CellLook &under) const
    {
        return CellLook{color ? color : under.color, background ? background : under.background, bold || under.bold};
    }
};

// An element of a band ready to place: as the definition has it, with what it shows
// (a text or a value already formatted), the look its style rules give and, for an image,
// its place among the run's images.
struct PlacedElement
{
    ReportElement element;
    QString text;
    CellLook look;
    int image = -1;
};

struct RowLook
{
    CellLook row;
    QList<CellLook> cells; // one per cell of detail(), or empty
};

// What a run shows besides its rows: resolved once per run, the same in every pass.
struct ReportRunInfo
{
    QString code;
    QString heading;      // title line, parameters filled in
    QStringList criteria; // "Filial: 0001 - Loja Centro", ...
    QString footer;
    QDateTime issued;
    bool landscape = true;
    ReportMargins margins;
    QList<ReportColumn> columns; // the visible columns, in order (data-only ones included)
    bool columnsFillWidth = true; // see ReportDefinition
    int groupCount = 0;
    QList<bool> repeatHeaders; // per level: the header shows again on a continuation page

    // The bands of elements, for the paged output. The page's bands are asked for on each
    // page (they may show its number), with the page's first row for its header and its last
    // for its footer (an empty row where the page holds none); the others come through
    // ReportSink::band().
    double pageHeaderMm = 0, pageFooterMm = 0;
    QList<double> groupHeaderMm; // per level, so a header is not left alone at a page's foot
    std::function<QList<PlacedElement>(bool footer, int page, const QVariantList &row)> pageElements;
    std::shared_ptr<const PageImages> images;
};

// Receives a report run band by band, in order (begin, then headers, rows, footers,
// summary, finish). Each output type (paged painter, CSV, XLSX, HTML) is one.
class SUITE_TEST_EXPORT ReportSink
{
public:
    virtual ~ReportSink() = default;

    virtual void begin(const ReportRunInfo &info) = 0;
    // The query row what comes next belongs to: a group's header and rows, or a footer (the
    // group's last row). Given only to a run whose page bands read fields, for the page's
    // first and last rows.
    virtual void rowAhead(const QVariantList &row) { Q_UNUSED(row); }
    // pageBreak: the group asks to start on a page of its own.
    virtual void groupHeader(int level, const QString &text, bool pageBreak) = 0;
    // One value per visible column (paged and HTML outputs leave out data-only ones).
    // footerFollows: this row closes a group (or the report), so a footer comes next.
    virtual void detail(const QVariantList &cells, bool footerFollows) = 0;
    // Called just before detail() for a row that a style rule gives a look; outputs without
    // looks (CSV, XLSX) ignore it.
    virtual void detailLook(const RowLook &look) { Q_UNUSED(look); }
    // Whether this output draws looks at all: the run evaluates style rules only for those.
    virtual bool drawsLooks() const { return false; }
    // cells: a total under each column or null; formats: the format of each total
    // (empty = the column's own).
    virtual void groupFooter(int level, const QString &label, const QVariantList &cells,
                             const QStringList &formats) = 0;
    virtual void summary(const QString &label, const QVariantList &cells, const QStringList &formats) = 0;
    // The elements of a group's header or footer band (just after groupHeader() or
    // groupFooter() of that level) or of the summary band (after summary()); outputs
    // that are not paged ignore them.
    virtual void band(ReportDefinition::BandKind kind, int level, double heightMm, const QList<PlacedElement> &elements)
    {
        Q_UNUSED(kind);
        Q_UNUSED(level);
        Q_UNUSED(heightMm);
        Q_UNUSED(elements);
    }
    virtual void finish(qint64 rows) = 0;

    // Pages completed so far (paged outputs).
    virtual int pagesDone() const { return 0; }
};
