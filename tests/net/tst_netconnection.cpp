// TNetConnection against the real Lpr07700 executable, started on a free port of
// 127.0.0.1 with a session file pointing at the test's demo database.

#include "TestCertificate.h"
#include "PriceListServer.h"
#include "data/Database.h"
#include "errors/EAbort.h"
#include "ScriptedServer.h"
#include "app/Session.h"
#include "TestEnv.h"
#include "DemoDb.h"
#include "net/DataPacket.h"
#include "net/Frame.h"
#include "net/KeptReplies.h"
#include "net/TClientDataSet.h"
#include "net/TNetConnection.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QTcpSocket>
#include <QtEndian>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
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

int quotedCount(const QSqlDatabase &db = dtmDBGeral::dtbGeral())
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT COUNT(DISTINCT CDFORNECED) FROM COTACAO")) && q.next() ? q.value(0).toInt()
                                                                                                : -1;
}

QByteArray frameOf(const QByteArray &payload)
{
    QByteArray frame(Frame::HeaderSize, '\0');
    qToBigEndian(quint32(payload.size()), frame.data());
    return frame + payload;
}

// Passes bytes between a client and a server on a thread of its own, keeping a copy of
// what the client sent: what anyone on the network between them would see.
class Tap : public QThread
{
public:
    explicit Tap(quint16 serverPort) : m_serverPort(serverPort) { }
    ~Tap() override
    {
        m_stop = true;
        wait();
    }
    quint16 listen()
    {
        start();
        m_ready.acquire();
        return m_port;
    }
    QByteArray seen() const
    {
        QMutexLocker lock(&m_mutex);
        return m_seen;
    }

protected:
    void run() override
    {
        QTcpServer listener;
        if (listener.listen(QHostAddress::LocalHost, 0))
            m_port = listener.serverPort();
        m_ready.release();
        while (!m_stop) {
            if (!listener.waitForNewConnection(50))
                continue;
            std::unique_ptr<QTcpSocket> client(listener.nextPendingConnection());
            QTcpSocket server;
            server.connectToHost(QHostAddress::LocalHost, m_serverPort);
            if (!server.waitForConnected(5000))
                continue;
            while (!m_stop && client->state() == QAbstractSocket::ConnectedState
                   && server.state() == QAbstractSocket::ConnectedState) {
                client->waitForReadyRead(10);
                const QByteArray up = client->readAll();
                {
                    QMutexLocker lock(&m_mutex);
                    m_seen += up;
                }
                server.write(up);
                server.waitForBytesWritten(10);
                server.waitForReadyRead(10);
                client->write(server.readAll());
                client->waitForBytesWritten(10);
            }
        }
    }

private:
    quint16 m_serverPort;
    std::atomic<quint16> m_port{0};
    std::atomic<bool> m_stop{false};
    QSemaphore m_ready;
    mutable QMutex m_mutex;
    QByteArray m_seen;
};

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
    void hostListFailsOver_data();
    void hostListFailsOver();
    void keptListNeverShownStale_data();
    void keptListNeverShownStale();
    void unchangedNotOfferedRefused();
    void threadsOfClients_data();
    void threadsOfClients();
    void executableRefusesBadArguments_data();
    void executableRefusesBadArguments();

    void hostileServerReplies_data();
    void hostileServerReplies();
    void taggedReplyKeysSkipped();
    void sessionWithoutFingerprintRefused();
    void serverWithAnotherCertificateGetsNoToken();
    void tokenNeverTravelsInClear();
    void shortTokenNeverSent();
    void sessionFileReadableByOwnerOnly();

private:
    TNetConnection *connection(quint16 port);
    // Starts Lpr07700 on a free port with these options and a session file (the test's
    // when empty).
    void startServer(QProcess &server, const QStringList &options, quint16 &port,
                     const QString &session = QString());

    QString m_sessionFile;
    std::unique_ptr<TestEnv> m_env;
    QProcess *m_server = nullptr;
    quint16 m_port = 0;
};

void tst_NetConnection::initTestCase()
{
    m_env = std::make_unique<TestEnv>();
    m_sessionFile = m_env->dir() + QStringLiteral("/sessao.ini");
    Session::current().save(m_sessionFile);
    m_server = new QProcess(this);
    startServer(*m_server, {QStringLiteral("--idle-timeout"), QStringLiteral("1")}, m_port);
}

