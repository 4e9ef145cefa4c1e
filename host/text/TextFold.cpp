#include "text/TextFold.h"

#include <array>

namespace {

QString slowFold(const QString &text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out.toCaseFolded();
}

// The fold of each Latin-1 character (0 where it is not one character), computed once
// with the general rule so that both ways agree.
const std::array<char16_t, 256> &latin1Folds()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int c = 0; c < 256; ++c) {
            const QString folded = slowFold(QString(QChar(char16_t(c))));
            t[size_t(c)] = folded.size() == 1 ? folded.at(0).unicode() : 0;
        }
        return t;
    }();
    return table;
}

} // namespace

namespace TextFold {

QString fold(const QString &text)
{
    // Most text is Latin-1 (Portuguese): a table lookup per character; anything else
    // takes the general way (decompose, drop the accents, fold the case).
    const std::array<char16_t, 256> &table = latin1Folds();
    QString out(text.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const char16_t f = c < 256 ? table[c] : 0;
        if (f == 0 && c != 0)
            return slowFold(text);
        dst[i] = QChar(f);
    }
    return out;
}

qsizetype foldUtf8(QByteArrayView utf8, char16_t *out)
{
    // Latin-1 takes one byte (ASCII) or two (0xC2 and 0xC3 lead the rest) in UTF-8.
    const std::array<char16_t, 256> &table = latin1Folds();
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = p + utf8.size();
    char16_t *dst = out;
    while (p < end) {
        unsigned c = *p++;
        if (c >= 0x80) {
            if ((c != 0xC2 && c != 0xC3) || p == end)
                return -1;
            c = ((c & 0x1F) << 6) | (*p++ & 0x3F);
        }
        const char16_t f = table[c];
        if (f == 0 && c != 0)
            return -1;
        *dst++ = f;
    }
    return dst - out;
}

} // namespace TextFold
