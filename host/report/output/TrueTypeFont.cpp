#include "report/output/TrueTypeFont.h"
#include "errors/EAbort.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>

namespace {

quint32 tagOf(const char t[4])
{
    return quint32(quint8(t[0])) << 24 | quint32(quint8(t[1])) << 16 | quint32(quint8(t[2])) << 8
           | quint32(quint8(t[3]));
}

// Big-endian reads that never run past the data: a short font is a fault, not a crash.
struct Reader
{
    const QByteArray &data;
    QString name;

    void need(quint64 offset, quint64 size) const
    {
        if (offset + size > quint64(data.size()))
            throw ESuiteError(QStringLiteral("A fonte '%1' está corrompida (dados além do fim do arquivo).")
                                  .arg(QDir::toNativeSeparators(name)));
    }
    quint16 u16(quint64 offset) const
    {
        need(offset, 2);
        const auto *p = reinterpret_cast<const uchar *>(data.constData() + offset);
        return quint16(p[0] << 8 | p[1]);
    }
    qint16 s16(quint64 offset) const { return qint16(u16(offset)); }
    quint32 u32(quint64 offset) const { return quint32(u16(offset)) << 16 | u16(offset + 2); }
};

void put16(QByteArray &out, quint16 v)
{
    out.append(char(v >> 8)).append(char(v & 0xFF));
}

void put32(QByteArray &out, quint32 v)
{
    put16(out, quint16(v >> 16));
    put16(out, quint16(v & 0xFFFF));
}

void set16(QByteArray &out, qsizetype at, quint16 v)
{
    out[at] = char(v >> 8);
    out[at + 1] = char(v & 0xFF);
}

void set32(QByteArray &out, qsizetype at, quint32 v)
{
    set16(out, at, quint16(v >> 16));
    set16(out, at + 2, quint16(v & 0xFFFF));
}

quint32 checksum(const QByteArray &bytes)
{
    quint32 sum = 0;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; i += 4) {
        quint32 word = 0;
        for (int k = 0; k < 4; ++k)
            word = word << 8 | (i + k < n ? p[i + k] : 0);
        sum += word;
    }
    return sum;
}

} // namespace

