// bench_lookup: the lookup list over the product table and the multi-selection dialog
// over the quoted suppliers, timed as a person meets them: from the call until the first
// rows are painted, and from a key typed in the search line until the narrowed rows are
// painted.
//
//   bench_lookup [--products N] [--suppliers N] [--runs N] [--keep DIR]
//
// --keep DIR: generate the product database into DIR and reuse it on later runs.

#include "BenchUtil.h"
#include "controls/DialogDriver.h"
#include "data/Database.h"
#include "DemoDb.h"
#include "errors/EAbort.h"
#include "data/TADOIBQuery.h"
#include "data/TDataSet.h"
#include "controls/lookup/LookupDialog.h"
#include "controls/pick/MultiSelectDialog.h"
#include "controls/TMaskEdit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

using namespace bench;

// Paints the dialog now, as the screen would show it.
int paint(QDialog *d)
{
    auto *view = d->findChild<QAbstractItemView *>(QStringLiteral("grdLista"));
    d->repaint();
    view->viewport()->repaint();
    return view->model()->rowCount();
}

// The client data set of quoted suppliers, filled in memory.
class Suppliers : public TDataSet
{
public:
    explicit Suppliers(QObject *parent, int count) : TDataSet(parent)
    {
        AddField(QStringLiteral("CDFORNECED"), 21, QStringLiteral("Código"), 0, false);
        AddField(QStringLiteral("NMFORNECED"), 40, QStringLiteral("Nome"));
        AddField(QStringLiteral("IDTPIJURFORN"), 1, QStringLiteral("Pessoa"));
        TField &doc = AddField(QStringLiteral("NRINSJURFORN"), 14, QStringLiteral("Inscrição"));
        doc.OnGetText = [this](TField &, QString &text, bool) {
            const bool company = FieldByName(QStringLiteral("IDTPIJURFORN")).AsString() == QLatin1String("J");
            text = TMaskEdit::formatMasked(
                company ? QStringLiteral("99.999.999/9999-99;0;_") : QStringLiteral("999.999.999-99;0;_"), text);
        };
        static const char *const first[] = {"Comercial", "Distribuidora", "Atacado", "Indústria", "Mercantil"};
        static const char *const second[] = {"São João", "Boa Vista", "Três Irmãos", "Paraná", "Aurora", "Líder"};
        resetRows();
        beginData({QStringLiteral("CDFORNECED"), QStringLiteral("NMFORNECED"), QStringLiteral("IDTPIJURFORN"),
                   QStringLiteral("NRINSJURFORN")});
        for (int i = 0; i < count; ++i) {
            const bool company = i % 3 != 0;
            appendRow({QStringLiteral("%1").arg(i + 1, 21, 10, QLatin1Char('0')),
                       QStringLiteral("%1 %2 %3")
                           .arg(QString::fromUtf8(first[i % 5]), QString::fromUtf8(second[(i / 5) % 6]))
                           .arg(i),
                       company ? QStringLiteral("J") : QStringLiteral("F"),
                       company ? QStringLiteral("%1").arg(10000000000000LL + i * 7919LL, 14, 10, QLatin1Char('0'))
                               : QStringLiteral("%1").arg(10000000000LL + i * 7919LL, 11, 10, QLatin1Char('0'))});
        }
        endData();
        setActive(true);
    }
};

