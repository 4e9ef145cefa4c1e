#include "Database.h"
#include "EAbort.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {
DbConfig g_config;
bool g_open = false;

QString causeOf(const QSqlError &error)
{
    QString cause = error.text().trimmed();
    return cause.isEmpty() ? QStringLiteral("causa desconhecida") : cause;
}
} // namespace

SqlDialect DbConfig::dialect() const
{
    if (driver == QLatin1String("QPSQL"))
        return SqlDialect::PostgreSQL;
    if (driver == QLatin1String("QIBASE"))
        return SqlDialect::Firebird;
    return SqlDialect::SQLite;
}

QString DbConfig::describe() const
{
    if (dialect() == SqlDialect::SQLite)
        return QStringLiteral("SQLite %1").arg(database);
    QString where = host.isEmpty() ? QStringLiteral("localhost") : host;
    if (port > 0)
        where += QLatin1Char(':') + QString::number(port);
    return QStringLiteral("%1 (%2) %3 em %4").arg(dialectName(dialect()), driver, database, where);
}

namespace dtmDBGeral {

QSqlDatabase openConnection(const DbConfig &config, const QString &name, bool readOnly)
{
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    if (!QSqlDatabase::isDriverAvailable(config.driver))
        throw EDatabaseError(QStringLiteral("O driver de banco de dados %1 não está instalado (banco %2).")
                                 .arg(config.driver, config.describe()));
    QSqlDatabase db = QSqlDatabase::addDatabase(config.driver, name);
    db.setDatabaseName(config.database);
    if (!config.host.isEmpty())
        db.setHostName(config.host);
    if (config.port > 0)
        db.setPort(config.port);
    if (!config.user.isEmpty())
        db.setUserName(config.user);
    if (!config.password.isEmpty())
        db.setPassword(config.password);

    if (config.dialect() == SqlDialect::SQLite) {
        if (!QFileInfo::exists(config.database))
            throw EDatabaseError(QStringLiteral("O banco de dados %1 não foi encontrado.").arg(config.describe()));
        if (readOnly)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    } else if (config.dialect() == SqlDialect::Firebird) {
        db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=UTF8"));
    } else {
        // A host that does not answer must not hold the screen for minutes.
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    }
    if (!db.open()) {
        const QString hint = config.dialect() == SqlDialect::SQLite
                                 ? QString()
                                 : QStringLiteral(" Verifique se o servidor de banco está em execução e se o servidor, a porta, "
                                                  "o usuário e a senha da seção [BancoDados] da sessão estão certos.");
        throw EDatabaseError(QStringLiteral("Não foi possível abrir o banco de dados %1: %2.%3")
                                 .arg(config.describe(), causeOf(db.lastError()), hint));
    }
    if (readOnly) {
        QSqlQuery q(db);
        bool ok = true;
        switch (config.dialect()) {
        case SqlDialect::SQLite: ok = q.exec(QStringLiteral("PRAGMA query_only = 1")); break;
        case SqlDialect::PostgreSQL:
            ok = q.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
            break;
        case SqlDialect::Firebird:
            // The driver has no read-only transactions: the user the session names for
            // the general connection holds SELECT grants only (see DemoDb::grantReadOnly).
            break;
        }
        if (!ok)
            throw EDatabaseError(QStringLiteral("Não foi possível abrir o banco de dados %1 somente para leitura: %2")
                                     .arg(config.describe(), causeOf(q.lastError())));
    }
    return db;
}

void open(const DbConfig &config)
{
    g_open = false;
    g_config = config;
    openConnection(config, QString::fromLatin1(connectionName()), true);
    g_open = true;
}

void close()
{
    const QString name = QString::fromLatin1(connectionName());
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    g_open = false;
}

bool isOpen()
{
    return g_open && QSqlDatabase::database(QString::fromLatin1(connectionName()), false).isOpen();
}

QSqlDatabase dtbGeral()
{
    return QSqlDatabase::database(QString::fromLatin1(connectionName()), false);
}

SqlDialect dialect()
{
    return g_config.dialect();
}

DbConfig config()
{
    return g_config;
}

bool ensureAlive()
{
    QSqlDatabase db = dtbGeral();
    if (db.isOpen()) {
        QSqlQuery q(db);
        const char *probe = g_config.dialect() == SqlDialect::Firebird
                                ? "SELECT 1 FROM RDB$DATABASE" : "SELECT 1";
        if (q.exec(QString::fromLatin1(probe)))
            return false;
    }
    if (g_config.database.isEmpty())
        throw EDatabaseError(QStringLiteral("O banco de dados não está configurado (seção [BancoDados] da sessão)."));
    open(g_config);
    return true;
}

} // namespace dtmDBGeral
