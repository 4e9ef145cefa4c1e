#pragma once

#include "suite_export.h"

#include <QString>

// Texts that come from outside (a value a person typed, a database server's message) made
// fit to show inside a message: no control characters (a terminal would act on ANSI
// escapes) and no unbounded length.
namespace ShownText {

// The text without control characters: escape sequences are dropped, line breaks and tabs
// become spaces, and runs of spaces are kept as they are.
SUITE_TEST_EXPORT QString clean(const QString &text);

// clean(text), cut to `max` characters with "…" and the whole length when longer, so a
// refusal of a 1 MB value stays a line.
SUITE_TEST_EXPORT QString value(const QString &text, int max = 60);

} // namespace ShownText
