// Database faults as a person reads them: in Portuguese, naming the driver, the file or
// host:port, and the cause, whatever the database said in its own words.

#include "data/Database.h"
#include "errors/EAbort.h"
#include "data/TADOIBQuery.h"
#include "TestEnv.h"

#include <QFile>
#include <QTcpServer>
#include <QTest>

namespace {

quint16 deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Overwrites a stretch of a file, from one fraction of its length to another, with bytes
// that are no SQLite page.
void damage(const QString &name, double from, double to)
{
    QFile f(name);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const qint64 size = f.size();
    f.seek(qint64(size * from));
    QByteArray junk(qint64(size * (to - from)), '\0');
    for (qsizetype i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 7919 + 13) & 0xff);
    f.write(junk);
}

QString openFailure(const DbConfig &config)
{
    try {
        dtmDBGeral::openConnection(config, QStringLiteral("tst_database"), true);
    } catch (const EDatabaseError &e) {
        return e.message();
    }
    return QString();
}

} // namespace

class tst_Database : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void unusableFileRefusedAtOpen_data();
    void unusableFileRefusedAtOpen();
    void damagedTableNamedWhenRead();
    void unreachableServerNamed_data();
    void unreachableServerNamed();
    void failedStatementToldInParts();
    void databaseNamedOnce();
};

void tst_Database::cleanup()
{
    QSqlDatabase::removeDatabase(QStringLiteral("tst_database"));
}

void tst_Database::unusableFileRefusedAtOpen_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: the demo database, damaged at its start
    QTest::addColumn<QStringList>("causes"); // one of them

    QTest::newRow("text file") << QByteArray("Lista de preços\nnão é um banco\n").repeated(200)
                               << QStringList{QStringLiteral("o arquivo não é um banco de dados SQLite")};
    // The header and the schema's page overwritten.
    QTest::newRow("damaged first pages") << QByteArray()
                                         << QStringList{QStringLiteral("o arquivo não é um banco de dados SQLite"),
                                                        QStringLiteral("o arquivo do banco está corrompido")};
}

void tst_Database::unusableFileRefusedAtOpen()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, causes);
    TestEnv env;
    const QString file = env.dir() + QStringLiteral("/ruim.db");
    if (content.isEmpty()) {
        QVERIFY(QFile::copy(env.dbFile(), file));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        damage(file, 0.0, 0.05);
    } else {
        writeFile(file, content);
    }
    DbConfig config;
    config.database = file;
    const QString message = openFailure(config);
    QVERIFY2(message.contains(QStringLiteral("SQLite (QSQLITE) ") + file), qPrintable(message));
    bool named = false;
    for (const QString &cause : causes)
        named = named || message.contains(cause);
    QVERIFY2(named, qPrintable(message));
}

// A database that opens but whose table pages are damaged: the query says so and where,
// instead of passing a short read for the end of the rows.
void tst_Database::damagedTableNamedWhenRead()
{
    TestEnv env;
    dtmDBGeral::close();
    damage(env.dbFile(), 0.3, 0.9);
    // Whether the damage reaches the schema (refused when the file is opened) or only the
    // tables (refused when they are read) depends on where the pages lie: either way the
    // message names the file and the cause.
    try {
        env.reopen();
        TADOIBQuery q;
        q.SQL = QStringList{QStringLiteral(
            "SELECT COUNT(*), MAX(NMRAZSOCFORN) FROM FORNECEDOR F JOIN COTACAO C ON C.CDFORNECED = F.CDFORNECED")};
        q.Open();
        QFAIL("the damaged pages went unnoticed");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("o arquivo do banco está corrompido")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(env.dbFile()), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("QSQLITE")), qPrintable(e.message()));
    }
}

void tst_Database::unreachableServerNamed_data()
{
    QTest::addColumn<QString>("driver");
    QTest::newRow("PostgreSQL") << QStringLiteral("QPSQL");
    QTest::newRow("Firebird") << QStringLiteral("QIBASE");
}

void tst_Database::unreachableServerNamed()
{
    QFETCH(QString, driver);
    if (!QSqlDatabase::isDriverAvailable(driver))
        QSKIP("driver not installed");
    DbConfig config;
    config.driver = driver;
    config.host = QStringLiteral("127.0.0.1");
    config.port = deadPort();
    config.database = QStringLiteral("compras");
    config.user = QStringLiteral("leitor");
    config.password = QStringLiteral("x");
    const QString message = openFailure(config);
    QVERIFY2(message.contains(QStringLiteral("(%1)").arg(driver)), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("127.0.0.1:%1").arg(config.port)), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("o servidor recusou a conexão"))
                 || message.contains(QStringLiteral("a conexão com o servidor de banco falhou")),
             qPrintable(message));
}

// A statement the database refuses: what failed, the database's words and the database
// come apart, and the message puts them together once.
void tst_Database::failedStatementToldInParts()
{
    TestEnv env;
    TADOIBQuery q;
    q.SQL = QStringList{QStringLiteral("SELECT X FROM TABELA_QUE_NAO_EXISTE")};
    try {
        q.Open();
        QFAIL("the statement ran");
    } catch (const EDatabaseError &e) {
        const QString database = dtmDBGeral::config().describe();
        QCOMPARE(e.failure().failed, QStringLiteral("Erro ao preparar a consulta no banco de dados"));
        QVERIFY2(e.cause().contains(QStringLiteral("TABELA_QUE_NAO_EXISTE")), qPrintable(e.cause()));
        QCOMPARE(e.failure().database, database);
        QCOMPARE(e.message(),
                 e.failure().failed + QStringLiteral(": ") + e.cause() + QStringLiteral("\nBanco: ") + database);
    }
}

// Told on a database, or as part of a report, a failure names its database once, whether
// its own sentence names it or not.
void tst_Database::databaseNamedOnce()
{
    DatabaseFailure inText;
    inText.failed = QStringLiteral("O banco de dados SQLite (QSQLITE) a.db não está aberto.");
    inText.database = QStringLiteral("SQLite (QSQLITE) a.db");
    inText.databaseInText = true;
    const EDatabaseError named = EDatabaseError(inText).on(QStringLiteral("SQLite (QSQLITE) b.db"));
    QCOMPARE(named.message(), inText.failed);

    const EDatabaseError plain(QStringLiteral("Erro ao executar a consulta no banco de dados"),
                               QStringLiteral("disco cheio"));
    const EDatabaseError told =
        plain.on(QStringLiteral("SQLite (QSQLITE) a.db")).on(QStringLiteral("SQLite (QSQLITE) b.db"));
    QCOMPARE(
        told.message(),
        QStringLiteral("Erro ao executar a consulta no banco de dados: disco cheio\nBanco: SQLite (QSQLITE) a.db"));
    const EDatabaseError inReport = told.within(QStringLiteral("Relatório 'Preços': "));
    QCOMPARE(inReport.message(), QStringLiteral("Relatório 'Preços': ") + told.message());
    QCOMPARE(inReport.cause(), QStringLiteral("disco cheio"));
}

QTEST_GUILESS_MAIN(tst_Database)
#include "tst_database.moc"
