// bench_gerabase: times the demo database generator on SQLite at three sizes and prints
// rows per second against the target of each size.
//
//   bench_gerabase [--quick] [--dir FOLDER]
//
// --quick leaves out the big case (1M products, 50k suppliers, 5k branches, 5M quotes).

#include "BenchUtil.h"
#include "DemoDb.h"
#include "errors/EAbort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

using namespace bench;

struct Case
{
    QString name;
    DemoOptions options;
    double targetSeconds; // whole build: tables, data, indices, statistics
};

struct Result
{
    QString name;
    qint64 rows = 0;
    double loadSeconds = 0;
    double indexSeconds = 0;
    double totalSeconds = 0;
    double targetSeconds = 0;
};

DemoOptions sized(int products, int suppliers, int branches, int quotes)
{
    DemoOptions o;
    o.products = products;
    o.suppliers = suppliers;
    o.branches = branches;
    o.quotes = quotes;
    return o;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QStringLiteral("--quick"));
    QString dir;
    const qsizetype dirAt = args.indexOf(QStringLiteral("--dir"));
    if (dirAt > 0 && dirAt + 1 < args.size())
        dir = args.at(dirAt + 1);
    QTemporaryDir temp(dir.isEmpty() ? QString() : dir + QStringLiteral("/bench_gerabase-XXXXXX"));
    if (!temp.isValid()) {
        say(QStringLiteral("bench_gerabase: não foi possível criar uma pasta temporária: %1").arg(temp.errorString()));
        return 1;
    }

    // Targets: the big case must load "well under a few minutes" on a two-core machine.
    QList<Case> cases = {
        {QStringLiteral("pequena"), DemoOptions(), 1.0},
        {QStringLiteral("média"), sized(100000, 5000, 500, 500000), 15.0},
    };
    if (!quick)
        cases.append({QStringLiteral("grande"), sized(1000000, 50000, 5000, 5000000), 120.0});

    QList<Result> results;
    for (const Case &c : std::as_const(cases)) {
        const QString file = temp.filePath(QStringLiteral("bench_%1.db").arg(results.size()));
        Result r;
        r.name = c.name;
        r.targetSeconds = c.targetSeconds;
        QElapsedTimer clock;
        clock.start();
        qint64 indexStart = -1;
        auto progress = [&](const QString &table, qint64 done, qint64 total) {
            if (table == QStringLiteral("índices")) {
                if (indexStart < 0)
                    indexStart = clock.elapsed();
                return;
            }
            if (total >= 0 && done == total)
                r.rows += done;
        };
        say(QStringLiteral("caso %1: %2 produtos, %3 fornecedores, %4 filiais, %5 cotações ...")
                .arg(c.name)
                .arg(c.options.products)
                .arg(c.options.suppliers)
                .arg(c.options.branches)
                .arg(c.options.quotes > 0 ? c.options.quotes : c.options.products * 3));
        try {
            DemoDb::createSqlite(file, c.options, progress);
        } catch (const ESuiteError &e) {
            say(QStringLiteral("bench_gerabase: %1").arg(e.message()));
            return 1;
        }
        const qint64 end = clock.elapsed();
        r.totalSeconds = end / 1000.0;
        r.loadSeconds = (indexStart < 0 ? end : indexStart) / 1000.0;
        r.indexSeconds = r.totalSeconds - r.loadSeconds;
        results.append(r);
        QFile::remove(file);
    }

    say(QString());
    say(QStringLiteral("gerabase em SQLite (tabelas, dados, índices e estatísticas)"));
    say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
            .arg(QStringLiteral("caso"), -8)
            .arg(QStringLiteral("linhas"), 11)
            .arg(QStringLiteral("carga s"), 8)
            .arg(QStringLiteral("índices s"), 10)
            .arg(QStringLiteral("total s"), 8)
            .arg(QStringLiteral("linhas/s"), 10)
            .arg(QStringLiteral("alvo s"), 7)
            .arg(QStringLiteral("total/alvo"), 10));
    bool allMet = true;
    for (const Result &r : std::as_const(results)) {
        const double ratio = r.totalSeconds / r.targetSeconds;
        allMet = allMet && ratio <= 1.0;
        say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                .arg(r.name, -8)
                .arg(r.rows, 11)
                .arg(r.loadSeconds, 8, 'f', 2)
                .arg(r.indexSeconds, 10, 'f', 2)
                .arg(r.totalSeconds, 8, 'f', 2)
                .arg(qint64(r.totalSeconds > 0 ? r.rows / r.totalSeconds : 0), 10)
                .arg(r.targetSeconds, 7, 'f', 0)
                .arg(ratio, 10, 'f', 2));
    }
    say(allMet ? QStringLiteral("todos os casos dentro do alvo") : QStringLiteral("ATENÇÃO: caso acima do alvo"));
    return allMet ? 0 : 1;
}
