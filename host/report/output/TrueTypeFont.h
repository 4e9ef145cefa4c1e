#pragma once

#include "suite_export.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <array>
#include <memory>
#include <vector>

// A TrueType font read from its file: what the report layout needs to measure text
// (advance widths through the character map) and what the PDF writer needs to embed the
// glyphs a document used (a subset that keeps the glyph numbers). Only the Basic
// Multilingual Plane is mapped; a character the font lacks is drawn as glyph 0.
class SUITE_TEST_EXPORT TrueTypeFont
{
public:
    // Reads and checks a font file; raises ESuiteError naming the file and the fault.
    static std::shared_ptr<const TrueTypeFont> load(const QString &fileName);
    static std::shared_ptr<const TrueTypeFont> fromData(const QByteArray &data, const QString &name);

    const QByteArray &data() const { return m_data; }
    QString postScriptName() const { return m_postScriptName; }
    int unitsPerEm() const { return m_unitsPerEm; }
    int ascent() const { return m_ascent; }   // font units, positive
    int descent() const { return m_descent; } // font units, positive (below the baseline)
    int capHeight() const { return m_capHeight; }
    int glyphCount() const { return m_glyphCount; }
    // xMin, yMin, xMax, yMax in font units.
    std::array<int, 4> boundingBox() const { return m_bbox; }
    double italicAngle() const { return m_italicAngle; }

    quint16 glyph(char16_t c) const { return m_cmap[c]; }
    int advance(quint16 glyph) const { return glyph < m_advances.size() ? m_advances[glyph] : m_advances.back(); }
    // Width of a text in font units (no kerning: the layout and every backend place
    // glyphs by their advances alone).
    qint64 width(QStringView text) const
    {
        qint64 w = 0;
        for (QChar c : text)
            w += m_charAdvance[c.unicode()];
        return w;
    }

    // A font file holding only the given glyphs (and glyph 0 and the parts of composite
    // glyphs), with the glyph numbers unchanged.
    QByteArray subset(const std::vector<bool> &used) const;

private:
    TrueTypeFont() = default;
    struct Table
    {
        quint32 tag = 0;
        quint32 offset = 0;
        quint32 length = 0;
    };
    const Table *table(const char tag[4]) const;
    void parse(const QString &name);
    void parseCmap(const Table &cmap, const QString &name);
    void addComponents(quint16 glyph, std::vector<bool> &used, int depth) const;
    QByteArray glyphData(quint16 glyph) const;

    QByteArray m_data;
    QList<Table> m_tables;
    QString m_postScriptName;
    int m_unitsPerEm = 1000;
    int m_ascent = 0;
    int m_descent = 0;
    int m_capHeight = 0;
    int m_glyphCount = 0;
    int m_locaFormat = 0;
    double m_italicAngle = 0;
    std::array<int, 4> m_bbox{};
    std::vector<quint16> m_advances;
    std::vector<quint16> m_cmap;        // 65536 entries
    std::vector<quint16> m_charAdvance; // advance of each character's glyph
};
