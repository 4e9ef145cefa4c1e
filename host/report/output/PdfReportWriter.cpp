#include "report/output/PdfReportWriter.h"
#include "errors/EAbort.h"
#include "report/ReportFonts.h"
#include "report/output/WriteQueue.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <QIODevice>
#include <cmath>
#include <libdeflate.h>

namespace {

// Deflate level for the page streams: the fastest level; a higher one costs several
// times the time for files a fifth smaller, the wrong trade for lists of thousands of pages.
constexpr int compressionLevel = 1;

const char hexDigits[] = "0123456789ABCDEF";

template<typename Out>
void appendInt(Out &out, qint64 v)
{
    char buf[24];
    int n = 0;
    const bool negative = v < 0;
    quint64 u = negative ? quint64(-v) : quint64(v);
    do {
        buf[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (negative)
        out += '-';
    while (n)
        out += buf[--n];
}

// A coordinate with at most two decimals ("12.5", "300", "-0.75").
template<typename Out>
void appendNumber(Out &out, double v)
{
    qint64 n = std::llround(v * 100);
    if (n < 0) {
        out += '-';
        n = -n;
    }
    appendInt(out, n / 100);
    const int f = int(n % 100);
    if (f) {
        out += '.';
        out += char('0' + f / 10);
        if (f % 10)
            out += char('0' + f % 10);
    }
}

template<typename Out>
void appendColor(Out &out, QRgb color)
{
    for (int channel : {qRed(color), qGreen(color), qBlue(color)}) {
        const int thousandths = (channel * 1000 + 127) / 255;
        if (thousandths == 0)
            out += '0';
        else if (thousandths == 1000)
            out += '1';
        else {
            out += '.';
            out += char('0' + thousandths / 100);
            out += char('0' + thousandths / 10 % 10);
            out += char('0' + thousandths % 10);
        }
        out += ' ';
    }
}

QByteArray textString(const QString &text)
{
    // UTF-16BE with a byte order mark, as a hex string: any character, no escaping.
    QByteArray out("<FEFF");
    for (QChar c : text) {
        const ushort u = c.unicode();
        out += hexDigits[u >> 12];
        out += hexDigits[(u >> 8) & 15];
        out += hexDigits[(u >> 4) & 15];
        out += hexDigits[u & 15];
    }
    return out + '>';
}

template<typename Out>
void appendHex16(Out &out, quint32 v)
{
    out += hexDigits[(v >> 12) & 15];
    out += hexDigits[(v >> 8) & 15];
    out += hexDigits[(v >> 4) & 15];
    out += hexDigits[v & 15];
}

// A subset's name: a tag made from the glyphs it holds (so the same subset gets the same
// name), "+", the font's PostScript name.
QByteArray subsetName(const std::vector<bool> &used, const TrueTypeFont &ttf)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (size_t g = 0; g < used.size(); ++g)
        if (used[g])
            hash.addData(QByteArrayView(reinterpret_cast<const char *>(&g), sizeof g));
    const QByteArray digest = hash.result();
    QByteArray name;
    for (int i = 0; i < 6; ++i)
        name += char('A' + quint8(digest.at(i)) % 26);
    return name + '+' + ttf.postScriptName().toLatin1();
}

// The map from the glyphs used back to their characters, so the text can be copied and
// searched.
QByteArray toUnicodeCMap(const std::vector<bool> &used, const std::vector<char16_t> &unicodeOf)
{
    QByteArray cmap("/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                    "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                    "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                    "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n");
    QList<quint16> mapped;
    for (size_t g = 0; g < used.size(); ++g)
        if (used[g] && unicodeOf[g])
            mapped << quint16(g);
    for (qsizetype i = 0; i < mapped.size(); i += 100) {
        const qsizetype n = qMin<qsizetype>(100, mapped.size() - i);
        appendInt(cmap, n);
        cmap += " beginbfchar\n";
        for (qsizetype k = i; k < i + n; ++k) {
            cmap += '<';
            appendHex16(cmap, mapped.at(k));
            cmap += "> <";
            appendHex16(cmap, unicodeOf[mapped.at(k)]);
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return cmap;
}

} // namespace

// Compresses page streams. libdeflate rather than zlib: the same format, in a third of
// the time, which is most of what writing a large PDF costs.
class PdfReportWriter::Deflater
{
public:
    Deflater() : m_compressor(libdeflate_alloc_compressor(compressionLevel)) { }
    ~Deflater() { libdeflate_free_compressor(m_compressor); }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    void compress(const char *data, size_t length, QByteArray &out)
    {
        if (!m_compressor)
            throw ESuiteError(QStringLiteral("Memória insuficiente para gerar o PDF."));
        out.resize(qsizetype(libdeflate_zlib_compress_bound(m_compressor, length)));
        const size_t n = libdeflate_zlib_compress(m_compressor, data, length, out.data(), size_t(out.size()));
        if (n == 0)
            throw ESuiteError(QStringLiteral("Não foi possível comprimir uma página do PDF."));
        out.resize(qsizetype(n));
    }

private:
    libdeflate_compressor *m_compressor;
};

// One embedded face: the object numbers reserved for it and the glyphs the pages used.
struct PdfReportWriter::Font
{
    std::shared_ptr<const TrueTypeFont> ttf;
    int type0 = 0, cidFont = 0, descriptor = 0, file = 0, toUnicode = 0;
    std::vector<bool> used;
    std::vector<char16_t> unicodeOf; // by glyph: the first character drawn with it
};

PdfReportWriter::PdfReportWriter(QIODevice *out, const QString &creator) : m_out(out), m_creator(creator) { }

PdfReportWriter::~PdfReportWriter() = default;

int PdfReportWriter::newObject()
{
    return m_objectCount++;
}

void PdfReportWriter::later(std::function<void()> work)
{
    if (m_queue)
        m_queue->add(std::move(work));
    else
        work();
}

void PdfReportWriter::write(const QByteArray &bytes)
{
    if (m_out->write(bytes) != bytes.size())
        throw ESuiteError(m_out->errorString());
    m_offset += bytes.size();
}

void PdfReportWriter::startObject(int number)
{
    if (size_t(number) >= m_objectOffsets.size())
        m_objectOffsets.resize(size_t(number) + 1024, 0);
    m_objectOffsets[size_t(number)] = m_offset;
    QByteArray head;
    appendInt(head, number);
    head += " 0 obj\n";
    write(head);
}

void PdfReportWriter::writeStream(int number, const QByteArray &content, const QByteArray &extra)
{
    writeStream(number, content.constData(), size_t(content.size()), extra);
}

void PdfReportWriter::writeStream(int number, const char *content, size_t length, const QByteArray &extra)
{
    startObject(number);
    if (!m_deflater)
        m_deflater = std::make_unique<Deflater>();
    m_deflater->compress(content, length, m_compressed);
    QByteArray dict("<< /Length ");
    appendInt(dict, m_compressed.size());
    dict += " /Filter /FlateDecode" + extra + " >>\nstream\n";
    write(dict);
    write(m_compressed);
    write("\nendstream\nendobj\n");
}

void PdfReportWriter::beginDocument(const PageSetup &setup)
{
    m_setup = setup;
    m_created = QDateTime::currentDateTime();
    m_objectOffsets.assign(1024, 0);
    m_objectCount = 1; // object 0 is the head of the free list
    newObject();       // 1 catalog
    newObject();       // 2 page tree
    newObject();       // 3 document information
    for (auto &f : m_fonts)
        f.reset();
    font(PageItem::Regular);
    font(PageItem::Bold);
    m_imageObjects.clear();
    if (setup.images)
        for (qsizetype i = 0; i < setup.images->size(); ++i)
            m_imageObjects.push_back(newObject());
    m_imageWritten.assign(m_imageObjects.size(), false);
    m_content.reserve(512 * 1024);
    m_queue = std::make_unique<WriteQueue>(4);
    later([this] { write(QByteArray("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n")); });
}

PdfReportWriter::Font &PdfReportWriter::font(PageItem::Face face)
{
    std::unique_ptr<Font> &slot = m_fonts[face <= PageItem::BoldItalic ? int(face) : 0];
    if (!slot) {
        auto font = std::make_unique<Font>();
        font->ttf = ReportFonts::face(face);
        font->type0 = newObject();
        font->cidFont = newObject();
        font->descriptor = newObject();
        font->file = newObject();
        font->toUnicode = newObject();
        font->used.assign(size_t(font->ttf->glyphCount()), false);
        font->unicodeOf.assign(size_t(font->ttf->glyphCount()), 0);
        slot = std::move(font);
    }
    return *slot;
}

void PdfReportWriter::setFont(std::string &out, PageItem::Face face, float size)
{
    if (m_face == face && m_size == size)
        return;
    m_face = face;
    m_size = size;
    static const char *const names[4] = {"/F1 ", "/F2 ", "/F3 ", "/F4 "};
    out += names[face <= PageItem::BoldItalic ? int(face) : 0];
    appendNumber(out, size);
    out += " Tf\n";
}

void PdfReportWriter::setFill(std::string &out, QRgb color)
{
    if (m_fill == color)
        return;
    m_fill = color;
    appendColor(out, color);
    out += "rg\n";
}

void PdfReportWriter::encodeText(std::string &out, const PageItem &item, const QString &text)
{
    Font &font = this->font(item.face);
    setFont(out, item.face, item.size);
    setFill(out, item.color);
    // Moves are relative to the start of the previous text line.
    const double y = m_setup.size.height() - item.y;
    appendNumber(out, item.x - m_lineX);
    out += ' ';
    appendNumber(out, y - m_lineY);
    out += " Td(";
    m_lineX = std::llround(item.x * 100) / 100.0;
    m_lineY = std::llround(y * 100) / 100.0;
    const TrueTypeFont &ttf = *font.ttf;
    // Glyph numbers as two bytes each, escaped where a string literal needs it.
    const size_t start = out.size();
    out.resize(start + size_t(text.size()) * 4);
    char *p = out.data() + start;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const quint16 g = ttf.glyph(u);
        if (!font.used[g]) {
            font.used[g] = true;
            font.unicodeOf[g] = u;
        }
        for (const char b : {char(g >> 8), char(g & 0xFF)}) {
            switch (b) {
            case '(':
            case ')':
            case '\\':
                *p++ = '\\';
                *p++ = b;
                break;
            case '\r':
                *p++ = '\\';
                *p++ = 'r';
                break;
            case '\n':
                *p++ = '\\';
                *p++ = 'n';
                break;
            default: *p++ = b;
            }
        }
    }
    out.resize(size_t(p - out.data()));
    out += ")Tj\n";
}

void PdfReportWriter::page(const ReportPage &page)
{
    // Everything about the page, from its operators to the file, happens on the queue's
    // thread while the run lays out the next ones.
    later([this, page] { writePage(page); });
}

void PdfReportWriter::drawFill(std::string &out, const PageItem &item, double height)
{
    setFill(out, item.color);
    appendNumber(out, item.x);
    out += ' ';
    appendNumber(out, height - item.y - item.h);
    out += ' ';
    appendNumber(out, item.w);
    out += ' ';
    appendNumber(out, item.h);
    out += " re f\n";
}

void PdfReportWriter::drawRule(std::string &out, const PageItem &item, double height)
{
    if (m_stroke != item.color) {
        m_stroke = item.color;
        appendColor(out, item.color);
        out += "RG\n";
    }
    if (m_lineWidth != item.size) {
        m_lineWidth = item.size;
        appendNumber(out, item.size);
        out += " w\n";
    }
    appendNumber(out, item.x);
    out += ' ';
    appendNumber(out, height - item.y);
    out += " m ";
    appendNumber(out, item.x + item.w);
    out += ' ';
    appendNumber(out, height - item.y - item.h);
    out += " l S\n";
}

void PdfReportWriter::drawImage(std::string &out, const PageItem &item, double height)
{
    const size_t index = size_t(item.size);
    if (item.size < 0 || index >= m_imageObjects.size())
        return;
    if (!m_imageWritten[index])
        writeImage(index, item.w, item.h);
    out += "q ";
    appendNumber(out, item.w);
    out += " 0 0 ";
    appendNumber(out, item.h);
    out += ' ';
    appendNumber(out, item.x);
    out += ' ';
    appendNumber(out, height - item.y - item.h);
    out += " cm /Im";
    appendInt(out, qint64(index));
    out += " Do Q\n";
}

void PdfReportWriter::writeImage(size_t index, double width, double height)
{
    m_imageWritten[index] = true;
    const PageImage &image = m_setup.images->at(qsizetype(index));
    QByteArray data = image.data;
    QBuffer buffer(&data);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    QByteArray dict;
    const auto sizeOf = [&dict](const QSize &pixels) {
        dict = " /Type /XObject /Subtype /Image /Width ";
        appendInt(dict, pixels.width());
        dict += " /Height ";
        appendInt(dict, pixels.height());
        dict += " /BitsPerComponent 8";
    };
    // A JPEG in colour or grey goes in as it is: the viewer decodes it.
    if (image.mime == QLatin1String("image/jpeg") && size.isValid()
        && (reader.imageFormat() == QImage::Format_RGB32 || reader.imageFormat() == QImage::Format_Grayscale8)) {
        sizeOf(size);
        dict +=
            reader.imageFormat() == QImage::Format_Grayscale8 ? " /ColorSpace /DeviceGray" : " /ColorSpace /DeviceRGB";
        startObject(m_imageObjects[index]);
        QByteArray head("<< /Length ");
        appendInt(head, data.size());
        head += dict + " /Filter /DCTDecode >>\nstream\n";
        write(head);
        write(data);
        write("\nendstream\nendobj\n");
        return;
    }
    // A drawing is rasterised at 300 dpi of the size it is shown at.
    if (image.mime == QLatin1String("image/svg+xml"))
        reader.setScaledSize(QSize(qMax(1, qRound(width / 72 * 300)), qMax(1, qRound(height / 72 * 300))));
    QImage picture = reader.read();
    if (picture.isNull()) {
        // An image the suite cannot read shows as a blank of its size, never as a broken file.
        picture = QImage(1, 1, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
    }
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    // Only a picture with some transparency gets a mask.
    bool alpha = false;
    for (int y = 0; y < rgba.height() && !alpha && picture.hasAlphaChannel(); ++y) {
        const uchar *line = rgba.constScanLine(y);
        for (int x = 0; x < rgba.width() && !alpha; ++x)
            alpha = line[4 * x + 3] != 0xFF;
    }
    QByteArray rgb(qsizetype(rgba.width()) * rgba.height() * 3, Qt::Uninitialized);
    QByteArray mask(alpha ? qsizetype(rgba.width()) * rgba.height() : 0, Qt::Uninitialized);
    char *to = rgb.data();
    qsizetype m = 0;
    for (int y = 0; y < rgba.height(); ++y) {
        const uchar *from = rgba.constScanLine(y);
        for (int x = 0; x < rgba.width(); ++x, from += 4) {
            *to++ = char(from[0]);
            *to++ = char(from[1]);
            *to++ = char(from[2]);
            if (alpha)
                mask[m++] = char(from[3]);
        }
    }
    sizeOf(rgba.size());
    const QByteArray common = dict;
    if (alpha) {
        const int maskObject = newObject();
        writeStream(maskObject, mask, common + " /ColorSpace /DeviceGray");
        dict += " /SMask ";
        appendInt(dict, maskObject);
        dict += " 0 R";
    }
    writeStream(m_imageObjects[index], rgb, dict + " /ColorSpace /DeviceRGB");
}

void PdfReportWriter::writePage(const ReportPage &page)
{
    std::string &out = m_content;
    out.clear();
    m_inText = false;
    m_face = -1;
    m_size = 0;
    m_fill = 0xFF000000;
    m_stroke = 0xFF000000;
    m_lineWidth = -1;
    const double height = m_setup.size.height();
    QList<NumberSpot> spots;
    for (const PageItem &item : page.items) {
        const bool isText = item.kind == PageItem::Text;
        if (isText != m_inText && item.kind != PageItem::PageNumber) {
            out += isText ? "BT\n" : "ET\n";
            m_inText = isText;
            m_lineX = m_lineY = 0;
        }
        switch (item.kind) {
        case PageItem::Text: encodeText(out, item, item.text); break;
        case PageItem::Fill: drawFill(out, item, height); break;
        case PageItem::Rule: drawRule(out, item, height); break;
        case PageItem::Image: drawImage(out, item, height); break;
        case PageItem::PageNumber:
            spots << NumberSpot{item.x, item.y, item.size, item.face, item.color, item.text, item.w};
            font(item.face); // the page's resources name it before the numbers are written
            break;
        }
    }
    if (m_inText)
        out += "ET\n";

    qsizetype spotList = m_spotLists.indexOf(spots);
    if (spotList < 0) {
        spotList = m_spotLists.size();
        m_spotLists << spots;
    }
    m_pageSpots.push_back(quint16(spotList));

    const int contentObject = newObject();
    const int numberObject = newObject();
    m_contentObjects.push_back(contentObject);
    m_numberObjects.push_back(numberObject);
    m_pageNumbers.push_back(page.number);
    const size_t sheet = m_contentObjects.size() - 1;
    QList<QPair<int, QByteArray>> pages;
    for (int copy = 0; copy < (m_collate ? 1 : m_copies); ++copy)
        pages << pageObject(sheet);
    writeStream(contentObject, out.data(), out.size());
    for (const auto &[number, dictionary] : pages) {
        startObject(number);
        write(dictionary);
    }
}

void PdfReportWriter::setCopies(int copies, bool collate)
{
    m_copies = qBound(1, copies, 999);
    m_collate = collate;
}

QPair<int, QByteArray> PdfReportWriter::pageObject(size_t sheet)
{
    const int number = newObject();
    m_pageObjects.push_back(number);
    QByteArray dict = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
    appendNumber(dict, m_setup.size.width());
    dict += ' ';
    appendNumber(dict, m_setup.size.height());
    dict += "] /Resources << /Font <<";
    for (int f = 0; f < 4; ++f) {
        if (!m_fonts[f])
            continue;
        dict += " /F";
        appendInt(dict, f + 1);
        dict += ' ';
        appendInt(dict, m_fonts[f]->type0);
        dict += " 0 R";
    }
    dict += " >>";
    if (!m_imageObjects.empty()) {
        dict += " /XObject <<";
        for (size_t i = 0; i < m_imageObjects.size(); ++i) {
            dict += " /Im";
            appendInt(dict, qint64(i));
            dict += ' ';
            appendInt(dict, m_imageObjects[i]);
            dict += " 0 R";
        }
        dict += " >> /ProcSet [/PDF /Text /ImageC] >> /Contents [";
    } else {
        dict += " /ProcSet [/PDF /Text] >> /Contents [";
    }
    appendInt(dict, m_contentObjects[sheet]);
    dict += " 0 R ";
    appendInt(dict, m_numberObjects[sheet]);
    dict += " 0 R] >>\nendobj\n";
    return qMakePair(number, dict);
}

void PdfReportWriter::writeNumbers(int pageCount)
{
    for (size_t p = 0; p < m_numberObjects.size(); ++p) {
        std::string &out = m_content;
        out.clear();
        m_face = -1;
        m_size = 0;
        m_fill = 0xFF000000;
        m_lineX = m_lineY = 0;
        out += "BT\n";
        for (const NumberSpot &spot : m_spotLists.at(m_pageSpots[p])) {
            PageItem item;
            item.face = spot.face;
            item.size = spot.size;
            item.color = spot.color;
            const QString text = pageNumberText(spot.prefix, m_pageNumbers[p], pageCount);
            const TrueTypeFont &ttf = *font(spot.face).ttf;
            item.x = float(spot.x - ReportFonts::width(ttf, spot.size, text) * (1 - spot.anchor));
            item.y = spot.y;
            encodeText(out, item, text);
        }
        out += "ET\n";
        writeStream(m_numberObjects[p], out.data(), out.size());
    }
}

void PdfReportWriter::writeFont(Font &font)
{
    const TrueTypeFont &ttf = *font.ttf;
    const double unit = 1000.0 / ttf.unitsPerEm();
    auto scaled = [unit](double v) { return qint64(std::llround(v * unit)); };
    const QByteArray name = subsetName(font.used, ttf);

    QByteArray out;
    startObject(font.type0);
    out = "<< /Type /Font /Subtype /Type0 /BaseFont /" + name + " /Encoding /Identity-H /DescendantFonts [";
    appendInt(out, font.cidFont);
    out += " 0 R] /ToUnicode ";
    appendInt(out, font.toUnicode);
    out += " 0 R >>\nendobj\n";
    write(out);

    startObject(font.cidFont);
    out = "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name
          + " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor ";
    appendInt(out, font.descriptor);
    out += " 0 R /CIDToGIDMap /Identity /DW ";
    appendInt(out, scaled(ttf.advance(0)));
    out += " /W [";
    for (size_t g = 0; g < font.used.size(); ++g) {
        if (!font.used[g])
            continue;
        appendInt(out, qint64(g));
        out += " [";
        appendInt(out, scaled(ttf.advance(quint16(g))));
        out += "] ";
    }
    out += "] >>\nendobj\n";
    write(out);

    writeFontDescriptor(font, name);
    const QByteArray subset = ttf.subset(font.used);
    QByteArray length1(" /Length1 ");
    appendInt(length1, subset.size());
    writeStream(font.file, subset, length1);
    writeStream(font.toUnicode, toUnicodeCMap(font.used, font.unicodeOf));
}

void PdfReportWriter::writeFontDescriptor(const Font &font, const QByteArray &name)
{
    const TrueTypeFont &ttf = *font.ttf;
    const double unit = 1000.0 / ttf.unitsPerEm();
    auto scaled = [unit](double v) { return qint64(std::llround(v * unit)); };
    startObject(font.descriptor);
    const auto box = ttf.boundingBox();
    QByteArray out = "<< /Type /FontDescriptor /FontName /" + name + " /Flags 32 /FontBBox [";
    for (int v : box) {
        appendInt(out, scaled(v));
        out += ' ';
    }
    out += "] /ItalicAngle ";
    appendNumber(out, ttf.italicAngle());
    out += " /Ascent ";
    appendInt(out, scaled(ttf.ascent()));
    out += " /Descent ";
    appendInt(out, -scaled(ttf.descent()));
    out += " /CapHeight ";
    appendInt(out, scaled(ttf.capHeight()));
    out += " /StemV 80 /FontFile2 ";
    appendInt(out, font.file);
    out += " 0 R >>\nendobj\n";
    write(out);
}

void PdfReportWriter::endDocument(int pageCount)
{
    m_queue->finish();
    m_queue.reset();
    if (m_collate)
        for (int copy = 1; copy < m_copies; ++copy)
            for (size_t sheet = 0; sheet < m_contentObjects.size(); ++sheet) {
                const auto [number, dictionary] = pageObject(sheet);
                startObject(number);
                write(dictionary);
            }
    writeNumbers(pageCount);
    // Every page names every image; one that no page showed still has to be in the file.
    for (size_t i = 0; i < m_imageObjects.size(); ++i)
        if (!m_imageWritten[i])
            writeImage(i, 72, 72);
    for (auto &font : m_fonts)
        if (font)
            writeFont(*font);

    if (m_reverse)
        std::reverse(m_pageObjects.begin(), m_pageObjects.end());
    QByteArray out;
    startObject(2);
    out = "<< /Type /Pages /Count ";
    appendInt(out, qint64(m_pageObjects.size()));
    out += " /Kids [";
    for (size_t i = 0; i < m_pageObjects.size(); ++i) {
        appendInt(out, m_pageObjects[i]);
        out += (i % 10 == 9) ? " 0 R\n" : " 0 R ";
    }
    out += "] >>\nendobj\n";
    write(out);

    startObject(1);
    write("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");

    startObject(3);
    const QDateTime utc = m_created.toUTC();
    out = "<< /Title " + textString(m_setup.title) + " /Creator " + textString(m_creator) + " /Producer "
          + textString(QStringLiteral("Suite - relatórios"))
          + " /CreationDate (D:" + utc.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() + "Z) >>\nendobj\n";
    write(out);

    const qint64 xref = m_offset;
    m_objectOffsets.resize(size_t(m_objectCount));
    out = "xref\n0 ";
    appendInt(out, qint64(m_objectOffsets.size()));
    out += "\n0000000000 65535 f \n";
    for (size_t i = 1; i < m_objectOffsets.size(); ++i) {
        char line[21];
        qsnprintf(line, sizeof line, "%010lld 00000 n \n", static_cast<long long>(m_objectOffsets[i]));
        out.append(line, 20);
        if (out.size() > 1 << 20) {
            write(out);
            out.clear();
        }
    }
    out += "trailer\n<< /Size ";
    appendInt(out, qint64(m_objectOffsets.size()));
    out += " /Root 1 0 R /Info 3 0 R >>\nstartxref\n";
    appendInt(out, xref);
    out += "\n%%EOF\n";
    write(out);
}
