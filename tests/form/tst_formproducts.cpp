// The product range of the price-list screen: codes checked when the person leaves them,
// the order of the range at output, the picture of product codes, and the lookups.
#include "FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "data/Database.h"
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

const QString kOrdem = QStringLiteral("Produto inicial deve ser menor ou igual ao produto final.");
const QString kFinDeve = QStringLiteral("Produto final deve ser informado.");
const QString kCompDeve = QStringLiteral("Comprador deve ser informado.");
// A picture that takes any character in ten positions.
const QString kFreePicture = QStringLiteral("cccccccccc;0; ");

QStringList productCodes()
{
    QSqlQuery q(dtmDBGeral::dtbGeral());
    QStringList codes;
    if (q.exec(QStringLiteral("SELECT CDARVPROD FROM PRODUTO ORDER BY CDARVPROD")))
        while (q.next())
            codes << q.value(0).toString();
    return codes;
}

QString productName(const QString &code)
{
    QSqlQuery q(dtmDBGeral::dtbGeral());
    q.prepare(QStringLiteral("SELECT NMPRODUTO FROM PRODUTO WHERE CDARVPROD = ?"));
    q.addBindValue(code);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

// Types any text, characters outside Latin-1 included, over the edit's text.
void typeAny(QWidget *w, const QString &text)
{
    FormFixture::type(w, QString());
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QApplication::processEvents();
}

TMaskEdit *edit(TfrmListaPrecRel *form, const QString &side)
{
    return side == QLatin1String("ini") ? control<TMaskEdit>(form, "medCdProdIni")
                                        : control<TMaskEdit>(form, "medCdProdFin");
}

QLineEdit *nameBox(TfrmListaPrecRel *form, const QString &side)
{
    return side == QLatin1String("ini") ? control<QLineEdit>(form, "edtNmProdIni")
                                        : control<QLineEdit>(form, "edtNmProdFin");
}

TBtnPesquisa *lookupButton(TfrmListaPrecRel *form, const QString &side)
{
    return side == QLatin1String("ini") ? control<TBtnPesquisa>(form, "sbtProdIni")
                                        : control<TBtnPesquisa>(form, "sbtProdFin");
}

} // namespace

class tst_FormProducts : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void rangeOrderInBytes_data();
    void rangeOrderInBytes();
    void orderTestedOnlyForRequiredInitial();
    void leavingAnEdit_data();
    void leavingAnEdit();
    void pictureRefusesCode_data();
    void pictureRefusesCode();
    void finalRequiredAfterInitialPassed();
    void lookupFillsCodeAndName_data();
    void lookupFillsCodeAndName();
};

void tst_FormProducts::cleanup()
{
    QCOMPARE(boIdCriado, false);
}

void tst_FormProducts::rangeOrderInBytes_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("final");
    QTest::addColumn<bool>("refused");

    QTest::newRow("equal") << "A1"
                           << "A1" << false;
    QTest::newRow("prefix below the longer") << "AB"
                                             << "ABC" << false;
    QTest::newRow("longer above its prefix") << "ABC"
                                             << "AB" << true;
    QTest::newRow("B above A") << "B"
                               << "A" << true;
    QTest::newRow("lower case above upper case") << "a"
                                                 << "Z" << true;
    QTest::newRow("upper case below lower case") << "Z"
                                                 << "a" << false;
    QTest::newRow("lower case above digits") << "a"
                                             << "9" << true;
    QTest::newRow("digits below upper case") << "9"
                                             << "A" << false;
    QTest::newRow("no case folding") << "ab"
                                     << "AB" << true;
    // In Windows-1252 the euro sign is 0x80 and e-acute 0xE9 (in UTF-16 the euro is above).
    QTest::newRow("euro below e-acute in bytes") << "€"
                                                 << "é" << false;
    QTest::newRow("e-acute above z") << "é"
                                     << "z" << true;
}

