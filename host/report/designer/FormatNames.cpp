#include "report/designer/FormatNames.h"

namespace {

constexpr int maxDecimals = 10;

QString places(int n)
{
    return n == 0 ? QStringLiteral("sem casas") : n == 1 ? QStringLiteral("1 casa") : QStringLiteral("%1 casas").arg(n);
}

// The formats that take a number of decimal places, and how a name starts for each.
const std::pair<const char *, const char *> withPlaces[] = {
    {"number", "Número"}, {"percent", "Percentual"}, {"variation", "Variação (▲/▼)"}};

const std::pair<const char *, const char *> plain[] = {{"text", "Texto"},
                                                       {"integer", "Inteiro"},
                                                       {"money", "Moeda"},
                                                       {"date", "Data"},
                                                       {"datetime", "Data e hora"}};

const QString maskName = QStringLiteral("Máscara ");

} // namespace

namespace FormatNames {

QStringList offered()
{
    return {name(QStringLiteral("text")),      name(QStringLiteral("integer")),   name(QStringLiteral("number:2")),
            name(QStringLiteral("money")),     name(QStringLiteral("percent:2")), name(QStringLiteral("date")),
            name(QStringLiteral("datetime")),  name(QStringLiteral("variation:1"))};
}

QString name(const QString &key)
{
    const QString trimmed = key.trimmed();
    const QString kind = trimmed.section(QLatin1Char(':'), 0, 0).toLower();
    const QString argument = trimmed.section(QLatin1Char(':'), 1);
    if (kind == QLatin1String("mask") && !argument.isEmpty())
        return maskName + argument;
    for (const auto &[k, text] : plain)
        if (kind == QLatin1String(k) && argument.isEmpty())
            return QString::fromUtf8(text);
    for (const auto &[k, text] : withPlaces) {
        if (kind != QLatin1String(k))
            continue;
        bool ok = argument.isEmpty();
        // Without a number the engine shows two places.
        const int n = ok ? 2 : argument.toInt(&ok);
        if (ok && n >= 0 && n <= maxDecimals)
            return QStringLiteral("%1, %2").arg(QString::fromUtf8(text), places(n));
    }
    return key;
}

QString key(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.startsWith(maskName, Qt::CaseInsensitive))
        return QStringLiteral("mask:") + text.mid(maskName.size());
    for (const auto &[k, shown] : plain)
        if (text.compare(QString::fromUtf8(shown), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(k);
    for (const auto &[k, shown] : withPlaces)
        for (int n = 0; n <= maxDecimals; ++n)
            if (text.compare(QStringLiteral("%1, %2").arg(QString::fromUtf8(shown), places(n)), Qt::CaseInsensitive) == 0)
                return QStringLiteral("%1:%2").arg(QLatin1String(k)).arg(n);
    return text;
}

} // namespace FormatNames
