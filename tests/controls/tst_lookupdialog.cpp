#include "DialogDriver.h"
#include "MemoryDataSet.h"
#include "data/TADOIBQuery.h"
#include "TestEnv.h"
#include "controls/lookup/LookupDialog.h"
#include "controls/lookup/LookupSqlModel.h"
#include "text/TextFold.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>
#include <QTableView>

// The lookup list over a query on the demo database (read in pages) and over a data
// set in memory, driven from the keyboard.
namespace {
const int kEqualNames = 900;
}

class tst_LookupDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void pickByCodePrefix_data();
    void pickByCodePrefix();
    void pickByNamePart_data();
    void pickByNamePart();
    void namesInReadingOrder();
    void trigramTableAgreesWithTheColumn_data();
    void trigramTableAgreesWithTheColumn();
    void smallListReadWhole();
    void digitSwitchesToCode();
    void keyboardAlone_data();
    void keyboardAlone();
    void escapeCancels();
    void enterOnEmptyListPicksNothing();
    void scrollingReadsFurtherPages_data();
    void scrollingReadsFurtherPages();
    void pageStatementsUseIndex_data();
    void pageStatementsUseIndex();
    void memoryDataSet_data();
    void memoryDataSet();

private:
    // Opens the product lookup, runs script on it and returns what run() returned.
    bool runLookup(TDataSource *source, const QString &keyField, QString &key,
                   const std::function<void(QDialog *)> &script);

    std::unique_ptr<TestEnv> m_env;
    QObject *m_owner = nullptr;
    TADOIBQuery *m_query = nullptr;
    TDataSource *m_source = nullptr;
};

void tst_LookupDialog::initTestCase()
{
    m_env = std::make_unique<TestEnv>();
    // Codes and names a list must carry faithfully: quotes, commas, accents, and a run
    // of equal names that spans more than one page.
    const QList<QStringList> extra = {
        {"X000000001", "Z'01", "Água D'Ouro, garrafa"},
        {"X000000002", "Z,02", "ÂNCORA NÁUTICA, 5 KG"},
        {"X000000003", "ZÇÃO", "Pãozinho Zeta \"mineiro\""},
    };
    QSqlDatabase db = m_env->writable();
    QVERIFY(db.transaction());
    for (const QStringList &row : extra)
        m_env->exec(QStringLiteral("INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD, NMPRODUTO) VALUES (?, ?, ?)"),
                    {row.at(0), row.at(1), row.at(2)});
    for (int i = 0; i < kEqualNames; ++i)
        m_env->exec(QStringLiteral("INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD, NMPRODUTO) VALUES (?, ?, ?)"),
                    {QStringLiteral("Y%1").arg(i, 9, 10, QLatin1Char('0')),
                     QStringLiteral("Y%1").arg(i, 5, 10, QLatin1Char('0')), QStringLiteral("Mesmo nome")});
    QVERIFY(db.commit());
    m_env->reopen();
}

void tst_LookupDialog::cleanupTestCase()
{
    m_env.reset();
}

void tst_LookupDialog::init()
{
    m_owner = new QObject;
    m_query = new TADOIBQuery(m_owner);
    // The screen's product list, with the folded name the schema keeps.
    m_query->SQL = QStringList{QStringLiteral("SELECT CDPRODUTO, CDARVPROD, NMPRODUTO, NMBUSCA FROM PRODUTO"),
                               QStringLiteral("ORDER BY CDARVPROD")};
    m_query->AddField(QStringLiteral("CDPRODUTO"), 10, QStringLiteral("Código"), 15, false);
    m_query->AddField(QStringLiteral("CDARVPROD"), 20, QStringLiteral("Código")).EditMask =
        QStringLiteral("99.999.9999;0; ");
    TField &name = m_query->AddField(QStringLiteral("NMPRODUTO"), 50, QStringLiteral("Nome"));
    name.SearchField = QStringLiteral("NMBUSCA");
    name.SearchTable = QStringLiteral("PRODUTO_BUSCA");
    name.SearchWords = QStringLiteral("PRODUTO_PALAVRA");
    name.SearchVocabulary = QStringLiteral("PRODUTO_VOCABULO");
    m_query->AddField(QStringLiteral("NMBUSCA"), 50, QString(), 0, false);
    m_source = new TDataSource(m_owner, m_query);
}

void tst_LookupDialog::cleanup()
{
    delete m_owner;
    m_owner = nullptr;
}

