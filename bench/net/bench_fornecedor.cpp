// bench_fornecedor: GetFornecedor through TNetConnection against the Lpr07700
// executable, on demo databases of 1k and 50k quoted suppliers.
//
//   bench_fornecedor [--quick] [--runs N] [--keep DIR]
//
// --quick: 500k quotes instead of 5M in the big case (faster set-up, same supplier count).
// --keep DIR: generate the databases into DIR and reuse them on later runs.

#include "BenchUtil.h"
#include "PriceListServer.h"
#include "ServerProcess.h"
#include "DemoDb.h"
#include "errors/EAbort.h"
#include "app/Session.h"
#include "TestCertificate.h"
#include "net/DataPacket.h"
#include "net/TClientDataSet.h"
#include "net/TNetConnection.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

using namespace bench;

constexpr double kTargetMs = 60.0;

struct Case
{
    QString name;
    DemoOptions options;
};

struct Result
{
    QString name;
    int quoted = 0;
    int quotes = 0;
    qint64 packetBytes = 0;
    double coldMs = 0;
    double warmMs = 0;
    double loadMs = 0;
    double serverCpuMs = 0; // per uncached call
};

int scalar(const QString &file, const QString &sql)
{
    int value = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench_count"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                value = q.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench_count"));
    return value;
}

void declareSupplierFields(TClientDataSet &cds)
{
    cds.AddField(QStringLiteral("IDMARCADO"), 1, QStringLiteral(" "), 2);
    cds.AddField(QStringLiteral("IDTPIJURFORN"), 1, QStringLiteral("Tipo        "));
    cds.AddField(QStringLiteral("NRINSJURFORN"), 20, QStringLiteral("Inscrição"));
    cds.AddField(QStringLiteral("NMFANTFORN"), 40, QStringLiteral("Nome Fantasia"));
    cds.AddField(QStringLiteral("NMRAZSOCFORN"), 40, QStringLiteral("Razão Social"));
    cds.AddField(QStringLiteral("CDFORNECED"), 21, QStringLiteral("Código"), 0, false);
}

