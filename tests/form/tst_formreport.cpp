// The screen's output commands reaching the report engine: the missing-definition message,
// a price list saved from the screen with a picked supplier list, and a definition saved
// under a new title.
#include "FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "text/ListString.h"
#include "TfrmListaPrecRel.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "report/TReportDesignerDialog.h"
#include "report/designer/DesignerDocument.h"
#include "report/designer/ReportDesignerWindow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSet>
#include <QTest>
#include <QToolButton>

namespace {

// The supplier codes (third column) of a saved price list.
QStringList suppliersOf(const QString &csvFile, QString *header = nullptr, bool *bom = nullptr)
{
    QFile f(csvFile);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    if (bom)
        *bom = bytes.startsWith("\xEF\xBB\xBF");
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    if (lines.size() == 1)
        lines = lines.first().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return {};
    if (header)
        *header = lines.takeFirst();
    else
        lines.removeFirst();
    QStringList codes;
    for (const QString &line : lines)
        codes << line.section(QLatin1Char(';'), 2, 2);
    return codes;
}

void wholePeriod(TfrmListaPrecRel *form)
{
    control<TDateEditPlus>(form, "depDataIni")->SetDate(QDate(2026, 1, 1));
    control<TDateEditPlus>(form, "depDataFin")->SetDate(QDate(2027, 12, 31));
}

} // namespace

class tst_FormReport : public QObject
{
    Q_OBJECT
private slots:
    void missingDefinitionNamesCodeAndFolder();
    void savedListHoldsOnlyThePickedSuppliers();
    void definitionSavedUnderNewTitle();
    void designerCommandsRefreshTheList_data();
    void designerCommandsRefreshTheList();
};

void tst_FormReport::missingDefinitionNamesCodeAndFolder()
{
    FormFixture f;
    const QString empty = f.env.dir() + QStringLiteral("/semrelatorios");
    QDir().mkpath(empty);
    Session::current().reportDir = empty;
    TfrmListaPrecRel *form = f.open();
    QCOMPARE(control<QComboBox>(form, "cbbReportNames")->count(), 0);
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    control<QToolButton>(form, "sbtPreview")->click();
    QCOMPARE(f.io.errors, QStringList{QStringLiteral("O arquivo contendo a definição do Relatório de código 'LPR077' "
                                                     "não foi encontrado no diretório '%1'.")
                                          .arg(empty)});
    f.close();
}

void tst_FormReport::savedListHoldsOnlyThePickedSuppliers()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    wholePeriod(form);

    // Everyone first: the list names several suppliers.
    const QString all = f.env.dir() + QStringLiteral("/todos.csv");
    f.io.saveAnswers << all;
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    control<QToolButton>(form, "sbtSalvarComo")->click();
    QVERIFY2(f.io.errors.isEmpty(), qPrintable(f.io.errors.join(QLatin1Char('\n'))));
    QString header;
    bool bom = false;
    const QStringList everyone = suppliersOf(all, &header, &bom);
    QVERIFY(bom); // UTF-8 with BOM, as spreadsheets expect
    QVERIFY(header.contains(QLatin1Char(';')));
    const QSet<QString> distinct(everyone.begin(), everyone.end());
    QVERIFY(distinct.size() >= 3);

    // Then two of them, picked in the dialog.
    const QStringList picked{*distinct.begin(), *std::next(distinct.begin())};
    control<TRadioButton>(form, "rbtListaForn")->click();
    f.io.onPickList = [&](TDataSource *, const QString &, const QString &, const QStringList &) { return picked; };
    control<TButtonFlat>(form, "sbtFornecedor")->click();
    QCOMPARE(ListString::decode(form->choices().suppliers), picked);
    const QString some = f.env.dir() + QStringLiteral("/alguns.csv");
    f.io.saveAnswers << some;
    control<QToolButton>(form, "sbtSalvarComo")->click();
    QVERIFY2(f.io.errors.isEmpty(), qPrintable(f.io.errors.join(QLatin1Char('\n'))));
    const QStringList chosen = suppliersOf(some);
    QVERIFY(!chosen.isEmpty());
    for (const QString &code : chosen)
        QVERIFY2(picked.contains(code), qPrintable(code));
    QCOMPARE(chosen.size(), int(everyone.count(picked.at(0)) + everyone.count(picked.at(1))));
    QCOMPARE(control<TReportDesignerDialog>(form, "rpddPadrao")
                 ->lastParams()
                 .ParamByName(QStringLiteral("L_LISTAFORNE"))
                 .AsString(),
             form->choices().suppliers);
    f.close();
}

