// The screen's side of the supplier list, and its first activation, on demo databases of growing
// size, each beside its floor:
//
//   - the list: the time to receive its bytes from the server (a call that does not offer a kept
//     list, the server holding it built) against the time to load them into the screen's data set;
//   - the first activation (IniProc to the end of FormActivate) with a server started just before,
//     for a workstation without the list and for one that kept it, against what the activation
//     cannot do without: a client without a screen connecting to a server started just before
//     and receiving the list (or the server's "unchanged" and the kept list read), plus the
//     queries the activation runs, each measured alone here;
//   - the later activations, and the validation of the initial product on exit.
//
//   bench_activation [--quick] [--runs N]
#include "form/FormFixture.h"
#include "BenchUtil.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "PriceListServer.h"
#include "data/TADOIBQuery.h"
#include "TfrmListaPrecRel.h"
#include "controls/TMaskEdit.h"
#include "net/KeptReplies.h"
#include "net/TClientDataSet.h"
#include "net/TNetConnection.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

namespace {

using bench::median;
using bench::say;

struct Case
{
    QString name;
    int products;
    int suppliers;
    int quotes;
};

struct ListTimes
{
    qint64 bytes = 0;
    int rows = 0;
    double receiveMs = 0;
    double loadMs = 0;
    double connectMs = 0;
};

TNetConnection *connection(QObject *parent, bool keep)
{
    auto *net = new TNetConnection(parent);
    net->BeforeConnect = [](QObject *sender) {
        auto *n = static_cast<TNetConnection *>(sender);
        n->setHost(Session::current().serverHost);
        n->setPort(Session::current().serverPort);
    };
    PriceListServer::configure(*net); // the link the screen makes
    net->setKeepReply(QStringLiteral("GetFornecedor"), keep);
    return net;
}

// Connecting (TLS and hello) and receiving the whole list, each timed alone; the list is left
// in packet.
void receive(int runs, ListTimes &t, QByteArray &packet)
{
    QObject owner;
    std::vector<double> connects;
    std::vector<double> receives;
    for (int i = 0; i < runs + 1; ++i) {
        TNetConnection *net = connection(&owner, false);
        QElapsedTimer clock;
        clock.start();
        net->setConnected(true);
        connects.push_back(bench::msSince(clock));
        clock.restart();
        packet = net->call(QStringLiteral("GetFornecedor")).toByteArray();
        receives.push_back(bench::msSince(clock));
        delete net;
    }
    // The first of each warms what a workstation has warm when it opens the screen.
    connects.erase(connects.begin());
    receives.erase(receives.begin());
    t.connectMs = median(connects);
    t.receiveMs = median(receives);
    t.bytes = packet.size();
}

// The screen's own supplier data set loading the list, as the first activation does.
void load(TClientDataSet *cds, const QByteArray &packet, int runs, ListTimes &t)
{
    std::vector<double> times;
    for (int i = 0; i < runs + 1; ++i) {
        QElapsedTimer clock;
        clock.start();
        cds->setData(packet);
        if (i > 0)
            times.push_back(bench::msSince(clock));
    }
    t.loadMs = median(times);
    t.rows = cds->RecordCount();
}

// The queries of the first activation, alone, on an open screen.
double queriesMs(TfrmListaPrecRel *form, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs + 1; ++i) {
        QElapsedTimer clock;
        clock.start();
        for (const char *name : {"qryPrimProd", "qryUltiProd", "qryFilial"}) {
            auto *query = control<TADOIBQuery>(form, name);
            query->Close();
            query->Open();
            query->FieldByName(query->Fields(0).FieldName).AsString();
        }
        if (i > 0)
            times.push_back(bench::msSince(clock));
    }
    return median(times);
}

// One opening of the screen; the time from IniProc to the end of its first activation.
double activationMs(FormFixture &f)
{
    QElapsedTimer clock;
    clock.start();
    IniProc(QVariant::fromValue(nullptr));
    QApplication::processEvents();
    const double ms = bench::msSince(clock);
    f.close();
    return ms;
}

// A client without a screen against a server started just before: connecting and the call
// (the whole list received, or "unchanged" and the kept list read), nothing loaded.
double bareCallMs()
{
    QObject owner;
    TNetConnection *net = connection(&owner, true);
    QElapsedTimer clock;
    clock.start();
    net->setConnected(true);
    net->call(QStringLiteral("GetFornecedor"));
    return bench::msSince(clock);
}

struct FirstActivation
{
    double ms = 0;
    double floorMs = 0; // connecting and the call alone, each on a fresh server too
};

// First activations, each with a server started just before on the same port, beside the
// same connection and call made alone. kept: the workstation holds the list from the server
// before (a restart); otherwise it holds nothing.
FirstActivation freshServer(FormFixture &f, int runs, bool kept, int port)
{
    const QString folder = KeptReplies().folder();
    const auto restart = [&] {
        f.server->stop();
        if (!f.server->start(port))
            qFatal("Lpr07700 did not start");
        if (!kept)
            QDir(folder).removeRecursively();
    };
    std::vector<double> times;
    std::vector<double> floors;
    for (int i = 0; i < runs; ++i) {
        restart();
        floors.push_back(bareCallMs());
        restart();
        times.push_back(activationMs(f));
    }
    return {median(times), median(floors)};
}

