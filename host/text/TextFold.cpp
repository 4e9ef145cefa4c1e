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

} // namespace TextFold