void tst_NetConnection::startServer(QProcess &server, const QStringList &options, quint16 &port,
                                    const QString &session)
{
    server.setProgram(QStringLiteral(LPR07700_EXE));
    server.setArguments(QStringList{QStringLiteral("--config"), session.isEmpty() ? m_sessionFile : session,
                                    QStringLiteral("--port"),
                                    QStringLiteral("0")}
                        + options);
    server.setProcessChannelMode(QProcess::SeparateChannels);
    server.start();
    QVERIFY2(server.waitForStarted(10000), qPrintable(server.errorString()));
    QVERIFY(QTest::qWaitFor([&] { return server.canReadLine() || server.state() != QProcess::Running; }, 15000));
    const QString line = QString::fromUtf8(server.readLine()).trimmed();
    const auto match = QRegularExpression(QStringLiteral("^Lpr07700 ouvindo em 127\\.0\\.0\\.1:(\\d+)$")).match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line + QString::fromUtf8(server.readAllStandardError())));
    port = quint16(match.captured(1).toUInt());
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
    Session::current().serverToken = TestEnv::kToken;
}

TNetConnection *tst_NetConnection::connection(quint16 port)
{
    auto *net = new TNetConnection(this);
    PriceListServer::configure(*net);
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
    PriceListServer::configure(net);
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

    net.setConnected(true); // already connected: no new attempt
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
    net->setConnected(true); // ThrowException false: quietly not connected
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
    net->setToken(QStringLiteral("token-errado-0123456789"));
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
    QVERIFY(net->Connected()); // a method's failure does not end the link
    QVERIFY(!net->call(QStringLiteral("GetFornecedor")).toByteArray().isEmpty());
}

void tst_NetConnection::tokenComesFromSessionWhenEmpty()
{
    TNetConnection *net = connection(m_port);
    Session::current().serverToken = QStringLiteral("outro-token-0123456789");
    net->setConnected(true);
    QVERIFY(!net->Connected());
    Session::current().serverToken = TestEnv::kToken;
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
    // Stopped only once every thread of the server is.
    QVERIFY(QTest::qWaitFor(
        [&] {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            return stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") T ");
        },
        5000));
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
    QTest::newRow("missing config") << QStringList{QStringLiteral("--config"),
                                                   m_env->dir() + QStringLiteral("/nao.ini")}
                                    << QStringLiteral("não encontrado");
    QTest::newRow("bad port") << QStringList{QStringLiteral("--config"), session, QStringLiteral("--port"),
                                             QStringLiteral("99999")}
                              << QStringLiteral("porta inválida");
    QTest::newRow("outside without token")
        << QStringList{QStringLiteral("--config"), m_env->dir() + QStringLiteral("/semtoken.ini"),
                       QStringLiteral("--host"), QStringLiteral("0.0.0.0")}
        << QStringLiteral("Token");
    QTest::newRow("port in use") << QStringList{QStringLiteral("--config"), session, QStringLiteral("--port"),
                                                QString::number(m_port)}
                                 << QStringLiteral("Não foi possível ouvir em 127.0.0.1:");
    const auto other = [&](const char *name) {
        return QStringList{QStringLiteral("--config"),
                           m_env->dir() + QStringLiteral("/%1.ini").arg(QLatin1String(name)), QStringLiteral("--port"),
                           QStringLiteral("0")};
    };
    QTest::newRow("short token") << other("tokencurto") << QStringLiteral("menos de 16 caracteres");
    QTest::newRow("no certificate") << other("semcertificado") << QStringLiteral("Certificado");
    QTest::newRow("key readable by others") << other("chaveaberta") << QStringLiteral("chmod 600");
    QTest::newRow("key of another certificate")
        << other("outrachave") << QStringLiteral("não corresponde ao certificado");
    // The database is checked before the server listens: nothing would answer the screen.
    QTest::newRow("database file not a database")
        << other("naobanco") << QStringLiteral("o arquivo não é um banco de dados SQLite");
    QTest::newRow("database without the tables")
        << other("bancovazio") << QStringLiteral("a tabela FORNECEDOR não existe");
}

