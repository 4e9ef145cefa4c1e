// Periods that move with the processing date: the suite's weeks across a year end, in a
// 53-week year, and the texts and file form a set keeps them in.
#include "sets/RelativePeriod.h"

#include <QTest>

Q_DECLARE_METATYPE(RelativePeriod)

namespace {

QDate d(const char *iso)
{
    return QDate::fromString(QLatin1String(iso), Qt::ISODate);
}

} // namespace

class tst_RelativePeriod : public QObject
{
    Q_OBJECT
private slots:
    void resolvesAgainstToday_data();
    void resolvesAgainstToday();
    void infersWhatDatesAre_data();
    void infersWhatDatesAre();
    void infersWhatADateIs_data();
    void infersWhatADateIs();
    void parsesWhatItWrites_data();
    void parsesWhatItWrites();
    void fileFormRoundTrip_data();
    void fileFormRoundTrip();
    void fileFormRefusals_data();
    void fileFormRefusals();
};

void tst_RelativePeriod::resolvesAgainstToday_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<RelativePeriod>("period");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");

    QTest::newRow("current week") << d("2026-12-09") << RelativePeriod::week(0) << d("2026-12-07") << d("2026-12-13");
    QTest::newRow("next week") << d("2026-12-09") << RelativePeriod::week(1) << d("2026-12-14") << d("2026-12-20");
    // 2026 has 53 weeks; its last one stops at 31 December.
    QTest::newRow("week 53 ends the year")
        << d("2026-12-30") << RelativePeriod::week(0) << d("2026-12-28") << d("2026-12-31");
    // From week 53 the next is week 1 of 2027, which holds 1 to 3 January (ISO's week 53
    // of 2026) and the first ISO week.
    QTest::newRow("next week across the year end")
        << d("2026-12-30") << RelativePeriod::week(1) << d("2027-01-01") << d("2027-01-10");
    QTest::newRow("1 January is week 1 though ISO says 53")
        << d("2027-01-02") << RelativePeriod::week(0) << d("2027-01-01") << d("2027-01-10");
    QTest::newRow("week after the long week 1")
        << d("2027-01-02") << RelativePeriod::week(1) << d("2027-01-11") << d("2027-01-17");
    QTest::newRow("plus 3 counts weeks 52, 53 and 1")
        << d("2026-12-16") << RelativePeriod::week(3) << d("2027-01-01") << d("2027-01-10");
    QTest::newRow("a 52-week year goes from 52 to 1")
        << d("2027-12-29") << RelativePeriod::week(1) << d("2028-01-01") << d("2028-01-09");
    // 52 weeks on in a 53-week year is not yet the same week number of the next year.
    QTest::newRow("52 weeks on in a 53-week year")
        << d("2026-01-02") << RelativePeriod::week(52) << d("2026-12-28") << d("2026-12-31");
    QTest::newRow("minus 1 from week 1 is last year's week 53")
        << d("2027-01-05") << RelativePeriod::week(-1) << d("2026-12-28") << d("2026-12-31");
    QTest::newRow("month") << d("2027-02-10") << RelativePeriod::currentMonth() << d("2027-02-01") << d("2027-02-28");
    QTest::newRow("month of a leap February")
        << d("2028-02-10") << RelativePeriod::currentMonth() << d("2028-02-01") << d("2028-02-29");
    QTest::newRow("fixed dates stay") << d("2030-06-01") << RelativePeriod::fixed(d("2026-12-07"), d("2026-12-13"))
                                      << d("2026-12-07") << d("2026-12-13");
    // Single dates: first and last day are the one day.
    QTest::newRow("today") << d("2026-12-09") << RelativePeriod::day(0) << d("2026-12-09") << d("2026-12-09");
    QTest::newRow("days back across the year")
        << d("2027-01-02") << RelativePeriod::day(-3) << d("2026-12-30") << d("2026-12-30");
    QTest::newRow("first of the month") << d("2027-02-10") << RelativePeriod::monthStart() << d("2027-02-01")
                                        << d("2027-02-01");
    QTest::newRow("last of a leap February")
        << d("2028-02-10") << RelativePeriod::monthEnd() << d("2028-02-29") << d("2028-02-29");
    QTest::newRow("last of the month before, in January")
        << d("2027-01-15") << RelativePeriod::previousMonthEnd() << d("2026-12-31") << d("2026-12-31");
    QTest::newRow("fixed date stays") << d("2030-06-01") << RelativePeriod::date(d("2026-12-07")) << d("2026-12-07")
                                      << d("2026-12-07");
}

void tst_RelativePeriod::resolvesAgainstToday()
{
    QFETCH(QDate, today);
    QFETCH(RelativePeriod, period);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QCOMPARE(period.resolvedFrom(today), from);
    QCOMPARE(period.resolvedTo(today), to);
}

