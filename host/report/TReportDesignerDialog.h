#pragma once

#include "../TParams.h"
#include "../suite_export.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// The report runner of the base report form: finds the report definitions of a report
// code in the report directory, runs the chosen one (preview, print, save as) and edits
// it. Before it opens the report's query it collects the query's :NAME parameters and
// raises BeforeGetQueryParams.
class SUITE_EXPORT TReportDesignerDialog : public QObject
{
    Q_OBJECT
public:
    explicit TReportDesignerDialog(QObject *parent = nullptr);
    ~TReportDesignerDialog() override;

    QString ReportDir;
    QString ReportCode;

    std::function<void(TParams &params, bool &flag)> BeforeGetQueryParams;

    // Titles of the definitions of ReportCode, in file-name order.
    QStringList reportNames() const;
    // Path of the definition with that title; empty when missing.
    QString definitionFile(const QString &reportName) const;

    // Each raises ESuiteError with the cause (missing definition, database error ...);
    // a cancelled run raises EAbort.
    void Preview(QWidget *parent, const QString &reportName);
    void Print(QWidget *parent, const QString &reportName);
    // Writes fileName, type by extension (pdf, csv, xlsx, html).
    void SaveAs(QWidget *parent, const QString &reportName, const QString &fileName);
    void Edit(QWidget *parent, const QString &reportName);
    // Saves the definition (as last edited) under a new title, in a new file beside it.
    void SaveDefinitionAs(QWidget *parent, const QString &reportName, const QString &newTitle);

    // The parameters the last run bound to its query (for --dump-params and the tests).
    TParams lastParams() const { return m_lastParams; }

protected:
    TParams m_lastParams;
};
