#pragma once

#include "suite_export.h"

#include <QByteArray>
#include <QList>
#include <QRgb>
#include <memory>
#include <QSizeF>
#include <QString>

// What a laid-out page holds, in points (1/72 inch) from the top left corner of the
// sheet: texts already placed (aligned and cut to their cells), filled rectangles, rules
// (any direction) and images. An image item names one of the document's images
// (PageSetup::images) by its place there, in size, so a logo on every page is kept once. A page number item is the one
// thing left open: its text, "Página N de M", is made by the backend that draws it, once it knows M (or "Página N"
// while it does not).
struct SUITE_TEST_EXPORT PageItem
{
    enum Kind : quint8 { Text, Fill, Rule, PageNumber, Image };
    enum Face : quint8 { Regular, Bold, Italic, BoldItalic };
    static Face faceOf(bool bold, bool italic)
    {
        return italic ? (bold ? BoldItalic : Italic) : (bold ? Bold : Regular);
    }

    Kind kind = Text;
    Face face = Regular;
    float size = 0; // text: font size in points; rule: line width; image: its index
    QRgb color = 0xFF000000;
    float x = 0, y = 0; // text: left end of the baseline (page number: right end);
                        // fill, image: top left corner; rule: start
    float w = 0, h = 0; // fill, image: width and height; rule: end minus start;
                        // page number: w is the share of the text right of x (0: it ends
                        // at x, 1: it starts there, 0.5: centred)
    QString text;       // text; page number: what comes before "Página N de M"
};

struct ReportPage
{
    int number = 0; // 1-based
    QList<PageItem> items;
};

// A picture a document shows (a logo): the file's bytes as the definition keeps them.
struct PageImage
{
    QByteArray data;
    QString mime; // image/png, image/jpeg, image/svg+xml
};
using PageImages = QList<PageImage>;

// The sheet every page of a run is laid out on.
struct PageSetup
{
    QSizeF size; // points, orientation applied
    bool landscape = true;
    QString title; // the run's heading, for the document's properties
    QString code;
    std::shared_ptr<const PageImages> images; // what image items name; may be null
};

// Receives the pages of a run as they are laid out.
class SUITE_TEST_EXPORT PageSink
{
public:
    virtual ~PageSink() = default;
    virtual void beginDocument(const PageSetup &setup) = 0;
    virtual void page(const ReportPage &page) = 0;
    virtual void endDocument(int pageCount) = 0;
};

// Marks where an element's text shows the page count, filled in as the default line is.
constexpr char16_t pageCountMark = 0xE001;

// "Página 3 de 12", or "Página 3" while the count is not known. A text with the count's
// mark is an element's own: the mark becomes the count ("…" while it is not known).
inline QString pageNumberText(const QString &prefix, int page, int pageCount)
{
    if (prefix.contains(QChar(pageCountMark)))
        return QString(prefix).replace(QChar(pageCountMark),
                                       pageCount > 0 ? QString::number(pageCount) : QStringLiteral("…"));
    return pageCount > 0 ? prefix + QStringLiteral("Página %1 de %2").arg(page).arg(pageCount)
                         : prefix + QStringLiteral("Página %1").arg(page);
}
