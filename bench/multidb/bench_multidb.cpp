// bench_multidb: the screen's database work on SQLite, PostgreSQL and Firebird side by
// side, over the same demo data, SQLite being the baseline of the ratios.
//
//   bench_multidb [--quick | --full] [--products N] [--branches N] [--suppliers N]
//                 [--quotes N] [--runs N] [--pdf-lines N]
//
// Sizes: --quick the test data (300 products); default 50k products, 1k branches, 10k
// suppliers, 250k quotes; --full 1M products, 5k branches, 50k suppliers, 5M quotes
// (loading takes minutes). The servers are those of LPR_SERVERS_ENV when set, otherwise
// the benchmark starts its own with scripts/dbservers.sh and stops them at the end.
// Then the price list by product of branch 0001, about --pdf-lines lines (100k by
// default), is saved as PDF on each, timed once.

#include "BenchUtil.h"
#include "FormControls.h"
#include "data/Database.h"
#include "DbServers.h"
#include "DemoDb.h"
#include "errors/EAbort.h"
#include "app/Session.h"
#include "data/TADOIBQuery.h"
#include "TfrmListaPrecRel.h"
#include "controls/lookup/LookupSqlModel.h"
#include "rdmConsListaPreco.h"
#include "report/TReportDesignerDialog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

using namespace bench;

// Median time of one call, after one call that warms the caches (its time in *first).
double timeMs(int runs, const std::function<void(int)> &call, double *first = nullptr)
{
    QElapsedTimer warm;
    warm.start();
    call(0);
    if (first)
        *first = warm.nsecsElapsed() / 1e6;
    std::vector<double> times;
    for (int i = 1; i <= runs; ++i) {
        QElapsedTimer t;
        t.start();
        call(i);
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    return median(times);
}

struct Measure
{
    const char *name;
    double targetMs;
};

// What a person waits for: leaving the branch or a product code, opening the screen
// (supplier list), and a page of the product lookup.
constexpr Measure kMeasures[] = {
    {"validação da filial", 20},          {"validação do produto", 20},         {"GetFornecedor", 60},
    {"pesquisa: abrir (1ª página)", 100}, {"pesquisa: página seguinte", 100},   {"pesquisa: tecla no código", 30},
    {"pesquisa: tecla no nome", 30},      {"pesquisa: pior tecla no nome", 30},
};

// What a buyer types into the product search, one key at a time: a code's start; a part
// of a brand spread over the whole list, words at the start of names late in the
// alphabet, a part inside a word, accents, and a text that matches nothing.
const QStringList kCodeTyped = {QStringLiteral("0100")};
const QStringList kNameTyped = {QStringLiteral("camp"), QStringLiteral("suco de laranja"), QStringLiteral("ranja"),
                                QStringLiteral("açúcar"), QStringLiteral("xyzq")};

// The time of each key: the search run again with the text typed so far; slowest, the
// text typed when the slowest key came.
std::vector<double> perKey(LookupSqlModel &model, const QString &field, const QStringList &texts,
                           QString *slowest = nullptr)
{
    std::vector<double> times;
    for (const QString &text : texts)
        for (int n = 1; n <= text.size(); ++n) {
            QElapsedTimer t;
            t.start();
            model.search(field, text.left(n));
            times.push_back(t.nsecsElapsed() / 1e6);
            if (slowest && times.back() >= worst(times))
                *slowest = text.left(n);
        }
    return times;
}
constexpr int kMeasureCount = int(std::size(kMeasures));

// Servers of this run: the caller's, or our own.
class Servers
{
public:
    Servers()
    {
        if (!DbServers::environmentFile().isEmpty()) {
            m_servers = DbServers::fromEnvironment();
            return;
        }
        m_dir.emplace(QStringLiteral("/tmp/lprbench-XXXXXX"));
        // The servers run as their own system users: they must reach the folder.
        QFile::setPermissions(m_dir->path(), QFile::permissions(m_dir->path()) | QFileDevice::ExeGroup
                                                 | QFileDevice::ReadGroup | QFileDevice::ExeOther
                                                 | QFileDevice::ReadOther);
        m_script = QString::fromLocal8Bit(qgetenv("SUITE_SOURCE_DIR"));
        if (m_script.isEmpty())
            m_script = QStringLiteral(LPR_SOURCE_DIR);
        m_script += QStringLiteral("/scripts/dbservers.sh");
        m_serversDir = m_dir->path() + QStringLiteral("/srv");
        run(QStringLiteral("start"));
        m_servers = DbServers::fromFile(m_serversDir + QStringLiteral("/servers.env"));
    }
    ~Servers()
    {
        if (!m_serversDir.isEmpty())
            run(QStringLiteral("stop"));
    }
    const DbServers &get() const { return *m_servers; }

private:
    void run(const QString &action)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QStringLiteral("bash"), {m_script, action, m_serversDir});
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            throw EDatabaseError(QStringLiteral("scripts/dbservers.sh %1 falhou: %2")
                                     .arg(action, QString::fromUtf8(p.readAllStandardOutput()).trimmed()));
    }

    std::optional<QTemporaryDir> m_dir;
    QString m_script;
    QString m_serversDir;
    std::optional<DbServers> m_servers;
};

