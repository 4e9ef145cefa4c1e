#pragma once

#include "suite_export.h"
#include "report/ReportPage.h"

#include <QRectF>

class QPainter;

// Draws a laid-out page with a painter whose units are points from the sheet's top left
// corner: the same glyphs of the same fonts at the same places as the PDF writer, so the
// preview shows what the file and the paper show.
namespace PagePainter {

// pageCount: the run's page count, or 0 while it is not known; images: what the page's
// image items name (PageSetup::images).
SUITE_TEST_EXPORT void paint(QPainter &painter, const ReportPage &page, int pageCount, const PageImages *images = nullptr);

// The rectangle (points) a text item covers, for showing a match of a search.
SUITE_TEST_EXPORT QRectF bounds(const PageItem &item);
} // namespace PagePainter
