#include "errors/EAbort.h"
#include "validation/Consiste.h"
#include "ScriptedInteraction.h"
#include "controls/CalendarWeeks.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

// The spin edit (week boxes) and the date edit of the validity period, and the keyboard
// habits they share with the masked edit.
class tst_Editors : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void spinRead_data();
    void spinRead();
    void spinSetValueClamps_data();
    void spinSetValueClamps();
    void spinTyping();
    void spinSteps_data();
    void spinSteps();
    void spinKeepsTextOnFocusOut();

    void dateStates_data();
    void dateStates();
    void dateChangeWhileTyping();
    void setDateRaisesOnce();
    void checkValidDate_data();
    void checkValidDate();
    void calendarPicksDate();
    void twoDigitYear_data();
    void twoDigitYear();
    void calendarNumbersTheSuitesWeeks_data();
    void calendarNumbersTheSuitesWeeks();

    void keyboardEntrySelectsAll_data();
    void keyboardEntrySelectsAll();
    void escapePutsBackTheEnteredText_data();
    void escapePutsBackTheEnteredText();

private:
    QWidget *editor(const QString &name) const;

    QWidget *m_window = nullptr;
    TMaskEdit *m_mask = nullptr;
    TSpinEdit *m_spin = nullptr;
    TDateEditPlus *m_date = nullptr;
    QLineEdit *m_other = nullptr;
};

void tst_Editors::init()
{
    m_window = new QWidget;
    auto *layout = new QVBoxLayout(m_window);
    m_mask = new TMaskEdit(m_window);
    m_mask->setEditMask(QStringLiteral(">aaaa;0; "));
    m_mask->setMaxLength(4);
    layout->addWidget(m_mask);
    m_spin = new TSpinEdit(m_window);
    m_spin->MinValue = 1;
    m_spin->MaxValue = 53;
    m_spin->setValue(1);
    m_date = new TDateEditPlus(m_window);
    m_other = new QLineEdit(m_window);
    layout->addWidget(m_spin);
    layout->addWidget(m_date);
    layout->addWidget(m_other);
    m_window->show();
    QApplication::setActiveWindow(m_window);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void tst_Editors::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void tst_Editors::spinRead_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("blank reads as the minimum") << "" << 1;
    QTest::newRow("minus sign alone") << "-" << 1;
    // No clamping on read: the form corrects values above the maximum itself.
    QTest::newRow("above the maximum") << "60" << 60;
    QTest::newRow("below the minimum") << "0" << 0;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("in range") << "12" << 12;
}

void tst_Editors::spinRead()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    m_spin->setText(text);
    QCOMPARE(m_spin->Text(), text);
    QCOMPARE(m_spin->Value(), value);
}

void tst_Editors::spinSetValueClamps_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("above") << 99 << "53";
    QTest::newRow("below") << -5 << "1";
    QTest::newRow("inside") << 10 << "10";
}

void tst_Editors::spinSetValueClamps()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    m_spin->setValue(value);
    QCOMPARE(m_spin->Text(), text);
}

void tst_Editors::spinTyping()
{
    m_spin->setText(QString());
    QSignalSpy change(m_spin, &TSpinEdit::Change);
    m_spin->setFocus();
    QTest::keyClicks(m_spin, QStringLiteral("6x0")); // the letter is refused
    QCOMPARE(m_spin->Text(), QStringLiteral("60"));
    QCOMPARE(m_spin->Value(), 60);
    QCOMPARE(change.count(), 2);
    m_spin->setValue(60 - 7); // 53: a change
    QCOMPARE(change.count(), 3);
    m_spin->setValue(53); // same text: no change
    QCOMPARE(change.count(), 3);
    QTest::keyClick(m_spin, Qt::Key_Backspace);
    QTest::keyClick(m_spin, Qt::Key_Backspace);
    QCOMPARE(m_spin->Text(), QString());
    QCOMPARE(change.count(), 5);
}

void tst_Editors::spinSteps_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("after");
    QTest::newRow("up from blank starts at the minimum") << "" << int(Qt::Key_Up) << "1";
    QTest::newRow("down from blank starts at the minimum") << "" << int(Qt::Key_Down) << "1";
    QTest::newRow("up") << "52" << int(Qt::Key_Up) << "53";
    QTest::newRow("up stops at the maximum") << "53" << int(Qt::Key_Up) << "53";
    QTest::newRow("down stops at the minimum") << "1" << int(Qt::Key_Down) << "1";
    QTest::newRow("down from above the maximum") << "60" << int(Qt::Key_Down) << "53";
    QTest::newRow("page up") << "10" << int(Qt::Key_PageUp) << "20";
}

void tst_Editors::spinSteps()
{
    QFETCH(QString, start);
    QFETCH(int, key);
    QFETCH(QString, after);
    m_spin->setText(start);
    m_spin->setFocus();
    QTest::keyClick(m_spin, Qt::Key(key));
    QCOMPARE(m_spin->Text(), after);
}

