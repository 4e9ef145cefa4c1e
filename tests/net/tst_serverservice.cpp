// Lpr07700 as a service runs it: its settings checked before it starts (--check-config), its
// log in the journal with priorities, its readiness and stop told to systemd, its health and
// metrics endpoint counting what the workstations did.

#include "MetricsEndpoint.h"
#include "PriceListServer.h"
#include "ServerMetrics.h"
#include "ServerSetup.h"
#include "TestEnv.h"
#include "app/Session.h"
#include "errors/EAbort.h"
#include "net/TNetConnection.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The service manager's end of NOTIFY_SOCKET: a datagram socket in the test's folder.
class NotifySocket
{
public:
    explicit NotifySocket(const QString &path) : m_path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    }
    ~NotifySocket()
    {
        ::close(m_fd);
        QFile::remove(m_path);
    }
    // Every datagram received so far, joined.
    QString received()
    {
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0)
            m_received += QString::fromUtf8(buffer, int(n)) + QLatin1Char('\n');
        return m_received;
    }

private:
    QString m_path;
    int m_fd = -1;
    QString m_received;
};

// One HTTP request to the endpoint; the whole answer.
QByteArray httpGet(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return QByteArray();
    socket.write(request);
    QByteArray answer;
    while (socket.waitForReadyRead(5000))
        answer += socket.readAll();
    return answer + socket.readAll();
}

double metricValue(const QByteArray &page, const QString &series)
{
    const auto m = QRegularExpression(QStringLiteral("^%1 (\\S+)$").arg(QRegularExpression::escape(series)),
                                      QRegularExpression::MultilineOption)
                       .match(QString::fromUtf8(page));
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

} // namespace

class tst_ServerService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void checkConfig_data();
    void checkConfig();
    void journalAndNotifications();
    void metricsCountWhatClientsDid();
    void endpointAnswers_data();
    void endpointAnswers();
    void endpointAddresses_data();
    void endpointAddresses();
    void methodsBeyondTheCapCountedTogether();

private:
    // Starts Lpr07700; the lines it printed before its certificate's (where it listens).
    QStringList startServer(QProcess &server, const QStringList &options);
    TNetConnection *connection(quint16 port);

    std::unique_ptr<TestEnv> m_env;
    QString m_sessionFile;
};

void tst_ServerService::initTestCase()
{
    m_env = std::make_unique<TestEnv>();
    m_sessionFile = m_env->dir() + QStringLiteral("/sessao.ini");
    Session::current().save(m_sessionFile);
}

void tst_ServerService::cleanupTestCase()
{
    m_env.reset();
}

QStringList tst_ServerService::startServer(QProcess &server, const QStringList &options)
{
    server.start(QStringLiteral(LPR07700_EXE),
                 QStringList{QStringLiteral("--config"), m_sessionFile, QStringLiteral("--port"), QStringLiteral("0")}
                     + options);
    QStringList lines;
    while (server.waitForStarted(10000) && (server.canReadLine() || server.waitForReadyRead(15000))) {
        lines << QString::fromUtf8(server.readLine()).trimmed();
        if (lines.last().contains(QLatin1String("Certificado do servidor")))
            break;
    }
    return lines;
}

TNetConnection *tst_ServerService::connection(quint16 port)
{
    auto *net = new TNetConnection(this);
    PriceListServer::configure(*net);
    net->setThrowException(false);
    net->setHost(QStringLiteral("127.0.0.1"));
    net->setPort(port);
    return net;
}

