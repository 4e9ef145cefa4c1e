#pragma once

#include "suite_export.h"

#include <QString>

class TDataSource;

namespace Pesqlista {
// Multi-selection dialog over the rows of dataSource. Leaves in list the marked keys
// (ListString form); keeps the value passed in when nothing is marked.
SUITE_TEST_EXPORT bool PesquisaLista(TDataSource *dataSource, const QString &keyField, const QString &title, bool flag,
                                QString &list);
} // namespace Pesqlista