bool tst_LookupDialog::runLookup(TDataSource *source, const QString &keyField, QString &key,
                                 const std::function<void(QDialog *)> &script)
{
    whenDialogOpens(script);
    return LookupDialog::run(nullptr, source, QStringLiteral("Produto"), keyField, key);
}

namespace {
QLineEdit *searchLine(QDialog *d)
{
    return d->findChild<QLineEdit *>(QStringLiteral("edtPesquisa"));
}
QTableView *grid(QDialog *d)
{
    return d->findChild<QTableView *>(QStringLiteral("grdLista"));
}
} // namespace

void tst_LookupDialog::pickByCodePrefix_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("downs");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::newRow("quote in the code") << "Z'" << 0 << "Z'01"
                                       << "Água D'Ouro, garrafa";
    QTest::newRow("comma in the code") << "Z," << 0 << "Z,02"
                                       << "ÂNCORA NÁUTICA, 5 KG";
    QTest::newRow("accent in the code") << "ZÇ" << 0 << "ZÇÃO"
                                        << "Pãozinho Zeta \"mineiro\"";
    QTest::newRow("second of a prefix") << "Z" << 1 << "Z,02"
                                        << "ÂNCORA NÁUTICA, 5 KG";
    // The mask's literals typed by the person are not part of the stored code.
    QTest::newRow("typed with literals") << "01.001.000" << 0 << "010010001"
                                         << "";
}

void tst_LookupDialog::pickByCodePrefix()
{
    QFETCH(QString, typed);
    QFETCH(int, downs);
    QFETCH(QString, key);
    QFETCH(QString, name);
    QString chosen;
    const bool picked = runLookup(m_source, QStringLiteral("CDARVPROD"), chosen, [&](QDialog *d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Produto"));
        typeText(searchLine(d), typed);
        for (int i = 0; i < downs; ++i)
            QTest::keyClick(searchLine(d), Qt::Key_Down);
        QTest::keyClick(searchLine(d), Qt::Key_Return);
    });
    QVERIFY(picked);
    QCOMPARE(chosen, key);
    // The data set is positioned on the chosen row.
    QCOMPARE(m_query->FieldByName(QStringLiteral("CDARVPROD")).AsString(), key);
    if (!name.isEmpty())
        QCOMPARE(m_query->FieldByName(QStringLiteral("NMPRODUTO")).AsString(), name);
}

void tst_LookupDialog::pickByNamePart_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("key");
    QTest::newRow("as stored") << "Água D'"
                               << "Z'01";
    QTest::newRow("inside the name, no accents") << "d'ouro, gar"
                                                 << "Z'01";
    QTest::newRow("small letters, stored in capitals") << "nautica, 5"
                                                       << "Z,02";
    QTest::newRow("a quote inside") << "zeta \"mi"
                                    << "ZÇÃO";
    QTest::newRow("blanks around and between") << "  pãozinho   zeta "
                                               << "ZÇÃO";
}

void tst_LookupDialog::pickByNamePart()
{
    QFETCH(QString, typed);
    QFETCH(QString, key);
    QString chosen;
    const bool picked = runLookup(m_source, QStringLiteral("CDARVPROD"), chosen, [&](QDialog *d) {
        auto *by = d->findChild<QComboBox *>(QStringLiteral("cbbCampo"));
        by->setCurrentIndex(1); // "Nome"
        typeText(searchLine(d), typed);
        QCOMPARE(grid(d)->model()->rowCount(), 1);
        QTest::keyClick(searchLine(d), Qt::Key_Return);
    });
    QVERIFY(picked);
    QCOMPARE(chosen, key);
}

void tst_LookupDialog::namesInReadingOrder()
{
    QString key;
    runLookup(m_source, QStringLiteral("CDARVPROD"), key, [&](QDialog *d) {
        d->findChild<QComboBox *>(QStringLiteral("cbbCampo"))->setCurrentIndex(1);
        QAbstractItemModel *model = grid(d)->model();
        while (model->canFetchMore(QModelIndex()))
            model->fetchMore(QModelIndex());
        QStringList folded;
        int agua = -1, firstB = -1;
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString name = model->index(r, 1).data().toString();
            folded << TextFold::fold(name);
            if (name.startsWith(QStringLiteral("Água D'Ouro")))
                agua = r;
            if (firstB < 0 && folded.constLast().startsWith(QLatin1Char('b')))
                firstB = r;
        }
        QStringList sorted = folded;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(folded, sorted);
        // "Água" among the A's, not after the Z's.
        QVERIFY(agua >= 0 && firstB > agua);
    });
}

