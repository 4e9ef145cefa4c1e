// The validity period of the price-list screen: week boxes and date boxes kept in step in
// both directions, the weekday boxes, and the period check before output.
#include "FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "validation/Consiste.h"
#include "TfrmListaPrecRel.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TSpinEdit.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

namespace {

const QString kIniDeve = QStringLiteral("Validade inicial deve ser informada.");
const QString kFinDeve = QStringLiteral("Validade final deve ser informada.");
const QString kInvertida = QStringLiteral("Validade inicial deve ser menor ou igual a validade final.");
const QString kCompDeve = QStringLiteral("Comprador deve ser informado.");

struct Side
{
    TSpinEdit *week;
    TDateEditPlus *date;
    QLineEdit *weekday;
};

Side side(TfrmListaPrecRel *form, const QString &name)
{
    if (name == QLatin1String("ini"))
        return {control<TSpinEdit>(form, "speSemIni"), control<TDateEditPlus>(form, "depDataIni"),
                control<QLineEdit>(form, "edtDataIni")};
    return {control<TSpinEdit>(form, "speSemFin"), control<TDateEditPlus>(form, "depDataFin"),
            control<QLineEdit>(form, "edtDataFin")};
}

// Selects the box's text and types over it, as a person replacing a value does (the text
// never passes through blank on the way).
void typeOver(QWidget *w, const QString &text)
{
    FormFixture::focus(w);
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w, text);
    QApplication::processEvents();
}

QDate dateOrBlank(const TDateEditPlus *box)
{
    return box->Text().isEmpty() ? QDate() : box->GetDate();
}

} // namespace

class tst_FormPeriod : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void weekToDate_data();
    void weekToDate();
    void weekInBlankDateUsesCurrentYear();
    void dateToWeek_data();
    void dateToWeek();
    void invalidDateOnLeaving();
    void finalBeforeInitialIsSaidOnLeaving();
    void steppingUpStaysInTheYear_data();
    void steppingUpStaysInTheYear();
    void twoYears();
    void periodCheck_data();
    void periodCheck();
    void periodFromWeeks_data();
    void periodFromWeeks();
};

void tst_FormPeriod::cleanup()
{
    QCOMPARE(boIdCriado, false);
}

void tst_FormPeriod::weekToDate_data()
{
    QTest::addColumn<QString>("side");
    QTest::addColumn<QDate>("base");    // the date box before the week is typed
    QTest::addColumn<QString>("typed"); // empty: the week box is emptied
    QTest::addColumn<QString>("week");
    QTest::addColumn<QDate>("date"); // invalid: blank
    QTest::addColumn<QString>("weekday");

    QTest::newRow("ini: week 10") << "ini" << QDate(2026, 12, 7) << "10"
                                  << "10" << QDate(2026, 3, 2) << "Seg";
    QTest::newRow("fin: week 10") << "fin" << QDate(2026, 12, 7) << "10"
                                  << "10" << QDate(2026, 3, 8) << "Dom";
    // Week 1 holds the days of January that the ISO rule gives to the year before.
    QTest::newRow("ini: week 1 starts on 1 January") << "ini" << QDate(2026, 12, 7) << "1"
                                                     << "1" << QDate(2026, 1, 1) << "Qui";
    QTest::newRow("fin: week 53 ends on 31 December") << "fin" << QDate(2026, 6, 10) << "53"
                                                      << "53" << QDate(2026, 12, 31) << "Qui";
    QTest::newRow("ini: 53 in a year of 52 weeks") << "ini" << QDate(2025, 6, 10) << "53"
                                                   << "52" << QDate(2025, 12, 22) << "Seg";
    QTest::newRow("fin: 53 in a year of 52 weeks") << "fin" << QDate(2025, 6, 10) << "53"
                                                   << "52" << QDate(2025, 12, 31) << "Qua";
    QTest::newRow("ini: 60 becomes 53") << "ini" << QDate(2026, 6, 10) << "60"
                                        << "53" << QDate(2026, 12, 28) << "Seg";
    QTest::newRow("fin: 60 becomes 52") << "fin" << QDate(2027, 3, 3) << "60"
                                        << "52" << QDate(2027, 12, 31) << "Sex";
    QTest::newRow("ini: emptying the week empties the date")
        << "ini" << QDate(2026, 12, 7) << QString() << QString() << QDate() << QString();
    QTest::newRow("fin: emptying the week empties the date")
        << "fin" << QDate(2026, 12, 7) << QString() << QString() << QDate() << QString();
}

