#pragma once

#include "suite_export.h"

#include <QIcon>

// Small glyphs drawn with QPainter, so the controls need no image files: each icon
// carries a normal and a disabled (greyed) image.
namespace Glyphs {
SUITE_TEST_EXPORT QIcon search();
SUITE_TEST_EXPORT QIcon calendar();
} // namespace Glyphs
