#include "text/Cp1252.h"

namespace {
// Code points of bytes 0x80..0x9F; 0 where the code page has none.
constexpr char16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                               0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                               0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
} // namespace

namespace Cp1252 {

QByteArray fromUnicode(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(char(u));
            continue;
        }
        char byte = '?';
        for (int i = 0; i < 32; ++i)
            if (high[i] == u && u != 0)
                byte = char(0x80 + i);
        out.append(byte);
    }
    return out;
}

QString toUnicode(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const unsigned char u = static_cast<unsigned char>(b);
        if (u >= 0x80 && u <= 0x9F)
            out.append(high[u - 0x80] ? QChar(high[u - 0x80]) : QChar(u));
        else
            out.append(QChar(u));
    }
    return out;
}

int compareBytes(const QString &a, const QString &b)
{
    const QByteArray x = fromUnicode(a), y = fromUnicode(b);
    const int n = int(std::min(x.size(), y.size()));
    for (int i = 0; i < n; ++i) {
        const unsigned char cx = static_cast<unsigned char>(x.at(i)), cy = static_cast<unsigned char>(y.at(i));
        if (cx != cy)
            return cx < cy ? -1 : 1;
    }
    return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}

} // namespace Cp1252
