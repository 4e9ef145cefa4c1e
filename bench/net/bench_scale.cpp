// bench_scale: Lpr07700 with many workstations at once, side by side with another build of
// the server (--baseline, e.g. the one of the main branch) and with its floor.
//
//   bench_scale [--quick] [--keep DIR] [--baseline PATH/Lpr07700] [--only 2,5]
//
// 1. The floor: what one cached call must cost the server at least, measured here on this
//    machine: the 50k-supplier reply encrypted (AES-256-GCM, TLS-sized records) and copied
//    once; and the same records written to a loopback TCP link, which adds what the kernel
//    costs the sender.
// 2. Load: 1, 50, 200 and 500 clients, each on a thread and a link of its own, 5 calls of
//    the 50k list each (cached); 50 clients with the cache off; 200 clients of a 1k list;
//    1, 200 and 500 clients taking the 50k list compressed. This build's server is read
//    through its metrics endpoint while each case runs: its counts (calls, failures, the
//    histogram, the links identified at once, the builds) must be the clients'.
//    Calls per second, p50 and p99 of a call, p99 of the connection (TLS and hello), the
//    server's CPU per call and against both floors, the clients' CPU per call (this
//    process), the server's cores in use, its resident memory before, at the peak and
//    (after the 500-client burst) 10 s later; and the least latency the clients' own CPU
//    allows on these cores.
// 3. A cold build (cache off, 50k list, one client asking without pause) against a small
//    call of another client: how long the small call takes meanwhile.
// 4. The unchanged list: a workstation that holds the current list against one that does
//    not, and one that takes it compressed (bytes the server sends, time of the call, CPU of
//    each end); and the list compressed with deflate at two levels (bytes, time to compress
//    once on the server, time to inflate on each workstation).
// 5. Siege: 500 workstations behind one address connecting at once, alone and while 300
//    idle sockets and 300 stalled TLS greetings (40 bytes, then nothing) are held, half
//    from that address and half from others (127.0.0.2-6), reopened as the server drops
//    them: how many are served and how long they take to connect; the CPU each workstation
//    costs both ends (the floods' threads count with the clients), and the floor that sets
//    for the last one to connect on these cores.
//
// The clients run in this process on the same cores as the server: their TLS costs about
// what the server's does, so client-side time is in every latency. Quote ratios.

#include "BenchUtil.h"
#include "PriceListServer.h"
#include "ServerProcess.h"
#include "DemoDb.h"
#include "errors/EAbort.h"
#include "app/Session.h"
#include "TestCertificate.h"
#include "net/TNetConnection.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <libdeflate.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/evp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

using namespace bench;

// Samples the server's resident size while a run goes on.
class RssSampler : public QThread
{
public:
    explicit RssSampler(const ServerProcess &server) : m_server(server) { start(); }
    ~RssSampler() override
    {
        m_stop = true;
        wait();
    }
    double peak() const { return m_peak; }

protected:
    void run() override
    {
        while (!m_stop) {
            m_peak = std::max<double>(m_peak, m_server.rssMb());
            QThread::msleep(50);
        }
    }

private:
    const ServerProcess &m_server;
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_peak{0};
};

// Reads the server's metrics endpoint while a run goes on: the most links it counted
// identified at once.
class MetricsSampler : public QThread
{
public:
    explicit MetricsSampler(const ServerProcess &server) : m_server(server)
    {
        if (server.metricsPort)
            start();
    }
    ~MetricsSampler() override
    {
        m_stop = true;
        wait();
    }
    int peakIdentified() const { return m_peak; }
    int pages() const { return m_pages; }

protected:
    void run() override
    {
        while (!m_stop) {
            const QByteArray page = m_server.metricsPage();
            if (!page.isEmpty()) {
                ++m_pages;
                m_peak = std::max(
                    m_peak.load(),
                    int(ServerProcess::metric(page, QStringLiteral("lpr07700_links{state=\"identified\"}"))));
            }
            QThread::msleep(100);
        }
    }

private:
    const ServerProcess &m_server;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_peak{0};
    std::atomic<int> m_pages{0};
};

TNetConnection *link(std::unique_ptr<TNetConnection> &holder, quint16 port)
{
    holder = std::make_unique<TNetConnection>();
    PriceListServer::configure(*holder);
    holder->setHost(QStringLiteral("127.0.0.1"));
    holder->setPort(port);
    holder->setConnectTimeout(30000);
    holder->setCallTimeout(120000);
    // Every call gets the whole list unless a part says otherwise.
    holder->setKeepReply(QStringLiteral("GetFornecedor"), false);
    return holder.get();
}

