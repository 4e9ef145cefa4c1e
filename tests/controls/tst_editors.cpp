#include "EAbort.h"
#include "ScriptedInteraction.h"
#include "controls/TDateEditPlus.h"
#include "controls/TSpinEdit.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

// The spin edit (week boxes) and the date edit of the validity period.
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

private:
    QWidget *m_window = nullptr;
    TSpinEdit *m_spin = nullptr;
    TDateEditPlus *m_date = nullptr;
    QLineEdit *m_other = nullptr;
};

void tst_Editors::init()
{
    m_window = new QWidget;
    auto *layout = new QVBoxLayout(m_window);
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
    QTest::keyClicks(m_spin, QStringLiteral("6x0"));   // the letter is refused
    QCOMPARE(m_spin->Text(), QStringLiteral("60"));
    QCOMPARE(m_spin->Value(), 60);
    QCOMPARE(change.count(), 2);
    m_spin->setValue(60 - 7);                          // 53: a change
    QCOMPARE(change.count(), 3);
    m_spin->setValue(53);                              // same text: no change
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
    QTest::newRow("blank") << "" << "" << QDate();
    QTest::newRow("half typed") << "1202" << "12/02/    " << QDate();
    QTest::newRow("valid") << "01022024" << "01/02/2024" << QDate(2024, 2, 1);
    QTest::newRow("leap day") << "29022024" << "29/02/2024" << QDate(2024, 2, 29);
    QTest::newRow("no such day") << "29022023" << "29/02/2023" << QDate();
    QTest::newRow("no such month") << "01132024" << "01/13/2024" << QDate();
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
    m_date->SetDate(QDate(2026, 12, 7));   // unchanged text still reports the date written
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
    QTest::newRow("blank passes") << "" << "";
    QTest::newRow("valid passes") << "10/03/2024" << "";
    QTest::newRow("no such day") << "31/02/2024" << "'31/02/2024' não é uma data válida.";
    QTest::newRow("half typed") << "10/03/2" << "'10/03/2' não é uma data válida.";
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

QTEST_MAIN(tst_Editors)
#include "tst_editors.moc"
