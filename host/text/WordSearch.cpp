#include "text/WordSearch.h"
#include "errors/EAbort.h"

#include <QSqlError>

#include <algorithm>

namespace {

constexpr int kFirstRows = 100; // a seek's reading, and a lone word's first
constexpr int kNextRows = 300;  // a word read through is dense: read on in bigger steps
constexpr int kPageReads = 60;  // statements one page may run

} // namespace

QString WordSearch::likeAnywhere(const QString &text)
{
    QString escaped;
    for (QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

WordSearch::WordSearch(const QSqlDatabase &db, SqlDialect dialect, const QString &wordTable, const QString &vocabulary,
                       const QString &keyField, const QString &text)
    : m_db(db), m_dialect(dialect), m_wordTable(wordTable), m_vocabulary(vocabulary), m_keyField(keyField), m_text(text)
{ }

QSqlQuery &WordSearch::statement(const QString &sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            throw EDatabaseError(QStringLiteral("Não foi possível pesquisar em %1").arg(m_wordTable),
                                 query.lastError().text());
        it = m_statements.insert(sql, query);
    }
    return *it;
}

QStringList WordSearch::wordsHolding(const QString &part)
{
    QSqlQuery &query =
        statement(QStringLiteral("SELECT PALAVRA FROM %1 WHERE PALAVRA LIKE ? ESCAPE '\\'").arg(m_vocabulary));
    query.addBindValue(likeAnywhere(part));
    if (!query.exec())
        throw EDatabaseError(QStringLiteral("Não foi possível pesquisar em %1").arg(m_vocabulary),
                             query.lastError().text());
    QStringList words;
    while (query.next() && words.size() <= maxWords)
        words << query.value(0).toString();
    query.finish();
    return words;
}

bool WordSearch::start()
{
    QStringList parts;
    for (const QString &p : m_text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (p.size() >= 3 && !parts.contains(p))
            parts << p;
    // The longest parts are the rarest.
    std::sort(parts.begin(), parts.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    for (const QString &p : parts) {
        if (m_parts.size() == maxParts)
            break;
        const QStringList words = wordsHolding(p);
        if (words.size() > maxWords)
            continue; // common: the check against the whole text covers it
        if (words.isEmpty()) {
            m_done = true; // no word holds it: no name does
            m_parts.clear();
            return true;
        }
        // The words of a part share a first page between them.
        const int share = qBound(20, 2 * kFirstRows / int(words.size()), kFirstRows);
        Part part;
        for (const QString &w : words)
            part.streams.append({w, {}, 0, false, share});
        m_parts << part;
    }
    return !m_parts.isEmpty();
}

void WordSearch::read(Stream &stream, const Entry *target, int rows)
{
    const bool after = !target && !stream.buffer.isEmpty();
    QString sql = QStringLiteral("SELECT NMBUSCA, %1 FROM %2 WHERE PALAVRA = ?").arg(m_keyField, m_wordTable);
    // Firebird walks the (word, text, key) index only through a negation; the others take
    // the plain form.
    if (target)
        sql += (m_dialect == SqlDialect::Firebird ? QStringLiteral(" AND NMBUSCA >= ? AND NOT (NMBUSCA = ? AND %1 < ?)")
                                                  : QStringLiteral(" AND NMBUSCA >= ? AND (NMBUSCA > ? OR %1 >= ?)"))
                   .arg(m_keyField);
    else if (after)
        sql +=
            (m_dialect == SqlDialect::Firebird ? QStringLiteral(" AND NMBUSCA >= ? AND NOT (NMBUSCA = ? AND %1 <= ?)")
                                               : QStringLiteral(" AND NMBUSCA >= ? AND (NMBUSCA > ? OR %1 > ?)"))
                .arg(m_keyField);
    sql += QStringLiteral(" ORDER BY NMBUSCA, %1").arg(m_keyField);
    sql += m_dialect == SqlDialect::Firebird ? QStringLiteral(" ROWS %1").arg(rows)
                                             : QStringLiteral(" LIMIT %1").arg(rows);
    QSqlQuery &query = statement(sql);
    query.addBindValue(stream.word);
    if (target || after) {
        const Entry from = target ? *target : stream.buffer.constLast();
        query.addBindValue(from.first);
        query.addBindValue(from.first);
        query.addBindValue(from.second);
    }
    if (!query.exec())
        throw EDatabaseError(QStringLiteral("Não foi possível pesquisar em %1").arg(m_wordTable),
                             query.lastError().text());
    ++m_reads;
    QVector<Entry> entries;
    while (query.next())
        entries.append({query.value(0).toString(), query.value(1).toString()});
    query.finish();
    stream.done = entries.size() < rows;
    stream.buffer = entries;
    stream.next = 0;
}

const WordSearch::Entry *WordSearch::head(Stream &stream)
{
    if (stream.next < stream.buffer.size())
        return &stream.buffer.at(stream.next);
    if (stream.done)
        return nullptr;
    read(stream, nullptr, stream.buffer.isEmpty() ? stream.firstRows : kNextRows);
    return stream.next < stream.buffer.size() ? &stream.buffer.at(stream.next) : nullptr;
}

const WordSearch::Entry *WordSearch::seek(Stream &stream, const Entry &target)
{
    for (;;) {
        const auto from = stream.buffer.cbegin() + stream.next;
        const auto it = std::lower_bound(from, stream.buffer.cend(), target);
        if (it != stream.buffer.cend()) {
            stream.next = int(it - stream.buffer.cbegin());
            return &*it;
        }
        stream.next = int(stream.buffer.size());
        if (stream.done)
            return nullptr;
        read(stream, &target, kFirstRows);
    }
}

const WordSearch::Entry *WordSearch::head(Part &part)
{
    const Entry *lowest = nullptr;
    for (Stream &s : part.streams)
        if (const Entry *h = head(s); h && (!lowest || *h < *lowest))
            lowest = h;
    return lowest;
}

void WordSearch::pass(Part &part, const Entry &entry)
{
    for (Stream &s : part.streams)
        while (s.next < s.buffer.size() && s.buffer.at(s.next) == entry)
            ++s.next;
}

QStringList WordSearch::next(int limit)
{
    QStringList keys;
    const int budget = m_reads + kPageReads;
    while (!m_done && keys.size() < limit && m_reads < budget) {
        // Where every part must be: the furthest of their heads.
        Entry target;
        bool first = true;
        for (Part &part : m_parts) {
            const Entry *h = head(part);
            if (!h) {
                m_done = true;
                return keys;
            }
            if (first || target < *h)
                target = *h;
            first = false;
        }
        bool aligned = true;
        for (Part &part : m_parts) {
            const Entry *lowest = nullptr;
            for (Stream &s : part.streams)
                if (const Entry *h = seek(s, target); h && (!lowest || *h < *lowest))
                    lowest = h;
            if (!lowest) {
                m_done = true;
                return keys;
            }
            aligned = aligned && *lowest == target;
        }
        if (!aligned)
            continue; // a part is further on: the next round seeks the others there
        for (Part &part : m_parts)
            pass(part, target);
        if (target.first.contains(m_text))
            keys << target.second;
    }
    return keys;
}
