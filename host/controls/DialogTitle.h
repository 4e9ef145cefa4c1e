#pragma once

#include <QString>

class QLabel;
class QWidget;

// The bold title a list dialog shows above its rows (the window title is not always
// drawn, and the person should see what list is open).
QLabel *dialogTitle(const QString &title, QWidget *dialog);
