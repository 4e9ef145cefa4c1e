// bench_report --plans [--lines 100000,1000000] [--server-db pg:NAME,fb:NAME ...] [--keep DIR]
//                       [--list LPR077-02-fornecedor.json]   (default: the list by product)
//
// SQLite databases are generated (every quote at branch 0001 but one in 20,000 at 0003;
// "--lines 0" generates none); --server-db names PostgreSQL or Firebird databases already loaded by gerabase on the
// servers of LPR_SERVERS_ENV, which the bench lays out the same way. "before" runs the
// shipped definition without its text for long lists, read as every output read it
// before; "after" as shipped, and the cases a person waits on ("1ª linha", "como a
// visual.", the preview's page 1) read as the preview now reads (on PostgreSQL through a
// cursor, planned for its first rows); each run on a thread and connection of its own.
// "1ª linha" is the first row reaching the output, the count that chooses the text included.
#include "PlanBench.h"
#include "PriceListParams.h"

#include "BenchUtil.h"
#include "data/Database.h"
#include "DbServers.h"
#include "DemoDb.h"
#include "errors/EAbort.h"
#include "report/PageStore.h"
#include "report/ReportDefinition.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "report/ui/ReportPreviewDialog.h"
#include "report/ui/ReportPreviewView.h"
#include "report/ReportRun.h"
#include "report/TReportDesignerDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

namespace PlanBench {
namespace {

// The shipped list measured (--list); the cases' processes get it through the environment.
QString listFile()
{
    const QString file = qEnvironmentVariable("SUITE_PLAN_LIST");
    return file.isEmpty() ? QStringLiteral("LPR077-01-produto.json") : file;
}
const QString bigBranch = QStringLiteral("0001");
const QString smallBranch = QStringLiteral("0003"); // its own purchasing centre

// "pg:NAME", "fb:NAME" or a SQLite file.
DbConfig configOf(const QString &database)
{
    if (database.startsWith(QLatin1String("pg:")) || database.startsWith(QLatin1String("fb:"))) {
        const SqlDialect d = database.startsWith(QLatin1String("pg:")) ? SqlDialect::PostgreSQL : SqlDialect::Firebird;
        return DbServers::fromEnvironment().owner(d, database.mid(3));
    }
    DbConfig c;
    c.database = database;
    return c;
}

void fill(TParams &params, const QString &branch)
{
    bench::fillPriceListParams(params, branch);
}

// Counts rows and notes when the first came.
class TimingSink : public ReportSink
{
public:
    explicit TimingSink(const QElapsedTimer &clock) : m_clock(clock) { }
    void begin(const ReportRunInfo &) override { }
    void groupHeader(int, const QString &, bool) override { }
    void detail(const QVariantList &, bool) override
    {
        if (rows++ == 0)
            firstRow = m_clock.nsecsElapsed() / 1e9;
    }
    void groupFooter(int, const QString &, const QVariantList &, const QStringList &) override { }
    void summary(const QString &, const QVariantList &, const QStringList &) override { }
    void finish(qint64) override { }

