// The screen used from the keyboard alone, with real key presses: what typing does in a box
// entered by Tab or put back by a refusal, Esc, the lookup and command keys, Enter used as
// Tab, and the report list.
#include "FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "validation/Consiste.h"
#include "TfrmListaPrecRel.h"
#include "controls/lookup/TBtnPesquisa.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

namespace {

const QString kNaoCad = QStringLiteral("Filial não cadastrada.");

QWidget *focused()
{
    return QApplication::focusWidget();
}

// Presses a key on whatever holds the focus, as the keyboard does.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(focused(), key, modifiers);
    QApplication::processEvents();
}

void typeKeys(const QString &text)
{
    QTest::keyClicks(focused(), text);
    QApplication::processEvents();
}

} // namespace

class tst_FormKeyboard : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void typingReplacesWhatTheKeyboardEntered();
    void typingAfterARefusalReplacesTheRefusedCode();
    void weekAndDateEnteredByTab();
    void escapePutsBackTheWholeField_data();
    void escapePutsBackTheWholeField();
    void typingOverADate_data();
    void typingOverADate();
    void lookupKeys_data();
    void lookupKeys();
    void commandKeys_data();
    void commandKeys();
    void enterMovesOnWhenTheSessionSaysSo_data();
    void enterMovesOnWhenTheSessionSaysSo();
    void reportListByKeyboard();
};

void tst_FormKeyboard::cleanup()
{
    QCOMPARE(boIdCriado, false);
}

void tst_FormKeyboard::typingReplacesWhatTheKeyboardEntered()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0001"));
    const QString firstProduct = control<TMaskEdit>(form, "medCdProdIni")->Text();
    QVERIFY(!firstProduct.isEmpty());

    // Back into the branch from the initial product, and a new branch typed over it.
    FormFixture::focus(control<TMaskEdit>(form, "medCdProdIni"));
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(focused(), control<TMaskEdit>(form, "medCdFilial"));
    typeKeys(QStringLiteral("2"));
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("2"));
    press(Qt::Key_Tab);
    QCOMPARE(focused(), control<TMaskEdit>(form, "medCdProdIni"));
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0002"));
    QVERIFY(!control<QLineEdit>(form, "edtNmFilial")->text().isEmpty());

    // On to the final product: the initial one's code typed over the last one's.
    press(Qt::Key_Tab);
    QCOMPARE(focused(), control<TMaskEdit>(form, "medCdProdFin"));
    typeKeys(firstProduct);
    press(Qt::Key_Tab);
    QCOMPARE(control<TMaskEdit>(form, "medCdProdFin")->Text(), firstProduct);
    QCOMPARE(control<QLineEdit>(form, "edtNmProdFin")->text(), control<QLineEdit>(form, "edtNmProdIni")->text());
    QCOMPARE(f.io.errors, QStringList());
    f.close();
}

void tst_FormKeyboard::typingAfterARefusalReplacesTheRefusedCode()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    FormFixture::focus(control<TMaskEdit>(form, "medCdProdIni"));
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    typeKeys(QStringLiteral("9999"));
    press(Qt::Key_Tab);
    QCOMPARE(f.io.errors, QStringList{kNaoCad});
    QCOMPARE(focused(), control<TMaskEdit>(form, "medCdFilial"));
    // The person types the right code at once: it replaces the refused one.
    typeKeys(QStringLiteral("3"));
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("3"));
    press(Qt::Key_Tab);
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0003"));
    QCOMPARE(f.io.errors, QStringList{kNaoCad});
    QCOMPARE(focused(), control<TMaskEdit>(form, "medCdProdIni"));
    f.close();
}

void tst_FormKeyboard::weekAndDateEnteredByTab()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    const int year = control<TDateEditPlus>(form, "depDataIni")->GetDate().year();
    FormFixture::focus(control<TCheckBox>(form, "chbFornecedor"));
    press(Qt::Key_Tab);
    QCOMPARE(focused(), control<TSpinEdit>(form, "speSemIni"));
    typeKeys(QStringLiteral("10"));
    QCOMPARE(control<TSpinEdit>(form, "speSemIni")->Text(), QStringLiteral("10"));
    QCOMPARE(control<TDateEditPlus>(form, "depDataIni")->GetDate(), Consiste::DataSemana(10, QLatin1Char('I'), year));

    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    QCOMPARE(focused(), control<TDateEditPlus>(form, "depDataIni"));
    // A two-digit year, read in the 50-year window (this row holds until 2075).
    typeKeys(QStringLiteral("150127"));
    press(Qt::Key_Tab);
    QCOMPARE(control<TDateEditPlus>(form, "depDataIni")->Text(), QStringLiteral("15/01/2027"));
    QCOMPARE(control<TSpinEdit>(form, "speSemIni")->Value(), Consiste::NumeroSemana(QDate(2027, 1, 15)));
    QCOMPARE(f.io.errors, QStringList());
    f.close();
}

