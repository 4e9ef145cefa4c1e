#pragma once

#include "app/Session.h"

#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QVariantList>

#include "DbServers.h"
#include "DemoDb.h"

// A test's world: a temporary folder with a fresh SQLite demo database, opened as the
// general read-only connection, and the session pointing at it (branch 0001, module 4,
// not tied to the branch, reports from the project's reports folder, the application
// server's token kToken and the certificate of TestCertificate::shared()); the user's
// configuration folder (preferences, parameter sets, recent codes) is one inside it
// (XDG_CONFIG_HOME), and so is the cache folder (XDG_CACHE_HOME), so a test neither reads
// nor writes the person's. Restores the previous
// session and folder on destruction.
//
// Built with a server dialect, the same demo data goes into a fresh database on the
// PostgreSQL or Firebird server of scripts/dbservers.sh (settings file named by
// LPR_SERVERS_ENV), loaded by its owner user; the general connection then uses the
// read-only user, and the database is dropped on destruction. Raises ESuiteError when
// the server cannot be reached.
class TestEnv
{
public:
    static inline const QString kToken = QStringLiteral("token-de-teste-0123456789");

    explicit TestEnv(const DemoOptions &options = DemoOptions());
    explicit TestEnv(SqlDialect dialect, const DemoOptions &options = DemoOptions());
    ~TestEnv();

    QString dir() const { return m_dir.path(); }
    QString dbFile() const { return m_dbFile; }
    SqlDialect dialect() const { return m_dialect; }
    // The general connection's settings (read-only user on servers).
    DbConfig config() const;
    // The database as one of the reading users reaches it (the general config on SQLite).
    DbConfig config(SchemaDdl::DbRole role) const;

    // A writable connection to the same database (the owner user on servers), for a test
    // to shape its data.
    QSqlDatabase writable();
    // Runs a statement on the writable connection; fails the test on error.
    void exec(const QString &sql, const QVariantList &values = {});
    // Re-opens the general read-only connection (after writes, or to simulate a restart).
    void reopen();

    static QString sourceDir();
    // The database LPR_TEST_DIALECT names (sqlite, postgresql or firebird; SQLite when unset).
    static SqlDialect dialectFromEnvironment();

private:
    void setSession(const DbConfig &db);

    // Points an XDG_*_HOME variable at a folder while it lives.
    class ConfigHome
    {
    public:
        ConfigHome(const char *variable, const QString &dir);
        ~ConfigHome();

    private:
        const char *m_variable;
        QByteArray m_previous;
        bool m_wasSet;
    };

    QTemporaryDir m_dir;
    ConfigHome m_configHome{"XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config"))};
    ConfigHome m_cacheHome{"XDG_CACHE_HOME", m_dir.filePath(QStringLiteral("cache"))};
    QString m_dbFile;
    Session m_saved;
    SqlDialect m_dialect = SqlDialect::SQLite;
    QString m_writableName; // connection name of writable(), one per environment
    QString m_serverDb;     // name of the database made on a server
    DbConfig m_ownerConfig; // how the writable connection reaches it
};
