#pragma once

#include "suite_export.h"

#include <QString>
#include <QStringList>

class QWidget;
class TDataSource;

// The multi-selection dialog of Pesqlista: the rows under the title with a mark column,
// mark and unmark by click and Space, mark all and none, a search box, OK and Cancel.
// Returns the marked keys; empty when cancelled or nothing is marked.
namespace MultiSelectDialog {
SUITE_TEST_EXPORT QStringList run(QWidget *parent, TDataSource *source, const QString &keyField, const QString &title,
                             const QStringList &preselected);
}