    qint64 rows = 0;
    double firstRow = 0;

private:
    const QElapsedTimer &m_clock;
};

ReportDefinition definition(bool after)
{
    ReportDefinition d = ReportDefinition::load(
        QDir(QString::fromUtf8(REPORTS_DIR)).filePath(listFile()));
    if (!after)
        d.largeList = ReportLargeList();
    return d;
}

// The run as the engine makes it, read to the end: first row, whole time, rows. soon: read
// as the preview reads (ReportRun::setFirstRowsSoon), else as a file is written.
QString wholeRun(const QString &branch, bool after, bool soon)
{
    const ReportDefinition def = definition(after);
    QElapsedTimer clock;
    clock.start();
    TParams params = def.collectParams(dtmDBGeral::dialect());
    fill(params, branch);
    ReportRun run(def, params, dtmDBGeral::dialect(), dtmDBGeral::dtbGeral());
    run.setFirstRowsSoon(soon);
    TimingSink sink(clock);
    // On its own thread and connection, as every output runs.
    ReportJob job(run, dtmDBGeral::config(), ReportLimits());
    job.start(sink);
    while (!job.isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    job.rethrow();
    return QStringLiteral("%1 %2 %3 %4")
        .arg(sink.firstRow)
        .arg(clock.nsecsElapsed() / 1e9)
        .arg(sink.rows)
        .arg(run.ranCursor() ? 2 : run.ranLargeList() ? 1 : 0);
}

// From the command to page 1 painted, as bench_report's preview case, from a folder
// holding the definition of the run.
QString previewPage1(const QString &branch, bool after, const QString &dir)
{
    const ReportDefinition measured = definition(after);
    measured.save(QDir(dir).filePath(listFile()));
    TReportDesignerDialog designer;
    designer.ReportDir = dir;
    designer.ReportCode = QStringLiteral("LPR077");
    QElapsedTimer clock;
    clock.start();
    const ReportDefinition def = designer.definition(measured.title);
    TParams params = def.collectParams(dtmDBGeral::dialect());
    fill(params, branch);
    ReportRun run(def, params, dtmDBGeral::dialect(), dtmDBGeral::dtbGeral());
    run.prepare();
    run.setFirstRowsSoon(after);
    PageStore store;
    ReportLayout layout(store);
    ReportJob job(run, dtmDBGeral::config(), ReportLimits());
    job.start(layout);
    ReportPreviewDialog dialog(store, job, QStringLiteral("Visualizar"));
    dialog.resize(1400, 900);
    dialog.show();
    while (dialog.currentPage() < 1 && !job.isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    dialog.view()->viewport()->grab();
    const double page1 = clock.nsecsElapsed() / 1e9;
    dialog.reject();
    while (!job.isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return QStringLiteral("%1 %1 0 0").arg(page1);
}

// Every quote at branch 0001 but one in 20,000 at 0003, whatever the database.
void layOut(const QString &database)
{
    const QString name = QStringLiteral("planLayout");
    {
        QSqlDatabase db = dtmDBGeral::openConnection(configOf(database), name, false);
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("UPDATE COTACAO SET CDFILIAL = CASE WHEN MOD(NRCOTACAO, 20000) = 7 THEN '%1' "
                                   "ELSE '%2' END")
                        .arg(smallBranch, bigBranch)))
            throw EDatabaseError(QStringLiteral("Não foi possível preparar %1: %2").arg(database, q.lastError().text()));
        // Statistics as a server keeps them after such a change (SQLite is analysed by gerabase).
        const QString statistics = database.startsWith(QLatin1String("pg:"))   ? QStringLiteral("ANALYZE COTACAO")
                                   : database.startsWith(QLatin1String("fb:")) ? QStringLiteral("SET STATISTICS INDEX "
                                                                                            "IX_COTACAO_FILIAL_DTVALINI")
                                                                           : QString();
        if (!statistics.isEmpty() && !q.exec(statistics))
            throw EDatabaseError(QStringLiteral("Não foi possível atualizar as estatísticas de %1: %2")
                                     .arg(database, q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

struct Measure
{
    double first = 0, whole = 0;
    qint64 rows = 0;
    bool large = false;
    bool cursor = false;
};

bool child(const QStringList &caseArgs, Measure &m)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--plan-case")} + caseArgs);
    p.waitForFinished(-1);
    const QStringList f = QString::fromUtf8(p.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
    if (p.exitCode() != 0 || f.size() < 4)
        return false;
    m = {f.at(0).toDouble(), f.at(1).toDouble(), f.at(2).toLongLong(), f.at(3) == QLatin1String("1"),
         f.at(3) == QLatin1String("2")};
    return true;
}

QString ms(double seconds)
{
    return QString::number(seconds * 1000, 'f', seconds < 1 ? 1 : 0).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString ratio(double after, double before)
{
    return QString::number(after / qMax(before, 1e-9), 'f', 3).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

int runCase(const QStringList &args)
{
    // first|whole|preview BRANCH before|after DB: "first" reads as the preview does
    // (after: its first rows soon), "whole" as a file is written.
    try {
        dtmDBGeral::open(configOf(args.at(3)));
        const bool after = args.at(2) == QLatin1String("after");
        QTemporaryDir dir;
        const QString out = args.at(0) == QLatin1String("preview")
                                ? previewPage1(args.at(1), after, dir.path())
                                : wholeRun(args.at(1), after, after && args.at(0) == QLatin1String("first"));
        QTextStream(stdout) << out << Qt::endl;
        return 0;
    } catch (const ESuiteError &e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        return 1;
    }
}

int run(const QStringList &args)
{
    QList<int> sizes{100000, 1000000};
    QStringList servers;
    QString keep;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--lines")) {
            sizes.clear();
            for (const QString &s : args.at(++i).split(QLatin1Char(',')))
                if (s.toInt() > 0) // "--lines 0": the servers' databases only
                    sizes << s.toInt();
        } else if (args.at(i) == QLatin1String("--server-db")) {
            servers << args.at(++i).split(QLatin1Char(','));
        } else if (args.at(i) == QLatin1String("--list")) {
            qputenv("SUITE_PLAN_LIST", args.at(++i).toUtf8());
        } else if (args.at(i) == QLatin1String("--keep")) {
            keep = args.at(++i);
        }
    }
    QTemporaryDir work;
    const QString dir = keep.isEmpty() ? work.path() : keep;
    QDir().mkpath(dir);
    QStringList dbs;
    try {
        for (int lines : sizes) {
            const QString file = QDir(dir).filePath(QStringLiteral("plan-%1.db").arg(lines));
            if (!QFileInfo::exists(file)) {
                bench::say(QStringLiteral("Gerando a base SQLite com %1 cotações...").arg(lines));
                DemoOptions options;
                options.products = qMax(100, lines / 3);
                options.suppliers = 400;
                options.quotes = lines;
                DemoDb::createSqlite(file, options);
                layOut(file);
            }
            dbs << file;
        }
        for (const QString &database : servers) {
            bench::say(QStringLiteral("Preparando %1...").arg(database));
            layOut(database);
            dbs << database;
        }
    } catch (const ESuiteError &e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        return 1;
    }
    QTextStream out(stdout);
    out << QStringLiteral("\n%1: antes (só a consulta principal) e depois (a forma para listas longas "
                          "quando a contagem chega à marca); tempos em ms\n")
               .arg(definition(true).title);
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
               .arg(QStringLiteral("base"), -34)
               .arg(QStringLiteral("caso"), -30)
               .arg(QStringLiteral("linhas"), 8)
               .arg(QStringLiteral("antes"), 10)
               .arg(QStringLiteral("depois"), 10)
               .arg(QStringLiteral("depois/antes"), 12)
               .arg(QStringLiteral("forma"), 8);
    const struct
    {
        const char *kind;
        const QString &branch;
        const char *label;
        bool whole;
    } cases[] = {{"first", bigBranch, "filial grande: 1ª linha", false},
                 {"whole", bigBranch, "filial grande: consulta toda", true},
                 {"preview", bigBranch, "filial grande: visual. pág. 1", false},
                 {"whole", smallBranch, "filial pequena: consulta toda", true},
                 {"first", smallBranch, "filial pequena: como a visual.", true}};
    for (const QString &db : dbs) {
        for (const auto &c : cases) {
            // Milliseconds on a shared machine: the median of five, before and after in turn.
            const int runs = &c.branch == &smallBranch ? 5 : 1;
            QList<Measure> befores, afters;
            for (int i = 0; i < runs; ++i) {
                Measure before, after;
                if (!child({QLatin1String(c.kind), c.branch, QStringLiteral("before"), db}, before)
                    || !child({QLatin1String(c.kind), c.branch, QStringLiteral("after"), db}, after)) {
                    QTextStream(stderr) << "O caso " << QString::fromUtf8(c.label) << " em " << db << " falhou."
                                        << Qt::endl;
                    return 1;
                }
                befores << before;
                afters << after;
            }
            const auto median = [&](QList<Measure> list) {
                std::sort(list.begin(), list.end(), [&](const Measure &x, const Measure &y) {
                    return (c.whole ? x.whole : x.first) < (c.whole ? y.whole : y.first);
                });
                return list.at(list.size() / 2);
            };
            const Measure before = median(befores), after = median(afters);
            const double b = c.whole ? before.whole : before.first, a = c.whole ? after.whole : after.first;
            out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                       .arg(QFileInfo(db).fileName(), -34)
                       .arg(QString::fromUtf8(c.label), -30)
                       .arg(qMax(before.rows, after.rows), 8)
                       .arg(ms(b), 10)
                       .arg(ms(a), 10)
                       .arg(ratio(a, b), 12)
                       .arg(QString::fromLatin1(QLatin1String(c.kind) == QLatin1String("preview") ? "-"
                                                : after.cursor                                  ? "cursor"
                                                : after.large                                   ? "longa"
                                                                                                : "principal"),
                            8);
            out.flush();
        }
    }
    out << QStringLiteral("\nMetas: visual. pág. 1 <= 300 ms com 1M linhas; filial pequena <= 1,1x antes.\n");
    return 0;
}

} // namespace PlanBench
