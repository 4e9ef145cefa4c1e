#include "DialogDriver.h"
#include "errors/EAbort.h"
#include "MemoryDataSet.h"
#include "controls/pick/MultiSelectDialog.h"
#include "controls/TMaskEdit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

// The multi-selection dialog over a data set in memory, driven from the keyboard and
// the mouse; checks the keys it returns.
class tst_MultiSelectDialog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void marksAndReturnsKeysInOrder_data();
    void marksAndReturnsKeysInOrder();
    void cancelReturnsNothing();
    void spaceTogglesSelectedRows();
    void clickOnMarkColumn();
    void searchFiltersAndMarkAllMarksShown();
    void nothingMarkedCannotBeConfirmed();
    void unmarkAllUnderASearch();
    void digitsFindCodesAndRegistrationNumbers_data();
    void digitsFindCodesAndRegistrationNumbers();
    void rowsInReadingOrder();
    void markColumnFromIdMarcado();
    void textCallbackSeesItsRow();

private:
    QStringList runDialog(const QStringList &preselected, const std::function<void(QDialog *)> &script,
                          const QString &keyField = QStringLiteral("CDFORNECED"));

    QObject *m_owner = nullptr;
    MemoryDataSet *m_data = nullptr;
    TDataSource *m_source = nullptr;
};

namespace {
QLineEdit *searchBox(QDialog *d)
{
    return d->findChild<QLineEdit *>(QStringLiteral("edtPesquisa"));
}
QTreeView *grid(QDialog *d)
{
    return d->findChild<QTreeView *>(QStringLiteral("grdLista"));
}
QPushButton *button(QDialog *d, const char *name)
{
    return d->findChild<QPushButton *>(QLatin1String(name));
}
void goToRow(QDialog *d, int row)
{
    grid(d)->setFocus();
    grid(d)->setCurrentIndex(grid(d)->model()->index(row, 1));
}
} // namespace

void tst_MultiSelectDialog::init()
{
    m_owner = new QObject;
    m_data = new MemoryDataSet(m_owner);
    m_data->AddField(QStringLiteral("CDFORNECED"), 21, QStringLiteral("Código"), 0, false);
    m_data->AddField(QStringLiteral("NMFORNECED"), 40, QStringLiteral("Nome"));
    m_data->AddField(QStringLiteral("NMCIDADE"), 30, QStringLiteral("Cidade"));
    // Keys a list string must carry faithfully: quotes, commas, accents.
    m_data->load({QStringLiteral("CDFORNECED"), QStringLiteral("NMFORNECED"), QStringLiteral("NMCIDADE")},
                 {{QStringLiteral("F'001"), QStringLiteral("Árvore Verde Ltda"), QStringLiteral("Curitiba")},
                  {QStringLiteral("F,002"), QStringLiteral("Beta Comércio"), QStringLiteral("São Paulo")},
                  {QStringLiteral("FÇ003"), QStringLiteral("JOÃO DA SILVA ME"), QStringLiteral("Recife")},
                  {QStringLiteral("F\"004"), QStringLiteral("Delta \"Quatro\""), QStringLiteral("Belém")},
                  {QStringLiteral("F005"), QStringLiteral("Épsilon, Filhos & Cia"), QStringLiteral("Joinville")}});
    m_source = new TDataSource(m_owner, m_data);
}

void tst_MultiSelectDialog::cleanup()
{
    delete m_owner;
    m_owner = nullptr;
}

QStringList tst_MultiSelectDialog::runDialog(const QStringList &preselected,
                                             const std::function<void(QDialog *)> &script, const QString &keyField)
{
    whenDialogOpens(script);
    return MultiSelectDialog::run(nullptr, m_source, keyField, QStringLiteral("Fornecedor cotado"), preselected);
}

void tst_MultiSelectDialog::marksAndReturnsKeysInOrder_data()
{
    QTest::addColumn<QStringList>("preselected");
    QTest::addColumn<QList<int>>("spaceOn");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("none") << QStringList() << QList<int>() << QStringList();
    QTest::newRow("two, in data set order") << QStringList() << QList<int>{3, 0} << QStringList{"F'001", "F\"004"};
    QTest::newRow("preselected kept") << QStringList{"F,002"} << QList<int>{4} << QStringList{"F,002", "F005"};
    QTest::newRow("preselected unmarked") << QStringList{"F,002", "FÇ003"} << QList<int>{1} << QStringList{"FÇ003"};
    // A key that is no longer in the data set is not returned.
    QTest::newRow("unknown preselected dropped") << QStringList{"GONE"} << QList<int>{2} << QStringList{"FÇ003"};
}

