// The report query's parameters as the price-list screen fills them when the report engine
// asks: only the declared names, from the form's state at that moment.
#include "FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "data/Database.h"
#include "errors/EAbort.h"
#include "text/ListString.h"
#include "data/TADOIBQuery.h"
#include "data/TParams.h"
#include "TfrmListaPrecRel.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "report/TReportDesignerDialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTest>

namespace {

const QStringList kAllNames = {
    QStringLiteral("P_PAGINA"),      QStringLiteral("P_CDFILIAL"),   QStringLiteral("P_CDFILCENTCMP"),
    QStringLiteral("P_TODOSPROD"),   QStringLiteral("P_CDPRODINI"),  QStringLiteral("P_CDPRODFIN"),
    QStringLiteral("L_LISTAOPER"),   QStringLiteral("L_LISTAFORNE"), QStringLiteral("L_LISTAOPER1"),
    QStringLiteral("L_LISTAFORNE1"), QStringLiteral("P_CDREGIAO"),   QStringLiteral("P_DTINI"),
    QStringLiteral("P_DTFIN"),       QStringLiteral("P_SISTEMA"),    QStringLiteral("P_VARIPRECO"),
    QStringLiteral("P_ORDPI")};

TParams declare(const QStringList &names)
{
    TParams params;
    for (const QString &n : names)
        params.CreateParam(n);
    return params;
}

// Runs the handler as the report engine does.
void fill(TfrmListaPrecRel *form, TParams &params)
{
    bool flag = true;
    control<TReportDesignerDialog>(form, "rpddPadrao")->BeforeGetQueryParams(params, flag);
}

QString regionOf(const QString &branch)
{
    QSqlQuery q(dtmDBGeral::dtbGeral());
    q.prepare(QStringLiteral("SELECT CDREGIAO FROM FILIAL WHERE CDFILIAL = ?"));
    q.addBindValue(branch);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

} // namespace

class tst_FormParams : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void onlyDeclaredNames_data();
    void onlyDeclaredNames();
    void valuesFromTheForm_data();
    void valuesFromTheForm();
    void purchasingCentre_data();
    void purchasingCentre();
    void finalProductBound_data();
    void finalProductBound();
    void systemPerModule_data();
    void systemPerModule();
    void flagComesBackUnchanged_data();
    void flagComesBackUnchanged();
    void declaredTypes_data();
    void declaredTypes();
    void databaseFailureStopsMidway();
};

void tst_FormParams::cleanup()
{
    QCOMPARE(boIdCriado, false);
}

void tst_FormParams::onlyDeclaredNames_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::newRow("none of the sixteen") << QStringList{QStringLiteral("P_OUTRO")};
    QTest::newRow("only P_DTFIN and L_LISTAFORNE1")
        << QStringList{QStringLiteral("P_DTFIN"), QStringLiteral("L_LISTAFORNE1"), QStringLiteral("P_OUTRO")};
    QTest::newRow("all sixteen") << (QStringList(kAllNames) << QStringLiteral("P_OUTRO"));
}

void tst_FormParams::onlyDeclaredNames()
{
    QFETCH(QStringList, names);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    int refreshed = 0;
    connect(control<TADOIBQuery>(form, "qryCentComp"), &TDataSet::opened, form, [&refreshed] { ++refreshed; });

    TParams params = declare(names);
    params.ParamByName(QStringLiteral("P_OUTRO")).setValue(QStringLiteral("da definição"));
    fill(form, params);

    QCOMPARE(params.Count(), names.size()); // nothing added, nothing removed
    for (int i = 0; i < params.Count(); ++i)
        QCOMPARE(params[i].Name(), names.at(i));
    for (const QString &n : kAllNames) {
        if (names.contains(n))
            QVERIFY2(!params.ParamByName(n).IsNull(), qPrintable(n));
    }
    QCOMPARE(params.ParamByName(QStringLiteral("P_OUTRO")).Value().toString(), QStringLiteral("da definição"));
    QCOMPARE(refreshed, 1); // the purchasing centre is looked up at every call
    if (names.contains(QStringLiteral("P_DTFIN"))) {
        QCOMPARE(params.ParamByName(QStringLiteral("P_DTFIN")).Value(),
                 QVariant(control<TDateEditPlus>(form, "depDataFin")->GetDate()));
        QCOMPARE(params.ParamByName(QStringLiteral("L_LISTAFORNE1")).AsString(), QStringLiteral("T"));
    }
    f.close();
}

