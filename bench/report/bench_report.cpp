// Price list LPR077 on SQLite, side by side in one run: the bare query (the report's own
// SQL with the same values, the text a run chooses, every column read to the end), the
// report saved as CSV, XLSX and PDF, LibreOffice converting the same CSV to PDF (when soffice is installed), and the
// preview's first page; and the PDF and CSV again with a logo in the page header and two
// conditional styles ("-estilo"), against the plain ones. Each case runs in a process of its own, so its peak memory
// (VmHWM) is its own. Ratios are what to read: the machines are shared and noisy.
//
//   bench_report [--lines 10000,100000,1000000] [--runs N] [--keep DIR] [--db FILE]
//   bench_report --case KIND DB OUT   (one case; prints "seconds rows pages firstRowSeconds peakKb cpuSeconds")
//   bench_report --plans ...          (the query's two texts before and after: PlanBench.cpp)

#include "PriceListParams.h"
#include "BenchUtil.h"
#include "PlanBench.h"
#include "data/Database.h"
#include "DemoDb.h"
#include "errors/EAbort.h"
#include "data/SqlBinding.h"
#include "report/PageStore.h"
#include "report/ReportDefinition.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "report/ui/ReportPreviewDialog.h"
#include "report/ui/ReportPreviewView.h"
#include "report/ReportRun.h"
#include "report/TReportDesignerDialog.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <functional>
#include <sys/resource.h>

namespace {

const QString reportTitle = QStringLiteral("Lista de Preços por Produto");

struct Options
{
    QList<int> sizes{10000, 100000};
    QString keep;
    QString db;           // an existing database instead of generated ones (one size)
    int runs = 1;         // each case this many times, the median kept
    QStringList caseArgs; // --case KIND DB OUT
};

Options parseOptions(const QStringList &args)
{
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--case") && i + 3 < args.size()) {
            o.caseArgs = args.mid(i + 1, 3);
            i += 3;
        } else if (a == QLatin1String("--lines") && hasValue) {
            o.sizes.clear();
            for (const QString &s : args.at(++i).split(QLatin1Char(',')))
                o.sizes << s.toInt();
        } else if (a == QLatin1String("--keep") && hasValue) {
            o.keep = args.at(++i);
        } else if (a == QLatin1String("--runs") && hasValue) {
            o.runs = qMax(1, args.at(++i).toInt());
        } else if (a == QLatin1String("--db") && hasValue) {
            o.db = args.at(++i);
        }
    }
    return o;
}

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

void fill(TParams &params)
{
    bench::fillPriceListParams(params);
}

struct CaseResult
{
    double seconds = 0;
    qint64 rows = 0;
    int pages = 0;
    double firstRow = 0; // seconds to the first row (bare query) or first page (preview)
};

// The report's SQL with the run's values, read to its end: the floor of every output.
CaseResult bareQuery()
{
    const ReportDefinition def =
        ReportDefinition::load(QDir(QString::fromUtf8(REPORTS_DIR)).filePath(QStringLiteral("LPR077-01-produto.json")));
    TParams params = def.collectParams(dtmDBGeral::dialect());
    fill(params);
    CaseResult r;
    QElapsedTimer clock;
    clock.start();
    // The text a run would read: with a long list, the definition's text for long lists.
    ReportRun run(def, params, dtmDBGeral::dialect(), dtmDBGeral::dtbGeral());
    const QString sql = run.queryText(dtmDBGeral::dtbGeral());
    QSqlQuery query(dtmDBGeral::dtbGeral());
    query.setForwardOnly(true);
    PreparedSql::prepare(sql, params, dtmDBGeral::dialect()).exec(query);
    const int fields = query.record().count();
    QVariant sink;
    while (query.next()) {
        if (r.rows == 0)
            r.firstRow = clock.nsecsElapsed() / 1e9;
        for (int i = 0; i < fields; ++i)
            sink = query.value(i);
        ++r.rows;
    }
    r.seconds = clock.nsecsElapsed() / 1e9;
    return r;
}