std::shared_ptr<const TrueTypeFont> TrueTypeFont::load(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ESuiteError(QStringLiteral("Não foi possível ler a fonte '%1': %2.")
                              .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    return fromData(file.readAll(), fileName);
}

std::shared_ptr<const TrueTypeFont> TrueTypeFont::fromData(const QByteArray &data, const QString &name)
{
    std::shared_ptr<TrueTypeFont> font(new TrueTypeFont);
    font->m_data = data;
    font->parse(name);
    return font;
}

const TrueTypeFont::Table *TrueTypeFont::table(const char tag[4]) const
{
    const quint32 wanted = tagOf(tag);
    for (const Table &t : m_tables)
        if (t.tag == wanted)
            return &t;
    return nullptr;
}

void TrueTypeFont::parse(const QString &name)
{
    const Reader r{m_data, name};
    const quint32 version = r.u32(0);
    if (version != 0x00010000 && version != tagOf("true"))
        throw ESuiteError(
            QStringLiteral("O arquivo '%1' não é uma fonte TrueType.").arg(QDir::toNativeSeparators(name)));
    const int count = r.u16(4);
    for (int i = 0; i < count; ++i) {
        const quint64 at = 12 + quint64(i) * 16;
        Table t{r.u32(at), r.u32(at + 8), r.u32(at + 12)};
        r.need(t.offset, t.length);
        m_tables << t;
    }
    auto required = [&](const char tag[4]) -> const Table & {
        if (const Table *t = table(tag))
            return *t;
        throw ESuiteError(QStringLiteral("A fonte '%1' não tem a tabela '%2'.")
                              .arg(QDir::toNativeSeparators(name), QString::fromLatin1(tag, 4)));
    };
    const Table &head = required("head");
    m_unitsPerEm = std::max<int>(16, r.u16(head.offset + 18));
    m_bbox = {r.s16(head.offset + 36), r.s16(head.offset + 38), r.s16(head.offset + 40), r.s16(head.offset + 42)};
    m_locaFormat = r.s16(head.offset + 50);
    const Table &hhea = required("hhea");
    m_ascent = r.s16(hhea.offset + 4);
    m_descent = -r.s16(hhea.offset + 6);
    const int hMetrics = std::max<int>(1, r.u16(hhea.offset + 34));
    m_glyphCount = r.u16(required("maxp").offset + 4);
    const Table &hmtx = required("hmtx");
    m_advances.resize(std::max(m_glyphCount, hMetrics));
    for (int g = 0; g < int(m_advances.size()); ++g)
        m_advances[g] = r.u16(hmtx.offset + quint64(std::min(g, hMetrics - 1)) * 4);
    required("loca");
    required("glyf");
    m_capHeight = m_ascent;
    if (const Table *os2 = table("OS/2"); os2 && r.u16(os2->offset) >= 2 && os2->length >= 90)
        m_capHeight = r.s16(os2->offset + 88);
    if (const Table *post = table("post"))
        m_italicAngle = r.s16(post->offset + 4) + r.u16(post->offset + 6) / 65536.0;
    m_postScriptName = QStringLiteral("Font");
    if (const Table *names = table("name")) {
        const int n = r.u16(names->offset + 2);
        const quint32 strings = names->offset + r.u16(names->offset + 4);
        for (int i = 0; i < n; ++i) {
            const quint32 rec = names->offset + 6 + quint32(i) * 12;
            if (r.u16(rec + 6) != 6)
                continue;
            const quint16 length = r.u16(rec + 8);
            const quint32 at = strings + r.u16(rec + 10);
            r.need(at, length);
            QString text;
            if (r.u16(rec) == 3) { // Windows: UTF-16BE
                for (quint32 k = 0; k + 1 < length; k += 2)
                    text += QChar(r.u16(at + k));
            } else {
                text = QString::fromLatin1(m_data.constData() + at, length);
            }
            text.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9-]")));
            if (!text.isEmpty())
                m_postScriptName = text;
            break;
        }
    }
    parseCmap(required("cmap"), name);
}

void TrueTypeFont::parseCmap(const Table &cmap, const QString &name)
{
    const Reader r{m_data, name};
    m_cmap.assign(0x10000, 0);
    const int n = r.u16(cmap.offset + 2);
    quint32 sub = 0;
    for (int i = 0; i < n; ++i) {
        const quint32 rec = cmap.offset + 4 + quint32(i) * 8;
        const quint16 platform = r.u16(rec), encoding = r.u16(rec + 2);
        const quint32 at = cmap.offset + r.u32(rec + 4);
        if (r.u16(at) != 4)
            continue;
        if ((platform == 3 && encoding == 1) || (platform == 0 && !sub))
            sub = at;
    }
    if (!sub)
        throw ESuiteError(
            QStringLiteral("A fonte '%1' não tem um mapa de caracteres Unicode.").arg(QDir::toNativeSeparators(name)));
    const int segments = r.u16(sub + 6) / 2;
    const quint32 ends = sub + 14, starts = ends + 2 + quint32(segments) * 2;
    const quint32 deltas = starts + quint32(segments) * 2, ranges = deltas + quint32(segments) * 2;
    for (int s = 0; s < segments; ++s) {
        const quint32 end = r.u16(ends + quint32(s) * 2), start = r.u16(starts + quint32(s) * 2);
        const quint16 delta = r.u16(deltas + quint32(s) * 2);
        const quint32 rangeAt = ranges + quint32(s) * 2;
        const quint16 range = r.u16(rangeAt);
        for (quint32 c = start; c <= end && c < 0x10000; ++c) {
            quint16 g = 0;
            if (range == 0) {
                g = quint16(c + delta);
            } else {
                g = r.u16(rangeAt + range + (c - start) * 2);
                if (g)
                    g = quint16(g + delta);
            }
            m_cmap[c] = g < m_glyphCount ? g : 0;
        }
    }
    m_charAdvance.resize(0x10000);
    for (quint32 c = 0; c < 0x10000; ++c)
        m_charAdvance[c] = quint16(advance(m_cmap[c]));
}