struct Result
{
    double loadSeconds = 0;
    double ms[kMeasureCount] = {};
    double firstSupplierMs = 0; // first GetFornecedor of a fresh connection
    bool skipped = false;       // left out by --only
    QString slowestKey;         // the text typed when the slowest name key came
    double pdfSeconds = 0;
    qint64 pdfRows = 0;
    int pdfPages = 0;
    QString error;
};

// The product range whose quotes of branch 0001 (its own centre) make about `lines`
// lines of the price list over the whole validity range: the last code of the range.
QString rangeEnd(qint64 lines)
{
    QSqlQuery q(dtmDBGeral::dtbGeral());
    if (!q.exec(
            QStringLiteral("SELECT P.CDARVPROD, COUNT(*) FROM COTACAO C JOIN PRODUTO P ON P.CDPRODUTO = C.CDPRODUTO "
                           "WHERE C.CDFILIAL = '0001' GROUP BY P.CDARVPROD ORDER BY P.CDARVPROD")))
        throw EDatabaseError(q.lastError().text());
    qint64 total = 0;
    QString last = QStringLiteral("ZZZZZZZZZZ");
    while (q.next()) {
        total += q.value(1).toLongLong();
        last = q.value(0).toString();
        if (total >= lines)
            break;
    }
    return last;
}

