// bench_siege: the application server and the screen's connection under load and faults.
//
//   bench_siege [--quick]
//
// 1. Lpr07700 alone: GetFornecedor through TNetConnection, a fresh link per call (as a
//    screen opening), then 300 idle sockets that never identify themselves, from another
//    address and then from the screen's own, kept open (reopened as the server drops them)
//    while the screen keeps calling.
// 2. 200 callers at once, each on its own thread and link.
// 3. A hostile server (the right certificate, wrong answers): garbage, a truncated frame,
//    2 GiB announced, invalid text, a packet of millions of empty values. The screen's
//    component must answer each with a message, without crashing or holding much more
//    than the reply.
// 4. The database disappears under the server in the middle of calls (the SQLite file
//    replaced by garbage, then put back): calls fail with a message and recover; the file
//    is never written.
// Prints a table per part: latencies (p50, p99), failures, refusals the server logged, and
// memory (peak resident size of the server or of this process).

#include "BenchUtil.h"
#include "PriceListServer.h"
#include "form/FormFixture.h"
#include "errors/EAbort.h"
#include "ScriptedServer.h"
#include "app/Session.h"
#include "TestCertificate.h"
#include "net/DataPacket.h"
#include "net/Frame.h"
#include "net/TClientDataSet.h"
#include "net/TNetConnection.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>

namespace {

using namespace bench;

// Peak and current resident size of a process (MiB), from /proc.
double memoryMb(qint64 pid, const char *key = "VmHWM:")
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

TNetConnection *screenLink(QObject *parent, quint16 port)
{
    auto *net = new TNetConnection(parent);
    PriceListServer::configure(*net);
    net->setThrowException(false);
    net->setHost(QStringLiteral("127.0.0.1"));
    net->setPort(port);
    return net;
}

struct Calls
{
    std::vector<double> ms;
    int failed = 0;
    QString firstError;
};

// A screen opening: a new link, GetFornecedor into a client data set.
void openScreen(quint16 port, Calls &calls)
{
    QObject owner;
    TNetConnection *net = screenLink(&owner, port);
    QElapsedTimer clock;
    clock.start();
    try {
        TClientDataSet cds;
        cds.setData(net->call(QStringLiteral("GetFornecedor")));
        calls.ms.push_back(msSince(clock));
    } catch (const ESuiteError &e) {
        if (calls.failed++ == 0)
            calls.firstError = e.message();
    }
}

int refusals(const QByteArray &log)
{
    int n = 0;
    for (const QByteArray &line : log.split('\n')) {
        if (line.contains("recusada") || line.contains("encerrada"))
            ++n;
        const qsizetype more = line.indexOf("mais ");
        if (more >= 0 && line.contains("não registradas"))
            n += line.mid(more + 5).split(' ').first().toInt();
    }
    return n;
}

// Sockets that connect and say nothing, reopened as soon as the server drops them, on a
// thread of their own.
class IdleFlood : public QThread
{
public:
    IdleFlood(quint16 port, QHostAddress from, int count) : m_port(port), m_from(std::move(from)), m_count(count) { }
    ~IdleFlood() override
    {
        m_stop = true;
        wait();
    }
    int reopened() const { return m_reopened; }
    int open() const { return m_open; }

protected:
    void run() override
    {
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        const auto connectOne = [&](QTcpSocket &s) {
            s.abort();
            s.bind(m_from);
            s.connectToHost(QHostAddress::LocalHost, m_port);
        };
        for (int i = 0; i < m_count; ++i) {
            sockets.push_back(std::make_unique<QTcpSocket>());
            connectOne(*sockets.back());
        }
        while (!m_stop) {
            QThread::msleep(200);
            QCoreApplication::processEvents();
            int open = 0;
            for (auto &s : sockets) {
                // Without an event loop the socket learns of a close only when it looks.
                if (s->state() == QAbstractSocket::ConnectedState)
                    s->waitForReadyRead(0);
                else
                    s->waitForConnected(0);
                s->readAll();
                if (s->state() == QAbstractSocket::UnconnectedState) {
                    connectOne(*s);
                    ++m_reopened;
                } else if (s->state() == QAbstractSocket::ConnectedState) {
                    ++open;
                }
            }
            m_open = open;
        }
    }

private:
    quint16 m_port;
    QHostAddress m_from;
    int m_count;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_reopened{0};
    std::atomic<int> m_open{0};
};

void row(const QString &name, const Calls &c, int refused, double serverMb, const QString &note = QString())
{
    say(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 | %8")
            .arg(name, -34)
            .arg(c.ms.size(), 5)
            .arg(c.failed, 5)
            .arg(percentile(c.ms, 0.5), 8, 'f', 1)
            .arg(percentile(c.ms, 0.99), 8, 'f', 1)
            .arg(refused, 8)
            .arg(serverMb, 8, 'f', 0)
            .arg(note));
}

void header()
{
    say(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 | %8")
            .arg(QStringLiteral("cenário"), -34)
            .arg(QStringLiteral("ok"), 5)
            .arg(QStringLiteral("erro"), 5)
            .arg(QStringLiteral("p50 ms"), 8)
            .arg(QStringLiteral("p99 ms"), 8)
            .arg(QStringLiteral("recusas"), 8)
            .arg(QStringLiteral("srv MiB"), 8)
            .arg(QStringLiteral("observação")));
}

void floods(ServerProcess &server, int calls)
{
    say(QStringLiteral(
        "\n1. Lpr07700 com conexões ociosas que não se identificam (cada chamada: conexão nova + GetFornecedor)"));
    header();
    const quint16 port = quint16(server.port());
    Calls alone;
    for (int i = 0; i < calls; ++i)
        openScreen(port, alone);
    row(QStringLiteral("sozinho"), alone, refusals(server.takeLog()), memoryMb(server.pid()));

    for (const auto &[name, from] :
         {std::pair{QStringLiteral("300 ociosas de outro endereço"), QHostAddress(QStringLiteral("127.0.0.2"))},
          std::pair{QStringLiteral("300 ociosas do mesmo endereço"), QHostAddress(QStringLiteral("127.0.0.1"))}}) {
        IdleFlood flood(port, from, 300);
        flood.start();
        QThread::msleep(1500);
        Calls c;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < calls; ++i)
            openScreen(port, c);
        const int open = flood.open();
        row(name, c, refusals(server.takeLog()), memoryMb(server.pid()),
            QStringLiteral("ociosas abertas no fim %1, reabertas %2 vezes em %3 s%4")
                .arg(open)
                .arg(flood.reopened())
                .arg(clock.elapsed() / 1000.0, 0, 'f', 1)
                .arg(c.firstError.isEmpty() ? QString() : QStringLiteral("; ") + c.firstError.left(120)));
    }
}