QByteArray TrueTypeFont::glyphData(quint16 glyph) const
{
    const Reader r{m_data, m_postScriptName};
    const Table *loca = table("loca");
    const Table *glyf = table("glyf");
    if (glyph >= m_glyphCount)
        return {};
    quint32 from, to;
    if (m_locaFormat == 0) {
        from = quint32(r.u16(loca->offset + quint32(glyph) * 2)) * 2;
        to = quint32(r.u16(loca->offset + quint32(glyph) * 2 + 2)) * 2;
    } else {
        from = r.u32(loca->offset + quint32(glyph) * 4);
        to = r.u32(loca->offset + quint32(glyph) * 4 + 4);
    }
    if (to <= from || to > glyf->length)
        return {};
    return m_data.mid(glyf->offset + from, to - from);
}

void TrueTypeFont::addComponents(quint16 glyph, std::vector<bool> &used, int depth) const
{
    const QByteArray g = glyphData(glyph);
    if (depth > 8 || g.size() < 10)
        return;
    const Reader r{g, m_postScriptName};
    if (r.s16(0) >= 0)
        return; // a simple glyph
    quint64 at = 10;
    for (;;) {
        const quint16 flags = r.u16(at);
        const quint16 part = r.u16(at + 2);
        if (part < m_glyphCount && !used[part]) {
            used[part] = true;
            addComponents(part, used, depth + 1);
        }
        at += 4 + ((flags & 0x0001) ? 4 : 2);
        if (flags & 0x0008)
            at += 2;
        else if (flags & 0x0040)
            at += 4;
        else if (flags & 0x0080)
            at += 8;
        if (!(flags & 0x0020))
            break;
    }
}

QByteArray TrueTypeFont::subset(const std::vector<bool> &wanted) const
{
    std::vector<bool> used(m_glyphCount, false);
    for (size_t g = 0; g < wanted.size() && g < used.size(); ++g)
        used[g] = wanted[g];
    if (m_glyphCount > 0)
        used[0] = true;
    for (int g = 0; g < m_glyphCount; ++g)
        if (used[g])
            addComponents(quint16(g), used, 0);

    QByteArray glyf, loca;
    for (int g = 0; g < m_glyphCount; ++g) {
        put32(loca, quint32(glyf.size()));
        if (used[g]) {
            glyf += glyphData(quint16(g));
            while (glyf.size() % 4)
                glyf.append('\0');
        }
    }
    put32(loca, quint32(glyf.size()));

    struct Out
    {
        const char *tag;
        QByteArray bytes;
    };
    QList<Out> tables;
    for (const char *tag : {"cvt ", "fpgm", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "prep"}) {
        QByteArray bytes;
        if (!std::strcmp(tag, "glyf"))
            bytes = glyf;
        else if (!std::strcmp(tag, "loca"))
            bytes = loca;
        else if (const Table *t = table(tag))
            bytes = m_data.mid(t->offset, t->length);
        else
            continue;
        if (!std::strcmp(tag, "head") && bytes.size() >= 54) {
            set32(bytes, 8, 0);  // checkSumAdjustment, set below
            set16(bytes, 50, 1); // long loca offsets
        }
        tables << Out{tag, bytes};
    }

    QByteArray font;
    const int n = int(tables.size());
    int power = 1, log2 = 0;
    while (power * 2 <= n) {
        power *= 2;
        ++log2;
    }
    put32(font, 0x00010000);
    put16(font, quint16(n));
    put16(font, quint16(power * 16));
    put16(font, quint16(log2));
    put16(font, quint16(n * 16 - power * 16));
    quint32 offset = quint32(12 + n * 16);
    qsizetype headAt = -1;
    for (const Out &t : tables) {
        put32(font, tagOf(t.tag));
        put32(font, checksum(t.bytes));
        put32(font, offset);
        put32(font, quint32(t.bytes.size()));
        offset += quint32((t.bytes.size() + 3) & ~3);
    }
    for (const Out &t : tables) {
        if (!std::strcmp(t.tag, "head"))
            headAt = font.size();
        font += t.bytes;
        while (font.size() % 4)
            font.append('\0');
    }
    if (headAt >= 0)
        set32(font, headAt + 8, 0xB1B0AFBAu - checksum(font));
    return font;
}
