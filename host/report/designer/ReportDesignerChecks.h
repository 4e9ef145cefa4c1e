#pragma once

#include "data/TParams.h"
#include "report/ReportDefinition.h"
#include "report/ReportDefinitionStore.h"
#include "report/ReportExpression.h"
#include "report/designer/ReportQueryProbe.h"
#include "suite_export.h"

#include <QSqlRecord>
#include <QStringList>

// What the designer checks while the author types, against what the report's query
// returns and the report's parameters, with nothing run: an expression where it will
// print (its fault and the place of it in the text, for the editor to underline), a field
// name, and a whole definition before it is saved.
class SUITE_TEST_EXPORT ReportDesignerChecks
{
public:
    // Where an expression prints decides what it may read: every place reads the fields of
    // its row (a page's band, the page's first or last row); a band that closes a group or
    // the report also totals.
    enum class Place { DetailRow, PageBand, GroupHeader, ClosingBand };

    ReportDesignerChecks() = default;
    ReportDesignerChecks(const QSqlRecord &record, const QStringList &params,
                         const QList<ReportQueryField> &fields = {});
    static ReportDesignerChecks fromSample(const ReportQuerySample &sample, const TParams &params);
    static Place placeOf(ReportDefinition::BandKind kind);

    ExpressionError expression(const QString &text, Place place) const;
    // Empty when the query returns the field; else why not, in Portuguese.
    QString field(const QString &name) const;
    // Every fault of a definition, one line each naming its place: what validate() finds,
    // fields the query does not return, style conditions and band expressions that do not
    // read.
    QStringList definition(const ReportDefinition &definition) const;

    // The check saving uses on the session's database: the query is prepared and run with
    // params (no row read), then the definition is checked against what it returns. A query
    // that does not prepare is a fault too.
    static ReportDefinitionStore::Check forSession(const TParams &params);

private:
    ExpressionNames names(Place place) const;
    // The query's fields named where no row is read: the page's heading and footer lines
    // and the criteria.
    QStringList rowlessFields(const ReportDefinition &definition) const;

    QSqlRecord m_record;
    QStringList m_params;
    QList<ReportQueryField> m_fields;
};
