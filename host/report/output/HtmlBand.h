#pragma once

#include "report/ReportPage.h"
#include "report/ReportSink.h"
#include "suite_export.h"

#include <QList>
#include <QString>

// A band of elements in HTML as the paged layout places it: a box of the band's height in
// which each element sits at its place in mm, with its font, colours, border and
// alignment, and the look its style rules gave it. Images are written once, as CSS
// classes in the page's head, however many bands show them.
namespace HtmlBand {

// The <style> rules naming each image of the run (.im0, .im1 ...).
SUITE_TEST_EXPORT QString imageStyles(const PageImages &images);
SUITE_TEST_EXPORT QString html(const QList<PlacedElement> &elements, double heightMm);

} // namespace HtmlBand
