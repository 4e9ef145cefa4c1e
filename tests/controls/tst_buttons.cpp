#include "errors/EAbort.h"
#include "MemoryDataSet.h"
#include "ScriptedInteraction.h"
#include "controls/lookup/TBtnPesquisa.h"
#include "controls/TControls.h"
#include "controls/TMaskEdit.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

// Radio buttons, check boxes, flat and lookup buttons.
class tst_Buttons : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void virtualKeys_data();
    void virtualKeys();
    void radioClickOnlyWhenBecomingChecked();
    void radioKeyDownPassesVirtualKey();
    void checkBoxClickOnEveryChange();
    void buttonsNeverTakeFocus();

    void lookupEmptyDataSet();
    void lookupOpensDataSetItself();
    void lookupBeforePesqReplacesOpen();
    void lookupPickWritesKey();
    void lookupPickRunsAfterPesq();
    void lookupCancelled();
    void lookupAfterPesqErrorPropagates();

private:
    QWidget *m_window = nullptr;
    TMaskEdit *m_edit = nullptr;
    QLineEdit *m_other = nullptr;
    TBtnPesquisa *m_button = nullptr;
    MemoryDataSet *m_data = nullptr;
    TDataSource *m_source = nullptr;
};

void tst_Buttons::init()
{
    m_window = new QWidget;
    auto *layout = new QVBoxLayout(m_window);
    m_edit = new TMaskEdit(m_window);
    m_edit->setEditMask(QStringLiteral(">aaaa;0; "));
    m_other = new QLineEdit(m_window);
    m_button = new TBtnPesquisa(m_window);
    layout->addWidget(m_edit);
    layout->addWidget(m_other);
    layout->addWidget(m_button);

    m_data = new MemoryDataSet(m_window);
    m_data->AddField(QStringLiteral("CDINTERNO"), 10, QStringLiteral("Interno"), 0, false);
    m_data->AddField(QStringLiteral("CDFILIAL"), 4, QStringLiteral("Código"));
    m_data->AddField(QStringLiteral("NMFILIAL"), 30, QStringLiteral("Nome"));
    m_data->load({QStringLiteral("CDINTERNO"), QStringLiteral("CDFILIAL"), QStringLiteral("NMFILIAL")},
                 {{1, QStringLiteral("0001"), QStringLiteral("Matriz")},
                  {2, QStringLiteral("0002"), QStringLiteral("São Paulo")},
                  {3, QStringLiteral("0003"), QStringLiteral("Curitiba")}},
                 false);
    m_source = new TDataSource(m_window, m_data);
    m_button->Associate = m_edit;
    m_button->DataSource = m_source;
    m_button->Title = QStringLiteral("Filial");
    m_button->EmptyError = QStringLiteral("Não há filial cadastrada.");

    m_window->show();
    QApplication::setActiveWindow(m_window);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void tst_Buttons::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void tst_Buttons::virtualKeys_data()
{
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<int>("vk");
    QTest::newRow("F1") << int(Qt::Key_F1) << 0x70;
    QTest::newRow("F9") << int(Qt::Key_F9) << 120;
    QTest::newRow("F12") << int(Qt::Key_F12) << 0x7B;
    QTest::newRow("Return") << int(Qt::Key_Return) << 13;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << 13;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << 27;
    QTest::newRow("Space") << int(Qt::Key_Space) << 32;
    QTest::newRow("Left") << int(Qt::Key_Left) << 37;
    QTest::newRow("Up") << int(Qt::Key_Up) << 38;
    QTest::newRow("Right") << int(Qt::Key_Right) << 39;
    QTest::newRow("Down") << int(Qt::Key_Down) << 40;
    QTest::newRow("A") << int(Qt::Key_A) << 65;
    QTest::newRow("Z") << int(Qt::Key_Z) << 90;
    QTest::newRow("0") << int(Qt::Key_0) << 48;
    QTest::newRow("9") << int(Qt::Key_9) << 57;
    QTest::newRow("no code") << int(Qt::Key_Launch0) << 0;
}

void tst_Buttons::virtualKeys()
{
    QFETCH(int, qtKey);
    QFETCH(int, vk);
    QCOMPARE(int(virtualKeyCode(qtKey)), vk);
}

void tst_Buttons::radioClickOnlyWhenBecomingChecked()
{
    auto *todos = new TRadioButton(QStringLiteral("Todos"), m_window);
    auto *lista = new TRadioButton(QStringLiteral("Lista"), m_window);
    m_window->layout()->addWidget(todos);
    m_window->layout()->addWidget(lista);
    todos->setChecked(true);
    QSignalSpy todosClick(todos, &TRadioButton::Click);
    QSignalSpy listaClick(lista, &TRadioButton::Click);

    QTest::mouseClick(lista, Qt::LeftButton);
    QCOMPARE(listaClick.count(), 1);
    QCOMPARE(todosClick.count(), 0); // becoming unchecked is no click
    QTest::mouseClick(lista, Qt::LeftButton);
    QCOMPARE(listaClick.count(), 1); // already checked: nothing
    todos->setChecked(true);         // by the program
    QCOMPARE(todosClick.count(), 1);
    QCOMPARE(listaClick.count(), 1);
}

void tst_Buttons::radioKeyDownPassesVirtualKey()
{
    auto *lista = new TRadioButton(QStringLiteral("Lista"), m_window);
    m_window->layout()->addWidget(lista);
    QList<QPair<int, Qt::KeyboardModifiers>> seen;
    lista->OnKeyDown = [&](QObject *sender, quint16 &key, Qt::KeyboardModifiers shift) {
        QCOMPARE(sender, lista);
        seen.append({key, shift});
    };
    lista->setFocus();
    QTest::keyClick(lista, Qt::Key_F9);
    QTest::keyClick(lista, Qt::Key_F9, Qt::ShiftModifier);
    QTest::keyClick(lista, Qt::Key_A);
    // Shift+F9 comes as the Shift key (16) and then F9 with Shift held.
    QCOMPARE(seen.size(), 4);
    QCOMPARE(seen.at(0).first, 120);
    QCOMPARE(seen.at(1).first, 16);
    QCOMPARE(seen.at(2).first, 120);
    QCOMPARE(seen.at(2).second, Qt::KeyboardModifiers(Qt::ShiftModifier));
    QCOMPARE(seen.at(3).first, 65);

    // A handler that raises does not take the key event down with it.
    ScriptedInteraction person;
    lista->OnKeyDown = [](QObject *, quint16 &, Qt::KeyboardModifiers) { throw ESuiteError(QStringLiteral("falhou")); };
    QTest::keyClick(lista, Qt::Key_F9);
    QCOMPARE(person.errors, QStringList{QStringLiteral("falhou")});
}

void tst_Buttons::checkBoxClickOnEveryChange()
{
    auto *box = new TCheckBox(QStringLiteral("Separar por Página"), m_window);
    m_window->layout()->addWidget(box);
    QSignalSpy click(box, &TCheckBox::Click);
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::mouseClick(box, Qt::LeftButton);
    box->setChecked(true);
    box->setChecked(true); // no change
    QCOMPARE(click.count(), 3);
}

void tst_Buttons::buttonsNeverTakeFocus()
{
    auto *flat = new TButtonFlat(m_window);
    m_window->layout()->addWidget(flat);
    QSignalSpy clicked(flat, &QToolButton::clicked);
    m_other->setFocus();
    QTest::mouseClick(flat, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(QApplication::focusWidget(), m_other);
    QVERIFY(!flat->icon().isNull());

    ScriptedInteraction person;
    QTest::mouseClick(m_button, Qt::LeftButton);
    QCOMPARE(person.lookupCalls, 1);
    QCOMPARE(m_button->focusPolicy(), Qt::NoFocus);
}

void tst_Buttons::lookupEmptyDataSet()
{
    ScriptedInteraction person;
    m_data->load({QStringLiteral("CDINTERNO"), QStringLiteral("CDFILIAL"), QStringLiteral("NMFILIAL")}, {});
    QVERIFY(!m_button->Execute());
    QCOMPARE(person.errors, QStringList{QStringLiteral("Não há filial cadastrada.")});
    QCOMPARE(person.lookupCalls, 0);
}

void tst_Buttons::lookupOpensDataSetItself()
{
    ScriptedInteraction person;
    QVERIFY(!m_button->Execute());
    QCOMPARE(m_data->openCalls, 1);
    QCOMPARE(person.lookupCalls, 1);
    QCOMPARE(person.lastTitle, QStringLiteral("Filial"));
    // No KeyField: the first visible field (the hidden one is skipped).
    QCOMPARE(person.lastKeyField, QStringLiteral("CDFILIAL"));
}

void tst_Buttons::lookupBeforePesqReplacesOpen()
{
    ScriptedInteraction person;
    int before = 0;
    m_button->OnBeforePesq = [&](QObject *sender, bool &) {
        QCOMPARE(sender, m_button);
        ++before;
        m_data->load({QStringLiteral("CDINTERNO"), QStringLiteral("CDFILIAL"), QStringLiteral("NMFILIAL")},
                     {{9, QStringLiteral("0009"), QStringLiteral("Recife")}});
    };
    m_button->Execute();
    QCOMPARE(before, 1);
    QCOMPARE(m_data->openCalls, 0);
    QCOMPARE(person.lookupCalls, 1);
}

void tst_Buttons::lookupPickWritesKey()
{
    ScriptedInteraction person;
    QString keyOffered;
    person.onLookup = [&](TDataSource *, const QString &, const QString &, QString &key) {
        keyOffered = key;
        key = QStringLiteral("0002");
        return true;
    };
    m_edit->setText(QStringLiteral("0001"));
    m_other->setFocus();
    QVERIFY(m_button->Execute());
    QCOMPARE(keyOffered, QStringLiteral("0001")); // the list opens at the current code
    QCOMPARE(m_edit->Text(), QStringLiteral("0002"));
    QCOMPARE(m_data->FieldByName(QStringLiteral("NMFILIAL")).AsString(), QStringLiteral("São Paulo"));
    QCOMPARE(QApplication::focusWidget(), m_edit);
}

void tst_Buttons::lookupPickRunsAfterPesq()
{
    ScriptedInteraction person;
    person.onLookup = [](TDataSource *, const QString &, const QString &, QString &key) {
        key = QStringLiteral("0003");
        return true;
    };
    QString name;
    m_button->OnAfterPesq = [&](QObject *) { name = m_data->FieldByName(QStringLiteral("NMFILIAL")).AsString(); };
    m_edit->setText(QStringLiteral("0001"));
    QVERIFY(m_button->Execute());
    QCOMPARE(name, QStringLiteral("Curitiba"));       // positioned on the chosen row
    QCOMPARE(m_edit->Text(), QStringLiteral("0001")); // the handler writes, not the button
}

void tst_Buttons::lookupCancelled()
{
    ScriptedInteraction person;
    bool after = false;
    m_button->OnAfterPesq = [&](QObject *) { after = true; };
    m_edit->setText(QStringLiteral("0001"));
    QVERIFY(!m_button->Execute());
    QVERIFY(!after);
    QCOMPARE(m_edit->Text(), QStringLiteral("0001"));
}

void tst_Buttons::lookupAfterPesqErrorPropagates()
{
    ScriptedInteraction person;
    person.onLookup = [](TDataSource *, const QString &, const QString &, QString &key) {
        key = QStringLiteral("0002");
        return true;
    };
    m_button->OnAfterPesq = [](QObject *) { throw ESuiteError(QStringLiteral("Falha ao ler a filial.")); };
    QVERIFY_THROWS_EXCEPTION(ESuiteError, m_button->Execute());
    // Clicked, the same failure is shown and stays inside the click.
    QTest::mouseClick(m_button, Qt::LeftButton);
    QCOMPARE(person.errors, QStringList{QStringLiteral("Falha ao ler a filial.")});
}

QTEST_MAIN(tst_Buttons)
#include "tst_buttons.moc"
