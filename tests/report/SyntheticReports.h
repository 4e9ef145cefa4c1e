#pragma once

#include "report/ReportDefinition.h"

#include <QDir>
#include <QString>

// Report definitions made for a test, on any of the three databases: a run of N numbered
// lines, and a query that never gives its first row.
namespace SyntheticReports {

inline ReportColumn column(const QString &field, const QString &format, double width)
{
    ReportColumn c;
    c.field = field;
    c.title = field;
    c.format = format;
    c.width = width;
    return c;
}

inline ReportDefinition base(const QString &title)
{
    ReportDefinition d;
    d.code = QStringLiteral("LPR077");
    d.title = title;
    d.columns << column(QStringLiteral("NR"), QStringLiteral("integer"), 20)
              << column(QStringLiteral("TEXTO"), QStringLiteral("text"), 80);
    ReportParamDecl n;
    n.name = QStringLiteral("P_LINHAS");
    n.type = TFieldType::ftInteger;
    n.defaultValue = 100;
    d.params << n;
    return d;
}

// "Linha 1" ... "Linha N", N from the parameter P_LINHAS.
inline ReportDefinition numbered(const QString &title)
{
    ReportDefinition d = base(title);
    d.sql = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < :P_LINHAS) "
                           "SELECT i AS NR, 'Linha ' || i AS TEXTO FROM n");
    d.sqlPg = QStringLiteral(
        "SELECT i AS NR, 'Linha ' || i AS TEXTO FROM generate_series(1, CAST(:P_LINHAS AS INTEGER)) AS g(i)");
    // Firebird stops recursion at 1024 levels: thousands of thousands, from three copies.
    d.sqlIb = QStringLiteral(
        "WITH RECURSIVE N(I) AS (SELECT 0 FROM RDB$DATABASE UNION ALL SELECT I + 1 FROM N WHERE I < 999) "
        "SELECT FIRST (CAST(:P_LINHAS AS INTEGER)) A.I * 1000000 + B.I * 1000 + C.I + 1 AS NR, "
        "'Linha ' || (A.I * 1000000 + B.I * 1000 + C.I + 1) AS TEXTO "
        "FROM N A CROSS JOIN N B CROSS JOIN N C");
    return d;
}

// A query that runs for minutes before its first row.
inline ReportDefinition endless(const QString &title)
{
    ReportDefinition d = base(title);
    d.sql = QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                           "SELECT MAX(x) AS NR, 'x' AS TEXTO FROM c WHERE :P_LINHAS > 0");
    d.sqlPg = QStringLiteral(
        "SELECT 1 AS NR, 'x' AS TEXTO FROM (SELECT pg_sleep(600)) s WHERE CAST(:P_LINHAS AS INTEGER) > 0");
    d.sqlIb = QStringLiteral("SELECT COUNT(*) AS NR, 'x' AS TEXTO FROM RDB$FIELDS A, RDB$FIELDS B, RDB$FIELDS C, "
                             "RDB$FIELDS D WHERE CAST(:P_LINHAS AS INTEGER) > 0");
    return d;
}

inline void save(const ReportDefinition &d, const QString &dir, const QString &name)
{
    d.save(QDir(dir).filePath(name));
}
} // namespace SyntheticReports
