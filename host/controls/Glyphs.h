#pragma once

#include <QIcon>

// Small glyphs drawn with QPainter, so the controls need no image files: each icon
// carries a normal and a disabled (greyed) image.
namespace Glyphs {
QIcon search();
QIcon calendar();
} // namespace Glyphs
