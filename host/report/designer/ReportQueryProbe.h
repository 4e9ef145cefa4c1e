#pragma once

#include "data/Database.h"
#include "data/SqlDialect.h"
#include "data/TParams.h"
#include "report/ReportExpression.h"
#include "suite_export.h"

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariantList>

class ReportDefinition;

// A field the query returns, as the designer lists it.
struct SUITE_TEST_EXPORT ReportQueryField
{
    QString name;
    ExpressionType type = ExpressionType::Any;
    // The format the field gets where it is dropped (see ReportFormat): by its type, "integer",
    // "money" or "number:N" for decimals (N from the column's scale, else from the first
    // rows), "date" or "datetime"; "text" for the rest.
    QString format = QStringLiteral("text");

    // "texto", "número", "data" ... as the field list shows it.
    QString typeName() const;
    static ExpressionType typeOf(const QMetaType &type);
};

// What one look at a report's query gave: the fields it returns (names and types from the
// prepared statement) and its first rows.
struct SUITE_TEST_EXPORT ReportQuerySample
{
    QSqlRecord record;
    QList<QVariantList> rows;
    // The types the statement declares for its columns, where the database says (SQLite,
    // whose driver gives text for a DATE column); empty otherwise.
    QStringList declaredTypes;

    QList<ReportQueryField> fields() const;

private:
    QString formatOf(int column, ExpressionType type) const;
};

// Runs a report's query for the designer, bounded as a report run is: on a connection of
// its own (the report user, read-only), with the session's time limit on the statement,
// the parameters bound, and reading no more than the rows asked for.
namespace ReportQueryProbe {

// The query of the definition for that dialect, with params; raises EDatabaseError (the
// query does not prepare or fails) or ESuiteError (not one SELECT) with the cause.
SUITE_TEST_EXPORT ReportQuerySample sample(const ReportDefinition &definition, const TParams &params, SqlDialect dialect,
                                      const DbConfig &config, int seconds, int maxRows);
// The same on the session's database, as report runs reach it, with its time limit.
SUITE_TEST_EXPORT ReportQuerySample sample(const ReportDefinition &definition, const TParams &params, int maxRows);
} // namespace ReportQueryProbe