void tst_LookupDialog::trigramTableAgreesWithTheColumn_data()
{
    QTest::addColumn<QString>("typed");
    // One or two characters find the names that start with them.
    QTest::newRow("one letter") << "a";
    QTest::newRow("two letters") << "Pã";
    QTest::newRow("a word's start") << "acu";
    QTest::newRow("inside a word") << "ranja";
    QTest::newRow("words") << "suco de laranja";
    QTest::newRow("equal names, and rows written after the load") << "mesmo";
    QTest::newRow("written after the load") << "d'ouro";
    QTest::newRow("nothing") << "xyzq";
}

void tst_LookupDialog::trigramTableAgreesWithTheColumn()
{
    QFETCH(QString, typed);
    // Every row, in order, read through the trigram table and its pages ...
    LookupSqlModel model(m_query, {}, QStringLiteral("CDARVPROD"), m_owner);
    model.search(QStringLiteral("NMPRODUTO"), typed);
    while (model.canFetchMore(QModelIndex()))
        model.fetchMore(QModelIndex());
    QStringList keys;
    for (int r = 0; r < model.rowCount(); ++r)
        keys << model.keyValue(r).toString();
    // ... are the rows whose folded name holds the text, in the folded order.
    const QString part = TextFold::fold(typed);
    QSqlQuery q(m_query->database());
    QVERIFY(q.prepare(
        QStringLiteral("SELECT CDARVPROD FROM PRODUTO WHERE instr(NMBUSCA, ?) %1 ORDER BY NMBUSCA, CDARVPROD")
            .arg(part.size() < LookupSqlModel::minPartLength ? QStringLiteral("= 1") : QStringLiteral("> 0"))));
    q.addBindValue(part);
    QVERIFY(q.exec());
    QStringList expected;
    while (q.next())
        expected << q.value(0).toString();
    QCOMPARE(keys, expected);
}

void tst_LookupDialog::smallListReadWhole()
{
    // A query without a folded name, small enough: read whole and searched in memory.
    auto *branches = new TADOIBQuery(m_owner);
    branches->SQL = QStringList{QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY CDFILIAL")};
    branches->AddField(QStringLiteral("CDFILIAL"), 4, QStringLiteral("Código"));
    branches->AddField(QStringLiteral("NMFILIAL"), 30, QStringLiteral("Nome"));
    TDataSource source(m_owner, branches);
    QString chosen;
    QStringList found;
    const bool picked = runLookup(&source, QStringLiteral("CDFILIAL"), chosen, [&](QDialog *d) {
        QVERIFY(!qobject_cast<LookupSqlModel *>(grid(d)->model()));
        d->findChild<QComboBox *>(QStringLiteral("cbbCampo"))->setCurrentIndex(1);
        typeText(searchLine(d), QStringLiteral("camp"));
        for (int r = 0; r < grid(d)->model()->rowCount(); ++r)
            found << grid(d)->model()->index(r, 1).data().toString();
        QTest::keyClick(searchLine(d), Qt::Key_Return);
    });
    QVERIFY(picked);
    QCOMPARE(found, (QStringList{"Central de Compras Campinas", "Filial Campinas", "Loja Campinas"}));
    QCOMPARE(chosen, QStringLiteral("0006"));
}

void tst_LookupDialog::digitSwitchesToCode()
{
    m_source->setProperty("pesqChave", false); // opens searching by name
    QString chosen;
    runLookup(m_source, QStringLiteral("CDARVPROD"), chosen, [&](QDialog *d) {
        auto *by = d->findChild<QComboBox *>(QStringLiteral("cbbCampo"));
        QCOMPARE(by->currentText(), QStringLiteral("Nome"));
        QTest::keyClicks(searchLine(d), QStringLiteral("01"));
        QCOMPARE(by->currentText(), QStringLiteral("Código"));
        QVERIFY(grid(d)->model()->rowCount() > 0);
        const QString first = grid(d)->model()->index(0, 0).data().toString();
        QVERIFY2(first.startsWith(QLatin1String("01.")), qPrintable(first)); // shown under the mask
        QTest::keyClick(searchLine(d), Qt::Key_Escape);
    });
}

// What a person does with the keyboard alone: a name typed while the list searches codes,
// the Código/Nome switch reached by Tab, and the list opened on a code far down the list.
void tst_LookupDialog::keyboardAlone_data()
{
    QTest::addColumn<QString>("current"); // the code in the edit when the list opens
    QTest::addColumn<QString>("keys");    // typed; "\t" is Tab, "v" after a Tab is Down
    QTest::addColumn<QString>("searchBy");
    QTest::addColumn<QString>("picked");
    QTest::newRow("a name on the code search") << ""
                                               << "d'ouro"
                                               << "Nome"
                                               << "Z'01";
    QTest::newRow("the switch by Tab") << ""
                                       << "\tv"
                                       << "Nome"
                                       << "";
    QTest::newRow("a code still searches codes") << ""
                                                 << "Z,"
                                                 << "Código"
                                                 << "Z,02";
    QTest::newRow("opens on a code past the first page") << "Y00899"
                                                         << ""
                                                         << "Código"
                                                         << "Y00899";
    QTest::newRow("opens on a code with a quote, near the end") << "Z'01"
                                                                << ""
                                                                << "Código"
                                                                << "Z'01";
}

void tst_LookupDialog::keyboardAlone()
{
    QFETCH(QString, current);
    QFETCH(QString, keys);
    QFETCH(QString, searchBy);
    QFETCH(QString, picked);
    QString key = current;
    QString shownBy;
    const bool chosen = runLookup(m_source, QStringLiteral("CDARVPROD"), key, [&](QDialog *d) {
        auto *by = d->findChild<QComboBox *>(QStringLiteral("cbbCampo"));
        if (keys.startsWith(QLatin1Char('\t'))) {
            QTest::keyClick(searchLine(d), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), by);
            QTest::keyClick(by, Qt::Key_Down);
            shownBy = by->currentText();
            return; // left open: cancelled
        }
        typeText(searchLine(d), keys);
        shownBy = by->currentText();
        QTest::keyClick(searchLine(d), Qt::Key_Return);
    });
    QCOMPARE(shownBy, searchBy);
    QCOMPARE(chosen, !picked.isEmpty());
    if (chosen)
        QCOMPARE(key, picked);
}

