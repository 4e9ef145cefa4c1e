#include "TextFold.h"

namespace TextFold {

QString fold(const QString &text)
{
    bool plain = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            plain = false;
            break;
        }
    if (plain)
        return text.toCaseFolded();
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out.toCaseFolded();
}

} // namespace TextFold
