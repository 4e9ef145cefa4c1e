#include "LookupSqlModel.h"
#include "../EAbort.h"
#include "../ExceptionGuard.h"
#include "../SqlBinding.h"
#include "../TADOIBQuery.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

bool isIdentifier(const QString &name)
{
    if (name.isEmpty() || !(name.at(0).isLetter() || name.at(0) == QLatin1Char('_')))
        return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_')) || c.unicode() > 127)
            return false;
    return true;
}

QString checkedName(const QString &name)
{
    if (!isIdentifier(name))
        throw ESuiteError(QStringLiteral("Nome de campo inválido na pesquisa: '%1'.").arg(name));
    return name;
}

// The statement text without trailing blanks and semicolon, ready to be nested.
QString nestable(QString sql)
{
    sql = sql.trimmed();
    while (sql.endsWith(QLatin1Char(';')))
        sql = sql.left(sql.size() - 1).trimmed();
    return sql;
}

// Top-level words of a statement (outside parentheses, literals, quoted names and
// comments), upper-cased, with their positions.
struct Word
{
    QString text;
    qsizetype at;
};

QVector<Word> topLevelWords(const QString &sql)
{
    QVector<Word> words;
    int depth = 0;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote inside is the quote itself: scanning on finds the pair.
            const qsizetype close = sql.indexOf(c, i + 1);
            i = close < 0 ? n : close + 1;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            const qsizetype end = sql.indexOf(QLatin1Char('\n'), i);
            i = end < 0 ? n : end + 1;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('(')) {
            ++depth;
            ++i;
        } else if (c == QLatin1Char(')')) {
            --depth;
            ++i;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            const qsizetype start = i;
            while (i < n && (sql.at(i).isLetterOrNumber() || sql.at(i) == QLatin1Char('_') || sql.at(i) == QLatin1Char('$')))
                ++i;
            if (depth == 0)
                words.append({sql.mid(start, i - start).toUpper(), start});
        } else {
            ++i;
        }
    }
    return words;
}

} // namespace

// The statement without its final ORDER BY, which the page statement replaces with its
// own: a sort inside a derived table makes PostgreSQL and Firebird sort every row before
// the outer limit applies. A clause that a row limit or a locking clause follows decides
// which rows come out, so it stays.
QString LookupSqlModel::withoutFinalOrder(const QString &sql)
{
    const QVector<Word> words = topLevelWords(sql);
    qsizetype order = -1;
    for (qsizetype w = words.size() - 2; w >= 0; --w) {
        if (words.at(w).text == QLatin1String("ORDER") && words.at(w + 1).text == QLatin1String("BY")) {
            order = w;
            break;
        }
    }
    if (order < 0)
        return sql;
    static const QStringList keeps = {QStringLiteral("LIMIT"), QStringLiteral("OFFSET"), QStringLiteral("ROWS"),
                                      QStringLiteral("FETCH"), QStringLiteral("FOR"), QStringLiteral("UNION"),
                                      QStringLiteral("EXCEPT"), QStringLiteral("INTERSECT")};
    for (qsizetype w = order + 2; w < words.size(); ++w)
        if (keeps.contains(words.at(w).text))
            return sql;
    return sql.left(words.at(order).at).trimmed();
}

namespace {

// The smallest text above every text that starts with prefix ("AB" -> "AC").
QString upperBound(const QString &prefix)
{
    QString bound = prefix;
    while (!bound.isEmpty()) {
        const ushort last = bound.back().unicode();
        if (last < 0xFFFF) {
            bound.back() = QChar(ushort(last + 1));
            return bound;
        }
        bound.chop(1);
    }
    return QString();
}

} // namespace

LookupSqlModel::LookupSqlModel(TADOIBQuery *query, QVector<Column> columns, const QString &keyField,
                               QObject *parent)
    : LookupModel(query, std::move(columns), keyField, parent), m_query(query),
      m_dialect(dialectOf(query->database().driverName()))
{
}

SqlDialect LookupSqlModel::dialectOf(const QString &driverName)
{
    if (driverName.startsWith(QLatin1String("QPSQL")))
        return SqlDialect::PostgreSQL;
    if (driverName.startsWith(QLatin1String("QIBASE")))
        return SqlDialect::Firebird;
    return SqlDialect::SQLite;
}