void tst_LookupDialog::escapeCancels()
{
    QString key = QStringLiteral("antes");
    const bool picked = runLookup(m_source, QStringLiteral("CDARVPROD"), key, [](QDialog *d) {
        QTest::keyClicks(searchLine(d), QStringLiteral("Z"));
        QTest::keyClick(searchLine(d), Qt::Key_Escape);
    });
    QVERIFY(!picked);
    QCOMPARE(key, QStringLiteral("antes"));
}

void tst_LookupDialog::enterOnEmptyListPicksNothing()
{
    QString key;
    const bool picked = runLookup(m_source, QStringLiteral("CDARVPROD"), key, [](QDialog *d) {
        QTest::keyClicks(searchLine(d), QStringLiteral("ZZZ"));
        QCOMPARE(grid(d)->model()->rowCount(), 0);
        QVERIFY(d->findChild<QWidget *>(QStringLiteral("lblVazio"))->isVisible());
        QTest::keyClick(searchLine(d), Qt::Key_Return);
        QVERIFY(d->isVisible()); // still open: nothing to choose
    });
    QVERIFY(!picked);
}

void tst_LookupDialog::scrollingReadsFurtherPages_data()
{
    QTest::addColumn<int>("byName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("expected");
    QTest::newRow("by code, whole table") << 0 << "" << 300 + 3 + kEqualNames;
    QTest::newRow("by code, prefix") << 0 << "Y" << kEqualNames;
    // Equal names over several pages: the pages continue by code inside the same name.
    QTest::newRow("by name, equal names") << 1 << "Mesmo" << kEqualNames;
}

void tst_LookupDialog::scrollingReadsFurtherPages()
{
    QFETCH(int, byName);
    QFETCH(QString, typed);
    QFETCH(int, expected);
    QString key;
    runLookup(m_source, QStringLiteral("CDARVPROD"), key, [&](QDialog *d) {
        d->findChild<QComboBox *>(QStringLiteral("cbbCampo"))->setCurrentIndex(byName);
        typeText(searchLine(d), typed);
        QAbstractItemModel *model = grid(d)->model();
        // Only the first page is read until the person scrolls.
        QCOMPARE(model->rowCount(), LookupSqlModel::firstPage);
        QVERIFY(model->canFetchMore(QModelIndex()));
        for (int i = 0; i < 100 && model->canFetchMore(QModelIndex()); ++i)
            QTest::keyClick(searchLine(d), Qt::Key_PageDown);
        QCOMPARE(model->rowCount(), expected);
        QStringList keys;
        for (int r = 0; r < model->rowCount(); ++r)
            keys << static_cast<LookupSqlModel *>(model)->keyValue(r).toString();
        QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), expected); // no row twice
        QStringList sorted = keys;
        std::sort(sorted.begin(), sorted.end());
        if (!byName)
            QCOMPARE(keys, sorted);
    });
}

