#pragma once

#include "suite_export.h"

#include <QString>

// Text as searches compare it: accents removed and case folded, so "ACUCAR" finds
// "Açúcar" and "joão" finds "JOÃO".
namespace TextFold {
SUITE_EXPORT QString fold(const QString &text);
}
