#pragma once

#include "data/SqlDialect.h"
#include "suite_export.h"

#include <QJsonObject>
#include <QString>

// A second text of a report's query for long lists. The main text suits every list but
// may have to read and sort all of a long one before its first row (the preview's first
// page waits for that); this one reads in the order of the list, so its first rows come
// at once, but it costs more than the main text on a short list. Before each run `count`
// (one number, over the main text's parameters) says which: `from` or more runs this text.
// It returns the same columns, rows and order as the main text, or it must not be given;
// it may add columns of its own for its order, which no output shows.
//
// Where the database cannot sort a few rows at a time (Firebird reads and sorts the whole
// result before the first row unless an index gives the order), the text may order by its
// leading columns only (`sorted_by`, what an index serves) and leave the rest to the run:
// each stretch of rows equal in those columns is sorted by `then_by` (column names of the
// result, ascending, nulls first) before it goes on. Neither given: the text's order is the
// report's.
//
// Where the text costs more than the main one over the whole list (Firebird walking an
// index reads the table in the index's order), `first_rows_only` names the databases on
// which only a run a person waits on (the preview; ReportRun::setFirstRowsSoon) takes it:
// files and printing read the main text there, without counting.
//
// In the definition file, beside the main text under "query":
//   "large_list": {"count": [...], "count_ib": [...], "from": 20000, "sql": [...], "sql_ib": [...],
//                  "sorted_by_ib": ["CDARVPROD"], "then_by_ib": ["ORDEMPRECO", "CDFORNECED"],
//                  "first_rows_only": ["ib"]}
struct SUITE_EXPORT ReportLargeList
{
    // One SQL text per database, as the main query keeps them: `main` runs wherever the
    // dialect has no text of its own; with no `main` either, that database always runs the
    // main query (its planner may need no second text, or allow none).
    struct SUITE_EXPORT Text
    {
        QString main, sqlite, pg, ib, oracle, mssql;

        QString forDialect(SqlDialect dialect) const;
        bool isEmpty() const;
        // Keys `prefix`, `prefix`_sqlite, _pg, _ib, _oracle and _mssql of o.
        static Text fromJson(const QJsonObject &o, const QString &prefix);
        void toJson(QJsonObject &o, const QString &prefix) const;
        bool operator==(const Text &) const = default;
    };

    Text count;
    qint64 from = 0;
    Text sql;
    Text sortedBy, thenBy; // one column name a line
    QStringList firstRowsOnly; // "sqlite", "pg", "ib", "oracle", "mssql"

    bool firstRowsOnlyOn(SqlDialect dialect) const;

    // The columns of sortedBy and thenBy for the dialect; both empty when the text's order
    // is the report's (either one missing counts as none).
    QStringList sortedByFor(SqlDialect dialect) const;
    QStringList thenByFor(SqlDialect dialect) const;

    bool isSet() const { return from > 0 && !count.isEmpty() && !sql.isEmpty(); }
    // Both texts of the dialect, or false when the main query always runs there.
    bool appliesTo(SqlDialect dialect) const;
    static ReportLargeList fromJson(const QJsonObject &o);
    QJsonObject toJson() const;
    bool operator==(const ReportLargeList &) const = default;
};
