#pragma once

#include "data/Database.h" // from host/: DbConfig
#include "SchemaDdl.h"
#include "data/SqlDialect.h"

#include <QHash>
#include <QString>

// The database servers that scripts/dbservers.sh runs for tests and benchmarks: reads
// the settings file it writes (KEY=VALUE lines) and makes fresh databases on them.
// Every failure raises EDatabaseError with a Portuguese message naming the server.
class DbServers
{
public:
    // The settings file named by the environment variable LPR_SERVERS_ENV.
    static QString environmentFile();
    static DbServers fromEnvironment();
    static DbServers fromFile(const QString &file);

    // The owner (creates and loads) and the read-only user of a database on a server.
    // `name` is the database's name; on Firebird it becomes a file of the server's folder.
    DbConfig owner(SqlDialect dialect, const QString &name) const;
    DbConfig reader(SqlDialect dialect, const QString &name) const;
    QString readerUser(SqlDialect dialect) const;
    // The same database through one of the reading users (reader() is the screen's).
    DbConfig reader(SqlDialect dialect, const QString &name, SchemaDdl::DbRole role) const;
    QString readerUser(SqlDialect dialect, SchemaDdl::DbRole role) const;
    // The database the script made ready on each server (for gerabase and benchmarks).
    QString defaultDatabase(SqlDialect dialect) const;

    // A new empty database (UTF-8) owned by the owner user, which only the owner and the
    // reading users may connect to. `name`: letters, digits and '_' only.
    void createDatabase(SqlDialect dialect, const QString &name) const;
    // Removes it (connections to it must be closed); nothing happens when it is absent.
    void dropDatabase(SqlDialect dialect, const QString &name) const;

    QString value(const QString &key) const;

private:
    QString roleKey(SqlDialect dialect, SchemaDdl::DbRole role) const;
    void runIsql(const QString &script, const QString &what) const;

    QString m_file;
    QHash<QString, QString> m_values;
};
