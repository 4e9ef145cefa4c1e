#pragma once

#include <QString>

// The databases the suite runs on.
enum class SqlDialect { SQLite, PostgreSQL, Firebird };

inline QString dialectName(SqlDialect d)
{
    switch (d) {
    case SqlDialect::SQLite: return QStringLiteral("SQLite");
    case SqlDialect::PostgreSQL: return QStringLiteral("PostgreSQL");
    case SqlDialect::Firebird: return QStringLiteral("Firebird");
    }
    return QString();
}

// The text a database of this dialect runs: its own variant when that holds more than
// blanks, else the common text. Every query kept with variants chooses this way.
inline QString textForDialect(SqlDialect d, const QString &common, const QString &sqlite, const QString &pg,
                              const QString &firebird)
{
    const QString &variant = d == SqlDialect::SQLite ? sqlite : d == SqlDialect::PostgreSQL ? pg : firebird;
    return variant.trimmed().isEmpty() ? common : variant;
}
