#include "TestEnv.h"
#include "Database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace {
const char *writableName = "testenvWritable";
}

QString TestEnv::sourceDir()
{
    const QByteArray dir = qgetenv("SUITE_SOURCE_DIR");
    return dir.isEmpty() ? QStringLiteral(".") : QString::fromLocal8Bit(dir);
}

#ifdef HAVE_LPRDB
TestEnv::TestEnv(const DemoOptions &options)
#else
TestEnv::TestEnv()
#endif
    : m_saved(Session::current())
{
    m_dbFile = m_dir.filePath(QStringLiteral("suite.db"));
#ifdef HAVE_LPRDB
    DemoDb::createSqlite(m_dbFile, options);
#endif
    Session &s = Session::current();
    s.filial = QStringLiteral("0001");
    s.vinculadoFilial = false;
    s.modulo = 4;
    s.db = DbConfig();
    s.db.database = m_dbFile;
    s.serverHost = QStringLiteral("127.0.0.1");
    s.serverPort = 1;   // nothing listens there unless a test starts a server
    s.serverToken = QStringLiteral("teste");
    s.reportDir = sourceDir() + QStringLiteral("/reports");
    dtmDBGeral::open(s.db);
}

TestEnv::~TestEnv()
{
    if (QSqlDatabase::contains(QString::fromLatin1(writableName))) {
        QSqlDatabase::database(QString::fromLatin1(writableName), false).close();
        QSqlDatabase::removeDatabase(QString::fromLatin1(writableName));
    }
    dtmDBGeral::close();
    Session::current() = m_saved;
}

QSqlDatabase TestEnv::writable()
{
    const QString name = QString::fromLatin1(writableName);
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name);
    return dtmDBGeral::openConnection(Session::current().db, name, false);
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
