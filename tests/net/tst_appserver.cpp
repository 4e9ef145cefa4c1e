// The application server core on 127.0.0.1, driven by raw sockets from the same
// thread (and by TNetConnection links from threads of their own): what it serves, and
// that no misbehaving client stops it.

#include "AppServer.h"
#include "data/Database.h"
#include "errors/EAbort.h"
#include "TestCertificate.h"
#include "TestEnv.h"
#include "net/DataPacket.h"
#include "net/Frame.h"
#include "net/FrameReader.h"
#include "net/LinkTls.h"
#include "net/TNetConnection.h"
#include "rdmConsListaPreco.h"
#include "RemoteDataModule.h"
#include "ServerOptions.h"

#include <QCborArray>
#include <QFile>
#include <QCborMap>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QtEndian>
#include <memory>

namespace {

const QString kServer = QStringLiteral("Lpr07700.rdmConsListaPreco");

// Another address of the loopback network: stands for another machine.
QHostAddress loopback(int last)
{
    return QHostAddress(QStringLiteral("127.0.0.%1").arg(last));
}

// A socket that connects and then says nothing, not even a TLS greeting.
std::unique_ptr<QTcpSocket> idleSocket(quint16 port, const QHostAddress &from)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->bind(from);
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket;
}

bool closedByServer(QTcpSocket &socket)
{
    return socket.state() == QAbstractSocket::UnconnectedState;
}
const QString kToken = TestEnv::kToken;

QByteArray rawFrame(const QByteArray &payload)
{
    QByteArray frame(Frame::HeaderSize, '\0');
    qToBigEndian(quint32(payload.size()), frame.data());
    return frame + payload;
}

// A client speaking the protocol by hand, without blocking the thread the server runs on.
class RawClient
{
public:
    // from: the local address to connect from (another address of the loopback network
    // stands for another machine).
    explicit RawClient(quint16 port, const QHostAddress &from = QHostAddress())
    {
        socket.setSslConfiguration(LinkTls::clientConfiguration());
        if (!from.isNull())
            socket.bind(from);
        socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    }

    bool waitConnected()
    {
        return QTest::qWaitFor([&] { return socket.isEncrypted(); }, 5000);
    }
    void send(const QByteArray &bytes) { socket.write(bytes); }
    void hello(const QString &token = kToken) { send(Frame::helloFrame(kServer, token)); }
    void call(const QString &method) { send(Frame::callFrame(method, {})); }

    // The next reply, or ok=false with error "no reply" when none came.
    Frame::Reply reply(int timeoutMs = 5000)
    {
        bool complete = false;
        (void)QTest::qWaitFor(
            [&] {
                complete = reader.read(&socket) == FrameReader::Status::Complete;
                return complete || (socket.state() == QAbstractSocket::UnconnectedState && !socket.bytesAvailable());
            },
            timeoutMs);
        if (!complete) {
            Frame::Reply none;
            none.error = QStringLiteral("no reply");
            return none;
        }
        return Frame::parseReply(reader.takePayload());
    }
    bool waitClosed(int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
    }

    QSslSocket socket;
    FrameReader reader{qint64(64) << 20};
};

QSet<QString> quotedSuppliers()
{
    QSet<QString> codes;
    QSqlQuery q(dtmDBGeral::dtbGeral());
    if (q.exec(QStringLiteral("SELECT DISTINCT CDFORNECED FROM COTACAO")))
        while (q.next())
            codes.insert(q.value(0).toString());
    return codes;
}

int count(const QString &sql)
{
    QSqlQuery q(dtmDBGeral::dtbGeral());
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

// A second module the server is given beside the price list: "Eco" answers at once,
// "Construir" only through a build ("falha" makes it fail). Each answer names the thread
// that gave it, so that a test sees where the call went.
class rdmTeste : public RemoteDataModule
{
public:
    static QString name() { return QStringLiteral("Lpr07700.rdmTeste"); }
    static DataModuleFactory factory()
    {
        return {name(), [](const QString &) { return std::make_unique<rdmTeste>(); }, true};
    }

    QString serverObjectName() const override { return name(); }
    bool tryInvoke(const QString &method, const QVariantList &args, QVariant &result) override
    {
        if (method == QLatin1String("Eco")) {
            result = answer(args);
            return true;
        }
        if (method == QLatin1String("Construir"))
            return false;
        throw ESuiteError(QStringLiteral("Método desconhecido: %1").arg(method));
    }
    QVariant invokeBuilt(const QString &, const QVariantList &args, qint64) override
    {
        QThread::msleep(30); // long enough for another link's build to queue behind this one
        if (args.value(0).toString() == QLatin1String("falha"))
            throw ESuiteError(QStringLiteral("A construção falhou: falha"));
        return answer(args);
    }

private:
    static QString answer(const QVariantList &args)
    {
        return args.value(0).toString() + QLatin1Char('@') + QThread::currentThread()->objectName();
    }
};

// What a TNetConnection call of a module returned (a data packet as its row count), or the
// text it raised.
QString callOver(quint16 port, const QString &object, const QString &method, const QVariantList &args)
{
    TNetConnection net;
    net.setServerName(object);
    net.setHost(QStringLiteral("127.0.0.1"));
    net.setPort(port);
    net.setToken(kToken);
    net.setFingerprint(TestCertificate::shared().fingerprint);
    net.setCallTimeout(10000);
    net.setReplyLimit(method, qint64(64) << 20);
    try {
        const QVariant result = net.call(method, args);
        if (result.metaType().id() == QMetaType::QByteArray)
            return QStringLiteral("%1 linhas").arg(DataPacket::decode(result.toByteArray()).rows.size());
        return result.toString();
    } catch (const ESuiteError &e) {
        return QStringLiteral("erro: ") + e.message();
    }
}

} // namespace

