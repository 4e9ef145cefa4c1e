// The gates in front of the output commands of the price-list screen: what is checked, in
// which order (led by the control that holds the focus), and that the base command runs
// once, with its own button, only on a form that passes.
#include "FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "data/TDataSet.h"
#include "TfrmListaPrecRel.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"

#include <QApplication>
#include <QTest>
#include <QToolButton>

namespace {

const QString kFiliDeve = QStringLiteral("Filial deve ser informada.");
const QString kFiliNaoCad = QStringLiteral("Filial não cadastrada.");
const QString kProdIniDeve = QStringLiteral("Produto inicial deve ser informado.");
const QString kProdFinDeve = QStringLiteral("Produto final deve ser informado.");
const QString kInvertida = QStringLiteral("Validade inicial deve ser menor ou igual a validade final.");
const QString kCompDeve = QStringLiteral("Comprador deve ser informado.");
const QString kFornDeve = QStringLiteral("Fornecedor deve ser informado.");
const QString kDataInvalida = QStringLiteral("'31/02/2026' não é uma data válida.");

// The base commands that started, with their Sender and the messages shown before them.
struct Started
{
    QString command;
    QObject *sender;
    int messagesBefore;
};

struct CommandLog
{
    QList<Started> calls;
    void watch(TfrmListaPrecRel *form, const ScriptedInteraction &io)
    {
        QObject::connect(form, &TfrmDadosGerRel::commandStarted, form, [this, &io](const QString &c, QObject *s) {
            calls.append({c, s, int(io.errors.size())});
        });
    }
};

QWidget *widget(TfrmListaPrecRel *form, const QString &name)
{
    return form->findChild<QWidget *>(name);
}

// A command button of the base form by its name ("sbtPreview" ...).
QToolButton *button(TfrmListaPrecRel *form, const QString &name)
{
    return form->findChild<QToolButton *>(name);
}

// Picks the first row of a picker's data set.
void pickFirst(ScriptedInteraction &io)
{
    io.onPickList = [](TDataSource *source, const QString &keyField, const QString &, const QStringList &) {
        source->DataSet()->First();
        return QStringList{source->DataSet()->FieldByName(keyField).AsString()};
    };
}

} // namespace

class tst_FormGates : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void fieldOrderFollowsFocus_data();
    void fieldOrderFollowsFocus();
    void listChecks_data();
    void listChecks();
    void editingGate_data();
    void editingGate();
    void dateTextCheckedFirst_data();
    void dateTextCheckedFirst();
    void validFormRunsEachCommandOnce_data();
    void validFormRunsEachCommandOnce();
    void oneMessageWhenTheFocusLeavesAnEdit();
};

void tst_FormGates::cleanup()
{
    QCOMPARE(boIdCriado, false);
}

void tst_FormGates::fieldOrderFollowsFocus_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("branchEmpty");
    QTest::addColumn<bool>("iniEmpty");
    QTest::addColumn<bool>("finEmpty");
    QTest::addColumn<bool>("reversed"); // final date before the initial one
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focusAfter");

    QTest::newRow("final week: period before branch")
        << "speSemFin"
        << "sbtPreview" << true << false << false << true << kInvertida << "depDataIni";
    QTest::newRow("initial date: period before branch")
        << "depDataIni"
        << "sbtPrint" << true << false << false << true << kInvertida << "depDataIni";
    // The exit of the final date box runs on the way to the initial one, silently.
    QTest::newRow("final date: period before branch")
        << "depDataFin"
        << "sbtSalvarComo" << true << false << false << true << kInvertida << "depDataIni";
    QTest::newRow("initial week: then the branch")
        << "speSemIni"
        << "sbtSalvarComo" << true << true << true << false << kFiliDeve << "medCdFilial";
    QTest::newRow("check box: branch first")
        << "chkVariPreco"
        << "sbtPreview" << true << false << false << true << kFiliDeve << "medCdFilial";
    QTest::newRow("check box: initial product before final")
        << "chkVariPreco"
        << "sbtPrint" << false << true << true << true << kProdIniDeve << "medCdProdIni";
    QTest::newRow("radio button: period last")
        << "rbtTodos"
        << "sbtSalvarComo" << false << false << false << true << kInvertida << "depDataIni";
    QTest::newRow("final product first") << "medCdProdFin"
                                         << "sbtPrint" << true << true << true << true << kProdFinDeve
                                         << "medCdProdFin";
    QTest::newRow("final product: then the branch")
        << "medCdProdFin"
        << "sbtPreview" << true << true << false << true << kFiliDeve << "medCdFilial";
    QTest::newRow("initial product first")
        << "medCdProdIni"
        << "sbtSalvarComo" << true << true << true << true << kProdIniDeve << "medCdProdIni";
    QTest::newRow("initial product: final before period")
        << "medCdProdIni"
        << "sbtPreview" << false << false << true << true << kProdFinDeve << "medCdProdFin";
}