void tst_RelativePeriod::infersWhatDatesAre_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("text");

    QTest::newRow("this week") << d("2026-12-07") << d("2026-12-13") << d("2026-12-09")
                               << QStringLiteral("semana atual");
    QTest::newRow("next week across the year end")
        << d("2027-01-01") << d("2027-01-10") << d("2026-12-30") << QStringLiteral("próxima semana");
    QTest::newRow("two weeks on") << d("2026-12-21") << d("2026-12-27") << d("2026-12-09")
                                  << QStringLiteral("semana atual + 2");
    QTest::newRow("last week") << d("2026-11-30") << d("2026-12-06") << d("2026-12-09")
                               << QStringLiteral("semana atual - 1");
    QTest::newRow("month") << d("2026-12-01") << d("2026-12-31") << d("2026-12-09") << QStringLiteral("mês atual");
    QTest::newRow("three weeks are dates")
        << d("2026-12-07") << d("2026-12-27") << d("2026-12-09") << QStringLiteral("de 07/12/2026 a 27/12/2026");
    QTest::newRow("part of a week is dates")
        << d("2026-12-07") << d("2026-12-12") << d("2026-12-09") << QStringLiteral("de 07/12/2026 a 12/12/2026");
    QTest::newRow("blank dates") << QDate() << QDate() << d("2026-12-09")
                                 << QStringLiteral("de (em branco) a (em branco)");
}

void tst_RelativePeriod::infersWhatDatesAre()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QDate, today);
    QFETCH(QString, text);
    const RelativePeriod p = RelativePeriod::infer(from, to, today);
    QCOMPARE(p.text(), text);
    // Whatever it is called, it stands for the same dates today.
    QCOMPARE(p.resolvedFrom(today), from);
    QCOMPARE(p.resolvedTo(today), to);
}

void tst_RelativePeriod::infersWhatADateIs_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("text");

    QTest::newRow("today") << d("2026-12-09") << d("2026-12-09") << QStringLiteral("hoje");
    // Today wins over the first of the month when they are the same day.
    QTest::newRow("today on the 1st") << d("2026-12-01") << d("2026-12-01") << QStringLiteral("hoje");
    QTest::newRow("first of the month") << d("2026-12-01") << d("2026-12-09") << QStringLiteral("primeiro dia do mês");
    QTest::newRow("last of the month") << d("2026-12-31") << d("2026-12-09") << QStringLiteral("último dia do mês");
    QTest::newRow("last of the month before")
        << d("2026-11-30") << d("2026-12-09") << QStringLiteral("último dia do mês anterior");
    QTest::newRow("yesterday") << d("2026-12-08") << d("2026-12-09") << QStringLiteral("hoje - 1 dia");
    QTest::newRow("a week on") << d("2026-12-16") << d("2026-12-09") << QStringLiteral("hoje + 7 dias");
    QTest::newRow("far is a fixed date") << d("2026-06-05") << d("2026-12-09") << QStringLiteral("em 05/06/2026");
    QTest::newRow("blank") << QDate() << d("2026-12-09") << QStringLiteral("em (em branco)");
}

void tst_RelativePeriod::infersWhatADateIs()
{
    QFETCH(QDate, date);
    QFETCH(QDate, today);
    QFETCH(QString, text);
    const RelativePeriod p = RelativePeriod::inferDate(date, today);
    QCOMPARE(p.text(), text);
    QVERIFY(p.single());
    QCOMPARE(p.resolvedFrom(today), date);
    QCOMPARE(p.resolvedTo(today), date);
}

void tst_RelativePeriod::parsesWhatItWrites_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("written");

    QTest::newRow("current week") << QStringLiteral("semana atual") << true << QStringLiteral("semana atual");
    QTest::newRow("without accents or case")
        << QStringLiteral("Proxima Semana") << true << QStringLiteral("próxima semana");
    QTest::newRow("plus, no blanks") << QStringLiteral("semana atual+3") << true << QStringLiteral("semana atual + 3");
    QTest::newRow("minus") << QStringLiteral("semana atual - 1") << true << QStringLiteral("semana atual - 1");
    QTest::newRow("month") << QStringLiteral("mes atual") << true << QStringLiteral("mês atual");
    QTest::newRow("dates") << QStringLiteral("07/12/2026 a 13/12/2026") << true
                           << QStringLiteral("de 07/12/2026 a 13/12/2026");
    QTest::newRow("today") << QStringLiteral("Hoje") << true << QStringLiteral("hoje");
    QTest::newRow("days on, no blanks") << QStringLiteral("hoje+3") << true << QStringLiteral("hoje + 3 dias");
    QTest::newRow("one day back") << QStringLiteral("hoje - 1 dia") << true << QStringLiteral("hoje - 1 dia");
    QTest::newRow("month end before, no accents")
        << QStringLiteral("ultimo dia do mes anterior") << true << QStringLiteral("último dia do mês anterior");
    QTest::newRow("first of the month") << QStringLiteral("primeiro dia do mês") << true
                                        << QStringLiteral("primeiro dia do mês");
    QTest::newRow("one date") << QStringLiteral("07/12/2026") << true << QStringLiteral("em 07/12/2026");
    QTest::newRow("impossible single date") << QStringLiteral("em 31/02/2026") << false << QString();
    QTest::newRow("impossible date") << QStringLiteral("31/02/2026 a 13/12/2026") << false << QString();
    QTest::newRow("unknown words") << QStringLiteral("amanhã") << false << QString();
    QTest::newRow("plus without a number") << QStringLiteral("semana atual +") << false << QString();
}

