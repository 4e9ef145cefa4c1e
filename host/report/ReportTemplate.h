#pragma once

#include "data/TParams.h"
#include "suite_export.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

class QSqlRecord;

// A text of a report definition with placeholders in braces:
//   {FIELD}        a field of the current row      {:P_NAME}   a parameter of the run
//   {@count}       rows of the group (footers)
// each optionally followed by formats, applied in turn: {DTVALINI|date},
// {:P_CDPRODFIN|trimright:Z|default:último}. Besides the ReportFormat formats there are
// "list" (a list string read as "Todos", "nenhum" or its keys), "map:K=V;K2=V2",
// "trimright:C", "default:text" and "upper". Anything else in braces is copied as is.
class SUITE_TEST_EXPORT ReportTemplate
{
public:
    ReportTemplate() = default;

    // Parameters a text refers to, in order.
    static QStringList parameterNames(const QString &text);
    // Fields a text refers to ({FIELD}), in order.
    static QStringList fieldNames(const QString &text);
    // Expands a text that refers to parameters only.
    static QString expandParams(const QString &text, const TParams &params);
    // Prepares a text against the fields of a query; raises ESuiteError for a field the
    // query does not return.
    static ReportTemplate compile(const QString &text, const TParams &params, const QSqlRecord &fields);

    QString expand(const QVariantList &row, qint64 count = 0) const;
    bool isEmpty() const { return m_segments.isEmpty(); }

    // One value through a chain of formats.
    static QString applyFormats(const QVariant &value, const QStringList &formats);

private:
    struct Segment
    {
        enum Kind { Literal, Field, Count } kind = Literal;
        QString text;
        int index = -1;
        QStringList formats;
    };
    QList<Segment> m_segments;
};
