// The screen's lookups and pickers as a person uses them, with the real dialogs and real key
// presses: what a typed part of a name, a code or a registration number finds, the order of
// the rows, what a picker leaves in its list and what the form then tells.
#include "FormFixture.h"
#include "FormControls.h"

#include "controls/DialogDriver.h"
#include "Cli_Lpr07731.h"
#include "data/Database.h"
#include "text/ListString.h"
#include "TfrmListaPrecRel.h"
#include "controls/lookup/TBtnPesquisa.h"
#include "controls/TControls.h"
#include "controls/TMaskEdit.h"
#include "text/TextFold.h"
#include "net/TClientDataSet.h"
#include "report/TReportDesignerDialog.h"

#include <functional>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QRegularExpression>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QTreeView>

namespace {

// The real dialogs stand in for the scripted ones while it lives.
class RealDialogs
{
public:
    RealDialogs() : m_scripted(Interaction::install(nullptr)) { }
    ~RealDialogs() { Interaction::install(m_scripted); }

private:
    Interaction *m_scripted;
};

QLineEdit *searchLine(QDialog *d)
{
    return d->findChild<QLineEdit *>(QStringLiteral("edtPesquisa"));
}

// The texts of one column of what a dialog's list shows.
QStringList column(QAbstractItemView *view, int c)
{
    QStringList texts;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        texts << view->model()->index(r, c).data().toString();
    return texts;
}

void pressOn(QWidget *w, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    FormFixture::focus(w);
    QTest::keyClick(w, key, modifiers);
    QApplication::processEvents();
}

// One "Todos"/"Lista" group of the screen.
struct Group
{
    TRadioButton *todos;
    TRadioButton *lista;
    TButtonFlat *button;
    QLabel *count;
    std::function<QString()> list; // the picked list as the form holds it
    QString reportParam;
};

Group group(TfrmListaPrecRel *form, const QString &name)
{
    if (name == QLatin1String("buyers"))
        return {control<TRadioButton>(form, "rbtTodosComp"), control<TRadioButton>(form, "rbtListaComp"),
                control<TButtonFlat>(form, "sbtComprador"),  control<QLabel>(form, "lblQtComp"),
                [form] { return form->choices().buyers; },   QStringLiteral("L_LISTAOPER")};
    return {control<TRadioButton>(form, "rbtTodosForn"),  control<TRadioButton>(form, "rbtListaForn"),
            control<TButtonFlat>(form, "sbtFornecedor"),  control<QLabel>(form, "lblQtForn"),
            [form] { return form->choices().suppliers; }, QStringLiteral("L_LISTAFORNE")};
}

} // namespace

class tst_FormSearch : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void productLookupFindsAPartOfTheName_data();
    void productLookupFindsAPartOfTheName();
    void branchLookupFindsTheCity();
    void pickerByKeyboard_data();
    void pickerByKeyboard();
    void supplierPickerShowsCodesInReadingOrder();
};

void tst_FormSearch::cleanup()
{
    QCOMPARE(boIdCriado, false);
}

void tst_FormSearch::productLookupFindsAPartOfTheName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("part"); // what every row found holds, folded
    QTest::newRow("words as written") << "Suco de Laranja"
                                      << "suco de laranja";
    QTest::newRow("small letters, no accents") << "acucar"
                                               << "acucar";
    QTest::newRow("inside a word") << "ranja"
                                   << "ranja";
    QTest::newRow("two letters: the start of the name") << "ág"
                                                        << "ag";
}

