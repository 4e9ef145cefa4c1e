#include "errors/EAbort.h"
#include "ScriptedInteraction.h"
#include "controls/FocusTracker.h"
#include "controls/TControls.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

// Exit events: which focus moves fire them, in which order, and which do not.
class tst_FocusTracker : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void exitOnMoveWithinForm();
    void noExitOnWindowDeactivation();
    void noExitOnMoveToAnotherForm();
    void panelExitAfterControlExit();
    void panelExitOnlyWhenLeavingPanel();
    void failedExitStopsPanelExit();
    void focusMovesInsideHandlerFireNothing();
    void refusalWithABoxHoldsTheFocus_data();
    void refusalWithABoxHoldsTheFocus();
    void destroyedWidgetsForgotten();

private:
    QLineEdit *edit(QWidget *parent, const QString &name);
    void focus(QWidget *w);

    QWidget *m_window = nullptr;
    QWidget *m_form = nullptr;
    TPanel *m_panel = nullptr;
    QLineEdit *m_a = nullptr;  // inside the panel
    QLineEdit *m_a2 = nullptr; // inside the panel
    QLineEdit *m_b = nullptr;  // outside the panel
    QStringList m_log;
};

QLineEdit *tst_FocusTracker::edit(QWidget *parent, const QString &name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    parent->layout()->addWidget(e);
    return e;
}

void tst_FocusTracker::focus(QWidget *w)
{
    w->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), w);
}

void tst_FocusTracker::init()
{
    m_log.clear();
    m_window = new QWidget;
    new QVBoxLayout(m_window);
    m_form = new QWidget(m_window);
    m_form->setProperty("suiteForm", true);
    new QVBoxLayout(m_form);
    m_window->layout()->addWidget(m_form);
    m_panel = new TPanel(m_form);
    new QVBoxLayout(m_panel);
    m_form->layout()->addWidget(m_panel);
    m_a = edit(m_panel, QStringLiteral("a"));
    m_a2 = edit(m_panel, QStringLiteral("a2"));
    m_b = edit(m_form, QStringLiteral("b"));
    OnExit(m_a, [this] { m_log << QStringLiteral("a"); });
    OnExit(m_a2, [this] { m_log << QStringLiteral("a2"); });
    OnExit(m_b, [this] { m_log << QStringLiteral("b"); });
    OnExit(m_panel, [this] { m_log << QStringLiteral("panel"); });
    m_window->show();
    QApplication::setActiveWindow(m_window);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    focus(m_a);
    m_log.clear();
}

void tst_FocusTracker::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void tst_FocusTracker::exitOnMoveWithinForm()
{
    focus(m_a2);
    QCOMPARE(m_log, QStringList{QStringLiteral("a")});
    QTest::keyClick(m_a2, Qt::Key_Tab); // by the keyboard: a2 -> b
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_b));
    QCOMPARE(m_log, (QStringList{QStringLiteral("a"), QStringLiteral("a2"), QStringLiteral("panel")}));
    QTest::mouseClick(m_a, Qt::LeftButton); // by the mouse: b -> a
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_a));
    QCOMPARE(m_log.last(), QStringLiteral("b"));
}

void tst_FocusTracker::noExitOnWindowDeactivation()
{
    QWidget other;
    auto *otherEdit = new QLineEdit(&other);
    other.show();
    QApplication::setActiveWindow(&other);
    otherEdit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(otherEdit));
    QApplication::setActiveWindow(m_window);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_a));
    QCOMPARE(m_log, QStringList());
    // The form still knows a held the focus: leaving it now fires its exit.
    focus(m_b);
    QCOMPARE(m_log, (QStringList{QStringLiteral("a"), QStringLiteral("panel")}));
}

void tst_FocusTracker::noExitOnMoveToAnotherForm()
{
    // A second form inside the same window (as child windows of the shell are).
    auto *form2 = new QWidget(m_window);
    form2->setProperty("suiteForm", true);
    new QVBoxLayout(form2);
    m_window->layout()->addWidget(form2);
    QLineEdit *c = edit(form2, QStringLiteral("c"));
    OnExit(c, [this] { m_log << QStringLiteral("c"); });
    form2->show();
    focus(c);
    QCOMPARE(m_log, QStringList());
    focus(m_a);
    QCOMPARE(m_log, QStringList());
}

void tst_FocusTracker::panelExitAfterControlExit()
{
    focus(m_b);
    QCOMPARE(m_log, (QStringList{QStringLiteral("a"), QStringLiteral("panel")}));
}

