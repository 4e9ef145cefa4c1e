// The designer's live preview, side by side with its floor: after a property change (a
// column's width, the heading, a style's colour), how long until page 1 of the changed
// report is painted beside the page, with the previous run cancelled; and the first row of
// the bare query, which no preview can beat. On the demo database and on one where a
// branch has N lines (every quote at the head office). Median and worst of --changes
// changes, each shown before the next is made, for each shipped definition. Also the
// designer's opening: from the command until the window is painted, and until the live
// preview shows page 1.
//
//   bench_designer [--lines 1000000] [--changes 10] [--keep DIR]

#include "PriceListParams.h"
#include "BenchUtil.h"
#include "DemoDb.h"
#include "data/Database.h"
#include "data/SqlBinding.h"
#include "errors/EAbort.h"
#include "report/ReportDefinition.h"
#include "report/TReportDesignerDialog.h"
#include "report/designer/ReportDesignerWindow.h"
#include "report/designer/ReportLivePreview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <vector>

namespace {

const QStringList definitions = {QStringLiteral("LPR077-01-produto.json"), QStringLiteral("LPR077-02-fornecedor.json"),
                                 QStringLiteral("LPR077-03-logotipo.json")};

void fill(TParams &params)
{
    bench::fillPriceListParams(params);
}

// The i-th change an author makes: a column a bit wider, the heading, a style's colour.
void change(ReportDefinition &d, int i)
{
    switch (i % 3) {
    case 0: d.columns[3].width += 1; break;
    case 1: d.heading = QStringLiteral("Lista alterada %1").arg(i); break;
    case 2:
        d.rowStyles = {ReportStyleRule{QStringLiteral("VRPRECOECON < VRPRECO"),
                                       i % 2 ? QStringLiteral("#1F4E79") : QStringLiteral("#C00000"),
                                       {},
                                       false}};
        break;
    }
}

double firstRowMs(const ReportDefinition &d, const TParams &params)
{
    QElapsedTimer clock;
    clock.start();
    QSqlQuery query(dtmDBGeral::dtbGeral());
    query.setForwardOnly(true);
    PreparedSql::prepare(d.sqlFor(dtmDBGeral::dialect()), params, dtmDBGeral::dialect()).exec(query);
    query.next();
    return clock.nsecsElapsed() / 1e6;
}

struct Result
{
    QString database, definition;
    double floorMs = 0, coldMs = 0, medianMs = 0, worstMs = 0;
    double openMs = 0, openPreviewMs = 0; // the designer's window painted; with its page 1
    int cancelled = 0;
};

// Opens the designer on the definition as "Editar" does, and closes it again.
void measureOpen(Result &r, const QString &file)
{
    TReportDesignerDialog designer;
    designer.ReportDir = QString::fromUtf8(REPORTS_DIR);
    designer.BeforeGetQueryParams = [](TParams &params, bool &) { fill(params); };
    QElapsedTimer clock;
    clock.start();
    ReportDesignerWindow *w = designer.Design(nullptr, QDir(designer.ReportDir).filePath(file));
    QSignalSpy shown(w->preview(), &ReportLivePreview::pageShown);
    QSignalSpy failed(w->preview(), &ReportLivePreview::failed);
    QCoreApplication::processEvents();
    w->grab();
    r.openMs = clock.nsecsElapsed() / 1e6;
    while (shown.isEmpty() && failed.isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    w->preview()->grab();
    r.openPreviewMs = clock.nsecsElapsed() / 1e6;
    delete w;
}

Result measure(const QString &database, const QString &file, int changes)
{
    ReportDefinition d = ReportDefinition::load(QDir(QString::fromUtf8(REPORTS_DIR)).filePath(file));
    TParams params = d.collectParams(dtmDBGeral::dialect());
    fill(params);
    Result r{database, d.title};
    r.floorMs = firstRowMs(d, params);
    ReportLivePreview preview;
    preview.resize(900, 700);
    preview.show();
    QSignalSpy shown(&preview, &ReportLivePreview::pageShown);
    QSignalSpy failed(&preview, &ReportLivePreview::failed);
    const auto showOnce = [&]() -> double {
        QElapsedTimer clock;
        clock.start();
        preview.setDefinition(d, params);
        const qsizetype before = shown.count();
        while (shown.count() == before && failed.isEmpty())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!failed.isEmpty())
            throw ESuiteError(failed.first().first().toString());
        preview.grab(); // painted
        return clock.nsecsElapsed() / 1e6;
    };
    r.coldMs = showOnce();
    std::vector<double> times;
    for (int i = 0; i < changes; ++i) {
        change(d, i);
        times.push_back(showOnce());
    }
    r.medianMs = bench::median(times);
    r.worstMs = bench::worst(times);
    r.cancelled = preview.runsCancelled();
    measureOpen(r, file);
    return r;
}

QString branchDatabase(const QString &dir, int lines)
{
    const QString file = QDir(dir).filePath(QStringLiteral("designer-%1.db").arg(lines));
    if (QFileInfo::exists(file))
        return file;
    DemoOptions options;
    options.products = qMax(100, lines / 3);
    options.suppliers = 400;
    options.quotes = lines;
    DemoDb::createSqlite(file, options);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
    db.setDatabaseName(file);
    if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("UPDATE COTACAO SET CDFILIAL = '0001'")))
        throw ESuiteError(QStringLiteral("Não foi possível preparar a base de teste %1.").arg(file));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return file;
}

QString demoDatabase(const QString &dir)
{
    const QString file = QDir(dir).filePath(QStringLiteral("designer-demo.db"));
    if (!QFileInfo::exists(file))
        DemoDb::createSqlite(file, DemoOptions());
    return file;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int lines = 1000000, changes = 10;
    QString keep;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--lines"))
            lines = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--changes"))
            changes = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--keep"))
            keep = args.at(i + 1);
    }
    QTemporaryDir temp;
    const QString dir = keep.isEmpty() ? temp.path() : keep;
    QDir().mkpath(dir);
    try {
        QList<Result> results;
        bench::say(QStringLiteral("banco | relatório | 1ª linha da consulta ms | 1ª página fria ms | após mudança "
                                  "mediana ms | pior ms | mediana/1ª linha | execuções canceladas | designer aberto ms "
                                  "| designer com a página 1 ms"));
        const QList<std::pair<QString, QString>> databases = {
            {QStringLiteral("demonstração"), demoDatabase(dir)},
            {QStringLiteral("%1 linhas na filial").arg(lines), branchDatabase(dir, lines)}};
        for (const auto &[name, file] : databases) {
            DbConfig config;
            config.database = file;
            dtmDBGeral::open(config);
            for (const QString &definition : definitions) {
                results << measure(name, definition, changes);
                const Result &r = results.constLast();
                bench::say(QStringLiteral("%1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 | %10")
                               .arg(r.database, r.definition)
                               .arg(r.floorMs, 0, 'f', 0)
                               .arg(r.coldMs, 0, 'f', 0)
                               .arg(r.medianMs, 0, 'f', 0)
                               .arg(r.worstMs, 0, 'f', 0)
                               .arg(r.medianMs / std::max(1.0, r.floorMs), 0, 'f', 2)
                               .arg(r.cancelled)
                               .arg(r.openMs, 0, 'f', 0)
                               .arg(r.openPreviewMs, 0, 'f', 0));
            }
            dtmDBGeral::close();
        }
    } catch (const ESuiteError &e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        return 1;
    }
    return 0;
}