class tst_AppServer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void getFornecedorReturnsQuotedSuppliers();
    void servesEachModuleItIsGiven_data();
    void servesEachModuleItIsGiven();
    void pipelinedCallsAnsweredInOrder();
    void refusals_data();
    void refusals();
    void idlePeerDropped();
    void slowPeerDropped();
    void peerVanishingMidReply();
    void fiftyClientsAtOnce();
    void coldBuildHoldsUpNoOneElse();
    void siegeCannotLockClientsOut_data();
    void siegeCannotLockClientsOut();
    void unidentifiedLinkMustHelloInTime();
    void bigFrameBeforeHelloRefusedAtOnce();
    void wrongTokensSlowedDown();
    void refusalLogRateLimited();
    void databaseCutShortUnderTheServer();
    void stillAnswersAfterAll();
    void cachedListFollowsTheData();
    void commandLine_data();
    void commandLine();

private:
    void restoreLimits();
    rdmConsListaPreco &priceList();

    std::unique_ptr<TestEnv> m_env;
    AppServer *m_server = nullptr;
    std::unique_ptr<QSignalSpy> m_log;
    quint16 m_port = 0;
};

void tst_AppServer::initTestCase()
{
    m_env = std::make_unique<TestEnv>();
    m_server = new AppServer(QString::fromLatin1(dtmDBGeral::connectionName()),
                             {rdmConsListaPreco::factory(), rdmTeste::factory()}, this);
    m_server->setToken(kToken);
    const TestCertificate &tls = TestCertificate::shared();
    m_server->setTlsConfiguration(LinkTls::serverConfiguration(tls.certificateFile, tls.keyFile));
    m_server->setIdleTimeout(1500);
    m_server->setFrameTimeout(400);
    m_log = std::make_unique<QSignalSpy>(m_server, &AppServer::logMessage);
    m_server->listen(QStringLiteral("127.0.0.1"), 0);
    m_port = m_server->serverPort();
    QVERIFY(m_port != 0);
    QVERIFY(m_server->serverAddress().isLoopback());
    QVERIFY(!m_server->dataModule(QStringLiteral("Lpr07700.rdmOutro")));
}

void tst_AppServer::cleanupTestCase()
{
    m_log.reset();
    delete m_server;
    m_env.reset();
}