double laterMs(FormFixture &f, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(activationMs(f));
    return median(times);
}

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
        times.push_back(bench::msSince(t));
    }
    f.close();
    return median(times);
}

QString ms(double v)
{
    return QString::number(v, 'f', 1);
}

QString ratio(double v, double floor)
{
    return floor > 0 ? QStringLiteral("%1×").arg(v / floor, 0, 'f', 2) : QStringLiteral("-");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    int runs = 20;
    if (const qsizetype at = app.arguments().indexOf(QStringLiteral("--runs")); at > 0)
        runs = qMax(1, app.arguments().value(at + 1).toInt());
    std::vector<Case> cases = {{QStringLiteral("1k produtos, 1k fornecedores"), 1000, 1000, 3000}};
    if (!quick)
        cases.push_back({QStringLiteral("1M produtos, 50k cotados"), 1000000, 63000, 200000});

    say(QStringLiteral("A lista de fornecedores na tela (mediana de %1): receber os bytes (piso: chamada sem "
                       "lista guardada, servidor com a lista pronta) e carregá-los no cdsFornecedor da tela; "
                       "meta carregar <= 2× receber")
            .arg(runs));
    say(QStringLiteral("Primeira ativação (IniProc até o fim de FormActivate), servidor recém-iniciado a cada vez, "
                       "mediana de 5; meta <= 150 ms com 1M/50k. Piso: um cliente sem tela contra um servidor "
                       "recém-iniciado (conectar e chamar GetFornecedor: a lista inteira, ou \"inalterada\" e a "
                       "lista guardada lida do disco), mais as consultas da ativação"));
    say(QString());
    for (const Case &c : cases) {
        DemoOptions o;
        o.products = c.products;
        o.suppliers = c.suppliers;
        o.quotes = c.quotes;
        FormFixture f(o, true, 10); // the server as installed: it keeps the list it built
        const int port = f.server->port();

        // Floors, and the load alone, on an open screen.
        IniProc(QVariant::fromValue(nullptr));
        QApplication::processEvents();
        TfrmListaPrecRel *form = frmListaPrecRel;
        ListTimes list;
        QByteArray packet;
        receive(runs, list, packet);
        load(control<TClientDataSet>(form, "cdsFornecedor"), packet, runs, list);
        const double queries = queriesMs(form, runs);
        f.close();
        // The same call answered "unchanged": the workstation reads the list it kept.
        double unchangedMs = 0;
        {
            QObject owner;
            TNetConnection *net = connection(&owner, true);
            net->call(QStringLiteral("GetFornecedor"));
            std::vector<double> times;
            for (int i = 0; i < runs; ++i) {
                QElapsedTimer clock;
                clock.start();
                net->call(QStringLiteral("GetFornecedor"));
                times.push_back(bench::msSince(clock));
            }
            unchangedMs = median(times);
        }

        const FirstActivation bare = freshServer(f, 5, false, port);
        const FirstActivation kept = freshServer(f, 5, true, port);
        const double later = laterMs(f, 5);
        const double validation = validationMs(f);
        const double floorBare = bare.floorMs + queries;
        const double floorKept = kept.floorMs + queries;
        const bool big = c.products >= 1000000;
        const auto target = [big](double v, double limit) {
            return !big ? QString() : v <= limit ? QStringLiteral(" (meta: OK)") : QStringLiteral(" (meta: ACIMA)");
        };

        say(QStringLiteral("== %1: %2 fornecedores, pacote de %3 bytes").arg(c.name).arg(list.rows).arg(list.bytes));
        say(QStringLiteral("  lista:      receber %1 ms | carregar %2 ms | carregar/receber %3%4")
                .arg(ms(list.receiveMs), ms(list.loadMs), ratio(list.loadMs, list.receiveMs),
                     target(list.loadMs, 2 * list.receiveMs)));
        say(QStringLiteral("  servidor em uso: conectar %1 ms, receber %2 ms (inalterada %3 ms); consultas da "
                           "ativação %4 ms")
                .arg(ms(list.connectMs), ms(list.receiveMs), ms(unchangedMs), ms(queries)));
        say(QStringLiteral("  1ª ativação, estação sem a lista: %1 ms | piso %2 ms | %3%4")
                .arg(ms(bare.ms), ms(floorBare), ratio(bare.ms, floorBare), target(bare.ms, 150)));
        say(QStringLiteral("  1ª ativação, estação com a lista: %1 ms | piso %2 ms | %3%4")
                .arg(ms(kept.ms), ms(floorKept), ratio(kept.ms, floorKept), target(kept.ms, 150)));
        say(QStringLiteral("  ativações seguintes (servidor já em uso, lista guardada): %1 ms; validação do produto "
                           "na saída: %2 ms (meta <= 2 ms)")
                .arg(ms(later))
                .arg(validation, 0, 'f', 3));
    }
    return 0;
}
