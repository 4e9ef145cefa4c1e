// The branch group of the price-list screen: the code checked against the branch table when
// the person leaves it, when the focus leaves the branch panel, and through the lookup.
#include "FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "data/Database.h"
#include "data/TADOIBQuery.h"
#include "TfrmListaPrecRel.h"
#include "controls/lookup/TBtnPesquisa.h"
#include "controls/TControls.h"
#include "controls/TMaskEdit.h"

#include <QApplication>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>
#include <QToolButton>

namespace {

const QString kDeve = QStringLiteral("Filial deve ser informada.");
const QString kNaoCad = QStringLiteral("Filial não cadastrada.");
const QString kResc = QStringLiteral("Filial com contrato rescindido.");
const QString kCentral = QStringLiteral("Filial não é controlada pela central de compras de processamento.");

// Name, region name and region code of a branch as the form shows them (empty when the
// branch has no row joined to its region).
QStringList branchTexts(const QString &code)
{
    QSqlQuery q(dtmDBGeral::dtbGeral());
    q.prepare(QStringLiteral("SELECT F.NMFILIAL, R.NMREGIAO, F.CDREGIAO FROM FILIAL F "
                             "JOIN REGIAO R ON R.CDREGIAO = F.CDREGIAO WHERE F.CDFILIAL = ?"));
    q.addBindValue(code);
    if (!q.exec() || !q.next())
        return {QString(), QString(), QString()};
    return {q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
}

QStringList shownTexts(const TfrmListaPrecRel *form)
{
    return {control<QLineEdit>(form, "edtNmFilial")->text(), control<QLineEdit>(form, "edtNmRegiao")->text(),
            control<QLineEdit>(form, "edtCdRegiao")->text()};
}

} // namespace

class tst_FormBranch : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void leavingTheCode_data();
    void leavingTheCode();
    void emptyCodePassesAndKeepsRegion();
    void tiedToBranchLeavesFocusAlone_data();
    void tiedToBranchLeavesFocusAlone();
    void leavingThePanel_data();
    void leavingThePanel();
    void lookupFillsWithoutMessage();
};

void tst_FormBranch::cleanup()
{
    QCOMPARE(boIdCriado, false);
}

void tst_FormBranch::leavingTheCode_data()
{
    QTest::addColumn<int>("module");
    QTest::addColumn<QString>("setup"); // statement run on the data before the screen opens
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");    // what the edit shows afterwards
    QTest::addColumn<QString>("message"); // empty: none
    QTest::addColumn<bool>("namesShown"); // name, region name and region code of the branch

    QTest::newRow("existing") << 4 << QString() << "0002"
                              << "0002" << QString() << true;
    QTest::newRow("short code completed") << 4 << QString() << "2"
                                          << "0002" << QString() << true;
    QTest::newRow("lower case becomes upper case")
        << 4
        << "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, CDREGIAO, IDCNTRRESC, CDFILCENTCMP, DTPROCESSO) "
           "SELECT '00AB', 'Filial Letras', CDREGIAO, 'N', NULL, DTPROCESSO FROM FILIAL WHERE CDFILIAL = '0001'"
        << "ab"
        << "00AB" << QString() << true;
    QTest::newRow("not found empties the three") << 4 << QString() << "9999"
                                                 << "9999" << kNaoCad << false;
    // 0008 is in FILIAL, but its region has no REGIAO row.
    QTest::newRow("region without row is not found") << 4 << QString() << "8"
                                                     << "0008" << kNaoCad << false;
    QTest::newRow("rescinded keeps its names") << 4 << QString() << "0004"
                                               << "0004" << kResc << true;
    QTest::newRow("rescinded told before the centre rule")
        << 34 << "UPDATE FILIAL SET IDCNTRRESC = 'S' WHERE CDFILIAL = '0003'"
        << "3"
        << "0003" << kResc << true;
    // The rescinded mark is compared exactly.
    QTest::newRow("lower-case s is not rescinded") << 4 << "UPDATE FILIAL SET IDCNTRRESC = 's' WHERE CDFILIAL = '0003'"
                                                   << "3"
                                                   << "0003" << QString() << true;
    QTest::newRow("34: the processing branch") << 34 << QString() << "1"
                                               << "0001" << QString() << true;
    QTest::newRow("34: under the processing branch") << 34 << QString() << "0002"
                                                     << "0002" << QString() << true;
    QTest::newRow("34: no centre") << 34 << QString() << "0003"
                                   << "0003" << kCentral << true;
    QTest::newRow("34: under another centre") << 34 << QString() << "0007"
                                              << "0007" << kCentral << true;
    QTest::newRow("34: its own centre") << 34 << QString() << "0006"
                                        << "0006" << kCentral << true;
    QTest::newRow("34: blank centre counts as none")
        << 34 << "UPDATE FILIAL SET CDFILCENTCMP = '    ' WHERE CDFILIAL = '0002'"
        << "0002"
        << "0002" << kCentral << true;
    QTest::newRow("75: no centre") << 75 << QString() << "0003"
                                   << "0003" << QString() << true;
    QTest::newRow("4: under another centre") << 4 << QString() << "0007"
                                             << "0007" << QString() << true;
}