void tst_FormParams::valuesFromTheForm_data()
{
    QTest::addColumn<bool>("changed"); // false: the defaults of the first activation
    QTest::newRow("defaults, module 4") << false;
    QTest::newRow("every choice changed, module 34") << true;
}

void tst_FormParams::valuesFromTheForm()
{
    QFETCH(bool, changed);
    FormFixture f;
    Session::current().modulo = changed ? 34 : 4;
    TfrmListaPrecRel *form = f.open();
    const QString first = control<TMaskEdit>(form, "medCdProdIni")->Text();
    const QString last = control<TMaskEdit>(form, "medCdProdFin")->Text();
    QCOMPARE(last.size(), 9); // demo tree codes: nine digits
    QString buyers = QStringLiteral("T");
    if (changed) {
        FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), QStringLiteral("0002"));
        FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
        control<TCheckBox>(form, "chbFornecedor")->click();
        control<TRadioButton>(form, "rbtCompFili")->click();
        control<TCheckBox>(form, "chkVariPreco")->click();
        QVERIFY(control<TCheckBox>(form, "chkOrdPrPI")->isVisible());
        control<TCheckBox>(form, "chkOrdPrPI")->click();
        control<TRadioButton>(form, "rbtListaComp")->click();
        f.io.onPickList = [](TDataSource *, const QString &, const QString &, const QStringList &) {
            return QStringList{QStringLiteral("000002"), QStringLiteral("000005")};
        };
        control<TButtonFlat>(form, "sbtComprador")->click();
        buyers = ListString::encode({QStringLiteral("000002"), QStringLiteral("000005")});
        QCOMPARE(form->choices().buyers, buyers);
        control<TRadioButton>(form, "rbtListaForn")->click(); // pending: reaches the report empty
        control<TDateEditPlus>(form, "depDataIni")->SetDate(QDate(2026, 3, 2));
    }
    QVERIFY(f.io.errors.isEmpty());

    TParams params = declare(kAllNames);
    fill(form, params);
    auto text = [&params](const char *name) { return params.ParamByName(QString::fromLatin1(name)).AsString(); };

    QCOMPARE(text("P_PAGINA"), changed ? QStringLiteral("T") : QStringLiteral("F"));
    QCOMPARE(text("P_CDFILIAL"), changed ? QStringLiteral("0002") : QStringLiteral("0001"));
    QCOMPARE(text("P_CDFILCENTCMP"), QStringLiteral("0001"));
    QCOMPARE(text("P_TODOSPROD"), changed ? QStringLiteral("C") : QStringLiteral("T"));
    QCOMPARE(text("P_CDPRODINI"), first);
    QCOMPARE(text("P_CDPRODFIN"), last + QStringLiteral("Z"));
    QCOMPARE(text("L_LISTAOPER"), buyers);
    QCOMPARE(text("L_LISTAOPER1"), buyers);
    QCOMPARE(text("L_LISTAFORNE"), changed ? QString() : QStringLiteral("T"));
    QCOMPARE(text("L_LISTAFORNE1"), changed ? QString() : QStringLiteral("T"));
    // The region code is only written by validating the branch or by the lookup.
    QCOMPARE(text("P_CDREGIAO"), changed ? regionOf(QStringLiteral("0002")) : QString());
    QCOMPARE(text("P_SISTEMA"), changed ? QStringLiteral("SUP") : QStringLiteral("CMP"));
    QCOMPARE(text("P_VARIPRECO"), changed ? QStringLiteral("S") : QStringLiteral("N"));
    QCOMPARE(text("P_ORDPI"), changed ? QStringLiteral("S") : QStringLiteral("N"));

    const TParam &dtIni = params.ParamByName(QStringLiteral("P_DTINI"));
    const TParam &dtFin = params.ParamByName(QStringLiteral("P_DTFIN"));
    QCOMPARE(dtIni.DataType(), TFieldType::ftDate);
    QCOMPARE(dtFin.DataType(), TFieldType::ftDate);
    if (changed) {
        QCOMPARE(dtIni.AsDate(), QDate(2026, 3, 2));
        QVERIFY(dtFin.IsNull()); // module 34 starts with blank dates
    } else {
        QVERIFY(dtIni.AsDate().isValid());
        QCOMPARE(dtIni.AsDate(), control<TDateEditPlus>(form, "depDataIni")->GetDate());
        QCOMPARE(dtFin.AsDate(), control<TDateEditPlus>(form, "depDataFin")->GetDate());
    }
    f.close();
}