// Saves the list of a report folder (the shipped ones by default), timed from the command.
CaseResult saveAs(const QString &outFile, const QString &reportDir = QString::fromUtf8(REPORTS_DIR))
{
    TReportDesignerDialog designer;
    designer.ReportDir = reportDir;
    designer.ReportCode = QStringLiteral("LPR077");
    designer.Batch = true;
    designer.BeforeGetQueryParams = [](TParams &params, bool &) { fill(params); };
    CaseResult r;
    QElapsedTimer clock;
    clock.start();
    designer.SaveAs(nullptr, reportTitle, outFile);
    r.seconds = clock.nsecsElapsed() / 1e9;
    r.rows = designer.lastRowCount();
    r.pages = designer.lastPageCount();
    return r;
}

// The shipped list with a logo in each page's header and two conditional styles: rows
// whose price rose more than 10 % in red, an economic price under the list price in bold.
ReportDefinition styledDefinition()
{
    ReportDefinition def =
        ReportDefinition::load(QDir(QString::fromUtf8(REPORTS_DIR)).filePath(QStringLiteral("LPR077-01-produto.json")));
    QImage picture(480, 144, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x1F, 0x38, 0x64));
    painter.drawRoundedRect(QRectF(4, 4, 472, 136), 24, 24);
    painter.end();
    ReportElement logo;
    logo.kind = ReportElement::Kind::Image;
    logo.name = QStringLiteral("Logotipo");
    logo.width = 40;
    logo.height = 12;
    logo.mime = QStringLiteral("image/png");
    QBuffer buffer(&logo.image);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    def.pageHeader = ReportBand{13, {logo}};
    def.rowStyles = {ReportStyleRule{QStringLiteral("PCVARIACAO > 10"), QStringLiteral("#C00000"), {}, false}};
    for (ReportColumn &c : def.columns)
        if (c.field == QLatin1String("VRPRECOECON"))
            c.styles = {ReportStyleRule{QStringLiteral("VRPRECOECON < VRPRECO"), {}, {}, true}};
    return def;
}

CaseResult saveStyled(const QString &outFile)
{
    const QString dir = QFileInfo(outFile).absolutePath() + QStringLiteral("/estilo");
    QDir().mkpath(dir);
    styledDefinition().save(dir + QStringLiteral("/LPR077-01-produto.json"));
    return saveAs(outFile, dir);
}

