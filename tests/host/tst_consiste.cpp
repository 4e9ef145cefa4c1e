// The suite's validation and calendar routines, the code page and the code normaliser.
#include "validation/Consiste.h"
#include "text/Cp1252.h"
#include "errors/EAbort.h"
#include "text/ListString.h"
#include "ScriptedInteraction.h"
#include "validation/Tabvalid.h"

#include <QTest>

class tst_Consiste : public QObject
{
    Q_OBJECT
private slots:
    void weekRuleHoldsForEveryWeekOf1900To2100();
    void weekRuleFoldsNeighbouringYearDays_data();
    void weekRuleFoldsNeighbouringYearDays();
    void weekOutOfRangeIsClamped();
    void twoDigitYearWindow_data();
    void twoDigitYearWindow();
    void ajusta_data();
    void ajusta();
    void mensErroShowsAndAborts();
    void nomeSemana();
    void byteOrder_data();
    void byteOrder();
    void listStringCarriesAnyKey();
    void normaliser_data();
    void normaliser();
};

void tst_Consiste::weekRuleHoldsForEveryWeekOf1900To2100()
{
    for (int year = 1900; year <= 2100; ++year) {
        const int last = Consiste::SemanasDoAno(year);
        QVERIFY(last == 52 || last == 53);
        // 31 December carries the year's last week, as ISO counts the year's weeks.
        QCOMPARE(Consiste::NumeroSemana(QDate(year, 12, 31)), last);
        QCOMPARE(Consiste::NumeroSemana(QDate(year, 1, 1)), 1);
        for (int week = 1; week <= last; ++week) {
            const QDate first = Consiste::DataSemana(week, QLatin1Char('I'), year);
            const QDate lastDay = Consiste::DataSemana(week, QLatin1Char('F'), year);
            QCOMPARE(Consiste::NumeroSemana(first), week);
            QCOMPARE(Consiste::NumeroSemana(lastDay), week);
            QCOMPARE(first.year(), year);
            QCOMPARE(lastDay.year(), year);
            QVERIFY(first <= lastDay);
            const QDate before = first.addDays(-1), after = lastDay.addDays(1);
            QVERIFY(before.year() < year || Consiste::NumeroSemana(before) == week - 1);
            QVERIFY(after.year() > year || Consiste::NumeroSemana(after) == week + 1);
        }
    }
}

void tst_Consiste::weekRuleFoldsNeighbouringYearDays_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("week");
    // ISO puts 1-3 Jan 2021 in week 53 of 2020: here they open 2021.
    QTest::newRow("2021-01-01 Friday") << QDate(2021, 1, 1) << 1;
    QTest::newRow("2021-01-03 Sunday") << QDate(2021, 1, 3) << 1;
    QTest::newRow("2021-01-04 Monday") << QDate(2021, 1, 4) << 1;
    QTest::newRow("2021-01-11") << QDate(2021, 1, 11) << 2;
    // ISO puts 30-31 Dec 2024 in week 1 of 2025: here they close 2024 as week 52.
    QTest::newRow("2024-12-30") << QDate(2024, 12, 30) << 52;
    QTest::newRow("2026-12-31 long year") << QDate(2026, 12, 31) << 53;
    QTest::newRow("2026-12-07") << QDate(2026, 12, 7) << 50;
}

void tst_Consiste::weekRuleFoldsNeighbouringYearDays()
{
    QFETCH(QDate, date);
    QFETCH(int, week);
    QCOMPARE(Consiste::NumeroSemana(date), week);
}

void tst_Consiste::weekOutOfRangeIsClamped()
{
    QCOMPARE(Consiste::DataSemana(0, QLatin1Char('I'), 2025), QDate(2025, 1, 1));
    QCOMPARE(Consiste::DataSemana(-7, QLatin1Char('F'), 2025), Consiste::DataSemana(1, QLatin1Char('F'), 2025));
    QCOMPARE(Consiste::DataSemana(53, QLatin1Char('F'), 2025), QDate(2025, 12, 31));
    QCOMPARE(Consiste::DataSemana(99, QLatin1Char('I'), 2026), Consiste::DataSemana(53, QLatin1Char('I'), 2026));
    QCOMPARE(Consiste::NumeroSemana(QDate()), 0);
}

void tst_Consiste::ajusta_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("short") << "1"
                           << "0001";
    QTest::newRow("blanks around") << " 12 "
                                   << "0012";
    QTest::newRow("full") << "0007"
                          << "0007";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blank") << "   "
                           << "";
    QTest::newRow("letters") << "AB"
                             << "00AB";
}

void tst_Consiste::ajusta()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(Consiste::Ajusta(input, 4), expected);
    QCOMPARE(Consiste::EmptyString(Consiste::Ajusta(input, 4)), expected.isEmpty());
}

void tst_Consiste::mensErroShowsAndAborts()
{
    ScriptedInteraction io;
    QVERIFY_THROWS_EXCEPTION(EAbort, Consiste::MensErro(QStringLiteral("Filial deve ser informada."), true));
    QCOMPARE(io.errors, QStringList{QStringLiteral("Filial deve ser informada.")});
}