void tst_MultiSelectDialog::marksAndReturnsKeysInOrder()
{
    QFETCH(QStringList, preselected);
    QFETCH(QList<int>, spaceOn);
    QFETCH(QStringList, keys);
    const QStringList result = runDialog(preselected, [&](QDialog *d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Fornecedor cotado"));
        for (int row : spaceOn) {
            goToRow(d, row);
            QTest::keyClick(grid(d), Qt::Key_Space);
        }
        QTest::keyClick(grid(d), Qt::Key_Return);
    });
    QCOMPARE(result, keys);
}

void tst_MultiSelectDialog::cancelReturnsNothing()
{
    const QStringList result = runDialog({QStringLiteral("F005")}, [](QDialog *d) {
        goToRow(d, 0);
        QTest::keyClick(grid(d), Qt::Key_Space);
        QTest::mouseClick(button(d, "btnCancelar"), Qt::LeftButton);
    });
    QCOMPARE(result, QStringList());
}

void tst_MultiSelectDialog::spaceTogglesSelectedRows()
{
    const QStringList result = runDialog({QStringLiteral("F,002")}, [](QDialog *d) {
        goToRow(d, 0);
        QTest::keyClick(grid(d), Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(grid(d), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(grid(d)->selectionModel()->selectedRows().size(), 3);
        // One of the three is unmarked: Space marks all three ...
        QTest::keyClick(grid(d), Qt::Key_Space);
        QCOMPARE(d->findChild<QLabel *>(QStringLiteral("lblMarcados"))->text(), QStringLiteral("3 marcados"));
        // ... and then, all marked, unmarks them.
        QTest::keyClick(grid(d), Qt::Key_Space);
        QCOMPARE(d->findChild<QLabel *>(QStringLiteral("lblMarcados"))->text(), QStringLiteral("0 marcados"));
        QTest::keyClick(grid(d), Qt::Key_Space);
        QTest::mouseClick(button(d, "btnConfirmar"), Qt::LeftButton);
    });
    QCOMPARE(result, (QStringList{"F'001", "F,002", "FÇ003"}));
}

void tst_MultiSelectDialog::clickOnMarkColumn()
{
    const QStringList result = runDialog({}, [](QDialog *d) {
        QTreeView *view = grid(d);
        const QRect mark = view->visualRect(view->model()->index(1, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, mark.center());
        QCOMPARE(view->model()->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        // A click elsewhere on the row only selects it.
        const QRect name = view->visualRect(view->model()->index(2, 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, name.center());
        QCOMPARE(view->model()->index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QTest::mouseClick(button(d, "btnConfirmar"), Qt::LeftButton);
    });
    QCOMPARE(result, QStringList{"F,002"});
}

void tst_MultiSelectDialog::searchFiltersAndMarkAllMarksShown()
{
    const QStringList result = runDialog({QStringLiteral("F'001")}, [](QDialog *d) {
        typeText(searchBox(d), QStringLiteral("joao")); // no accent, small letters
        QCOMPARE(grid(d)->model()->rowCount(), 1);
        searchBox(d)->clear();
        typeText(searchBox(d), QStringLiteral("ÉM")); // "Belém" in the city column
        QCOMPARE(grid(d)->model()->rowCount(), 1);
        searchBox(d)->clear();
        typeText(searchBox(d), QStringLiteral("n, f")); // a comma inside a name
        QCOMPARE(grid(d)->model()->rowCount(), 1);
        searchBox(d)->clear();
        typeText(searchBox(d), QStringLiteral("ci")); // Comércio, Recife, Cia
        QCOMPARE(grid(d)->model()->rowCount(), 3);
        QTest::mouseClick(button(d, "btnMarcarTodos"), Qt::LeftButton);
        searchBox(d)->clear();
        QCOMPARE(grid(d)->model()->rowCount(), 5);
        QTest::keyClick(searchBox(d), Qt::Key_Return);
    });
    QCOMPARE(result, (QStringList{"F'001", "F,002", "FÇ003", "F005"}));
}

void tst_MultiSelectDialog::nothingMarkedCannotBeConfirmed()
{
    bool stillOpen = false;
    const QStringList result = runDialog({QStringLiteral("F'001"), QStringLiteral("F005")}, [&](QDialog *d) {
        QVERIFY(button(d, "btnConfirmar")->isEnabled());
        QTest::mouseClick(button(d, "btnDesmarcarTodos"), Qt::LeftButton);
        QVERIFY(!button(d, "btnConfirmar")->isEnabled());
        // Neither the button nor Enter confirms an empty choice.
        QTest::mouseClick(button(d, "btnConfirmar"), Qt::LeftButton);
        QTest::keyClick(grid(d), Qt::Key_Return);
        stillOpen = d->isVisible();
        goToRow(d, 2);
        QTest::keyClick(grid(d), Qt::Key_Space);
        QVERIFY(button(d, "btnConfirmar")->isEnabled());
        QTest::keyClick(grid(d), Qt::Key_Return);
    });
    QVERIFY(stillOpen);
    QCOMPARE(result, QStringList{QStringLiteral("FÇ003")});
}

// "Desmarcar todos" under a search clears the marks the search hides too (it says "all");
// until then the count says how many marks the search hides.
void tst_MultiSelectDialog::unmarkAllUnderASearch()
{
    const QStringList result = runDialog({QStringLiteral("F'001"), QStringLiteral("F005")}, [](QDialog *d) {
        auto *count = d->findChild<QLabel *>(QStringLiteral("lblMarcados"));
        typeText(searchBox(d), QStringLiteral("beta"));
        QCOMPARE(grid(d)->model()->rowCount(), 1);
        QCOMPARE(count->text(), QStringLiteral("2 marcados (2 fora da pesquisa)"));
        QCOMPARE(button(d, "btnMarcarTodos")->text(), QStringLiteral("Marcar os listados"));
        QTest::mouseClick(button(d, "btnMarcarTodos"), Qt::LeftButton);
        QCOMPARE(count->text(), QStringLiteral("3 marcados (2 fora da pesquisa)"));
        QTest::mouseClick(button(d, "btnDesmarcarTodos"), Qt::LeftButton);
        QCOMPARE(count->text(), QStringLiteral("0 marcados"));
        searchBox(d)->clear();
        QCOMPARE(grid(d)->model()->rowCount(), 5);
        QCOMPARE(button(d, "btnMarcarTodos")->text(), QStringLiteral("Marcar todos"));
        goToRow(d, 4);
        QTest::keyClick(grid(d), Qt::Key_Space);
        QTest::keyClick(grid(d), Qt::Key_Return);
    });
    QCOMPARE(result, QStringList{QStringLiteral("F005")});
}

void tst_MultiSelectDialog::markColumnFromIdMarcado()
{
    auto *data = new MemoryDataSet(m_owner);
    data->AddField(QStringLiteral("IDMARCADO"), 1, QStringLiteral("Sel."));
    data->AddField(QStringLiteral("CDREGIAO"), 3, QStringLiteral("Código"));
    data->AddField(QStringLiteral("NMREGIAO"), 30, QStringLiteral("Nome"));
    data->load({QStringLiteral("IDMARCADO"), QStringLiteral("CDREGIAO"), QStringLiteral("NMREGIAO")},
               {{QStringLiteral("N"), QStringLiteral("001"), QStringLiteral("Sul")},
                {QStringLiteral("S"), QStringLiteral("002"), QStringLiteral("Norte")}});
    m_source->setDataSet(data);
    const QStringList result = runDialog(
        {},
        [](QDialog *d) {
            QAbstractItemModel *model = grid(d)->model();
            QCOMPARE(model->columnCount(), 3); // the mark field is the mark column, not one more
            QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Sel."));
            QCOMPARE(model->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
            goToRow(d, 0);
            QTest::keyClick(grid(d), Qt::Key_Space);
            QTest::keyClick(grid(d), Qt::Key_Return);
        },
        QStringLiteral("CDREGIAO"));
    QCOMPARE(result, (QStringList{"001", "002"}));

    // A key field the data set does not have is an error, before any dialog opens.
    QVERIFY_THROWS_EXCEPTION(ESuiteError, MultiSelectDialog::run(nullptr, m_source, QStringLiteral("CDFORNECED"),
                                                                 QStringLiteral("Região"), {}));
    m_source->setDataSet(m_data);
}

void tst_MultiSelectDialog::textCallbackSeesItsRow()
{
    // A text callback that reads another field of the current row, as the supplier
    // list's registration number does (its mask depends on the person kind).
    TField &kind = *m_data->FindField(QStringLiteral("NMCIDADE"));
    TField &name = *m_data->FindField(QStringLiteral("NMFORNECED"));
    name.OnGetText = [&kind](TField &, QString &text, bool) { text = kind.AsString() + QLatin1Char(':') + text; };
    const int before = m_data->RecNo();
    runDialog({}, [](QDialog *d) {
        QAbstractItemModel *model = grid(d)->model();
        QCOMPARE(model->index(2, 1).data().toString(), QStringLiteral("Recife:JOÃO DA SILVA ME"));
        QCOMPARE(model->index(4, 1).data().toString(), QStringLiteral("Joinville:Épsilon, Filhos & Cia"));
    });
    QCOMPARE(m_data->RecNo(), before); // the data set is left where it was
}

void tst_MultiSelectDialog::digitsFindCodesAndRegistrationNumbers_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("CNPJ as shown") << "12.345.678/0001-95" << QStringList{"000123"};
    QTest::newRow("CNPJ without punctuation") << "12345678000195" << QStringList{"000123"};
    QTest::newRow("root of the CNPJ") << "12345678" << QStringList{"000123"};
    QTest::newRow("CPF without punctuation") << "98765432100" << QStringList{"004567"};
    QTest::newRow("code") << "004567" << QStringList{"004567"};
    // Digits are found in any number: part of a code is part of a CNPJ too.
    QTest::newRow("part of two numbers") << "4567" << QStringList{"000123", "004567"};
    QTest::newRow("digits in both") << "1" << QStringList{"000123", "004567", "009999"};
    // Letters are a name: compared as text.
    QTest::newRow("name with a digit") << "loja 1" << QStringList{"009999"};
}

void tst_MultiSelectDialog::digitsFindCodesAndRegistrationNumbers()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, keys);
    auto *data = new MemoryDataSet(m_owner);
    data->AddField(QStringLiteral("CDFORNECED"), 21, QStringLiteral("Código"));
    data->AddField(QStringLiteral("IDTPIJURFORN"), 1, QStringLiteral("Tipo"), 0, false);
    TField &number = data->AddField(QStringLiteral("NRINSJURFORN"), 20, QStringLiteral("Inscrição"));
    data->AddField(QStringLiteral("NMFANTFORN"), 40, QStringLiteral("Nome"));
    // Shown under the mask of its kind, as the screen's supplier list does.
    number.OnGetText = [data](TField &f, QString &text, bool) {
        const bool company = data->FieldByName(QStringLiteral("IDTPIJURFORN")).AsString() == QLatin1String("J");
        text = TMaskEdit::formatMasked(
            company ? QStringLiteral("99.999.999/9999-99;0;_") : QStringLiteral("999.999.999-99;0;_"), f.AsString());
    };
    data->load({QStringLiteral("CDFORNECED"), QStringLiteral("IDTPIJURFORN"), QStringLiteral("NRINSJURFORN"),
                QStringLiteral("NMFANTFORN")},
               {{QStringLiteral("000123"), QStringLiteral("J"), QStringLiteral("12345678000195"),
                 QStringLiteral("Moinho Real")},
                {QStringLiteral("004567"), QStringLiteral("F"), QStringLiteral("98765432100"),
                 QStringLiteral("Sítio Martins")},
                {QStringLiteral("009999"), QStringLiteral("J"), QStringLiteral("55555555000155"),
                 QStringLiteral("Loja 1 Ltda")}});
    m_source->setDataSet(data);
    QStringList shown;
    runDialog({}, [&](QDialog *d) {
        typeText(searchBox(d), typed);
        for (int r = 0; r < grid(d)->model()->rowCount(); ++r)
            shown << grid(d)->model()->index(r, 1).data().toString();
    });
    m_source->setDataSet(m_data);
    QCOMPARE(shown, keys);
}

void tst_MultiSelectDialog::rowsInReadingOrder()
{
    // A client data set kept in order of a name: accents and case come second.
    auto *data = new MemoryDataSet(m_owner);
    data->AddField(QStringLiteral("CDFORNECED"), 21, QStringLiteral("Código"));
    data->AddField(QStringLiteral("NMFANTFORN"), 40, QStringLiteral("Nome"));
    data->IndexFieldNames = QStringLiteral("NMFANTFORN;CDFORNECED");
    data->load({QStringLiteral("CDFORNECED"), QStringLiteral("NMFANTFORN")},
               {{QStringLiteral("5"), QStringLiteral("Zebu")},
                {QStringLiteral("4"), QStringLiteral("Água Doce")},
                {QStringLiteral("3"), QStringLiteral("azul")},
                {QStringLiteral("2"), QStringLiteral("Abacate")},
                {QStringLiteral("1"), QStringLiteral("Azul")},
                {QStringLiteral("6"), QStringLiteral("Éden")}});
    m_source->setDataSet(data);
    QStringList names;
    runDialog({}, [&](QDialog *d) {
        for (int r = 0; r < grid(d)->model()->rowCount(); ++r)
            names << grid(d)->model()->index(r, 2).data().toString();
    });
    m_source->setDataSet(m_data);
    QCOMPARE(names, (QStringList{"Abacate", "Água Doce", "Azul", "azul", "Éden", "Zebu"}));
}

QTEST_MAIN(tst_MultiSelectDialog)
#include "tst_multiselectdialog.moc"
