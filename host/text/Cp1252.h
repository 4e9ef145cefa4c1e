#pragma once

#include "suite_export.h"

#include <QByteArray>
#include <QString>

// The suite's 8-bit code page (Windows-1252). Characters it has no byte for become '?'.
namespace Cp1252 {
SUITE_EXPORT QByteArray fromUnicode(const QString &text);
SUITE_EXPORT QString toUnicode(const QByteArray &bytes);
// Compares two texts as plain byte strings in the code page (unsigned, a proper prefix
// below the longer text): <0, 0 or >0.
SUITE_EXPORT int compareBytes(const QString &a, const QString &b);
} // namespace Cp1252