void concurrentCallers(ServerProcess &server, int callers, int callsEach)
{
    say(QStringLiteral("\n2. %1 chamadores simultâneos, cada um em sua thread e conexão, %2 chamadas cada")
            .arg(callers)
            .arg(callsEach));
    header();
    std::mutex lock;
    Calls all;
    std::vector<std::unique_ptr<QThread>> threads;
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    const quint16 port = quint16(server.port());
    for (int t = 0; t < callers; ++t) {
        threads.emplace_back(QThread::create([&] {
            QObject owner;
            TNetConnection *net = screenLink(&owner, port);
            Calls mine;
            ++ready;
            while (!go)
                QThread::msleep(1);
            for (int i = 0; i < callsEach; ++i) {
                QElapsedTimer clock;
                clock.start();
                try {
                    const QByteArray packet = net->call(QStringLiteral("GetFornecedor")).toByteArray();
                    (void)DataPacket::decode(packet);
                    mine.ms.push_back(msSince(clock));
                } catch (const ESuiteError &e) {
                    if (mine.failed++ == 0)
                        mine.firstError = e.message();
                }
            }
            std::lock_guard<std::mutex> guard(lock);
            all.ms.insert(all.ms.end(), mine.ms.begin(), mine.ms.end());
            all.failed += mine.failed;
            if (all.firstError.isEmpty())
                all.firstError = mine.firstError;
        }));
        threads.back()->start();
    }
    while (ready < callers)
        QThread::msleep(5);
    QElapsedTimer clock;
    clock.start();
    go = true;
    for (auto &t : threads)
        t->wait();
    row(QStringLiteral("%1 chamadores").arg(callers), all, refusals(server.takeLog()), memoryMb(server.pid()),
        QStringLiteral("%1 chamadas em %2 s%3")
            .arg(all.ms.size() + size_t(all.failed))
            .arg(clock.elapsed() / 1000.0, 0, 'f', 1)
            .arg(all.firstError.isEmpty() ? QString() : QStringLiteral("; ") + all.firstError.left(120)));
}

