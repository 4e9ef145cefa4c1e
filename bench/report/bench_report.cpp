// Price list LPR077 on SQLite: time and peak memory of saving 10k and 100k lines as CSV,
// PDF and XLSX. Each case runs in a process of its own, so the peak memory (VmHWM) of one
// case does not hide another's; the memory of 100k lines against 10k shows whether the
// run streams.
//
//   bench_report [--lines 10000,100000] [--keep DIR]

#include "Database.h"
#include "DemoDb.h"
#include "EAbort.h"
#include "Session.h"
#include "report/TReportDesignerDialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

namespace {

const QString reportTitle = QStringLiteral("Lista de Preços por Produto");

// Peak and current resident memory of this process, in kB.
qint64 statusValue(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    return -1;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

void fill(TParams &params)
{
    const QMap<QString, QString> text = {
        {"P_CDFILIAL", "0001"}, {"P_CDFILCENTCMP", "0001"}, {"P_TODOSPROD", "T"}, {"P_CDPRODINI", ""},
        {"P_CDPRODFIN", "ZZZZZZZZZZ"}, {"L_LISTAOPER", "T"}, {"L_LISTAOPER1", "T"}, {"L_LISTAFORNE", "T"},
        {"L_LISTAFORNE1", "T"}, {"P_CDREGIAO", "001"}, {"P_SISTEMA", "CMP"}, {"P_ORDPI", "N"}, {"P_PAGINA", "F"}};
    for (auto it = text.constBegin(); it != text.constEnd(); ++it)
        if (TParam *p = params.FindParam(it.key()))
            p->setValue(it.value());
    if (TParam *p = params.FindParam(QStringLiteral("P_DTINI")))
        p->setAsDate(QDate(2000, 1, 1));
    if (TParam *p = params.FindParam(QStringLiteral("P_DTFIN")))
        p->setAsDate(QDate(2100, 12, 31));
}

// One case: prints "seconds rows pages peakKb rssBeforeKb".
int runCase(const QString &kind, const QString &dbFile, const QString &outFile)
{
    try {
        DbConfig config;
        config.database = dbFile;
        dtmDBGeral::open(config);
        TReportDesignerDialog designer;
        designer.ReportDir = QString::fromUtf8(REPORTS_DIR);
        designer.ReportCode = QStringLiteral("LPR077");
        designer.Batch = true;
        const bool variation = kind.endsWith(QLatin1String("+var"));
        designer.BeforeGetQueryParams = [variation](TParams &params, bool &) {
            fill(params);
            if (TParam *p = params.FindParam(QStringLiteral("P_VARIPRECO")))
                p->setValue(variation ? QStringLiteral("S") : QStringLiteral("N"));
        };
        const qint64 before = statusValue("VmRSS");
        resetPeak();
        QElapsedTimer clock;
        clock.start();
        designer.SaveAs(nullptr, reportTitle, outFile);
        const double seconds = clock.nsecsElapsed() / 1e9;
        QTextStream(stdout) << seconds << ' ' << designer.lastRowCount() << ' ' << designer.lastPageCount() << ' '
                            << statusValue("VmHWM") << ' ' << before << Qt::endl;
        return 0;
    } catch (const ESuiteError &e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        return 1;
    }
}

QString createDatabase(const QString &dir, int lines)
{
    const QString file = QDir(dir).filePath(QStringLiteral("bench-%1.db").arg(lines));
    DemoOptions options;
    options.products = qMax(100, lines / 3);
    options.suppliers = 400;
    options.quotes = lines;
    DemoDb::createSqlite(file, options);
    // Every quote at the head office, so the whole table is the price list.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        db.setDatabaseName(file);
        if (!db.open())
            throw ESuiteError(QStringLiteral("Não foi possível abrir %1").arg(file));
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("UPDATE COTACAO SET CDFILIAL = '0001'")))
            throw ESuiteError(QStringLiteral("Não foi possível preparar a base de teste."));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return file;
}

struct Result
{
    int lines = 0;
    QString kind;
    double seconds = 0;
    qint64 rows = 0;
    int pages = 0;
    double peakMb = 0;
    double baseMb = 0;
};

