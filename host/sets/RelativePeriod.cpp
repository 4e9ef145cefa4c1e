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

// The day a single date stands for when today is `today`.
QDate singleDate(RelativePeriod::Kind kind, int offset, const QDate &fixed, const QDate &today)
{
    using Kind = RelativePeriod::Kind;
    switch (kind) {
    case Kind::Date: return fixed;
    case Kind::Day: return today.addDays(offset);
    case Kind::MonthStart: return QDate(today.year(), today.month(), 1);
    case Kind::MonthEnd: return QDate(today.year(), today.month(), today.daysInMonth());
    case Kind::PreviousMonthEnd: return QDate(today.year(), today.month(), 1).addDays(-1);
    default: return QDate();
    }
}

// The file's names of the single dates that carry nothing but their kind.
struct NamedKind
{
    RelativePeriod::Kind kind;
    const char *json;
    const char *text;
    const char *plain; // text without accents, as parse() compares it
};

const NamedKind namedKinds[] = {
    {RelativePeriod::Kind::MonthStart, "inicio_mes", "primeiro dia do mês", "primeiro dia do mes"},
    {RelativePeriod::Kind::MonthEnd, "fim_mes", "último dia do mês", "ultimo dia do mes"},
    {RelativePeriod::Kind::PreviousMonthEnd, "fim_mes_anterior", "último dia do mês anterior",
     "ultimo dia do mes anterior"},
};

// How far from today a date is still read as "hoje + N dias".
constexpr int kDaysNear = 31;

} // namespace

RelativePeriod RelativePeriod::date(const QDate &date)
{
    RelativePeriod p;
    p.m_kind = Kind::Date;
    p.m_from = date;
    p.m_to = date;
    return p;
}

RelativePeriod RelativePeriod::day(int offset)
{
    RelativePeriod p;
    p.m_kind = Kind::Day;
    p.m_offset = offset;
    return p;
}

RelativePeriod RelativePeriod::monthStart()
{
    RelativePeriod p;
    p.m_kind = Kind::MonthStart;
    return p;
}

RelativePeriod RelativePeriod::monthEnd()
{
    RelativePeriod p;
    p.m_kind = Kind::MonthEnd;
    return p;
}

RelativePeriod RelativePeriod::previousMonthEnd()
{
    RelativePeriod p;
    p.m_kind = Kind::PreviousMonthEnd;
    return p;
}

bool RelativePeriod::single() const
{
    return m_kind != Kind::Fixed && m_kind != Kind::Week && m_kind != Kind::Month;
}

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
    default: return singleDate(m_kind, m_offset, m_from, today);
    }
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
    default: return singleDate(m_kind, m_offset, m_from, today);
    }
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
    case Kind::Date: return QStringLiteral("em %1").arg(brDate(m_from));
    case Kind::Day:
        if (m_offset == 0)
            return QStringLiteral("hoje");
        return QStringLiteral("hoje %1 %2 %3")
            .arg(m_offset > 0 ? QLatin1Char('+') : QLatin1Char('-'))
            .arg(std::abs(m_offset))
            .arg(std::abs(m_offset) == 1 ? QStringLiteral("dia") : QStringLiteral("dias"));
    default: break;
    }
    for (const NamedKind &named : namedKinds)
        if (named.kind == m_kind)
            return QString::fromUtf8(named.text);
    return QString();
}

std::optional<RelativePeriod> RelativePeriod::parse(const QString &text)
{
    QString t = text.simplified().toLower();
    t.replace(QStringLiteral("ó"), QStringLiteral("o"))
        .replace(QStringLiteral("ê"), QStringLiteral("e"))
        .replace(QStringLiteral("ú"), QStringLiteral("u"))
        .replace(QStringLiteral("í"), QStringLiteral("i"));
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
    if (t == QLatin1String("hoje"))
        return day(0);
    for (const NamedKind &named : namedKinds)
        if (t == QLatin1String(named.plain))
            return RelativePeriod{}.withKind(named.kind);
    static const QRegularExpression days(QStringLiteral("^hoje ?([+-]) ?(\\d{1,3})(?: dias?)?$"));
    if (const auto m = days.match(t); m.hasMatch()) {
        const int n = m.captured(2).toInt();
        return day(m.captured(1) == QLatin1String("-") ? -n : n);
    }
    static const QRegularExpression single(QStringLiteral("^(?:em )?(\\d{2}/\\d{2}/\\d{4})$"));
    if (const auto m = single.match(t); m.hasMatch()) {
        const QDate at = QDate::fromString(m.captured(1), QStringLiteral("dd/MM/yyyy"));
        if (at.isValid())
            return date(at);
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

RelativePeriod RelativePeriod::inferDate(const QDate &date, const QDate &today)
{
    if (!date.isValid() || !today.isValid())
        return RelativePeriod::date(date);
    if (date == today)
        return day(0);
    for (const NamedKind &named : namedKinds)
        if (singleDate(named.kind, 0, QDate(), today) == date)
            return RelativePeriod{}.withKind(named.kind);
    const qint64 days = today.daysTo(date);
    if (std::abs(days) <= kDaysNear)
        return day(int(days));
    return RelativePeriod::date(date);
}

RelativePeriod RelativePeriod::withKind(Kind kind) const
{
    RelativePeriod p = *this;
    p.m_kind = kind;
    return p;
}

QJsonObject RelativePeriod::toJson() const
{
    switch (m_kind) {
    case Kind::Week: return {{QStringLiteral("tipo"), QStringLiteral("semana")}, {QStringLiteral("semanas"), m_offset}};
    case Kind::Month: return {{QStringLiteral("tipo"), QStringLiteral("mes")}};
    case Kind::Date: return {{QStringLiteral("tipo"), QStringLiteral("data")}, {QStringLiteral("em"), isoDate(m_from)}};
    case Kind::Day: return {{QStringLiteral("tipo"), QStringLiteral("dia")}, {QStringLiteral("dias"), m_offset}};
    case Kind::Fixed: break;
    default:
        for (const NamedKind &named : namedKinds)
            if (named.kind == m_kind)
                return {{QStringLiteral("tipo"), QString::fromLatin1(named.json)}};
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
    if (kind == QLatin1String("dia")) {
        const QJsonValue days = json.value(QStringLiteral("dias"));
        if (!days.isDouble() || days.toDouble() != double(days.toInt()) || std::abs(days.toInt()) > 3660) {
            *why = QStringLiteral("o número de dias da data não é um número inteiro válido");
            return false;
        }
        *period = day(days.toInt());
        return true;
    }
    if (kind == QLatin1String("data")) {
        const QString at = json.value(QStringLiteral("em")).toString();
        const QDate d = QDate::fromString(at, Qt::ISODate);
        if (!at.isEmpty() && !d.isValid()) {
            *why = QStringLiteral("a data não está no formato aaaa-mm-dd");
            return false;
        }
        *period = date(d);
        return true;
    }
    for (const NamedKind &named : namedKinds)
        if (kind == QLatin1String(named.json)) {
            *period = RelativePeriod{}.withKind(named.kind);
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
