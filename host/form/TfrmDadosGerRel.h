#pragma once

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
class SUITE_EXPORT TfrmDadosGerRel : public QWidget
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
    bool Close();
    QMdiSubWindow *subWindow() const { return m_subWindow; }

    QString currentReportName() const;

    // The screen's code ("LPR07731"): the key of its parameter sets and recent values.
    QString screenCode() const;
    // The titles of the report list, and choosing one by its title; false when the list
    // has no such title.
    QStringList reportNames() const;
    bool chooseReport(const QString &title);
    // The parameters the report engine handed the last report run.
    TParams lastReportParams() const;
    // The screen's saved parameter sets.
    ParameterSetStore &parameterSets() const;

    // What the screen's parameter sets are made of. A descendant names the controls of its
    // choices in the order they are entered, each with the caption a person knows it by;
    // the period's date controls are not among them (periodControls).
    struct Choice
    {
        QString control;
        QString caption;
    };
    virtual QList<Choice> parameterChoices() const;
    // The value a set keeps of a choice: ControlInput::valueOf the control; a screen
    // answers for its pickers with their keys (a JSON array).
    virtual QString choiceValue(const QString &control) const;
    // The date controls of the screen's first and last day, or its one date (none: no
    // period); their weeks, if any, follow them by the screen's rules.
    virtual QStringList periodControls() const;
    // The day a relative period counts from (the processing date); today by default.
    virtual QDate periodToday() const;
    // What the proposed file name says after the report code when the person saves (a
    // branch, a period: SaveLocation::branchAndPeriod); nothing by default.
    virtual QStringList saveFileParts() const;

    // Whether a screen applies its default parameter set after its first activation (a
    // display-less run applies only the set it is given).
    static void setApplyDefaultSets(bool on);

    virtual void FormCreate(QObject *Sender);
    virtual void FormActivate(QObject *Sender);
    virtual void FormClose(QObject *Sender, TCloseAction &Action);
    virtual void sbtPreviewClick(QObject *Sender);
    virtual void sbtPrintClick(QObject *Sender);
    virtual void sbtSalvarComoClick(QObject *Sender);
    virtual void sbtReportEditClick(QObject *Sender);
    virtual void ppmSalvarRelatorioClick(QObject *Sender);

    // Client size of the frame (the parameter area grows to fill it, above the status line).
    void setClientSize(int width, int height);

    // Set by a display-less run: save-as writes here without asking, and leaves the
    // person's last folder and recent values alone.
    // A run without a person: the save goes to this file and the report engine shows no
    // dialog.
    void setBatchSaveFile(const QString &file);
    QString batchSaveFile() const { return m_batchSaveFile; }

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
    // Starts the screen's parameter sets (the list, then the default set applied) over the
    // screen's first-activation defaults; only the first call does anything. Called after
    // the first activation that ends normally; a screen that completes its first
    // activation elsewhere (a retry from a command) calls it then.
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
    void mergeModuleMessages();
    // The session's report folder, or the folder under it that the screen's module names.
    QString reportFolder() const;
    // Runs FormActivate through the guard; false when it ended in an exception.
    bool activated();

    TFormStyle m_formStyle = TFormStyle::fsNormal;
    bool m_minimizeButton = true;
    QMdiSubWindow *m_subWindow = nullptr;
    bool m_closing = false;
    bool m_activationFailed = false;
    bool m_setsStarted = false;
    QString m_batchSaveFile;
};
