#include "sets/RelativePeriod.h"

#include "validation/Consiste.h"

#include <QRegularExpression>
#include <cstdlib>

namespace {

struct YearWeek
{
    int year;
    int week;
};

YearWeek weekOf(const QDate &date)
{
    return {date.year(), Consiste::NumeroSemana(date)};
}

YearWeek addWeeks(YearWeek at, int weeks)
{
    int week = at.week + weeks;
    int year = at.year;
    while (week > Consiste::SemanasDoAno(year))
        week -= Consiste::SemanasDoAno(year++);
    while (week < 1)
        week += Consiste::SemanasDoAno(--year);
    return {year, week};
}

// Weeks from a to b (negative when b comes first).
int weeksBetween(YearWeek a, YearWeek b)
{
    int weeks = b.week - a.week;
    for (int y = a.year; y < b.year; ++y)
        weeks += Consiste::SemanasDoAno(y);
    for (int y = b.year; y < a.year; ++y)
        weeks -= Consiste::SemanasDoAno(y);
    return weeks;
}

QString brDate(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QStringLiteral("(em branco)");
}

QString isoDate(const QDate &date)
{
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

} // namespace

RelativePeriod RelativePeriod::fixed(const QDate &from, const QDate &to)
{
    RelativePeriod p;
    p.m_from = from;
    p.m_to = to;
    return p;
}

RelativePeriod RelativePeriod::week(int offset)
{
    RelativePeriod p;
    p.m_kind = Kind::Week;
    p.m_offset = offset;
    return p;
}

RelativePeriod RelativePeriod::currentMonth()
{
    RelativePeriod p;
    p.m_kind = Kind::Month;
    return p;
}

QDate RelativePeriod::resolvedFrom(const QDate &today) const
{
    switch (m_kind) {
    case Kind::Fixed: return m_from;
    case Kind::Week: {
        const YearWeek w = addWeeks(weekOf(today), m_offset);
        return Consiste::DataSemana(w.week, QLatin1Char('I'), w.year);
    }
    case Kind::Month: return QDate(today.year(), today.month(), 1);
    }
    return QDate();
}

QDate RelativePeriod::resolvedTo(const QDate &today) const
{
    switch (m_kind) {
    case Kind::Fixed: return m_to;
    case Kind::Week: {
        const YearWeek w = addWeeks(weekOf(today), m_offset);
        return Consiste::DataSemana(w.week, QLatin1Char('F'), w.year);
    }
    case Kind::Month: return QDate(today.year(), today.month(), today.daysInMonth());
    }
    return QDate();
}

QString RelativePeriod::text() const
{
    switch (m_kind) {
    case Kind::Fixed: return QStringLiteral("de %1 a %2").arg(brDate(m_from), brDate(m_to));
    case Kind::Week:
        if (m_offset == 0)
            return QStringLiteral("semana atual");
        if (m_offset == 1)
            return QStringLiteral("próxima semana");
        return QStringLiteral("semana atual %1 %2")
            .arg(m_offset > 0 ? QLatin1Char('+') : QLatin1Char('-'))
            .arg(std::abs(m_offset));
    case Kind::Month: return QStringLiteral("mês atual");
    }
    return QString();
}

std::optional<RelativePeriod> RelativePeriod::parse(const QString &text)
{
    QString t = text.simplified().toLower();
    t.replace(QStringLiteral("ó"), QStringLiteral("o")).replace(QStringLiteral("ê"), QStringLiteral("e"));
    if (t == QLatin1String("semana atual"))
        return week(0);
    if (t == QLatin1String("proxima semana"))
        return week(1);
    if (t == QLatin1String("mes atual"))
        return currentMonth();
    static const QRegularExpression weeks(QStringLiteral("^semana atual ?([+-]) ?(\\d{1,3})$"));
    if (const auto m = weeks.match(t); m.hasMatch()) {
        const int n = m.captured(2).toInt();
        return week(m.captured(1) == QLatin1String("-") ? -n : n);
    }
    static const QRegularExpression dates(QStringLiteral("^(?:de )?(\\d{2}/\\d{2}/\\d{4}) a (\\d{2}/\\d{2}/\\d{4})$"));
    if (const auto m = dates.match(t); m.hasMatch()) {
        const QDate from = QDate::fromString(m.captured(1), QStringLiteral("dd/MM/yyyy"));
        const QDate to = QDate::fromString(m.captured(2), QStringLiteral("dd/MM/yyyy"));
        if (from.isValid() && to.isValid())
            return fixed(from, to);
    }
    return std::nullopt;
}

RelativePeriod RelativePeriod::infer(const QDate &from, const QDate &to, const QDate &today)
{
    if (!from.isValid() || !to.isValid() || !today.isValid())
        return fixed(from, to);
    const YearWeek at = weekOf(from);
    if (Consiste::DataSemana(at.week, QLatin1Char('I'), at.year) == from
        && Consiste::DataSemana(at.week, QLatin1Char('F'), at.year) == to) {
        const int offset = weeksBetween(weekOf(today), at);
        if (std::abs(offset) <= 53)
            return week(offset);
    }
    if (from == QDate(today.year(), today.month(), 1) && to == QDate(today.year(), today.month(), today.daysInMonth()))
        return currentMonth();
    return fixed(from, to);
}

QJsonObject RelativePeriod::toJson() const
{
    switch (m_kind) {
    case Kind::Week: return {{QStringLiteral("tipo"), QStringLiteral("semana")}, {QStringLiteral("semanas"), m_offset}};
    case Kind::Month: return {{QStringLiteral("tipo"), QStringLiteral("mes")}};
    case Kind::Fixed: break;
    }
    return {{QStringLiteral("tipo"), QStringLiteral("datas")},
            {QStringLiteral("de"), isoDate(m_from)},
            {QStringLiteral("ate"), isoDate(m_to)}};
}

bool RelativePeriod::fromJson(const QJsonObject &json, RelativePeriod *period, QString *why)
{
    const QString kind = json.value(QStringLiteral("tipo")).toString();
    if (kind == QLatin1String("semana")) {
        const QJsonValue weeks = json.value(QStringLiteral("semanas"));
        if (!weeks.isDouble() || weeks.toDouble() != double(weeks.toInt()) || std::abs(weeks.toInt()) > 520) {
            *why = QStringLiteral("o número de semanas do período não é um número inteiro válido");
            return false;
        }
        *period = week(weeks.toInt());
        return true;
    }
    if (kind == QLatin1String("mes")) {
        *period = currentMonth();
        return true;
    }
    if (kind == QLatin1String("datas")) {
        const QString from = json.value(QStringLiteral("de")).toString();
        const QString to = json.value(QStringLiteral("ate")).toString();
        const QDate f = QDate::fromString(from, Qt::ISODate);
        const QDate t = QDate::fromString(to, Qt::ISODate);
        if ((!from.isEmpty() && !f.isValid()) || (!to.isEmpty() && !t.isValid())) {
            *why = QStringLiteral("as datas do período não estão no formato aaaa-mm-dd");
            return false;
        }
        *period = fixed(f, t);
        return true;
    }
    *why = kind.isEmpty() ? QStringLiteral("o período não diz o seu tipo")
                          : QStringLiteral("o tipo de período '%1' não é conhecido").arg(kind);
    return false;
}

bool RelativePeriod::operator==(const RelativePeriod &other) const
{
    return m_kind == other.m_kind && m_offset == other.m_offset && m_from == other.m_from && m_to == other.m_to;
}
