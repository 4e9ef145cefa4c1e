#pragma once

#include "suite_export.h"

#include <QString>
#include <QStringList>

// The formats of columns and fields as an author reads them ("Número, 2 casas"), and back
// to the keys a definition keeps ("number:2"). A key the list does not name (a format
// typed by hand) shows as it is and is kept as typed.
namespace FormatNames {
// The formats offered in the lists, by name.
SUITE_TEST_EXPORT QStringList offered();
SUITE_TEST_EXPORT QString name(const QString &key);
SUITE_TEST_EXPORT QString key(const QString &typed);
} // namespace FormatNames