void tst_AppServer::getFornecedorReturnsQuotedSuppliers()
{
    RawClient client(m_port);
    QVERIFY(client.waitConnected());
    client.hello();
    const Frame::Reply hello = client.reply();
    QVERIFY2(hello.ok, qPrintable(hello.error));
    client.call(QStringLiteral("GetFornecedor"));
    const Frame::Reply reply = client.reply();
    QVERIFY2(reply.ok, qPrintable(reply.error));
    QCOMPARE(reply.result.metaType().id(), QMetaType::QByteArray);

    const DataPacket packet = DataPacket::decode(reply.result.toByteArray());
    const QStringList names = {QStringLiteral("IDMARCADO"),    QStringLiteral("IDTPIJURFORN"),
                               QStringLiteral("NRINSJURFORN"), QStringLiteral("NMFANTFORN"),
                               QStringLiteral("NMRAZSOCFORN"), QStringLiteral("CDFORNECED")};
    const QList<int> sizes = {1, 1, 20, 40, 40, 21};
    QCOMPARE(packet.fields.size(), 6);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(packet.fields[i].name, names[i]);
        QCOMPARE(packet.fields[i].size, sizes[i]);
    }

    const QSet<QString> quoted = quotedSuppliers();
    QVERIFY(!quoted.isEmpty());
    // The demo data has suppliers without quotes: they must not be listed.
    QVERIFY(count(QStringLiteral("SELECT COUNT(*) FROM FORNECEDOR")) > quoted.size());
    QSet<QString> listed;
    for (const auto &row : packet.rows) {
        QCOMPARE(row.size(), 6);
        QCOMPARE(row[0].toString(), QString());
        listed.insert(row[5].toString());
    }
    QCOMPARE(int(packet.rows.size()), quoted.size());
    QCOMPARE(listed, quoted);

    // Ordered by trade name, then code.
    for (size_t i = 1; i < packet.rows.size(); ++i) {
        const auto &a = packet.rows[i - 1];
        const auto &b = packet.rows[i];
        const bool ordered = a[3].toString() < b[3].toString()
                             || (a[3].toString() == b[3].toString() && a[5].toString() < b[5].toString());
        QVERIFY2(ordered, qPrintable(a[3].toString() + QStringLiteral(" / ") + b[3].toString()));
    }

    // Every value is the supplier's own.
    QSqlQuery q(dtmDBGeral::dtbGeral());
    QVERIFY(q.prepare(QStringLiteral(
        "SELECT IDTPIJURFORN, NRINSJURFORN, NMFANTFORN, NMRAZSOCFORN FROM FORNECEDOR WHERE CDFORNECED = ?")));
    for (const auto &row : packet.rows) {
        q.bindValue(0, row[5]);
        QVERIFY(q.exec() && q.next());
        for (int c = 0; c < 4; ++c)
            QCOMPARE(row[c + 1].toString(), q.value(c).toString());
    }
}

// Each link calls the module its hello names, over a real client link; calls that need a
// build are answered on the builder's thread, and a failed build is told to its caller
// only: a link of the other module building at the same time gets its own answer.
void tst_AppServer::servesEachModuleItIsGiven_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("arg");
    QTest::addColumn<QString>("expected"); // the answer's start, or "erro: " and part of the text

    const QString suppliers = QStringLiteral("%1 linhas").arg(quotedSuppliers().size());
    QTest::newRow("price list") << kServer << "GetFornecedor" << QString() << suppliers;
    QTest::newRow("name in another case, answered at hand")
        << "LPR07700.RDMTESTE" << "Eco" << "a" << "a@Lpr07700 w";
    QTest::newRow("answered on the builder's thread") << rdmTeste::name() << "Construir" << "b" << "b@Lpr07700 lista";
    QTest::newRow("failed build") << rdmTeste::name() << "Construir" << "falha" << "erro: A construção falhou: falha";
    QTest::newRow("method of the other module")
        << rdmTeste::name() << "GetFornecedor" << QString() << "erro: Método desconhecido: GetFornecedor";
    QTest::newRow("price list, method of the test module")
        << kServer << "Eco" << "a" << "erro: Método desconhecido: Eco";
    QTest::newRow("unknown object") << "Lpr07700.rdmOutro" << "Eco" << "a"
                                    << "erro: O servidor de aplicação 127.0.0.1:%1 recusou a conexão: "
                                       "Objeto desconhecido: Lpr07700.rdmOutro";
}

void tst_AppServer::servesEachModuleItIsGiven()
{
    QFETCH(QString, object);
    QFETCH(QString, method);
    QFETCH(QString, arg);
    QFETCH(QString, expected);
    expected.replace(QLatin1String("%1"), QString::number(m_port));
    const QVariantList args = arg.isNull() ? QVariantList() : QVariantList{arg};

    // TNetConnection blocks its thread: the clients run on threads of their own while this
    // one accepts their links.
    QString got;
    QString bystander;
    std::unique_ptr<QThread> caller(QThread::create([&] { got = callOver(m_port, object, method, args); }));
    std::unique_ptr<QThread> other(QThread::create(
        [&] { bystander = callOver(m_port, rdmTeste::name(), QStringLiteral("Construir"), {QStringLiteral("vizinho")}); }));
    caller->start();
    other->start();
    const bool finished = QTest::qWaitFor([&] { return caller->isFinished() && other->isFinished(); }, 30000);
    caller->wait();
    other->wait();
    QVERIFY(finished);
    QVERIFY2(got.startsWith(expected), qPrintable(got));
    QCOMPARE(bystander, QStringLiteral("vizinho@Lpr07700 lista"));
}