// Median time of a GetFornecedor round trip; with load, including setData into the
// supplier data set.
double measure(int port, int runs, bool load, qint64 *packetBytes = nullptr, int *rows = nullptr)
{
    TNetConnection net;
    PriceListServer::configure(net);
    net.BeforeConnect = [port](QObject *sender) {
        auto *n = static_cast<TNetConnection *>(sender);
        n->setHost(QStringLiteral("127.0.0.1"));
        n->setPort(port);
    };
    net.setConnected(true);
    TClientDataSet cds;
    declareSupplierFields(cds);
    std::vector<double> times;
    for (int i = 0; i < runs + 1; ++i) {
        QElapsedTimer clock;
        clock.start();
        const QVariant packet = net.call(QStringLiteral("GetFornecedor"));
        if (load)
            cds.setData(packet);
        const double ms = clock.nsecsElapsed() / 1e6;
        if (i > 0) // the first call also warms the database's page cache
            times.push_back(ms);
        if (packetBytes)
            *packetBytes = packet.toByteArray().size();
        if (rows && load)
            *rows = cds.RecordCount();
    }
    return median(times);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions(
        {{QStringLiteral("quick"), QStringLiteral("500 mil cotações no caso grande, em vez de 5 milhões.")},
         {QStringLiteral("runs"), QStringLiteral("Chamadas medidas por caso (padrão 20)."), QStringLiteral("N"),
          QStringLiteral("20")},
         {QStringLiteral("keep"), QStringLiteral("Pasta onde guardar e reaproveitar as bases."),
          QStringLiteral("DIR")}});
    parser.process(app);
    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());

    QTemporaryDir temp;
    const QString dir = parser.isSet(QStringLiteral("keep")) ? parser.value(QStringLiteral("keep")) : temp.path();
    QDir().mkpath(dir);

    // About four suppliers in five are quoted.
    Case small{QStringLiteral("1k"), DemoOptions()};
    small.options.suppliers = 1250;
    small.options.products = 10000;
    small.options.quotes = 100000;
    Case big{QStringLiteral("50k"), DemoOptions()};
    big.options.suppliers = 62500;
    big.options.products = 200000;
    big.options.quotes = parser.isSet(QStringLiteral("quick")) ? 500000 : 5000000;

    std::vector<Result> results;
    try {
        for (const Case &c : {small, big}) {
            const QString file = QStringLiteral("%1/fornecedor_%2_%3.db").arg(dir, c.name).arg(c.options.quotes);
            if (!QFileInfo::exists(file)) {
                say(QStringLiteral("Gerando a base %1 (%2 fornecedores, %3 cotações)...")
                        .arg(c.name)
                        .arg(c.options.suppliers)
                        .arg(c.options.quotes));
                QElapsedTimer clock;
                clock.start();
                DemoDb::createSqlite(file, c.options);
                say(QStringLiteral("  pronta em %1 s").arg(clock.elapsed() / 1000.0, 0, 'f', 1));
            }
            Session session;
            session.db.database = file;
            session.serverToken = QStringLiteral("token-do-benchmark-0123456789");
            static const TestCertificate tls = TestCertificate::make(dir, QStringLiteral("bench"));
            session.serverCertificate = tls.certificateFile;
            session.serverKey = tls.keyFile;
            session.serverFingerprint = tls.fingerprint;
            Session::current().serverToken = session.serverToken;
            Session::current().serverFingerprint = session.serverFingerprint;
            const QString sessionFile = QStringLiteral("%1/sessao_%2.ini").arg(dir, c.name);
            session.save(sessionFile);

            Result r;
            r.name = c.name;
            r.quoted = scalar(file, QStringLiteral("SELECT COUNT(DISTINCT CDFORNECED) FROM COTACAO"));
            r.quotes = scalar(file, QStringLiteral("SELECT COUNT(*) FROM COTACAO"));
            {
                ServerProcess server(QStringLiteral(LPR07700_EXE), sessionFile,
                                     {QStringLiteral("--cache"), QStringLiteral("0")});
                int rows = 0;
                const double cpuBefore = server.cpuMs();
                r.coldMs = measure(server.port, runs, false, &r.packetBytes);
                r.serverCpuMs = (server.cpuMs() - cpuBefore) / (runs + 1);
                r.loadMs = measure(server.port, runs, true, nullptr, &rows);
                if (rows != r.quoted)
                    throw ESuiteError(QStringLiteral("o caso %1 trouxe %2 fornecedores, a base tem %3 cotados")
                                          .arg(c.name)
                                          .arg(rows)
                                          .arg(r.quoted));
            }
            {
                ServerProcess server(QStringLiteral(LPR07700_EXE), sessionFile,
                                     {QStringLiteral("--cache"), QStringLiteral("10")}); // the default
                r.warmMs = measure(server.port, runs, false);
            }
            results.push_back(r);
        }
    } catch (const ESuiteError &e) {
        say(QStringLiteral("bench_fornecedor: %1").arg(e.message()));
        return 1;
    }

    say(QString());
    say(QStringLiteral("GetFornecedor via TNetConnection -> Lpr07700 (SQLite), mediana de %1 chamadas").arg(runs));
    say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8  %9")
            .arg(QStringLiteral("caso"), -5)
            .arg(QStringLiteral("cotados"), 8)
            .arg(QStringLiteral("cotações"), 9)
            .arg(QStringLiteral("pacote"), 10)
            .arg(QStringLiteral("com cache"), 10)
            .arg(QStringLiteral("sem cache"), 10)
            .arg(QStringLiteral("s/cache+cds"), 12)
            .arg(QStringLiteral("CPU servidor"), 12)
            .arg(QStringLiteral("alvo (com cache, como o servidor roda)")));
    bool allMet = true;
    for (const Result &r : results) {
        const bool big = r.name == QLatin1String("50k");
        const bool met = !big || r.warmMs <= kTargetMs;
        allMet = allMet && met;
        say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8  %9")
                .arg(r.name, -5)
                .arg(r.quoted, 8)
                .arg(r.quotes, 9)
                .arg(QStringLiteral("%1 KiB").arg(r.packetBytes / 1024), 10)
                .arg(QStringLiteral("%1 ms").arg(r.warmMs, 0, 'f', 2), 10)
                .arg(QStringLiteral("%1 ms").arg(r.coldMs, 0, 'f', 2), 10)
                .arg(QStringLiteral("%1 ms").arg(r.loadMs, 0, 'f', 2), 12)
                .arg(QStringLiteral("%1 ms").arg(r.serverCpuMs, 0, 'f', 1), 12)
                .arg(big ? QStringLiteral("<= %1 ms: %2")
                               .arg(kTargetMs)
                               .arg(met ? QStringLiteral("OK") : QStringLiteral("ACIMA"))
                         : QStringLiteral("-")));
    }
    say(QStringLiteral(
        "com cache: o pacote montado é reaproveitado por 10 s (padrão de --cache).\n"
        "sem cache: cada chamada monta a lista no banco (o caso da primeira chamada após o cache expirar);\n"
        "s/cache+cds: o mesmo, mais a carga do pacote no TClientDataSet do cliente;\n"
        "CPU servidor: tempo de CPU do Lpr07700 por chamada sem cache (independe da carga da máquina)."));
    return allMet ? 0 : 2;
}
