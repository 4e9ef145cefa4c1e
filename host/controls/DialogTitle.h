#pragma once

#include "suite_export.h"

#include <QString>

class QLabel;
class QWidget;

// The bold title a list dialog shows above its rows (the window title is not always
// drawn, and the person should see what list is open).
SUITE_TEST_EXPORT QLabel *dialogTitle(const QString &title, QWidget *dialog);
