#include "SqlGuard.h"
#include "EAbort.h"

#include <QRegularExpression>
#include <QSqlDriver>
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

int authorize(void *, int action, const char *first, const char *second, const char *, const char *)
{
    switch (action) {
    case SQLITE_UPDATE:
        // SQLite itself asks this when a table-valued function (json_each) is first used;
        // the connection is query-only, so no statement could write the schema anyway.
        return first && qstrcmp(first, "sqlite_master") == 0 ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE: return SQLITE_OK;
    case SQLITE_PRAGMA:
        // Reading a pragma ("PRAGMA data_version") is harmless; setting one is not.
        return second ? SQLITE_DENY : SQLITE_OK;
    default: return SQLITE_DENY;
    }
}

} // namespace

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
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        if (sqlite3 *native = *static_cast<sqlite3 *const *>(handle.constData()))
            sqlite3_set_authorizer(native, authorize, nullptr);
}

} // namespace SqlGuard
