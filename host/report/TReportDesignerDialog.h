#pragma once

#include "data/TParams.h"
#include "suite_export.h"
#include "report/ReportDefinition.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class PageStore;
class QPrinter;
class QSqlRecord;
class QWidget;
class ReportFile;
class ReportJob;
class ReportPreviewDialog;
class ReportDesignerWindow;
struct DesignerHooks;
class ReportProgress;
class ReportRun;
class ReportSink;
struct PrintRequest;
struct ReportLimits;
struct ReportRunInfo;

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

    // Raised once per run, after the parameters are collected (declared types, default
    // values) and before any value is bound. flag starts false and is not read back.
    std::function<void(TParams &params, bool &flag)> BeforeGetQueryParams;

    // No dialogs at all (progress, print, preview): set by runs without a person.
    bool Batch = false;
    // What the save dialog's proposed name says after the report code (a branch, a
    // period), from the screen that runs the report; none by default.
    std::function<QStringList()> SaveFileParts;
    // Called while a run goes on (on the caller's thread) with the rows and pages done;
    // false cancels the run.
    std::function<bool(qint64 rows, int pages)> OnProgress;

    // Titles of the definitions of ReportCode, in file-name order.
    QStringList reportNames() const;
    // Path of the definition with that title; empty when missing.
    QString definitionFile(const QString &reportName) const;
    // Why each listed definition that cannot be read cannot be (the message loading it gives).
    QStringList unreadable() const;

    // The definition with that title as this session sees it (with the editor's changes);
    // raises ESuiteError when missing or unreadable.
    ReportDefinition definition(const QString &reportName) const;
    // Keeps a changed definition for the rest of the session (what the editor's OK does).
    void setDefinition(const QString &reportName, const ReportDefinition &definition);

    // Each raises ESuiteError with the cause (missing definition, database error ...);
    // a cancelled run raises EAbort.
    // The preview shows page 1 as soon as it is laid out and goes on laying out the rest.
    void Preview(QWidget *parent, const QString &reportName);
    // Asks for the printer (its range, copies and collation are honoured) and prints while
    // pages are laid out. With no printer installed it offers to save a PDF instead, and it
    // asks before printing more than 200 pages.
    void Print(QWidget *parent, const QString &reportName);
    // Prints to a printer already set up, without asking (its range, copies, collation).
    void PrintTo(QPrinter &printer, const QString &reportName, int currentPage = 0);
    // Writes fileName, type by extension (pdf, csv, xlsx, html). The file appears only
    // when the run completes; a cancelled or failed run leaves what was there before.
    void SaveAs(QWidget *parent, const QString &reportName, const QString &fileName);
    // Opens the report designer on the definition (window-modal, returns at once); its
    // "Salvar" checks the definition against the query and keeps the changes.
    void Edit(QWidget *parent, const QString &reportName);
    // The same on a definition file of its own, with the definition's own parameter
    // defaults (no screen around it): "Salvar" writes the file. A file that is not there yet
    // opens as a blank report that "Salvar" writes there.
    ReportDesignerWindow *Design(QWidget *parent, const QString &fileName);
    // The editor of the query and the table's columns alone (window-modal, returns at
    // once); its OK keeps the changes.
    void EditColumns(QWidget *parent, const QString &reportName);
    // Saves the definition (as last edited) under a new title, in a new file beside it.
    void SaveDefinitionAs(QWidget *parent, const QString &reportName, const QString &newTitle);

    // Limits of every run (time, rows, file size); the session's unless set here.
    void setLimits(const ReportLimits &limits);
    ReportLimits limits() const;

    // The parameters the last run bound to its query (for --dump-params and the tests).
    TParams lastParams() const { return m_lastParams; }
    // Pages and rows of the last paged / any completed run.
    int lastPageCount() const { return m_lastPageCount; }
    qint64 lastRowCount() const { return m_lastRowCount; }