void tst_FormParams::purchasingCentre_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("centre");

    QTest::newRow("own code when the centre is null") << QString() << "0001"
                                                      << "0001";
    QTest::newRow("the centre when set") << QString() << "0002"
                                         << "0001";
    QTest::newRow("another centre") << QString() << "0007"
                                    << "0006";
    QTest::newRow("empty branch") << QString() << QString() << QString();
    QTest::newRow("unknown branch") << QString() << "9999" << QString();
    QTest::newRow("centre that is no branch") << "UPDATE FILIAL SET CDFILCENTCMP = '0999' WHERE CDFILIAL = '0003'"
                                              << "0003" << QString();
    // Unlike the branch check, the centre does not depend on the region's row.
    QTest::newRow("branch of a region without row") << QString() << "0008"
                                                    << "0006";
}

void tst_FormParams::purchasingCentre()
{
    QFETCH(QString, setup);
    QFETCH(QString, branch);
    QFETCH(QString, centre);

    FormFixture f;
    if (!setup.isEmpty())
        f.env.exec(setup);
    TfrmListaPrecRel *form = f.open();
    const QStringList names = {QStringLiteral("P_CDFILIAL"), QStringLiteral("P_CDFILCENTCMP")};

    TParams before = declare(names);
    fill(form, before);
    QCOMPARE(before.ParamByName(names.at(1)).AsString(), QStringLiteral("0001"));

    // The branch of the moment, looked up again.
    FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), branch);
    TParams params = declare(names);
    fill(form, params);
    QCOMPARE(params.ParamByName(names.at(0)).AsString(), branch);
    QCOMPARE(params.ParamByName(names.at(1)).AsString(), centre);
    QVERIFY(!params.ParamByName(names.at(1)).IsNull());
    f.close();
}

void tst_FormParams::finalProductBound_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("bound");   // P_CDPRODFIN for the final edit
    QTest::addColumn<QString>("trimmed"); // P_CDPRODINI for the same text in the initial edit

    // The count of Z uses the length before trimming: 9 characters, not 10.
    QTest::newRow("leading blank counts") << " A1"
                                          << "A1ZZZZZZZ"
                                          << "A1";
    QTest::newRow("trailing blank counts") << "A1 "
                                           << "A1ZZZZZZZ"
                                           << "A1";
    QTest::newRow("short code") << "123"
                                << "123ZZZZZZZ"
                                << "123";
    QTest::newRow("empty: ten Z") << QString() << "ZZZZZZZZZZ" << QString();
    QTest::newRow("ten characters unchanged") << "ABCDEFGHIJ"
                                              << "ABCDEFGHIJ"
                                              << "ABCDEFGHIJ";
    QTest::newRow("twelve characters, no Z") << "ABCDEFGHIJKL"
                                             << "ABCDEFGHIJKL"
                                             << "ABCDEFGHIJKL";
    QTest::newRow("eleven with a blank, trimmed, no Z") << " ABCDEFGHIJ"
                                                        << "ABCDEFGHIJ"
                                                        << "ABCDEFGHIJ";
}

void tst_FormParams::finalProductBound()
{
    QFETCH(QString, typed);
    QFETCH(QString, bound);
    QFETCH(QString, trimmed);

    FormFixture f;
    // Twelve positions of any character; "_" marks the unfilled ones, so a typed blank stays.
    f.env.exec(QStringLiteral("UPDATE PICTURA SET DSMASCARA = 'cccccccccccc;0;_' WHERE IDPICTURA = 0"));
    TfrmListaPrecRel *form = f.open();
    FormFixture::type(control<TMaskEdit>(form, "medCdProdIni"), typed);
    FormFixture::type(control<TMaskEdit>(form, "medCdProdFin"), typed);
    QCOMPARE(control<TMaskEdit>(form, "medCdProdIni")->Text(), typed);
    QCOMPARE(control<TMaskEdit>(form, "medCdProdFin")->Text(), typed);

    TParams params = declare({QStringLiteral("P_CDPRODINI"), QStringLiteral("P_CDPRODFIN")});
    fill(form, params);
    QCOMPARE(params.ParamByName(QStringLiteral("P_CDPRODFIN")).AsString(), bound);
    QCOMPARE(params.ParamByName(QStringLiteral("P_CDPRODINI")).AsString(), trimmed);
    f.close();
}

void tst_FormParams::systemPerModule_data()
{
    QTest::addColumn<int>("module");
    QTest::addColumn<QString>("system");
    QTest::newRow("4") << 4 << "CMP";
    QTest::newRow("34") << 34 << "SUP";
    QTest::newRow("75") << 75 << "AGL";
    QTest::newRow("12 keeps the report's value") << 12 << "XYZ";
}

