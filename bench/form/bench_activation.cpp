// Time from IniProc to the end of the screen's first activation (server call, first and last
// product, branch, dates), on demo databases of growing size. Baseline: the small database.
#include "form/FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "TfrmListaPrecRel.h"
#include "controls/TMaskEdit.h"
#include "net/TClientDataSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>

namespace {

struct Row
{
    QString name;
    int products;
    int suppliers;
    int quotes;
};

// One validation of the initial product on exit: the focus leaves the edit for the next one.
double validationMs(FormFixture &f)
{
    IniProc(QVariant::fromValue(nullptr));
    QApplication::processEvents();
    TfrmListaPrecRel *form = frmListaPrecRel;
    auto *initial = control<TMaskEdit>(form, "medCdProdIni");
    auto *next = control<TMaskEdit>(form, "medCdProdFin");
    std::vector<double> times;
    for (int i = 0; i < 200; ++i) {
        FormFixture::focus(initial);
        QElapsedTimer t;
        t.start();
        FormFixture::focus(next); // leaving the edit validates it
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    f.close();
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double medianMs(FormFixture &f, int runs, int &suppliers)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        IniProc(QVariant::fromValue(nullptr));
        QApplication::processEvents();
        times.push_back(t.nsecsElapsed() / 1e6);
        suppliers = control<TClientDataSet>(frmListaPrecRel, "cdsFornecedor")->RecordCount();
        f.close();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    std::vector<Row> rows = {{QStringLiteral("1k produtos, 1k fornecedores"), 1000, 1000, 3000}};
    if (!quick)
        rows.push_back({QStringLiteral("1M produtos, 50k cotados"), 1000000, 63000, 200000});

    QTextStream out(stdout);
    out << "Primeira ativação (IniProc até o fim de FormActivate), mediana de 5; meta <= 150 ms com 1M/50k\n";
    out << "  fria: o servidor monta a lista a cada chamada; pronta: o servidor como é instalado (lista mantida)\n";
    out << "Validação do produto na saída: o foco deixa o produto inicial pelo final, mediana de 200; meta <= 2 ms\n";
    out << qSetFieldWidth(34) << Qt::left << "base" << qSetFieldWidth(14) << "cotados"
        << "fria ms"
        << "x base"
        << "pronta ms"
        << "validação ms" << qSetFieldWidth(0) << "\n";
    double baseline = 0;
    for (const Row &r : rows) {
        DemoOptions o;
        o.products = r.products;
        o.suppliers = r.suppliers;
        o.quotes = r.quotes;
        FormFixture f(o);
        int quoted = 0;
        const double ms = medianMs(f, 5, quoted);
        const double vd = validationMs(f);
        f.server->stop();
        ServerProcess installed(f.env, 10);
        if (!installed.start())
            qFatal("Lpr07700 did not start");
        const double warm = medianMs(f, 5, quoted);
        if (baseline == 0)
            baseline = ms;
        out << qSetFieldWidth(34) << r.name << qSetFieldWidth(14) << quoted << QString::number(ms, 'f', 1)
            << QString::number(ms / baseline, 'f', 2) << QString::number(warm, 'f', 1) << QString::number(vd, 'f', 3)
            << qSetFieldWidth(0) << "\n";
        out.flush();
    }
    return 0;
}
