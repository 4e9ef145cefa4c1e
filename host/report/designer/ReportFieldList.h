#pragma once

#include "data/TParams.h"
#include "report/designer/ReportQueryProbe.h"
#include "suite_export.h"

#include <QTreeWidget>

class QMimeData;
class ReportDefinition;

// What an author drags onto the page: the fields the report's query returns, with their
// types, and the report's parameters (P_/L_). A drag carries the name alone, as UTF-8,
// under mimeType; whoever takes the drop decides what element it makes.
class SUITE_TEST_EXPORT ReportFieldList : public QTreeWidget
{
    Q_OBJECT
public:
    static constexpr const char *mimeType = "application/x-suite-report-field";

    explicit ReportFieldList(QWidget *parent = nullptr);

    void setFields(const QList<ReportQueryField> &fields);
    void setParameters(const TParams &params);
    // Shown in place of the fields when the query cannot be read (what failed and why).
    void setProblem(const QString &message);

    // Reads the fields from the definition's query on the session's database (bounded as a
    // report run is); on a fault the list says why and the result is false.
    bool load(const ReportDefinition &definition, const TParams &params);

    QList<ReportQueryField> fields() const { return m_fields; }
    QStringList parameterNames() const { return m_params; }
    // The name a drag from this list carries; empty when the data is not one.
    static QString nameIn(const QMimeData *data);

signals:
    // A field or parameter double-clicked: its name.
    void nameActivated(const QString &name);

protected:
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QList<QTreeWidgetItem *> &items) const override;

private:
    QTreeWidgetItem *m_fieldRoot;
    QTreeWidgetItem *m_paramRoot;
    QList<ReportQueryField> m_fields;
    QStringList m_params;
};
