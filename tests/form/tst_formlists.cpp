// The buyer and supplier lists of the price-list screen: "Todos"/"Lista", the pickers (by
// the search button and by F9), what the list strings hold, and the page-break option.
#include "FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "text/ListString.h"
#include "data/TDataSet.h"
#include "TfrmListaPrecRel.h"
#include "controls/TControls.h"
#include "net/TClientDataSet.h"

#include <functional>
#include <QApplication>
#include <QTest>

namespace {

// One "Todos"/"Lista" group of the screen.
struct Group
{
    TRadioButton *todos;
    TRadioButton *lista;
    TButtonFlat *button;
    std::function<QString()> list; // the picked list as the form holds it
    QString title;
    QString keyField;
};

Group group(TfrmListaPrecRel *form, const QString &name)
{
    if (name == QLatin1String("buyers"))
        return {control<TRadioButton>(form, "rbtTodosComp"),
                control<TRadioButton>(form, "rbtListaComp"),
                control<TButtonFlat>(form, "sbtComprador"),
                [form] { return form->choices().buyers; },
                QStringLiteral("Comprador"),
                QStringLiteral("CDOPERADOR")};
    return {control<TRadioButton>(form, "rbtTodosForn"), control<TRadioButton>(form, "rbtListaForn"),
            control<TButtonFlat>(form, "sbtFornecedor"), [form] { return form->choices().suppliers; },
            QStringLiteral("Fornecedor cotado"),         QStringLiteral("CDFORNECED")};
}

QStringList keysOf(TDataSource *source, const QString &keyField)
{
    QStringList keys;
    TDataSet *rows = source->DataSet();
    for (rows->First(); !rows->Eof(); rows->Next())
        keys << rows->FieldByName(keyField).AsString();
    return keys;
}

void pressOn(QWidget *w, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    FormFixture::focus(w);
    QTest::keyClick(w, key, modifiers);
    QApplication::processEvents();
}

} // namespace

class tst_FormLists : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void statesOfAGroup_data();
    void statesOfAGroup();
    void keysOnTheListOption_data();
    void keysOnTheListOption();
    void nothingToPick_data();
    void nothingToPick();
    void pageBreak();
};

void tst_FormLists::cleanup()
{
    QCOMPARE(boIdCriado, false);
}

void tst_FormLists::statesOfAGroup_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("setup"); // statements run before the screen opens, oddKey bound
    QTest::addColumn<QString>("oddKey");    // a key to mark among the ordinary ones; empty: none

    QTest::newRow("buyers") << "buyers" << QStringList() << QString();
    QTest::newRow("suppliers") << "suppliers" << QStringList() << QString();
    QTest::newRow("buyers: key with quotes and a comma")
        << "buyers"
        << QStringList{QStringLiteral("UPDATE OPERADOR SET CDOPERADOR = ? WHERE CDOPERADOR = "
                                      "(SELECT MIN(CDOPERADOR) FROM COMPRADOR)"),
                       QStringLiteral("UPDATE COMPRADOR SET CDOPERADOR = ? WHERE CDOPERADOR = "
                                      "(SELECT MIN(CDOPERADOR) FROM COMPRADOR)")}
        << QStringLiteral("O'B, \"1\"");
    QTest::newRow("suppliers: key with quotes, comma, brackets and accent")
        << "suppliers"
        << QStringList{QStringLiteral("UPDATE FORNECEDOR SET CDFORNECED = ? WHERE CDFORNECED = "
                                      "(SELECT MIN(CDFORNECED) FROM COTACAO)"),
                       QStringLiteral("UPDATE COTACAO SET CDFORNECED = ? WHERE CDFORNECED = "
                                      "(SELECT MIN(CDFORNECED) FROM COTACAO)")}
        << QStringLiteral("F'ç, \"X\" [y]");
}

void tst_FormLists::statesOfAGroup()
{
    QFETCH(QString, group);
    QFETCH(QStringList, setup);
    QFETCH(QString, oddKey);

    FormFixture f;
    for (const QString &sql : setup)
        f.env.exec(sql, {oddKey});
    TfrmListaPrecRel *form = f.open();
    const Group g = ::group(form, group);

    // All.
    QVERIFY(g.todos->isChecked());
    QCOMPARE(g.list(), QStringLiteral("T"));
    QVERIFY(!g.button->isEnabled());

    // List pending.
    g.lista->click();
    QCOMPARE(g.list(), QString());
    QVERIFY(g.button->isEnabled());

    // List picked: exactly the keys the dialog marked.
    QStringList offered, marked, preselected;
    f.io.onPickList = [&](TDataSource *source, const QString &keyField, const QString &, const QStringList &pre) {
        offered = keysOf(source, keyField);
        preselected = pre;
        marked = {offered.at(1), oddKey.isEmpty() ? offered.last() : oddKey};
        return marked;
    };
    g.button->click();
    QCOMPARE(f.io.pickListCalls, 1);
    QCOMPARE(f.io.lastTitle, g.title);
    QCOMPARE(f.io.lastKeyField, g.keyField);
    QVERIFY(preselected.isEmpty());
    if (!oddKey.isEmpty())
        QVERIFY2(offered.contains(oddKey), qPrintable(offered.join(QLatin1Char('|'))));
    QVERIFY(!g.list().isEmpty());
    QCOMPARE(ListString::decode(g.list()), marked);
    const QString picked = g.list();

    // Clicking "Lista" again keeps the pick.
    g.lista->click();
    QCOMPARE(g.list(), picked);

    // The picker gets the list in and, when nothing is marked, leaves it as it was.
    f.io.onPickList = [&](TDataSource *, const QString &, const QString &, const QStringList &pre) {
        preselected = pre;
        return QStringList();
    };
    pressOn(g.lista, Qt::Key_F9, Qt::NoModifier);
    QCOMPARE(f.io.pickListCalls, 2);
    QCOMPARE(preselected, marked);
    QCOMPARE(g.list(), picked);

    // "Todos" discards the pick; "Lista" again starts empty.
    g.todos->click();
    QCOMPARE(g.list(), QStringLiteral("T"));
    QVERIFY(!g.button->isEnabled());
    g.lista->click();
    QCOMPARE(g.list(), QString());
    QVERIFY(g.button->isEnabled());
    QVERIFY(f.io.errors.isEmpty());
    f.close();
}