void tst_FormPeriod::weekToDate()
{
    QFETCH(QString, side);
    QFETCH(QDate, base);
    QFETCH(QString, typed);
    QFETCH(QString, week);
    QFETCH(QDate, date);
    QFETCH(QString, weekday);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    const Side s = ::side(form, side);
    const Side other = ::side(form, side == QLatin1String("ini") ? QStringLiteral("fin") : QStringLiteral("ini"));
    s.date->SetDate(base);
    const QDate otherDate = other.date->GetDate();
    const QString otherWeek = other.week->Text();

    if (typed.isEmpty())
        FormFixture::type(s.week, QString());
    else
        typeOver(s.week, typed);

    QCOMPARE(s.week->Text(), week);
    QCOMPARE(dateOrBlank(s.date), date);
    QCOMPARE(s.weekday->text(), weekday);
    QCOMPARE(QApplication::focusWidget(), s.week);
    // The other side is left alone.
    QCOMPARE(other.date->GetDate(), otherDate);
    QCOMPARE(other.week->Text(), otherWeek);

    // Leaving the week box changes nothing more.
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    QCOMPARE(s.week->Text(), week);
    QCOMPARE(dateOrBlank(s.date), date);
    QVERIFY(f.io.errors.isEmpty());
    f.close();
}

void tst_FormPeriod::weekInBlankDateUsesCurrentYear()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    control<TDateEditPlus>(form, "depDataIni")->SetDate(QDate());
    QVERIFY(control<TSpinEdit>(form, "speSemIni")->Text().isEmpty());
    typeOver(control<TSpinEdit>(form, "speSemIni"), QStringLiteral("10"));

    // Monday of ISO week 10 of this year (never a week folded into the year before).
    const QDate jan4(QDate::currentDate().year(), 1, 4);
    QCOMPARE(control<TDateEditPlus>(form, "depDataIni")->GetDate(), jan4.addDays(1 - jan4.dayOfWeek() + 63));
    QCOMPARE(control<TSpinEdit>(form, "speSemIni")->Text(), QStringLiteral("10"));
    QCOMPARE(control<QLineEdit>(form, "edtDataIni")->text(), QStringLiteral("Seg"));
    f.close();
}

void tst_FormPeriod::dateToWeek_data()
{
    QTest::addColumn<QString>("side");
    QTest::addColumn<QString>("typed"); // digits as typed into dd/mm/aaaa
    QTest::addColumn<QString>("week");  // after leaving the date box
    QTest::addColumn<QString>("weekday");

    QTest::newRow("ini: mid March") << "ini"
                                    << "15032026"
                                    << "11"
                                    << "Dom";
    QTest::newRow("fin: mid March") << "fin"
                                    << "15032026"
                                    << "11"
                                    << "Dom";
    // ISO puts 1 January 2027 in week 53 of 2026; the screen counts it in week 1 of 2027.
    QTest::newRow("fin: 1 January in week 1") << "fin"
                                              << "01012027"
                                              << "1"
                                              << "Sex";
    // ISO puts 31 December 2025 in week 1 of 2026; here it is the last week of 2025.
    QTest::newRow("ini: 31 December in the last week") << "ini"
                                                       << "31122025"
                                                       << "52"
                                                       << "Qua";
    QTest::newRow("ini: left blank, week stays blank") << "ini" << QString() << QString() << QString();
}

void tst_FormPeriod::dateToWeek()
{
    QFETCH(QString, side);
    QFETCH(QString, typed);
    QFETCH(QString, week);
    QFETCH(QString, weekday);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    const Side s = ::side(form, side);
    QVERIFY(!s.week->Text().isEmpty()); // module 4: both dates start on the processing date

    FormFixture::type(s.date, typed);
    // While the person types, the week box is blank.
    QVERIFY(s.week->Text().isEmpty());
    QCOMPARE(s.weekday->text(), weekday);

    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    QCOMPARE(s.week->Text(), week);
    QCOMPARE(s.weekday->text(), weekday);
    QVERIFY(f.io.errors.isEmpty());
    f.close();
}