// The price list by product of branch 0001 saved as PDF, as the screen asks for it.
void savePriceListPdf(const QString &file, const QString &lastProduct, Result &r)
{
    TReportDesignerDialog designer;
    designer.Batch = true;
    QString source = QString::fromLocal8Bit(qgetenv("SUITE_SOURCE_DIR"));
    if (source.isEmpty())
        source = QStringLiteral(LPR_SOURCE_DIR);
    designer.ReportDir = source + QStringLiteral("/reports");
    designer.ReportCode = QStringLiteral("LPR077");
    designer.BeforeGetQueryParams = [&](TParams &params, bool &) {
        const QList<QPair<const char *, QVariant>> values = {
            {"P_CDFILIAL", QStringLiteral("0001")}, {"P_CDFILCENTCMP", QStringLiteral("0001")},
            {"P_CDREGIAO", QStringLiteral("001")},  {"P_CDPRODINI", QString()},
            {"P_CDPRODFIN", lastProduct},           {"L_LISTAOPER", QStringLiteral("T")},
            {"L_LISTAOPER1", QStringLiteral("T")},  {"L_LISTAFORNE", QStringLiteral("T")},
            {"L_LISTAFORNE1", QStringLiteral("T")}, {"P_DTINI", QDate(2000, 1, 1)},
            {"P_DTFIN", QDate(2099, 12, 31)},       {"P_SISTEMA", QStringLiteral("CMP")},
            {"P_VARIPRECO", QStringLiteral("S")},   {"P_ORDPI", QStringLiteral("N")},
            {"P_TODOSPROD", QStringLiteral("T")}};
        for (const auto &[name, value] : values) {
            TParam *p = params.FindParam(QLatin1String(name));
            if (!p)
                continue;
            if (value.metaType().id() == QMetaType::QDate)
                p->setAsDate(value.toDate());
            else
                p->setAsString(value.toString());
        }
    };
    QElapsedTimer t;
    t.start();
    designer.SaveAs(nullptr, QStringLiteral("Lista de Preços por Produto"), file);
    r.pdfSeconds = t.elapsed() / 1000.0;
    r.pdfRows = designer.lastRowCount();
    r.pdfPages = designer.lastPageCount();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Consultas da tela em SQLite, PostgreSQL e Firebird, lado a lado."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("quick"), QStringLiteral("Tamanho dos testes (300 produtos).")},
        {QStringLiteral("full"), QStringLiteral("1M produtos, 5k filiais, 50k fornecedores, 5M cotações.")},
        {QStringLiteral("products"), QStringLiteral("Número de produtos."), QStringLiteral("n")},
        {QStringLiteral("branches"), QStringLiteral("Número de filiais."), QStringLiteral("n")},
        {QStringLiteral("suppliers"), QStringLiteral("Número de fornecedores."), QStringLiteral("n")},
        {QStringLiteral("quotes"), QStringLiteral("Número de cotações."), QStringLiteral("n")},
        {QStringLiteral("runs"), QStringLiteral("Medições por consulta (mediana)."), QStringLiteral("n"),
         QStringLiteral("15")},
        {QStringLiteral("only"), QStringLiteral("Só este banco: sqlite, postgresql ou firebird."),
         QStringLiteral("banco")},
        {QStringLiteral("pdf-lines"), QStringLiteral("Linhas da lista de preços salva em PDF (0: não salva)."),
         QStringLiteral("n"), QStringLiteral("100000")},
    });
    parser.process(app);

    DemoOptions o;
    if (parser.isSet(QStringLiteral("full"))) {
        o.products = 1000000;
        o.branches = 5000;
        o.suppliers = 50000;
        o.quotes = 5000000;
    } else if (!parser.isSet(QStringLiteral("quick"))) {
        o.products = 50000;
        o.branches = 1000;
        o.suppliers = 10000;
        o.quotes = 250000;
    }
    const struct
    {
        const char *flag;
        int *value;
    } sizes[] = {
        {"products", &o.products}, {"branches", &o.branches}, {"suppliers", &o.suppliers}, {"quotes", &o.quotes}};
    for (const auto &s : sizes) {
        if (!parser.isSet(QLatin1String(s.flag)))
            continue;
        bool ok = false;
        const int v = parser.value(QLatin1String(s.flag)).toInt(&ok);
        if (!ok || v < 0) {
            say(QStringLiteral("Valor inválido para --%1. Informe um número inteiro não negativo.")
                    .arg(QLatin1String(s.flag)));
            return 2;
        }
        *s.value = v;
    }
    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());
    const qint64 pdfLines = qMax(0LL, parser.value(QStringLiteral("pdf-lines")).toLongLong());
    QString lastProduct; // the same product range on every database
    o.buyers = qMin(o.buyers, o.operators);

    say(QStringLiteral("Base: %1 produtos, %2 filiais, %3 fornecedores, %4 cotações; mediana de %5 medições.")
            .arg(o.products)
            .arg(o.branches)
            .arg(o.suppliers)
            .arg(o.quotes)
            .arg(runs));

    const SqlDialect dialects[] = {SqlDialect::SQLite, SqlDialect::PostgreSQL, SqlDialect::Firebird};
    Result results[3];
    QStringList branches;
    QStringList products;
    try {
        Servers servers;
        QTemporaryDir dir;
        const QString name = QStringLiteral("lpr_bench%1").arg(QCoreApplication::applicationPid());
        const QString only = parser.value(QStringLiteral("only")).toLower();
        for (int d = 0; d < 3; ++d) {
            const SqlDialect dialect = dialects[d];
            Result &r = results[d];
            if (!only.isEmpty() && dialectName(dialect).toLower() != only) {
                r.skipped = true;
                continue;
            }
            DbConfig reader;
            QElapsedTimer load;
            load.start();
            try {
                if (dialect == SqlDialect::SQLite) {
                    reader.database = dir.filePath(QStringLiteral("bench.db"));
                    DemoDb::createSqlite(reader.database, o);
                } else {
                    const DbServers &s = servers.get();
                    s.dropDatabase(dialect, name);
                    s.createDatabase(dialect, name);
                    {
                        QSqlDatabase owner =
                            dtmDBGeral::openConnection(s.owner(dialect, name), QStringLiteral("benchLoad"), false);
                        DemoDb::build(owner, dialect, o);
                        DemoDb::grantReadOnly(owner, dialect, s.readerUser(dialect));
                        owner.close();
                    }
                    QSqlDatabase::removeDatabase(QStringLiteral("benchLoad"));
                    reader = s.reader(dialect, name);
                }
                r.loadSeconds = load.elapsed() / 1000.0;
                say(QStringLiteral("  %1 carregada em %2 s").arg(dialectName(dialect)).arg(r.loadSeconds, 0, 'f', 1));

                Session::current().db = reader;
                dtmDBGeral::open(reader);
                if (branches.isEmpty()) {
                    // The same codes on every database: spread over the whole table.
                    QSqlQuery q(dtmDBGeral::dtbGeral());
                    q.exec(QStringLiteral("SELECT CDFILIAL FROM FILIAL ORDER BY CDFILIAL"));
                    QStringList all;
                    while (q.next())
                        all << q.value(0).toString();
                    for (int i = 0; i < runs + 1 && !all.isEmpty(); ++i)
                        branches << all.at(qsizetype(i) * 7919 % all.size());
                    q.exec(QStringLiteral("SELECT CDARVPROD FROM PRODUTO ORDER BY CDARVPROD"));
                    QStringList codes;
                    while (q.next())
                        codes << q.value(0).toString();
                    for (int i = 0; i < runs + 1 && !codes.isEmpty(); ++i)
                        products << codes.at(qsizetype(i) * 104729 % codes.size());
                }

                { // everything holding the connection goes before it closes
                    TfrmListaPrecRel form;
                    r.ms[0] = timeMs(runs, [&](int i) {
                        TADOIBQuery *q = control<TADOIBQuery>(&form, "qryFilial");
                        q->Close();
                        q->ParamByName(QStringLiteral("P_FILIAL")).setValue(branches.value(i));
                        q->ParamByName(QStringLiteral("P_TODAS")).setValue(QString(QLatin1String("")));
                        q->Open();
                        q->FieldByName(QStringLiteral("NMFILIAL")).AsString();
                    });
                    r.ms[1] = timeMs(runs, [&](int i) {
                        TADOIBQuery *q = control<TADOIBQuery>(&form, "qryVdProduto");
                        q->Close();
                        q->ParamByName(QStringLiteral("P_CDPRODUTO")).setValue(products.value(i));
                        q->Open();
                        q->FieldByName(QStringLiteral("NMPRODUTO")).AsString();
                    });
                    rdmConsListaPreco rdm(QString::fromLatin1(dtmDBGeral::connectionName()));
                    rdm.setCacheTime(0);
                    r.ms[2] = timeMs(
                        qMin(runs, 5), [&](int) { rdm.GetFornecedor(); }, &r.firstSupplierMs);

                    QVector<LookupModel::Column> columns;
                    for (const char *field : {"CDARVPROD", "NMPRODUTO"}) {
                        LookupModel::Column c;
                        c.field = &control<TADOIBQuery>(&form, "qryProduto")->FieldByName(QLatin1String(field));
                        c.name = QLatin1String(field);
                        columns << c;
                    }
                    LookupSqlModel model(control<TADOIBQuery>(&form, "qryProduto"), columns,
                                         QStringLiteral("CDARVPROD"), &app);
                    r.ms[3] = timeMs(runs, [&](int) { model.search(QStringLiteral("NMPRODUTO"), QString()); });
                    r.ms[4] = timeMs(runs, [&](int) {
                        if (!model.canFetchMore(QModelIndex()))
                            model.search(QStringLiteral("NMPRODUTO"), QString());
                        model.fetchMore(QModelIndex());
                    });
                    perKey(model, QStringLiteral("NMPRODUTO"), kNameTyped); // warms the caches
                    r.ms[5] = median(perKey(model, QStringLiteral("CDARVPROD"), kCodeTyped));
                    const std::vector<double> nameKeys =
                        perKey(model, QStringLiteral("NMPRODUTO"), kNameTyped, &r.slowestKey);
                    r.ms[6] = median(nameKeys);
                    r.ms[7] = worst(nameKeys);
                }
                if (pdfLines > 0) {
                    if (lastProduct.isEmpty())
                        lastProduct = rangeEnd(pdfLines);
                    savePriceListPdf(dir.filePath(QStringLiteral("lista.pdf")), lastProduct, r);
                    say(QStringLiteral("  %1: lista em PDF, %2 linhas, %3 páginas, %4 s")
                            .arg(dialectName(dialect))
                            .arg(r.pdfRows)
                            .arg(r.pdfPages)
                            .arg(r.pdfSeconds, 0, 'f', 1));
                }
                dtmDBGeral::close();
                if (dialect != SqlDialect::SQLite)
                    servers.get().dropDatabase(dialect, name);
            } catch (const ESuiteError &e) {
                r.error = e.message();
                say(QStringLiteral("  %1: %2").arg(dialectName(dialect), e.message()));
                dtmDBGeral::close();
            }
        }
    } catch (const ESuiteError &e) {
        say(e.message());
        return 1;
    }

    auto cell = [&](int d, int m) {
        const Result &r = results[d];
        if (r.skipped)
            return QStringLiteral("-").rightJustified(18);
        if (!r.error.isEmpty())
            return QStringLiteral("erro").rightJustified(18);
        QString text = QString::number(r.ms[m], 'f', 2) + QStringLiteral(" ms");
        if (d > 0 && !results[0].skipped && results[0].error.isEmpty() && results[0].ms[m] > 0)
            text += QStringLiteral(" (%1x)").arg(r.ms[m] / results[0].ms[m], 0, 'f', 1);
        return text.rightJustified(18);
    };
    say(QString());
    say(QStringLiteral("%1 %2 %3 %4 %5")
            .arg(QStringLiteral("consulta").leftJustified(26), QStringLiteral("SQLite").rightJustified(18),
                 QStringLiteral("PostgreSQL").rightJustified(18), QStringLiteral("Firebird").rightJustified(18),
                 QStringLiteral("meta")));
    bool allMet = true;
    for (int m = 0; m < kMeasureCount; ++m) {
        bool met = true;
        for (const Result &r : results)
            met = met && (r.skipped || (r.error.isEmpty() && r.ms[m] <= kMeasures[m].targetMs));
        allMet = allMet && met;
        say(QStringLiteral("%1 %2 %3 %4 <= %5 ms: %6")
                .arg(QString::fromUtf8(kMeasures[m].name).leftJustified(26), cell(0, m), cell(1, m), cell(2, m))
                .arg(kMeasures[m].targetMs)
                .arg(met ? QStringLiteral("OK") : QStringLiteral("ACIMA")));
    }
    say(QStringLiteral("%1 %2 %3 %4")
            .arg(QStringLiteral("carga da base (s)").leftJustified(26))
            .arg(results[0].loadSeconds, 18, 'f', 1)
            .arg(results[1].loadSeconds, 18, 'f', 1)
            .arg(results[2].loadSeconds, 18, 'f', 1));
    say(QStringLiteral("%1 %2 %3 %4")
            .arg(QStringLiteral("GetFornecedor, 1ª chamada").leftJustified(26))
            .arg(QString::number(results[0].firstSupplierMs, 'f', 2).rightJustified(15) + QStringLiteral(" ms"))
            .arg(QString::number(results[1].firstSupplierMs, 'f', 2).rightJustified(15) + QStringLiteral(" ms"))
            .arg(QString::number(results[2].firstSupplierMs, 'f', 2).rightJustified(15) + QStringLiteral(" ms")));
    if (pdfLines > 0)
        say(QStringLiteral("%1 %2 %3 %4")
                .arg(QStringLiteral("lista em PDF (s)").leftJustified(26))
                .arg(results[0].pdfSeconds, 18, 'f', 1)
                .arg(results[1].pdfSeconds, 18, 'f', 1)
                .arg(results[2].pdfSeconds, 18, 'f', 1));
    say(QStringLiteral("%1 %2 %3 %4")
            .arg(QStringLiteral("pior tecla: texto digitado").leftJustified(26))
            .arg(QLatin1Char('"') + results[0].slowestKey + QLatin1Char('"'), 18)
            .arg(QLatin1Char('"') + results[1].slowestKey + QLatin1Char('"'), 18)
            .arg(QLatin1Char('"') + results[2].slowestKey + QLatin1Char('"'), 18));
    say(QStringLiteral("(entre parênteses: vezes o tempo do SQLite; no nome digitou-se, tecla a tecla: %1)")
            .arg(kNameTyped.join(QStringLiteral(", "))));
    return allMet ? 0 : 1;
}
