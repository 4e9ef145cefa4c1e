#pragma once

#include "data/SqlBinding.h"
#include "suite_export.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

struct pg_conn;
struct pg_result;

namespace PgLink {
// The libpq connection under an open QPSQL connection; nullptr for any other.
pg_conn *connectionOf(const QSqlDatabase &db);
// The text as the driver sends it: each '?' outside quotes becomes $1, $2 ...
// The driver knows only plain quotes (no E'' escapes, no dollar quoting); whoever
// checks a text on the server must see exactly what the driver will send.
QString positional(const QString &text);
// What the server said of a failed statement (result may be null: then the connection's error).
QSqlError errorOf(const pg_result *result, const pg_conn *conn);
} // namespace PgLink

// A bound SELECT read on PostgreSQL through a cursor of the server's, a batch at a time.
// Declared as a cursor, the statement is planned for its first rows: an order an index
// serves comes at once, sorted a few rows at a time, where the statement on its own
// would read and sort the whole result before sending its first row. It costs more over
// the whole result, so it is for a person waiting on the first page, not for a file.
// The cursor lives in a transaction of its own on the connection: committed once the
// last row is read, rolled back when the reader is dropped before.
class SUITE_TEST_EXPORT PgCursor
{
public:
    // firstBatch: the rows asked of the server by the first FETCH (a page and some); each
    // next FETCH asks twice as many as the one before, up to 64 times the first.
    explicit PgCursor(const QSqlDatabase &db, int firstBatch = defaultFirstBatch);
    ~PgCursor();
    PgCursor(const PgCursor &) = delete;
    PgCursor &operator=(const PgCursor &) = delete;

    // Declares the cursor with the values bound (never pasted into the text) and reads
    // the first batch; raises EDatabaseError.
    void open(const PreparedSql &sql);

    // As QSqlQuery's, forward only.
    bool next();
    QVariant value(int i) const { return m_batch.value(i); }
    QSqlRecord record() const { return m_batch.record(); }
    QSqlError lastError() const { return m_error; }

    static constexpr int defaultFirstBatch = 100;

private:
    bool fetch();
    void finish(bool commit);

    QSqlDatabase m_db;
    QSqlQuery m_batch;
    QSqlError m_error;
    int m_firstBatch;
    int m_asked = 0;
    int m_got = 0;
    bool m_inTransaction = false;
    bool m_exhausted = false;
};
