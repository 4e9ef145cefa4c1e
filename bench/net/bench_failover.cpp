// bench_failover: two Lpr07700 on the same database, one killed (SIGKILL, by its process id)
// halfway through a run of many workstations, each calling GetFornecedor in a loop:
//
//   bench_failover [--quick] [--big] [--clients N] [--calls N]
//
// The list is of about a thousand suppliers; --big: of 50 thousand (4.2 MB a call), where a
// kill finds many replies halfway.
//
// Side by side: one server and no kill (the floor), HAProxy in front of two (the workstation
// knows one address; TCP mode, TLS passed through, a connect check every 0.5 s), and the
// workstation's own list of two hosts. For each: failed calls (after the client's own retry),
// calls per second, p50 and p99 of a call, p99 of the calls that ended before the kill, of
// those running at it (and the worst) and of those begun after it; the calls running at the
// kill against those running at the same moment of the floor's run.
//
// The clients and haproxy run on the same cores as the servers: quote ratios.

#include "BenchUtil.h"
#include "PriceListServer.h"
#include "ServerProcess.h"
#include "DemoDb.h"
#include "errors/EAbort.h"
#include "HaproxyFront.h"
#include "app/Session.h"
#include "TestCertificate.h"
#include "net/TNetConnection.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <cmath>
#include <csignal>
#include <memory>

namespace {

using namespace bench;

struct Call
{
    double startMs;
    double ms;
    bool ok;
};

struct Run
{
    QString name;
    std::vector<Call> calls;
    QString firstError;
    double wallMs = 0;
    double killAtMs = -1;

    int failed() const
    {
        return int(std::count_if(calls.begin(), calls.end(), [](const Call &c) { return !c.ok; }));
    }
    enum Span { All, Before, Across, After };
    // Times of the good calls: all, or those that ended before the kill, were running at
    // it, or began after it.
    std::vector<double> times(Span span = All) const
    {
        std::vector<double> v;
        for (const Call &c : calls) {
            const double end = c.startMs + c.ms;
            const bool in = span == All || (span == Before && end < killAtMs)
                            || (span == Across && c.startMs <= killAtMs && end >= killAtMs)
                            || (span == After && c.startMs > killAtMs);
            if (c.ok && in)
                v.push_back(c.ms);
        }
        return v;
    }
};

enum class Mode { Single, Haproxy, HostList };

Run runOnce(Mode mode, const QString &exe, const QString &sessionFile, int clients, int calls)
{
    Run run;
    ServerProcess first(exe, sessionFile);
    std::unique_ptr<ServerProcess> second;
    std::unique_ptr<HaproxyFront> front;
    QString host = QStringLiteral("127.0.0.1");
    int port = first.port;
    if (mode != Mode::Single) {
        second = std::make_unique<ServerProcess>(exe, sessionFile);
        if (mode == Mode::Haproxy) {
            front = std::make_unique<HaproxyFront>(QList<quint16>{first.port, second->port});
            if (front->port() == 0)
                throw ESuiteError(front->error());
            port = front->port();
        } else {
            host = QStringLiteral("127.0.0.1:%1,127.0.0.1:%2").arg(first.port).arg(second->port);
        }
    }

    QMutex mutex;
    std::atomic<int> ready{0}, done{0};
    std::atomic<bool> go{false};
    QElapsedTimer wall;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back(QThread::create([&] {
            TNetConnection net;
            PriceListServer::configure(net);
            net.setHost(host);
            net.setPort(port);
            net.setConnectTimeout(30000);
            net.setCallTimeout(60000);
            net.setThrowException(false);
            net.setKeepReply(QStringLiteral("GetFornecedor"), false);
            std::vector<Call> mine;
            QString error;
            ++ready;
            while (!go)
                QThread::msleep(1);
            for (int i = 0; i < calls; ++i) {
                const double start = msSince(wall);
                QElapsedTimer clock;
                clock.start();
                bool ok = true;
                try {
                    if (net.call(QStringLiteral("GetFornecedor")).toByteArray().isEmpty())
                        throw ESuiteError(QStringLiteral("resposta vazia"));
                } catch (const ESuiteError &e) {
                    ok = false;
                    if (error.isEmpty())
                        error = e.message();
                }
                mine.push_back({start, msSince(clock), ok});
                ++done;
            }
            QMutexLocker lock(&mutex);
            run.calls.insert(run.calls.end(), mine.begin(), mine.end());
            if (run.firstError.isEmpty())
                run.firstError = error;
        }));
        threads.back()->start();
    }
    while (ready < clients)
        QThread::msleep(5);
    wall.start();
    go = true;
    // The first server takes the host list's every client; under haproxy, about half of
    // them. The floor marks the same moment without a kill.
    while (done < clients * calls / 2)
        QThread::msleep(1);
    run.killAtMs = msSince(wall);
    if (mode != Mode::Single)
        first.killHard();
    for (auto &t : threads)
        t->wait();
    run.wallMs = msSince(wall);
    return run;
}

QString cell(double v, int precision = 0)
{
    return QString::number(v, 'f', precision);
}