void tst_FormReport::definitionSavedUnderNewTitle()
{
    FormFixture f;
    const QString dir = f.env.dir() + QStringLiteral("/relatorios");
    QDir().mkpath(dir);
    for (const QString &file : QDir(Session::current().reportDir).entryList({QStringLiteral("LPR077*.json")}))
        QVERIFY(QFile::copy(Session::current().reportDir + QLatin1Char('/') + file, dir + QLatin1Char('/') + file));
    Session::current().reportDir = dir;
    TfrmListaPrecRel *form = f.open();
    const int before = control<QComboBox>(form, "cbbReportNames")->count();
    QVERIFY(before >= 2);
    f.io.textAnswers << QStringLiteral("Lista da Semana");
    form->ppmSalvarRelatorioClick(form);
    QVERIFY2(f.io.errors.isEmpty(), qPrintable(f.io.errors.join(QLatin1Char('\n'))));
    QCOMPARE(control<QComboBox>(form, "cbbReportNames")->count(), before + 1);
    QCOMPARE(control<QComboBox>(form, "cbbReportNames")->currentText(), QStringLiteral("Lista da Semana"));
    QVERIFY(!control<TReportDesignerDialog>(form, "rpddPadrao")
                 ->definitionFile(QStringLiteral("Lista da Semana"))
                 .isEmpty());

    // Cancelling the title leaves the list as it was.
    form->ppmSalvarRelatorioClick(form);
    QCOMPARE(control<QComboBox>(form, "cbbReportNames")->count(), before + 1);
    f.close();
}

void tst_FormReport::designerCommandsRefreshTheList_data()
{
    QTest::addColumn<QStringList>("steps"); // in the designer opened by "Editar"
    QTest::addColumn<QString>("chosen");    // picked in the list after; empty: the first
    QTest::addColumn<QStringList>("absent");
    QTest::newRow("saved as a new report") << QStringList{"edit", "as new Lista Nova"} << "Lista Nova" << QStringList();
    QTest::newRow("the new one renamed")
        << QStringList{"edit", "as new Lista Nova", "close", "edit", "rename Lista Renomeada"} << "Lista Renomeada"
        << QStringList{"Lista Nova"};
    QTest::newRow("the new one removed") << QStringList{"edit", "as new Lista Nova", "close", "edit", "remove"}
                                         << QString() << QStringList{"Lista Nova"};
    QTest::newRow("a title saved for the screen")
        << QStringList{"edit", "title Preços da Semana", "save"} << "Preços da Semana" << QStringList();
}

void tst_FormReport::designerCommandsRefreshTheList()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, chosen);
    QFETCH(QStringList, absent);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    wholePeriod(form);
    auto *list = control<QComboBox>(form, "cbbReportNames");
    QPointer<ReportDesignerWindow> designer;
    const auto trigger = [&](const QString &text) {
        for (QAction *a : designer->findChildren<QAction *>())
            if (a->text() == text)
                return a->trigger();
        QFAIL(qPrintable(text));
    };
    for (const QString &step : steps) {
        const QString argument = step.section(QLatin1Char(' '), step.startsWith(QLatin1String("as new")) ? 2 : 1);
        if (step == QLatin1String("edit")) {
            control<QToolButton>(form, "sbtReportEdit")->click();
            designer = form->findChild<ReportDesignerWindow *>();
            QVERIFY(designer);
        } else if (step == QLatin1String("close")) {
            designer->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(!designer);
        } else if (step.startsWith(QLatin1String("as new"))) {
            f.io.textAnswers << argument;
            trigger(QStringLiteral("Salvar como novo relatório..."));
        } else if (step.startsWith(QLatin1String("rename"))) {
            f.io.textAnswers << argument;
            trigger(QStringLiteral("Renomear..."));
        } else if (step == QLatin1String("remove")) {
            f.io.confirmAnswers << true;
            trigger(QStringLiteral("Excluir o relatório"));
        } else if (step.startsWith(QLatin1String("title"))) {
            designer->document()->change(step, [&](ReportDefinition &d) { d.title = argument; });
        } else {
            trigger(QStringLiteral("Salvar"));
        }
        QVERIFY2(f.io.errors.isEmpty(), qPrintable(f.io.errors.join(QLatin1Char('\n'))));
    }
    // At once, without the screen opened again.
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->itemText(i);
    QCOMPARE(names, control<TReportDesignerDialog>(form, "rpddPadrao")->reportNames());
    if (!chosen.isEmpty())
        QVERIFY2(names.contains(chosen), qPrintable(names.join(QLatin1Char('|'))));
    QCOMPARE(list->currentText(), chosen.isEmpty() ? names.value(0) : chosen);
    for (const QString &gone : absent)
        QVERIFY2(!names.contains(gone), qPrintable(gone));
    if (designer) {
        f.io.confirmAnswers << true;
        designer->close();
    }
    f.close();
}

QTEST_MAIN(tst_FormReport)
#include "tst_formreport.moc"
