// Remembered choices on the price-list screen: a parameter set saved and applied gives the
// report what the same choices typed by hand give; its period moves with the processing
// date; what no longer validates is left out and said once; the default set comes back
// when the screen opens again; shared sets are read, not written; and the codes used last
// are offered in the code edits.
#include "FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "data/Database.h"
#include "text/ListString.h"
#include "sets/ParameterSetBar.h"
#include "app/RecentValues.h"
#include "data/TParams.h"
#include "TfrmListaPrecRel.h"
#include "validation/Zelmora.h"
#include "controls/RecentCompleter.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"
#include "report/TReportDesignerDialog.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QStringList kParams = {
    QStringLiteral("P_PAGINA"),    QStringLiteral("P_CDFILIAL"),   QStringLiteral("P_CDFILCENTCMP"),
    QStringLiteral("P_TODOSPROD"), QStringLiteral("P_CDPRODINI"),  QStringLiteral("P_CDPRODFIN"),
    QStringLiteral("L_LISTAOPER"), QStringLiteral("L_LISTAFORNE"), QStringLiteral("P_CDREGIAO"),
    QStringLiteral("P_DTINI"),     QStringLiteral("P_DTFIN"),      QStringLiteral("P_SISTEMA"),
    QStringLiteral("P_VARIPRECO"), QStringLiteral("P_ORDPI")};

template<class W>
W *child(QWidget *form, const char *name)
{
    W *w = form->findChild<W *>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

// What the report would run with, asked as the report engine asks.
QMap<QString, QString> reportParams(TfrmListaPrecRel *form)
{
    TParams params;
    for (const QString &n : kParams)
        params.CreateParam(n);
    bool flag = false;
    control<TReportDesignerDialog>(form, "rpddPadrao")->BeforeGetQueryParams(params, flag);
    QMap<QString, QString> values;
    for (const QString &n : kParams)
        values.insert(n, params.ParamByName(n).AsString());
    return values;
}

QStringList column(const QString &sql)
{
    QStringList values;
    QSqlQuery q(dtmDBGeral::dtbGeral());
    if (q.exec(sql))
        while (q.next())
            values << q.value(0).toString();
    return values;
}

ParameterSetBar *bar(TfrmListaPrecRel *form)
{
    return form->findChild<ParameterSetBar *>(QStringLiteral("panConjunto"));
}

// Saves the form's choices as a person does: the button, then the dialog's answers.
void saveSet(FormFixture &f, TfrmListaPrecRel *form, const QString &name,
             std::optional<RelativePeriod> period = std::nullopt, bool makeDefault = false)
{
    f.io.onAskParameterSet = [=](ParameterSetQuestion &q) {
        q.name = name;
        if (period)
            q.period = *period;
        q.makeDefault = makeDefault;
        return true;
    };
    bar(form)->sbtSalvarConjunto->click();
    QApplication::processEvents();
}

// Chooses a set in the list, as a person does.
void chooseSet(TfrmListaPrecRel *form, const QString &name)
{
    QComboBox *list = bar(form)->cbbConjuntos;
    int index = -1;
    for (int i = 0; i < list->count() && index < 0; ++i)
        if (list->itemData(i).toString() == name)
            index = i;
    QVERIFY2(index > 0, qPrintable(name));
    list->setCurrentIndex(index);
    emit list->activated(index);
    QApplication::processEvents();
}

void pick(FormFixture &f, QWidget *button, const QStringList &keys)
{
    f.io.onPickList = [keys](TDataSource *, const QString &, const QString &, const QStringList &) { return keys; };
    static_cast<QAbstractButton *>(button)->click();
    f.io.onPickList = nullptr;
}

QString configFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Suite"));
}

} // namespace

class tst_FormSets : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void setGivesWhatTypingGives_data();
    void setGivesWhatTypingGives();
    void periodMovesWithTheProcessingDate();
    void valueThatNoLongerValidatesIsLeftOut_data();
    void valueThatNoLongerValidatesIsLeftOut();
    void defaultSetComesBackWhenTheScreenOpens();
    void damagedDefaultIsSaid();
    void sharedSetIsReadNotWritten();
    void recentCodesOfferedMostRecentFirst();

