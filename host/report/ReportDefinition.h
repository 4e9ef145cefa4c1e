#pragma once

#include "report/ReportElement.h"
#include "report/ReportLargeList.h"
#include "report/ReportMargins.h"
#include "data/SqlDialect.h"
#include "data/TParams.h"
#include "suite_export.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class QSqlRecord;
struct ExpressionNames;

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

    // What turns the printed columns' widths into their widths on paper, for a content
    // width in mm: the page's width shared in proportion when they fill it (fillWidth),
    // else 1, unless together they are wider than the page and are narrowed to fit it.
    // Data-only columns take no room.
    static double paperScale(const QList<ReportColumn> &columns, double contentWidthMm, bool fillWidth);
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
    // Whether a group that goes on over a page break shows its header again, marked
    // "(continuação)", at the top of the next page.
    bool repeatHeader = true;
    ReportBand headerBand; // printed under the header line, when the group opens
    ReportBand footerBand; // printed under the footer line; its totals are the group's
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
    // The newest format this suite reads. Files without a version are of format 1
    // (columns, groups and totals, no styles) and read as they always did; format 2 adds
    // styles, format 3 bands with elements. A file is written in the oldest format that
    // holds it, so a suite that would drop its bands refuses it instead.
    static constexpr int currentFormat = 3;
    int formatNeeded() const;
    // Levels of grouping a report may have: more than any list needs, few enough that the
    // headers and footers a row opens and closes stay a few lines.
    static constexpr int maxGroupLevels = 8;

    QString code;
    QString title;
    QString description;
    QString heading; // title line of each page (template over the parameters)
    QString footer;  // footer line of each page
    bool landscape = true;
    ReportMargins margins;
    // The columns stretch to the page's width in proportion to their widths (what every
    // report did before it could be chosen, so a file without the key does), or print at
    // the widths they give.
    bool columnsFillWidth = true;
    // The width the table and the bands have on the A4 sheet, between the margins (mm).
    double contentWidthMm() const;

    QString sql; // the main text, standard SQL
    QString sqlSqlite, sqlPg, sqlIb, sqlOracle, sqlMssql;
    // The text for long lists and the count that chooses it (unset: the main text always).
    ReportLargeList largeList;

    QList<ReportParamDecl> params;
    QList<ReportCriterion> criteria;
    QList<ReportColumn> columns;
    QList<ReportStyleRule> rowStyles; // looks of whole detail rows, applied in order
    QList<ReportGroup> groups;
    QString summaryLabel; // the report's closing line (template; {@count} = rows)
    QList<ReportTotal> summaryTotals;
    // Bands of elements laid over the fixed layout: under the page's header block, above
    // its footer line, after the summary line. Groups keep theirs in ReportGroup.
    ReportBand pageHeader, pageFooter, summaryBand;

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
    // The same for the expressions and style conditions of the bands' elements, naming the
    // band and the element.
    QStringList elementProblems(const QSqlRecord &record, const QStringList &params) const;
    // Each band with elements and how a message names it ("do rodapé do grupo 1"); level is
    // the group level or -1. Calls visit(band, where, kind, level).
    enum class BandKind { PageHeader, PageFooter, GroupHeader, GroupFooter, Summary };
    template<typename Visit> void forEachBand(Visit visit) const
    {
        visit(pageHeader, QStringLiteral("do cabeçalho da página"), BandKind::PageHeader, -1);
        visit(pageFooter, QStringLiteral("do rodapé da página"), BandKind::PageFooter, -1);
        for (qsizetype g = 0; g < groups.size(); ++g) {
            visit(groups.at(g).headerBand, QStringLiteral("do cabeçalho do grupo %1").arg(g + 1), BandKind::GroupHeader,
                  int(g));
            visit(groups.at(g).footerBand, QStringLiteral("do rodapé do grupo %1").arg(g + 1), BandKind::GroupFooter,
                  int(g));
        }
        visit(summaryBand, QStringLiteral("do resumo"), BandKind::Summary, -1);
    }
    // What the expressions of a band may read: the fields of its row (a page's header reads
    // the page's first row, its footer the last) and the parameters; the bands that close a
    // group or the report also totals.
    static ExpressionNames elementNames(BandKind kind, const QSqlRecord &record, const QStringList &params);

    // The text that runs on a database of that dialect: its variant when set, else sql.
    QString sqlFor(SqlDialect dialect) const;
    // The count that chooses between the texts on that dialect, or empty when the main
    // text always runs there; and the text for long lists.
    QString largeListCountFor(SqlDialect dialect) const;
    QString largeListSqlFor(SqlDialect dialect) const;
    // The parameters a run needs: the :NAME markers of the query first, then those that
    // the layout reads (heading, criteria and their lookups, visibility, page breaks,
    // the bands' elements).
    QStringList parameterNames(SqlDialect dialect) const;
    // Those parameters with their declared types and default values.
    TParams collectParams(SqlDialect dialect) const;
    const ReportParamDecl *declaration(const QString &name) const;

    // A condition "P_NAME=VALUE" (or "always"/"never") over the parameters; empty gives
    // whenEmpty.
    static bool conditionHolds(const QString &condition, const TParams &params, bool whenEmpty);
    static QString conditionParameter(const QString &condition);
};