void tst_Editors::spinKeepsTextOnFocusOut()
{
    m_spin->setFocus();
    m_spin->setText(QString());
    QTest::keyClicks(m_spin, QStringLiteral("60"));
    m_other->setFocus();
    QCOMPARE(QApplication::focusWidget(), m_other);
    QCOMPARE(m_spin->Text(), QStringLiteral("60"));
    m_spin->setFocus();
    m_spin->setText(QString());
    m_other->setFocus();
    QCOMPARE(m_spin->Text(), QString());
}

void tst_Editors::dateStates_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("blank") << ""
                           << "" << QDate();
    QTest::newRow("half typed") << "1202"
                                << "12/02/    " << QDate();
    QTest::newRow("valid") << "01022024"
                           << "01/02/2024" << QDate(2024, 2, 1);
    QTest::newRow("leap day") << "29022024"
                              << "29/02/2024" << QDate(2024, 2, 29);
    QTest::newRow("no such day") << "29022023"
                                 << "29/02/2023" << QDate();
    QTest::newRow("no such month") << "01132024"
                                   << "01/13/2024" << QDate();
}

void tst_Editors::dateStates()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QDate, date);
    m_date->setFocus();
    m_date->setCursorPosition(0);
    QTest::keyClicks(m_date, typed);
    QCOMPARE(m_date->Text(), text);
    QCOMPARE(m_date->GetDate(), date);
    const QColor shown = m_date->palette().color(QPalette::Text);
    if (date.isValid())
        QCOMPARE(shown, m_date->ValidDateColor);
    else
        QVERIFY(shown != m_date->ValidDateColor);
}

void tst_Editors::dateChangeWhileTyping()
{
    QSignalSpy change(m_date, &TDateEditPlus::DateChange);
    m_date->setFocus();
    m_date->setCursorPosition(0);
    QTest::keyClicks(m_date, QStringLiteral("01022024"));
    QCOMPARE(change.count(), 8);
    QTest::keyClick(m_date, Qt::Key_Backspace);
    QCOMPARE(change.count(), 9);
    QCOMPARE(m_date->GetDate(), QDate());
}

void tst_Editors::setDateRaisesOnce()
{
    QSignalSpy change(m_date, &TDateEditPlus::DateChange);
    m_date->SetDate(QDate(2026, 12, 7));
    QCOMPARE(m_date->Text(), QStringLiteral("07/12/2026"));
    QCOMPARE(change.count(), 1);
    m_date->SetDate(QDate(2026, 12, 7)); // unchanged text still reports the date written
    QCOMPARE(change.count(), 2);
    m_date->SetDate(QDate());
    QCOMPARE(m_date->Text(), QString());
    QCOMPARE(change.count(), 3);
    QVERIFY(m_date->palette().color(QPalette::Text) != m_date->ValidDateColor);
}

void tst_Editors::checkValidDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank passes") << ""
                                  << "";
    QTest::newRow("valid passes") << "10/03/2024"
                                  << "";
    QTest::newRow("no such day") << "31/02/2024"
                                 << "'31/02/2024' não é uma data válida.";
    QTest::newRow("half typed") << "10/03/2"
                                << "'10/03/2' não é uma data válida.";
}

void tst_Editors::checkValidDate()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    ScriptedInteraction person;
    m_date->setText(text);
    m_other->setFocus();
    bool aborted = false;
    try {
        m_date->CheckValidDate();
    } catch (const EAbort &) {
        aborted = true;
    }
    QCOMPARE(aborted, !message.isEmpty());
    QCOMPARE(person.errors, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(QApplication::focusWidget(), message.isEmpty() ? static_cast<QWidget *>(m_other) : m_date);
}

void tst_Editors::calendarPicksDate()
{
    m_date->SetDate(QDate(2024, 3, 10));
    m_date->setFocus();
    QSignalSpy change(m_date, &TDateEditPlus::DateChange);
    QTest::keyClick(m_date, Qt::Key_F4);
    auto *calendar = m_date->findChild<QCalendarWidget *>();
    QVERIFY(calendar);
    QTRY_VERIFY(calendar->isVisible());
    QCOMPARE(calendar->selectedDate(), QDate(2024, 3, 10));
    QTest::keyClick(calendar->focusWidget() ? calendar->focusWidget() : calendar, Qt::Key_Right);
    QTest::keyClick(calendar->focusWidget() ? calendar->focusWidget() : calendar, Qt::Key_Return);
    QTRY_VERIFY(!calendar->isVisible());
    QCOMPARE(m_date->GetDate(), QDate(2024, 3, 11));
    QVERIFY(change.count() >= 1);
}