void tst_FormPeriod::invalidDateOnLeaving()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    FormFixture::type(control<TDateEditPlus>(form, "depDataFin"), QStringLiteral("31022026"));
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    QCOMPARE(f.io.errors, QStringList{QStringLiteral("'31/02/2026' não é uma data válida.")});
    QCOMPARE(QApplication::focusWidget(), control<TDateEditPlus>(form, "depDataFin"));
    QVERIFY(control<TSpinEdit>(form, "speSemFin")->Text().isEmpty()); // not written after the refusal
    f.close();
}

// Said beside the dates when the person leaves one, without a box that stops them; the
// output still refuses the period.
void tst_FormPeriod::finalBeforeInitialIsSaidOnLeaving()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    auto *notice = control<QLabel>(form, "lblAvisoValidade");
    QVERIFY(!notice->isVisible());
    control<TDateEditPlus>(form, "depDataIni")->SetDate(QDate(2026, 12, 10));
    control<TDateEditPlus>(form, "depDataFin")->SetDate(QDate(2026, 12, 20));
    QVERIFY(!notice->isVisible());
    FormFixture::type(control<TDateEditPlus>(form, "depDataFin"), QStringLiteral("01122026"));
    QVERIFY(!notice->isVisible()); // not while typing
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    QVERIFY(notice->isVisible());
    QCOMPARE(QApplication::focusWidget(), control<TCheckBox>(form, "chkVariPreco"));
    QCOMPARE(f.io.errors, QStringList());
    // A week that moves the initial date before the final one puts it right.
    FormFixture::focus(control<TSpinEdit>(form, "speSemIni"));
    QTest::keyClick(control<TSpinEdit>(form, "speSemIni"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(control<TSpinEdit>(form, "speSemIni"),
                     QString::number(Consiste::NumeroSemana(QDate(2026, 11, 20))));
    QVERIFY(!notice->isVisible());
    f.close();
}

void tst_FormPeriod::steppingUpStaysInTheYear_data()
{
    QTest::addColumn<QDate>("base");
    QTest::addColumn<QString>("week");
    QTest::addColumn<QDate>("date");
    QTest::newRow("mid year steps on") << QDate(2026, 3, 2) << "11" << QDate(2026, 3, 9);
    QTest::newRow("53 is the last of 2026") << QDate(2026, 12, 28) << "53" << QDate(2026, 12, 28);
    QTest::newRow("52 is the last of 2025") << QDate(2025, 12, 22) << "52" << QDate(2025, 12, 22);
}

void tst_FormPeriod::steppingUpStaysInTheYear()
{
    QFETCH(QDate, base);
    QFETCH(QString, week);
    QFETCH(QDate, date);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    control<TDateEditPlus>(form, "depDataIni")->SetDate(base);
    FormFixture::focus(control<TSpinEdit>(form, "speSemIni"));
    QTest::keyClick(control<TSpinEdit>(form, "speSemIni"), Qt::Key_Up);
    QApplication::processEvents();
    QCOMPARE(control<TSpinEdit>(form, "speSemIni")->Text(), week);
    QCOMPARE(control<TDateEditPlus>(form, "depDataIni")->GetDate(), date);
    QVERIFY(f.io.errors.isEmpty());
    f.close();
}

void tst_FormPeriod::twoYears()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    control<TRadioButton>(form, "rbtListaComp")->click(); // a form that passes its field checks stops at the buyer list
    FormFixture::type(control<TDateEditPlus>(form, "depDataIni"), QStringLiteral("22122025"));
    FormFixture::type(control<TDateEditPlus>(form, "depDataFin"), QStringLiteral("05012026"));
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    QCOMPARE(control<TSpinEdit>(form, "speSemIni")->Text(), QStringLiteral("52"));
    QCOMPARE(control<TSpinEdit>(form, "speSemFin")->Text(), QStringLiteral("2"));

    // Each week box counts in the year of its own date.
    typeOver(control<TSpinEdit>(form, "speSemFin"), QStringLiteral("1"));
    QCOMPARE(control<TDateEditPlus>(form, "depDataFin")->GetDate(), QDate(2026, 1, 4));
    typeOver(control<TSpinEdit>(form, "speSemIni"), QStringLiteral("51"));
    QCOMPARE(control<TDateEditPlus>(form, "depDataIni")->GetDate(), QDate(2025, 12, 15));
    QVERIFY(f.io.errors.isEmpty());

    control<QToolButton>(form, "sbtPreview")->click();
    QCOMPARE(f.io.errors, QStringList{kCompDeve});
    f.close();
}

