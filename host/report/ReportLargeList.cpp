#include "report/ReportLargeList.h"

#include <QJsonArray>
#include <QStringList>

namespace {

// As the main query: an array of lines so the file reads well; a plain string is accepted.
QString textOf(const QJsonValue &value)
{
    if (!value.isArray())
        return value.toString();
    QStringList lines;
    for (const QJsonValue &line : value.toArray())
        lines << line.toString();
    return lines.join(QLatin1Char('\n'));
}

struct Key
{
    const char *suffix;
    QString ReportLargeList::Text::*member;
};

constexpr Key keys[] = {{"", &ReportLargeList::Text::main},         {"_sqlite", &ReportLargeList::Text::sqlite},
                        {"_pg", &ReportLargeList::Text::pg},        {"_ib", &ReportLargeList::Text::ib},
                        {"_oracle", &ReportLargeList::Text::oracle}, {"_mssql", &ReportLargeList::Text::mssql}};

} // namespace

QString ReportLargeList::Text::forDialect(SqlDialect dialect) const
{
    return textForDialect(dialect, main, sqlite, pg, ib);
}

bool ReportLargeList::Text::isEmpty() const
{
    for (const Key &k : keys)
        if (!(this->*k.member).trimmed().isEmpty())
            return false;
    return true;
}

ReportLargeList::Text ReportLargeList::Text::fromJson(const QJsonObject &o, const QString &prefix)
{
    Text t;
    for (const Key &k : keys)
        t.*k.member = textOf(o.value(prefix + QLatin1String(k.suffix)));
    return t;
}

void ReportLargeList::Text::toJson(QJsonObject &o, const QString &prefix) const
{
    for (const Key &k : keys) {
        const QString &text = this->*k.member;
        if (!text.trimmed().isEmpty())
            o.insert(prefix + QLatin1String(k.suffix), QJsonArray::fromStringList(text.split(QLatin1Char('\n'))));
    }
}

namespace {

// The column names of `wanted` (one a line) for the dialect, none unless `other` names some
// too: the text's leading order and the run's are given together or not at all.
QStringList columnsOf(const ReportLargeList::Text &wanted, const ReportLargeList::Text &other, SqlDialect dialect)
{
    const auto names = [dialect](const ReportLargeList::Text &text) {
        QStringList out;
        for (const QString &line : text.forDialect(dialect).split(QLatin1Char('\n')))
            if (!line.trimmed().isEmpty())
                out << line.trimmed();
        return out;
    };
    return names(other).isEmpty() ? QStringList() : names(wanted);
}

} // namespace

QStringList ReportLargeList::sortedByFor(SqlDialect dialect) const
{
    return columnsOf(sortedBy, thenBy, dialect);
}

QStringList ReportLargeList::thenByFor(SqlDialect dialect) const
{
    return columnsOf(thenBy, sortedBy, dialect);
}

bool ReportLargeList::firstRowsOnlyOn(SqlDialect dialect) const
{
    const char *name = dialect == SqlDialect::SQLite       ? "sqlite"
                       : dialect == SqlDialect::PostgreSQL ? "pg"
                                                           : "ib";
    return firstRowsOnly.contains(QLatin1String(name));
}

bool ReportLargeList::appliesTo(SqlDialect dialect) const
{
    return from > 0 && !count.forDialect(dialect).trimmed().isEmpty() && !sql.forDialect(dialect).trimmed().isEmpty();
}

ReportLargeList ReportLargeList::fromJson(const QJsonObject &o)
{
    ReportLargeList l;
    l.count = Text::fromJson(o, QStringLiteral("count"));
    l.from = o.value(QStringLiteral("from")).toInteger();
    l.sql = Text::fromJson(o, QStringLiteral("sql"));
    l.sortedBy = Text::fromJson(o, QStringLiteral("sorted_by"));
    l.thenBy = Text::fromJson(o, QStringLiteral("then_by"));
    for (const QJsonValue &v : o.value(QStringLiteral("first_rows_only")).toArray())
        l.firstRowsOnly << v.toString();
    return l;
}

QJsonObject ReportLargeList::toJson() const
{
    QJsonObject o;
    count.toJson(o, QStringLiteral("count"));
    o.insert(QStringLiteral("from"), from);
    sql.toJson(o, QStringLiteral("sql"));
    sortedBy.toJson(o, QStringLiteral("sorted_by"));
    thenBy.toJson(o, QStringLiteral("then_by"));
    if (!firstRowsOnly.isEmpty())
        o.insert(QStringLiteral("first_rows_only"), QJsonArray::fromStringList(firstRowsOnly));
    return o;
}