void tst_FormSearch::productLookupFindsAPartOfTheName()
{
    QFETCH(QString, typed);
    QFETCH(QString, part);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    // What the database holds, asked directly: the products whose folded name has it.
    QSqlQuery q(dtmDBGeral::dtbGeral());
    QVERIFY(q.exec(QStringLiteral("SELECT CDARVPROD, NMPRODUTO FROM PRODUTO")));
    QStringList expected;
    while (q.next()) {
        const QString name = TextFold::fold(q.value(1).toString());
        if (part.size() < 3 ? name.startsWith(part) : name.contains(part))
            expected << q.value(0).toString();
    }
    QVERIFY(!expected.isEmpty());

    RealDialogs real;
    QStringList names, codes;
    whenDialogOpens([&](QDialog *d) {
        auto *view = d->findChild<QTableView *>(QStringLiteral("grdLista"));
        // Opened from the code box: searching by code. A letter switches nothing; the
        // person picks "Nome" in the list of fields.
        d->findChild<QComboBox *>(QStringLiteral("cbbCampo"))->setCurrentIndex(1);
        typeText(searchLine(d), typed);
        while (view->model()->canFetchMore(QModelIndex()))
            view->model()->fetchMore(QModelIndex());
        names = column(view, 1);
        codes = column(view, 0);
        QTest::keyClick(searchLine(d), Qt::Key_Return);
    });
    pressOn(control<TMaskEdit>(form, "medCdProdIni"), Qt::Key_F9);

    QStringList shownCodes = codes;
    for (QString &c : shownCodes)
        c.remove(QLatin1Char('.'));
    QStringList sortedExpected = expected, sortedShown = shownCodes;
    sortedExpected.sort();
    sortedShown.sort();
    QCOMPARE(sortedShown, sortedExpected);
    // In the order people read names.
    QStringList folded;
    for (const QString &n : names)
        folded << TextFold::fold(n);
    QStringList sorted = folded;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(folded, sorted);
    // The first row went into the box.
    QCOMPARE(control<TMaskEdit>(form, "medCdProdIni")->Text(), shownCodes.first());
    QCOMPARE(control<QLineEdit>(form, "edtNmProdIni")->text(), names.first());
    QCOMPARE(f.io.errors, QStringList());
    f.close();
}

void tst_FormSearch::branchLookupFindsTheCity()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    RealDialogs real;
    QStringList names;
    whenDialogOpens([&](QDialog *d) {
        d->findChild<QComboBox *>(QStringLiteral("cbbCampo"))->setCurrentIndex(1);
        typeText(searchLine(d), QStringLiteral("camp"));
        names = column(d->findChild<QTableView *>(QStringLiteral("grdLista")), 1);
        QTest::keyClick(searchLine(d), Qt::Key_Down);
        QTest::keyClick(searchLine(d), Qt::Key_Return);
    });
    pressOn(control<TMaskEdit>(form, "medCdFilial"), Qt::Key_F9);
    QCOMPARE(names, (QStringList{"Central de Compras Campinas", "Filial Campinas", "Loja Campinas"}));
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0007"));
    QCOMPARE(control<QLineEdit>(form, "edtNmFilial")->text(), QStringLiteral("Filial Campinas"));
    f.close();
}

void tst_FormSearch::pickerByKeyboard_data()
{
    QTest::addColumn<QString>("group");
    QTest::newRow("buyers") << "buyers";
    QTest::newRow("suppliers") << "suppliers";
}

