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