// The unit's ExecStartPre: 0 for a file the server can start with, 1 with the reason for one
// it cannot; nothing is opened or listened on either way.
void tst_ServerService::checkConfig_data()
{
    QTest::addColumn<QString>("key");   // set in the session file; empty: none
    QTest::addColumn<QString>("value"); // PORTA: the session's port
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");

    QTest::newRow("as saved") << QString() << QString() << 0 << "pode ser usado (escuta em 127.0.0.1:";
    QTest::newRow("metrics and listening address")
        << "ServidorAplicacao/Metricas" << "0.0.0.0:21183" << 0 << "métricas em 0.0.0.0:21183";
    QTest::newRow("metrics on the workstations' port")
        << "ServidorAplicacao/Metricas" << "PORTA" << 1 << "porta diferente da porta das estações";
    QTest::newRow("metrics port out of range") << "ServidorAplicacao/Metricas" << "127.0.0.1:65536" << 1
                                               << "endereço das métricas inválido: \"127.0.0.1:65536\"";
    QTest::newRow("listening address a name") << "ServidorAplicacao/Escuta" << "servidor.local" << 1
                                              << "endereço de escuta inválido: \"servidor.local\"";
    QTest::newRow("driver unknown") << "BancoDados/Driver" << "QMYSQL" << 1 << "O Driver \"QMYSQL\"";
    QTest::newRow("SQLite file missing") << "BancoDados/Banco" << "/nao/existe.db" << 1 << "/nao/existe.db";
    QTest::newRow("token short") << "ServidorAplicacao/Token" << "curto" << 1 << "menos de 16 caracteres";
}

void tst_ServerService::checkConfig()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    const QString file = m_env->dir() + QStringLiteral("/conferir.ini");
    QFile::remove(file);
    QVERIFY(QFile::copy(m_sessionFile, file));
    if (!key.isEmpty()) {
        QSettings ini(file, QSettings::IniFormat);
        ini.setValue(key, QString(value).replace(QLatin1String("PORTA"),
                                                 ini.value(QStringLiteral("ServidorAplicacao/Porta")).toString()));
    }
    QProcess process;
    process.start(QStringLiteral(LPR07700_EXE), {QStringLiteral("--check-config"), file});
    QVERIFY(process.waitForFinished(15000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    QCOMPARE(process.exitCode(), exitCode);
    QVERIFY2(out.contains(said, Qt::CaseInsensitive), qPrintable(out));
}

// Under systemd: each log line with its priority and without a time of its own, readiness
// once it listens, and the stop.
void tst_ServerService::journalAndNotifications()
{
    const QString log = m_env->dir() + QStringLiteral("/journal.log");
    QFile journal(log);
    QVERIFY(journal.open(QIODevice::WriteOnly | QIODevice::Truncate));
    journal.close();
    struct stat st{};
    QCOMPARE(::stat(QFile::encodeName(log).constData(), &st), 0);
    NotifySocket notify(m_env->dir() + QStringLiteral("/notify"));
    QProcess server;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("JOURNAL_STREAM"), QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino));
    env.insert(QStringLiteral("NOTIFY_SOCKET"), m_env->dir() + QStringLiteral("/notify"));
    server.setProcessEnvironment(env);
    server.setStandardErrorFile(log);
    const QStringList lines = startServer(server, {});
    QVERIFY2(lines.size() >= 2 && lines.first().startsWith(QLatin1String("<6>Lpr07700 ouvindo em")),
             qPrintable(lines.join(QLatin1Char('\n'))));
    QVERIFY(QTest::qWaitFor([&] { return notify.received().contains(QLatin1String("READY=1")); }, 5000));
    const quint16 port = quint16(lines.first().section(QLatin1Char(':'), -1).toUInt());

    TNetConnection *net = connection(port);
    net->setConnected(true);
    QVERIFY2(net->Connected(), qPrintable(net->LastError()));
    QVERIFY_THROWS_EXCEPTION(ESuiteError, net->call(QStringLiteral("MetodoQueNaoExiste")));
    server.terminate();
    QVERIFY(server.waitForFinished(5000));
    QCOMPARE(server.exitCode(), 0);
    QVERIFY(notify.received().contains(QLatin1String("STOPPING=1")));
    QVERIFY(journal.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(journal.readAll());
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("^<3>chamada MetodoQueNaoExiste de 127\\.0\\.0\\.1:\\d+ "
                                                             "falhou: Método desconhecido"),
                                              QRegularExpression::MultilineOption)),
             qPrintable(text));
    QVERIFY2(text.contains(QLatin1String("<6>SIGTERM recebido, encerrando.")), qPrintable(text));
    // Every line carries a priority; none a time stamp.
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        QVERIFY2(QRegularExpression(QStringLiteral("^<[3-6]>\\D")).match(line).hasMatch(), qPrintable(line));
}

