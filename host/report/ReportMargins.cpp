#include "report/ReportMargins.h"

#include <QJsonValue>

namespace {

struct Side
{
    const char *key;
    const char *name;
    double ReportMargins::*value;
};

constexpr Side sides[] = {{"top", "superior", &ReportMargins::top},
                          {"bottom", "inferior", &ReportMargins::bottom},
                          {"left", "esquerda", &ReportMargins::left},
                          {"right", "direita", &ReportMargins::right}};

} // namespace

ReportMargins ReportMargins::fromJson(const QJsonValue &value)
{
    ReportMargins m;
    const QJsonObject o = value.toObject();
    for (const Side &side : sides)
        m.*side.value = o.value(QLatin1String(side.key)).toDouble(defaultMm);
    return m;
}

QJsonObject ReportMargins::toJson() const
{
    QJsonObject o;
    for (const Side &side : sides)
        o.insert(QLatin1String(side.key), this->*side.value);
    return o;
}

void ReportMargins::check(QStringList &problems) const
{
    for (const Side &side : sides) {
        const double mm = this->*side.value;
        // !(in range) also refuses NaN.
        if (!(mm >= 0 && mm <= maxMm))
            problems << QStringLiteral("a margem %1 tem %2 mm, e aceita de 0 a %3 mm")
                            .arg(QLatin1String(side.name))
                            .arg(mm)
                            .arg(maxMm);
    }
}