void tst_AppServer::pipelinedCallsAnsweredInOrder()
{
    RawClient client(m_port);
    QVERIFY(client.waitConnected());
    client.send(Frame::helloFrame(kServer, kToken) + Frame::callFrame(QStringLiteral("GetCliente"), {})
                + Frame::callFrame(QStringLiteral("GetFornecedor"), {QStringLiteral("x")})
                + Frame::callFrame(QStringLiteral("getfornecedor"), {}));
    QVERIFY(client.reply().ok);
    const Frame::Reply unknown = client.reply();
    QVERIFY(!unknown.ok);
    QCOMPARE(unknown.error, QStringLiteral("Método desconhecido: GetCliente"));
    const Frame::Reply withArgs = client.reply();
    QVERIFY(!withArgs.ok);
    QVERIFY2(withArgs.error.contains(QStringLiteral("argumentos")), qPrintable(withArgs.error));
    // A failed call leaves the link usable; method names are not case-sensitive.
    const Frame::Reply list = client.reply();
    QVERIFY2(list.ok, qPrintable(list.error));
    QVERIFY(!DataPacket::decode(list.result.toByteArray()).rows.empty());
    QCOMPARE(client.socket.state(), QAbstractSocket::ConnectedState);
}

void tst_AppServer::refusals_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    QByteArray huge(4, '\0');
    qToBigEndian(quint32(0x80000000u), huge.data()); // claims 2 GiB; nothing follows
    QTest::newRow("frame over the cap") << huge << QStringLiteral("excede o limite");
    QTest::newRow("wrong token") << Frame::helloFrame(kServer, QStringLiteral("token-errado-0123456789"))
                                 << QStringLiteral("oken de acesso inválido");
    QTest::newRow("token prefix") << Frame::helloFrame(kServer, kToken.chopped(1))
                                  << QStringLiteral("oken de acesso inválido");
    QTest::newRow("unknown object") << Frame::helloFrame(QStringLiteral("Lpr07700.rdmOutro"), kToken)
                                    << QStringLiteral("Objeto desconhecido: Lpr07700.rdmOutro");
    QTest::newRow("call before hello") << Frame::callFrame(QStringLiteral("GetFornecedor"), {})
                                       << QStringLiteral("não se identificou");
    QTest::newRow("malformed CBOR") << rawFrame(QByteArray("\xbf\x63op\xff\x00", 6))
                                    << QStringLiteral("Requisição inválida");
    QTest::newRow("empty frame") << rawFrame(QByteArray()) << QStringLiteral("Requisição inválida");
    QTest::newRow("not a map") << rawFrame(QCborArray{QStringLiteral("hello")}.toCborValue().toCbor())
                               << QStringLiteral("Requisição inválida");
    QTest::newRow("second hello") << Frame::helloFrame(kServer, kToken) + Frame::helloFrame(kServer, kToken)
                                  << QStringLiteral("Identificação repetida");
}

void tst_AppServer::refusals()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);

    const qsizetype logged = m_log->size();
    RawClient client(m_port);
    QVERIFY(client.waitConnected());
    client.send(bytes);
    Frame::Reply reply = client.reply();
    if (reply.ok) // the accepted hello ahead of a second one
        reply = client.reply();
    QVERIFY(!reply.ok);
    QVERIFY2(reply.error.contains(expected), qPrintable(reply.error));
    QVERIFY2(client.waitClosed(), "the server kept a refused link open");
    QVERIFY(m_log->size() > logged);
    QVERIFY2(m_log->last().at(0).toString().contains(QStringLiteral("recusada")),
             qPrintable(m_log->last().at(0).toString()));
}

void tst_AppServer::idlePeerDropped()
{
    RawClient client(m_port);
    QVERIFY(client.waitConnected());
    client.hello();
    QVERIFY(client.reply().ok);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(client.waitClosed(5000));
    // Well past the frame timeout (400 ms): the idle timeout (1500 ms) is what applied.
    QVERIFY2(clock.elapsed() >= 1000, "dropped before the idle timeout");
    QVERIFY(m_log->last().at(0).toString().contains(QStringLiteral("inativa")));
}

void tst_AppServer::slowPeerDropped()
{
    RawClient client(m_port);
    QVERIFY(client.waitConnected());
    const QByteArray hello = Frame::helloFrame(kServer, kToken);
    client.send(hello.left(7)); // a request started and never finished
    QElapsedTimer clock;
    clock.start();
    QVERIFY(client.waitClosed(5000));
    // The frame timeout, far shorter than the idle one, applies.
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(m_log->last().at(0).toString().contains(QStringLiteral("incompleta")),
             qPrintable(m_log->last().at(0).toString()));
}

void tst_AppServer::peerVanishingMidReply()
{
    for (int i = 0; i < 5; ++i) {
        RawClient client(m_port);
        QVERIFY(client.waitConnected());
        client.send(Frame::helloFrame(kServer, kToken) + Frame::callFrame(QStringLiteral("GetFornecedor"), {}));
        QTest::qWait(i);
        client.socket.abort();
    }
    QVERIFY(QTest::qWaitFor([&] { return m_server->connectionCount() == 0; }, 5000));
}

