#pragma once

#include "data/SqlDialect.h"
#include "suite_export.h"
#include "controls/lookup/LookupModel.h"

#include <QStringList>

#include <memory>

class QSqlQuery;
class TADOIBQuery;
class WordSearch;

// Lookup rows read from the database a page at a time: the query's own statement is
// wrapped in a statement that orders by the searched column and continues after the last
// row read (keyset paging), so opening and narrowing cost the same on a thousand rows as
// on a million. A code is searched by its start. A name is compared without regard to
// case or accents, through the folded column the field names (TField::SearchField): one
// or two characters find the names that start with them, three or more are found
// anywhere in the name: on SQLite through the field's trigram table (TField::SearchTable)
// read in the folded order; on the servers through the words that hold the part
// (TField::SearchVocabulary), each read in the folded order from the word table
// (TField::SearchWords) and merged. Without those tables the folded column is walked.
class SUITE_TEST_EXPORT LookupSqlModel : public LookupModel
{
    Q_OBJECT
public:
    LookupSqlModel(TADOIBQuery *query, QVector<Column> columns, const QString &keyField, QObject *parent);
    ~LookupSqlModel() override;

    static SqlDialect dialectOf(const QString &driverName);
    // The statement without a final top-level ORDER BY (kept when a row limit follows it).
    static QString withoutFinalOrder(const QString &sql);
    // The column a field is compared and ordered by: its SearchField, else itself.
    QString searchColumn(const QString &field) const;
    // The page statement for a search field: filtered by what was typed (a code's start,
    // a name's part) and/or continued after the last row read (exposed for plans and
    // tests).
    // startOnly: a name's start (fewer than minPartLength characters typed).
    QString pageSql(const QString &field, bool filtered, bool continuation, int limit, bool startOnly = false) const;

    void search(const QString &field, const QString &text) override;
    QVariant value(int row, int column) const override;
    QVariant keyValue(int row) const override;
    // Beyond the rows read, a list in code order opens at the code: the rows just before
    // it, then the pages from it on.
    int rowOfKey(const QString &key) override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    static constexpr int minPartLength = 3;
    static constexpr int firstPage = 100;
    static constexpr int nextPage = 300;
    static constexpr int rowsBeforeKey = 30;

private:
    using Row = QVector<QVariant>; // the shown columns, then the key, then the column searched
    // Reads one page: from the start of the search, or after the last row held.
    QVector<Row> readPage(bool continuation, int limit);
    QVector<Row> readSqlPage(bool continuation, int limit);
    // SQLite with a trigram table: the next codes in its order, then their rows.
    QVector<Row> readTrigramPage(int limit);
    QVector<Row> rowsOfKeys(const QStringList &keys);
    // The rows of an executed page statement, in the model's layout.
    QVector<Row> readRows(QSqlQuery &query) const;
    QStringList trigramKeys(const QString &extra, const QVariantList &extraValues, int limit);
    // The servers: the next rows found through the words of the names.
    QVector<Row> readWordPage(int limit);
    bool searchesName() const;
    // The rows of the unfiltered code order next to key: before it (nearest last) or from it on.
    QVector<Row> readNextToKey(const QString &key, bool before, int limit);
    // The state of a new search: what is compared, and which index answers it.
    void startSearch(const QString &field, const QString &text);
    // Whether a search has no more rows to read (shortPage: the last page was not full).
    bool exhausted(bool shortPage) const;

    TADOIBQuery *m_query;
    SqlDialect m_dialect;
    QString m_field;
    QString m_column;
    QString m_text;         // the code's start, or the folded text to find
    QString m_trigramTable; // the field's SearchTable on SQLite, while a text is searched
    QVector<Row> m_rows;
    bool m_exhausted = true;
    // Trigram reading: the last table row read in order, the end of the ordered load, and
    // the matches written after it (few), merged in as the ordered rows pass them.
    qint64 m_trigramLast = 0;
    qint64 m_trigramOrderedEnd = -1;
    bool m_trigramOrderedDone = false;
    QVector<Row> m_trigramLater;
    std::unique_ptr<WordSearch> m_words; // the servers, while a part of a name is searched
};