signals:
    // The designer changed which reports there are or their titles (saved as a new report,
    // renamed, removed, a title saved): chosen is the title to show picked in a list of
    // them, empty when the report being edited is gone.
    void reportsChanged(const QString &chosen);

protected:
    TParams m_lastParams;

private:
    struct Entry
    {
        QString file;
        QString title;     // as edited in this session, else as in the file
        QString fileTitle; // as in the file
    };
    QList<Entry> entries() const;
    // Collects the parameters and raises BeforeGetQueryParams.
    TParams queryParams(const ReportDefinition &definition);
    // The definition checked, its parameters collected and its header resolved.
    std::unique_ptr<ReportRun> startRun(const QString &reportName);
    // Whether a person is there to see dialogs: no Batch, and a real display.
    bool interactive() const;
    void runJob(ReportRun &run, ReportSink &sink, ReportProgress &progress, const ReportLimits &limits,
                const std::function<void()> &onTick = {});
    void saveRun(ReportRun &run, const QString &fileName, const QString &type, ReportProgress &progress);
    static QString creatorOf(const ReportRun &run);

    // Printing.
    static constexpr int longPrint = 200; // pages above which printing asks first
    bool confirmLongPrint(QWidget *parent, int sheets, bool known) const;
    bool offerPdfInstead(QWidget *parent, const QString &reportName,
                         const std::function<void(const QString &)> &savePdf);
    bool askPrinter(QWidget *parent, QPrinter &printer, const QString &title, bool currentPage) const;
    void setUpPrinter(QPrinter &printer, const ReportRunInfo &info) const;
    QString spoolPath() const;
    // Where the save dialog starts: the last folder, a name of the report, branch and period.
    QString proposedFile() const;
    void printRun(QWidget *parent, ReportRun &run, const PrintRequest &request, ReportProgress &progress);
    void printStore(QWidget *parent, const PageStore &store, const PrintRequest &request, ReportProgress &progress);
    void deliverPrint(ReportFile &spool, const PrintRequest &request, int selected, int pageCount);

    // The preview's own commands.
    void previewPrint(ReportPreviewDialog &dialog, const PageStore &store, ReportJob &job, const QString &reportName);
    void previewSave(ReportPreviewDialog &dialog, const PageStore &store, ReportJob &job, const QString &reportName);
    void savePreviewPdf(ReportPreviewDialog &dialog, const PageStore &store, ReportJob &job, const QString &fileName);
    void waitForLayout(QWidget *parent, ReportJob &job, const QString &title);

    // The editor's checks: the verdict shown by "Verificar consulta", and the fields that
    // OK refuses. Both run the query once with the screen's parameters.
    QString checkQuery(const ReportDefinition &definition);
    QList<MissingField> missingFields(const ReportDefinition &definition);
    QStringList expressionProblems(const ReportDefinition &definition);
    QSqlRecord queryRecord(const ReportDefinition &definition);
    // Refuses (with a message) a definition that does not pass the checks above.
    bool passesChecks(const ReportDefinition &definition, QWidget *parent);
    // Writes a definition under a new title in a new file of ReportDir; returns the file.
    QString saveNewDefinition(ReportDefinition definition, const QString &newTitle);
    // What the designer's commands do: "Salvar" keeps the definition for the screen, or
    // writes the file when writeFile (a definition opened on its own, or one saved as new).
    // With no file yet (a blank report), "Salvar" saves it as a new report.
    DesignerHooks designerHooks(QWidget *window, const QString &file, bool writeFile);
    // Asks the new report's title and writes it; returns the title (empty: not written) and
    // sets *file to where it went.
    QString saveAsNewReport(QWidget *window, ReportDefinition definition, QString *file);
    ReportDesignerWindow *openDesigner(QWidget *parent, const ReportDefinition &definition, const DesignerHooks &hooks);

    int m_lastPageCount = 0;
    qint64 m_lastRowCount = 0;
    std::unique_ptr<ReportLimits> m_limits;
};