QString ratio(double ours, double floor)
{
    return floor > 0 ? QStringLiteral("%1×").arg(ours / floor, 0, 'f', 2) : QStringLiteral("-");
}

QString prepare(const QString &dir, const DemoOptions &options)
{
    const QString file = QStringLiteral("%1/failover_%2.db").arg(dir).arg(options.suppliers);
    if (!QFileInfo::exists(file)) {
        say(QStringLiteral("Gerando a base de %1 fornecedores...").arg(options.suppliers));
        DemoDb::createSqlite(file, options);
    }
    static const TestCertificate tls = TestCertificate::make(dir, QStringLiteral("bench"));
    // Both servers read the same session file: the same database and the same certificate
    // and key, so the pin holds whichever one answers.
    Session session;
    session.db.database = file;
    session.serverToken = QStringLiteral("token-do-benchmark-0123456789");
    session.serverCertificate = tls.certificateFile;
    session.serverKey = tls.keyFile;
    session.serverFingerprint = tls.fingerprint;
    Session::current().serverToken = session.serverToken;
    Session::current().serverFingerprint = session.serverFingerprint;
    const QString sessionFile = QStringLiteral("%1/failover.ini").arg(dir);
    session.save(sessionFile);
    return sessionFile;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("quick"), QStringLiteral("40 clientes × 10 chamadas")});
    parser.addOption({QStringLiteral("big"), QStringLiteral("a lista de 50 mil fornecedores")});
    parser.addOption({QStringLiteral("clients"), QStringLiteral("clientes"), QStringLiteral("N")});
    parser.addOption({QStringLiteral("calls"), QStringLiteral("chamadas por cliente"), QStringLiteral("N")});
    parser.process(app);
    const bool quick = parser.isSet(QStringLiteral("quick"));
    const int clients =
        parser.isSet(QStringLiteral("clients")) ? parser.value(QStringLiteral("clients")).toInt() : (quick ? 40 : 200);
    const int calls =
        parser.isSet(QStringLiteral("calls")) ? parser.value(QStringLiteral("calls")).toInt() : (quick ? 10 : 20);
    if (HaproxyFront::executable().isEmpty()) {
        say(QStringLiteral("bench_failover: haproxy não está instalado (bash scripts/setup.sh)"));
        return 1;
    }
    QTemporaryDir tmp;
    try {
        const bool big = parser.isSet(QStringLiteral("big"));
        DemoOptions options;
        options.suppliers = big ? 62500 : 1250;
        options.products = big ? 200000 : 10000;
        options.quotes = big ? 500000 : 100000;
        const QString sessionFile = prepare(tmp.path(), options);
        const QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/Lpr07700");
        say(QStringLiteral("bench_failover: %1 núcleos, %2 clientes × %3 chamadas de GetFornecedor (lista de ~%4 "
                           "fornecedores); um dos dois servidores morto (SIGKILL) na metade das chamadas")
                .arg(QThread::idealThreadCount())
                .arg(clients)
                .arg(calls)
                .arg(big ? QStringLiteral("50k") : QStringLiteral("1k")));
        std::vector<Run> runs;
        const std::pair<Mode, QString> modes[] = {{Mode::Single, QStringLiteral("um servidor, sem queda (piso)")},
                                                  {Mode::Haproxy, QStringLiteral("HAProxy, 2 servidores")},
                                                  {Mode::HostList, QStringLiteral("lista de hosts, 2 servidores")}};
        for (const auto &[mode, name] : modes) {
            Run run = runOnce(mode, exe, sessionFile, clients, calls);
            run.name = name;
            runs.push_back(std::move(run));
        }
        const double floorAcross = percentile(runs.front().times(Run::Across), 0.99);
        say(QStringLiteral("\n| montagem | chamadas | falhas | chamadas/s | p50 ms | p99 ms | p99 antes da queda | "
                           "em curso na queda: n, p99, pior | p99 depois | p99 em curso ÷ piso |"));
        say(QStringLiteral("|---|---|---|---|---|---|---|---|---|---|"));
        for (const Run &r : runs) {
            const auto all = r.times();
            const auto across = r.times(Run::Across);
            const double p99Across = percentile(across, 0.99);
            say(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8, %9, %10 | %11 | %12 |")
                    .arg(r.name)
                    .arg(r.calls.size())
                    .arg(r.failed())
                    .arg(cell(double(r.calls.size() - size_t(r.failed())) * 1000.0 / r.wallMs))
                    .arg(cell(percentile(all, 0.5), 1), cell(percentile(all, 0.99), 1))
                    .arg(cell(percentile(r.times(Run::Before), 0.99), 1))
                    .arg(across.size())
                    .arg(cell(p99Across, 1), cell(worst(across), 1))
                    .arg(cell(percentile(r.times(Run::After), 0.99), 1))
                    .arg(ratio(p99Across, floorAcross)));
        }
        for (const Run &r : runs)
            if (r.failed() > 0)
                say(QStringLiteral("%1: primeira falha: %2").arg(r.name, r.firstError));
    } catch (const ESuiteError &e) {
        say(QStringLiteral("bench_failover: %1").arg(e.message()));
        return 1;
    }
    return 0;
}