void tst_FormGates::fieldOrderFollowsFocus()
{
    QFETCH(QString, focus);
    QFETCH(QString, command);
    QFETCH(bool, branchEmpty);
    QFETCH(bool, iniEmpty);
    QFETCH(bool, finEmpty);
    QFETCH(bool, reversed);
    QFETCH(QString, message);
    QFETCH(QString, focusAfter);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    CommandLog started;
    started.watch(form, f.io);
    // Empty codes pass when their edits are left.
    if (branchEmpty)
        FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), QString());
    if (iniEmpty)
        FormFixture::type(control<TMaskEdit>(form, "medCdProdIni"), QString());
    if (finEmpty)
        FormFixture::type(control<TMaskEdit>(form, "medCdProdFin"), QString());
    if (reversed)
        control<TDateEditPlus>(form, "depDataFin")
            ->SetDate(control<TDateEditPlus>(form, "depDataIni")->GetDate().addDays(-1));
    FormFixture::focus(widget(form, focus));
    QCOMPARE(QApplication::focusWidget(), widget(form, focus));
    QVERIFY(f.io.errors.isEmpty());

    button(form, command)->click();
    QCOMPARE(f.io.errors, QStringList{message});
    QCOMPARE(QApplication::focusWidget(), widget(form, focusAfter));
    QVERIFY(started.calls.isEmpty());
    f.close();
}

void tst_FormGates::listChecks_data()
{
    QTest::addColumn<QString>("buyers"); // "todos", "pending", "picked" or "back" (Lista, then Todos)
    QTest::addColumn<QString>("suppliers");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message"); // empty: the base command starts
    QTest::addColumn<QString>("focusAfter");

    QTest::newRow("both pending: only the buyers are told") << "pending"
                                                            << "pending"
                                                            << "sbtSalvarComo" << kCompDeve << "rbtListaComp";
    QTest::newRow("buyers pending, suppliers all") << "pending"
                                                   << "todos"
                                                   << "sbtPrint" << kCompDeve << "rbtListaComp";
    QTest::newRow("buyers all, suppliers pending") << "todos"
                                                   << "pending"
                                                   << "sbtPreview" << kFornDeve << "rbtListaForn";
    QTest::newRow("buyers picked, suppliers pending") << "picked"
                                                      << "pending"
                                                      << "sbtPrint" << kFornDeve << "rbtListaForn";
    QTest::newRow("back to Todos passes") << "back"
                                          << "back"
                                          << "sbtSalvarComo" << QString() << QString();
    QTest::newRow("both picked pass") << "picked"
                                      << "picked"
                                      << "sbtSalvarComo" << QString() << QString();
}