void tst_Consiste::nomeSemana()
{
    QCOMPARE(Consiste::NomeSemana(QDate(2026, 12, 7)), QStringLiteral("Segunda"));
    QCOMPARE(Consiste::NomeSemana(QDate(2026, 12, 6)), QStringLiteral("Domingo"));
    QCOMPARE(Consiste::NomeSemana(QDate(2026, 12, 12)).left(3), QStringLiteral("Sáb"));
    QCOMPARE(Consiste::NomeSemana(QDate()), QString());
    QCOMPARE(Consiste::Replicate(QStringLiteral("Z"), 3), QStringLiteral("ZZZ"));
    QCOMPARE(Consiste::Replicate(QStringLiteral("Z"), -2), QString());
}

void tst_Consiste::byteOrder_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("equal") << "A1"
                           << "A1" << 0;
    QTest::newRow("prefix below longer") << "A"
                                         << "AB" << -1;
    QTest::newRow("lower case above upper") << "a"
                                            << "Z" << 1;
    QTest::newRow("lower case above digits") << "a"
                                             << "9" << 1;
    QTest::newRow("B above A") << "B"
                               << "A" << 1;
    // Accented letters sit above ASCII in the code page, not beside their base letter.
    QTest::newRow("accent above z") << "É"
                                    << "z" << 1;
}

void tst_Consiste::byteOrder()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);
    const int c = Cp1252::compareBytes(a, b);
    QCOMPARE((c > 0) - (c < 0), sign);
    QCOMPARE(Cp1252::toUnicode(Cp1252::fromUnicode(a)), a);
}

void tst_Consiste::listStringCarriesAnyKey()
{
    const QStringList keys = {QStringLiteral("000123"), QStringLiteral("O'Brien, Filhos"),
                              QStringLiteral("'; DROP TABLE FORNECEDOR; --"), QStringLiteral("Açúcar \"União\"")};
    const QString list = ListString::encode(keys);
    QVERIFY(list != QLatin1String("T"));
    QVERIFY(!list.isEmpty());
    QCOMPARE(ListString::decode(list), keys);
    QCOMPARE(ListString::decode(QStringLiteral("T")), QStringList{QStringLiteral("T")});
    QCOMPARE(ListString::decode(QString()), QStringList());
}

void tst_Consiste::twoDigitYearWindow_data()
{
    QTest::addColumn<int>("typed");
    QTest::addColumn<int>("reference");
    QTest::addColumn<int>("year");
    // The window runs from 50 years before the reference year to 49 after it.
    QTest::newRow("next year") << 27 << 2026 << 2027;
    QTest::newRow("first of the window") << 76 << 2026 << 1976;
    QTest::newRow("last of the window") << 75 << 2026 << 2075;
    QTest::newRow("zero") << 0 << 2026 << 2000;
    QTest::newRow("99") << 99 << 2026 << 1999;
    QTest::newRow("across a century") << 10 << 2061 << 2110;
    QTest::newRow("a full year stays") << 2027 << 2026 << 2027;
    QTest::newRow("three digits stay") << 202 << 2026 << 202;
}

void tst_Consiste::twoDigitYearWindow()
{
    QFETCH(int, typed);
    QFETCH(int, reference);
    QFETCH(int, year);
    QCOMPARE(Consiste::AnoCompleto(typed, reference), year);
}

void tst_Consiste::normaliser_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("normalised");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("digits") << "99.999.9999;0; "
                            << "123456789"
                            << "123456789" << true;
    QTest::newRow("typed with literals") << "99.999.9999;0; "
                                         << "12.345.6789"
                                         << "123456789" << true;
    QTest::newRow("short is fine for optional digits") << "99.999.9999;0; "
                                                       << "12"
                                                       << "12" << true;
    QTest::newRow("letter refused") << "99.999.9999;0; "
                                    << "12A"
                                    << "" << false;
    QTest::newRow("too long") << "99.999.9999;0; "
                              << "1234567890"
                              << "" << false;
    QTest::newRow("upper case forced") << ">aaaa;0; "
                                       << "ab1"
                                       << "AB1" << true;
    QTest::newRow("required digit missing") << "000;0; "
                                            << "12"
                                            << "" << false;
    QTest::newRow("no picture takes anything") << ""
                                               << "x y"
                                               << "x y" << true;
    // "<>" switches case forcing off, as the masked edit reads it.
    QTest::newRow("case kept by <>") << "<>aaa;0; "
                                     << "abC"
                                     << "abC" << true;
}

void tst_Consiste::normaliser()
{
    QFETCH(QString, mask);
    QFETCH(QString, code);
    QFETCH(QString, normalised);
    QFETCH(bool, accepted);
    QString c = code;
    const QString error = Tabvalid::normalise(mask, c);
    QCOMPARE(error.isEmpty(), accepted);
    if (accepted)
        QCOMPARE(c, normalised);
    else
        QCOMPARE(c, code);
}

QTEST_MAIN(tst_Consiste)
#include "tst_consiste.moc"
