// Two Lpr07700 on the same database behind HAProxy, as the README deploys them: when one of
// them dies (SIGKILL, no goodbye on any link), workstations that know only haproxy's
// address keep getting the whole list, whether their links sat idle or were mid-call.

#include "data/Database.h"
#include "PriceListServer.h"
#include "errors/EAbort.h"
#include "HaproxyFront.h"
#include "app/Session.h"
#include "TestEnv.h"
#include "net/DataPacket.h"
#include "net/TNetConnection.h"

#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <atomic>
#include <csignal>
#include <memory>

class tst_Failover : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void keepsServingWhenOneServerDies_data();
    void keepsServingWhenOneServerDies();

private:
    // Starts Lpr07700 with its health endpoint; its port (0: it did not start) and the endpoint's.
    quint16 startServer(QProcess &process, quint16 &healthPort);

    std::unique_ptr<TestEnv> m_env;
    QString m_sessionFile;
    int m_rows = 0;
};

void tst_Failover::initTestCase()
{
    if (HaproxyFront::executable().isEmpty())
        QSKIP("haproxy não está instalado (bash scripts/setup.sh o instala)");
    // A list of about a thousand suppliers: long enough on the wire that some calls are
    // mid-reply when the server dies.
    DemoOptions options;
    options.suppliers = 1250;
    options.products = 2000;
    options.quotes = 8000;
    m_env = std::make_unique<TestEnv>(options);
    m_sessionFile = m_env->dir() + QStringLiteral("/sessao.ini");
    Session::current().save(m_sessionFile);
    QSqlQuery q(dtmDBGeral::dtbGeral());
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(DISTINCT CDFORNECED) FROM COTACAO")) && q.next());
    m_rows = q.value(0).toInt();
    QVERIFY(m_rows > 0);
}

quint16 tst_Failover::startServer(QProcess &process, quint16 &healthPort)
{
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral(LPR07700_EXE), {QStringLiteral("--config"), m_sessionFile, QStringLiteral("--port"),
                                                 QStringLiteral("0"), QStringLiteral("--metrics"),
                                                 QStringLiteral("127.0.0.1:0")});
    if (!process.waitForStarted(10000))
        return 0;
    // Where it listens, then where its health endpoint is.
    quint16 ports[2] = {0, 0};
    for (quint16 &port : ports) {
        if (!QTest::qWaitFor([&] { return process.canReadLine() || process.state() != QProcess::Running; }, 15000))
            return 0;
        const auto match = QRegularExpression(QStringLiteral(":(\\d+)(/metrics)?$"))
                               .match(QString::fromUtf8(process.readLine()).trimmed());
        port = match.hasMatch() ? quint16(match.captured(1).toUInt()) : 0;
    }
    healthPort = ports[1];
    return healthPort ? ports[0] : 0;
}

void tst_Failover::keepsServingWhenOneServerDies_data()
{
    QTest::addColumn<bool>("inFlight");
    QTest::newRow("links idle at the kill") << false;
    QTest::newRow("calls in flight at the kill") << true;
}

void tst_Failover::keepsServingWhenOneServerDies()
{
    QFETCH(bool, inFlight);
    QProcess first, second;
    quint16 firstHealth = 0, secondHealth = 0;
    const quint16 firstPort = startServer(first, firstHealth);
    const quint16 secondPort = startServer(second, secondHealth);
    QVERIFY(firstPort && secondPort);
    HaproxyFront front({firstPort, secondPort}, {firstHealth, secondHealth});
    QVERIFY2(front.port(), qPrintable(front.error()));

    // Several clients, each with a link held through haproxy: its balance puts some on
    // each server, so the killed one had links.
    const int clients = 16;
    const int calls = inFlight ? 40 : 4;
    std::atomic<int> good{0}, done{0}, firstRound{0};
    std::atomic<bool> killed{false};
    QMutex mutex;
    QStringList errors;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < clients; ++t) {
        threads.emplace_back(QThread::create([&] {
            TNetConnection net;
            PriceListServer::configure(net);
            net.setHost(QStringLiteral("127.0.0.1"));
            net.setPort(front.port());
            net.setConnectTimeout(20000);
            for (int call = 0; call < calls; ++call) {
                if (call == 1 && !inFlight) {
                    ++firstRound;
                    while (!killed)
                        QThread::msleep(5);
                }
                try {
                    const DataPacket packet = DataPacket::decode(net.call(QStringLiteral("GetFornecedor")).toByteArray());
                    if (int(packet.rows.size()) == m_rows)
                        ++good;
                } catch (const ESuiteError &e) {
                    QMutexLocker lock(&mutex);
                    errors << e.message();
                }
                ++done;
            }
        }));
        threads.back()->start();
    }
    const bool reached = inFlight ? QTest::qWaitFor([&] { return done >= clients * calls / 3; }, 60000)
                                  : QTest::qWaitFor([&] { return firstRound == clients; }, 60000);
    ::kill(pid_t(first.processId()), SIGKILL);
    killed = true;
    for (auto &t : threads)
        t->wait();
    QVERIFY(reached);
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
    QCOMPARE(good.load(), clients * calls);

    // A workstation that connects afterwards is served by the one left.
    TNetConnection late;
    PriceListServer::configure(late);
    late.setHost(QStringLiteral("127.0.0.1"));
    late.setPort(front.port());
    QCOMPARE(int(DataPacket::decode(late.call(QStringLiteral("GetFornecedor")).toByteArray()).rows.size()), m_rows);

    first.waitForFinished(5000);
    ::kill(pid_t(second.processId()), SIGTERM);
    second.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(tst_Failover)
#include "tst_failover.moc"
