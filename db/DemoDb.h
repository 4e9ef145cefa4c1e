#pragma once

#include "SchemaDdl.h"

#include "data/SqlDialect.h" // from host/: enum class SqlDialect { SQLite, PostgreSQL, Firebird };

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <functional>

// Sizes and seed of the demo data.
struct DemoOptions
{
    int products = 300;   // PRODUTO rows
    int suppliers = 60;   // FORNECEDOR rows (about 4/5 of them get quotes = "quoted")
    int branches = 12;    // FILIAL rows
    int regions = 6;      // REGIAO rows (at least one region without branches)
    int operators = 15;   // OPERADOR rows
    int buyers = 8;       // COMPRADOR rows (a subset of operators)
    int quotes = 0;       // COTACAO lines; 0 = about 3 per product
    quint32 seed = 77310; // deterministic: same options, same data
    QString productPicture = QStringLiteral("99.999.9999;0; "); // PICTURA row 0
    QDate processingDate = QDate(2026, 12, 7);                  // FILIAL.DTPROCESSO base
};

// Called while a table is written: its name, the rows written so far and the rows it
// will hold (-1 while not known yet). Called at least once per table with done == total.
using DemoProgress = std::function<void(const QString &table, qint64 done, qint64 total)>;

// The purchasing database of the price list: schema and deterministic demo data.
// Failures raise EDatabaseError with a message naming the database and the cause.
namespace DemoDb {
// Creates every table and index. One description of the tables renders the DDL of every
// dialect (SQLite, PostgreSQL, Firebird).
void createSchema(QSqlDatabase &db, SqlDialect dialect);
// The two halves of createSchema: big loads create the indices after the data.
// createTables also creates the functions the suite's SQL needs on servers (NVLSTR).
void createTables(QSqlDatabase &db, SqlDialect dialect);
void createIndexes(QSqlDatabase &db, SqlDialect dialect);

// Fills the tables. Fast: one transaction, prepared statements, batches.
void generate(QSqlDatabase &db, SqlDialect dialect, const DemoOptions &options);
void generate(QSqlDatabase &db, SqlDialect dialect, const DemoOptions &options, const DemoProgress &progress);

// Tables, data, then indices and planner statistics: the fast way to a full database.
void build(QSqlDatabase &db, SqlDialect dialect, const DemoOptions &options, const DemoProgress &progress = {});

// Lets `reader` read every table and run the routines the suite's SQL calls, and nothing
// else (servers only; a SQLite file is opened read-only instead).
void grantReadOnly(QSqlDatabase &db, SqlDialect dialect, const QString &reader);
// Grants one of the reading roles (SchemaDdl::DbRole) to `user`.
void grantRole(QSqlDatabase &db, SqlDialect dialect, SchemaDdl::DbRole role, const QString &user);

// Convenience: removes file if present, creates schema + data in a new SQLite file.
// On failure no partial file is left behind.
void createSqlite(const QString &file, const DemoOptions &options);
void createSqlite(const QString &file, const DemoOptions &options, const DemoProgress &progress);

// Rejects options that cannot make a consistent database (negative sizes, more buyers
// than operators, codes that would not fit their width); raises EDatabaseError.
void checkOptions(const DemoOptions &options);

// "SQLite /tmp/demo.db": how messages name a database.
QString describe(const QSqlDatabase &db, SqlDialect dialect);
} // namespace DemoDb
