#include "controls/lookup/LookupSqlModel.h"
#include "errors/EAbort.h"
#include "errors/ExceptionGuard.h"
#include "data/SqlBinding.h"
#include "data/TADOIBQuery.h"
#include "text/TextFold.h"
#include "text/WordSearch.h"

#include <QSet>

#include <algorithm>
#include <QSqlError>

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
            while (i < n
                   && (sql.at(i).isLetterOrNumber() || sql.at(i) == QLatin1Char('_') || sql.at(i) == QLatin1Char('$')))
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
    static const QStringList keeps = {QStringLiteral("LIMIT"),  QStringLiteral("OFFSET"),   QStringLiteral("ROWS"),
                                      QStringLiteral("FETCH"),  QStringLiteral("FOR"),      QStringLiteral("UNION"),
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

// The trigram table finds a phrase of three characters or more through its index.
QString trigramPhrase(const QString &text)
{
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// Orders rows by their searched column, then their key.
bool rowBefore(const QVector<QVariant> &a, const QVector<QVariant> &b, int keyAt)
{
    const int c = a.at(keyAt + 1).toString().compare(b.at(keyAt + 1).toString());
    if (c != 0)
        return c < 0;
    return a.at(keyAt).toString() < b.at(keyAt).toString();
}

} // namespace

LookupSqlModel::LookupSqlModel(TADOIBQuery *query, QVector<Column> columns, const QString &keyField, QObject *parent)
    : LookupModel(query, std::move(columns), keyField, parent), m_query(query),
      m_dialect(dialectOf(query->database().driverName()))
{ }

LookupSqlModel::~LookupSqlModel() = default;

SqlDialect LookupSqlModel::dialectOf(const QString &driverName)
{
    if (driverName.startsWith(QLatin1String("QPSQL")))
        return SqlDialect::PostgreSQL;
    if (driverName.startsWith(QLatin1String("QIBASE")))
        return SqlDialect::Firebird;
    return SqlDialect::SQLite;
}

QString LookupSqlModel::searchColumn(const QString &field) const
{
    if (field.compare(m_keyField, Qt::CaseInsensitive) != 0)
        if (const TField *f = m_query->FindField(field); f && !f->SearchField.isEmpty())
            return f->SearchField;
    return field;
}

bool LookupSqlModel::searchesName() const
{
    return m_field.compare(m_keyField, Qt::CaseInsensitive) != 0;
}

QString LookupSqlModel::pageSql(const QString &field, bool filtered, bool continuation, int limit, bool startOnly) const
{
    const bool byKey = field.compare(m_keyField, Qt::CaseInsensitive) == 0;
    const QString column = checkedName(searchColumn(field));
    const QString sort = QStringLiteral("LK.") + column;
    const QString key = QStringLiteral("LK.") + checkedName(m_keyField);
    const bool folded = column.compare(field, Qt::CaseInsensitive) != 0;

    QStringList where{sort + QStringLiteral(" IS NOT NULL")};
    if (filtered && byKey) {
        where << sort + QStringLiteral(" >= :LK__DE");
        where << sort + QStringLiteral(" < :LK__ATE");
    } else if (filtered && startOnly) {
        where << sort + QStringLiteral(" >= :LK__DE");
        where << sort + QStringLiteral(" < :LK__ATE");
    } else if (filtered) {
        // A column without a folded twin is compared in small letters (accents as stored).
        where << (folded ? sort : QStringLiteral("LOWER(%1)").arg(sort))
                     + QStringLiteral(" LIKE :LK__PARTE ESCAPE '\\'");
    }
    if (continuation) {
        if (byKey)
            where << sort + QStringLiteral(" > :LK__ULTIMO");
        else if (m_dialect == SqlDialect::Firebird)
            // The same rows as below. Firebird would answer the OR with one index bitmap per
            // side, each over the rest of the table; a negation uses no index, so the page
            // comes from walking the (column, key) index in order and stops after the limit.
            where << sort + QStringLiteral(" >= :LK__ULTIMO AND NOT (") + sort + QStringLiteral(" = :LK__ULTIMO2 AND ")
                         + key + QStringLiteral(" <= :LK__CHAVE)");
        else
            where << sort + QStringLiteral(" >= :LK__ULTIMO AND (") + sort + QStringLiteral(" > :LK__ULTIMO2 OR ") + key
                         + QStringLiteral(" > :LK__CHAVE)");
    }
    QString order = sort;
    if (!byKey)
        order += QStringLiteral(", ") + key;

    QString sql =
        QStringLiteral("SELECT * FROM (%1) LK WHERE %2 ORDER BY %3")
            .arg(withoutFinalOrder(nestable(m_query->sqlFor(m_dialect))), where.join(QStringLiteral(" AND ")), order);
    sql += m_dialect == SqlDialect::Firebird ? QStringLiteral(" ROWS %1").arg(limit)
                                             : QStringLiteral(" LIMIT %1").arg(limit);
    return sql;
}

QVector<LookupSqlModel::Row> LookupSqlModel::readPage(bool continuation, int limit)
{
    if (!m_trigramTable.isEmpty())
        return readTrigramPage(limit);
    if (m_words)
        return readWordPage(limit);
    return readSqlPage(continuation, limit);
}

QVector<LookupSqlModel::Row> LookupSqlModel::readSqlPage(bool continuation, int limit)
{
    const bool filtered = !m_text.isEmpty();
    const bool byKey = !searchesName();
    TParams params = m_query->Params();
    const bool startOnly = !byKey && m_text.size() < minPartLength;
    if (filtered && (byKey || startOnly)) {
        params.CreateParam(QStringLiteral("LK__DE"), TFieldType::ftString).setAsString(m_text);
        params.CreateParam(QStringLiteral("LK__ATE"), TFieldType::ftString).setAsString(upperBound(m_text));
    } else if (filtered) {
        params.CreateParam(QStringLiteral("LK__PARTE"), TFieldType::ftString)
            .setAsString(WordSearch::likeAnywhere(m_text));
    }
    const bool continued = continuation && !m_rows.isEmpty();
    if (continued) {
        const Row &last = m_rows.constLast();
        const QVariant lastSort = last.at(m_columns.size() + 1);
        params.CreateParam(QStringLiteral("LK__ULTIMO")).setValue(lastSort);
        if (!byKey) {
            params.CreateParam(QStringLiteral("LK__ULTIMO2")).setValue(lastSort);
            params.CreateParam(QStringLiteral("LK__CHAVE")).setValue(last.at(m_columns.size()));
        }
    }
    const PreparedSql prepared =
        PreparedSql::prepare(pageSql(m_field, filtered, continued, limit, startOnly), params, m_dialect);
    QSqlQuery query(m_query->database());
    query.setForwardOnly(true);
    prepared.exec(query);
    return readRows(query);
}

QVector<LookupSqlModel::Row> LookupSqlModel::readRows(QSqlQuery &query) const
{
    const QSqlRecord record = query.record();
    QVector<int> from;
    for (const Column &c : m_columns)
        from << record.indexOf(c.name);
    from << record.indexOf(m_keyField) << record.indexOf(m_column);
    QVector<Row> rows;
    while (query.next()) {
        Row row(from.size());
        for (int i = 0; i < from.size(); ++i)
            if (from.at(i) >= 0)
                row[i] = query.value(from.at(i));
        rows.append(std::move(row));
    }
    return rows;
}

QStringList LookupSqlModel::trigramKeys(const QString &extra, const QVariantList &extraValues, int limit)
{
    const QString table = checkedName(m_trigramTable);
    QString sql = QStringLiteral("SELECT rowid, %1 FROM %2 WHERE %2 MATCH ?").arg(checkedName(m_keyField), table)
                  + extra + QStringLiteral(" ORDER BY rowid");
    if (limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(limit);
    QSqlQuery query(m_query->database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw EDatabaseError(QStringLiteral("Não foi possível pesquisar em %1").arg(table), query.lastError().text());
    query.addBindValue(trigramPhrase(m_text));
    for (const QVariant &v : extraValues)
        query.addBindValue(v);
    if (!query.exec())
        throw EDatabaseError(QStringLiteral("Não foi possível pesquisar em %1").arg(table), query.lastError().text());
    QStringList keys;
    while (query.next()) {
        m_trigramLast = qMax(m_trigramLast, query.value(0).toLongLong());
        keys << query.value(1).toString();
    }
    return keys;
}

QVector<LookupSqlModel::Row> LookupSqlModel::rowsOfKeys(const QStringList &keys)
{
    QVector<Row> rows;
    if (keys.isEmpty())
        return rows;
    TParams params = m_query->Params();
    QStringList marks;
    for (int i = 0; i < keys.size(); ++i) {
        const QString name = QStringLiteral("LK__K%1").arg(i);
        params.CreateParam(name, TFieldType::ftString).setAsString(keys.at(i));
        marks << QLatin1Char(':') + name;
    }
    const QString sql = QStringLiteral("SELECT * FROM (%1) LK WHERE LK.%2 IN (%3)")
                            .arg(withoutFinalOrder(nestable(m_query->sqlFor(m_dialect))), checkedName(m_keyField),
                                 marks.join(QStringLiteral(", ")));
    QSqlQuery query(m_query->database());
    query.setForwardOnly(true);
    PreparedSql::prepare(sql, params, m_dialect).exec(query);
    QSet<QString> seen;
    for (Row &row : readRows(query)) {
        // A row the table keeps for a name changed since no longer matches: left out.
        const QString key = row.at(m_columns.size()).toString();
        if (seen.contains(key) || !row.at(m_columns.size() + 1).toString().contains(m_text))
            continue;
        seen.insert(key);
        rows.append(std::move(row));
    }
    return rows;
}

QVector<LookupSqlModel::Row> LookupSqlModel::readTrigramPage(int limit)
{
    const int keyAt = int(m_columns.size());
    if (m_trigramOrderedEnd < 0) {
        QSqlQuery end(m_query->database());
        m_trigramOrderedEnd =
            end.exec(QStringLiteral("SELECT ATE FROM %1_ORDEM").arg(checkedName(m_trigramTable))) && end.next()
                ? end.value(0).toLongLong()
                : 0;
        // Written after the ordered load: few, all read now and merged in as the pages pass.
        const QStringList later = trigramKeys(QStringLiteral(" AND rowid > ?"), {m_trigramOrderedEnd}, 0);
        m_trigramLater = rowsOfKeys(later);
        std::sort(m_trigramLater.begin(), m_trigramLater.end(),
                  [keyAt](const Row &a, const Row &b) { return rowBefore(a, b, keyAt); });
        m_trigramLast = 0;
    }
    QVector<Row> page;
    if (!m_trigramOrderedDone) {
        // Stale rows of the table are dropped from a page: read on until it is full.
        while (page.size() < limit) {
            const QStringList keys = trigramKeys(QStringLiteral(" AND rowid > ? AND rowid <= ?"),
                                                 {m_trigramLast, m_trigramOrderedEnd}, limit);
            page += rowsOfKeys(keys);
            if (keys.size() < limit) {
                m_trigramOrderedDone = true;
                break;
            }
        }
    }
    std::sort(page.begin(), page.end(), [keyAt](const Row &a, const Row &b) { return rowBefore(a, b, keyAt); });
    // The later rows that sort before the end of this page; once the ordered rows are
    // all read, the rest a page at a time.
    QVector<Row> merged;
    auto later = m_trigramLater.begin();
    while (later != m_trigramLater.end()
           && (m_trigramOrderedDone ? page.size() + merged.size() < limit
                                    : !page.isEmpty() && rowBefore(*later, page.constLast(), keyAt)))
        merged << *later++;
    m_trigramLater.erase(m_trigramLater.begin(), later);
    page += merged;
    std::sort(page.begin(), page.end(), [keyAt](const Row &a, const Row &b) { return rowBefore(a, b, keyAt); });
    return page;
}

QVector<LookupSqlModel::Row> LookupSqlModel::readWordPage(int limit)
{
    QVector<Row> rows = rowsOfKeys(m_words->next(limit));
    const int keyAt = int(m_columns.size());
    std::sort(rows.begin(), rows.end(), [keyAt](const Row &a, const Row &b) { return rowBefore(a, b, keyAt); });
    return rows;
}

void LookupSqlModel::search(const QString &field, const QString &text)
{
    beginResetModel();
    try {
        startSearch(field, text);
        m_rows = readPage(false, firstPage);
    } catch (...) {
        m_exhausted = true;
        endResetModel();
        throw;
    }
    m_exhausted = exhausted(m_rows.size() < firstPage);
    endResetModel();
}

void LookupSqlModel::startSearch(const QString &field, const QString &text)
{
    m_field = field;
    m_column = searchColumn(field);
    m_rows.clear();
    const bool byKey = !searchesName();
    // A name is compared folded; without a folded column, in small letters.
    m_text = byKey                                               ? text
             : m_column.compare(field, Qt::CaseInsensitive) != 0 ? TextFold::fold(text.simplified())
                                                                 : text.simplified().toLower();
    m_trigramTable.clear();
    m_trigramLast = 0;
    m_trigramOrderedEnd = -1;
    m_trigramOrderedDone = false;
    m_trigramLater.clear();
    m_words.reset();
    const TField *f = m_query->FindField(field);
    if (byKey || m_text.size() < minPartLength || !f)
        return;
    if (m_dialect == SqlDialect::SQLite)
        m_trigramTable = f->SearchTable;
    else if (!f->SearchWords.isEmpty() && !f->SearchVocabulary.isEmpty()) {
        m_words = std::make_unique<WordSearch>(m_query->database(), m_dialect, checkedName(f->SearchWords),
                                               checkedName(f->SearchVocabulary), checkedName(m_keyField), m_text);
        // A common text is met at once by the column walk.
        if (!m_words->start())
            m_words.reset();
    }
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

int LookupSqlModel::rowOfKey(const QString &key)
{
    const int read = LookupModel::rowOfKey(key);
    if (read >= 0 || key.isEmpty() || searchesName() || !m_text.isEmpty())
        return read;
    QVector<Row> before = readNextToKey(key, true, rowsBeforeKey);
    std::reverse(before.begin(), before.end());
    const QVector<Row> from = readNextToKey(key, false, firstPage);
    if (from.isEmpty() || from.constFirst().at(m_columns.size()).toString() != key)
        return -1;
    beginResetModel();
    m_rows = before + from;
    m_exhausted = from.size() < firstPage;
    endResetModel();
    return int(before.size());
}

QVector<LookupSqlModel::Row> LookupSqlModel::readNextToKey(const QString &key, bool before, int limit)
{
    const QString column = QStringLiteral("LK.") + checkedName(m_keyField);
    QString sql =
        QStringLiteral("SELECT * FROM (%1) LK WHERE %2 %3 :LK__CHAVE ORDER BY %2%4")
            .arg(withoutFinalOrder(nestable(m_query->sqlFor(m_dialect))), column,
                 before ? QStringLiteral("<") : QStringLiteral(">="), before ? QStringLiteral(" DESC") : QString());
    sql += m_dialect == SqlDialect::Firebird ? QStringLiteral(" ROWS %1").arg(limit)
                                             : QStringLiteral(" LIMIT %1").arg(limit);
    TParams params = m_query->Params();
    params.CreateParam(QStringLiteral("LK__CHAVE"), TFieldType::ftString).setAsString(key);
    QSqlQuery query(m_query->database());
    query.setForwardOnly(true);
    PreparedSql::prepare(sql, params, m_dialect).exec(query);
    return readRows(query);
}

int LookupSqlModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

bool LookupSqlModel::exhausted(bool shortPage) const
{
    if (!m_trigramTable.isEmpty())
        return m_trigramOrderedDone && m_trigramLater.isEmpty();
    if (m_words)
        return m_words->done();
    return shortPage;
}

bool LookupSqlModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_exhausted;
}

void LookupSqlModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || m_exhausted)
        return;
    QVector<Row> more;
    // Called by the view while it scrolls: a failure is shown, never thrown into Qt.
    if (!guarded([&] { more = readPage(true, nextPage); })) {
        m_exhausted = true;
        return;
    }
    m_exhausted = exhausted(more.size() < nextPage);
    if (more.isEmpty())
        return;
    beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size() + more.size() - 1));
    m_rows += more;
    endInsertRows();
}
