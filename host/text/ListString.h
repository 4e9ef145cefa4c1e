#pragma once

#include "suite_export.h"

#include <QString>
#include <QStringList>

// The list string that the multi-selection dialog leaves and the report reads: "T"
// means all, the empty string none picked yet, anything else a JSON array of keys,
// which carries any key (quotes, commas, accents) faithfully.
namespace ListString {
SUITE_EXPORT QString encode(const QStringList &keys);
// "T" gives {"T"}, "" gives {}, a JSON array its elements, any other text itself alone.
SUITE_EXPORT QStringList decode(const QString &list);
} // namespace ListString