// The texts that make up the state of the fields Esc restores, and of what goes with them.
QStringList fieldState(const TfrmListaPrecRel *form)
{
    QStringList state;
    for (const char *name : {"medCdFilial", "edtNmFilial", "edtNmRegiao", "edtCdRegiao", "medCdProdIni", "edtNmProdIni",
                             "medCdProdFin", "edtNmProdFin", "depDataIni", "edtDataIni", "depDataFin", "edtDataFin"})
        state << QStringLiteral("%1=%2").arg(QLatin1String(name), control<QLineEdit>(form, name)->text());
    for (const char *name : {"speSemIni", "speSemFin"})
        state << QStringLiteral("%1=%2").arg(QLatin1String(name), control<TSpinEdit>(form, name)->Text());
    return state;
}

// Esc puts back the state the field had when it was entered: its text, the name beside it,
// a week's date and a date's week, also after the field refused what was typed and kept
// the focus.
void tst_FormKeyboard::escapePutsBackTheWholeField_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("refusal"); // shown on Tab before Esc; "" when not left
    QTest::newRow("branch typed over") << "medCdFilial"
                                       << "0002"
                                       << "";
    QTest::newRow("branch refused") << "medCdFilial"
                                    << "9999" << kNaoCad;
    QTest::newRow("initial product typed over") << "medCdProdIni"
                                                << "9"
                                                << "";
    QTest::newRow("final product typed over") << "medCdProdFin"
                                              << "1"
                                              << "";
    QTest::newRow("initial week") << "speSemIni"
                                  << "10"
                                  << "";
    QTest::newRow("final week") << "speSemFin"
                                << "3"
                                << "";
    QTest::newRow("initial date typed over") << "depDataIni"
                                             << "01012027"
                                             << "";
    QTest::newRow("final date refused") << "depDataFin"
                                        << "31022026"
                                        << "'31/02/2026' não é uma data válida.";
}

void tst_FormKeyboard::escapePutsBackTheWholeField()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, refusal);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    // Dates that are not the first or last day of their weeks: a week's date put back
    // from the week alone would differ.
    control<TDateEditPlus>(form, "depDataIni")->SetDate(QDate(2026, 12, 9));
    control<TDateEditPlus>(form, "depDataFin")->SetDate(QDate(2026, 12, 17));
    QWidget *box = form->findChild<QWidget *>(field);
    QVERIFY(box);
    FormFixture::focus(box);
    const QStringList entered = fieldState(form);
    typeKeys(typed);
    QVERIFY(fieldState(form) != entered);
    if (!refusal.isEmpty()) {
        press(Qt::Key_Tab);
        QCOMPARE(f.io.errors, QStringList{refusal});
        QCOMPARE(focused(), box);
    }
    press(Qt::Key_Escape);
    QCOMPARE(fieldState(form), entered);
    QCOMPARE(focused(), box);
    // The field is left as it was entered: nothing more to say.
    press(Qt::Key_Tab);
    QVERIFY(focused() != box);
    QCOMPARE(f.io.errors, refusal.isEmpty() ? QStringList() : QStringList{refusal});
    f.close();
}

// Typing a date over a filled one: from the start it replaces the old date, as Tab's
// selection does; a year far from the processing year is asked about before it is kept.
void tst_FormKeyboard::typingOverADate_data()
{
    QTest::addColumn<bool>("fromHome"); // Home pressed after entering, else the text is selected
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("answer"); // to the question, when one is asked
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("left");
    QTest::newRow("Home, two-digit year") << true << "150127" << false << "15/01/2027" << 0 << true;
    QTest::newRow("Home, four-digit year") << true << "15012027" << false << "15/01/2027" << 0 << true;
    QTest::newRow("selected, two-digit year") << false << "150127" << false << "15/01/2027" << 0 << true;
    QTest::newRow("far year kept") << false << "01012090" << true << "01/01/2090" << 1 << true;
    QTest::newRow("far year refused") << true << "01011926" << false << "01/01/1926" << 1 << false;
    QTest::newRow("a near year is not asked") << false << "01012040" << false << "01/01/2040" << 0 << true;
}

void tst_FormKeyboard::typingOverADate()
{
    QFETCH(bool, fromHome);
    QFETCH(QString, typed);
    QFETCH(bool, answer);
    QFETCH(QString, shown);
    QFETCH(int, questions);
    QFETCH(bool, left);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    auto *date = control<TDateEditPlus>(form, "depDataFin");
    date->SetDate(QDate(2026, 12, 7));
    f.io.confirmAnswers = {answer};
    FormFixture::focus(date);
    if (fromHome)
        press(Qt::Key_Home);
    typeKeys(typed);
    press(Qt::Key_Tab);
    QCOMPARE(date->Text(), shown);
    QCOMPARE(f.io.questions.size(), questions);
    QCOMPARE(focused() != date, left);
    if (left) // the week follows the date kept
        QCOMPARE(control<TSpinEdit>(form, "speSemFin")->Value(), Consiste::NumeroSemana(date->GetDate()));
    QCOMPARE(f.io.errors, QStringList());
    f.close();
}