void tst_FormBranch::leavingTheCode()
{
    QFETCH(int, module);
    QFETCH(QString, setup);
    QFETCH(QString, typed);
    QFETCH(QString, code);
    QFETCH(QString, message);
    QFETCH(bool, namesShown);

    FormFixture f;
    if (!setup.isEmpty())
        f.env.exec(setup);
    Session::current().modulo = module;
    TfrmListaPrecRel *form = f.open();
    QVERIFY(form);

    FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), typed);
    // Leaving for a control outside the panel fires the edit's exit and then the panel's.
    FormFixture::focus(control<TMaskEdit>(form, "medCdProdIni"));

    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), code);
    QCOMPARE(f.io.errors, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(shownTexts(form), namesShown ? branchTexts(code) : QStringList({QString(), QString(), QString()}));
    if (namesShown)
        QVERIFY(!control<QLineEdit>(form, "edtNmFilial")->text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), message.isEmpty()
                                              ? static_cast<QWidget *>(control<TMaskEdit>(form, "medCdProdIni"))
                                              : control<TMaskEdit>(form, "medCdFilial"));
    f.close();
}

void tst_FormBranch::emptyCodePassesAndKeepsRegion()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), QStringLiteral("0002"));
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    const QString region = branchTexts(QStringLiteral("0002")).at(2);
    QVERIFY(!region.isEmpty());
    QCOMPARE(control<QLineEdit>(form, "edtCdRegiao")->text(), region);

    FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), QString());
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    QVERIFY(f.io.errors.isEmpty());
    QVERIFY(control<QLineEdit>(form, "edtNmFilial")->text().isEmpty());
    QVERIFY(control<QLineEdit>(form, "edtNmRegiao")->text().isEmpty());
    QCOMPARE(control<QLineEdit>(form, "edtCdRegiao")->text(), region); // the hidden code is only ever overwritten
    QCOMPARE(QApplication::focusWidget(), control<TCheckBox>(form, "chkVariPreco"));

    // Output requires the code.
    control<QToolButton>(form, "sbtPreview")->click();
    QCOMPARE(f.io.errors, QStringList{kDeve});
    QCOMPARE(QApplication::focusWidget(), control<TMaskEdit>(form, "medCdFilial"));
    f.close();
}

void tst_FormBranch::tiedToBranchLeavesFocusAlone_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<int>("module");
    QTest::addColumn<QString>("message");
    QTest::newRow("rescinded") << "0004" << 4 << kResc;
    QTest::newRow("missing") << "9999" << 4 << kNaoCad;
    // 0002 is controlled by 0001, not by itself.
    QTest::newRow("34: not its own centre") << "0002" << 34 << kCentral;
}

void tst_FormBranch::tiedToBranchLeavesFocusAlone()
{
    QFETCH(QString, branch);
    QFETCH(int, module);
    QFETCH(QString, message);

    FormFixture f;
    Session::current().filial = branch;
    Session::current().vinculadoFilial = true;
    Session::current().modulo = module;
    TfrmListaPrecRel *form = f.open();
    QVERIFY(!control<TMaskEdit>(form, "medCdFilial")->isEnabled());
    QVERIFY(f.io.errors.isEmpty()); // nothing is checked at activation

    QStringList started;
    connect(form, &TfrmDadosGerRel::commandStarted, form,
            [&started](const QString &command, QObject *) { started << command; });
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    control<QToolButton>(form, "sbtPrint")->click();
    QCOMPARE(f.io.errors, QStringList{message});
    QCOMPARE(QApplication::focusWidget(), control<TCheckBox>(form, "chkVariPreco"));
    QVERIFY(started.isEmpty());
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), branch);
    f.close();
}

void tst_FormBranch::leavingThePanel_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("productsFilled");
    QTest::addColumn<QString>("pictureAfterOpen"); // empty: unchanged
    QTest::addColumn<QStringList>("opened");       // queries opened, in order
    QTest::addColumn<QString>("messageStart");     // empty: none
    QTest::addColumn<QString>("focus");

    QTest::newRow("edit, products, then branch again")
        << "0002" << true << QString() << QStringList{"filial", "produto ini", "produto fin", "filial"} << QString()
        << "chkVariPreco";
    QTest::newRow("empty products report nothing")
        << "0002" << false << QString() << QStringList{"filial", "filial"} << QString() << "chkVariPreco";
    // A failed edit exit ends the panel's exit too: one message.
    QTest::newRow("branch fails on the edit's exit")
        << "9999" << true << QString() << QStringList{"filial"} << kNaoCad << "medCdFilial";
    // Digits under a letters-only picture: the initial product is refused before it is looked up.
    QTest::newRow("initial product refused first")
        << "0002" << true << "LLLLLLLLL;0; " << QStringList{"filial"} << "O caractere"
        << "medCdProdIni";
}