void tst_FormProducts::rangeOrderInBytes()
{
    QFETCH(QString, initial);
    QFETCH(QString, final);
    QFETCH(bool, refused);

    FormFixture f;
    f.env.exec(QStringLiteral("UPDATE PICTURA SET DSMASCARA = ? WHERE IDPICTURA = 0"), {kFreePicture});
    TfrmListaPrecRel *form = f.open();
    // Buyers on "Lista" with none picked: a command that gets past every field check
    // stops at the buyer list, so its message tells that the range passed.
    control<TRadioButton>(form, "rbtListaComp")->click();

    typeAny(control<TMaskEdit>(form, "medCdProdIni"), initial);
    typeAny(control<TMaskEdit>(form, "medCdProdFin"), final);
    FormFixture::focus(control<TMaskEdit>(form, "medCdProdIni"));
    QCOMPARE(control<TMaskEdit>(form, "medCdProdIni")->Text(), initial);
    QCOMPARE(control<TMaskEdit>(form, "medCdProdFin")->Text(), final);
    QVERIFY(f.io.errors.isEmpty()); // leaving an edit never tests the order

    control<QToolButton>(form, "sbtPreview")->click();
    QCOMPARE(f.io.errors, QStringList{refused ? kOrdem : kCompDeve});
    QCOMPARE(QApplication::focusWidget(), refused ? static_cast<QWidget *>(control<TMaskEdit>(form, "medCdProdIni"))
                                                  : control<TRadioButton>(form, "rbtListaComp"));
    f.close();
}

void tst_FormProducts::orderTestedOnlyForRequiredInitial()
{
    FormFixture f;
    f.env.exec(QStringLiteral("UPDATE PICTURA SET DSMASCARA = ? WHERE IDPICTURA = 0"), {kFreePicture});
    TfrmListaPrecRel *form = f.open();
    QStringList started;
    connect(form, &TfrmDadosGerRel::commandStarted, form, [&](const QString &command, QObject *) {
        started << command + QLatin1Char('@') + QString::number(f.io.errors.size());
    });

    FormFixture::type(control<TMaskEdit>(form, "medCdProdIni"), QStringLiteral("B"));
    FormFixture::type(control<TMaskEdit>(form, "medCdProdFin"), QStringLiteral("A"));
    FormFixture::focus(control<TMaskEdit>(form, "medCdProdIni"));
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    QVERIFY(f.io.errors.isEmpty());

    // An output validates the focused final edit first, required, and never compares it with
    // the initial one: the order is refused once, on the initial edit.
    FormFixture::focus(control<TMaskEdit>(form, "medCdProdFin"));
    control<QToolButton>(form, "sbtPreview")->click();
    QCOMPARE(f.io.errors, QStringList{kOrdem});
    QCOMPARE(QApplication::focusWidget(), control<TMaskEdit>(form, "medCdProdIni"));
    QVERIFY(started.isEmpty());
    f.io.errors.clear();

    // Report editing validates without requiring: the reversed range goes through.
    FormFixture::focus(control<TMaskEdit>(form, "medCdProdIni"));
    control<QToolButton>(form, "sbtReportEdit")->click();
    QCOMPARE(started.value(0), QStringLiteral("sbtReportEditClick@0"));
    QVERIFY(f.io.errors.isEmpty());
    f.close();
}

void tst_FormProducts::leavingAnEdit_data()
{
    QTest::addColumn<QString>("side");
    QTest::addColumn<QString>("which"); // "known", "unknown" or "empty"
    for (const char *side : {"ini", "fin"}) {
        QTest::addRow("%s: known code gets its name", side) << side << "known";
        QTest::addRow("%s: unknown code, empty name and no message", side) << side << "unknown";
        QTest::addRow("%s: empty passes", side) << side << "empty";
    }
}

void tst_FormProducts::leavingAnEdit()
{
    QFETCH(QString, side);
    QFETCH(QString, which);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    const QStringList codes = productCodes();
    QVERIFY(codes.size() > 3);
    QString code;
    if (which == QLatin1String("known"))
        code = codes.at(2);
    else if (which == QLatin1String("unknown"))
        code = QStringLiteral("999999999");
    QVERIFY(which != QLatin1String("unknown") || !codes.contains(code));

    FormFixture::type(edit(form, side), code);
    QVERIFY(nameBox(form, side)->text().isEmpty()); // typing clears the name
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));

    QVERIFY2(f.io.errors.isEmpty(), qPrintable(f.io.errors.join(QLatin1Char('|'))));
    QCOMPARE(edit(form, side)->Text(), code);
    QCOMPARE(nameBox(form, side)->text(), which == QLatin1String("known") ? productName(code) : QString());
    if (which == QLatin1String("known"))
        QVERIFY(!nameBox(form, side)->text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), control<TCheckBox>(form, "chkVariPreco"));
    f.close();
}