private:
    QTemporaryDir m_config;
};

void tst_FormSets::initTestCase()
{
    // The user's sets and preferences go to a folder of this run: not the person's, and not
    // the one of the same test running beside it on another database.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

void tst_FormSets::init()
{
    QDir(configFolder()).removeRecursively();
}

void tst_FormSets::cleanup()
{
    QDir(configFolder()).removeRecursively();
    QCOMPARE(boIdCriado, false);
}

void tst_FormSets::setGivesWhatTypingGives_data()
{
    QTest::addColumn<bool>("lists");
    QTest::addColumn<bool>("weeks");
    QTest::newRow("the defaults") << false << false;
    QTest::newRow("branch, products, lists and options") << true << false;
    QTest::newRow("weeks typed") << false << true;
    QTest::newRow("everything") << true << true;
}

void tst_FormSets::setGivesWhatTypingGives()
{
    QFETCH(bool, lists);
    QFETCH(bool, weeks);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    const QStringList products = column(QStringLiteral("SELECT CDARVPROD FROM PRODUTO ORDER BY CDARVPROD"));
    const QStringList buyers = column(QStringLiteral("SELECT CDOPERADOR FROM COMPRADOR ORDER BY CDOPERADOR"));
    if (lists) {
        FormFixture::type(child<TMaskEdit>(form, "medCdFilial"), QStringLiteral("2"));
        FormFixture::type(child<TMaskEdit>(form, "medCdProdIni"), products.at(5));
        FormFixture::type(child<TMaskEdit>(form, "medCdProdFin"), products.at(50));
        child<TRadioButton>(form, "rbtCompFili")->click();
        child<TRadioButton>(form, "rbtListaComp")->click();
        pick(f, child<QWidget>(form, "sbtComprador"), {buyers.at(1), buyers.at(3)});
        child<TRadioButton>(form, "rbtListaForn")->click();
        pick(f, child<QWidget>(form, "sbtFornecedor"), {QStringLiteral("000001"), QStringLiteral("000003")});
        child<TCheckBox>(form, "chbFornecedor")->click();
        child<TCheckBox>(form, "chkVariPreco")->click();
    }
    if (weeks) {
        FormFixture::type(child<TSpinEdit>(form, "speSemIni"), QStringLiteral("10"));
        FormFixture::type(child<TSpinEdit>(form, "speSemFin"), QStringLiteral("12"));
    }
    FormFixture::focus(child<QWidget>(form, "chkVariPreco"));
    QVERIFY2(f.io.errors.isEmpty(), qPrintable(f.io.errors.join(QLatin1Char('\n'))));
    const QMap<QString, QString> typed = reportParams(form);

    saveSet(f, form, QStringLiteral("Semanal Curitiba"));
    QCOMPARE(f.io.lastSetQuestion.name, QString());
    QCOMPARE(bar(form)->currentName(), QStringLiteral("Semanal Curitiba"));
    f.close();

    form = f.open();
    if (lists || weeks)
        QVERIFY(reportParams(form) != typed); // the screen starts afresh
    const int picks = f.io.pickListCalls;
    chooseSet(form, QStringLiteral("Semanal Curitiba"));
    QVERIFY2(f.io.errors.isEmpty(), qPrintable(f.io.errors.join(QLatin1Char('\n'))));
    QCOMPARE(f.io.pickListCalls, picks); // the pickers were answered: no dialog waited for anyone
    QCOMPARE(reportParams(form), typed);
    f.close();
}

void tst_FormSets::periodMovesWithTheProcessingDate()
{
    FormFixture f;
    f.env.exec(QStringLiteral("UPDATE FILIAL SET DTPROCESSO = ? WHERE CDFILIAL = '0001'"), {QDate(2026, 12, 30)});
    f.env.reopen();
    TfrmListaPrecRel *form = f.open();
    auto *from = child<TDateEditPlus>(form, "depDataIni");
    auto *to = child<TDateEditPlus>(form, "depDataFin");
    QCOMPARE(from->GetDate(), QDate(2026, 12, 30));

    // The dialog proposes what the dates are: one day is no week, so fixed dates.
    saveSet(f, form, QStringLiteral("Próxima semana"), RelativePeriod::week(1));
    QCOMPARE(f.io.lastSetQuestion.period.kind(), RelativePeriod::Kind::Fixed);
    QCOMPARE(f.io.lastSetQuestion.today, QDate(2026, 12, 30));
    chooseSet(form, QStringLiteral("Próxima semana"));
    // From week 53 of 2026 to week 1 of 2027; the week boxes follow the dates.
    QCOMPARE(from->GetDate(), QDate(2027, 1, 1));
    QCOMPARE(to->GetDate(), QDate(2027, 1, 10));
    QCOMPARE(child<TSpinEdit>(form, "speSemIni")->Text(), QStringLiteral("1"));
    QCOMPARE(child<TSpinEdit>(form, "speSemFin")->Text(), QStringLiteral("1"));
    f.close();

    // A year on, in a 52-week year's last week.
    f.env.exec(QStringLiteral("UPDATE FILIAL SET DTPROCESSO = ? WHERE CDFILIAL = '0001'"), {QDate(2027, 12, 29)});
    f.env.reopen();
    form = f.open();
    chooseSet(form, QStringLiteral("Próxima semana"));
    QCOMPARE(child<TDateEditPlus>(form, "depDataIni")->GetDate(), QDate(2028, 1, 1));
    QCOMPARE(child<TDateEditPlus>(form, "depDataFin")->GetDate(), QDate(2028, 1, 9));
    const QMap<QString, QString> params = reportParams(form);
    QCOMPARE(params.value(QStringLiteral("P_DTINI")), QStringLiteral("01/01/2028"));
    QCOMPARE(params.value(QStringLiteral("P_DTFIN")), QStringLiteral("09/01/2028"));
    QVERIFY(f.io.errors.isEmpty());
    f.close();
}

void tst_FormSets::valueThatNoLongerValidatesIsLeftOut_data()
{
    QTest::addColumn<QString>("change"); // run between saving and applying; ? is the supplier
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("branch"); // what the branch box holds afterwards
    QTest::addColumn<QStringList>("suppliers");
    QTest::addColumn<bool>("active"); // the window has the focus when the set goes in

    QTest::newRow("rescinded branch") << QStringLiteral("UPDATE FILIAL SET IDCNTRRESC = 'S' WHERE CDFILIAL = '0002'")
                                      << QStringLiteral("• Filial 0002: Filial com contrato rescindido.")
                                      << QStringLiteral("0001")
                                      << QStringList{QStringLiteral("000001"), QStringLiteral("000003")} << true;
    // Qt reports no focus moves in a window that is not active: the exits must run anyway.
    QTest::newRow("rescinded branch, window behind another")
        << QStringLiteral("UPDATE FILIAL SET IDCNTRRESC = 'S' WHERE CDFILIAL = '0002'")
        << QStringLiteral("• Filial 0002: Filial com contrato rescindido.") << QStringLiteral("0001")
        << QStringList{QStringLiteral("000001"), QStringLiteral("000003")} << false;
    QTest::newRow("supplier no longer quoted")
        << QStringLiteral("DELETE FROM COTACAO WHERE CDFORNECED = '000003'")
        << QStringLiteral("• Fornecedor: A chave não está na lista \"Fornecedor cotado\": 000003.")
        << QStringLiteral("0002") << QStringList{QStringLiteral("000001")} << true;
}

void tst_FormSets::valueThatNoLongerValidatesIsLeftOut()
{
    QFETCH(QString, change);
    QFETCH(QString, message);
    QFETCH(QString, branch);
    QFETCH(QStringList, suppliers);
    QFETCH(bool, active);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    FormFixture::type(child<TMaskEdit>(form, "medCdFilial"), QStringLiteral("0002"));
    child<TRadioButton>(form, "rbtListaForn")->click();
    pick(f, child<QWidget>(form, "sbtFornecedor"), {QStringLiteral("000001"), QStringLiteral("000003")});
    child<TCheckBox>(form, "chkVariPreco")->click();
    saveSet(f, form, QStringLiteral("Semanal Curitiba"));
    f.close();

    f.env.exec(change);
    f.env.reopen();
    form = f.open();
    if (!active)
        QApplication::setActiveWindow(nullptr);
    chooseSet(form, QStringLiteral("Semanal Curitiba"));
    QCOMPARE(f.io.errors.size(), 1); // one message for all that was left out
    QVERIFY2(f.io.errors.first().startsWith(QStringLiteral("O conjunto \"Semanal Curitiba\" foi aplicado")),
             qPrintable(f.io.errors.first()));
    QVERIFY2(f.io.errors.first().contains(message), qPrintable(f.io.errors.first()));
    // Left out, not kept: the branch box holds a valid branch with its name, and the list
    // the keys that are still quoted; the rest of the set went in.
    QCOMPARE(child<TMaskEdit>(form, "medCdFilial")->Text(), branch);
    QVERIFY(!child<QLineEdit>(form, "edtNmFilial")->text().isEmpty());
    QCOMPARE(ListString::decode(form->choices().suppliers), suppliers);
    QVERIFY(child<TCheckBox>(form, "chkVariPreco")->isChecked());
    f.close();
}

void tst_FormSets::defaultSetComesBackWhenTheScreenOpens()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    FormFixture::type(child<TMaskEdit>(form, "medCdFilial"), QStringLiteral("2"));
    child<TCheckBox>(form, "chbFornecedor")->click();
    saveSet(f, form, QStringLiteral("Semanal Curitiba"), RelativePeriod::week(1), true);
    f.close();

    form = f.open();
    // After the first-activation defaults, as if typed: the branch's name is looked up.
    QCOMPARE(child<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0002"));
    QVERIFY(!child<QLineEdit>(form, "edtNmFilial")->text().isEmpty());
    QVERIFY(child<TCheckBox>(form, "chbFornecedor")->isChecked());
    QVERIFY(form->choices().pageBySupplier);
    const QDate today = Zelmora::DataProc(QStringLiteral("0002"));
    QCOMPARE(child<TDateEditPlus>(form, "depDataIni")->GetDate(), RelativePeriod::week(1).resolvedFrom(today));
    QCOMPARE(bar(form)->currentName(), QStringLiteral("Semanal Curitiba"));
    QVERIFY(bar(form)->cbbConjuntos->currentText().contains(QStringLiteral("(ao abrir)")));
    QVERIFY(bar(form)->actPadrao->isChecked());

    // No longer the default: the next opening keeps the screen's own defaults.
    bar(form)->actPadrao->trigger();
    f.close();
    form = f.open();
    QCOMPARE(child<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0001"));
    QCOMPARE(bar(form)->currentName(), QString());
    QVERIFY(f.io.errors.isEmpty());
    f.close();
}

void tst_FormSets::damagedDefaultIsSaid()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    FormFixture::type(child<TMaskEdit>(form, "medCdFilial"), QStringLiteral("2"));
    saveSet(f, form, QStringLiteral("Semanal Curitiba"), std::nullopt, true);
    const QString file = bar(form)->store().userDir() + QStringLiteral("/Semanal Curitiba.json");
    f.close();
    QFile data(file);
    QVERIFY(data.open(QIODevice::ReadWrite));
    const QByteArray whole = data.readAll();
    data.resize(whole.size() / 2); // what a crash of another program might leave
    data.close();

    form = f.open();
    QCOMPARE(f.io.errors.size(), 1);
    QVERIFY2(f.io.errors.first().contains(QStringLiteral("incompleto ou danificado")), qPrintable(f.io.errors.first()));
    QCOMPARE(child<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0001"));
    // Listed, greyed, with its reason.
    QComboBox *list = bar(form)->cbbConjuntos;
    QCOMPARE(list->count(), 2);
    QVERIFY(list->itemText(1).contains(QStringLiteral("(danificado)")));
    QVERIFY(!(list->model()->flags(list->model()->index(1, 0)) & Qt::ItemIsEnabled));
    f.close();
}

void tst_FormSets::sharedSetIsReadNotWritten()
{
    FormFixture f;
    QTemporaryDir shared;
    ParameterSet set;
    set.name = QStringLiteral("Mensal Matriz");
    set.screen = QStringLiteral("LPR07731");
    set.values = {{QStringLiteral("chkVariPreco"), QStringLiteral("S")}};
    set.period = RelativePeriod::currentMonth();
    ParameterSetStore(set.screen, shared.path()).save(set);
    const QString file = shared.path() + QStringLiteral("/LPR07731/Mensal Matriz.json");
    Session::current().sharedSetsDir = shared.path(); // the session restores on destruction

    TfrmListaPrecRel *form = f.open();
    chooseSet(form, QStringLiteral("Mensal Matriz"));
    QVERIFY(child<TCheckBox>(form, "chkVariPreco")->isChecked());
    QCOMPARE(child<TDateEditPlus>(form, "depDataIni")->GetDate().day(), 1);
    QVERIFY(bar(form)->cbbConjuntos->currentText().contains(QStringLiteral("(compartilhado)")));
    QVERIFY(!bar(form)->actExcluir->isEnabled());
    QVERIFY(!bar(form)->actRenomear->isEnabled());
    QVERIFY(bar(form)->actPadrao->isEnabled()); // it may still be the user's default

    // Were the command reached all the same, the file stays.
    f.io.confirmAnswers = {true};
    bar(form)->actExcluir->setEnabled(true);
    bar(form)->actExcluir->trigger();
    QCOMPARE(f.io.errors.size(), 1);
    QVERIFY2(f.io.errors.first().contains(QStringLiteral("é compartilhado")), qPrintable(f.io.errors.first()));
    QVERIFY(QFile::exists(file));
    f.close();
}

void tst_FormSets::recentCodesOfferedMostRecentFirst()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    auto *branch = child<TMaskEdit>(form, "medCdFilial");
    for (const char *code : {"0002", "0003", "0002", "0005"}) {
        FormFixture::type(branch, QLatin1String(code));
        FormFixture::focus(child<QWidget>(form, "chkVariPreco"));
        f.io.saveAnswers = {f.env.dir() + QStringLiteral("/lista.csv")};
        control<QToolButton>(form, "sbtSalvarComo")->click();
        QApplication::processEvents();
    }
    QVERIFY2(f.io.errors.isEmpty(), qPrintable(f.io.errors.join(QLatin1Char('\n'))));
    QStringList codes;
    for (const RecentValues::Entry &e : RecentValues::list(QStringLiteral("Filial")))
        codes << e.code;
    QCOMPARE(codes, (QStringList{QStringLiteral("0005"), QStringLiteral("0002"), QStringLiteral("0003")}));

    // Down in the branch box offers them, with their names; typing narrows them.
    FormFixture::focus(branch);
    QTest::keyClick(branch, Qt::Key_Down);
    auto *recent = branch->findChild<RecentCompleter *>();
    QVERIFY(recent);
    QAbstractItemView *popup = recent->completer()->popup();
    QVERIFY(popup->isVisible());
    QCOMPARE(recent->completer()->completionCount(), 3);
    QVERIFY(popup->model()->index(0, 0).data().toString().startsWith(QStringLiteral("0005  ")));
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Return);
    QCOMPARE(branch->Text(), QStringLiteral("0002"));
    QVERIFY(!popup->isVisible());

    // Typing alone does not open them (the box's exit validates what was typed); with the
    // list open, typing narrows it.
    FormFixture::type(branch, QStringLiteral("000"));
    QVERIFY(!popup->isVisible());
    QTest::keyClick(branch, Qt::Key_Down);
    QVERIFY(popup->isVisible());
    QTest::keyClicks(branch, QStringLiteral("0003"));
    QVERIFY(popup->isVisible());
    QCOMPARE(recent->completer()->completionCount(), 1);
    QTest::keyClick(branch, Qt::Key_Backspace);
    QTest::keyClicks(branch, QStringLiteral("9")); // 0009: none left
    QVERIFY(!popup->isVisible());
    f.close();
}

QTEST_MAIN(tst_FormSets)
#include "tst_formsets.moc"