// From the command to page 1 painted in the preview, the way the preview runs: the
// definition and its parameters, the query on its own thread, the layout into the page
// store, the dialog drawing the page. The run is cancelled once page 1 is on screen.
CaseResult previewFirstPage()
{
    TReportDesignerDialog designer;
    designer.ReportDir = QString::fromUtf8(REPORTS_DIR);
    designer.ReportCode = QStringLiteral("LPR077");
    QElapsedTimer clock;
    clock.start();
    const ReportDefinition def = designer.definition(reportTitle);
    TParams params = def.collectParams(dtmDBGeral::dialect());
    fill(params);
    ReportRun run(def, params, dtmDBGeral::dialect(), dtmDBGeral::dtbGeral());
    run.prepare();
    PageStore store;
    ReportLayout layout(store);
    ReportJob job(run, dtmDBGeral::config(), ReportLimits());
    job.start(layout);
    ReportPreviewDialog dialog(store, job, QStringLiteral("Visualizar"));
    dialog.resize(1400, 900);
    dialog.show();
    CaseResult r;
    while (dialog.currentPage() < 1 && !job.isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    dialog.view()->viewport()->grab(); // paints page 1
    r.firstRow = clock.nsecsElapsed() / 1e9;
    r.pages = store.pageCount();
    r.rows = job.rows();
    dialog.reject();
    while (!job.isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    r.seconds = r.firstRow;
    return r;
}

int runCase(const QStringList &args)
{
    const QString kind = args.at(0), dbFile = args.at(1), outFile = args.at(2);
    try {
        DbConfig config;
        config.database = dbFile;
        dtmDBGeral::open(config);
        const CaseResult r = kind == QLatin1String("query")     ? bareQuery()
                             : kind == QLatin1String("preview") ? previewFirstPage()
                             : kind.endsWith(QLatin1String("-estilo")) ? saveStyled(outFile)
                                                                : saveAs(outFile);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double cpu =
            usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        QTextStream(stdout) << r.seconds << ' ' << r.rows << ' ' << r.pages << ' ' << r.firstRow << ' '
                            << statusValue("VmHWM") << ' ' << cpu << Qt::endl;
        return 0;
    } catch (const ESuiteError &e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        return 1;
    }
}

QString createDatabase(const QString &dir, int lines)
{
    const QString file = QDir(dir).filePath(QStringLiteral("bench-%1.db").arg(lines));
    if (QFileInfo::exists(file))
        return file;
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

struct Row
{
    int lines = 0;
    QString kind;
    CaseResult r;
    double peakMb = 0;
    double cpu = 0;
    bool missing = false;
};

// LibreOffice converting the CSV of the same run to PDF: what a person would do without
// the report engine (no groups, totals or page headers).
Row libreOffice(int lines, const QString &csv, const QString &outDir)
{
    Row row;
    row.lines = lines;
    row.kind = QStringLiteral("soffice");
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty() || !QFileInfo::exists(csv)) {
        row.missing = true;
        return row;
    }
    QTemporaryDir profile;
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(soffice, {QStringLiteral("-env:UserInstallation=file://") + profile.path(), QStringLiteral("--headless"),
                      QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"), outDir, csv});
    p.waitForFinished(-1);
    row.r.seconds = clock.nsecsElapsed() / 1e9;
    row.r.rows = lines;
    row.missing = p.exitCode() != 0;
    return row;
}

QString br(double v, int decimals)
{
    return QString::number(v, 'f', decimals).replace(QLatin1Char('.'), QLatin1Char(','));
}

void printTable(const QList<Row> &rows)
{
    QTextStream out(stdout);
    out << "\nLPR077 \"" << reportTitle << "\" em SQLite (consulta = a SQL do relatório lida até o fim)\n";
    out << QStringLiteral("%1  %2 %3 %4 %5 %6 %7 %8 %9\n")
               .arg(QStringLiteral("linhas"), 8)
               .arg(QStringLiteral("saída"), -8)
               .arg(QStringLiteral("tempo (s)"), 10)
               .arg(QStringLiteral("linhas/s"), 10)
               .arg(QStringLiteral("x consulta"), 10)
               .arg(QStringLiteral("x LibreOffice"), 13)
               .arg(QStringLiteral("páginas"), 8)
               .arg(QStringLiteral("1ª linha (s)"), 12) // preview: to page 1 painted
               .arg(QStringLiteral("pico (MB)"), 10);
    for (const Row &row : rows) {
        auto sameSize = [&](const char *kind) -> const Row * {
            for (const Row &o : rows)
                if (o.lines == row.lines && o.kind == QLatin1String(kind) && !o.missing)
                    return &o;
            return nullptr;
        };
        if (row.kind == QLatin1String("preview")) {
            const Row *query = sameSize("query");
            out << QStringLiteral("%1  %2 %3 %4 %5 %6 %7 %8 %9\n")
                       .arg(row.lines, 8)
                       .arg(QStringLiteral("visual."), -8)
                       .arg(br(row.r.firstRow, 3), 10)
                       .arg(QStringLiteral("-"), 10)
                       .arg(query ? br(row.r.firstRow / query->r.firstRow, 2) : QStringLiteral("-"), 10)
                       .arg(QStringLiteral("-"), 13)
                       .arg(QStringLiteral("-"), 8)
                       .arg(br(row.r.firstRow, 3), 12)
                       .arg(br(row.peakMb, 1), 10);
            continue;
        }
        if (row.missing) {
            out << QStringLiteral("%1  %2 %3\n")
                       .arg(row.lines, 8)
                       .arg(row.kind, -8)
                       .arg(QStringLiteral("(soffice não instalado)"));
            continue;
        }
        const Row *query = sameSize("query");
        const Row *office = sameSize("soffice");
        const bool isOffice = row.kind == QLatin1String("soffice");
        out << QStringLiteral("%1  %2 %3 %4 %5 %6 %7 %8 %9\n")
                   .arg(row.lines, 8)
                   .arg(row.kind, -8)
                   .arg(br(row.r.seconds, 2), 10)
                   .arg(br(row.r.rows / qMax(row.r.seconds, 1e-9), 0), 10)
                   .arg(query ? br(row.r.seconds / query->r.seconds, 2) : QStringLiteral("-"), 10)
                   .arg(office && !isOffice ? br(row.r.seconds / office->r.seconds, 3) : QStringLiteral("-"), 13)
                   .arg(row.r.pages ? QString::number(row.r.pages) : QStringLiteral("-"), 8)
                   .arg(row.r.firstRow > 0 ? br(row.r.firstRow, 3) : QStringLiteral("-"), 12)
                   .arg(isOffice ? QStringLiteral("-") : br(row.peakMb, 1), 10);
    }
}

// One case in a process of its own.
bool runChild(const QString &kind, const QString &db, const QString &file, int lines, Row &row)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--case"), kind, db, file});
    child.waitForFinished(-1);
    const QStringList f = QString::fromUtf8(child.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
    if (child.exitCode() != 0 || f.size() < 6) {
        QTextStream(stderr) << "Caso " << kind << " com " << lines << " linhas falhou." << Qt::endl;
        return false;
    }
    row.lines = lines;
    row.kind = kind;
    row.r = {f.at(0).toDouble(), f.at(1).toLongLong(), f.at(2).toInt(), f.at(3).toDouble()};
    row.peakMb = f.at(4).toDouble() / 1024.0;
    row.cpu = f.at(5).toDouble();
    return true;
}

int run(const Options &options)
{
    QTemporaryDir work;
    const QString outDir = options.keep.isEmpty() ? work.path() : options.keep;
    QDir().mkpath(outDir);
    const QStringList kinds{QStringLiteral("query"), QStringLiteral("csv"), QStringLiteral("xlsx"),
                            QStringLiteral("pdf"), QStringLiteral("preview"), QStringLiteral("csv-estilo"),
                            QStringLiteral("pdf-estilo")};
    QList<Row> rows;
    for (int lines : options.sizes) {
        QString db = options.db;
        if (db.isEmpty()) {
            bench::say(QStringLiteral("Gerando a base com %1 cotações...").arg(lines));
            try {
                db = createDatabase(options.keep.isEmpty() ? work.path() : options.keep, lines);
            } catch (const ESuiteError &e) {
                QTextStream(stderr) << e.message() << Qt::endl;
                return 1;
            }
        }
        for (const QString &kind : kinds) {
            const QString file = QDir(outDir).filePath(
                kind.endsWith(QLatin1String("-estilo"))
                    ? QStringLiteral("LPR077-%1-estilo.%2").arg(lines).arg(kind.section(QLatin1Char('-'), 0, 0))
                    : QStringLiteral("LPR077-%1.%2").arg(lines).arg(kind));
            QList<Row> tries;
            for (int run = 0; run < options.runs; ++run) {
                Row row;
                if (!runChild(kind, db, file, lines, row))
                    return 1;
                tries << row;
            }
            std::sort(tries.begin(), tries.end(), [](const Row &a, const Row &b) {
                return a.r.seconds + a.r.firstRow < b.r.seconds + b.r.firstRow;
            });
            const Row &row = tries.at(tries.size() / 2);
            rows << row;
            bench::say(QStringLiteral("  %1: %2 s").arg(kind, br(row.r.seconds, 2)));
        }
        rows << libreOffice(lines, QDir(outDir).filePath(QStringLiteral("LPR077-%1.csv").arg(lines)), outDir);
    }
    printTable(rows);
    QTextStream out(stdout);
    out << "\nCom logotipo e dois estilos condicionais (-estilo) contra a lista como é entregue:\n";
    for (const Row &styled : rows) {
        if (!styled.kind.endsWith(QLatin1String("-estilo")))
            continue;
        for (const Row &plain : rows)
            if (plain.lines == styled.lines && plain.kind == styled.kind.section(QLatin1Char('-'), 0, 0))
                out << QStringLiteral("%1  %2 %3 s / %4 s = %5x\n")
                           .arg(styled.lines, 8)
                           .arg(plain.kind, -4)
                           .arg(br(styled.r.seconds, 2), br(plain.r.seconds, 2), br(styled.r.seconds / plain.r.seconds, 2));
    }
    out << "\nMetas: PDF >= 50.000 linhas/s e <= 3x a consulta; PDF >= 10x mais rápido que o LibreOffice; CSV <= 1,5x "
           "e XLSX <= 3x a consulta; pico <= 80 MB com 1M linhas; com logotipo e estilos <= 1,1x a lista como é "
           "entregue.\n";
    if (!options.keep.isEmpty())
        out << "Arquivos gerados em " << QDir::toNativeSeparators(outDir) << "\n";
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args.at(1) == QLatin1String("--plan-case"))
        return PlanBench::runCase(args.mid(2));
    if (args.contains(QStringLiteral("--plans")))
        return PlanBench::run(args);
    const Options options = parseOptions(args);
    if (!options.caseArgs.isEmpty())
        return runCase(options.caseArgs);
    return run(options);
}