void tst_Editors::twoDigitYear_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("shownAfterLeaving");
    // Read in the 50-year window around today (these rows hold until 2075).
    QTest::newRow("next year") << "150127" << QDate(2027, 1, 15) << "15/01/2027";
    QTest::newRow("last century") << "010290" << QDate(1990, 2, 1) << "01/02/1990";
    QTest::newRow("four digits unchanged") << "15012027" << QDate(2027, 1, 15) << "15/01/2027";
    QTest::newRow("twenty") << "150120" << QDate(2020, 1, 15) << "15/01/2020";
    QTest::newRow("three digits typed") << "1501202" << QDate() << "15/01/202 ";
}

void tst_Editors::twoDigitYear()
{
    QFETCH(QString, typed);
    QFETCH(QDate, date);
    QFETCH(QString, shownAfterLeaving);
    m_date->setFocus();
    QTest::keyClicks(m_date, typed);
    QCOMPARE(m_date->GetDate(), date);
    QTest::keyClick(m_date, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), m_other);
    QCOMPARE(m_date->displayText(), shownAfterLeaving);
    QCOMPARE(m_date->GetDate(), date);
}

void tst_Editors::calendarNumbersTheSuitesWeeks_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QList<int>>("weeks");
    // 1 January 2027 is a Friday: ISO puts it in week 53 of 2026; the screen counts it in
    // week 1, which runs to Sunday 10 January.
    QTest::newRow("January 2027") << QDate(2027, 1, 15) << QList<int>{1, 1, 2, 3, 4, 5};
    QTest::newRow("December 2026") << QDate(2026, 12, 7) << QList<int>{49, 50, 51, 52, 53, 1};
    QTest::newRow("March 2024") << QDate(2024, 3, 10) << QList<int>{9, 10, 11, 12, 13, 14};
}

void tst_Editors::calendarNumbersTheSuitesWeeks()
{
    QFETCH(QDate, date);
    QFETCH(QList<int>, weeks);
    m_date->SetDate(date);
    m_date->setFocus();
    QTest::keyClick(m_date, Qt::Key_Down, Qt::AltModifier);
    auto *calendar = m_date->findChild<QCalendarWidget *>();
    QVERIFY(calendar);
    QTRY_VERIFY(calendar->isVisible());
    QCOMPARE(calendar->firstDayOfWeek(), Qt::Monday);
    auto *view = calendar->findChild<QTableView *>();
    auto *numbers = qobject_cast<CalendarWeeks *>(view->itemDelegate());
    QVERIFY(numbers);
    QList<int> shown;
    for (int row = 1; row <= 6; ++row)
        shown << numbers->weekOfRow(row);
    QCOMPARE(shown, weeks);
    // Every date of a row but the turn of the year has that row's number.
    const QDate monday =
        QDate(date.year(), date.month(), 1).addDays(1 - QDate(date.year(), date.month(), 1).dayOfWeek());
    for (int row = 1; row <= 6; ++row) {
        const QDate day = monday.addDays(7 * (row - 1) + 3); // Thursday
        if (day.year() == date.year())
            QCOMPARE(shown.at(row - 1), Consiste::NumeroSemana(day));
    }
    QVERIFY(!calendar->grab().isNull()); // the week column paints
    QTest::keyClick(calendar->focusWidget() ? calendar->focusWidget() : calendar, Qt::Key_Escape);
    QTRY_VERIFY(!calendar->isVisible());
    QCOMPARE(m_date->GetDate(), date);
}

QWidget *tst_Editors::editor(const QString &name) const
{
    if (name == QLatin1String("mask"))
        return m_mask;
    if (name == QLatin1String("spin"))
        return m_spin;
    return m_date;
}

void tst_Editors::keyboardEntrySelectsAll_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    // Branch "0001" entered by the keyboard: what is typed replaces it.
    QTest::newRow("mask, Tab") << "mask"
                               << "tab"
                               << "2"
                               << "2";
    QTest::newRow("mask, Shift+Tab") << "mask"
                                     << "backtab"
                                     << "2"
                                     << "2";
    QTest::newRow("mask, put back by a refusal") << "mask"
                                                 << "program"
                                                 << "2"
                                                 << "2";
    QTest::newRow("spin, Tab") << "spin"
                               << "tab"
                               << "7"
                               << "7";
    QTest::newRow("spin, put back by a refusal") << "spin"
                                                 << "program"
                                                 << "7"
                                                 << "7";
    QTest::newRow("date, Tab") << "date"
                               << "tab"
                               << "150127"
                               << "15/01/27  ";
    QTest::newRow("date, Shift+Tab") << "date"
                                     << "backtab"
                                     << "1501"
                                     << "15/01/    ";
    QTest::newRow("date, put back by a refusal") << "date"
                                                 << "program"
                                                 << "15012027"
                                                 << "15/01/2027";
    // A click places the cursor and selects nothing.
    QTest::newRow("mask, mouse") << "mask"
                                 << "mouse"
                                 << ""
                                 << "0001";
    QTest::newRow("date, mouse") << "date"
                                 << "mouse"
                                 << ""
                                 << "10/03/2024";
}

