#pragma once

#include "suite_export.h"
// The suite's other failures, raised where EAbort is.
#include "errors/EDatabaseError.h"
#include "errors/ESuiteError.h"

#include <stdexcept>

// The silent abort: stops the current command after its message was already shown.
class SUITE_EXPORT EAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "Operation aborted"; }
};
