#pragma once

#include "suite_export.h"

namespace SuiteLibrary {
// The version of the libsuite loaded in this process. A module tells the version it was
// built against (its SuiteVersion entry); the shell loads it only when the two are equal.
SUITE_EXPORT const char *version();
} // namespace SuiteLibrary