struct Load
{
    std::vector<double> callMs;
    std::vector<double> connectMs;
    int failed = 0;
    QString firstError;
    double wallMs = 0;
    double serverCpuMs = 0;
    double clientCpuMs = 0; // this process: the clients' TLS, reads and decoding
    double rssBefore = 0, rssPeak = 0, rssAfter = -1;
    int peakIdentified = -1; // the server's metrics while the run went on (-1: not read)
    int metricsPages = 0;

    int calls() const { return int(callMs.size()); }
};

double processCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// `clients` threads, each connecting once and calling `calls` times; all start together.
Load runLoad(ServerProcess &server, int clients, int calls, bool compressed = false,
             const QString &method = QStringLiteral("GetFornecedor"))
{
    Load load;
    QMutex mutex;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back(QThread::create([&] {
            std::unique_ptr<TNetConnection> holder;
            TNetConnection *net = link(holder, server.port);
            net->setThrowException(false);
            net->setCompression(compressed);
            std::vector<double> mine, connect;
            int failed = 0;
            QString error;
            ++ready;
            while (!go)
                QThread::msleep(1);
            QElapsedTimer clock;
            clock.start();
            net->setConnected(true);
            if (net->Connected())
                connect.push_back(msSince(clock));
            for (int i = 0; i < calls; ++i) {
                clock.restart();
                try {
                    if (net->call(method).toByteArray().isEmpty())
                        throw ESuiteError(QStringLiteral("resposta vazia"));
                    mine.push_back(msSince(clock));
                } catch (const ESuiteError &e) {
                    if (failed++ == 0)
                        error = e.message();
                }
            }
            QMutexLocker lock(&mutex);
            load.callMs.insert(load.callMs.end(), mine.begin(), mine.end());
            load.connectMs.insert(load.connectMs.end(), connect.begin(), connect.end());
            load.failed += failed;
            if (load.firstError.isEmpty())
                load.firstError = error;
        }));
        threads.back()->start();
    }
    while (ready < clients)
        QThread::msleep(5);
    load.rssBefore = server.rssMb();
    const double cpuBefore = server.cpuMs();
    const double clientBefore = processCpuMs();
    QElapsedTimer wall;
    {
        RssSampler sampler(server);
        MetricsSampler metrics(server);
        wall.start();
        go = true;
        for (auto &t : threads)
            t->wait();
        load.wallMs = msSince(wall);
        load.rssPeak = sampler.peak();
        load.peakIdentified = server.metricsPort ? metrics.peakIdentified() : -1;
        load.metricsPages = metrics.pages();
    }
    load.serverCpuMs = server.cpuMs() - cpuBefore;
    load.clientCpuMs = processCpuMs() - clientBefore;
    return load;
}

double threadCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// Encrypting the reply in TLS records and copying it once: the least a cached call costs.
double floorMs(const QByteArray &reply)
{
    std::vector<unsigned char> out(size_t(reply.size()) + 64 * 1024);
    QByteArray copy(reply.size(), Qt::Uninitialized);
    unsigned char key[32] = {1}, iv[12] = {2}, tag[16];
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    std::vector<double> times;
    for (int run = 0; run < 30; ++run) {
        // This thread's CPU, not the wall clock: on a shared machine a preempted run would
        // raise the floor.
        const double start = threadCpuMs();
        std::memcpy(copy.data(), reply.constData(), size_t(reply.size()));
        size_t at = 0;
        for (qsizetype offset = 0; offset < reply.size(); offset += 16384) {
            const int n = int(std::min<qsizetype>(16384, reply.size() - offset));
            int len = 0;
            ++iv[11];
            EVP_EncryptInit_ex(ctx, EVP_aes_256_gcm(), nullptr, key, iv);
            EVP_EncryptUpdate(ctx, out.data() + at, &len,
                              reinterpret_cast<const unsigned char *>(copy.constData()) + offset, n);
            at += size_t(len);
            EVP_EncryptFinal_ex(ctx, out.data() + at, &len);
            EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, tag);
        }
        times.push_back(threadCpuMs() - start);
    }
    EVP_CIPHER_CTX_free(ctx);
    return median(times);
}

