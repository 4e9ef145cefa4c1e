#include "report/ReportFormat.h"

#include <QDateTime>
#include <charconv>
#include <cmath>
#include <cstring>

namespace ReportFormat {

namespace {

// The digits of |value| with exactly `decimals` decimals and '.' between the parts, as
// QString::number(value, 'f', decimals) writes them: rounded half up on the exact binary
// value. Returns the length; 0 when the value does not fit (then the slow way is taken).
int fixedDigits(double magnitude, int decimals, char *out, int size)
{
    const std::to_chars_result r = std::to_chars(out, out + size, magnitude, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return 0;
    int n = int(r.ptr - out);
    // to_chars breaks exact ties to even; a tie is rare (a value like 0,125 shown with two
    // decimals) and then the full expansion decides.
    static const double scales[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};
    const double scaled = magnitude * scales[decimals];
    const double fraction = scaled - std::floor(scaled);
    if (std::fabs(fraction - 0.5) > 1e-6 || scaled > 1e15)
        return n;
    char exact[400];
    const std::to_chars_result e =
        std::to_chars(exact, exact + sizeof exact, magnitude, std::chars_format::fixed, decimals + 60);
    if (e.ec != std::errc())
        return n;
    const int keep = int(e.ptr - exact) - 60; // the digits up to `decimals` decimals
    if (exact[keep] < '5')
        return n;
    // Round the kept digits up, carrying as far as needed.
    std::memcpy(out, exact, size_t(keep));
    n = keep;
    int i = n - 1;
    for (; i >= 0; --i) {
        if (out[i] == '.')
            continue;
        if (out[i] < '9') {
            ++out[i];
            break;
        }
        out[i] = '0';
    }
    if (i < 0) {
        std::memmove(out + 1, out, size_t(n));
        out[0] = '1';
        ++n;
    }
    if (decimals == 0 && n > 0 && out[n - 1] == '.')
        --n;
    return n;
}

} // namespace

int formatNumber(char *out, double value, int decimals, bool grouping)
{
    if (!std::isfinite(value))
        return 0;
    decimals = qBound(0, decimals, 10);
    char digits[512];
    int n = fixedDigits(std::fabs(value), decimals, digits, int(sizeof digits) - 1);
    if (n == 0) {
        const QByteArray slow = QByteArray::number(std::fabs(value), 'f', decimals);
        n = int(qMin<qsizetype>(slow.size(), qsizetype(sizeof digits) - 1));
        std::memcpy(digits, slow.constData(), size_t(n));
    }
    bool allZero = true;
    int dot = n;
    for (int i = 0; i < n; ++i) {
        if (digits[i] == '.')
            dot = i;
        else if (digits[i] != '0')
            allZero = false;
    }
    int o = 0;
    if (value < 0 && !allZero)
        out[o++] = '-';
    for (int i = 0; i < dot; ++i) {
        if (grouping && i > 0 && (dot - i) % 3 == 0)
            out[o++] = '.';
        out[o++] = digits[i];
    }
    if (dot < n) {
        out[o++] = ',';
        for (int i = dot + 1; i < n; ++i)
            out[o++] = digits[i];
    }
    return o;
}

QString number(double value, int decimals, bool grouping)
{
    char out[maxNumberLength];
    return QString::fromLatin1(out, formatNumber(out, value, decimals, grouping));
}

QString shortest(double value)
{
    if (!std::isfinite(value))
        return QString();
    if (value == 0)
        return QStringLiteral("0"); // and never "-0"
    char out[512];
    const std::to_chars_result r = std::to_chars(out, out + sizeof out, value, std::chars_format::fixed);
    if (r.ec != std::errc())
        return QString::number(value, 'g', 17);
    for (char *c = out; c < r.ptr; ++c)
        if (*c == '.')
            *c = ',';
    return QString::fromLatin1(out, int(r.ptr - out));
}

QString money(double value)
{
    return number(value, 2);
}

QString percent(double value, int decimals)
{
    return number(value, decimals) + QLatin1Char('%');
}

QString variation(double value, int decimals)
{
    const QString magnitude = number(std::fabs(value), decimals);
    const QString zero = number(0, decimals);
    if (!std::isfinite(value))
        return QString();
    if (magnitude == zero)
        return zero + QLatin1Char('%');
    if (value > 0)
        return QStringLiteral("▲ +") + magnitude + QLatin1Char('%');
    return QStringLiteral("▼ -") + magnitude + QLatin1Char('%');
}

int formatDate(char *out, const QDate &value)
{
    int y = 0, m = 0, d = 0;
    value.getDate(&y, &m, &d);
    if (!value.isValid() || y < 1 || y > 9999)
        return 0;
    const char text[10] = {char('0' + d / 10),   char('0' + d % 10),       '/',
                           char('0' + m / 10),   char('0' + m % 10),       '/',
                           char('0' + y / 1000), char('0' + y / 100 % 10), char('0' + y / 10 % 10),
                           char('0' + y % 10)};
    std::memcpy(out, text, sizeof text);
    return int(sizeof text);
}

QString date(const QDate &value)
{
    if (!value.isValid())
        return QString();
    char out[10];
    const int n = formatDate(out, value);
    return n ? QString::fromLatin1(out, n) : value.toString(QStringLiteral("dd/MM/yyyy"));
}

QString mask(const QString &value, const QString &pattern)
{
    QString out;
    qsizetype next = 0;
    for (QChar m : pattern) {
        if (next >= value.size())
            break;
        if (m == QLatin1Char('9') || m == QLatin1Char('A') || m == QLatin1Char('a') || m == QLatin1Char('X')
            || m == QLatin1Char('#'))
            out += value.at(next++);
        else
            out += m;
    }
    out += value.mid(next);
    return out;
}

namespace {

// "2026-12-07" (and "2026-12-07 10:00", "2026-12-07T10:00"): the form databases give.
QDate isoDate(QStringView text)
{
    if (text.size() < 10 || text[4] != u'-' || text[7] != u'-')
        return QDate();
    int v[3] = {0, 0, 0};
    const int from[3] = {0, 5, 8}, len[3] = {4, 2, 2};
    for (int k = 0; k < 3; ++k)
        for (int i = from[k]; i < from[k] + len[k]; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9')
                return QDate();
            v[k] = v[k] * 10 + (c - u'0');
        }
    if (text.size() > 10 && text[10] != u' ' && text[10] != u'T')
        return QDate();
    return QDate(v[0], v[1], v[2]);
}

} // namespace

QDate toDate(const QVariant &value)
{
    if (value.isNull())
        return QDate();
    switch (value.metaType().id()) {
    case QMetaType::QDate: return value.toDate();
    case QMetaType::QDateTime: return value.toDateTime().date();
    default: break;
    }
    const QString text = value.toString().trimmed();
    QDate d = isoDate(text);
    if (!d.isValid())
        d = QDate::fromString(text.left(10), Qt::ISODate);
    if (!d.isValid())
        d = QDate::fromString(text.left(10), QStringLiteral("dd/MM/yyyy"));
    return d;
}

double toNumber(const QVariant &value, bool *ok)
{
    bool good = false;
    double result = 0;
    if (!value.isNull()) {
        switch (value.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float: result = value.toDouble(&good); break;
        default: result = value.toString().trimmed().toDouble(&good); break;
        }
    }
    if (ok)
        *ok = good;
    return good ? result : 0;
}

QString kindOf(const QString &format)
{
    const qsizetype colon = format.indexOf(QLatin1Char(':'));
    return (colon < 0 ? format : format.left(colon)).trimmed().toLower();
}

QString argumentOf(const QString &format)
{
    const qsizetype colon = format.indexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : format.mid(colon + 1);
}

int decimalsOf(const QString &format)
{
    const QString kind = kindOf(format);
    if (kind == QLatin1String("integer"))
        return 0;
    if (kind == QLatin1String("money"))
        return 2;
    bool ok = false;
    const int n = argumentOf(format).trimmed().toInt(&ok);
    return ok ? qBound(0, n, 10) : 2;
}

bool isNumeric(const QString &format)
{
    const QString kind = kindOf(format);
    return kind == QLatin1String("integer") || kind == QLatin1String("number") || kind == QLatin1String("money")
           || kind == QLatin1String("percent") || kind == QLatin1String("variation");
}

namespace {

QString textOf(const QVariant &value)
{
    if (value.isNull())
        return QString();
    if (value.metaType().id() == QMetaType::QDate)
        return date(value.toDate());
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    if (value.metaType().id() == QMetaType::Double || value.metaType().id() == QMetaType::Float)
        return shortest(value.toDouble());
    return value.toString();
}

QString render(const QVariant &value, const ValueFormat &style, bool forPeople)
{
    if (value.isNull())
        return QString();
    switch (style.kind) {
    case ValueFormat::Integer:
    case ValueFormat::Number:
    case ValueFormat::Money:
    case ValueFormat::Percent:
    case ValueFormat::Variation: {
        bool ok = false;
        const double v = toNumber(value, &ok);
        if (!ok)
            return textOf(value);
        if (!forPeople)
            return number(v, style.decimals, false);
        if (style.kind == ValueFormat::Percent)
            return percent(v, style.decimals);
        if (style.kind == ValueFormat::Variation)
            return variation(v, style.decimals);
        return number(v, style.decimals);
    }
    case ValueFormat::Date: {
        const QDate d = toDate(value);
        return d.isValid() ? date(d) : textOf(value);
    }
    case ValueFormat::DateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.isValid() ? dt.toString(QStringLiteral("dd/MM/yyyy hh:mm")) : textOf(value);
    }
    case ValueFormat::Mask: return mask(textOf(value).trimmed(), style.mask);
    case ValueFormat::Text: break;
    }
    return textOf(value);
}

} // namespace

ValueFormat ValueFormat::parse(const QString &format)
{
    static const std::pair<const char *, Kind> kinds[] = {
        {"integer", Integer},     {"number", Number}, {"money", Money},       {"percent", Percent},
        {"variation", Variation}, {"date", Date},     {"datetime", DateTime}, {"mask", Mask}};
    ValueFormat style;
    const QString kind = kindOf(format);
    for (const auto &[name, value] : kinds)
        if (kind == QLatin1String(name))
            style.kind = value;
    style.decimals = decimalsOf(format);
    if (style.kind == Mask)
        style.mask = argumentOf(format);
    return style;
}

QString display(const QVariant &value, const ValueFormat &style)
{
    return render(value, style, true);
}

QString display(const QVariant &value, const QString &format)
{
    return render(value, ValueFormat::parse(format), true);
}

QString plain(const QVariant &value, const ValueFormat &style)
{
    return render(value, style, false);
}

QString plain(const QVariant &value, const QString &format)
{
    return render(value, ValueFormat::parse(format), false);
}

} // namespace ReportFormat

bool ReportFormat::isKnown(const QString &format)
{
    static const char *const kinds[] = {"text", "integer",  "number",    "money", "percent",
                                        "date", "datetime", "variation", "mask"};
    const QString kind = kindOf(format);
    for (const char *k : kinds)
        if (kind == QLatin1String(k))
            return true;
    return false;
}
