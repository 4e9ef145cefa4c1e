#pragma once

#include "data/SqlDialect.h"
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
SUITE_TEST_EXPORT void requireSingleSelect(const QString &sql, const QString &what);

// PostgreSQL: has the server parse the text, as the driver will send it, as one prepared
// statement of the extended protocol, which the server refuses when the text holds more
// than one statement, however the text quotes, escapes or comments. `text` carries
// positional markers (PreparedSql::text). Raises EDatabaseError with the server's cause
// when it refuses. No effect on other databases: SQLite's and Firebird's drivers prepare
// one statement only.
SUITE_TEST_EXPORT void requireOneStatement(const QSqlDatabase &db, const QString &text);

// SQLite: an authorizer that lets statements read tables and call SQLite's functions that
// only compute (an allow list) and nothing else (no ATTACH, VACUUM, writes, pragma
// changes, extensions), with the connection in defensive mode. No effect on other
// databases, where the database user's grants do this.
SUITE_TEST_EXPORT void restrictToReading(const QSqlDatabase &db);
} // namespace SqlGuard
