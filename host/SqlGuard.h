#pragma once

#include "SqlDialect.h"
#include "suite_export.h"

#include <QSqlDatabase>
#include <QString>

// What keeps a read-only connection read-only beyond the user's grants: statements of
// report definitions (which a person may edit) are checked before they run, and SQLite
// connections refuse anything but reading at the engine itself.
namespace SqlGuard {

// Raises ESuiteError when the text is not one SELECT (or WITH ... SELECT) statement: a
// second statement, or any other first word, is refused before it reaches the database.
// what names the statement in the message ("a consulta do relatório 'X'").
SUITE_EXPORT void requireSingleSelect(const QString &sql, const QString &what);

// SQLite: an authorizer that lets statements read tables and call functions and nothing
// else (no ATTACH, VACUUM, writes, or pragma changes). No effect on other databases.
SUITE_EXPORT void restrictToReading(const QSqlDatabase &db);
} // namespace SqlGuard