void tst_NetConnection::executableRefusesBadArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    Session withoutToken = Session::current();
    withoutToken.serverToken.clear();
    withoutToken.save(m_env->dir() + QStringLiteral("/semtoken.ini"));
    Session shortToken = Session::current();
    shortToken.serverToken = QStringLiteral("curto");
    shortToken.save(m_env->dir() + QStringLiteral("/tokencurto.ini"));
    Session noCertificate = Session::current();
    noCertificate.serverCertificate.clear();
    noCertificate.serverKey.clear();
    noCertificate.save(m_env->dir() + QStringLiteral("/semcertificado.ini"));
    Session openKey = Session::current();
    openKey.serverKey = m_env->dir() + QStringLiteral("/aberta.key");
    QFile::remove(openKey.serverKey);
    QVERIFY(QFile::copy(Session::current().serverKey, openKey.serverKey));
    QVERIFY(QFile::setPermissions(openKey.serverKey, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    openKey.save(m_env->dir() + QStringLiteral("/chaveaberta.ini"));
    Session otherKey = Session::current();
    otherKey.serverKey = TestCertificate::make(m_env->dir(), QStringLiteral("outro")).keyFile;
    otherKey.save(m_env->dir() + QStringLiteral("/outrachave.ini"));
    for (const auto &[name, bytes] :
         {std::pair{"naobanco", QByteArray("não é um banco\n").repeated(100)}, std::pair{"bancovazio", QByteArray()}}) {
        Session broken = Session::current();
        broken.db.database = m_env->dir() + QStringLiteral("/%1.db").arg(QLatin1String(name));
        QFile file(broken.db.database);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        broken.save(m_env->dir() + QStringLiteral("/%1.ini").arg(QLatin1String(name)));
    }

    QProcess process;
    process.start(QStringLiteral(LPR07700_EXE), arguments);
    QVERIFY(process.waitForFinished(15000));
    QCOMPARE(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.contains(expected), qPrintable(err));
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

// A broken or hostile server (one with the right certificate) cannot crash the screen nor
// make it hold many times what it sent: every reply ends in a message, the link closed.
// Host may name several servers: they are tried in turn, the link says which one it used,
// and when none answers the message names each.
void tst_NetConnection::hostListFailsOver_data()
{
    QTest::addColumn<QString>("hosts"); // %1: a port where nothing listens, %2: the server's
    QTest::addColumn<bool>("connects");
    QTest::newRow("first down") << QStringLiteral("127.0.0.1:%1, 127.0.0.1:%2") << true;
    QTest::newRow("blanks, the second of three") << QStringLiteral("127.0.0.1:%1 127.0.0.1:%2 127.0.0.1:%1") << true;
    QTest::newRow("semicolons, the first") << QStringLiteral("127.0.0.1:%2;127.0.0.1:%1") << true;
    QTest::newRow("all down") << QStringLiteral("127.0.0.1:%1, [::1]:%1") << false;
}

void tst_NetConnection::hostListFailsOver()
{
    QFETCH(QString, hosts);
    QFETCH(bool, connects);
    const quint16 dead = deadPort();
    // As a session file names them (QSettings reads a value with commas as a list).
    const QString file = m_env->dir() + QStringLiteral("/servidores.ini");
    QFile ini(file);
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(QStringLiteral("[ServidorAplicacao]\nHost=%1\n").arg(hosts.arg(dead).arg(m_port)).toUtf8());
    ini.close();
    Session session;
    session.load(file);
    TNetConnection *net = connection(m_port);
    net->setHost(session.serverHost);
    net->BeforeConnect = nullptr;
    net->setConnected(true);
    QCOMPARE(net->Connected(), connects);
    if (connects) {
        QCOMPARE(net->ConnectedHost(), QStringLiteral("127.0.0.1:%1").arg(m_port));
        QVERIFY(!net->call(QStringLiteral("GetFornecedor")).toByteArray().isEmpty());
    } else {
        QVERIFY2(net->LastError().contains(QStringLiteral("Nenhum dos 2 servidores")), qPrintable(net->LastError()));
        QVERIFY2(net->LastError().contains(QStringLiteral("[::1]:%1").arg(dead)), qPrintable(net->LastError()));
    }
}

// The list a workstation keeps is shown only when the server says its mark is current;
// kept under a mark the server no longer holds, cut short, altered or open to other users,
// it is never shown: the server's whole list is, and it is kept in its place.
void tst_NetConnection::keptListNeverShownStale_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("fromKept");
    QTest::addColumn<bool>("compressed"); // the second call takes the list compressed
    QTest::newRow("kept and current") << QString() << true << false;
    QTest::newRow("mark moved") << QStringLiteral("mark") << false << false;
    QTest::newRow("file cut short") << QStringLiteral("cut") << false << false;
    QTest::newRow("one byte changed") << QStringLiteral("byte") << false << false;
    QTest::newRow("open to other users") << QStringLiteral("open") << false << false;
    QTest::newRow("kept and current, compressed") << QString() << true << true;
    QTest::newRow("mark moved, compressed") << QStringLiteral("mark") << false << true;
    QTest::newRow("file cut short, compressed") << QStringLiteral("cut") << false << true;
}

void tst_NetConnection::keptListNeverShownStale()
{
    QFETCH(QString, damage);
    QFETCH(bool, fromKept);
    QFETCH(bool, compressed);
    const QString folder = m_env->dir() + QStringLiteral("/mantidas");
    QDir(folder).removeRecursively();
    TNetConnection *net = connection(m_port);
    net->setKeptRepliesFolder(folder);
    net->setCompression(false);
    const QByteArray fresh = net->call(QStringLiteral("GetFornecedor")).toByteArray();
    QVERIFY(!net->LastFromKept());
    QVERIFY(!net->LastDeflated());
    TNetConnection::waitForKeptReplies();
    const KeptReplies kept(folder);
    const QString key = net->keptReplyKey(QStringLiteral("GetFornecedor"));
    QFile file(kept.fileName(key));
    QVERIFY(file.exists());
    QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFileDevice::Permissions());

    const QByteArray stale = QByteArray("lista antiga").repeated(100);
    if (damage == QLatin1String("mark")) {
        kept.write(key, stale, QStringLiteral("0123456789abcdef0123456789abcdef"));
    } else if (damage == QLatin1String("cut")) {
        QVERIFY(file.resize(file.size() / 2));
    } else if (damage == QLatin1String("byte")) {
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x20);
        file.seek(0);
        file.write(bytes);
        file.close();
    } else if (damage == QLatin1String("open")) {
        QVERIFY(file.setPermissions(file.permissions() | QFile::ReadOther));
    }
    net->setCompression(compressed);
    const QByteArray again = net->call(QStringLiteral("GetFornecedor")).toByteArray();
    QCOMPARE(net->LastFromKept(), fromKept);
    QCOMPARE(net->LastDeflated(), compressed && !fromKept);
    QCOMPARE(again, fresh);
    TNetConnection::waitForKeptReplies();
    // What is kept now is the whole current list again.
    QByteArray packet;
    QString mark;
    QVERIFY(kept.read(key, packet, mark));
    QCOMPARE(packet, fresh);
}