void tst_FormLists::keysOnTheListOption_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("onLista"); // false: on the "Todos" option
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("opens");

    for (const char *g : {"buyers", "suppliers"}) {
        QTest::addRow("%s: F9", g) << g << true << int(Qt::Key_F9) << int(Qt::NoModifier) << true;
        QTest::addRow("%s: Shift+F9", g) << g << true << int(Qt::Key_F9) << int(Qt::ShiftModifier) << true;
        QTest::addRow("%s: Ctrl+F9", g) << g << true << int(Qt::Key_F9) << int(Qt::ControlModifier) << true;
        QTest::addRow("%s: F8", g) << g << true << int(Qt::Key_F8) << int(Qt::NoModifier) << false;
        QTest::addRow("%s: letter", g) << g << true << int(Qt::Key_L) << int(Qt::NoModifier) << false;
        QTest::addRow("%s: F9 on Todos", g) << g << false << int(Qt::Key_F9) << int(Qt::NoModifier) << false;
    }
}

void tst_FormLists::keysOnTheListOption()
{
    QFETCH(QString, group);
    QFETCH(bool, onLista);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, opens);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    const Group g = ::group(form, group);
    if (onLista)
        g.lista->click();
    const QString before = g.list();
    pressOn(onLista ? g.lista : g.todos, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(f.io.pickListCalls, opens ? 1 : 0);
    if (opens)
        QCOMPARE(f.io.lastTitle, g.title);
    QCOMPARE(g.list(), before); // the scripted dialog marked nothing
    QVERIFY(f.io.errors.isEmpty());
    f.close();
}

void tst_FormLists::nothingToPick_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("added"); // a row added while the screen is open; empty: none

    QTest::newRow("no quoted supplier") << "suppliers"
                                        << "DELETE FROM COTACAO"
                                        << "Não há fornecedor cotado." << QString();
    // The buyers are read afresh at each opening of the picker.
    QTest::newRow("no buyer, then one registered")
        << "buyers"
        << "DELETE FROM COMPRADOR"
        << "Não há comprador cadastrado."
        << "INSERT INTO COMPRADOR (CDOPERADOR) SELECT MIN(CDOPERADOR) FROM OPERADOR";
}

void tst_FormLists::nothingToPick()
{
    QFETCH(QString, group);
    QFETCH(QString, setup);
    QFETCH(QString, message);
    QFETCH(QString, added);

    FormFixture f;
    f.env.exec(setup);
    TfrmListaPrecRel *form = f.open();
    const Group g = ::group(form, group);
    g.lista->click();

    g.button->click();
    QCOMPARE(f.io.errors, QStringList{message});
    QCOMPARE(f.io.pickListCalls, 0);
    QCOMPARE(g.list(), QString());

    pressOn(g.lista, Qt::Key_F9, Qt::NoModifier);
    QCOMPARE(f.io.errors, QStringList({message, message}));
    QCOMPARE(f.io.pickListCalls, 0);
    QVERIFY(g.lista->isChecked());

    if (!added.isEmpty()) {
        f.env.exec(added);
        g.button->click();
        QCOMPARE(f.io.errors.size(), 2);
        QCOMPARE(f.io.pickListCalls, 1);
    }
    f.close();
}

void tst_FormLists::pageBreak()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    QVERIFY(!form->choices().pageBySupplier);
    control<TCheckBox>(form, "chbFornecedor")->click();
    QVERIFY(form->choices().pageBySupplier);
    control<TCheckBox>(form, "chbFornecedor")->click();
    QVERIFY(!form->choices().pageBySupplier);
    // From the keyboard as well.
    FormFixture::focus(control<TCheckBox>(form, "chbFornecedor"));
    QTest::keyClick(control<TCheckBox>(form, "chbFornecedor"), Qt::Key_Space);
    QVERIFY(form->choices().pageBySupplier);
    f.close();
}

QTEST_MAIN(tst_FormLists)
#include "tst_formlists.moc"
