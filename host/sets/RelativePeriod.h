#pragma once

#include "suite_export.h"

#include <QDate>
#include <QJsonObject>
#include <QString>
#include <optional>

// The period a parameter set keeps: fixed dates, or a period that moves with the
// processing date ("semana atual", "próxima semana", "semana atual + N", "mês atual").
// A screen with a single date ("posição em") keeps it the same way, as one day: a fixed
// date, or one that moves ("hoje", "hoje + N dias", "primeiro dia do mês", "último dia do
// mês", "último dia do mês anterior"); its first and last day are that day.
// Weeks are the suite's (Consiste::NumeroSemana / DataSemana): within one calendar year,
// the first from 1 January, the last to 31 December, so counting weeks on from a year's
// last week goes to the first week of the next year.
class SUITE_EXPORT RelativePeriod
{
public:
    enum class Kind { Fixed, Week, Month, Date, Day, MonthStart, MonthEnd, PreviousMonthEnd };

    RelativePeriod() = default;
    static RelativePeriod fixed(const QDate &from, const QDate &to);
    // The week `offset` weeks after the one of the processing date (0: that week).
    static RelativePeriod week(int offset);
    static RelativePeriod currentMonth();
    // Single dates: a fixed one, the processing date `offset` days on, the first or last day
    // of its month, the last day of the month before.
    static RelativePeriod date(const QDate &date);
    static RelativePeriod day(int offset);
    static RelativePeriod monthStart();
    static RelativePeriod monthEnd();
    static RelativePeriod previousMonthEnd();

    Kind kind() const { return m_kind; }
    int offset() const { return m_offset; }
    QDate from() const { return m_from; }
    QDate to() const { return m_to; }
    // Whether it stands for a single date rather than a period.
    bool single() const;

    // The first and last day the period stands for when today is `today`.
    QDate resolvedFrom(const QDate &today) const;
    QDate resolvedTo(const QDate &today) const;

    // How a person reads it: "semana atual", "próxima semana", "semana atual + 2",
    // "semana atual - 1", "mês atual", "de 07/12/2026 a 13/12/2026"; "hoje", "hoje + 3 dias",
    // "primeiro dia do mês", "último dia do mês", "último dia do mês anterior", "em 07/12/2026".
    QString text() const;

    // The period a text names, as text() writes it ("semana atual + 2", "próxima semana",
    // "mês atual", "07/12/2026 a 13/12/2026"; accents and case optional). nullopt when it
    // names none.
    static std::optional<RelativePeriod> parse(const QString &text);

    // What dates from..to are on `today`: the current week, a week counted from it (up to a
    // year either way), the current month, or else fixed dates.
    static RelativePeriod infer(const QDate &from, const QDate &to, const QDate &today);
    // What a single date is on `today`: today or a few days from it (a month either way),
    // the first or last day of the month, the last of the month before, or else itself.
    static RelativePeriod inferDate(const QDate &date, const QDate &today);

    // Kept in a set's file as {"tipo": "semana", "semanas": N}, {"tipo": "mes"} or
    // {"tipo": "datas", "de": "2026-12-07", "ate": "2026-12-13"}; a single date as
    // {"tipo": "data", "em": "2026-12-07"}, {"tipo": "dia", "dias": N}, {"tipo": "inicio_mes"},
    // {"tipo": "fim_mes"} or {"tipo": "fim_mes_anterior"}. fromJson gives false and
    // says why in *why when the object is none of these.
    QJsonObject toJson() const;
    static bool fromJson(const QJsonObject &json, RelativePeriod *period, QString *why);

    bool operator==(const RelativePeriod &other) const;

private:
    RelativePeriod withKind(Kind kind) const;

    Kind m_kind = Kind::Fixed;
    int m_offset = 0;
    QDate m_from;
    QDate m_to;
};
