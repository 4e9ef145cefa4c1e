#include "data/SqlGuard.h"
#include "data/Database.h"
#include "data/PgCursor.h"
#include "errors/EAbort.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace SqlGuard {

namespace {

// The text with comments and quoted literals blanked out, so that words and ';' inside
// them are not taken for statement text.
QString codeOnly(const QString &sql)
{
    QString out = sql;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                out[i++] = QLatin1Char(' ');
        } else if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            while (i < stop)
                out[i++] = QLatin1Char(' ');
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (sql.at(i) == c) {
                    if (i + 1 < n && sql.at(i + 1) == c) {
                        out[i] = out[i + 1] = QLatin1Char('x');
                        i += 2;
                        continue;
                    }
                    break;
                }
                out[i++] = QLatin1Char('x');
            }
            ++i;
        } else {
            ++i;
        }
    }
    return out;
}

// The functions a report may call: SQLite's own functions that compute a value from
// their arguments. Everything else is refused, in particular what reaches outside the
// query (load_extension, fts3_tokenizer, which hands out and takes a code pointer), what
// reads the engine's state, and what makes large values out of nothing (randomblob,
// zeroblob).
bool allowedFunction(const char *name)
{
    static const QSet<QByteArray> allowed = [] {
        QSet<QByteArray> names;
        for (const char *n :
             {"abs", "avg", "ceil", "ceiling", "char", "coalesce", "concat", "concat_ws", "count", "cume_dist", "date",
              "datetime", "dense_rank", "exp", "first_value", "floor", "format", "glob", "group_concat", "hex",
              "ifnull", "iif", "instr", "json", "json_array", "json_array_length", "json_each", "json_extract",
              "json_group_array", "json_group_object", "json_object", "json_quote", "json_tree", "json_type",
              "json_valid", "julianday", "lag", "last_value", "lead", "length", "like", "likelihood", "likely", "ln",
              "log", "log10", "log2", "lower", "ltrim", "match", "max", "min", "mod", "nth_value", "ntile", "nullif",
              "octet_length", "percent_rank", "pi", "pow", "power", "printf", "quote", "rank", "replace", "round",
              "row_number", "rtrim", "sign", "sqrt", "strftime", "string_agg", "substr", "substring", "sum", "time",
              "timediff", "total", "trim", "trunc", "typeof", "unicode", "unixepoch", "unlikely", "upper"})
            names.insert(QByteArray(n));
        return names;
    }();
    return name && allowed.contains(QByteArray(name).toLower());
}

int authorize(void *, int action, const char *first, const char *second, const char *, const char *)
{
    switch (action) {
    case SQLITE_UPDATE:
        // SQLite itself asks this when a table-valued function (json_each) is first used;
        // the connection is query-only, so no statement could write the schema anyway.
        return first && qstrcmp(first, "sqlite_master") == 0 ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_RECURSIVE: return SQLITE_OK;
    case SQLITE_FUNCTION: return allowedFunction(second) ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_PRAGMA:
        // Reading a pragma ("PRAGMA data_version") is harmless; setting one is not.
        return second ? SQLITE_DENY : SQLITE_OK;
    default: return SQLITE_DENY;
    }
}

} // namespace

void requireOneStatement(const QSqlDatabase &db, const QString &text)
{
    if (!db.driver() || db.driverName() != QLatin1String("QPSQL"))
        return;
    PGconn *conn = PgLink::connectionOf(db);
    if (!conn)
        throw EDatabaseError(QStringLiteral("Erro ao preparar a consulta no banco de dados"),
                             QStringLiteral("a conexão com o servidor de banco não está aberta"));
    // The unnamed statement: replaced by the next one, nothing to free.
    PGresult *result = PQprepare(conn, "", PgLink::positional(text).toUtf8().constData(), 0, nullptr);
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK) {
        PQclear(result);
        return;
    }
    const QSqlError error = PgLink::errorOf(result, conn);
    PQclear(result);
    throw EDatabaseError(QStringLiteral("Erro ao preparar a consulta no banco de dados"), databaseCause(error));
}

void requireSingleSelect(const QString &sql, const QString &what)
{
    QString code = codeOnly(sql).trimmed();
    while (code.endsWith(QLatin1Char(';')))
        code = code.chopped(1).trimmed();
    const QString first =
        code.section(QRegularExpression(QStringLiteral("[^A-Za-z_]")), 0, 0, QString::SectionSkipEmpty);
    if (code.isEmpty())
        throw ESuiteError(QStringLiteral("%1 está vazia.").arg(what));
    if (code.contains(QLatin1Char(';')))
        throw ESuiteError(
            QStringLiteral("%1 tem mais de um comando SQL; só uma consulta (SELECT) é aceita.").arg(what));
    if (first.compare(QLatin1String("SELECT"), Qt::CaseInsensitive) != 0
        && first.compare(QLatin1String("WITH"), Qt::CaseInsensitive) != 0)
        throw ESuiteError(QStringLiteral("%1 não é uma consulta: começa com \"%2\", e só SELECT ou WITH são aceitos.")
                              .arg(what, code.section(QLatin1Char(' '), 0, 0)));
}

void restrictToReading(const QSqlDatabase &db)
{
    if (!db.driver() || db.driverName() != QLatin1String("QSQLITE"))
        return;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    sqlite3 *native = *static_cast<sqlite3 *const *>(handle.constData());
    if (!native)
        return;
    // Defensive: no statement may corrupt the file even where a write got through
    // (writable_schema, raw shadow tables of virtual tables, and the like).
    sqlite3_db_config(native, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(native, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(native, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_set_authorizer(native, authorize, nullptr);
    // No value (or row) a statement builds may pass 16 MB: a query that makes a huge one
    // (printf with a wide field, replace, group_concat) fails at once instead of filling
    // memory; values above the report's own cap per field stop the run with its column.
    sqlite3_limit(native, SQLITE_LIMIT_LENGTH, 16 << 20);
}

} // namespace SqlGuard