void tst_AppServer::fiftyClientsAtOnce()
{
    const int rows = int(quotedSuppliers().size());
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 50; ++i)
        clients.push_back(std::make_unique<RawClient>(m_port));
    for (auto &c : clients)
        c->send(Frame::helloFrame(kServer, kToken) + Frame::callFrame(QStringLiteral("GetFornecedor"), {}));
    for (auto &c : clients) {
        const Frame::Reply hello = c->reply();
        QVERIFY2(hello.ok, qPrintable(hello.error));
        const Frame::Reply list = c->reply();
        QVERIFY2(list.ok, qPrintable(list.error));
        QCOMPARE(int(DataPacket::decode(list.result.toByteArray()).rows.size()), rows);
    }
}

// While the supplier list is being built (here held up by a writer's lock on the database),
// another screen still gets its link, its identification and an answer to its call, before
// the list comes.
void tst_AppServer::coldBuildHoldsUpNoOneElse()
{
    m_server->setCacheTime(0);
    RawClient asker(m_port);
    QVERIFY(asker.waitConnected());
    asker.hello();
    QVERIFY(asker.reply().ok);

    QSqlQuery lock(m_env->writable());
    QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
    asker.call(QStringLiteral("GetFornecedor"));
    QTest::qWait(50);

    RawClient other(m_port);
    QVERIFY(other.waitConnected());
    other.hello();
    QVERIFY(other.reply().ok);
    other.call(QStringLiteral("GetCliente"));
    const Frame::Reply small = other.reply();
    QCOMPARE(small.error, QStringLiteral("Método desconhecido: GetCliente"));
    QCOMPARE(asker.socket.bytesAvailable(), qint64(0)); // the list is still being built

    QVERIFY(lock.exec(QStringLiteral("COMMIT")));
    const Frame::Reply list = asker.reply();
    QVERIFY2(list.ok, qPrintable(list.error));
    QCOMPARE(int(DataPacket::decode(list.result.toByteArray()).rows.size()), int(quotedSuppliers().size()));
}

rdmConsListaPreco &tst_AppServer::priceList()
{
    return static_cast<rdmConsListaPreco &>(*m_server->dataModule(kServer));
}

void tst_AppServer::restoreLimits()
{
    m_server->setMaxConnections(2048);
    m_server->setMaxPending(128);
    m_server->setMaxPendingPerAddress(64);
    m_server->setHelloTimeout(5000);
    m_server->setIdleTimeout(1500);
    m_server->setTokenDelay(250);
}

namespace {

// The first record a TLS client sends (its greeting), as a real client writes it.
QByteArray clientGreeting()
{
    QTcpServer listener;
    if (!listener.listen(QHostAddress::LocalHost, 0))
        return {};
    QSslSocket client;
    client.setSslConfiguration(LinkTls::clientConfiguration());
    client.connectToHostEncrypted(QStringLiteral("127.0.0.1"), listener.serverPort());
    QTcpSocket *seen = nullptr;
    QByteArray bytes;
    (void)QTest::qWaitFor(
        [&] {
            if (!seen && listener.hasPendingConnections())
                seen = listener.nextPendingConnection();
            if (seen)
                bytes += seen->readAll();
            return bytes.size() >= 5 && bytes.size() >= 5 + (uchar(bytes[3]) << 8 | uchar(bytes[4]));
        },
        5000);
    return bytes;
}

// Links that take a place and do not use it, from the given machines, reopened as soon as
// the server closes them.
class Siege
{
public:
    enum Kind {
        Idle,           // connects and says nothing
        CutGreeting,    // the first 40 bytes of a TLS greeting, then nothing
        WholeGreeting,  // a whole greeting, then nothing: the handshake stalls
        SilentAfterTls, // completes TLS, never says who it is
    };

