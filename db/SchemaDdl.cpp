#include "SchemaDdl.h"

namespace SchemaDdl {

QString columnType(const ColumnDef &column, SqlDialect dialect)
{
    Q_UNUSED(dialect) // the types below are common to SQLite, PostgreSQL and Firebird 3
    switch (column.type) {
    case ColumnType::Varchar:
        return QStringLiteral("VARCHAR(%1)").arg(column.size);
    case ColumnType::Char:
        return QStringLiteral("CHAR(%1)").arg(column.size);
    case ColumnType::Integer:
        return QStringLiteral("INTEGER");
    case ColumnType::Date:
        // SQLite keeps dates as ISO text 'YYYY-MM-DD'; the declared type documents it.
        return QStringLiteral("DATE");
    case ColumnType::Numeric:
        return QStringLiteral("NUMERIC(%1,%2)").arg(column.size).arg(column.scale);
    }
    return QString();
}

QString createTable(const TableDef &table, SqlDialect dialect)
{
    QStringList lines;
    for (const ColumnDef &c : table.columns) {
        // Firebird requires primary-key columns to be declared NOT NULL.
        const bool notNull = c.notNull || table.primaryKey.contains(c.name);
        lines << QStringLiteral("  %1 %2%3").arg(c.name, columnType(c, dialect),
                                                 notNull ? QStringLiteral(" NOT NULL") : QString());
    }
    if (!table.primaryKey.isEmpty()) {
        lines << QStringLiteral("  CONSTRAINT PK_%1 PRIMARY KEY (%2)")
                     .arg(table.name, table.primaryKey.join(QStringLiteral(", ")));
    }
    return QStringLiteral("CREATE TABLE %1 (\n%2\n)").arg(table.name, lines.join(QStringLiteral(",\n")));
}

QStringList createIndexes(const TableDef &table, SqlDialect dialect)
{
    Q_UNUSED(dialect)
    QStringList statements;
    for (const IndexDef &ix : table.indexes) {
        statements << QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                          .arg(ix.unique ? QStringLiteral("UNIQUE ") : QString(), ix.name, table.name,
                               ix.columns.join(QStringLiteral(", ")));
    }
    return statements;
}

QStringList createRoutines(SqlDialect dialect)
{
    switch (dialect) {
    case SqlDialect::SQLite:
        return {};
    case SqlDialect::PostgreSQL:
        return {QStringLiteral("CREATE OR REPLACE FUNCTION NVLSTR(A VARCHAR, B VARCHAR) RETURNS VARCHAR\n"
                               "LANGUAGE SQL IMMUTABLE AS 'SELECT COALESCE(A, B)'")};
    case SqlDialect::Firebird:
        return {QStringLiteral("CREATE OR ALTER FUNCTION NVLSTR (A VARCHAR(254), B VARCHAR(254))\n"
                               "RETURNS VARCHAR(254)\n"
                               "AS\n"
                               "BEGIN\n"
                               "  RETURN COALESCE(A, B);\n"
                               "END")};
    }
    return {};
}

int maxRowsPerInsert(const TableDef &table, SqlDialect dialect)
{
    if (dialect == SqlDialect::Firebird)
        return 1;
    // Keeps well under the smallest limit of bound values per statement (999 in old SQLite).
    const int columns = qMax(1, int(table.columns.size()));
    return qMax(1, qMin(64, 900 / columns));
}

QString insert(const TableDef &table, SqlDialect dialect, int rows)
{
    Q_UNUSED(dialect)
    QStringList marks;
    marks.fill(QStringLiteral("?"), table.columns.size());
    const QString tuple = QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
    QStringList tuples;
    tuples.fill(tuple, qMax(1, rows));
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
        .arg(table.name, table.columnNames().join(QStringLiteral(", ")), tuples.join(QLatin1Char(',')));
}

} // namespace SchemaDdl
