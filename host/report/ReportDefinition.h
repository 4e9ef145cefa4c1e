#pragma once

#include "SqlDialect.h"
#include "TParams.h"
#include "suite_export.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class QSqlRecord;

// A look given to a detail row, or to one of its cells, while a condition holds:
// "PCVARIACAO > 10" in red, the lowest price of a product in bold. when is an expression
// over the row and the run's parameters (see ReportExpression); colours are #RRGGBB, and
// an empty colour keeps the one the row would have.
struct SUITE_EXPORT ReportStyleRule
{
    QString when;
    QString color;
    QString background;
    bool bold = false;

    bool operator==(const ReportStyleRule &) const = default;
};

// A column of the report body: the query field it shows, its title, its width on paper
// (mm), its alignment and its format (see ReportFormat). visibleWhen is empty (always
// shown) or a condition "P_NAME=VALUE" over the run's parameters. A data-only column
// goes to the data outputs (CSV, XLSX) but not on paper or HTML, where a group header
// already shows its value.
struct SUITE_EXPORT ReportColumn
{
    QString field;
    QString title;
    double width = 20;
    QString align = QStringLiteral("left"); // left, right, center
    QString format = QStringLiteral("text");
    QString visibleWhen;
    bool dataOnly = false;
    QList<ReportStyleRule> styles; // the cell's own looks, over the row's

    Qt::Alignment alignment() const;
    // How a message names the column: by its title, or as untitled.
    QString label() const;
};

// A column or group level whose field the query does not return.
struct SUITE_EXPORT MissingField
{
    int column = -1; // index among the columns; -1 for a group level
    QString what;    // the column or group as a message names it
    QString field;
};

// A total under a column of a footer: count, sum, avg, min or max of that column's values.
struct SUITE_EXPORT ReportTotal
{
    QString column;
    QString op = QStringLiteral("sum");
};

// A grouping level: a new group starts when field changes. header and footer are text
// templates (ReportTemplate); the footer also shows totals under their columns.
// pageBreak: "" never, "always", or a condition "P_NAME=VALUE".
struct SUITE_EXPORT ReportGroup
{
    QString field;
    QString header;
    QString footer;
    QList<ReportTotal> totals;
    QString pageBreak;
};

// A line of the page header that tells which parameters the report ran with: label, a
// text template over the parameters and, optionally, a lookup query whose first value
// is shown after the text (the name of a branch or region).
struct SUITE_EXPORT ReportCriterion
{
    QString label;
    QString text;
    QString lookup;
};

// A parameter declared by the definition: its type and the value it has before the
// form fills it in.
struct SUITE_EXPORT ReportParamDecl
{
    QString name;
    TFieldType type = TFieldType::ftString;
    QVariant defaultValue;
};

// One report: what it selects (the query, with dialect variants), with which parameters,
// and how it is laid out (columns, groups, totals, page header and footer). Kept as a
// JSON file in the report directory.
class SUITE_EXPORT ReportDefinition
{
public:
    // The format this suite writes and the newest it reads. Files without a version are
    // of format 1 (columns, groups and totals, no styles) and read as they always did.
    static constexpr int currentFormat = 2;

    QString code;
    QString title;
    QString description;
    QString heading; // title line of each page (template over the parameters)
    QString footer;  // footer line of each page
    bool landscape = true;

    QString sql; // the main text, standard SQL
    QString sqlSqlite, sqlPg, sqlIb, sqlOracle, sqlMssql;

    QList<ReportParamDecl> params;
    QList<ReportCriterion> criteria;
    QList<ReportColumn> columns;
    QList<ReportStyleRule> rowStyles; // looks of whole detail rows, applied in order
    QList<ReportGroup> groups;
    QString summaryLabel; // the report's closing line (template; {@count} = rows)
    QList<ReportTotal> summaryTotals;

    // Reads a definition; raises ESuiteError naming the file and the cause.
    static ReportDefinition load(const QString &fileName);
    static ReportDefinition fromJson(const QByteArray &json, QString *error);
    QByteArray toJson() const;
    // Writes through a temporary file; raises ESuiteError with the cause.
    void save(const QString &fileName) const;

    // Raises ESuiteError when the definition cannot run (no query, no columns, a total
    // naming an unknown column, an unknown format ...).
    void validate() const;
    // The columns and group levels whose field is not among those a run of the query
    // returned (record), in the order they appear.
    QList<MissingField> missingFields(const QSqlRecord &record) const;
    // The style conditions that do not read against what the query returns and the run's
    // parameters: one line each, naming the rule and the place of the fault.
    QStringList styleProblems(const QSqlRecord &record, const QStringList &params) const;

    // The text that runs on a database of that dialect: its variant when set, else sql.
    QString sqlFor(SqlDialect dialect) const;
    // The parameters a run needs: the :NAME markers of the query first, then those that
    // the layout reads (heading, criteria and their lookups, visibility, page breaks).
    QStringList parameterNames(SqlDialect dialect) const;
    // Those parameters with their declared types and default values.
    TParams collectParams(SqlDialect dialect) const;
    const ReportParamDecl *declaration(const QString &name) const;

    // A condition "P_NAME=VALUE" (or "always"/"never") over the parameters; empty gives
    // whenEmpty.
    static bool conditionHolds(const QString &condition, const TParams &params, bool whenEmpty);
    static QString conditionParameter(const QString &condition);
};