    Siege(quint16 port, Kind kind, const QList<int> &machines, int count) : m_port(port), m_kind(kind)
    {
        if (kind == CutGreeting || kind == WholeGreeting) {
            m_greeting = clientGreeting();
            if (kind == CutGreeting)
                m_greeting = m_greeting.left(40);
        }
        for (int i = 0; i < count; ++i) {
            m_sockets.push_back(kind == SilentAfterTls ? std::make_unique<QSslSocket>() : std::make_unique<QTcpSocket>());
            m_from.push_back(loopback(machines[i % machines.size()]));
            open(i);
        }
    }
    bool ready() const { return m_kind == Idle || m_kind == SilentAfterTls || m_greeting.size() >= 40; }
    // Reopens what the server has closed; returns how many were closed in all so far.
    int keep()
    {
        for (size_t i = 0; i < m_sockets.size(); ++i)
            if (m_sockets[i]->state() == QAbstractSocket::UnconnectedState) {
                ++m_reopened;
                open(i);
            }
        return m_reopened;
    }

private:
    void open(size_t i)
    {
        QTcpSocket &s = *m_sockets[i];
        s.abort();
        s.bind(m_from[i]);
        if (m_kind == SilentAfterTls) {
            auto &tls = static_cast<QSslSocket &>(s);
            tls.setSslConfiguration(LinkTls::clientConfiguration());
            tls.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_port);
            return;
        }
        s.connectToHost(QHostAddress::LocalHost, m_port);
        if (!m_greeting.isEmpty())
            s.write(m_greeting); // goes out once connected
    }

    quint16 m_port;
    Kind m_kind;
    QByteArray m_greeting;
    std::vector<std::unique_ptr<QTcpSocket>> m_sockets;
    std::vector<QHostAddress> m_from;
    int m_reopened = 0;
};

} // namespace

// Links that take a place without using it (idle sockets, greetings cut short, handshakes
// that stall, links that never identify themselves), from the screens' own address or from
// others, used to keep the screens out until the hello deadline. Whatever they do, a client
// that has identified itself keeps its link, and screens that arrive meanwhile, several at
// once from one address, are all served.
void tst_AppServer::siegeCannotLockClientsOut_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<int>>("machines"); // last number of the loopback address
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("overflow"); // more than the server takes: some must be closed

    const QList<int> same{1};
    const QList<int> others{2, 3, 4, 5, 6};
    const QList<int> all{1, 2, 3, 4, 5, 6};
    QTest::newRow("idle, the screens' address") << int(Siege::Idle) << same << 40 << true;
    QTest::newRow("idle, other addresses") << int(Siege::Idle) << others << 40 << true;
    QTest::newRow("greeting cut short, the screens' address") << int(Siege::CutGreeting) << same << 40 << true;
    QTest::newRow("greeting cut short, other addresses") << int(Siege::CutGreeting) << others << 40 << true;
    // Each of these costs the server a handshake: fewer of them, within the connection limit.
    QTest::newRow("handshake stalled, all addresses") << int(Siege::WholeGreeting) << all << 12 << false;
    QTest::newRow("no hello after TLS, all addresses") << int(Siege::SilentAfterTls) << all << 12 << false;
}

void tst_AppServer::siegeCannotLockClientsOut()
{
    QFETCH(int, kind);
    QFETCH(QList<int>, machines);
    QFETCH(int, count);
    QFETCH(bool, overflow);

    m_server->setMaxConnections(24);
    m_server->setMaxPending(6);
    m_server->setMaxPendingPerAddress(3);
    m_server->setHelloTimeout(60000);
    m_server->setIdleTimeout(60000);
    QVERIFY(QTest::qWaitFor([&] { return m_server->connectionCount() == 0; }, 5000));

    RawClient early(m_port);
    QVERIFY(early.waitConnected());
    early.hello();
    QVERIFY(early.reply().ok);

    Siege siege(m_port, Siege::Kind(kind), machines, count);
    QVERIFY(siege.ready());
    QTest::qWait(700); // idle and cut-short links count as stalled by then, handshakes a little later
    siege.keep();

    // Eight screens at once from one address: more than its share of pending links.
    std::vector<std::unique_ptr<RawClient>> screens;
    for (int i = 0; i < 8; ++i)
        screens.push_back(std::make_unique<RawClient>(m_port));
    for (const auto &s : screens) {
        // As a real client does: the hello and the call as soon as TLS is up.
        QObject::connect(&s->socket, &QSslSocket::encrypted, &s->socket, [c = s.get()] {
            c->send(Frame::helloFrame(kServer, kToken) + Frame::callFrame(QStringLiteral("GetFornecedor"), {}));
        });
    }
    std::vector<Frame::Reply> replies;
    const bool served = QTest::qWaitFor(
        [&] {
            siege.keep();
            for (size_t i = replies.size(); i < screens.size() * 2; ++i) {
                RawClient &c = *screens[i / 2];
                if (c.reader.read(&c.socket) != FrameReader::Status::Complete)
                    return false;
                replies.push_back(Frame::parseReply(c.reader.takePayload()));
            }
            return true;
        },
        10000);
    QVERIFY2(served, qPrintable(QStringLiteral("%1 of 16 replies").arg(replies.size())));
    for (const Frame::Reply &r : replies)
        QVERIFY2(r.ok, qPrintable(r.error));
    early.call(QStringLiteral("GetFornecedor"));
    QVERIFY2(early.reply().ok, "an identified client lost its link to the newcomers");
    if (overflow)
        QVERIFY2(siege.keep() > 0, "the siege never filled the server");
    QVERIFY(m_server->connectionCount() <= 24);
    restoreLimits();
}

