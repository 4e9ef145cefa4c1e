#pragma once

#include "form/ReportScreen.h"
#include "suite_export.h"

#include <QDate>
#include <QList>
#include <QWidget>

class QComboBox;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QMdiSubWindow;
class QToolButton;
class ParameterSetBar;
class ParameterSetStore;
class SavedNotice;
class TMessages;
class TParams;
class TReportDesignerDialog;

enum class TFormStyle { fsNormal, fsMDIChild };
// The base form's output commands, as the check before them names them.
enum class OutputCommand { Preview, Print, Save, Edit };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// The save dialog of the base form: the file types a report can be saved as.
struct SUITE_EXPORT TSaveDialog
{
    QString Title = QStringLiteral("Salvar Relatório");
    QString Filter = QStringLiteral("PDF (*.pdf);;CSV - Planilha (*.csv);;Excel (*.xlsx);;HTML (*.html)");
    QString FileName;
};

// The suite's base report-parameter form: the frame (screen and report codes, command
// buttons, report list, parameter area) and the report commands. Descendants add their
// controls to grbDadosRel and override the handlers, calling the base versions.
class SUITE_EXPORT TfrmDadosGerRel : public QWidget, public ReportScreen
{
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(QWidget *parent = nullptr);
    ~TfrmDadosGerRel() override;

    // Lays the messages the screen's module declares over the base form's own, then runs
    // FormCreate; the application object calls it right after construction.
    void DoCreate();

    void setFormStyle(TFormStyle style);
    TFormStyle FormStyle() const { return m_formStyle; }
    void setMinimizeButton(bool on);
    bool hasMinimizeButton() const { return m_minimizeButton; }
    void setWindowStateNormal();

    // Shows the form: as a child window of the main window (fsMDIChild) or on its own.
    void Show();
    // Shows the form modally; returns when it has closed.
    void ShowModal();
    bool Close() override;
    QMdiSubWindow *subWindow() const { return m_subWindow; }

    // ReportScreen: the frame's codes and report list, and the hooks a descendant fills in.
    QWidget *widget() override { return this; }
    const QWidget *widget() const override { return this; }
    QString currentReportName() const override;
    // The code shown in lblCodTela.
    QString screenCode() const override;
    QStringList reportNames() const override;
    bool chooseReport(const QString &title) override;
    QStringList unreadableReports() const override;
    TParams lastReportParams() const override;
    ParameterSetStore &parameterSets() const override;
    // A descendant names the controls of its choices; none by default.
    QList<Choice> parameterChoices() const override;
    // ControlInput::valueOf the control; a screen answers for its pickers with their keys
    // (a JSON array).
    QString choiceValue(const QString &control) const override;
    // None by default; the weeks of a screen's dates, if any, follow them by its rules.
    QStringList periodControls() const override;
    // Today by default.
    QDate periodToday() const override;
    // What the proposed file name says after the report code when the person saves (a
    // branch, a period: SaveLocation::branchAndPeriod); nothing by default.
    virtual QStringList saveFileParts() const;

    virtual void FormCreate(QObject *Sender);
    virtual void FormActivate(QObject *Sender);
    virtual void FormClose(QObject *Sender, TCloseAction &Action);
    // The output commands: each completes a first activation still pending, then asks
    // outputAllowed, then runs the chosen report.
    virtual void sbtPreviewClick(QObject *Sender);
    virtual void sbtPrintClick(QObject *Sender);
    virtual void sbtSalvarComoClick(QObject *Sender);
    virtual void sbtReportEditClick(QObject *Sender);
    virtual void ppmSalvarRelatorioClick(QObject *Sender);

    // Client size of the frame (the parameter area grows to fill it, above the status line).
    void setClientSize(int width, int height);