// What the kernel adds to the floor: the reply encrypted record by record and each record
// written to a loopback TCP link (corked, as the server does) that another thread drains;
// the CPU of the writing thread, which on loopback also carries the delivery to the
// receiving socket. No server can send over TCP for less.
double sendFloorMs(const QByteArray &reply)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    const int sender = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(sender, reinterpret_cast<sockaddr *>(&address), sizeof address);
    const int receiver = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    constexpr int runs = 30;
    const qint64 total = qint64(runs) * (reply.size() + reply.size() / 16384 * 22 + 22);
    std::thread drain([receiver, total] {
        std::vector<char> sink(256 * 1024);
        qint64 got = 0;
        while (got < total) {
            const ssize_t n = ::recv(receiver, sink.data(), sink.size(), 0);
            if (n <= 0)
                break;
            got += n;
        }
    });
    std::vector<unsigned char> record(16384 + 64);
    unsigned char key[32] = {1}, iv[12] = {2};
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    std::vector<double> times;
    const int on = 1, off = 0;
    for (int run = 0; run < runs; ++run) {
        const double start = threadCpuMs();
        ::setsockopt(sender, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
        for (qsizetype offset = 0; offset < reply.size(); offset += 16384) {
            const int n = int(std::min<qsizetype>(16384, reply.size() - offset));
            int len = 0, tail = 0;
            ++iv[11];
            EVP_EncryptInit_ex(ctx, EVP_aes_256_gcm(), nullptr, key, iv);
            EVP_EncryptUpdate(ctx, record.data() + 5, &len,
                              reinterpret_cast<const unsigned char *>(reply.constData()) + offset, n);
            EVP_EncryptFinal_ex(ctx, record.data() + 5 + len, &tail);
            EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, record.data() + 5 + len);
            const size_t size = size_t(5 + len + 17);
            for (size_t sent = 0; sent < size;) {
                const ssize_t w = ::send(sender, record.data() + sent, size - sent, 0);
                if (w <= 0)
                    break;
                sent += size_t(w);
            }
        }
        ::setsockopt(sender, IPPROTO_TCP, TCP_CORK, &off, sizeof off);
        times.push_back(threadCpuMs() - start);
    }
    ::shutdown(sender, SHUT_WR);
    drain.join();
    ::close(sender);
    ::close(receiver);
    EVP_CIPHER_CTX_free(ctx);
    return median(times);
}

struct Setup
{
    QString sessionFile;
    int quoted = 0;
};

Setup prepare(const QString &dir, const QString &name, const DemoOptions &options)
{
    const QString file = QStringLiteral("%1/scale_%2_%3.db").arg(dir, name).arg(options.quotes);
    if (!QFileInfo::exists(file)) {
        say(QStringLiteral("Gerando a base %1...").arg(name));
        DemoDb::createSqlite(file, options);
    }
    static const TestCertificate tls = TestCertificate::make(dir, QStringLiteral("bench"));
    Session session;
    session.db.database = file;
    session.serverToken = QStringLiteral("token-do-benchmark-0123456789");
    session.serverCertificate = tls.certificateFile;
    session.serverKey = tls.keyFile;
    session.serverFingerprint = tls.fingerprint;
    Session::current().serverToken = session.serverToken;
    Session::current().serverFingerprint = session.serverFingerprint;
    Setup setup;
    setup.sessionFile = QStringLiteral("%1/scale_%2.ini").arg(dir, name);
    session.save(setup.sessionFile);
    return setup;
}

QString cell(double v, int precision = 0)
{
    return QString::number(v, 'f', precision);
}

QString ratio(double ours, double theirs)
{
    return theirs > 0 && ours >= 0 ? QStringLiteral("%1×").arg(ours / theirs, 0, 'f', 2) : QStringLiteral("-");
}