void tst_FormProducts::pictureRefusesCode_data()
{
    QTest::addColumn<QString>("side");
    QTest::addColumn<bool>("atOutput");         // false: on leaving the edit
    QTest::addColumn<QString>("typed");         // empty: the code set at activation stays
    QTest::addColumn<QString>("pictureBefore"); // empty: the demo picture (digits)
    QTest::addColumn<QString>("pictureAfter");
    QTest::addColumn<QString>("messageStart");

    const QString digits = QStringLiteral("99.999.9999;0; ");
    const QString letterRefused = QStringLiteral("O caractere 'A' não é aceito na posição 3");
    QTest::newRow("initial, on leaving") << "ini" << false << "12AB" << kFreePicture << digits << letterRefused;
    QTest::newRow("final, on leaving") << "fin" << false << "12AB" << kFreePicture << digits << letterRefused;
    QTest::newRow("initial, at output") << "ini" << true << "12AB" << kFreePicture << digits << letterRefused;
    QTest::newRow("final, longer than the picture, at output") << "fin" << true << QString() << QString() << "999;0; "
                                                               << "O código";
}

void tst_FormProducts::pictureRefusesCode()
{
    QFETCH(QString, side);
    QFETCH(bool, atOutput);
    QFETCH(QString, typed);
    QFETCH(QString, pictureBefore);
    QFETCH(QString, pictureAfter);
    QFETCH(QString, messageStart);

    FormFixture f;
    if (!pictureBefore.isEmpty())
        f.env.exec(QStringLiteral("UPDATE PICTURA SET DSMASCARA = ? WHERE IDPICTURA = 0"), {pictureBefore});
    TfrmListaPrecRel *form = f.open();
    QStringList started;
    connect(form, &TfrmDadosGerRel::commandStarted, form, [&](const QString &c, QObject *) { started << c; });
    if (typed.isEmpty())
        FormFixture::focus(edit(form, side));
    else
        FormFixture::type(edit(form, side), typed);
    const QString name = nameBox(form, side)->text();
    // The product picture changes under the screen: the edit's text no longer fits it.
    f.env.exec(QStringLiteral("UPDATE PICTURA SET DSMASCARA = ? WHERE IDPICTURA = 0"), {pictureAfter});

    if (atOutput)
        control<QToolButton>(form, "sbtPreview")->click();
    else
        FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));

    QCOMPARE(f.io.errors.size(), 1);
    QVERIFY2(f.io.errors.first().startsWith(messageStart), qPrintable(f.io.errors.first()));
    QCOMPARE(QApplication::focusWidget(), edit(form, side));
    QCOMPARE(nameBox(form, side)->text(), name); // not written after a refusal
    QVERIFY(started.isEmpty());
    f.close();
}

void tst_FormProducts::finalRequiredAfterInitialPassed()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    FormFixture::type(control<TMaskEdit>(form, "medCdProdFin"), QString());
    FormFixture::focus(control<TMaskEdit>(form, "medCdProdIni"));
    QVERIFY(f.io.errors.isEmpty());

    // The initial edit is validated first and passes with the final one empty.
    control<QToolButton>(form, "sbtSalvarComo")->click();
    QCOMPARE(f.io.errors, QStringList{kFinDeve});
    QCOMPARE(QApplication::focusWidget(), control<TMaskEdit>(form, "medCdProdFin"));
    f.close();
}

void tst_FormProducts::lookupFillsCodeAndName_data()
{
    QTest::addColumn<QString>("side");
    QTest::newRow("initial") << "ini";
    QTest::newRow("final") << "fin";
}

void tst_FormProducts::lookupFillsCodeAndName()
{
    QFETCH(QString, side);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    const QStringList codes = productCodes();
    const QString chosen = codes.at(5);
    const QString before = edit(form, side)->Text();

    QString offered, keyField;
    f.io.onLookup = [&](TDataSource *, const QString &, const QString &field, QString &key) {
        offered = key;
        keyField = field;
        key = chosen;
        return true;
    };
    QVERIFY(lookupButton(form, side)->Execute());
    QCOMPARE(f.io.lastTitle, QStringLiteral("Produto"));
    QCOMPARE(keyField, QStringLiteral("CDARVPROD"));
    QCOMPARE(offered, before); // the list starts from the code in the edit
    QCOMPARE(edit(form, side)->Text(), chosen);
    QCOMPARE(nameBox(form, side)->text(), productName(chosen));
    QVERIFY(!nameBox(form, side)->text().isEmpty());
    QVERIFY(f.io.errors.isEmpty());
    QCOMPARE(QApplication::focusWidget(), edit(form, side));

    // Leaving validates it and writes the same name again.
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    QVERIFY(f.io.errors.isEmpty());
    QCOMPARE(nameBox(form, side)->text(), productName(chosen));
    f.close();
}

QTEST_MAIN(tst_FormProducts)
#include "tst_formproducts.moc"
