// TNetConnection against the real Lpr07700 executable, started on a free port of
// 127.0.0.1 with a session file pointing at the test's demo database.

#include "Database.h"
#include "EAbort.h"
#include "Session.h"
#include "TestEnv.h"
#include "net/TClientDataSet.h"
#include "net/TNetConnection.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTest>
#include <QThread>
#include <csignal>
#include <memory>

namespace {

// A port of 127.0.0.1 where nothing listens.
quint16 deadPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

int quotedCount()
{
    QSqlQuery q(dtmDBGeral::dtbGeral());
    return q.exec(QStringLiteral("SELECT COUNT(DISTINCT CDFORNECED) FROM COTACAO")) && q.next() ? q.value(0).toInt() : -1;
}

QString refusedMessage(quint16 port)
{
    return QStringLiteral("Não foi possível conectar ao servidor de aplicação 127.0.0.1:%1 (Connection refused). "
                          "Verifique se o servidor Lpr07700 está em execução.")
        .arg(port);
}

} // namespace

class tst_NetConnection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void loadsSuppliersIntoClientDataSet();
    void beforeConnectRunsAtEveryAttempt();
    void refusedWithThrowException();
    void callOnDeadServerRaises();
    void notConfigured();
    void wrongTokenRefused();
    void serverErrorRaisesItsText();
    void tokenComesFromSessionWhenEmpty();
    void silentServerTimesOut();
    void stalledCallLeavesDisconnected();
    void idleLinkClosedByServerIsReopened();
    void executableRefusesBadArguments_data();
    void executableRefusesBadArguments();

private:
    TNetConnection *connection(quint16 port);

    std::unique_ptr<TestEnv> m_env;
    QProcess *m_server = nullptr;
    quint16 m_port = 0;
};

void tst_NetConnection::initTestCase()
{
    m_env = std::make_unique<TestEnv>();
    const QString sessionFile = m_env->dir() + QStringLiteral("/sessao.ini");
    Session::current().save(sessionFile);

    m_server = new QProcess(this);
    m_server->setProgram(QStringLiteral(LPR07700_EXE));
    m_server->setArguments({QStringLiteral("--config"), sessionFile, QStringLiteral("--port"), QStringLiteral("0"),
                            QStringLiteral("--idle-timeout"), QStringLiteral("1")});
    m_server->setProcessChannelMode(QProcess::SeparateChannels);
    m_server->start();
    QVERIFY2(m_server->waitForStarted(10000), qPrintable(m_server->errorString()));
    QVERIFY(QTest::qWaitFor([&] { return m_server->canReadLine() || m_server->state() != QProcess::Running; }, 15000));
    const QString line = QString::fromUtf8(m_server->readLine()).trimmed();
    const auto match = QRegularExpression(QStringLiteral("^Lpr07700 ouvindo em 127\\.0\\.0\\.1:(\\d+)$")).match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line + QString::fromUtf8(m_server->readAllStandardError())));
    m_port = quint16(match.captured(1).toUInt());
}

void tst_NetConnection::cleanupTestCase()
{
    if (m_server) {
        m_server->terminate();
        m_server->waitForFinished(5000);
    }
    m_env.reset();
}

void tst_NetConnection::init()
{
    Session::current().serverToken = QStringLiteral("teste");
}

TNetConnection *tst_NetConnection::connection(quint16 port)
{
    auto *net = new TNetConnection(this);
    net->setThrowException(false);
    net->BeforeConnect = [port](QObject *sender) {
        auto *n = static_cast<TNetConnection *>(sender);
        n->setHost(QStringLiteral("127.0.0.1"));
        n->setPort(port);
    };
    return net;
}

void tst_NetConnection::loadsSuppliersIntoClientDataSet()
{
    TNetConnection *net = connection(m_port);
    QCOMPARE(net->ServerName(), QStringLiteral("Lpr07700.rdmConsListaPreco"));
    net->setConnected(true);
    QVERIFY2(net->Connected(), qPrintable(net->LastError()));

    TClientDataSet cds;
    cds.AddField(QStringLiteral("IDMARCADO"), 1, QStringLiteral(" "), 2);
    cds.AddField(QStringLiteral("IDTPIJURFORN"), 1);
    cds.AddField(QStringLiteral("NRINSJURFORN"), 20);
    cds.AddField(QStringLiteral("NMFANTFORN"), 40);
    cds.AddField(QStringLiteral("NMRAZSOCFORN"), 40);
    cds.AddField(QStringLiteral("CDFORNECED"), 21, QString(), 0, false);
    cds.setData(net->call(QStringLiteral("GetFornecedor")));
    QCOMPARE(cds.RecordCount(), quotedCount());
    QVERIFY(!cds.FieldByName(QStringLiteral("CDFORNECED")).AsString().isEmpty());
    QVERIFY(net->Connected());
    net->setConnected(false);
    QVERIFY(!net->Connected());
}