QByteArray frameOf(const QByteArray &payload)
{
    QByteArray frame(Frame::HeaderSize, '\0');
    qToBigEndian(quint32(payload.size()), frame.data());
    return frame + payload;
}

void hostileServer()
{
    say(QStringLiteral(
        "\n3. Servidor hostil (certificado certo, respostas erradas): o componente da tela responde com mensagem"));
    say(QStringLiteral("%1 | %2 | %3 | %4")
            .arg(QStringLiteral("resposta"), -34)
            .arg(QStringLiteral("bytes"), 10)
            .arg(QStringLiteral("pico +MiB"), 9)
            .arg(QStringLiteral("o que a tela recebe")));
    QByteArray truncated(Frame::HeaderSize, '\0');
    qToBigEndian(quint32(1000), truncated.data());
    QByteArray huge(Frame::HeaderSize, '\0');
    qToBigEndian(quint32(0x7fffffff), huge.data());
    QByteArray garbage(4096, '\0');
    for (qsizetype i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 2654435761u) >> 13);
    DataPacket::Writer empties({{QStringLiteral("IDMARCADO"), 1},
                                {QStringLiteral("IDTPIJURFORN"), 1},
                                {QStringLiteral("NRINSJURFORN"), 20},
                                {QStringLiteral("NMFANTFORN"), 40},
                                {QStringLiteral("NMRAZSOCFORN"), 40},
                                {QStringLiteral("CDFORNECED"), 21}});
    for (int i = 0; i < 2300000; ++i) {
        empties.beginRow();
        for (int c = 0; c < 6; ++c)
            empties.addText(QStringView());
        empties.endRow();
    }
    const QList<std::tuple<QString, QByteArray, bool>> cases = {
        {QStringLiteral("lixo"), frameOf(garbage), false},
        {QStringLiteral("quadro truncado e fechado"), truncated + QByteArray(100, 'x'), true},
        {QStringLiteral("texto não UTF-8 (11 bytes)"), frameOf(QByteArray("\xa1\x66result\x62\xc3\x28", 11)), false},
        {QStringLiteral("2 GiB anunciados"), huge + QByteArray(65536, 'x'), true},
        {QStringLiteral("2,3 milhões de valores vazios"), Frame::resultFrame(empties.finish()).join(), false},
    };
    ScriptedServer server(TestCertificate::shared());
    if (!server.listen())
        throw ESuiteError(QStringLiteral("o servidor hostil não abriu uma porta"));
    for (const auto &[name, bytes, close] : cases) {
        server.setReply(bytes, close);
        const double before = memoryMb(QCoreApplication::applicationPid());
        QString outcome;
        QObject owner;
        TNetConnection *net = screenLink(&owner, server.port());
        net->setCallTimeout(10000);
        try {
            TClientDataSet cds;
            cds.setData(net->call(QStringLiteral("GetFornecedor")));
            outcome = QStringLiteral("ACEITO (%1 linhas)").arg(cds.RecordCount());
        } catch (const ESuiteError &e) {
            outcome = e.message().left(150);
        }
        say(QStringLiteral("%1 | %2 | %3 | %4")
                .arg(name, -34)
                .arg(bytes.size(), 10)
                .arg(memoryMb(QCoreApplication::applicationPid()) - before, 9, 'f', 0)
                .arg(outcome));
    }
}

QByteArray digest(const QString &file)
{
    QFile f(file);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (f.open(QIODevice::ReadOnly))
        hash.addData(&f);
    return hash.result().toHex().left(16);
}

