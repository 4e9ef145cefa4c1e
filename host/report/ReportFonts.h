#pragma once

#include "suite_export.h"
#include "report/ReportPage.h"
#include "report/output/TrueTypeFont.h"

#include <memory>

// The faces every report is set in (DejaVu Sans: regular, bold, oblique and bold oblique),
// each read once per process, when first used, from the system's font folders. The layout measures with them and every
// backend draws with them, so a page looks the same in the preview, on paper and in PDF.
namespace ReportFonts {

// Raises ESuiteError saying which font is missing and how to install it.
SUITE_TEST_EXPORT std::shared_ptr<const TrueTypeFont> face(PageItem::Face face);

// Width of a text in points at a size.
inline double width(const TrueTypeFont &font, double size, QStringView text)
{
    return double(font.width(text)) * size / font.unitsPerEm();
}
} // namespace ReportFonts