QString br(double v, int decimals)
{
    return QString::number(v, 'f', decimals).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();

    if (args.size() == 5 && args.at(1) == QLatin1String("--case"))
        return runCase(args.at(2), args.at(3), args.at(4));

    QList<int> sizes{10000, 100000};
    QString keep;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--lines")) {
            sizes.clear();
            for (const QString &s : args.at(i + 1).split(QLatin1Char(',')))
                sizes << s.toInt();
        } else if (args.at(i) == QLatin1String("--keep")) {
            keep = args.at(i + 1);
        }
    }
    QTemporaryDir work;
    const QString outDir = keep.isEmpty() ? work.path() : keep;
    QDir().mkpath(outDir);

    const QStringList kinds{QStringLiteral("csv"), QStringLiteral("pdf"), QStringLiteral("xlsx"),
                            QStringLiteral("csv+var")};
    QList<Result> results;
    QTextStream out(stdout);
    for (int lines : sizes) {
        out << "Gerando a base com " << lines << " cotações..." << Qt::endl;
        QString db;
        try {
            db = createDatabase(work.path(), lines);
        } catch (const ESuiteError &e) {
            QTextStream(stderr) << e.message() << Qt::endl;
            return 1;
        }
        for (const QString &kind : kinds) {
            const QString ext = kind.section(QLatin1Char('+'), 0, 0);
            const QString file = QDir(outDir).filePath(QStringLiteral("LPR077-%1-%2.%3")
                                                           .arg(lines)
                                                           .arg(kind == QLatin1String("csv+var") ? QStringLiteral("var")
                                                                                                 : QStringLiteral("std"),
                                                                ext));
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--case"), kind, db, file});
            child.waitForFinished(-1);
            const QStringList f = QString::fromUtf8(child.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
            if (child.exitCode() != 0 || f.size() < 5) {
                QTextStream(stderr) << "Caso " << kind << " com " << lines << " linhas falhou." << Qt::endl;
                return 1;
            }
            Result r;
            r.lines = lines;
            r.kind = kind;
            r.seconds = f.at(0).toDouble();
            r.rows = f.at(1).toLongLong();
            r.pages = f.at(2).toInt();
            r.peakMb = f.at(3).toDouble() / 1024.0;
            r.baseMb = f.at(4).toDouble() / 1024.0;
            results << r;
            out << "  " << kind << ": " << br(r.seconds, 2) << " s" << Qt::endl;
        }
    }

    out << "\nLPR077 \"" << reportTitle << "\" em SQLite\n";
    out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
               .arg(QStringLiteral("linhas"), 8)
               .arg(QStringLiteral("saída"), -8)
               .arg(QStringLiteral("tempo (s)"), 10)
               .arg(QStringLiteral("linhas/s"), 10)
               .arg(QStringLiteral("páginas"), 8)
               .arg(QStringLiteral("RSS antes (MB)"), 15)
               .arg(QStringLiteral("pico (MB)"), 10);
    for (const Result &r : results)
        out << QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
                   .arg(r.rows, 8)
                   .arg(r.kind, -8)
                   .arg(br(r.seconds, 2), 10)
                   .arg(br(r.rows / qMax(r.seconds, 1e-9), 0), 10)
                   .arg(r.pages ? QString::number(r.pages) : QStringLiteral("-"), 8)
                   .arg(br(r.baseMb, 1), 15)
                   .arg(br(r.peakMb, 1), 10);

    // Targets: memory must not follow the rows (100k within 25% of 10k, the growth
    // of the run itself under 40 MB), and 100k lines must save in reasonable time.
    struct Target
    {
        const char *kind;
        double seconds;
    };
    const Target targets[] = {{"csv", 10}, {"pdf", 90}, {"xlsx", 20}, {"csv+var", 15}};
    if (sizes.size() >= 2) {
        out << "\nmedido x meta (" << sizes.first() << " x " << sizes.last() << " linhas)\n";
        bool ok = true;
        for (const Target &t : targets) {
            const Result *small = nullptr, *large = nullptr;
            for (const Result &r : results) {
                if (r.kind == QLatin1String(t.kind) && r.lines == sizes.first())
                    small = &r;
                if (r.kind == QLatin1String(t.kind) && r.lines == sizes.last())
                    large = &r;
            }
            if (!small || !large)
                continue;
            const double ratio = large->peakMb / small->peakMb;
            const double growth = large->peakMb - large->baseMb;
            const bool memOk = ratio <= 1.25 && growth < 40;
            const bool timeOk = large->seconds <= t.seconds;
            ok = ok && memOk && timeOk;
            out << QStringLiteral("  %1 pico %2/%3 = %4 (meta <= 1,25), crescimento %5 MB (meta < 40): %6;  "
                                  "tempo %7 s (meta <= %8 s): %9\n")
                       .arg(QLatin1String(t.kind), -8)
                       .arg(sizes.last())
                       .arg(sizes.first())
                       .arg(br(ratio, 2))
                       .arg(br(growth, 1))
                       .arg(memOk ? QStringLiteral("ok") : QStringLiteral("FORA"))
                       .arg(br(large->seconds, 1))
                       .arg(t.seconds)
                       .arg(timeOk ? QStringLiteral("ok") : QStringLiteral("FORA"));
        }
        out << (ok ? "Todas as metas atendidas.\n" : "Há metas não atendidas.\n");
    }
    if (!keep.isEmpty())
        out << "Arquivos gerados em " << QDir::toNativeSeparators(outDir) << "\n";
    return 0;
}