// What the endpoint counts is what the workstations did: calls and failures by method, the
// histogram's count, the links while they are open, the one build of the list.
void tst_ServerService::metricsCountWhatClientsDid()
{
    QProcess server;
    server.setStandardErrorFile(QProcess::nullDevice());
    const QStringList lines = startServer(server, {QStringLiteral("--metrics"), QStringLiteral("127.0.0.1:0")});
    QVERIFY2(lines.size() == 3, qPrintable(lines.join(QLatin1Char('\n'))));
    const quint16 port = quint16(lines[0].section(QLatin1Char(':'), -1).toUInt());
    const auto m = QRegularExpression(QStringLiteral("^Métricas em http://127\\.0\\.0\\.1:(\\d+)/metrics$")).match(lines[1]);
    QVERIFY2(m.hasMatch(), qPrintable(lines[1]));
    const quint16 metrics = quint16(m.captured(1).toUInt());

    const int clients = 3;
    std::vector<TNetConnection *> nets;
    for (int i = 0; i < clients; ++i) {
        nets.push_back(connection(port));
        for (int call = 0; call < 2; ++call)
            QVERIFY(!nets.back()->call(QStringLiteral("GetFornecedor")).toByteArray().isEmpty());
        QVERIFY_THROWS_EXCEPTION(ESuiteError, nets.back()->call(QStringLiteral("Inexistente")));
    }
    const QByteArray page = httpGet(metrics, "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    QVERIFY2(page.startsWith("HTTP/1.1 200 OK\r\n") && page.contains("text/plain; version=0.0.4"), page.constData());
    const auto value = [&](const char *series) { return metricValue(page, QString::fromUtf8(series)); };
    QCOMPARE(value("lpr07700_calls_total{method=\"GetFornecedor\"}"), 2.0 * clients);
    QCOMPARE(value("lpr07700_call_failures_total{method=\"GetFornecedor\"}"), 0.0);
    QCOMPARE(value("lpr07700_calls_total{method=\"Inexistente\"}"), double(clients));
    QCOMPARE(value("lpr07700_call_failures_total{method=\"Inexistente\"}"), double(clients));
    QCOMPARE(value("lpr07700_call_duration_seconds_count{method=\"GetFornecedor\"}"), 2.0 * clients);
    QCOMPARE(value("lpr07700_call_duration_seconds_bucket{method=\"GetFornecedor\",le=\"+Inf\"}"), 2.0 * clients);
    QCOMPARE(value("lpr07700_links{state=\"identified\"}"), double(clients));
    QCOMPARE(value("lpr07700_list_builds_total{module=\"Lpr07700.rdmConsListaPreco\"}"), 1.0);
    QVERIFY(page.contains("lpr07700_list_info{module=\"Lpr07700.rdmConsListaPreco\",mark=\""));
    QVERIFY(value("process_resident_memory_bytes") > 1e6);
    for (TNetConnection *net : nets)
        net->setConnected(false);
    QVERIFY(QTest::qWaitFor(
        [&] {
            return metricValue(httpGet(metrics, "GET /metrics HTTP/1.0\r\n\r\n"),
                               QStringLiteral("lpr07700_links{state=\"identified\"}"))
                   == 0;
        },
        5000));
    QVERIFY(httpGet(metrics, "GET /health HTTP/1.0\r\n\r\n").endsWith("\r\n\r\nok\n"));
    server.terminate();
    QVERIFY(server.waitForFinished(5000));
}

void tst_ServerService::endpointAnswers_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("stopping");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<bool>("body"); // the page follows the headers

    QTest::newRow("metrics") << QByteArray("GET /metrics HTTP/1.1\r\nHost: a") << false << QByteArray("200") << true;
    QTest::newRow("metrics with a query") << QByteArray("GET /metrics?x=1 HTTP/1.0") << false << QByteArray("200")
                                          << true;
    QTest::newRow("head of metrics") << QByteArray("HEAD /metrics HTTP/1.1") << false << QByteArray("200") << false;
    QTest::newRow("health") << QByteArray("GET /health HTTP/1.0") << false << QByteArray("200") << true;
    QTest::newRow("health while stopping") << QByteArray("GET /health HTTP/1.0") << true << QByteArray("503")
                                           << true;
    QTest::newRow("another path") << QByteArray("GET / HTTP/1.1") << false << QByteArray("404") << true;
    QTest::newRow("another method") << QByteArray("POST /metrics HTTP/1.1") << false << QByteArray("405") << true;
    QTest::newRow("not HTTP") << QByteArray("\x16\x03\x01\x02\x00") << false << QByteArray("400") << true;
}