void tst_NetConnection::beforeConnectRunsAtEveryAttempt()
{
    // Host and port come from the handler at each attempt, never from a cache.
    const quint16 dead = deadPort();
    QList<quint16> ports = {dead, m_port, m_port};
    int attempts = 0;
    TNetConnection net;
    net.setThrowException(false);
    net.BeforeConnect = [&](QObject *sender) {
        QCOMPARE(sender, &net);
        net.setHost(QStringLiteral("127.0.0.1"));
        net.setPort(ports.at(attempts++));
    };

    net.setConnected(true);
    QCOMPARE(attempts, 1);
    QVERIFY(!net.Connected());
    QCOMPARE(net.LastError(), refusedMessage(dead));

    net.setConnected(true);
    QCOMPARE(attempts, 2);
    QVERIFY2(net.Connected(), qPrintable(net.LastError()));
    QVERIFY(net.LastError().isEmpty());

    net.setConnected(true);   // already connected: no new attempt
    QCOMPARE(attempts, 2);

    net.setConnected(false);
    QVERIFY(net.call(QStringLiteral("GetFornecedor")).toByteArray().size() > 0);
    QCOMPARE(attempts, 3);
}

void tst_NetConnection::refusedWithThrowException()
{
    const quint16 dead = deadPort();
    TNetConnection *net = connection(dead);
    net->setThrowException(true);
    try {
        net->setConnected(true);
        QFAIL("no exception");
    } catch (const ESuiteError &e) {
        QCOMPARE(e.message(), refusedMessage(dead));
    }
    QVERIFY(!net->Connected());
}

void tst_NetConnection::callOnDeadServerRaises()
{
    const quint16 dead = deadPort();
    TNetConnection *net = connection(dead);
    net->setConnected(true);   // ThrowException false: quietly not connected
    QVERIFY(!net->Connected());
    // A call has no result to give back, so it raises whatever ThrowException says.
    try {
        net->call(QStringLiteral("GetFornecedor"));
        QFAIL("no exception");
    } catch (const ESuiteError &e) {
        QCOMPARE(e.message(), refusedMessage(dead));
    }
    QVERIFY(!net->Connected());
}

void tst_NetConnection::notConfigured()
{
    // Port 0 would otherwise "connect" somewhere arbitrary or fail obscurely.
    TNetConnection *net = connection(0);
    net->setConnected(true);
    QVERIFY(!net->Connected());
    QVERIFY2(net->LastError().contains(QStringLiteral("[ServidorAplicacao]")), qPrintable(net->LastError()));
    QVERIFY_THROWS_EXCEPTION(ESuiteError, net->call(QStringLiteral("GetFornecedor")));
}

void tst_NetConnection::wrongTokenRefused()
{
    TNetConnection *net = connection(m_port);
    net->setToken(QStringLiteral("errado"));
    net->setConnected(true);
    QVERIFY(!net->Connected());
    const QString prefix = QStringLiteral("O servidor de aplicação 127.0.0.1:%1 recusou a conexão: ").arg(m_port);
    QVERIFY2(net->LastError().startsWith(prefix), qPrintable(net->LastError()));
    QVERIFY2(net->LastError().contains(QStringLiteral("oken")), qPrintable(net->LastError()));
}

void tst_NetConnection::serverErrorRaisesItsText()
{
    TNetConnection *net = connection(m_port);
    try {
        net->call(QStringLiteral("GetCliente"));
        QFAIL("no exception");
    } catch (const ESuiteError &e) {
        QCOMPARE(e.message(), QStringLiteral("Método desconhecido: GetCliente"));
    }
    QVERIFY(net->Connected());   // a method's failure does not end the link
    QVERIFY(!net->call(QStringLiteral("GetFornecedor")).toByteArray().isEmpty());
}

