#pragma once

#include <QChar>
#include <QStringView>
#include <string>

// Text into UTF-8 for the writers that build their bytes themselves (CSV, XLSX), with one
// rule: a character the file cannot hold becomes U+FFFD, the replacement character, so a
// reader sees that something stood there. UTF-8 cannot hold a lone surrogate (half of a
// pair whose other half is missing); each writer names what its format cannot hold besides.
namespace Utf8Text {

constexpr char32_t replacement = 0xFFFD;

inline void appendCodePoint(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
        return;
    }
    if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
    }
    out += char(0x80 | (c & 0x3F));
}

// Appends text. write(out, c) sees each character first and returns true when it wrote it
// itself (an escape, or the replacement for what the format forbids).
template <class Write>
void append(std::string &out, QStringView text, Write write)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
        else if (QChar::isSurrogate(c))
            c = replacement;
        if (!write(out, c))
            appendCodePoint(out, c);
    }
}

} // namespace Utf8Text
