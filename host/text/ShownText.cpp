#include "text/ShownText.h"

namespace ShownText {

QString clean(const QString &text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\x1b')) {
            // CSI (ESC [ ... final letter) or a two-character escape.
            if (i + 1 < n && text.at(i + 1) == QLatin1Char('[')) {
                i += 2;
                while (i < n && !(text.at(i).unicode() >= 0x40 && text.at(i).unicode() <= 0x7e))
                    ++i;
            } else {
                ++i;
            }
            continue;
        }
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            out += QLatin1Char(' ');
        else if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format)
            out += c;
    }
    return out;
}

QString value(const QString &text, int max)
{
    const QString shown = clean(text);
    if (shown.size() <= max)
        return shown;
    return QStringLiteral("%1… (%2 caracteres)").arg(shown.left(max)).arg(text.size());
}

} // namespace ShownText