// A server that says "unchanged" to a client that offered nothing gets an error, never an
// empty list.
void tst_NetConnection::unchangedNotOfferedRefused()
{
    ScriptedServer server(TestCertificate::shared());
    QVERIFY(server.listen());
    server.setReply(Frame::unchangedFrame(QStringLiteral("0123456789abcdef")), false);
    TNetConnection *net = connection(server.port());
    net->setKeptRepliesFolder(m_env->dir() + QStringLiteral("/vazia"));
    try {
        net->call(QStringLiteral("GetFornecedor"));
        QFAIL("accepted");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("inalterada")), qPrintable(e.message()));
    }
}

// Many screens' links at once, each on a thread of its own, as a terminal server runs them:
// every call gets the whole list, loaded the way the screen loads it, whether it came whole
// or from the copy kept on the workstation (half the threads keep it). The sanitizer builds
// run this as their client load, larger: SUITE_LOAD_THREADS threads of SUITE_LOAD_CALLS calls
// each, against a database of SUITE_LOAD_SUPPLIERS quoted suppliers (a list large enough to
// go out in several turns of the server's loop).
void tst_NetConnection::threadsOfClients_data()
{
    QTest::addColumn<bool>("linkPerCall");
    QTest::addColumn<bool>("cacheOff");
    QTest::addColumn<bool>("compressed");
    QTest::newRow("a new link per call") << true << false << false;
    QTest::newRow("one link per thread") << false << false << false;
    QTest::newRow("a new link per call, no cache on the server") << true << true << false;
    QTest::newRow("one link per thread, no cache on the server") << false << true << false;
    QTest::newRow("a new link per call, compressed") << true << false << true;
    QTest::newRow("one link per thread, no cache on the server, compressed") << false << true << true;
}

