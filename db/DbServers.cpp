#include "DbServers.h"

#include "errors/EAbort.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace {

void checkName(const QString &name)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z][A-Za-z0-9_]{0,50}$"));
    if (!valid.match(name).hasMatch())
        throw EDatabaseError(
            QStringLiteral("Nome de base inválido: \"%1\". Use letras, dígitos e '_', começando por letra.").arg(name));
}

// Runs statements on a connection of its own that lives only for the call.
void execOn(const DbConfig &config, const QStringList &statements)
{
    static int serial = 0;
    const QString name = QStringLiteral("DbServers_%1").arg(++serial);
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(config.driver, name);
        db.setDatabaseName(config.database);
        db.setHostName(config.host);
        db.setPort(config.port);
        db.setUserName(config.user);
        db.setPassword(config.password);
        if (!db.open()) {
            failure = QStringLiteral("Não foi possível conectar ao banco %1: %2")
                          .arg(config.describe(), db.lastError().text());
        } else {
            for (const QString &sql : statements) {
                QSqlQuery q(db);
                if (!q.exec(sql)) {
                    failure = QStringLiteral("Não foi possível executar \"%1\" no banco %2: %3")
                                  .arg(sql, config.describe(), q.lastError().text());
                    break;
                }
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty())
        throw EDatabaseError(failure);
}

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

} // namespace

QString DbServers::environmentFile()
{
    return QString::fromLocal8Bit(qgetenv("LPR_SERVERS_ENV"));
}

DbServers DbServers::fromEnvironment()
{
    const QString file = environmentFile();
    if (file.isEmpty())
        throw EDatabaseError(
            QStringLiteral("A variável LPR_SERVERS_ENV não diz onde estão as configurações dos servidores "
                           "de banco. Inicie-os com 'scripts/dbservers.sh start PASTA' e aponte "
                           "LPR_SERVERS_ENV para PASTA/servers.env."));
    return fromFile(file);
}

DbServers DbServers::fromFile(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        throw EDatabaseError(QStringLiteral("Não foi possível ler as configurações dos servidores de banco em %1: %2. "
                                            "Inicie-os com 'scripts/dbservers.sh start PASTA'.")
                                 .arg(file, f.errorString()));
    DbServers s;
    s.m_file = file;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            s.m_values.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    for (const char *key :
         {"PG_PORT", "PG_OWNER", "PG_READER", "PG_REPORTS", "PG_APPSERVER", "FB_PORT", "FB_OWNER", "FB_READER",
          "FB_REPORTS", "FB_APPSERVER", "FB_DATA_DIR", "FB_ISQL"})
        s.value(QString::fromLatin1(key));
    return s;
}

QString DbServers::value(const QString &key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd() || it->isEmpty())
        throw EDatabaseError(
            QStringLiteral("Falta %1 nas configurações dos servidores de banco (%2).").arg(key, m_file));
    return *it;
}

DbConfig DbServers::owner(SqlDialect dialect, const QString &name) const
{
    DbConfig c = reader(dialect, name);
    const QString prefix = dialect == SqlDialect::Firebird ? QStringLiteral("FB_") : QStringLiteral("PG_");
    c.user = value(prefix + QStringLiteral("OWNER"));
    c.password = value(prefix + QStringLiteral("OWNER_PASSWORD"));
    return c;
}

DbConfig DbServers::reader(SqlDialect dialect, const QString &name) const
{
    DbConfig c;
    switch (dialect) {
    case SqlDialect::SQLite: throw EDatabaseError(QStringLiteral("SQLite não roda em servidor: a base é um arquivo."));
    case SqlDialect::PostgreSQL:
        c.driver = QStringLiteral("QPSQL");
        c.host = value(QStringLiteral("PG_HOST"));
        c.port = value(QStringLiteral("PG_PORT")).toInt();
        c.database = name;
        c.user = value(QStringLiteral("PG_READER"));
        c.password = value(QStringLiteral("PG_READER_PASSWORD"));
        break;
    case SqlDialect::Firebird:
        c.driver = QStringLiteral("QIBASE");
        c.host = value(QStringLiteral("FB_HOST"));
        c.port = value(QStringLiteral("FB_PORT")).toInt();
        c.database = name.contains(QLatin1Char('/'))
                         ? name
                         : value(QStringLiteral("FB_DATA_DIR")) + QLatin1Char('/') + name + QStringLiteral(".fdb");
        c.user = value(QStringLiteral("FB_READER"));
        c.password = value(QStringLiteral("FB_READER_PASSWORD"));
        break;
    }
    return c;
}

QString DbServers::readerUser(SqlDialect dialect) const
{
    return readerUser(dialect, SchemaDdl::DbRole::Screen);
}