void tst_NetConnection::tokenComesFromSessionWhenEmpty()
{
    TNetConnection *net = connection(m_port);
    Session::current().serverToken = QStringLiteral("outro");
    net->setConnected(true);
    QVERIFY(!net->Connected());
    Session::current().serverToken = QStringLiteral("teste");
    net->setConnected(true);
    QVERIFY2(net->Connected(), qPrintable(net->LastError()));
}

void tst_NetConnection::silentServerTimesOut()
{
    // Listening but never answering: the kernel accepts, nobody replies to the hello.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
    TNetConnection *net = connection(silent.serverPort());
    net->setConnectTimeout(300);
    QElapsedTimer clock;
    clock.start();
    net->setConnected(true);
    QVERIFY(clock.elapsed() < 3000);
    QVERIFY(!net->Connected());
    QVERIFY2(net->LastError().contains(QStringLiteral("sem resposta")), qPrintable(net->LastError()));
    QVERIFY(net->LastError().contains(QStringLiteral("127.0.0.1:%1").arg(silent.serverPort())));
}

void tst_NetConnection::stalledCallLeavesDisconnected()
{
    TNetConnection *net = connection(m_port);
    net->setConnected(true);
    QVERIFY(net->Connected());
    net->setCallTimeout(300);
    const qint64 pid = m_server->processId();
    ::kill(pid_t(pid), SIGSTOP);
    bool raised = false;
    try {
        net->call(QStringLiteral("GetFornecedor"));
    } catch (const ESuiteError &e) {
        raised = true;
        QVERIFY2(e.message().contains(QStringLiteral("não respondeu")), qPrintable(e.message()));
    }
    ::kill(pid_t(pid), SIGCONT);
    QVERIFY(raised);
    QVERIFY(!net->Connected());
    net->setCallTimeout(10000);
    QVERIFY(!net->call(QStringLiteral("GetFornecedor")).toByteArray().isEmpty());
    QVERIFY(net->Connected());
}

void tst_NetConnection::idleLinkClosedByServerIsReopened()
{
    int attempts = 0;
    TNetConnection *net = connection(m_port);
    const auto setHostPort = net->BeforeConnect;
    net->BeforeConnect = [&](QObject *sender) {
        ++attempts;
        setHostPort(sender);
    };
    net->setConnected(true);
    QVERIFY(net->Connected());
    // The server drops links idle for a second. Without an event loop turning, the
    // component cannot have noticed: the call finds the link closed and reconnects.
    QThread::msleep(2500);
    QVERIFY(!net->call(QStringLiteral("GetFornecedor")).toByteArray().isEmpty());
    QCOMPARE(attempts, 2);
}

void tst_NetConnection::executableRefusesBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");

    const QString session = m_env->dir() + QStringLiteral("/sessao.ini");
    QTest::newRow("no config") << QStringList{} << QStringLiteral("--config");
    QTest::newRow("missing config") << QStringList{QStringLiteral("--config"), m_env->dir() + QStringLiteral("/nao.ini")}
                                    << QStringLiteral("não encontrado");
    QTest::newRow("bad port") << QStringList{QStringLiteral("--config"), session, QStringLiteral("--port"), QStringLiteral("99999")}
                              << QStringLiteral("porta inválida");
    QTest::newRow("outside without token")
        << QStringList{QStringLiteral("--config"), m_env->dir() + QStringLiteral("/semtoken.ini"),
                       QStringLiteral("--host"), QStringLiteral("0.0.0.0")}
        << QStringLiteral("Token");
    QTest::newRow("port in use") << QStringList{QStringLiteral("--config"), session, QStringLiteral("--port"),
                                                QString::number(m_port)}
                                 << QStringLiteral("Não foi possível ouvir em 127.0.0.1:");
}

void tst_NetConnection::executableRefusesBadArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    Session withoutToken = Session::current();
    withoutToken.serverToken.clear();
    withoutToken.save(m_env->dir() + QStringLiteral("/semtoken.ini"));

    QProcess process;
    process.start(QStringLiteral(LPR07700_EXE), arguments);
    QVERIFY(process.waitForFinished(15000));
    QCOMPARE(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(expected), qPrintable(err));
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(tst_NetConnection)
#include "tst_netconnection.moc"