void databaseVanishes(ServerProcess &server, const QString &dbFile, int calls)
{
    say(QStringLiteral(
        "\n4. O banco some no meio das chamadas (arquivo SQLite danificado, truncado, depois devolvido), sem cache"));
    header();
    const QByteArray before = digest(dbFile);
    const quint16 port = quint16(server.port());
    QObject owner;
    TNetConnection *net = screenLink(&owner, port);
    const auto call = [&](Calls &c) {
        QElapsedTimer clock;
        clock.start();
        try {
            (void)DataPacket::decode(net->call(QStringLiteral("GetFornecedor")).toByteArray());
            c.ms.push_back(msSince(clock));
        } catch (const ESuiteError &e) {
            if (c.failed++ == 0)
                c.firstError = e.message();
        }
    };
    QByteArray original;
    {
        QFile f(dbFile);
        f.open(QIODevice::ReadOnly);
        original = f.readAll();
    }
    // Writes bytes over the file in place: the server's open handle sees them.
    const auto overwrite = [&](qint64 at, const QByteArray &bytes, qint64 truncateTo = -1) {
        QFile f(dbFile);
        f.open(QIODevice::ReadWrite);
        if (truncateTo >= 0)
            f.resize(truncateTo);
        f.seek(at);
        f.write(bytes);
    };
    Calls first;
    for (int i = 0; i < calls; ++i)
        call(first);
    row(QStringLiteral("banco no lugar"), first, refusals(server.takeLog()), memoryMb(server.pid()));

    Calls damaged;
    QByteArray junk(original.size() * 6 / 10, '\0');
    for (qsizetype i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 7919 + 13) & 0xff);
    overwrite(original.size() * 3 / 10, junk);
    for (int i = 0; i < calls; ++i)
        call(damaged);
    row(QStringLiteral("páginas sobrescritas no lugar"), damaged, refusals(server.takeLog()), memoryMb(server.pid()),
        damaged.firstError.left(200));

    Calls truncated;
    overwrite(0, QByteArray(), 0);
    for (int i = 0; i < calls; ++i)
        call(truncated);
    row(QStringLiteral("arquivo truncado a zero"), truncated, refusals(server.takeLog()), memoryMb(server.pid()),
        server.running() ? truncated.firstError.left(200) : QStringLiteral("O SERVIDOR MORREU"));

    Calls back;
    overwrite(0, original);
    for (int i = 0; i < calls; ++i)
        call(back);
    row(QStringLiteral("arquivo devolvido"), back, refusals(server.takeLog()), memoryMb(server.pid()),
        back.firstError.left(200));
    say(QStringLiteral("servidor vivo: %1; arquivo do banco igual ao do início (SHA-256 %2...): %3")
            .arg(server.running() ? QStringLiteral("sim") : QStringLiteral("NÃO"), QString::fromLatin1(before),
                 digest(dbFile) == before ? QStringLiteral("sim") : QStringLiteral("NÃO")));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    try {
        DemoOptions options;
        options.suppliers = quick ? 500 : 5000;
        options.products = quick ? 2000 : 10000;
        options.quotes = quick ? 10000 : 60000;
        FormFixture fixture(options, false);
        say(QStringLiteral("bench_siege: banco de demonstração com %1 fornecedores, %2 cotações; Lpr07700 com TLS")
                .arg(options.suppliers)
                .arg(options.quotes));
        hostileServer();
        {
            ServerProcess server(fixture.env, 10);
            if (!server.start())
                throw ESuiteError(QStringLiteral("Lpr07700 não iniciou"));
            floods(server, quick ? 20 : 100);
            concurrentCallers(server, 200, quick ? 2 : 5);
        }
        ServerProcess server(fixture.env, 0);
        if (!server.start())
            throw ESuiteError(QStringLiteral("Lpr07700 não iniciou"));
        databaseVanishes(server, fixture.env.dbFile(), quick ? 10 : 30);
    } catch (const ESuiteError &e) {
        say(QStringLiteral("bench_siege: %1").arg(e.message()));
        return 1;
    }
    return 0;
}
