#pragma once

#include "suite_export.h"

#include <functional>

// Every place where Qt calls into a form passes through here: EAbort is swallowed
// (its message was shown already), any other exception is shown as an error.
// Returns false when the call ended in an exception.
SUITE_EXPORT bool guarded(const std::function<void()> &call);
