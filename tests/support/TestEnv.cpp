#include "TestEnv.h"
#include "TestCertificate.h"
#include "data/Database.h"
#include "errors/EAbort.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace {
int g_serial = 0;
}

QString TestEnv::sourceDir()
{
    const QByteArray dir = qgetenv("SUITE_SOURCE_DIR");
    return dir.isEmpty() ? QStringLiteral(".") : QString::fromLocal8Bit(dir);
}

TestEnv::TestEnv(const DemoOptions &options)
    : m_saved(Session::current()), m_writableName(QStringLiteral("testenvWritable%1").arg(++g_serial))
{
    m_dbFile = m_dir.filePath(QStringLiteral("suite.db"));
    DemoDb::createSqlite(m_dbFile, options);
    DbConfig db;
    db.database = m_dbFile;
    m_ownerConfig = db;
    setSession(db);
}

SqlDialect TestEnv::dialectFromEnvironment()
{
    const QString name = QString::fromLocal8Bit(qgetenv("LPR_TEST_DIALECT")).trimmed().toLower();
    if (name.isEmpty() || name == QLatin1String("sqlite"))
        return SqlDialect::SQLite;
    if (name == QLatin1String("postgresql"))
        return SqlDialect::PostgreSQL;
    if (name == QLatin1String("firebird"))
        return SqlDialect::Firebird;
    qFatal("LPR_TEST_DIALECT='%s': use sqlite, postgresql or firebird", qPrintable(name));
}

TestEnv::TestEnv(SqlDialect dialect, const DemoOptions &options)
    : m_saved(Session::current()), m_dialect(dialect),
      m_writableName(QStringLiteral("testenvWritable%1").arg(++g_serial))
{
    if (dialect == SqlDialect::SQLite) {
        m_dbFile = m_dir.filePath(QStringLiteral("suite.db"));
        DemoDb::createSqlite(m_dbFile, options);
        DbConfig db;
        db.database = m_dbFile;
        m_ownerConfig = db;
        setSession(db);
        return;
    }
    const DbServers servers = DbServers::fromEnvironment();
    m_serverDb = QStringLiteral("lpr_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++g_serial);
    servers.createDatabase(dialect, m_serverDb);
    m_ownerConfig = servers.owner(dialect, m_serverDb);
    try {
        const QString loader = QStringLiteral("testenvLoad");
        {
            QSqlDatabase owner = dtmDBGeral::openConnection(m_ownerConfig, loader, false);
            DemoDb::build(owner, dialect, options);
            for (const SchemaDdl::DbRole role :
                 {SchemaDdl::DbRole::Screen, SchemaDdl::DbRole::Reports, SchemaDdl::DbRole::AppServer})
                DemoDb::grantRole(owner, dialect, role, servers.readerUser(dialect, role));
            owner.close();
        }
        QSqlDatabase::removeDatabase(loader);
        setSession(servers.reader(dialect, m_serverDb));
        const DbConfig reports = servers.reader(dialect, m_serverDb, SchemaDdl::DbRole::Reports);
        Session::current().reportUser = reports.user;
        Session::current().reportPassword = reports.password;
    } catch (...) {
        servers.dropDatabase(dialect, m_serverDb);
        Session::current() = m_saved;
        throw;
    }
}

DbConfig TestEnv::config() const
{
    return Session::current().db;
}

DbConfig TestEnv::config(SchemaDdl::DbRole role) const
{
    if (m_serverDb.isEmpty())
        return config();
    return DbServers::fromEnvironment().reader(m_dialect, m_serverDb, role);
}

void TestEnv::setSession(const DbConfig &db)
{
    Session &s = Session::current();
    s.filial = QStringLiteral("0001");
    s.vinculadoFilial = false;
    s.modulo = 4;
    s.db = db;
    s.reportUser.clear();
    s.reportPassword.clear();
    s.serverHost = QStringLiteral("127.0.0.1");
    s.serverPort = 1; // nothing listens there unless a test starts a server
    s.serverToken = kToken;
    const TestCertificate &tls = TestCertificate::shared();
    s.serverCertificate = tls.certificateFile;
    s.serverKey = tls.keyFile;
    s.serverFingerprint = tls.fingerprint;
    s.reportDir = sourceDir() + QStringLiteral("/reports");
    dtmDBGeral::open(s.db);
}

TestEnv::ConfigHome::ConfigHome(const char *variable, const QString &dir)
    : m_variable(variable), m_previous(qgetenv(variable)), m_wasSet(qEnvironmentVariableIsSet(variable))
{
    qputenv(variable, QFile::encodeName(dir));
}

TestEnv::ConfigHome::~ConfigHome()
{
    if (m_wasSet)
        qputenv(m_variable, m_previous);
    else
        qunsetenv(m_variable);
}

TestEnv::~TestEnv()
{
    if (QSqlDatabase::contains(m_writableName)) {
        QSqlDatabase::database(m_writableName, false).close();
        QSqlDatabase::removeDatabase(m_writableName);
    }
    dtmDBGeral::close();
    Session::current() = m_saved;
    if (!m_serverDb.isEmpty()) {
        try {
            DbServers::fromEnvironment().dropDatabase(m_dialect, m_serverDb);
        } catch (const ESuiteError &e) {
            qWarning("%s", qPrintable(e.message()));
        }
    }
}

QSqlDatabase TestEnv::writable()
{
    if (QSqlDatabase::contains(m_writableName))
        return QSqlDatabase::database(m_writableName);
    return dtmDBGeral::openConnection(m_ownerConfig, m_writableName, false);
}

void TestEnv::exec(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(writable());
    if (!q.prepare(sql))
        QFAIL(qPrintable(q.lastError().text() + QStringLiteral(" in ") + sql));
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec())
        QFAIL(qPrintable(q.lastError().text() + QStringLiteral(" in ") + sql));
}

void TestEnv::reopen()
{
    dtmDBGeral::open(Session::current().db);
}