void tst_ServerService::endpointAnswers()
{
    QFETCH(QByteArray, head);
    QFETCH(bool, stopping);
    QFETCH(QByteArray, status);
    QFETCH(bool, body);
    MetricsEndpoint endpoint([] { return QStringLiteral("página\n"); }, this);
    if (stopping)
        endpoint.setStopping();
    const QByteArray answer = endpoint.answer(head);
    QVERIFY2(answer.startsWith("HTTP/1.1 " + status + ' '), answer.constData());
    const qsizetype end = answer.indexOf("\r\n\r\n");
    const qsizetype length = answer.mid(answer.indexOf("Content-Length: ") + 16).split('\r').first().toLongLong();
    QVERIFY(length > 0);
    QCOMPARE(answer.size() - end - 4, body ? length : 0);
}

void tst_ServerService::endpointAddresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address"); // empty: refused
    QTest::addColumn<int>("port");

    QTest::newRow("port alone, loopback") << "21183" << "127.0.0.1" << 21183;
    QTest::newRow("all addresses") << " 0.0.0.0:9100 " << "0.0.0.0" << 9100;
    QTest::newRow("IPv6 in brackets") << "[::1]:9100" << "::1" << 9100;
    QTest::newRow("localhost") << "localhost:0" << "127.0.0.1" << 0;
    QTest::newRow("IPv6 without brackets") << "::1:9100" << QString() << 0;
    QTest::newRow("a host name") << "servidor:9100" << QString() << 0;
    QTest::newRow("port too high") << "65536" << QString() << 0;
    QTest::newRow("no port") << "127.0.0.1:" << QString() << 0;
}

void tst_ServerService::endpointAddresses()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    QFETCH(int, port);
    QHostAddress parsed;
    quint16 parsedPort = 0;
    QCOMPARE(ServerSetup::parseEndpoint(text, parsed, parsedPort), !address.isEmpty());
    if (address.isEmpty())
        return;
    QCOMPARE(parsed, QHostAddress(address));
    QCOMPARE(int(parsedPort), port);
}

// Methods are the client's words: past the cap, their calls go into one series, and a name
// cannot break the page's format.
void tst_ServerService::methodsBeyondTheCapCountedTogether()
{
    ServerMetrics metrics;
    for (int i = 0; i < ServerMetrics::MaxMethods + 4; ++i)
        metrics.recordCall(QStringLiteral("M%1\"\n").arg(i), 0.003, i % 2);
    metrics.recordCall(QStringLiteral("m0\"\n"), 20, false);
    const QString page = metrics.callsText();
    QCOMPARE(page.count(QLatin1String("lpr07700_calls_total{")), ServerMetrics::MaxMethods);
    QVERIFY2(page.contains(QLatin1String("lpr07700_calls_total{method=\"M0\\\"\\n\"} 2\n")), qPrintable(page));
    QVERIFY(page.contains(QLatin1String("lpr07700_calls_total{method=\"(outros)\"} 5\n")));
    QVERIFY(page.contains(QLatin1String("lpr07700_call_failures_total{method=\"(outros)\"} 3\n")));
    // 3 ms falls in the 5 ms bucket, 20 s only in +Inf.
    QVERIFY(page.contains(QLatin1String("lpr07700_call_duration_seconds_bucket{method=\"M0\\\"\\n\",le=\"0.0025\"} 0\n")));
    QVERIFY(page.contains(QLatin1String("lpr07700_call_duration_seconds_bucket{method=\"M0\\\"\\n\",le=\"0.005\"} 1\n")));
    QVERIFY(page.contains(QLatin1String("lpr07700_call_duration_seconds_bucket{method=\"M0\\\"\\n\",le=\"10\"} 1\n")));
    QVERIFY(page.contains(QLatin1String("lpr07700_call_duration_seconds_bucket{method=\"M0\\\"\\n\",le=\"+Inf\"} 2\n")));
}

QTEST_GUILESS_MAIN(tst_ServerService)
#include "tst_serverservice.moc"