QString LookupSqlModel::pageSql(const QString &field, bool prefix, bool continuation, int limit) const
{
    const QString sort = QStringLiteral("LK.") + checkedName(field);
    const QString key = QStringLiteral("LK.") + checkedName(m_keyField);
    const bool byKey = field.compare(m_keyField, Qt::CaseInsensitive) == 0;

    QStringList where{sort + QStringLiteral(" IS NOT NULL")};
    if (prefix) {
        where << sort + QStringLiteral(" >= :LK__DE");
        where << sort + QStringLiteral(" < :LK__ATE");
    }
    if (continuation) {
        if (byKey)
            where << sort + QStringLiteral(" > :LK__ULTIMO");
        else if (m_dialect == SqlDialect::Firebird)
            // The same rows as below. Firebird would answer the OR with one index bitmap per
            // side, each over the rest of the table; a negation uses no index, so the page
            // comes from walking the (field, key) index in order and stops after the limit.
            where << sort + QStringLiteral(" >= :LK__ULTIMO AND NOT (") + sort
                         + QStringLiteral(" = :LK__ULTIMO2 AND ") + key + QStringLiteral(" <= :LK__CHAVE)");
        else
            where << sort + QStringLiteral(" >= :LK__ULTIMO AND (") + sort
                         + QStringLiteral(" > :LK__ULTIMO2 OR ") + key + QStringLiteral(" > :LK__CHAVE)");
    }
    QString order = sort;
    if (!byKey)
        order += QStringLiteral(", ") + key;

    QString sql = QStringLiteral("SELECT * FROM (%1) LK WHERE %2 ORDER BY %3")
                      .arg(withoutFinalOrder(nestable(m_query->sqlFor(m_dialect))), where.join(QStringLiteral(" AND ")), order);
    sql += m_dialect == SqlDialect::Firebird ? QStringLiteral(" ROWS %1").arg(limit)
                                             : QStringLiteral(" LIMIT %1").arg(limit);
    return sql;
}

QVector<QVector<QVariant>> LookupSqlModel::readPage(bool continuation, int limit)
{
    const bool prefix = !m_prefix.isEmpty();
    TParams params = m_query->Params();
    if (prefix) {
        params.CreateParam(QStringLiteral("LK__DE"), TFieldType::ftString).setAsString(m_prefix);
        const QString bound = upperBound(m_prefix);
        params.CreateParam(QStringLiteral("LK__ATE"), TFieldType::ftString).setAsString(bound);
    }
    const bool byKey = m_field.compare(m_keyField, Qt::CaseInsensitive) == 0;
    if (continuation && !m_rows.isEmpty()) {
        const QVector<QVariant> &last = m_rows.constLast();
        const QVariant lastSort = last.at(m_columns.size() + 1);
        params.CreateParam(QStringLiteral("LK__ULTIMO")).setValue(lastSort);
        if (!byKey) {
            params.CreateParam(QStringLiteral("LK__ULTIMO2")).setValue(lastSort);
            params.CreateParam(QStringLiteral("LK__CHAVE")).setValue(last.at(m_columns.size()));
        }
    }
    const PreparedSql prepared =
        PreparedSql::prepare(pageSql(m_field, prefix, continuation && !m_rows.isEmpty(), limit), params, m_dialect);
    QSqlQuery query(m_query->database());
    query.setForwardOnly(true);
    prepared.exec(query);

    const QSqlRecord record = query.record();
    QVector<int> from;
    for (const Column &c : m_columns)
        from << record.indexOf(c.name);
    from << record.indexOf(m_keyField) << record.indexOf(m_field);

    QVector<QVector<QVariant>> rows;
    rows.reserve(limit);
    while (query.next()) {
        QVector<QVariant> row(from.size());
        for (int i = 0; i < from.size(); ++i)
            if (from.at(i) >= 0)
                row[i] = query.value(from.at(i));
        rows.append(std::move(row));
    }
    return rows;
}

// The spellings tried, in order, when a name search finds nothing as typed: the index
// compares exactly, and names are stored capitalised or in capitals.
QStringList LookupSqlModel::caseVariants(const QString &text)
{
    QStringList variants{text};
    if (text.isEmpty())
        return variants;
    QString first = text;
    first[0] = first.at(0).toUpper();
    QString title = text.toLower();
    for (int i = 0; i < title.size(); ++i)
        if (i == 0 || title.at(i - 1).isSpace())
            title[i] = title.at(i).toUpper();
    for (const QString &v : {first, title, text.toUpper()})
        if (!variants.contains(v))
            variants << v;
    return variants;
}

void LookupSqlModel::search(const QString &field, const QString &text)
{
    beginResetModel();
    m_field = field;
    m_rows.clear();
    m_exhausted = true;
    const bool byKey = field.compare(m_keyField, Qt::CaseInsensitive) == 0;
    try {
        for (const QString &variant : byKey ? QStringList{text} : caseVariants(text)) {
            m_prefix = variant;
            m_rows = readPage(false, firstPage);
            if (!m_rows.isEmpty())
                break;
        }
    } catch (...) {
        m_prefix = text;
        endResetModel();
        throw;
    }
    m_exhausted = m_rows.size() < firstPage;
    endResetModel();
}

QVariant LookupSqlModel::value(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return QVariant();
    return m_rows.at(row).value(column);
}

QVariant LookupSqlModel::keyValue(int row) const
{
    return value(row, int(m_columns.size()));
}

int LookupSqlModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

bool LookupSqlModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_exhausted;
}

void LookupSqlModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || m_exhausted)
        return;
    QVector<QVector<QVariant>> more;
    // Called by the view while it scrolls: a failure is shown, never thrown into Qt.
    if (!guarded([&] { more = readPage(true, nextPage); })) {
        m_exhausted = true;
        return;
    }
    m_exhausted = more.size() < nextPage;
    if (more.isEmpty())
        return;
    beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size() + more.size() - 1));
    m_rows += more;
    endInsertRows();
}
