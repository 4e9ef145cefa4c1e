#pragma once

#include "suite_export.h"

#include <QJsonObject>
#include <QStringList>

class QJsonValue;

// The page's margins in mm. A definition that does not name them has 10 mm on every side,
// as every report had before they could be changed, so older files lay out as they did.
struct SUITE_EXPORT ReportMargins
{
    static constexpr double defaultMm = 10;
    static constexpr double maxMm = 50;

    double top = defaultMm, bottom = defaultMm, left = defaultMm, right = defaultMm;

    bool operator==(const ReportMargins &) const = default;
    bool isDefault() const { return *this == ReportMargins(); }

    // A side the file does not name keeps its default.
    static ReportMargins fromJson(const QJsonValue &value);
    QJsonObject toJson() const;
    // One line per fault: a margin below 0 or above maxMm.
    void check(QStringList &problems) const;
};