void tst_AppServer::unidentifiedLinkMustHelloInTime()
{
    m_server->setHelloTimeout(300);
    auto silent = idleSocket(m_port, loopback(1));
    RawClient quiet(m_port); // completes TLS, then sends nothing
    QVERIFY(quiet.waitConnected());
    QVERIFY(QTest::qWaitFor([&] { return closedByServer(*silent); }, 5000));
    QVERIFY(quiet.waitClosed(5000));
    bool logged = false;
    for (const QList<QVariant> &line : std::as_const(*m_log))
        logged = logged || line.at(0).toString().contains(QStringLiteral("não se identificou"));
    QVERIFY(logged);
    restoreLimits();
}

// Before the hello a frame may hold a few kilobytes: a header announcing a megabyte is
// refused as soon as it arrives, without waiting for (or keeping) the megabyte.
void tst_AppServer::bigFrameBeforeHelloRefusedAtOnce()
{
    RawClient client(m_port);
    QVERIFY(client.waitConnected());
    QByteArray header(Frame::HeaderSize, '\0');
    qToBigEndian(quint32(Frame::MaxRequestSize), header.data());
    client.send(header + QByteArray(1000, '\xa0'));
    const Frame::Reply reply = client.reply(3000);
    QVERIFY(!reply.ok);
    QVERIFY2(reply.error.contains(QStringLiteral("antes da identificação")), qPrintable(reply.error));
    QVERIFY(client.waitClosed());
}

// The refusal of a wrong token comes late, later at each new failure from the same
// address; a right token is answered at once and forgets the failures.
void tst_AppServer::wrongTokensSlowedDown()
{
    m_server->setTokenDelay(400);
    const QHostAddress machine = loopback(6);
    const auto wrongToken = [&] {
        RawClient client(m_port, machine);
        if (!client.waitConnected())
            return qint64(-1);
        QElapsedTimer clock;
        clock.start();
        client.hello(QStringLiteral("token-errado-0123456789"));
        const Frame::Reply reply = client.reply(15000);
        if (reply.ok || !reply.error.contains(QStringLiteral("oken de acesso inválido")))
            return qint64(-1);
        return clock.elapsed();
    };
    for (qint64 least : {400, 800, 1600}) {
        const qint64 elapsed = wrongToken();
        QVERIFY2(elapsed >= least - 20,
                 qPrintable(QStringLiteral("%1 ms, at least %2 expected").arg(elapsed).arg(least)));
    }
    RawClient right(m_port, machine);
    QVERIFY(right.waitConnected());
    right.hello();
    QVERIFY(right.reply().ok);
    // Without the reset the next refusal would wait 3200 ms.
    const qint64 afterReset = wrongToken();
    QVERIFY2(afterReset >= 380 && afterReset < 2500, qPrintable(QStringLiteral("%1 ms").arg(afterReset)));
    restoreLimits();
}

void tst_AppServer::refusalLogRateLimited()
{
    QVERIFY(QTest::qWaitFor([&] { return m_server->connectionCount() <= 1; }, 5000));
    QTest::qWait(1100); // a fresh second for the log
    const qsizetype before = m_log->size();
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 40; ++i) {
        clients.push_back(std::make_unique<RawClient>(m_port, loopback(7)));
        QVERIFY(clients.back()->waitConnected());
        clients.back()->send(rawFrame(QByteArray("garbage")));
    }
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const auto &c : clients)
                if (!closedByServer(c->socket))
                    return false;
            return true;
        },
        10000));
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (qsizetype i = before; i < m_log->size(); ++i)
                if (m_log->at(i).at(0).toString().contains(QStringLiteral("não registradas")))
                    return true;
            return false;
        },
        5000));
    int lines = 0;
    for (qsizetype i = before; i < m_log->size(); ++i)
        lines += m_log->at(i).at(0).toString().contains(QStringLiteral("Requisição inválida"));
    QVERIFY2(lines < 40, qPrintable(QString::number(lines)));
}