// Sockets that hold a place: idle (nothing sent) or a TLS greeting cut after 40 bytes,
// reopened as the server closes them, on a thread of their own.
class Flood : public QThread
{
public:
    Flood(quint16 port, const QList<QHostAddress> &from, int count, bool greeting)
        : m_port(port), m_from(from), m_count(count), m_greeting(greeting)
    {
        start();
    }
    ~Flood() override
    {
        m_stop = true;
        wait();
    }
    int reopened() const { return m_reopened; }

protected:
    void run() override
    {
        // A record header announcing a 512-byte greeting, then the start of it.
        QByteArray cut("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11);
        cut += QByteArray(29, '\x5a');
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        const auto open = [&](QTcpSocket &s, int i) {
            s.abort();
            s.bind(m_from[i % m_from.size()]);
            s.connectToHost(QHostAddress::LocalHost, m_port);
            if (m_greeting)
                s.write(cut);
        };
        for (int i = 0; i < m_count; ++i) {
            sockets.push_back(std::make_unique<QTcpSocket>());
            open(*sockets.back(), i);
        }
        while (!m_stop) {
            QThread::msleep(100);
            for (int i = 0; i < m_count; ++i) {
                QTcpSocket &s = *sockets[size_t(i)];
                if (s.state() == QAbstractSocket::ConnectedState) {
                    s.waitForBytesWritten(0);
                    s.waitForReadyRead(0);
                } else {
                    s.waitForConnected(0);
                }
                s.readAll();
                if (s.state() == QAbstractSocket::UnconnectedState) {
                    open(s, i);
                    ++m_reopened;
                }
            }
        }
    }

private:
    quint16 m_port;
    QList<QHostAddress> m_from;
    int m_count;
    bool m_greeting;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_reopened{0};
};

struct Side
{
    QString name;
    QString exe;
};

// What the server's metrics endpoint says of a run against what the clients counted: the
// calls and failures, the histogram's count, the links seen identified at once, the builds.
// Empty when they agree.
QString metricsMismatch(const ServerProcess &server, const Load &load, int clients, int builds, QString &summary)
{
    const QByteArray page = server.metricsPage();
    const auto value = [&](const QString &series) { return ServerProcess::metric(page, series); };
    const QString method = QStringLiteral("{method=\"GetFornecedor\"}");
    const double calls = value(QStringLiteral("lpr07700_calls_total") + method);
    const double failures = value(QStringLiteral("lpr07700_call_failures_total") + method);
    const double histogram = value(QStringLiteral("lpr07700_call_duration_seconds_count") + method);
    const double built = value(QStringLiteral("lpr07700_list_builds_total{module=\"Lpr07700.rdmConsListaPreco\"}"));
    const double rss = value(QStringLiteral("process_resident_memory_bytes")) / (1024.0 * 1024.0);
    summary = QStringLiteral("métricas: %1 chamadas, %2 falhas, pico de %3 conexões identificadas (%4 leituras), "
                             "%5 montagens, RSS %6 MiB")
                  .arg(calls)
                  .arg(failures)
                  .arg(load.peakIdentified)
                  .arg(load.metricsPages)
                  .arg(built)
                  .arg(cell(rss));
    QStringList wrong;
    if (calls != load.calls() + load.failed || histogram != calls)
        wrong << QStringLiteral("chamadas %1 (histograma %2) contra %3 do bench").arg(calls).arg(histogram).arg(
            load.calls() + load.failed);
    if (failures != load.failed)
        wrong << QStringLiteral("falhas %1 contra %2").arg(failures).arg(load.failed);
    if (load.peakIdentified > clients || load.peakIdentified < 1)
        wrong << QStringLiteral("pico de %1 conexões para %2 clientes").arg(load.peakIdentified).arg(clients);
    if (builds >= 0 && built != builds)
        wrong << QStringLiteral("%1 montagens, esperadas %2").arg(built).arg(builds);
    return wrong.join(QStringLiteral("; "));
}

void loadTable(const std::vector<Side> &sides, const Setup &big, const Setup &small, double floor, double sendFloor,
               bool quick, int &mismatches)
{
    say(QStringLiteral("\n2. Carga: cada cliente em sua thread e conexão, 5 chamadas (lista de 50 mil, exceto onde "
                       "dito)"));
    say(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 | %10 | %11 | %12 | %13")
            .arg(QStringLiteral("servidor / caso"), -30)
            .arg(QStringLiteral("ok/erro"), 9)
            .arg(QStringLiteral("chamadas/s"), 10)
            .arg(QStringLiteral("p50 ms"), 8)
            .arg(QStringLiteral("p99 ms"), 8)
            .arg(QStringLiteral("con p99"), 8)
            .arg(QStringLiteral("CPU ms/ch"), 9)
            .arg(QStringLiteral("×piso"), 6)
            .arg(QStringLiteral("×piso+envio"), 11)
            .arg(QStringLiteral("CPU cli ms/ch"), 13)
            .arg(QStringLiteral("núcleos"), 7)
            .arg(QStringLiteral("RSS antes/pico/+10s MiB"), 24)
            .arg(QStringLiteral("observação")));
    struct Row
    {
        QString name;
        const Setup *setup;
        int clients;
        int cache;
        bool compressed = false; // the clients take the list compressed
    };
    std::vector<Row> rows = {{QStringLiteral("1 cliente"), &big, 1, 10},
                             {QStringLiteral("50 clientes"), &big, 50, 10},
                             {QStringLiteral("200 clientes"), &big, 200, 10},
                             {QStringLiteral("500 clientes"), &big, 500, 10},
                             {QStringLiteral("50 clientes, sem cache"), &big, 50, 0},
                             {QStringLiteral("200 clientes, lista de 1 mil"), &small, 200, 10},
                             {QStringLiteral("1 cliente, comprimida"), &big, 1, 10, true},
                             {QStringLiteral("200 clientes, comprimida"), &big, 200, 10, true},
                             {QStringLiteral("500 clientes, comprimida"), &big, 500, 10, true}};
    if (quick)
        rows = {rows[0], rows[1], rows[4], rows[5], rows[6]};
    std::map<QString, double> throughput; // by side and row, for the ratio
    std::map<QString, double> oneCall;    // by side and kind of list: both ends' CPU per call alone
    QStringList metricsNotes;
    for (const Row &row : rows) {
        for (const Side &side : sides) {
            // This build's server is watched through its metrics endpoint as the run goes on.
            QStringList args{QStringLiteral("--cache"), QString::number(row.cache)};
            if (&side == &sides.front())
                args << QStringLiteral("--metrics") << QStringLiteral("127.0.0.1:0");
            ServerProcess server(side.exe, row.setup->sessionFile, args);
            // One client alone makes too few calls for the CPU clock's 10 ms ticks: more.
            Load load = runLoad(server, row.clients, row.clients == 1 ? 40 : 5, row.compressed);
            const bool burst = row.clients == 500 && !row.compressed;
            if (burst) {
                QThread::sleep(10);
                load.rssAfter = server.rssMb();
            }
            const double perSecond = load.calls() / (load.wallMs / 1000.0);
            throughput[side.name + row.name] = perSecond;
            const double cpuPerCall = load.serverCpuMs / std::max(1, load.calls());
            const double clientPerCall = load.clientCpuMs / std::max(1, load.calls());
            QString note;
            // Every client waits for a call of each of the others: with the clients on the
            // server's cores, a call's latency cannot fall below clients × (both ends' CPU of
            // one call, as one client alone costs them) / cores.
            const QString alone = side.name + (row.compressed ? QStringLiteral("c") : QStringLiteral("p"));
            if (row.clients == 1 && row.setup == &big)
                oneCall[alone] = cpuPerCall + clientPerCall;
            else if (row.setup == &big && row.cache > 0 && oneCall.count(alone))
                note = QStringLiteral("piso da latência %1 ms; ")
                           .arg(cell(row.clients * oneCall[alone] / QThread::idealThreadCount()));
            if (side.name != sides.front().name)
                note += QStringLiteral("vazão de %1 / %2: %3")
                           .arg(sides.front().name, side.name,
                                ratio(throughput[sides.front().name + row.name], perSecond));
            if (!load.firstError.isEmpty())
                note += QStringLiteral(" %1").arg(load.firstError.left(90));
            if (server.metricsPort) {
                // With the cache on, the list is built once, before the server listens.
                QString summary;
                const QString wrong = metricsMismatch(server, load, row.clients, row.cache > 0 ? 1 : -1, summary);
                metricsNotes << QStringLiteral("%1: %2 — %3")
                                    .arg(row.name, summary,
                                         wrong.isEmpty() ? QStringLiteral("conferem com o bench")
                                                         : QStringLiteral("DIFEREM: ") + wrong);
                mismatches += !wrong.isEmpty();
            }
            // Against the floor of the plain list, which a compressed reply comes in under.
            const bool cached = row.setup == &big && row.cache > 0;
            say(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 | %10 | %11 | %12 | %13")
                    .arg(QStringLiteral("%1: %2").arg(side.name, row.name), -30)
                    .arg(QStringLiteral("%1/%2").arg(load.calls()).arg(load.failed), 9)
                    .arg(cell(perSecond, 1), 10)
                    .arg(cell(percentile(load.callMs, 0.5), 1), 8)
                    .arg(cell(percentile(load.callMs, 0.99), 1), 8)
                    .arg(cell(percentile(load.connectMs, 0.99), 1), 8)
                    .arg(cell(cpuPerCall, 2), 9)
                    .arg(cached ? cell(cpuPerCall / floor, 1) : QStringLiteral("-"), 6)
                    .arg(cached ? cell(cpuPerCall / sendFloor, 2) : QStringLiteral("-"), 11)
                    .arg(cell(clientPerCall, 2), 13)
                    .arg(cell(load.serverCpuMs / load.wallMs, 2), 7)
                    .arg(QStringLiteral("%1/%2/%3")
                             .arg(cell(load.rssBefore), cell(load.rssPeak),
                                  load.rssAfter >= 0 ? cell(load.rssAfter) : QStringLiteral("-")),
                         24)
                    .arg(note));
        }
    }
    if (!metricsNotes.isEmpty()) {
        say(QStringLiteral("\nO ponto de métricas do servidor (--metrics), lido durante e depois de cada caso:"));
        for (const QString &line : metricsNotes)
            say(QStringLiteral("  %1").arg(line));
    }
}

void coldBuild(const std::vector<Side> &sides, const Setup &big)
{
    say(QStringLiteral("\n3. Montagem a frio (sem cache, lista de 50 mil, um cliente pedindo sem parar) e a "
                       "chamada pequena de outro cliente ao mesmo tempo"));
    say(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6")
            .arg(QStringLiteral("servidor"), -12)
            .arg(QStringLiteral("montagens"), 9)
            .arg(QStringLiteral("pequenas"), 8)
            .arg(QStringLiteral("p50 ms"), 8)
            .arg(QStringLiteral("p99 ms"), 8)
            .arg(QStringLiteral("máx ms")));
    for (const Side &side : sides) {
        ServerProcess server(side.exe, big.sessionFile, {QStringLiteral("--cache"), QStringLiteral("0")});
        std::atomic<bool> stop{false};
        std::atomic<int> builds{0};
        QThread *builder = QThread::create([&] {
            std::unique_ptr<TNetConnection> holder;
            TNetConnection *net = link(holder, server.port);
            while (!stop) {
                try {
                    net->call(QStringLiteral("GetFornecedor"));
                    ++builds;
                } catch (const ESuiteError &) {
                }
            }
        });
        builder->start();
        std::unique_ptr<TNetConnection> holder;
        TNetConnection *net = link(holder, server.port);
        net->setConnected(true);
        std::vector<double> small;
        QElapsedTimer total;
        total.start();
        while (total.elapsed() < 4000) {
            QElapsedTimer clock;
            clock.start();
            try {
                net->call(QStringLiteral("Ping")); // unknown: answered with an error at once
            } catch (const ESuiteError &) {
                small.push_back(msSince(clock));
            }
            QThread::msleep(20);
        }
        stop = true;
        builder->wait();
        delete builder;
        say(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6")
                .arg(side.name, -12)
                .arg(builds.load(), 9)
                .arg(small.size(), 8)
                .arg(cell(percentile(small, 0.5), 1), 8)
                .arg(cell(percentile(small, 0.99), 1), 8)
                .arg(cell(worst(small), 1)));
    }
}

void unchangedList(const std::vector<Side> &sides, const Setup &big, const QString &dir, const QByteArray &reply)
{
    say(QStringLiteral("\n4. Lista inalterada: a estação que já tem a lista atual contra a que não tem (mediana de 20 "
                       "chamadas, cada uma em conexão já aberta)"));
    say(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6")
            .arg(QStringLiteral("servidor / estação"), -36)
            .arg(QStringLiteral("bytes enviados"), 14)
            .arg(QStringLiteral("ms por chamada"), 14)
            .arg(QStringLiteral("CPU serv ms"), 11)
            .arg(QStringLiteral("CPU estação ms"), 14)
            .arg(QStringLiteral("observação")));
    enum Kind { Plain, Compressed, Holds };
    for (const Side &side : sides) {
        ServerProcess server(side.exe, big.sessionFile, {QStringLiteral("--cache"), QStringLiteral("10")});
        for (const Kind kind : {Plain, Compressed, Holds}) {
            std::unique_ptr<TNetConnection> holder;
            TNetConnection *net = link(holder, server.port);
            net->setKeptRepliesFolder(dir + QStringLiteral("/mantidas"));
            net->setKeepReply(QStringLiteral("GetFornecedor"), kind == Holds);
            net->setCompression(kind == Compressed);
            net->call(QStringLiteral("GetFornecedor")); // connects; keeps the list when asked to
            std::vector<double> ms;
            const qint64 before = server.written();
            const double serverBefore = server.cpuMs();
            const double clientBefore = threadCpuMs();
            int kept = 0, deflated = 0;
            for (int i = 0; i < 20; ++i) {
                QElapsedTimer clock;
                clock.start();
                net->call(QStringLiteral("GetFornecedor"));
                ms.push_back(msSince(clock));
                kept += net->LastFromKept();
                deflated += net->LastDeflated();
            }
            const qint64 bytes = (server.written() - before) / 20;
            const QString names[] = {QStringLiteral("não guarda a lista"),
                                     QStringLiteral("não guarda, recebe comprimida"),
                                     QStringLiteral("tem a lista atual")};
            QString note;
            if (kind == Holds)
                note = QStringLiteral("%1 de 20 respondidas com \"inalterada\"").arg(kept);
            else if (kind == Compressed)
                note = QStringLiteral("%1 de 20 recebidas comprimidas").arg(deflated);
            say(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6")
                    .arg(QStringLiteral("%1: %2").arg(side.name, names[kind]), -36)
                    .arg(bytes, 14)
                    .arg(cell(median(ms), 2), 14)
                    .arg(cell((server.cpuMs() - serverBefore) / 20, 2), 11)
                    .arg(cell((threadCpuMs() - clientBefore) / 20, 2), 14)
                    .arg(note));
        }
    }
    say(QStringLiteral("\nA lista de %1 bytes comprimida com deflate (libdeflate), mediana de 10:").arg(reply.size()));
    say(QStringLiteral("%1 | %2 | %3 | %4")
            .arg(QStringLiteral("nível"), -6)
            .arg(QStringLiteral("bytes"), 10)
            .arg(QStringLiteral("comprimir ms"), 12)
            .arg(QStringLiteral("descomprimir ms")));
    for (const int level : {1, 6}) {
        libdeflate_compressor *c = libdeflate_alloc_compressor(level);
        libdeflate_decompressor *d = libdeflate_alloc_decompressor();
        QByteArray out(int(libdeflate_deflate_compress_bound(c, size_t(reply.size()))), Qt::Uninitialized);
        QByteArray back(reply.size(), Qt::Uninitialized);
        std::vector<double> packMs, unpackMs;
        size_t packed = 0;
        for (int i = 0; i < 10; ++i) {
            QElapsedTimer clock;
            clock.start();
            packed =
                libdeflate_deflate_compress(c, reply.constData(), size_t(reply.size()), out.data(), size_t(out.size()));
            packMs.push_back(msSince(clock));
            clock.restart();
            libdeflate_deflate_decompress(d, out.constData(), packed, back.data(), size_t(back.size()), nullptr);
            unpackMs.push_back(msSince(clock));
        }
        libdeflate_free_compressor(c);
        libdeflate_free_decompressor(d);
        say(QStringLiteral("%1 | %2 | %3 | %4")
                .arg(level, -6)
                .arg(qulonglong(packed), 10)
                .arg(cell(median(packMs), 2), 12)
                .arg(cell(median(unpackMs), 2)));
    }
}

void siege(const std::vector<Side> &sides, const Setup &small, int clients)
{
    say(QStringLiteral("\n5. Cerco: %1 estações atrás de um endereço (127.0.0.1) conectam ao mesmo tempo e pedem a "
                       "lista de 1 mil")
            .arg(clients));
    say(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 | %8")
            .arg(QStringLiteral("servidor / cenário"), -52)
            .arg(QStringLiteral("servidas"), 8)
            .arg(QStringLiteral("erro"), 5)
            .arg(QStringLiteral("con p50"), 8)
            .arg(QStringLiteral("con p99"), 8)
            .arg(QStringLiteral("CPU ms/estação serv+cli"), 23)
            .arg(QStringLiteral("piso ms"), 7)
            .arg(QStringLiteral("observação")));
    const QList<QHostAddress> same{QHostAddress(QStringLiteral("127.0.0.1"))};
    QList<QHostAddress> others;
    for (int i = 2; i <= 6; ++i)
        others << QHostAddress(QStringLiteral("127.0.0.%1").arg(i));
    for (const bool besieged : {false, true}) {
        for (const Side &side : sides) {
            ServerProcess server(side.exe, small.sessionFile, {QStringLiteral("--cache"), QStringLiteral("10")});
            std::vector<std::unique_ptr<Flood>> floods;
            if (besieged) {
                floods.push_back(std::make_unique<Flood>(server.port, same, 150, false));
                floods.push_back(std::make_unique<Flood>(server.port, others, 150, false));
                floods.push_back(std::make_unique<Flood>(server.port, same, 150, true));
                floods.push_back(std::make_unique<Flood>(server.port, others, 150, true));
                QThread::msleep(1500);
            }
            const Load load = runLoad(server, clients, 1);
            int reopened = 0;
            for (const auto &f : floods)
                reopened += f->reopened();
            // Every workstation's handshake, hello and call, on the cores both ends share: the
            // last cannot connect sooner than all that CPU takes on them.
            const double perStation = (load.serverCpuMs + load.clientCpuMs) / clients;
            const double floorMs = perStation * clients / QThread::idealThreadCount();
            say(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 | %8")
                    .arg(QStringLiteral("%1: %2").arg(
                             side.name, besieged ? QStringLiteral("com 300 ociosas e 300 saudações TLS paradas")
                                                 : QStringLiteral("sozinhas")),
                         -52)
                    .arg(load.calls(), 8)
                    .arg(load.failed, 5)
                    .arg(cell(percentile(load.connectMs, 0.5), 1), 8)
                    .arg(cell(percentile(load.connectMs, 0.99), 1), 8)
                    .arg(QStringLiteral("%1+%2").arg(cell(load.serverCpuMs / clients, 2),
                                                     cell(load.clientCpuMs / clients, 2)),
                         23)
                    .arg(cell(floorMs), 7)
                    .arg((besieged ? QStringLiteral("ligações do cerco fechadas pelo servidor: %1 ").arg(reopened)
                                   : QString())
                         + load.firstError.left(100)));
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions(
        {{QStringLiteral("quick"), QStringLiteral("Menos casos e clientes.")},
         {QStringLiteral("keep"), QStringLiteral("Pasta onde guardar e reaproveitar as bases."), QStringLiteral("DIR")},
         {QStringLiteral("baseline"), QStringLiteral("Outro Lpr07700 para comparar lado a lado."),
          QStringLiteral("EXE")},
         {QStringLiteral("only"), QStringLiteral("Só as partes de 2 a 5 listadas (o piso sempre)."),
          QStringLiteral("2,5")}});
    parser.process(app);
    const bool quick = parser.isSet(QStringLiteral("quick"));
    QTemporaryDir temp;
    const QString dir = parser.isSet(QStringLiteral("keep")) ? parser.value(QStringLiteral("keep")) : temp.path();
    QDir().mkpath(dir);

    std::vector<Side> sides{
        {QStringLiteral("este"), QCoreApplication::applicationDirPath() + QStringLiteral("/Lpr07700")}};
    if (parser.isSet(QStringLiteral("baseline")))
        sides.push_back({QStringLiteral("base"), parser.value(QStringLiteral("baseline"))});
    try {
        DemoOptions bigOptions;
        bigOptions.suppliers = 62500;
        bigOptions.products = 200000;
        bigOptions.quotes = 500000;
        DemoOptions smallOptions;
        smallOptions.suppliers = 1250;
        smallOptions.products = 10000;
        smallOptions.quotes = 100000;
        const Setup big = prepare(dir, QStringLiteral("50k"), bigOptions);
        const Setup small = prepare(dir, QStringLiteral("1k"), smallOptions);

        QByteArray reply;
        {
            ServerProcess server(sides.front().exe, big.sessionFile, {QStringLiteral("--cache"), QStringLiteral("10")});
            std::unique_ptr<TNetConnection> holder;
            reply = link(holder, server.port)->call(QStringLiteral("GetFornecedor")).toByteArray();
        }
        const double floor = floorMs(reply);
        const double sendFloor = sendFloorMs(reply);
        say(QStringLiteral("bench_scale: %1 núcleos; lado a lado: %2").arg(QThread::idealThreadCount()).arg([&] {
            QStringList names;
            for (const Side &s : sides)
                names << QStringLiteral("%1 = %2").arg(s.name, s.exe);
            return names.join(QStringLiteral(", "));
        }()));
        say(QStringLiteral("\n1. Piso: a resposta de %1 bytes cifrada (AES-256-GCM, registros de 16 KiB) e copiada "
                           "uma vez: %2 ms")
                .arg(reply.size())
                .arg(floor, 0, 'f', 2));
        say(QStringLiteral("   Com o envio por TCP no loopback (cifrada registro a registro e escrita no soquete; CPU "
                           "da thread que envia, que no loopback também entrega ao soquete de destino): %1 ms")
                .arg(sendFloor, 0, 'f', 2));
        const QStringList only = parser.value(QStringLiteral("only")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        const auto part = [&](int n) { return only.isEmpty() || only.contains(QString::number(n)); };
        int mismatches = 0;
        if (part(2))
            loadTable(sides, big, small, floor, sendFloor, quick, mismatches);
        if (part(3))
            coldBuild(sides, big);
        if (part(4))
            unchangedList(sides, big, dir, reply);
        if (part(5))
            siege(sides, small, quick ? 100 : 500);
        if (mismatches > 0) {
            say(QStringLiteral("bench_scale: as métricas do servidor diferem das contagens do bench em %1 casos")
                    .arg(mismatches));
            return 1;
        }
    } catch (const ESuiteError &e) {
        say(QStringLiteral("bench_scale: %1").arg(e.message()));
        return 1;
    }
    return 0;
}