void tst_FormBranch::leavingThePanel()
{
    QFETCH(QString, typed);
    QFETCH(bool, productsFilled);
    QFETCH(QString, pictureAfterOpen);
    QFETCH(QStringList, opened);
    QFETCH(QString, messageStart);
    QFETCH(QString, focus);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    QCOMPARE(QApplication::focusWidget(), control<TMaskEdit>(form, "medCdFilial"));
    const QString first = control<TMaskEdit>(form, "medCdProdIni")->Text();
    const QString last = control<TMaskEdit>(form, "medCdProdFin")->Text();
    // Codes put in by the program, the range swapped so that both texts change: writing
    // them empties their names, which the panel's exit validates but does not refresh.
    control<TMaskEdit>(form, "medCdProdIni")->setText(productsFilled ? last : QString());
    control<TMaskEdit>(form, "medCdProdFin")->setText(productsFilled ? first : QString());
    QVERIFY(control<QLineEdit>(form, "edtNmProdIni")->text().isEmpty());
    if (!pictureAfterOpen.isEmpty())
        f.env.exec(QStringLiteral("UPDATE PICTURA SET DSMASCARA = ? WHERE IDPICTURA = 0"), {pictureAfterOpen});

    QStringList log;
    connect(control<TADOIBQuery>(form, "qryFilial"), &TDataSet::opened, form,
            [&log] { log << QStringLiteral("filial"); });
    connect(control<TADOIBQuery>(form, "qryVdProduto"), &TDataSet::opened, form, [&log, form, first, last] {
        const QString code =
            control<TADOIBQuery>(form, "qryVdProduto")->ParamByName(QStringLiteral("P_CDPRODUTO")).Value().toString();
        log << (code == last ? QStringLiteral("produto ini") : code == first ? QStringLiteral("produto fin") : code);
    });

    FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), typed);
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));

    QCOMPARE(log, opened);
    if (messageStart.isEmpty()) {
        QVERIFY2(f.io.errors.isEmpty(), qPrintable(f.io.errors.join(QLatin1Char('|'))));
    } else {
        QCOMPARE(f.io.errors.size(), 1);
        QVERIFY2(f.io.errors.first().startsWith(messageStart), qPrintable(f.io.errors.first()));
    }
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    QVERIFY(control<QLineEdit>(form, "edtNmProdIni")->text().isEmpty());
    QVERIFY(control<QLineEdit>(form, "edtNmProdFin")->text().isEmpty());
    f.close();
}

void tst_FormBranch::lookupFillsWithoutMessage()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    FormFixture::focus(control<TMaskEdit>(form, "medCdFilial"));

    QStringList codes, regions;
    f.io.onLookup = [&](TDataSource *source, const QString &, const QString &keyField, QString &key) {
        TDataSet *rows = source->DataSet();
        for (rows->First(); !rows->Eof(); rows->Next()) {
            codes << rows->FieldByName(keyField).AsString();
            regions << rows->FieldByName(QStringLiteral("CDREGIAO")).AsString();
        }
        key = QStringLiteral("0004"); // rescinded: the lookup itself does not refuse it
        return true;
    };
    QVERIFY(control<TBtnPesquisa>(form, "sbtFilial")->Execute());

    QCOMPARE(f.io.lastTitle, QStringLiteral("Filial"));
    QVERIFY(codes.contains(QStringLiteral("0001")) && codes.contains(QStringLiteral("0007")));
    QVERIFY(!codes.contains(QStringLiteral("0008"))); // its region has no row
    QStringList sorted = regions;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(regions, sorted);

    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0004"));
    QCOMPARE(shownTexts(form), branchTexts(QStringLiteral("0004")));
    QVERIFY(f.io.errors.isEmpty());
    QCOMPARE(QApplication::focusWidget(), control<TMaskEdit>(form, "medCdFilial"));

    // The refusal comes when the edit is left.
    FormFixture::focus(control<TMaskEdit>(form, "medCdProdFin"));
    QCOMPARE(f.io.errors, QStringList{kResc});
    QCOMPARE(QApplication::focusWidget(), control<TMaskEdit>(form, "medCdFilial"));
    f.close();
}

QTEST_MAIN(tst_FormBranch)
#include "tst_formbranch.moc"
