#pragma once

#include "data/SqlDialect.h"
#include "suite_export.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// Where the suite's database is and how to reach it (the session file's [BancoDados]).
struct SUITE_EXPORT DbConfig
{
    QString driver = QStringLiteral("QSQLITE"); // QSQLITE, QPSQL or QIBASE
    QString database;                           // file (SQLite) or database name/path
    QString host;
    int port = 0;
    QString user;
    QString password;

    SqlDialect dialect() const;
    // "SQLite (QSQLITE) /path/suite.db", "PostgreSQL (QPSQL) suite em 127.0.0.1:5432" ...
    QString describe() const;
    // What a person at the screen needs to tell databases apart: "suite.db", "suite em
    // srvbd"; describe() gives the rest to whoever installs the suite.
    QString shortName() const;
};

// What went wrong in a database error, in Portuguese, for a person: the meaning of the
// SQLite result code or of the server's error code ("o arquivo não é um banco de dados
// SQLite", "o servidor recusou a conexão" ...), followed by the database's own text in
// parentheses; the database's text alone when the code means nothing more precise.
SUITE_EXPORT QString databaseCause(const QSqlError &error);

// The general data module: the one read-only connection every query of the screen uses.
namespace dtmDBGeral {
inline const char *connectionName()
{
    return "dtbGeral";
}

// Opens (or re-opens) the general connection read-only. Raises EDatabaseError with a
// message in Portuguese naming the database and the cause.
SUITE_EXPORT void open(const DbConfig &config);
SUITE_EXPORT void close();
SUITE_EXPORT bool isOpen();
SUITE_EXPORT QSqlDatabase dtbGeral();
SUITE_EXPORT SqlDialect dialect();
SUITE_EXPORT DbConfig config();

// Opens a connection of its own under the given name (read-only when asked).
SUITE_EXPORT QSqlDatabase openConnection(const DbConfig &config, const QString &name, bool readOnly);
// Checks that the general connection still answers and reopens it when it does not
// (a database server restarted, a dropped link). True when it was reopened; raises
// EDatabaseError naming the database and the cause when it cannot be reopened.
SUITE_EXPORT bool ensureAlive();
} // namespace dtmDBGeral
