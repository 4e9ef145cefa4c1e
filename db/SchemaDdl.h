#pragma once

#include "data/SqlDialect.h"
#include "TableDef.h"

#include <QString>
#include <QStringList>

// Renders a table description as the statements of one database dialect.
namespace SchemaDdl {
QString columnType(const ColumnDef &column, SqlDialect dialect);
QString createTable(const TableDef &table, SqlDialect dialect);
QStringList createIndexes(const TableDef &table, SqlDialect dialect);
// The functions the suite's SQL texts call that the dialect lacks: NVLSTR(a, b), the
// first of two texts that is not null (SQLite registers functions per connection, so
// nothing is stored there).
QStringList createRoutines(SqlDialect dialect);
// Firebird only, created after the data is loaded: triggers that move a change mark when
// suppliers or quotes change, and the descending index that MAX(CDARVPROD) needs.
QStringList createChangeMarks(SqlDialect dialect);
// The SQL expression that folds a text as TextFold::fold does for Portuguese (accents
// removed, small letters), in the dialect.
QString foldExpression(const QString &text, SqlDialect dialect);
// Created after the data is loaded: what keeps PRODUTO.NMBUSCA (the folded name) filled
// on later writes, and what finds a text anywhere in it through an index. SQLite: a
// trigram full-text table whose rows are loaded in the folded order (PRODUTO_BUSCA, with
// PRODUTO_BUSCA_ORDEM holding the last row of that ordered load; rows written later
// follow it). PostgreSQL and Firebird: the words of the folded names with the name and the
// code (PRODUTO_PALAVRA, indexed in that order) and the words once each
// (PRODUTO_VOCABULO); triggers add the words of names written later.
QStringList createSearch(SqlDialect dialect);
// The users that read a server database, each with what its work needs and nothing more
// (the owner loads the data). Screen: the screen's queries and lookups (every table and
// the search words). Reports: report definitions, which a person may edit (the tables
// only). AppServer: the application server's supplier list (suppliers, quotes and what
// they name, and on Firebird the change mark).
enum class DbRole { Screen, Reports, AppServer };
// Grants of a role: SELECT on its tables, EXECUTE on the routines above that only compute.
QStringList grantRole(const QList<TableDef> &tables, SqlDialect dialect, DbRole role, const QString &user);
// grantRole for DbRole::Screen.
QStringList grantReadOnly(const QList<TableDef> &tables, SqlDialect dialect, const QString &reader);
// The type a value of the column is bound as in a Firebird EXECUTE BLOCK.
QString firebirdParamType(const ColumnDef &column);
// INSERT of every column with positional markers, `rows` rows in one statement (on
// Firebird an EXECUTE BLOCK with one typed input per value).
QString insert(const TableDef &table, SqlDialect dialect, int rows = 1);
// How many rows one INSERT (or Firebird block) may carry on the dialect.
int maxRowsPerInsert(const TableDef &table, SqlDialect dialect);
} // namespace SchemaDdl
