#pragma once

#include "suite_export.h"

#include <QString>

class QWidget;

// The "save as" question for a file. Where the desktop offers its own dialog, that one;
// otherwise Qt's widget dialog, spoken in Portuguese, with dates as the clerk writes them
// and wide enough to read its columns.
namespace SaveFileDialog {

SUITE_TEST_EXPORT QString ask(QWidget *parent, const QString &title, const QString &suggested, const QString &filter);

} // namespace SaveFileDialog