void tst_NetConnection::threadsOfClients()
{
    QFETCH(bool, linkPerCall);
    QFETCH(bool, cacheOff);
    QFETCH(bool, compressed);
    const auto setting = [](const char *name, int fallback) {
        bool ok = false;
        const int value = qEnvironmentVariableIntValue(name, &ok);
        return ok && value > 0 ? value : fallback;
    };
    const int threadCount = setting("SUITE_LOAD_THREADS", 24);
    const int calls = setting("SUITE_LOAD_CALLS", 6);
    const int suppliers = setting("SUITE_LOAD_SUPPLIERS", 0);
    int rows = quotedCount();
    QString session = m_sessionFile;
    if (suppliers > 0) {
        session = m_env->dir() + QStringLiteral("/carga.ini");
        if (!QFile::exists(session)) {
            DemoOptions options;
            options.suppliers = suppliers;
            options.products = suppliers;
            options.quotes = suppliers * 4;
            Session load = Session::current();
            load.db.database = m_env->dir() + QStringLiteral("/carga.db");
            DemoDb::createSqlite(load.db.database, options);
            load.save(session);
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("carga"));
            db.setDatabaseName(m_env->dir() + QStringLiteral("/carga.db"));
            QVERIFY(db.open());
            rows = quotedCount(db);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("carga"));
    }
    QProcess server;
    quint16 port = 0;
    startServer(server, {QStringLiteral("--cache"), cacheOff ? QStringLiteral("0") : QStringLiteral("10")}, port, session);
    const auto stop = qScopeGuard([&] {
        server.terminate();
        server.waitForFinished(10000);
    });
    std::atomic<int> good{0};
    std::atomic<int> fromKept{0};
    QMutex mutex;
    QStringList errors;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back(QThread::create([&, t] {
            std::unique_ptr<TNetConnection> net;
            for (int call = 0; call < calls; ++call) {
                if (!net || linkPerCall) {
                    net = std::make_unique<TNetConnection>();
                    PriceListServer::configure(*net);
                    net->setKeepReply(QStringLiteral("GetFornecedor"), t % 2 == 0);
                    net->setCompression(compressed);
                    net->setHost(QStringLiteral("127.0.0.1"));
                    net->setPort(port);
                    net->setConnectTimeout(60000);
                    net->setCallTimeout(60000);
                }
                try {
                    TClientDataSet cds;
                    cds.IndexFieldNames = QStringLiteral("NMFANTFORN");
                    cds.setData(net->call(QStringLiteral("GetFornecedor")));
                    fromKept += net->LastFromKept();
                    if (cds.RecordCount() == rows && !cds.FieldByName(QStringLiteral("CDFORNECED")).AsString().isEmpty())
                        ++good;
                } catch (const ESuiteError &e) {
                    QMutexLocker lock(&mutex);
                    errors << e.message();
                }
            }
        }));
        threads.back()->start();
    }
    for (auto &t : threads)
        QVERIFY(t->wait(600000));
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
    QCOMPARE(good.load(), threadCount * calls);
    // The cached list keeps its mark from call to call: the threads that keep it offer it and
    // are answered "unchanged" from the second call on.
    if (!cacheOff && calls > 1)
        QVERIFY(fromKept.load() > 0);
}

