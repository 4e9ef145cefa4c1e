#pragma once

#include "suite_export.h"

class QWidget;

// Busy indicator shown over the application's main window while a blocking call runs.
namespace Showavi {
SUITE_EXPORT void ActiveShowAvi(QWidget *form, int kind = 0);
SUITE_EXPORT void DeactiveShowAvi();
SUITE_EXPORT bool isShowing();
} // namespace Showavi