void tst_FormGates::listChecks()
{
    QFETCH(QString, buyers);
    QFETCH(QString, suppliers);
    QFETCH(QString, command);
    QFETCH(QString, message);
    QFETCH(QString, focusAfter);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    CommandLog started;
    started.watch(form, f.io);
    pickFirst(f.io);
    auto choose = [](const QString &state, TRadioButton *todos, TRadioButton *lista, TButtonFlat *search) {
        if (state == QLatin1String("todos"))
            return;
        lista->click();
        if (state == QLatin1String("picked"))
            search->click();
        else if (state == QLatin1String("back"))
            todos->click();
    };
    choose(buyers, control<TRadioButton>(form, "rbtTodosComp"), control<TRadioButton>(form, "rbtListaComp"),
           control<TButtonFlat>(form, "sbtComprador"));
    choose(suppliers, control<TRadioButton>(form, "rbtTodosForn"), control<TRadioButton>(form, "rbtListaForn"),
           control<TButtonFlat>(form, "sbtFornecedor"));
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    QVERIFY(f.io.errors.isEmpty());

    button(form, command)->click();
    if (message.isEmpty()) {
        QCOMPARE(started.calls.size(), 1);
        QCOMPARE(started.calls.first().messagesBefore, 0);
        QCOMPARE(started.calls.first().command, command + QStringLiteral("Click"));
    } else {
        QCOMPARE(f.io.errors, QStringList{message});
        QCOMPARE(QApplication::focusWidget(), widget(form, focusAfter));
        QVERIFY(started.calls.isEmpty());
    }
    f.close();
}

void tst_FormGates::editingGate_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("branch");       // left in the edit without leaving it
    QTest::addColumn<bool>("incomplete");      // products empty, period reversed, lists pending
    QTest::addColumn<QString>("pictureAfter"); // product picture changed under the screen
    QTest::addColumn<QString>("messageStart"); // empty: report editing starts
    QTest::addColumn<QString>("focusAfter");

    QTest::newRow("incomplete form goes through")
        << "chkVariPreco" << QString() << true << QString() << QString() << QString();
    QTest::newRow("a branch that is not found is refused")
        << "chkVariPreco"
        << "9999" << false << QString() << kFiliNaoCad << "medCdFilial";
    // The demo codes have nine digits: a three-digit picture cannot hold them.
    QTest::newRow("other control: branch before products")
        << "chkVariPreco"
        << "9999" << false << "999;0; " << kFiliNaoCad << "medCdFilial";
    QTest::newRow("final product first") << "medCdProdFin"
                                         << "9999" << false << "999;0; "
                                         << "O código"
                                         << "medCdProdFin";
    QTest::newRow("initial product first") << "medCdProdIni"
                                           << "9999" << false << "999;0; "
                                           << "O código"
                                           << "medCdProdIni";
}

void tst_FormGates::editingGate()
{
    QFETCH(QString, focus);
    QFETCH(QString, branch);
    QFETCH(bool, incomplete);
    QFETCH(QString, pictureAfter);
    QFETCH(QString, messageStart);
    QFETCH(QString, focusAfter);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    CommandLog started;
    started.watch(form, f.io);
    if (incomplete) {
        FormFixture::type(control<TMaskEdit>(form, "medCdProdIni"), QString());
        FormFixture::type(control<TMaskEdit>(form, "medCdProdFin"), QString());
        control<TDateEditPlus>(form, "depDataFin")
            ->SetDate(control<TDateEditPlus>(form, "depDataIni")->GetDate().addDays(-7));
        control<TRadioButton>(form, "rbtListaComp")->click();
        control<TRadioButton>(form, "rbtListaForn")->click();
    }
    FormFixture::focus(widget(form, focus));
    control<TMaskEdit>(form, "medCdFilial")->setText(branch);
    if (!pictureAfter.isEmpty())
        f.env.exec(QStringLiteral("UPDATE PICTURA SET DSMASCARA = ? WHERE IDPICTURA = 0"), {pictureAfter});
    QVERIFY(f.io.errors.isEmpty());

    control<QToolButton>(form, "sbtReportEdit")->click();
    if (messageStart.isEmpty()) {
        QCOMPARE(started.calls.size(), 1);
        QCOMPARE(started.calls.first().command, QStringLiteral("sbtReportEditClick"));
        QCOMPARE(started.calls.first().sender, control<QToolButton>(form, "sbtReportEdit"));
        QCOMPARE(started.calls.first().messagesBefore, 0);
    } else {
        QCOMPARE(f.io.errors.size(), 1);
        QVERIFY2(f.io.errors.first().startsWith(messageStart), qPrintable(f.io.errors.first()));
        QCOMPARE(QApplication::focusWidget(), widget(form, focusAfter));
        QVERIFY(started.calls.isEmpty());
    }
    f.close();
}