QString DbServers::roleKey(SqlDialect dialect, SchemaDdl::DbRole role) const
{
    const QString prefix = dialect == SqlDialect::Firebird ? QStringLiteral("FB_") : QStringLiteral("PG_");
    switch (role) {
    case SchemaDdl::DbRole::Screen: return prefix + QStringLiteral("READER");
    case SchemaDdl::DbRole::Reports: return prefix + QStringLiteral("REPORTS");
    case SchemaDdl::DbRole::AppServer: return prefix + QStringLiteral("APPSERVER");
    }
    return prefix + QStringLiteral("READER");
}

QString DbServers::readerUser(SqlDialect dialect, SchemaDdl::DbRole role) const
{
    return value(roleKey(dialect, role));
}

DbConfig DbServers::reader(SqlDialect dialect, const QString &name, SchemaDdl::DbRole role) const
{
    DbConfig c = reader(dialect, name);
    c.user = value(roleKey(dialect, role));
    c.password = value(roleKey(dialect, role) + QStringLiteral("_PASSWORD"));
    return c;
}

QString DbServers::defaultDatabase(SqlDialect dialect) const
{
    return value(dialect == SqlDialect::Firebird ? QStringLiteral("FB_DATABASE") : QStringLiteral("PG_DATABASE"));
}

void DbServers::createDatabase(SqlDialect dialect, const QString &name) const
{
    checkName(name);
    if (dialect == SqlDialect::PostgreSQL) {
        const DbConfig server = owner(dialect, QStringLiteral("postgres"));
        // template1 holds the server's revokes of functions with effects (dbservers.sh).
        execOn(server, {QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template1").arg(name)});
        // Nobody but the owner and the readers connects (PUBLIC gets CONNECT by default).
        QStringList access{QStringLiteral("REVOKE ALL ON DATABASE %1 FROM PUBLIC").arg(name)};
        for (const SchemaDdl::DbRole role :
             {SchemaDdl::DbRole::Screen, SchemaDdl::DbRole::Reports, SchemaDdl::DbRole::AppServer})
            access << QStringLiteral("GRANT CONNECT ON DATABASE %1 TO %2").arg(name, readerUser(dialect, role));
        execOn(owner(dialect, name), access);
        return;
    }
    if (dialect == SqlDialect::Firebird) {
        const DbConfig c = owner(dialect, name);
        runIsql(QStringLiteral("CREATE DATABASE %1 USER %2 PASSWORD %3 DEFAULT CHARACTER SET UTF8;\n")
                    .arg(quoted(QStringLiteral("%1/%2:%3").arg(c.host).arg(c.port).arg(c.database)), quoted(c.user),
                         quoted(c.password)),
                QStringLiteral("criar a base %1").arg(c.describe()));
        return;
    }
    throw EDatabaseError(QStringLiteral("SQLite não roda em servidor: a base é um arquivo."));
}

void DbServers::dropDatabase(SqlDialect dialect, const QString &name) const
{
    checkName(name);
    if (dialect == SqlDialect::PostgreSQL) {
        execOn(owner(dialect, QStringLiteral("postgres")),
               {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name)});
    } else if (dialect == SqlDialect::Firebird) {
        const DbConfig c = owner(dialect, name);
        if (!QFile::exists(c.database))
            return;
        runIsql(QStringLiteral("SET BAIL ON;\nCONNECT %1 USER %2 PASSWORD %3;\nDROP DATABASE;\n")
                    .arg(quoted(QStringLiteral("%1/%2:%3").arg(c.host).arg(c.port).arg(c.database)), quoted(c.user),
                         quoted(c.password)),
                QStringLiteral("remover a base %1").arg(c.describe()));
    }
}

void DbServers::runIsql(const QString &script, const QString &what) const
{
    QProcess isql;
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start(value(QStringLiteral("FB_ISQL")), {QStringLiteral("-q"), QStringLiteral("-b")});
    if (!isql.waitForStarted(10000))
        throw EDatabaseError(
            QStringLiteral("Não foi possível %1: o isql-fb não iniciou (%2). Instale firebird3.0-utils.")
                .arg(what, isql.errorString()));
    isql.write(script.toUtf8());
    isql.closeWriteChannel();
    if (!isql.waitForFinished(30000)) {
        isql.kill();
        isql.waitForFinished(2000);
        throw EDatabaseError(QStringLiteral("Não foi possível %1: o isql-fb não terminou em 30 s.").arg(what));
    }
    const QString output = QString::fromUtf8(isql.readAll()).trimmed();
    if (isql.exitStatus() != QProcess::NormalExit || isql.exitCode() != 0)
        throw EDatabaseError(QStringLiteral("Não foi possível %1: %2")
                                 .arg(what, output.isEmpty() ? QStringLiteral("isql-fb falhou") : output));
}