// The packet is kept while nobody changes the data, past its time limit, and built again as
// soon as a quote of a new supplier is committed.
void tst_AppServer::cachedListFollowsTheData()
{
    rdmConsListaPreco &module = priceList();
    module.setCacheTime(30);
    const QByteArray first = module.GetFornecedor();
    QTest::qWait(60);
    const QByteArray again = module.GetFornecedor();
    QCOMPARE(again.constData(), first.constData()); // the same packet, not built again

    m_env->exec(
        QStringLiteral("INSERT INTO FORNECEDOR (CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMFANTFORN, NMRAZSOCFORN)"
                       " VALUES ('999999', 'J', '11222333000181', 'Novo Cotado', 'Novo Cotado Ltda')"));
    m_env->exec(QStringLiteral("INSERT INTO COTACAO (NRCOTACAO, CDFILIAL, CDFORNECED, CDPRODUTO, CDOPERADOR, DTVALINI,"
                               " DTVALFIN, VRPRECO, PCIPI, PCDESCONTO) SELECT MAX(NRCOTACAO) + 1, '0001', '999999',"
                               " MIN(CDPRODUTO), MIN(CDOPERADOR), '2026-12-01', '2026-12-31', 1, 0, 0 FROM COTACAO"));
    QTest::qWait(60);
    const QByteArray fresh = module.GetFornecedor();
    QVERIFY(fresh.contains("Novo Cotado"));
    QVERIFY(!first.contains("Novo Cotado"));
    module.setCacheTime(0);
}

// The database file cut to nothing under a running server (a backup copied over it in
// place, a full disk), then put back: the server answers with the cause meanwhile (a
// memory-mapped read used to kill it with SIGBUS) and serves the list again after.
void tst_AppServer::databaseCutShortUnderTheServer()
{
    rdmConsListaPreco &module = priceList();
    module.setCacheTime(0);
    QVERIFY(!module.GetFornecedor().isEmpty());
    QFile file(m_env->dbFile());
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray original = file.readAll();
    QVERIFY(file.resize(0));
    file.flush();
    try {
        module.GetFornecedor();
        QFAIL("a list from an empty file");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("não existe")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(m_env->dbFile()), qPrintable(e.message()));
    }
    QVERIFY(file.seek(0));
    QCOMPARE(file.write(original), qint64(original.size()));
    file.close();
    QVERIFY(!module.GetFornecedor().isEmpty());
}

void tst_AppServer::stillAnswersAfterAll()
{
    QVERIFY(QTest::qWaitFor([&] { return m_server->connectionCount() <= 1; }, 5000));
    m_server->setCacheTime(0); // go to the database again
    RawClient client(m_port);
    QVERIFY(client.waitConnected());
    client.hello();
    QVERIFY(client.reply().ok);
    client.call(QStringLiteral("GetFornecedor"));
    const Frame::Reply list = client.reply();
    QVERIFY2(list.ok, qPrintable(list.error));
    QCOMPARE(int(DataPacket::decode(list.result.toByteArray()).rows.size()), int(quotedSuppliers().size()));
}

// The server's command line: what it is read into, and what it refuses before it starts.
void tst_AppServer::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said"); // part of the refusal; empty: accepted
    QTest::addColumn<int>("port");     // the port chosen with the session's 21173; -1: refused
    QTest::addColumn<int>("cache");

    const QStringList config{"--config", "s.ini"};
    QTest::newRow("defaults") << config << QString() << 21173 << 10;
    QTest::newRow("a free port, no cache")
        << config + QStringList{"--port", "0", "--cache", "0"} << QString() << 0 << 0;
    QTest::newRow("no session") << QStringList{"--port", "1"} << "--config" << -1 << 0;
    QTest::newRow("port not a number") << config + QStringList{"--port", "x"} << QString() << -1 << 10;
    QTest::newRow("port too high") << config + QStringList{"--port", "65536"} << QString() << -1 << 10;
    QTest::newRow("idle of zero") << config + QStringList{"--idle-timeout", "0"} << "--idle-timeout" << -1 << 0;
    QTest::newRow("hello over a day") << config + QStringList{"--hello-timeout", "86401"} << "--hello-timeout" << -1
                                      << 0;
    QTest::newRow("negative cache") << config + QStringList{"--cache", "-1"} << "--cache" << -1 << 0;
    QTest::newRow("unknown flag") << config + QStringList{"--verbose"} << "verbose" << -1 << 0;
}

void tst_AppServer::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    QFETCH(int, port);
    QFETCH(int, cache);
    const ServerCommandLine line = parseServerOptions(QStringList{"Lpr07700"} + args);
    QVERIFY2(said.isEmpty() ? line.error.isEmpty() : line.error.contains(said), qPrintable(line.error));
    if (!said.isEmpty())
        return;
    QCOMPARE(line.options.cacheSeconds, cache);
    QString error;
    QCOMPARE(line.options.portFor(21173, &error), port);
    QCOMPARE(error.isEmpty(), port >= 0);
}

QTEST_GUILESS_MAIN(tst_AppServer)
#include "tst_appserver.moc"
