#include "ReportFormat.h"

#include <QDateTime>
#include <cmath>

namespace ReportFormat {

QString number(double value, int decimals, bool grouping)
{
    if (!std::isfinite(value))
        return QString();
    decimals = qBound(0, decimals, 10);
    QString text = QString::number(std::fabs(value), 'f', decimals);
    bool allZero = true;
    for (QChar c : text)
        if (c.isDigit() && c != QLatin1Char('0'))
            allZero = false;
    const bool negative = value < 0 && !allZero;

    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    QString integerPart = dot < 0 ? text : text.left(dot);
    const QString fraction = dot < 0 ? QString() : text.mid(dot + 1);
    if (grouping) {
        for (qsizetype i = integerPart.size() - 3; i > 0; i -= 3)
            integerPart.insert(i, QLatin1Char('.'));
    }
    QString out = negative ? QStringLiteral("-") : QString();
    out += integerPart;
    if (!fraction.isEmpty())
        out += QLatin1Char(',') + fraction;
    return out;
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

QString date(const QDate &value)
{
    return value.isValid() ? value.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

QString mask(const QString &value, const QString &pattern)
{
    QString out;
    qsizetype next = 0;
    for (QChar m : pattern) {
        if (next >= value.size())
            break;
        if (m == QLatin1Char('9') || m == QLatin1Char('A') || m == QLatin1Char('a')
            || m == QLatin1Char('X') || m == QLatin1Char('#'))
            out += value.at(next++);
        else
            out += m;
    }
    out += value.mid(next);
    return out;
}

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
    QDate d = QDate::fromString(text.left(10), Qt::ISODate);
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
        case QMetaType::Float:
            result = value.toDouble(&good);
            break;
        default:
            result = value.toString().trimmed().toDouble(&good);
            break;
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
    return kind == QLatin1String("integer") || kind == QLatin1String("number")
           || kind == QLatin1String("money") || kind == QLatin1String("percent")
           || kind == QLatin1String("variation");
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
    case ValueFormat::Mask:
        return mask(textOf(value).trimmed(), style.mask);
    case ValueFormat::Text:
        break;
    }
    return textOf(value);
}

} // namespace

ValueFormat ValueFormat::parse(const QString &format)
{
    static const std::pair<const char *, Kind> kinds[] = {
        {"integer", Integer}, {"number", Number}, {"money", Money},       {"percent", Percent},
        {"variation", Variation}, {"date", Date}, {"datetime", DateTime}, {"mask", Mask}};
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