void tst_LookupDialog::pageStatementsUseIndex_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("prefix");
    QTest::addColumn<bool>("continuation");
    for (const char *field : {"CDARVPROD", "NMPRODUTO"})
        for (int p = 0; p < 2; ++p)
            for (int c = 0; c < 2; ++c)
                QTest::addRow("%s%s%s", field, p ? " prefix" : "", c ? " continued" : "")
                    << QString::fromLatin1(field) << bool(p) << bool(c);
}

void tst_LookupDialog::pageStatementsUseIndex()
{
    QFETCH(QString, field);
    QFETCH(bool, prefix);
    QFETCH(bool, continuation);
    LookupSqlModel model(m_query, {}, QStringLiteral("CDARVPROD"), m_owner);
    QString sql = model.pageSql(field, prefix, continuation, 100);
    sql.replace(QRegularExpression(QStringLiteral(":LK__\\w+")), QStringLiteral("'A'"));
    QSqlQuery plan(m_query->database());
    QVERIFY2(plan.exec(QStringLiteral("EXPLAIN QUERY PLAN ") + sql), qPrintable(sql));
    QStringList steps;
    while (plan.next())
        steps << plan.value(3).toString();
    const QString all = steps.join(QLatin1String(" | "));
    QVERIFY2(all.contains(QLatin1String("USING INDEX")) || all.contains(QLatin1String("USING COVERING INDEX")),
             qPrintable(all));
    for (const QString &step : steps) // walking an index in order is fine; the table is not
        QVERIFY2(!(step.startsWith(QLatin1String("SCAN")) && !step.contains(QLatin1String("INDEX"))), qPrintable(all));
    QVERIFY2(!all.contains(QLatin1String("TEMP B-TREE FOR ORDER BY")), qPrintable(all));
}

void tst_LookupDialog::memoryDataSet_data()
{
    QTest::addColumn<int>("byName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("key");
    QTest::newRow("code with quote") << 0 << "b'"
                                     << "B'2";
    QTest::newRow("name without accents or case") << 1 << "joao"
                                                  << "C,3";
    QTest::newRow("name with accents") << 1 << "ÁRVORE"
                                       << "A\"1";
}

void tst_LookupDialog::memoryDataSet()
{
    QFETCH(int, byName);
    QFETCH(QString, typed);
    QFETCH(QString, key);
    auto *data = new MemoryDataSet(m_owner);
    data->AddField(QStringLiteral("CDFORNECED"), 21, QStringLiteral("Código"));
    data->AddField(QStringLiteral("NMFORNECED"), 40, QStringLiteral("Nome"));
    data->load({QStringLiteral("CDFORNECED"), QStringLiteral("NMFORNECED")},
               {{QStringLiteral("A\"1"), QStringLiteral("Árvore Verde Ltda")},
                {QStringLiteral("B'2"), QStringLiteral("Beta Comércio")},
                {QStringLiteral("C,3"), QStringLiteral("JOÃO DA SILVA")}});
    TDataSource source(m_owner, data);
    QString chosen;
    const bool picked = runLookup(&source, QString(), chosen, [&](QDialog *d) {
        d->findChild<QComboBox *>(QStringLiteral("cbbCampo"))->setCurrentIndex(byName);
        typeText(searchLine(d), typed);
        QCOMPARE(grid(d)->model()->rowCount(), 1);
        QTest::keyClick(searchLine(d), Qt::Key_Return);
    });
    QVERIFY(picked);
    QCOMPARE(chosen, key);
    QCOMPARE(data->FieldByName(QStringLiteral("CDFORNECED")).AsString(), key);
}

QTEST_MAIN(tst_LookupDialog)
#include "tst_lookupdialog.moc"
