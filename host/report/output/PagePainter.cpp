#include "report/output/PagePainter.h"
#include "report/ReportFonts.h"

#include <QGlyphRun>
#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QRawFont>

namespace PagePainter {

namespace {

// Fonts made once per face and size (a handful in a report) on the screen's thread.
const QRawFont &rawFont(PageItem::Face face, float size)
{
    static QHash<quint64, QRawFont> fonts;
    const quint64 key = quint64(face) << 32 | quint32(qRound(size * 100));
    auto it = fonts.find(key);
    if (it == fonts.end())
        it = fonts.insert(key, QRawFont(ReportFonts::face(face)->data(), size, QFont::PreferNoHinting));
    return *it;
}

void drawText(QPainter &painter, const PageItem &item, const QString &text, double x)
{
    const TrueTypeFont &ttf = *ReportFonts::face(item.face);
    const double scale = item.size / ttf.unitsPerEm();
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(text.size());
    positions.reserve(text.size());
    double advance = 0;
    for (QChar c : text) {
        const quint16 g = ttf.glyph(c.unicode());
        glyphs << g;
        positions << QPointF(advance, 0);
        advance += ttf.advance(g) * scale;
    }
    QGlyphRun run;
    run.setRawFont(rawFont(item.face, item.size));
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter.setPen(QColor::fromRgba(item.color));
    painter.drawGlyphRun(QPointF(x, item.y), run);
}

// An image decoded at the size it is drawn (device pixels), kept while the same image is
// drawn at that size: a logo on every page of the preview is decoded once per zoom.
void drawImage(QPainter &painter, const PageItem &item, const PageImages *images)
{
    const qsizetype index = qsizetype(item.size);
    if (!images || item.size < 0 || index >= images->size())
        return;
    const QRectF target(item.x, item.y, item.w, item.h);
    const QSize pixels = painter.transform().mapRect(target).size().toSize().expandedTo(QSize(1, 1));
    static QHash<QByteArray, QImage> cache;
    const PageImage &image = images->at(index);
    QByteArray key = image.data.left(64);
    key += QByteArray::number(image.data.size()) + 'x' + QByteArray::number(pixels.width()) + 'x'
           + QByteArray::number(pixels.height()) + QByteArray::number(qHash(image.data));
    auto it = cache.find(key);
    if (it == cache.end()) {
        if (cache.size() > 32)
            cache.clear();
        QByteArray data = image.data;
        QBuffer buffer(&data);
        QImageReader reader(&buffer);
        reader.setScaledSize(pixels);
        it = cache.insert(key, reader.read());
    }
    painter.drawImage(target, *it);
}

} // namespace

QRectF bounds(const PageItem &item)
{
    const TrueTypeFont &ttf = *ReportFonts::face(item.face);
    const double ascent = double(ttf.ascent()) * item.size / ttf.unitsPerEm();
    const double descent = double(ttf.descent()) * item.size / ttf.unitsPerEm();
    const double width = ReportFonts::width(ttf, item.size, item.text);
    return QRectF(item.x, item.y - ascent, width, ascent + descent);
}

void paint(QPainter &painter, const ReportPage &page, int pageCount, const PageImages *images)
{
    painter.save();
    for (const PageItem &item : page.items) {
        switch (item.kind) {
        case PageItem::Text: drawText(painter, item, item.text, item.x); break;
        case PageItem::Fill:
            painter.fillRect(QRectF(item.x, item.y, item.w, item.h), QColor::fromRgba(item.color));
            break;
        case PageItem::Rule:
            painter.setPen(QPen(QColor::fromRgba(item.color), item.size));
            painter.drawLine(QPointF(item.x, item.y), QPointF(item.x + item.w, item.y + item.h));
            break;
        case PageItem::Image: drawImage(painter, item, images); break;
        case PageItem::PageNumber: {
            const QString text = pageNumberText(item.text, page.number, pageCount);
            const TrueTypeFont &ttf = *ReportFonts::face(item.face);
            drawText(painter, item, text, item.x - ReportFonts::width(ttf, item.size, text) * (1 - item.w));
            break;
        }
        }
    }
    painter.restore();
}

} // namespace PagePainter