void tst_RelativePeriod::parsesWhatItWrites()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, written);
    const std::optional<RelativePeriod> p = RelativePeriod::parse(text);
    QCOMPARE(p.has_value(), valid);
    if (!p)
        return;
    QCOMPARE(p->text(), written);
    QVERIFY(RelativePeriod::parse(p->text()) == *p);
}

void tst_RelativePeriod::fileFormRoundTrip_data()
{
    QTest::addColumn<RelativePeriod>("period");
    QTest::newRow("week") << RelativePeriod::week(1);
    QTest::newRow("week back") << RelativePeriod::week(-2);
    QTest::newRow("month") << RelativePeriod::currentMonth();
    QTest::newRow("dates") << RelativePeriod::fixed(d("2026-12-07"), d("2026-12-13"));
    QTest::newRow("blank dates") << RelativePeriod::fixed(QDate(), QDate());
    QTest::newRow("days") << RelativePeriod::day(-2);
    QTest::newRow("first of the month") << RelativePeriod::monthStart();
    QTest::newRow("last of the month") << RelativePeriod::monthEnd();
    QTest::newRow("last of the month before") << RelativePeriod::previousMonthEnd();
    QTest::newRow("one date") << RelativePeriod::date(d("2026-12-07"));
}

void tst_RelativePeriod::fileFormRoundTrip()
{
    QFETCH(RelativePeriod, period);
    RelativePeriod back;
    QString why;
    QVERIFY2(RelativePeriod::fromJson(period.toJson(), &back, &why), qPrintable(why));
    QVERIFY(back == period);
}

void tst_RelativePeriod::fileFormRefusals_data()
{
    QTest::addColumn<QJsonObject>("json");
    QTest::addColumn<QString>("why");
    QTest::newRow("unknown kind") << QJsonObject{{QStringLiteral("tipo"), QStringLiteral("trimestre")}}
                                  << QStringLiteral("'trimestre' não é conhecido");
    QTest::newRow("no kind") << QJsonObject{} << QStringLiteral("não diz o seu tipo");
    QTest::newRow("weeks as text") << QJsonObject{{QStringLiteral("tipo"), QStringLiteral("semana")},
                                                  {QStringLiteral("semanas"), QStringLiteral("1")}}
                                   << QStringLiteral("número de semanas");
    QTest::newRow("half a week") << QJsonObject{{QStringLiteral("tipo"), QStringLiteral("semana")},
                                                {QStringLiteral("semanas"), 1.5}}
                                 << QStringLiteral("número de semanas");
    QTest::newRow("a date that is not one") << QJsonObject{{QStringLiteral("tipo"), QStringLiteral("datas")},
                                                           {QStringLiteral("de"), QStringLiteral("2026-13-01")},
                                                           {QStringLiteral("ate"), QStringLiteral("2026-12-13")}}
                                            << QStringLiteral("aaaa-mm-dd");
    QTest::newRow("days as text") << QJsonObject{{QStringLiteral("tipo"), QStringLiteral("dia")},
                                                 {QStringLiteral("dias"), QStringLiteral("2")}}
                                  << QStringLiteral("número de dias");
    QTest::newRow("one date that is not one") << QJsonObject{{QStringLiteral("tipo"), QStringLiteral("data")},
                                                             {QStringLiteral("em"), QStringLiteral("07/12/2026")}}
                                              << QStringLiteral("aaaa-mm-dd");
}

void tst_RelativePeriod::fileFormRefusals()
{
    QFETCH(QJsonObject, json);
    QFETCH(QString, why);
    RelativePeriod p = RelativePeriod::week(7);
    QString reason;
    QVERIFY(!RelativePeriod::fromJson(json, &p, &reason));
    QVERIFY2(reason.contains(why), qPrintable(reason));
    QVERIFY(p == RelativePeriod::week(7)); // left as it was
}

QTEST_MAIN(tst_RelativePeriod)
#include "tst_relativeperiod.moc"