void tst_FormPeriod::periodCheck_data()
{
    QTest::addColumn<QDate>("initial");
    QTest::addColumn<QDate>("final");
    QTest::addColumn<QString>("message"); // empty: the period passes
    QTest::addColumn<QString>("focus");

    QTest::newRow("both blank: only the initial is told") << QDate() << QDate() << kIniDeve << "depDataIni";
    QTest::newRow("initial blank") << QDate() << QDate(2026, 3, 2) << kIniDeve << "depDataIni";
    QTest::newRow("final blank") << QDate(2026, 3, 2) << QDate() << kFinDeve << "depDataFin";
    QTest::newRow("final before initial") << QDate(2026, 3, 9) << QDate(2026, 3, 8) << kInvertida << "depDataIni";
    QTest::newRow("equal dates") << QDate(2026, 3, 9) << QDate(2026, 3, 9) << QString() << QString();
    // "02/12/2026" sorts before "10/01/2026" as text.
    QTest::newRow("compared as dates, not texts") << QDate(2026, 1, 10) << QDate(2026, 12, 2) << QString() << QString();
    QTest::newRow("across a change of year") << QDate(2025, 12, 22) << QDate(2026, 1, 5) << QString() << QString();
}

void tst_FormPeriod::periodCheck()
{
    QFETCH(QDate, initial);
    QFETCH(QDate, final);
    QFETCH(QString, message);
    QFETCH(QString, focus);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    control<TRadioButton>(form, "rbtListaComp")->click(); // a form that passes its field checks stops at the buyer list
    control<TDateEditPlus>(form, "depDataIni")->SetDate(initial);
    control<TDateEditPlus>(form, "depDataFin")->SetDate(final);
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));

    control<QToolButton>(form, "sbtPreview")->click();
    QCOMPARE(f.io.errors, QStringList{message.isEmpty() ? kCompDeve : message});
    QCOMPARE(QApplication::focusWidget()->objectName(), message.isEmpty() ? QStringLiteral("rbtListaComp") : focus);
    QCOMPARE(dateOrBlank(control<TDateEditPlus>(form, "depDataIni")), initial); // nothing is changed by the check
    QCOMPARE(dateOrBlank(control<TDateEditPlus>(form, "depDataFin")), final);
    f.close();
}

void tst_FormPeriod::periodFromWeeks_data()
{
    QTest::addColumn<QString>("initialWeek");
    QTest::addColumn<QString>("finalWeek");
    QTest::addColumn<QString>("message");
    QTest::newRow("same week on both sides") << "12"
                                             << "12" << QString();
    // Accepted while editing, refused at output.
    QTest::newRow("final week before initial") << "12"
                                               << "10" << kInvertida;
}

void tst_FormPeriod::periodFromWeeks()
{
    QFETCH(QString, initialWeek);
    QFETCH(QString, finalWeek);
    QFETCH(QString, message);

    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    control<TRadioButton>(form, "rbtListaComp")->click(); // a form that passes its field checks stops at the buyer list
    typeOver(control<TSpinEdit>(form, "speSemIni"), initialWeek);
    typeOver(control<TSpinEdit>(form, "speSemFin"), finalWeek);
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    QVERIFY(f.io.errors.isEmpty());
    QCOMPARE(control<TDateEditPlus>(form, "depDataIni")->GetDate().dayOfWeek(), 1); // Monday
    QCOMPARE(control<TDateEditPlus>(form, "depDataFin")->GetDate().dayOfWeek(), 7); // Sunday
    if (initialWeek == finalWeek)
        QCOMPARE(control<TDateEditPlus>(form, "depDataIni")
                     ->GetDate()
                     .daysTo(control<TDateEditPlus>(form, "depDataFin")->GetDate()),
                 6);

    control<QToolButton>(form, "sbtPrint")->click();
    QCOMPARE(f.io.errors, QStringList{message.isEmpty() ? kCompDeve : message});
    f.close();
}

QTEST_MAIN(tst_FormPeriod)
#include "tst_formperiod.moc"