void tst_NetConnection::hostileServerReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("close");
    QTest::addColumn<QString>("expected");

    // {"result": a two-byte text that is not UTF-8}: 11 bytes that crashed the screen.
    QTest::newRow("text not UTF-8, 11 bytes")
        << frameOf(QByteArray("\xa1\x66result\x62\xc3\x28", 11)) << false << QStringLiteral("UTF-8");
    QByteArray truncated(Frame::HeaderSize, '\0');
    qToBigEndian(quint32(100), truncated.data());
    QTest::newRow("truncated frame, then closed")
        << truncated + QByteArray(10, 'x') << true << QStringLiteral("falhou durante a chamada GetFornecedor");
    QByteArray huge(Frame::HeaderSize, '\0');
    qToBigEndian(quint32(0x7fffffff), huge.data());
    QTest::newRow("2 GiB announced") << huge << false << QStringLiteral("excede o limite de 16 MiB");
    QTest::newRow("garbage") << frameOf(QByteArray("\x9f\x9f\x9f\xff\xfe\x00 lixo", 11)) << false
                             << QStringLiteral("Resposta inválida");
    QTest::newRow("error text not UTF-8") << frameOf(QByteArray("\xa1\x65"
                                                                "error"
                                                                "\x62\xff\xfe",
                                                                10))
                                          << false << QStringLiteral("UTF-8");
    // Two million rows of empty values: 14 MB on the wire, within the cap, and some
    // 500 MB once decoded.
    DataPacket::Writer empties({{QStringLiteral("IDMARCADO"), 1},
                                {QStringLiteral("IDTPIJURFORN"), 1},
                                {QStringLiteral("NRINSJURFORN"), 20},
                                {QStringLiteral("NMFANTFORN"), 40},
                                {QStringLiteral("NMRAZSOCFORN"), 40},
                                {QStringLiteral("CDFORNECED"), 21}});
    for (int i = 0; i < 2000000; ++i) {
        empties.beginRow();
        for (int c = 0; c < 6; ++c)
            empties.addNull();
        empties.endRow();
    }
    // Compressed results: what they say they hold must be what they inflate to, within the cap.
    DataPacket::Writer some({{QStringLiteral("CDFORNECED"), 21}});
    for (int i = 0; i < 2000; ++i)
        some.addRow({QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'))});
    const QByteArray plain = some.finish();
    const QByteArray deflated = Frame::deflate(plain);
    const QString mark = QStringLiteral("0123456789abcdef");
    const QString damaged = QStringLiteral("danificado");
    QTest::newRow("compressed, larger than it says")
        << Frame::deflatedFrame(deflated, plain.size() - 1, mark).join() << false << damaged;
    QTest::newRow("compressed, smaller than it says")
        << Frame::deflatedFrame(deflated, plain.size() + 1, mark).join() << false << damaged;
    QTest::newRow("compressed, cut short")
        << Frame::deflatedFrame(deflated.left(deflated.size() / 2), plain.size(), mark).join() << false << damaged;
    QTest::newRow("compressed, not deflate")
        << Frame::deflatedFrame(QByteArray(300, '\xff'), plain.size(), mark).join() << false << damaged;
    QTest::newRow("compressed, 1 GiB announced") << Frame::deflatedFrame(deflated, qint64(1) << 30, mark).join()
                                                 << false << QStringLiteral("excede o limite de 16777216 bytes");
    QByteArray noSize = Frame::deflatedFrame(deflated, plain.size(), QString()).join();
    noSize.replace(QByteArray("\xa2\x64size", 6), QByteArray("\xa2\x64nota", 6));
    QTest::newRow("compressed, without its size") << noSize << false << QStringLiteral("sem o tamanho");
    QTest::newRow("packet of empty values")
        << Frame::resultFrame(empties.finish()).join() << false << QStringLiteral("vezes o tamanho do pacote");
}

void tst_NetConnection::hostileServerReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, close);
    QFETCH(QString, expected);

    ScriptedServer server(TestCertificate::shared());
    QVERIFY(server.listen());
    server.setReply(reply, close);
    TNetConnection *net = connection(server.port());
    net->setCallTimeout(5000);
    try {
        TClientDataSet cds;
        cds.setData(net->call(QStringLiteral("GetFornecedor")));
        QFAIL("accepted");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
    }
    // A link that breaks mid-reply is asked once more on a new one (behind a balancer that
    // reaches another server), and no more than once.
    if (close)
        QCOMPARE(server.received().count("GetFornecedor"), 2);
}

