// The dialog that saves a form's choices as a parameter set: what it proposes, the period
// each choice gives back with the dates it stands for, and a name it will not take.
#include "controls/ParameterSetDialog.h"

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

QTEST_MAIN(tst_ParameterSetDialog)
#include "tst_parametersetdialog.moc"