void tst_FormGates::dateTextCheckedFirst_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("typedIn"); // the date box the person is typing in; empty: both
                                          // boxes hold an invalid text, the focus elsewhere
    QTest::addColumn<QString>("focusAfter");

    QTest::newRow("preview, typing in the final box") << "sbtPreview"
                                                      << "depDataFin"
                                                      << "depDataFin";
    QTest::newRow("report editing, typing in the initial box") << "sbtReportEdit"
                                                               << "depDataIni"
                                                               << "depDataIni";
    QTest::newRow("save as, both boxes: the initial first") << "sbtSalvarComo" << QString() << "depDataIni";
}

void tst_FormGates::dateTextCheckedFirst()
{
    QFETCH(QString, command);
    QFETCH(QString, typedIn);
    QFETCH(QString, focusAfter);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    CommandLog started;
    started.watch(form, f.io);
    // Everything else would fail too: otherwise the empty branch is told first.
    FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), QString());
    if (typedIn.isEmpty()) {
        FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
        control<TDateEditPlus>(form, "depDataIni")->setText(QStringLiteral("31/02/2026"));
        control<TDateEditPlus>(form, "depDataFin")->setText(QStringLiteral("31/02/2026"));
    } else {
        FormFixture::type(widget(form, typedIn), QStringLiteral("31022026"));
    }
    QVERIFY(f.io.errors.isEmpty());

    button(form, command)->click();
    QCOMPARE(f.io.errors, QStringList{kDataInvalida});
    QCOMPARE(QApplication::focusWidget(), widget(form, focusAfter));
    QVERIFY(started.calls.isEmpty());
    f.close();
}

void tst_FormGates::validFormRunsEachCommandOnce_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("preview") << "sbtPreview";
    QTest::newRow("print") << "sbtPrint";
    QTest::newRow("save as") << "sbtSalvarComo";
}

void tst_FormGates::validFormRunsEachCommandOnce()
{
    QFETCH(QString, command);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    CommandLog started;
    started.watch(form, f.io);
    FormFixture::focus(control<TSpinEdit>(form, "speSemIni"));
    f.io.saveAnswers.clear(); // save as is cancelled in its dialog

    // The base command may then succeed or fail on its own; only its start is the gate's.
    button(form, command)->click();
    QCOMPARE(started.calls.size(), 1);
    QCOMPARE(started.calls.first().command, command + QStringLiteral("Click"));
    QCOMPARE(started.calls.first().sender, button(form, command));
    QCOMPARE(started.calls.first().messagesBefore, 0);
    f.close();
}

void tst_FormGates::oneMessageWhenTheFocusLeavesAnEdit()
{
    FormFixture f;
    // Ten required positions: the nine-digit codes that the first activation puts in the
    // product edits do not fit, and nothing checks them until output.
    f.env.exec(QStringLiteral("UPDATE PICTURA SET DSMASCARA = 'CCCCCCCCCC;0; ' WHERE IDPICTURA = 0"));
    TfrmListaPrecRel *form = f.open();
    CommandLog started;
    started.watch(form, f.io);
    QCOMPARE(QApplication::focusWidget(), control<TMaskEdit>(form, "medCdFilial"));

    control<QToolButton>(form, "sbtPreview")->click();
    QVERIFY(started.calls.isEmpty());
    QCOMPARE(QApplication::focusWidget(), control<TMaskEdit>(form, "medCdProdIni"));
    QVERIFY(!f.io.errors.isEmpty());
    QVERIFY(f.io.errors.first().contains(QStringLiteral("incompleto")));
    // The gate puts the focus on the product edit, leaving the branch panel: its exit must not
    // validate the same product again and show the message a second time.
    QCOMPARE(f.io.errors.size(), 1);
    f.close();
}

QTEST_MAIN(tst_FormGates)
#include "tst_formgates.moc"
