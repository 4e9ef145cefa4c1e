#pragma once

#include "data/SqlDialect.h"
#include "suite_export.h"

#include <QHash>
#include <QPair>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVector>

// Finds, on a database server, the rows whose folded text holds a typed text, in (folded
// text, key) order, through the words of the texts: a table of words (PALAVRA, the folded
// text, the key; indexed in that order) and its vocabulary (PALAVRA, once each). Each part
// of the typed text (between blanks, three characters or more) lies inside one word of
// every text that holds it: the words of the vocabulary that hold a part are read in
// order and merged, and the parts' merged lists are intersected by seeking each ahead to
// the others' position (a leapfrog join), so a text found only late in the order, or only
// in a few of many names, costs a few index seeks, not a walk. What remains is checked
// against the whole text.
class SUITE_TEST_EXPORT WordSearch
{
public:
    WordSearch(const QSqlDatabase &db, SqlDialect dialect, const QString &wordTable, const QString &vocabulary,
               const QString &keyField, const QString &text);

    // Reads the words of the parts. False when no part is rare enough (every part is held
    // by more than maxWords words): the text is common, and walking the folded column
    // meets it at once.
    bool start();
    // The keys of the next rows that hold the text, at most limit; fewer when the work a
    // page may take is spent (done() tells whether more remain).
    QStringList next(int limit);
    bool done() const { return m_done; }

    // A LIKE pattern (escape character backslash) that finds text anywhere, its own % and _
    // taken as written.
    static QString likeAnywhere(const QString &text);

    static constexpr int maxWords = 20;
    static constexpr int maxParts = 3;

private:
    using Entry = QPair<QString, QString>; // folded text, key
    struct Stream
    {
        QString word;
        QVector<Entry> buffer;
        int next = 0;
        bool done = false;
        int firstRows = 100;
    };
    struct Part
    {
        QVector<Stream> streams;
    };

    QStringList wordsHolding(const QString &part);
    // Reads a stream on from its last entry, or from target on (a seek).
    void read(Stream &stream, const Entry *target, int rows);
    // The stream's first entry at or after target; null when it has none.
    const Entry *seek(Stream &stream, const Entry &target);
    const Entry *head(Stream &stream);
    const Entry *head(Part &part);
    void pass(Part &part, const Entry &entry);
    QSqlQuery &statement(const QString &sql);

    QSqlDatabase m_db;
    SqlDialect m_dialect;
    QString m_wordTable;
    QString m_vocabulary;
    QString m_keyField;
    QString m_text;
    QVector<Part> m_parts;
    QHash<QString, QSqlQuery> m_statements; // by text: prepared once per search
    int m_reads = 0;
    bool m_done = false;
};
