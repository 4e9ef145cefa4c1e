#pragma once

#include "data/SqlDialect.h"
#include "TableDef.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <QVector>

struct sqlite3;
struct sqlite3_stmt;
struct pg_conn;

// Appends rows to one table through prepared statements, several rows per INSERT where
// the dialect allows it. Values are bound, never written into the SQL text. The caller
// owns the transaction. Raises EDatabaseError naming the table, the database and the cause.
//
// On SQLite the statements run on the connection's own sqlite3 handle: QSqlQuery's
// binding costs more than the insert itself at millions of rows. On PostgreSQL the rows go
// through COPY ... FROM STDIN on the connection's own libpq handle.
class BulkInserter
{
public:
    BulkInserter(QSqlDatabase &db, SqlDialect dialect, const TableDef &table, const QString &dbLabel);
    ~BulkInserter();
    BulkInserter(const BulkInserter &) = delete;
    BulkInserter &operator=(const BulkInserter &) = delete;

    // One row, its values in the order of the table's columns.
    void add(std::initializer_list<QVariant> values);
    // Writes the rows still buffered.
    void flush();
    qint64 rows() const { return m_rows; }

private:
    void prepare(QSqlQuery &query, int rows);
    sqlite3_stmt *prepareNative(int rows);
    void exec(bool many, qsizetype firstValue, int rows);
    QVariant serverValue(int column, const QVariant &value) const;
    void execNative(sqlite3_stmt *stmt, qsizetype firstValue, int count);
    [[noreturn]] void fail(const QString &action, const QString &cause) const;
    void startCopy();
    void sendCopy();
    void endCopy();
    void copyText(const QVariant &value, int column);

    QSqlDatabase m_db;
    TableDef m_table;
    SqlDialect m_dialect;
    QString m_dbLabel;
    int m_columns;
    int m_rowsPerInsert;
    QSqlQuery m_many;
    QSqlQuery m_one;
    bool m_onePrepared = false;
    sqlite3 *m_sqlite = nullptr;
    sqlite3_stmt *m_manyNative = nullptr;
    sqlite3_stmt *m_oneNative = nullptr;
    QVector<QVariant> m_buffer;
    pg_conn *m_pg = nullptr;
    bool m_copying = false;
    QByteArray m_copyBuffer;
    qint64 m_rows = 0;
};