void tst_FormSearch::pickerByKeyboard()
{
    QFETCH(QString, group);
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    const Group g = ::group(form, group);
    QVERIFY(g.count->text().isEmpty());

    // "Lista" by the arrow key, then F9 on it opens the picker: two rows marked.
    pressOn(g.todos, Qt::Key_Right);
    QVERIFY(g.lista->isChecked());
    QCOMPARE(g.count->text(), QStringLiteral("nenhum selecionado"));
    auto real = std::make_unique<RealDialogs>();
    whenDialogOpens([&](QDialog *d) {
        auto *view = d->findChild<QTreeView *>(QStringLiteral("grdLista"));
        QTest::keyClick(view, Qt::Key_Space);
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Space);
        QTest::keyClick(view, Qt::Key_Return);
    });
    pressOn(g.lista, Qt::Key_F9);
    const QStringList picked = ListString::decode(g.list());
    QCOMPARE(picked.size(), 2);
    QCOMPARE(g.count->text(), QStringLiteral("2 selecionados"));
    QVERIFY2(g.button->toolTip().contains(picked.first().trimmed()), qPrintable(g.button->toolTip()));

    // Both unmarked: neither Enter nor the button confirms; Esc leaves the list as it was.
    bool stayedOpen = false;
    whenDialogOpens([&](QDialog *d) {
        auto *view = d->findChild<QTreeView *>(QStringLiteral("grdLista"));
        QTest::keyClick(view, Qt::Key_Space);
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY(!d->findChild<QPushButton *>(QStringLiteral("btnConfirmar"))->isEnabled());
        QTest::keyClick(view, Qt::Key_Return);
        stayedOpen = d->isVisible();
        QTest::keyClick(view, Qt::Key_Escape);
    });
    pressOn(g.lista, Qt::Key_F9);
    QVERIFY(stayedOpen);
    QCOMPARE(ListString::decode(g.list()), picked);
    QCOMPARE(g.count->text(), QStringLiteral("2 selecionados"));
    real.reset();
    // The window system gives the screen its activation back when a dialog closes.
    QApplication::setActiveWindow(&f.mainWindow);

    // The report runs on those two.
    const QString file = f.env.dir() + QStringLiteral("/lista.csv");
    f.io.saveAnswers = {file};
    pressOn(control<TCheckBox>(form, "chkVariPreco"), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(f.io.errors, QStringList());
    const TParam *param = control<TReportDesignerDialog>(form, "rpddPadrao")->lastParams().FindParam(g.reportParam);
    QVERIFY2(param, qPrintable(g.reportParam));
    QCOMPARE(ListString::decode(param->AsString()), picked);

    // Back to "Todos": nothing to count.
    pressOn(g.lista, Qt::Key_Left);
    QVERIFY(g.todos->isChecked());
    QVERIFY(g.count->text().isEmpty());
    QCOMPARE(g.button->toolTip(), QStringLiteral("Pesquisar"));
    f.close();
}

void tst_FormSearch::supplierPickerShowsCodesInReadingOrder()
{
    FormFixture f;
    // A name that sorts among the A's only when accents come second.
    f.env.exec(QStringLiteral("UPDATE FORNECEDOR SET NMFANTFORN = ? WHERE CDFORNECED = "
                              "(SELECT MIN(CDFORNECED) FROM COTACAO)"),
               {QStringLiteral("Água Limpa Distribuidora")});
    TfrmListaPrecRel *form = f.open();
    control<TRadioButton>(form, "rbtListaForn")->click();
    RealDialogs real;
    QStringList header, names, byNumber;
    QString number;
    whenDialogOpens([&](QDialog *d) {
        auto *view = d->findChild<QTreeView *>(QStringLiteral("grdLista"));
        for (int c = 0; c < view->model()->columnCount(); ++c)
            header << view->model()->headerData(c, Qt::Horizontal).toString().trimmed();
        names = column(view, header.indexOf(QStringLiteral("Nome Fantasia")));
        // A registration number typed without its punctuation finds its supplier.
        number = view->model()->index(2, header.indexOf(QStringLiteral("Inscrição"))).data().toString();
        QString digits = number;
        digits.remove(QRegularExpression(QStringLiteral("\\D")));
        typeText(searchLine(d), digits);
        byNumber = column(view, header.indexOf(QStringLiteral("Inscrição")));
        QTest::keyClick(searchLine(d), Qt::Key_Escape);
    });
    pressOn(control<TRadioButton>(form, "rbtListaForn"), Qt::Key_F9);
    QCOMPARE(header.value(1), QStringLiteral("Código"));
    QCOMPARE(names.first(), QStringLiteral("Água Limpa Distribuidora"));
    QStringList folded;
    for (const QString &n : names)
        folded << TextFold::fold(n);
    QStringList sorted = folded;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(folded, sorted);
    QVERIFY(byNumber.contains(number));
    f.close();
}

QTEST_MAIN(tst_FormSearch)
#include "tst_formsearch.moc"