struct Row
{
    QString what;
    std::vector<double> samples;
    double target; // 0: no target, shown for information
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("products"), QStringLiteral("Products in the database."), QStringLiteral("N"),
                      QStringLiteral("1000000")});
    parser.addOption({QStringLiteral("suppliers"), QStringLiteral("Quoted suppliers in memory."), QStringLiteral("N"),
                      QStringLiteral("50000")});
    parser.addOption(
        {QStringLiteral("runs"), QStringLiteral("Runs per measure."), QStringLiteral("N"), QStringLiteral("7")});
    parser.addOption(
        {QStringLiteral("keep"), QStringLiteral("Folder to keep the database in."), QStringLiteral("DIR")});
    parser.process(app);
    const int products = parser.value(QStringLiteral("products")).toInt();
    const int suppliers = parser.value(QStringLiteral("suppliers")).toInt();
    const int runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());

    QTemporaryDir temp;
    const QString dir = parser.isSet(QStringLiteral("keep")) ? parser.value(QStringLiteral("keep")) : temp.path();
    QDir().mkpath(dir);
    const QString file = QDir(dir).filePath(QStringLiteral("lookup_%1.db").arg(products));
    try {
        if (!QFileInfo::exists(file)) {
            say(QStringLiteral("Gerando %1 produtos em %2 ...").arg(products).arg(file));
            QElapsedTimer t;
            t.start();
            DemoOptions options;
            options.products = products;
            options.quotes = 1000;
            DemoDb::createSqlite(file, options);
            say(QStringLiteral("  pronto em %1 s").arg(double(t.elapsed()) / 1000.0, 0, 'f', 1));
        }
        DbConfig config;
        config.database = file;
        dtmDBGeral::open(config);
    } catch (const ESuiteError &e) {
        say(e.message());
        return 1;
    }

    QObject owner;
    auto *query = new TADOIBQuery(&owner);
    // The screen's product list: with the folded name the schema keeps.
    query->SQL = QStringList{QStringLiteral("SELECT CDPRODUTO, CDARVPROD, NMPRODUTO, NMBUSCA FROM PRODUTO"),
                             QStringLiteral("ORDER BY CDARVPROD")};
    query->AddField(QStringLiteral("CDPRODUTO"), 10, QStringLiteral("Código"), 15, false);
    query->AddField(QStringLiteral("CDARVPROD"), 20, QStringLiteral("Código")).EditMask =
        QStringLiteral("99.999.9999;0; ");
    TField &productName = query->AddField(QStringLiteral("NMPRODUTO"), 50, QStringLiteral("Nome"));
    productName.SearchField = QStringLiteral("NMBUSCA");
    productName.SearchTable = QStringLiteral("PRODUTO_BUSCA");
    productName.SearchWords = QStringLiteral("PRODUTO_PALAVRA");
    productName.SearchVocabulary = QStringLiteral("PRODUTO_VOCABULO");
    query->AddField(QStringLiteral("NMBUSCA"), 50, QString(), 0, false);
    auto *source = new TDataSource(&owner, query);

    // A name prefix that exists, taken from the middle of the table.
    QString namePrefix = QStringLiteral("Arr");
    {
        QSqlQuery q(dtmDBGeral::dtbGeral());
        if (q.exec(QStringLiteral("SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = '%1'")
                       .arg(products / 2, 10, 10, QLatin1Char('0')))
            && q.next())
            namePrefix = q.value(0).toString().left(4).toLower(); // typed in small letters
    }

    // Texts a buyer types into the name search, key by key: a part of a brand spread over
    // the whole list, words at the start of names late in the alphabet, a part inside a
    // word, and one that matches nothing.
    const QStringList nameTexts = {namePrefix,
                                   QStringLiteral("camp"),
                                   QStringLiteral("suco de laranja"),
                                   QStringLiteral("ranja"),
                                   QStringLiteral("açúcar"),
                                   QStringLiteral("xyzq")};
    std::vector<double> open, codeKey, nameKey, page;
    int firstRows = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer t;
        whenDialogOpens(
            [&](QDialog *d) {
                firstRows = paint(d);
                open.push_back(msSince(t));
                auto *line = d->findChild<QLineEdit *>(QStringLiteral("edtPesquisa"));
                for (QChar c : QStringLiteral("0100")) {
                    QElapsedTimer k;
                    k.start();
                    QTest::keyClick(line, c.toLatin1());
                    paint(d);
                    codeKey.push_back(msSince(k));
                }
                d->findChild<QComboBox *>(QStringLiteral("cbbCampo"))->setCurrentIndex(1);
                for (const QString &text : nameTexts) {
                    line->clear();
                    for (QChar c : text) {
                        QElapsedTimer k;
                        k.start();
                        if (c.unicode() < 128)
                            QTest::keyClick(line, c.toLatin1());
                        else
                            QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, QString(c), Qt::NoModifier);
                        paint(d);
                        nameKey.push_back(msSince(k));
                    }
                }
                QTest::keyClick(line, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(line, Qt::Key_Backspace); // the whole list again
                auto *view = d->findChild<QAbstractItemView *>(QStringLiteral("grdLista"));
                for (int i = 0; i < 3; ++i) {
                    QElapsedTimer k;
                    k.start();
                    view->model()->fetchMore(QModelIndex());
                    paint(d);
                    page.push_back(msSince(k));
                }
                d->reject();
            },
            0);
        QString key;
        t.start();
        LookupDialog::run(nullptr, source, QStringLiteral("Produto"), QStringLiteral("CDARVPROD"), key);
    }

    Suppliers quoted(&owner, suppliers);
    TDataSource quotedSource(&owner, &quoted);
    std::vector<double> multiOpen, multiSearch, multiSearchLater, multiDigits;
    for (int run = 0; run < 2 * runs; ++run) {
        QElapsedTimer t;
        whenDialogOpens(
            [&](QDialog *d) {
                paint(d);
                multiOpen.push_back(msSince(t));
                auto *line = d->findChild<QLineEdit *>(QStringLiteral("edtPesquisa"));
                // Odd runs type at once; even runs give the list the half second a person
                // takes to look at it before typing.
                if (run % 2 == 0)
                    QTest::qWait(500);
                QElapsedTimer k;
                k.start();
                QTest::keyClick(line, 'v');
                paint(d);
                (run % 2 == 0 ? multiSearchLater : multiSearch).push_back(msSince(k));
                // A registration number typed without its punctuation, key by key.
                line->clear();
                for (QChar c : QStringLiteral("1000000")) {
                    QElapsedTimer n;
                    n.start();
                    QTest::keyClick(line, c.toLatin1());
                    paint(d);
                    multiDigits.push_back(msSince(n));
                }
                d->reject();
            },
            0);
        t.start();
        MultiSelectDialog::run(nullptr, &quotedSource, QStringLiteral("CDFORNECED"),
                               QStringLiteral("Fornecedor cotado"), {});
    }

    const QList<Row> rows = {
        {QStringLiteral("lookup: abrir até as primeiras linhas pintadas"), open, 100},
        {QStringLiteral("lookup: tecla no código (\"0100\"), lista estreitada"), codeKey, 30},
        {QStringLiteral("lookup: tecla no nome (%1 textos, parte do nome)").arg(nameTexts.size()), nameKey, 30},
        {QStringLiteral("lookup: próxima página ao rolar"), page, 0},
        {QStringLiteral("multi-seleção: abrir com %1 fornecedores").arg(suppliers), multiOpen, 100},
        {QStringLiteral("multi-seleção: 1a tecla logo ao abrir (dobra os textos)"), multiSearch, 0},
        {QStringLiteral("multi-seleção: 1a tecla meio segundo depois de abrir"), multiSearchLater, 30},
        {QStringLiteral("multi-seleção: tecla num CNPJ sem pontuação"), multiDigits, 30},
    };
    say(QString());
    say(QStringLiteral("bench_lookup: %1 produtos (SQLite), %2 fornecedores em memória, mediana de %3 execuções")
            .arg(products)
            .arg(suppliers)
            .arg(runs));
    say(QStringLiteral("%1 | %2 | %3 | %4 | %5")
            .arg(QStringLiteral("medida"), -62)
            .arg(QStringLiteral("mediana"), 8)
            .arg(QStringLiteral("pior"), 8)
            .arg(QStringLiteral("alvo"), 6)
            .arg(QStringLiteral("ok")));
    say(QString(99, QLatin1Char('-')));
    bool allOk = true;
    for (const Row &r : rows) {
        const double ms = median(r.samples);
        const bool ok = r.target <= 0 || ms <= r.target;
        allOk = allOk && ok;
        say(QStringLiteral("%1 | %2 | %3 | %4 | %5")
                .arg(r.what, -62)
                .arg(ms, 8, 'f', 2)
                .arg(worst(r.samples), 8, 'f', 2)
                .arg(r.target > 0 ? QString::number(r.target) : QStringLiteral("-"), 6)
                .arg(r.target > 0 ? (ok ? QStringLiteral("sim") : QStringLiteral("NÃO")) : QStringLiteral("")));
    }
    say(QStringLiteral("primeira página do lookup: %1 linhas; textos no nome: %2")
            .arg(firstRows)
            .arg(nameTexts.join(QStringLiteral(", "))));
    dtmDBGeral::close();
    return allOk ? 0 : 2;
}
