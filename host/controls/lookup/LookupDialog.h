#pragma once

#include "suite_export.h"

#include <QString>

class QWidget;
class TDataSource;

// The lookup list of TBtnPesquisa: the visible columns of the data set, incremental
// search by code and by name, Enter picks, Escape cancels. Big query results are read
// in pages, never whole. On a pick the data set is positioned on the chosen row.
namespace LookupDialog {
SUITE_TEST_EXPORT bool run(QWidget *parent, TDataSource *source, const QString &title, const QString &keyField,
                      QString &key);
}