void tst_FormKeyboard::lookupKeys_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("title"); // empty: no lookup opens
    QTest::newRow("F9 on the branch") << "medCdFilial" << int(Qt::Key_F9) << 0 << "Filial";
    QTest::newRow("Alt+Down on the branch") << "medCdFilial" << int(Qt::Key_Down) << int(Qt::AltModifier) << "Filial";
    QTest::newRow("F9 on the final product") << "medCdProdFin" << int(Qt::Key_F9) << 0 << "Produto";
    QTest::newRow("Alt+Down on the initial product")
        << "medCdProdIni" << int(Qt::Key_Down) << int(Qt::AltModifier) << "Produto";
    QTest::newRow("F9 on a week box has no lookup") << "speSemIni" << int(Qt::Key_F9) << 0 << QString();
    QTest::newRow("Ctrl+F9 is not F9") << "medCdFilial" << int(Qt::Key_F9) << int(Qt::ControlModifier) << QString();
}

void tst_FormKeyboard::lookupKeys()
{
    QFETCH(QString, edit);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, title);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    QWidget *box = form->findChild<QWidget *>(edit);
    f.io.onLookup = [](TDataSource *, const QString &, const QString &, QString &) { return false; };
    FormFixture::focus(box);
    press(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(f.io.lookupCalls, title.isEmpty() ? 0 : 1);
    if (!title.isEmpty())
        QCOMPARE(f.io.lastTitle, title);
    QCOMPARE(focused(), box);
    f.close();
}

void tst_FormKeyboard::commandKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("command");
    QTest::newRow("F5 previews") << int(Qt::Key_F5) << 0 << "sbtPreviewClick";
    QTest::newRow("Ctrl+P prints") << int(Qt::Key_P) << int(Qt::ControlModifier) << "sbtPrintClick";
    QTest::newRow("Ctrl+S saves") << int(Qt::Key_S) << int(Qt::ControlModifier) << "sbtSalvarComoClick";
}

void tst_FormKeyboard::commandKeys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, command);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    QStringList started;
    connect(form, &TfrmDadosGerRel::commandStarted, form, [&](const QString &c) { started << c; });
    f.io.saveAnswers.clear(); // the save dialog is cancelled

    // From inside an edit holding a code that is not there: the gate checks it first and
    // nothing starts.
    FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), QStringLiteral("9999"));
    press(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(f.io.errors, QStringList{kNaoCad});
    QCOMPARE(started, QStringList());
    QCOMPARE(focused(), control<TMaskEdit>(form, "medCdFilial"));

    typeKeys(QStringLiteral("0001"));
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0001"));
    // The command may then succeed or fail on its own (no printer here); it started once.
    press(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(started, QStringList{command});
    f.close();
}

void tst_FormKeyboard::enterMovesOnWhenTheSessionSaysSo_data()
{
    QTest::addColumn<bool>("option");
    QTest::newRow("EnterComoTab=true") << true;
    QTest::newRow("EnterComoTab=false") << false;
}

void tst_FormKeyboard::enterMovesOnWhenTheSessionSaysSo()
{
    QFETCH(bool, option);
    FormFixture f;
    Session::current().enterComoTab = option;
    TfrmListaPrecRel *form = f.open();
    FormFixture::focus(control<TMaskEdit>(form, "medCdFilial"));
    typeKeys(QStringLiteral("2"));
    press(Qt::Key_Return);
    if (!option) {
        QCOMPARE(focused(), control<TMaskEdit>(form, "medCdFilial"));
        f.close();
        return;
    }
    // As Tab: the exit runs (the code is completed) and the next box is entered whole.
    QCOMPARE(focused(), control<TMaskEdit>(form, "medCdProdIni"));
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0002"));
    typeKeys(QStringLiteral("9"));
    QCOMPARE(control<TMaskEdit>(form, "medCdProdIni")->Text(), QStringLiteral("9"));
    press(Qt::Key_Escape);
    FormFixture::focus(control<TSpinEdit>(form, "speSemFin"));
    press(Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(focused(), control<TDateEditPlus>(form, "depDataIni"));
    QCOMPARE(f.io.errors, QStringList());
    f.close();
}

void tst_FormKeyboard::reportListByKeyboard()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    QVERIFY(control<QComboBox>(form, "cbbReportNames")->count() >= 2);
    FormFixture::focus(control<TSpinEdit>(form, "speSemIni"));
    press(Qt::Key_R, Qt::AltModifier);
    QCOMPARE(focused(), control<QComboBox>(form, "cbbReportNames"));
    const int before = control<QComboBox>(form, "cbbReportNames")->currentIndex();
    press(Qt::Key_Down);
    QCOMPARE(control<QComboBox>(form, "cbbReportNames")->currentIndex(), before + 1);
    f.close();
}

QTEST_MAIN(tst_FormKeyboard)
#include "tst_formkeyboard.moc"