void tst_FormParams::systemPerModule()
{
    QFETCH(int, module);
    QFETCH(QString, system);
    FormFixture f;
    Session::current().modulo = module;
    TfrmListaPrecRel *form = f.open();
    TParams params = declare({QStringLiteral("P_SISTEMA"), QStringLiteral("P_ORDPI")});
    params.ParamByName(QStringLiteral("P_SISTEMA")).setValue(QStringLiteral("XYZ"));
    fill(form, params);
    QCOMPARE(params.ParamByName(QStringLiteral("P_SISTEMA")).AsString(), system);
    QCOMPARE(params.ParamByName(QStringLiteral("P_ORDPI")).AsString(), QStringLiteral("N"));
    f.close();
}

void tst_FormParams::flagComesBackUnchanged_data()
{
    QTest::addColumn<bool>("flag");
    QTest::newRow("true") << true;
    QTest::newRow("false") << false;
}

void tst_FormParams::flagComesBackUnchanged()
{
    QFETCH(bool, flag);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    TParams params = declare(kAllNames);
    bool value = flag;
    control<TReportDesignerDialog>(form, "rpddPadrao")->BeforeGetQueryParams(params, value);
    QCOMPARE(value, flag);
    f.close();
}

void tst_FormParams::declaredTypes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<TFieldType>("declared");
    QTest::addColumn<TFieldType>("after");

    // Variant text keeps whatever type the report declared.
    QTest::newRow("variant text keeps a declared type")
        << "P_CDFILIAL" << TFieldType::ftInteger << TFieldType::ftInteger;
    QTest::newRow("variant text, undeclared, becomes text")
        << "P_PAGINA" << TFieldType::ftUnknown << TFieldType::ftString;
    QTest::newRow("final bound keeps a declared type") << "P_CDPRODFIN" << TFieldType::ftDate << TFieldType::ftDate;
    QTest::newRow("list is always text") << "L_LISTAOPER" << TFieldType::ftInteger << TFieldType::ftString;
    QTest::newRow("region is always text") << "P_CDREGIAO" << TFieldType::ftDate << TFieldType::ftString;
    QTest::newRow("date is always a date") << "P_DTINI" << TFieldType::ftString << TFieldType::ftDate;
    QTest::newRow("system is always text") << "P_SISTEMA" << TFieldType::ftFloat << TFieldType::ftString;
}

void tst_FormParams::declaredTypes()
{
    QFETCH(QString, name);
    QFETCH(TFieldType, declared);
    QFETCH(TFieldType, after);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    TParams params;
    params.CreateParam(name, declared);
    fill(form, params);
    QCOMPARE(params.ParamByName(name).DataType(), after);
    QVERIFY(!params.ParamByName(name).IsNull());
    f.close();
}

void tst_FormParams::databaseFailureStopsMidway()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    TParams params = declare({QStringLiteral("P_PAGINA"), QStringLiteral("P_CDFILIAL"),
                              QStringLiteral("P_CDFILCENTCMP"), QStringLiteral("P_TODOSPROD")});
    // The database goes away for good: the general connection cannot be opened again.
    DbConfig gone;
    gone.database = f.env.dir() + QStringLiteral("/removido.db");
    try {
        dtmDBGeral::open(gone);
    } catch (const EDatabaseError &) {
    }
    bool raised = false;
    try {
        bool flag = true;
        control<TReportDesignerDialog>(form, "rpddPadrao")->BeforeGetQueryParams(params, flag);
    } catch (const EDatabaseError &e) {
        raised = true;
        QVERIFY2(e.message().contains(QStringLiteral("não foi encontrado")), qPrintable(e.message()));
    }
    f.env.reopen();
    QVERIFY(raised); // not swallowed: the report engine shows it and stops
    // What was assigned before the failure stays; nothing after it ran.
    QCOMPARE(params.ParamByName(QStringLiteral("P_PAGINA")).AsString(), QStringLiteral("F"));
    QCOMPARE(params.ParamByName(QStringLiteral("P_CDFILIAL")).AsString(), QStringLiteral("0001"));
    QVERIFY(params.ParamByName(QStringLiteral("P_CDFILCENTCMP")).IsNull());
    QVERIFY(params.ParamByName(QStringLiteral("P_TODOSPROD")).IsNull());
    QVERIFY(f.io.errors.isEmpty());
    f.close();
}

QTEST_MAIN(tst_FormParams)
#include "tst_formparams.moc"
