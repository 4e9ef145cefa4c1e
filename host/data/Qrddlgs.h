#pragma once

#include "data/TParams.h"
#include "suite_export.h"

namespace Qrddlgs {
// True when params holds a parameter of that name.
SUITE_EXPORT bool ExistParam(const TParams &params, const QString &name);
} // namespace Qrddlgs