    // Set by a display-less run: save-as writes here without asking, leaves the person's
    // last folder and recent values alone, and the report engine shows no dialog.
    void setBatchSaveFile(const QString &file) override;
    QString batchSaveFile() const override { return m_batchSaveFile; }

signals:
    void formClosed();
    // A base report command started (name of the handler, its Sender).
    void commandStarted(const QString &command, QObject *sender);

protected:
    // Components of the base form; its descendants fill grbDadosRel and use the rest.
    QLabel *lblCodTela;
    QFrame *panMenu;
    QLabel *lblCodRel;
    QToolButton *sbtPreview;
    QToolButton *sbtPrint;
    QToolButton *sbtSalvarComo;
    QToolButton *sbtReportEdit;
    QFrame *panRelat;
    QLabel *lblRelat;
    QComboBox *cbbReportNames;
    QGroupBox *grbDadosRel;
    QFrame *bvlSeparator;
    TMessages *msgPadrao;
    // The suite's second message table, kept for screens that hold texts apart from their
    // validation messages; the price list keeps all of its texts in msgPadrao.
    TMessages *msgMensagens;
    TReportDesignerDialog *rpddPadrao;
    TSaveDialog svdSaveReport;
    QMenu *ppmSalvarRelatorio;
    SavedNotice *lblStatus;       // where the last save went
    ParameterSetBar *panConjunto; // the screen's parameter sets

    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Raises the "definition not found" message when the chosen report has no file.
    void requireDefinition();

    // The check before an output command: raise (Consiste::MensErro) to stop it with a
    // message, return false to stop it without one. It runs on a form whose first
    // activation is complete. Everything is allowed by default.
    virtual bool outputAllowed(OutputCommand command);
    // What the first activation does after FormActivate: the screen's defaults. It runs once,
    // when the form is first activated; when it raises, it is run again at the next
    // activation or before the next output command (which then stops, so the person sees
    // the defaults before anything runs), each time as at an opening.
    virtual void firstActivation();
    bool firstActivationPending() const { return m_firstActivationPending; }
    // For anything that needs what the first activation reads (a list from the server): on a
    // form whose first activation failed, completes it and stops with the notice, as before a
    // command (raises its error, or EAbort); does nothing on a form whose opening completed.
    void requireFirstActivation();
    // What the person is told when a command completed the first activation; `filled`
    // names what went into the form (the defaults, the default set).
    virtual QString firstActivationNotice(const QString &filled) const;
    // Starts the screen's parameter sets (the list, then the default set applied) over the
    // screen's first-activation defaults; only the first call does anything. Called once the
    // first activation has completed.
    void startParameterSets();

private:
    // The frame, top to bottom: command buttons with the report code, the report list with
    // the screen code, then the non-visual components and the commands' wiring.
    QWidget *buildCommandBar();
    QWidget *buildReportRow();
    void buildComponents();
    void bindCommands();
    // F5 previews, Ctrl+P prints, Ctrl+S saves; Alt+R reaches the report list.
    void commandKeys();
    // Where the save dialog starts: the last folder and a name of the report code and the
    // screen's saveFileParts().
    QString proposedSaveFile();
    // Fills the report list again and picks chosen, else the report picked before, else
    // the first.
    void refreshReportNames(const QString &chosen);
    void mergeModuleMessages();
    // The session's report folder, or the folder under it that the screen's module names.
    QString reportFolder() const;
    // Runs FormActivate, and the first activation while it is pending, through the guard;
    // false when it ended in an exception.
    bool activated();
    void completeFirstActivation();
    // Before an output command: a pending first activation is completed (and the command
    // stopped), then outputAllowed is asked.
    void beforeOutput(OutputCommand command);

    TFormStyle m_formStyle = TFormStyle::fsNormal;
    bool m_minimizeButton = true;
    QMdiSubWindow *m_subWindow = nullptr;
    bool m_closing = false;
    bool m_activationFailed = false;
    bool m_firstActivationPending = true;
    bool m_setsStarted = false;
    QString m_batchSaveFile;
};
