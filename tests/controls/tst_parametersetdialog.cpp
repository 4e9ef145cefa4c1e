// The dialog that saves a form's choices as a parameter set: what it proposes, the period
// each choice gives back with the dates it stands for, and a name it will not take.
#include "sets/ParameterSetDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

Q_DECLARE_METATYPE(RelativePeriod)

namespace {

ParameterSetQuestion question()
{
    ParameterSetQuestion q;
    q.name = QStringLiteral("Semanal Curitiba");
    q.ownNames = {QStringLiteral("Mensal"), QStringLiteral("Semanal Curitiba")};
    q.hasPeriod = true;
    q.today = QDate(2026, 12, 30);
    q.from = QDate(2026, 12, 28);
    q.to = QDate(2026, 12, 31);
    q.period = RelativePeriod::week(0);
    return q;
}

QPushButton *saveButton(ParameterSetDialog &d)
{
    for (QAbstractButton *b : d.findChild<QDialogButtonBox *>()->buttons())
        if (b->text() == QLatin1String("Salvar"))
            return static_cast<QPushButton *>(b);
    return nullptr;
}

} // namespace

class tst_ParameterSetDialog : public QObject
{
    Q_OBJECT
private slots:
    void proposesWhatItWasAsked();
    void periodRows_data();
    void periodRows();
    void blankNameIsNotSaved();
    void nameAndDefaultAsThePersonLeavesThem_data();
    void nameAndDefaultAsThePersonLeavesThem();
};

void tst_ParameterSetDialog::proposesWhatItWasAsked()
{
    ParameterSetQuestion q = question();
    q.period = RelativePeriod::week(3);
    q.makeDefault = true;
    ParameterSetDialog d(q);
    QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cbbNome"))->currentText(), q.name);
    QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cbbNome"))->count(), 2);
    QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("cbbPeriodo"))->currentIndex(), 3);
    QCOMPARE(d.findChild<QSpinBox *>(QStringLiteral("speSemanas"))->value(), 3);
    QVERIFY(d.findChild<QCheckBox *>(QStringLiteral("chkPadrao"))->isChecked());
    const ParameterSetQuestion a = d.answer();
    QVERIFY(a.period == RelativePeriod::week(3));
    QVERIFY(a.makeDefault);

    // A screen without a period is not asked about one.
    q.hasPeriod = false;
    ParameterSetDialog none(q);
    QVERIFY(none.findChild<QComboBox *>(QStringLiteral("cbbPeriodo"))->isHidden());
}

void tst_ParameterSetDialog::periodRows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("weeks");
    QTest::addColumn<RelativePeriod>("period");
    QTest::addColumn<QString>("dates");
    QTest::newRow("fixed") << 0 << 0 << RelativePeriod::fixed(QDate(2026, 12, 28), QDate(2026, 12, 31))
                           << QStringLiteral("Sempre de 28/12/2026 a 31/12/2026.");
    QTest::newRow("current week") << 1 << 0 << RelativePeriod::week(0) << QStringLiteral("de 28/12/2026 a 31/12/2026");
    QTest::newRow("next week") << 2 << 0 << RelativePeriod::week(1) << QStringLiteral("de 01/01/2027 a 10/01/2027");
    QTest::newRow("plus 2") << 3 << 2 << RelativePeriod::week(2) << QStringLiteral("de 11/01/2027 a 17/01/2027");
    QTest::newRow("month") << 4 << 0 << RelativePeriod::currentMonth() << QStringLiteral("de 01/12/2026 a 31/12/2026");
}

void tst_ParameterSetDialog::periodRows()
{
    QFETCH(int, row);
    QFETCH(int, weeks);
    QFETCH(RelativePeriod, period);
    QFETCH(QString, dates);
    ParameterSetDialog d(question());
    auto *spin = d.findChild<QSpinBox *>(QStringLiteral("speSemanas"));
    d.findChild<QComboBox *>(QStringLiteral("cbbPeriodo"))->setCurrentIndex(row);
    QCOMPARE(spin->isEnabled(), row == 3);
    if (weeks)
        spin->setValue(weeks);
    QVERIFY(d.answer().period == period);
    const QString label = d.findChild<QLabel *>(QStringLiteral("lblDatas"))->text();
    QVERIFY2(label.contains(dates), qPrintable(label));
}

void tst_ParameterSetDialog::blankNameIsNotSaved()
{
    ParameterSetDialog d(question());
    QComboBox *name = d.findChild<QComboBox *>(QStringLiteral("cbbNome"));
    QVERIFY(saveButton(d)->isEnabled());
    name->setCurrentText(QStringLiteral("   "));
    QVERIFY(!saveButton(d)->isEnabled());
    name->setCurrentText(QStringLiteral("  Nova   lista "));
    QVERIFY(saveButton(d)->isEnabled());
    QCOMPARE(d.answer().name, QStringLiteral("Nova lista"));
}

void tst_ParameterSetDialog::nameAndDefaultAsThePersonLeavesThem_data()
{
    QTest::addColumn<QString>("proposed"); // the set chosen on the screen
    QTest::addColumn<QString>("typed");    // typed as the dialog opens; empty: nothing
    QTest::addColumn<bool>("clicked");     // the person clicks "Aplicar ao abrir"
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("makeDefault");
    const QString semana = QStringLiteral("Semana que vem"); // the set the screen opens with
    const QString mensal = QStringLiteral("Mensal");
    QTest::newRow("the default set saved again") << semana << QString() << false << semana << true;
    QTest::newRow("the default set under a new name")
        << semana << QStringLiteral("Londrina") << false << QStringLiteral("Londrina") << false;
    QTest::newRow("a new name, asked to open with it")
        << semana << QStringLiteral("Londrina") << true << QStringLiteral("Londrina") << true;
    QTest::newRow("the default set, no longer asked to open with it") << semana << QString() << true << semana << false;
    QTest::newRow("another set saved again") << mensal << QString() << false << mensal << false;
    // Replacing the set the screen opens with keeps it so.
    QTest::newRow("another set saved over the default") << mensal << semana << false << semana << true;
}

// Typing replaces the proposed name, and "Aplicar ao abrir" moves the default only when
// the person says so.
void tst_ParameterSetDialog::nameAndDefaultAsThePersonLeavesThem()
{
    QFETCH(QString, proposed);
    QFETCH(QString, typed);
    QFETCH(bool, clicked);
    QFETCH(QString, name);
    QFETCH(bool, makeDefault);
    ParameterSetQuestion q = question();
    q.ownNames = {QStringLiteral("Mensal"), QStringLiteral("Semana que vem")};
    q.name = proposed;
    q.defaultName = QStringLiteral("Semana que vem");
    q.makeDefault = proposed == q.defaultName;
    ParameterSetDialog d(q);
    d.show();
    QApplication::setActiveWindow(&d);
    QVERIFY(QTest::qWaitForWindowActive(&d));
    if (!typed.isEmpty())
        QTest::keyClicks(QApplication::focusWidget(), typed);
    if (clicked) {
        auto *box = d.findChild<QCheckBox *>(QStringLiteral("chkPadrao"));
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); // on the tick
    }
    QCOMPARE(d.answer().name, name);
    QCOMPARE(d.answer().makeDefault, makeDefault);
}

QTEST_MAIN(tst_ParameterSetDialog)
#include "tst_parametersetdialog.moc"