// An unknown key that holds a tagged value no longer hides the result behind it.
void tst_NetConnection::taggedReplyKeysSkipped()
{
    DataPacket::Writer one({{QStringLiteral("CDFORNECED"), 21}});
    one.addRow({QStringLiteral("000001")});
    const QByteArray packet = one.finish();
    const QByteArray head =
        Frame::resultFrame(packet).first().mid(Frame::HeaderSize + 1); // "result" and the bytes head
    ScriptedServer server(TestCertificate::shared());
    QVERIFY(server.listen());
    server.setReply(frameOf(QByteArray("\xa2\x64nota\xc1\x61x", 9) + head + packet), false);
    TNetConnection *net = connection(server.port());
    try {
        QCOMPARE(net->call(QStringLiteral("GetFornecedor")).toByteArray(), packet);
    } catch (const ESuiteError &e) {
        QFAIL(qPrintable(e.message()));
    }
}

void tst_NetConnection::sessionWithoutFingerprintRefused()
{
    Session &session = Session::current();
    const Session saved = session;
    session.serverFingerprint.clear();
    session.serverCertificate.clear();
    TNetConnection *net = connection(m_port);
    net->setConnected(true);
    session = saved;
    QVERIFY(!net->Connected());
    QVERIFY2(net->LastError().contains(QStringLiteral("ImpressaoDigital=")), qPrintable(net->LastError()));

    // Without ImpressaoDigital, the certificate file the session names is the pin.
    session.serverFingerprint.clear();
    net->setConnected(true);
    session = saved;
    QVERIFY2(net->Connected(), qPrintable(net->LastError()));
}

// Whatever answers on the server's address, without the pinned certificate, gets a TLS
// handshake and nothing else: no token, no request.
void tst_NetConnection::serverWithAnotherCertificateGetsNoToken()
{
    QTemporaryDir dir;
    ScriptedServer impostor(TestCertificate::make(dir.path(), QStringLiteral("Impostor")));
    QVERIFY(impostor.listen());
    TNetConnection *net = connection(impostor.port());
    net->setConnected(true);
    QVERIFY(!net->Connected());
    QVERIFY2(net->LastError().contains(QStringLiteral("não confere com a impressão digital")),
             qPrintable(net->LastError()));
    QVERIFY2(net->LastError().contains(TestCertificate::shared().fingerprint), qPrintable(net->LastError()));
    QTest::qWait(100);
    QCOMPARE(impostor.received(), QByteArray());
}

void tst_NetConnection::tokenNeverTravelsInClear()
{
    Tap tap(m_port);
    const quint16 port = tap.listen();
    QVERIFY(port != 0);
    TNetConnection *net = connection(port);
    QVERIFY(!net->call(QStringLiteral("GetFornecedor")).toByteArray().isEmpty());
    const QByteArray seen = tap.seen();
    QVERIFY(seen.size() > 100);
    QVERIFY(!seen.contains(TestEnv::kToken.toUtf8()));
    QVERIFY(!seen.contains("GetFornecedor"));
    QVERIFY(!seen.contains("rdmConsListaPreco"));
}

void tst_NetConnection::shortTokenNeverSent()
{
    ScriptedServer server(TestCertificate::shared());
    QVERIFY(server.listen());
    TNetConnection *net = connection(server.port());
    net->setToken(QStringLiteral("curto"));
    net->setConnected(true);
    QVERIFY(!net->Connected());
    QVERIFY2(net->LastError().contains(QStringLiteral("16 caracteres")), qPrintable(net->LastError()));
    QTest::qWait(100);
    QCOMPARE(server.received(), QByteArray());
}

// The session file holds the token and the database password.
void tst_NetConnection::sessionFileReadableByOwnerOnly()
{
    const QFileDevice::Permissions others =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    const QString fresh = m_env->dir() + QStringLiteral("/nova.ini");
    Session::current().save(fresh);
    QCOMPARE(QFile::permissions(fresh) & others, QFileDevice::Permissions());

    const QString old = m_env->dir() + QStringLiteral("/antiga.ini");
    QFile file(old);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::setPermissions(old, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    Session::current().save(old);
    QCOMPARE(QFile::permissions(old) & others, QFileDevice::Permissions());
    Session back;
    back.load(old);
    QCOMPARE(back.serverToken, TestEnv::kToken);
    QCOMPARE(back.serverFingerprint, TestCertificate::shared().fingerprint);
}

QTEST_GUILESS_MAIN(tst_NetConnection)
#include "tst_netconnection.moc"
