// Lpr07700 stops at once on SIGTERM and SIGINT, on each database, and its port is free for
// the next server as soon as it has gone.

#include "errors/EAbort.h"
#include "PriceListServer.h"
#include "app/Session.h"
#include "TestEnv.h"
#include "net/TNetConnection.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <csignal>

class tst_ServerStop : public QObject
{
    Q_OBJECT
private slots:
    void stopsAndFreesItsPort_data();
    void stopsAndFreesItsPort();
};

void tst_ServerStop::stopsAndFreesItsPort_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<int>("signal");
    for (const auto &[name, dialect] : {std::pair{"sqlite", SqlDialect::SQLite},
                                        std::pair{"postgresql", SqlDialect::PostgreSQL},
                                        std::pair{"firebird", SqlDialect::Firebird}}) {
        QTest::addRow("%s, SIGTERM", name) << dialect << SIGTERM;
        QTest::addRow("%s, SIGINT", name) << dialect << SIGINT;
    }
}

void tst_ServerStop::stopsAndFreesItsPort()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(int, signal);
    std::unique_ptr<TestEnv> env =
        dialect == SqlDialect::SQLite ? std::make_unique<TestEnv>() : std::make_unique<TestEnv>(dialect);
    const QString sessionFile = env->dir() + QStringLiteral("/sessao.ini");
    Session::current().save(sessionFile);

    QProcess server;
    server.start(QStringLiteral(LPR07700_EXE),
                 {QStringLiteral("--config"), sessionFile, QStringLiteral("--port"), QStringLiteral("0")});
    QVERIFY(server.waitForStarted(10000));
    QVERIFY(QTest::qWaitFor([&] { return server.canReadLine() || server.state() != QProcess::Running; }, 30000));
    const QString line = QString::fromUtf8(server.readLine()).trimmed();
    const auto match = QRegularExpression(QStringLiteral(":(\\d+)$")).match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line + QString::fromUtf8(server.readAllStandardError())));
    const quint16 port = quint16(match.captured(1).toUInt());

    // A screen holds a link open when the signal comes.
    TNetConnection net;
    PriceListServer::configure(net);
    net.setHost(QStringLiteral("127.0.0.1"));
    net.setPort(port);
    try {
        QVERIFY(!net.call(QStringLiteral("GetFornecedor")).toByteArray().isEmpty());
    } catch (const ESuiteError &e) {
        QFAIL(qPrintable(e.message()));
    }

    ::kill(pid_t(server.processId()), signal);
    QVERIFY2(server.waitForFinished(2000), "still running 2 s after the signal");
    QCOMPARE(server.exitStatus(), QProcess::NormalExit);
    QCOMPARE(server.exitCode(), 0);
    QVERIFY2(server.readAllStandardError().contains("encerrando"), "the stop was not logged");
    QTcpServer next;
    QVERIFY2(next.listen(QHostAddress::LocalHost, port), qPrintable(next.errorString()));
}

QTEST_GUILESS_MAIN(tst_ServerStop)
#include "tst_serverstop.moc"
