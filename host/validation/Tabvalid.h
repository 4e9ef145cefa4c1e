#pragma once

#include "validation/Zelmora.h"
#include "suite_export.h"

#include <QString>

class TDataSource;

namespace Tabvalid {
// Normalises a code for the picture of its type: strips the mask's literals, forces the
// mask's case, checks every character against the mask. Raises (after a message) when
// the picture cannot hold the code.
SUITE_EXPORT void ValidEx(TDataSource *dataSource, TPictType pictType, QString &code, int options, const QString &text,
                          bool flag);
// The same rule without a message: empty error text when the code fits.
SUITE_EXPORT QString normalise(const QString &mask, QString &code);
} // namespace Tabvalid
