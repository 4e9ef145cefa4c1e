#pragma once

#include "suite_export.h"

#include <QString>

class QWidget;

// The suite's file questions. Where the desktop offers its own dialog, that one;
// otherwise Qt's widget dialog, spoken in Portuguese, with dates as the clerk writes them
// and wide enough to read its columns (FileDetailsDelegate).
namespace SaveFileDialog {

// "Save as": a file to write, existing or not.
SUITE_TEST_EXPORT QString ask(QWidget *parent, const QString &title, const QString &suggested, const QString &filter);
// A file that exists, to read.
SUITE_TEST_EXPORT QString askOpen(QWidget *parent, const QString &title, const QString &filter);

} // namespace SaveFileDialog