void tst_Editors::keyboardEntrySelectsAll()
{
    QFETCH(QString, edit);
    QFETCH(QString, how);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    m_mask->setText(QStringLiteral("0001"));
    m_spin->setValue(5);
    m_date->SetDate(QDate(2024, 3, 10));
    QWidget *target = editor(edit);
    // The keys go from the control before the target (Tab) or after it (Shift+Tab).
    QWidget *before = target == m_mask   ? static_cast<QWidget *>(m_other)
                      : target == m_spin ? static_cast<QWidget *>(m_mask)
                                         : m_spin;
    QWidget *after = target == m_mask   ? static_cast<QWidget *>(m_spin)
                     : target == m_spin ? static_cast<QWidget *>(m_date)
                                        : m_other;
    if (how == QLatin1String("tab")) {
        before->setFocus();
        QTest::keyClick(before, Qt::Key_Tab);
    } else if (how == QLatin1String("backtab")) {
        after->setFocus();
        QTest::keyClick(after, Qt::Key_Backtab, Qt::ShiftModifier);
    } else if (how == QLatin1String("program")) {
        m_other->setFocus();
        target->setFocus();
    } else {
        m_other->setFocus();
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(target->width() - 8, target->height() / 2));
    }
    QVERIFY(target->hasFocus());
    auto *line =
        qobject_cast<QLineEdit *>(target) ? qobject_cast<QLineEdit *>(target) : target->findChild<QLineEdit *>();
    QCOMPARE(line->hasSelectedText(), how != QLatin1String("mouse"));
    if (!typed.isEmpty())
        QTest::keyClicks(QApplication::focusWidget(), typed);
    const QString now = target == m_mask ? m_mask->Text() : target == m_spin ? m_spin->Text() : m_date->displayText();
    QCOMPARE(now, text);
}

void tst_Editors::escapePutsBackTheEnteredText_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("mask") << "mask"
                          << "0002"
                          << "0001";
    QTest::newRow("spin") << "spin"
                          << "12"
                          << "5";
    QTest::newRow("date") << "date"
                          << "01012025"
                          << "10/03/2024";
    // The screen's defaults are written while its first field already holds the focus:
    // they are what the person starts from.
    QTest::newRow("mask filled after entry") << "mask filled"
                                             << "0002"
                                             << "0001";
    QTest::newRow("spin filled after entry") << "spin filled"
                                             << "12"
                                             << "5";
    QTest::newRow("date filled after entry") << "date filled"
                                             << "01012025"
                                             << "10/03/2024";
    // The first field gets its focus as the window comes up, and is filled after.
    QTest::newRow("mask focused as the window opens") << "mask opening"
                                                      << "0002"
                                                      << "0001";
}

void tst_Editors::escapePutsBackTheEnteredText()
{
    QFETCH(QString, edit);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    const bool atOpening = edit.endsWith(QLatin1String(" opening"));
    const bool filledAfterEntry = atOpening || edit.endsWith(QLatin1String(" filled"));
    auto fill = [this] {
        m_mask->setText(QStringLiteral("0001"));
        m_spin->setValue(5);
        m_date->SetDate(QDate(2024, 3, 10));
    };
    if (filledAfterEntry) {
        m_mask->setText(QString());
        m_spin->setText(QString());
        m_date->Clear();
    } else {
        fill();
    }
    QWidget *target = editor(edit.section(QLatin1Char(' '), 0, 0));
    if (atOpening) {
        QCOMPARE(QApplication::focusWidget(), target);
    } else {
        m_other->setFocus();
        target->setFocus(Qt::TabFocusReason);
    }
    if (filledAfterEntry) {
        fill();
        target->setFocus(Qt::TabFocusReason);
        if (auto *line = qobject_cast<QLineEdit *>(target))
            line->selectAll();
        else
            qobject_cast<QAbstractSpinBox *>(target)->selectAll();
    }
    QTest::keyClicks(target, typed);
    auto now = [&] {
        return target == m_mask ? m_mask->Text() : target == m_spin ? m_spin->Text() : m_date->displayText();
    };
    QVERIFY(now() != text);
    QTest::keyClick(target, Qt::Key_Escape);
    QCOMPARE(now(), text);
    QVERIFY(target->hasFocus());
    // Typing again replaces the whole text, as on entering.
    QTest::keyClicks(target, typed.left(1));
    QCOMPARE(now().remove(QLatin1Char('/')).trimmed(), typed.left(1));
}

QTEST_MAIN(tst_Editors)
#include "tst_editors.moc"