void tst_FocusTracker::panelExitOnlyWhenLeavingPanel()
{
    focus(m_a2);
    focus(m_a);
    QCOMPARE(m_log, (QStringList{QStringLiteral("a"), QStringLiteral("a2")}));
    m_log.clear();
    focus(m_b);
    focus(m_a); // entering the panel fires nothing of the panel
    QCOMPARE(m_log, (QStringList{QStringLiteral("a"), QStringLiteral("panel"), QStringLiteral("b")}));
}

void tst_FocusTracker::failedExitStopsPanelExit()
{
    ScriptedInteraction person;
    OnExit(m_a, [this] {
        m_log << QStringLiteral("a");
        m_a->setFocus();
        throw EAbort();
    });
    m_b->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_a));
    QCOMPARE(m_log, QStringList{QStringLiteral("a")});
    QCOMPARE(person.errors, QStringList()); // the abort is silent

    // A failure other than the abort is shown, and the panel's exit does not run either.
    OnExit(m_a, [this] {
        m_log << QStringLiteral("a");
        throw ESuiteError(QStringLiteral("Erro de banco."));
    });
    m_log.clear();
    m_b->setFocus();
    QCOMPARE(m_log, QStringList{QStringLiteral("a")});
    QCOMPARE(person.errors, QStringList{QStringLiteral("Erro de banco.")});
}

void tst_FocusTracker::focusMovesInsideHandlerFireNothing()
{
    // The handler puts the focus back on the control at fault, as validations do.
    OnExit(m_a, [this] {
        m_log << QStringLiteral("a");
        m_a->setFocus();
    });
    m_b->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_a));
    // b lost the focus inside the handler: no exit for it; focus back inside: no panel exit.
    QCOMPARE(m_log, QStringList{QStringLiteral("a")});
    // The tracker now counts a as the current control: leaving it fires again.
    m_b->setFocus();
    QCOMPARE(m_log, (QStringList{QStringLiteral("a"), QStringLiteral("a")}));
}

// An exit refused with a message box: once the box is closed, a focus move that the person
// did not make (a child window handing the focus back to the control it remembered, the
// window coming back) must not run the exit again, or the box comes back after every close.
void tst_FocusTracker::refusalWithABoxHoldsTheFocus_data()
{
    QTest::addColumn<QString>("move");
    QTest::addColumn<int>("exits");
    QTest::newRow("the toolkit hands the focus on") << "other" << 1;
    QTest::newRow("the window comes back") << "window" << 1;
    QTest::newRow("the person presses Tab") << "tab" << 2;
    QTest::newRow("the person clicks another box") << "click" << 2;
}

void tst_FocusTracker::refusalWithABoxHoldsTheFocus()
{
    QFETCH(QString, move);
    QFETCH(int, exits);
    OnExit(m_a, [this] {
        m_log << QStringLiteral("a");
        m_a->setFocus();
        // The message box: a window of its own takes the keyboard until it is closed.
        QWidget box;
        auto *ok = new QLineEdit(&box);
        box.show();
        box.activateWindow();
        QApplication::processEvents();
        ok->setFocus();
        box.hide();
        m_window->activateWindow();
        throw EAbort();
    });
    m_b->setFocus(Qt::TabFocusReason);
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_a));
    QCOMPARE(m_log, QStringList{QStringLiteral("a")});
    QTest::qWait(20); // the box's deactivation events pass
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));

    if (move == QLatin1String("other"))
        m_b->setFocus(Qt::OtherFocusReason);
    else if (move == QLatin1String("window"))
        m_b->setFocus(Qt::ActiveWindowFocusReason);
    else if (move == QLatin1String("tab"))
        QTest::keyClick(m_a, Qt::Key_Tab);
    else
        QTest::mouseClick(m_b, Qt::LeftButton);
    QApplication::processEvents();
    QCOMPARE(m_log.size(), exits);
    m_window->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_a));
}

void tst_FocusTracker::destroyedWidgetsForgotten()
{
    focus(m_a2);
    m_log.clear();
    delete m_a2;
    m_a2 = nullptr;
    focus(m_b);
    QCOMPARE(m_log, QStringList());
    auto *fresh = edit(m_panel, QStringLiteral("fresh"));
    fresh->show();
    focus(fresh);
    focus(m_b);
    QCOMPARE(m_log, (QStringList{QStringLiteral("b"), QStringLiteral("panel")}));
}

QTEST_MAIN(tst_FocusTracker)
#include "tst_focustracker.moc"
