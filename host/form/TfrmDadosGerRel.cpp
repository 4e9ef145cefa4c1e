#include "form/TfrmDadosGerRel.h"
#include "validation/Consiste.h"
#include "errors/EAbort.h"
#include "errors/ExceptionGuard.h"
#include "form/ControlInput.h"
#include "app/Interaction.h"
#include "app/ModuleRegistry.h"
#include "sets/ParameterSetBar.h"
#include "app/SaveLocation.h"
#include "app/Session.h"
#include "app/TApplication.h"
#include "form/TMessages.h"
#include "controls/FocusTracker.h"
#include "controls/RecentCompleter.h"
#include "report/ui/SavedNotice.h"
#include "report/TReportDesignerDialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *commandButton(QWidget *parent, const QString &name, const QString &text, QStyle::StandardPixmap icon,
                           const QString &hint)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace

TfrmDadosGerRel::TfrmDadosGerRel(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setProperty("suiteForm", true);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(3, 3, 3, 3);
    root->setSpacing(2);
    root->addWidget(buildCommandBar());
    root->addWidget(buildReportRow());
    panConjunto = new ParameterSetBar(this, this);
    root->addWidget(panConjunto);

    bvlSeparator = new QFrame(this);
    bvlSeparator->setObjectName(QStringLiteral("bvlSeparator"));
    bvlSeparator->setFrameShape(QFrame::HLine);
    bvlSeparator->setFrameShadow(QFrame::Sunken);
    root->addWidget(bvlSeparator);

    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName(QStringLiteral("grbDadosRel"));
    grbDadosRel->setFlat(true);
    root->addWidget(grbDadosRel, 1);
    lblStatus = new SavedNotice(this);
    root->addWidget(lblStatus);

    buildComponents();
    bindCommands();
}

QWidget *TfrmDadosGerRel::buildCommandBar()
{
    panMenu = new QFrame(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setFrameShape(QFrame::StyledPanel);
    auto *menu = new QHBoxLayout(panMenu);
    menu->setContentsMargins(2, 1, 6, 1);
    menu->setSpacing(2);
    sbtPreview = commandButton(panMenu, QStringLiteral("sbtPreview"), QStringLiteral("Visualizar"),
                               QStyle::SP_FileDialogContentsView, QStringLiteral("Visualizar o relatório"));
    sbtPrint = commandButton(panMenu, QStringLiteral("sbtPrint"), QStringLiteral("Imprimir"),
                             QStyle::SP_DialogApplyButton, QStringLiteral("Imprimir o relatório"));
    sbtSalvarComo = commandButton(panMenu, QStringLiteral("sbtSalvarComo"), QStringLiteral("Salvar"),
                                  QStyle::SP_DialogSaveButton, QStringLiteral("Salvar o relatório em arquivo"));
    sbtReportEdit = commandButton(panMenu, QStringLiteral("sbtReportEdit"), QStringLiteral("Editar"),
                                  QStyle::SP_FileDialogDetailedView, QStringLiteral("Editar a definição do relatório"));
    lblCodRel = new QLabel(panMenu);
    lblCodRel->setObjectName(QStringLiteral("lblCodRel"));
    QFont bold = lblCodRel->font();
    bold.setBold(true);
    lblCodRel->setFont(bold);
    menu->addWidget(sbtPreview);
    menu->addWidget(sbtPrint);
    menu->addWidget(sbtSalvarComo);
    menu->addWidget(sbtReportEdit);
    menu->addStretch(1);
    menu->addWidget(lblCodRel);
    return panMenu;
}

QWidget *TfrmDadosGerRel::buildReportRow()
{
    panRelat = new QFrame(this);
    panRelat->setObjectName(QStringLiteral("panRelat"));
    auto *relat = new QHBoxLayout(panRelat);
    relat->setContentsMargins(4, 0, 4, 0);
    lblRelat = new QLabel(QStringLiteral("Relatório"), panRelat);
    lblRelat->setObjectName(QStringLiteral("lblRelat"));
    QFont bold = lblRelat->font();
    bold.setBold(true);
    lblRelat->setFont(bold);
    cbbReportNames = new QComboBox(panRelat);
    cbbReportNames->setObjectName(QStringLiteral("cbbReportNames"));
    cbbReportNames->setFocusPolicy(Qt::ClickFocus);
    lblCodTela = new QLabel(panRelat);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont small = lblCodTela->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    lblCodTela->setFont(small);
    relat->addWidget(lblRelat);
    relat->addWidget(cbbReportNames, 1);
    relat->addWidget(lblCodTela);
    return panRelat;
}

void TfrmDadosGerRel::buildComponents()
{
    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));
    msgPadrao->setMessages({
        QStringLiteral(
            "Arq_Rel_Err|O arquivo contendo a definição do Relatório de código '%s' não foi encontrado no diretório '%s'."),
        QStringLiteral("NovoCaption|Título do Relatório"),
        QStringLiteral("NovoPrompt|Informe o título do relatório:"),
    });
    msgMensagens = new TMessages(this);
    msgMensagens->setObjectName(QStringLiteral("msgMensagens"));
    rpddPadrao = new TReportDesignerDialog(this);
    rpddPadrao->setObjectName(QStringLiteral("rpddPadrao"));
    rpddPadrao->SaveFileParts = [this] { return saveFileParts(); };
    // A report saved as new, renamed or removed in the designer shows in the list at once.
    connect(rpddPadrao, &TReportDesignerDialog::reportsChanged, this, &TfrmDadosGerRel::refreshReportNames);

    ppmSalvarRelatorio = new QMenu(this);
    ppmSalvarRelatorio->setObjectName(QStringLiteral("ppmSalvarRelatorio"));
    QAction *saveAs = ppmSalvarRelatorio->addAction(QStringLiteral("Salvar definição como novo relatório..."));
    connect(saveAs, &QAction::triggered, this, [this] { guarded([this] { ppmSalvarRelatorioClick(this); }); });
    sbtReportEdit->setMenu(ppmSalvarRelatorio);
    sbtReportEdit->setPopupMode(QToolButton::MenuButtonPopup);
}

void TfrmDadosGerRel::bindCommands()
{
    auto command = [this](QToolButton *button, void (TfrmDadosGerRel::*handler)(QObject *)) {
        connect(button, &QToolButton::clicked, this, [this, button, handler] {
            FocusTracker::Hold hold;
            guarded([&] { (this->*handler)(button); });
        });
    };
    command(sbtPreview, &TfrmDadosGerRel::sbtPreviewClick);
    command(sbtPrint, &TfrmDadosGerRel::sbtPrintClick);
    command(sbtSalvarComo, &TfrmDadosGerRel::sbtSalvarComoClick);
    command(sbtReportEdit, &TfrmDadosGerRel::sbtReportEditClick);
    commandKeys();
    // The codes of a report a person issues become their recent ones (a display-less run
    // leaves the person's preferences alone, as it does the last folder).
    connect(this, &TfrmDadosGerRel::commandStarted, this, [this](const QString &command) {
        if (command == QLatin1String("sbtReportEditClick") || !m_batchSaveFile.isEmpty())
            return;
        for (RecentCompleter *recent : findChildren<RecentCompleter *>())
            recent->rememberCurrent();
    });
}

void TfrmDadosGerRel::commandKeys()
{
    // The keys press the buttons, so a disabled command stays disabled and the focus stays
    // in the edit the person was in (the gates validate it first).
    const struct
    {
        QToolButton *button;
        QKeySequence keys;
    } bindings[] = {
        {sbtPreview, QKeySequence(Qt::Key_F5)},
        {sbtPrint, QKeySequence(Qt::CTRL | Qt::Key_P)},
        {sbtSalvarComo, QKeySequence(Qt::CTRL | Qt::Key_S)},
    };
    for (const auto &b : bindings) {
        auto *shortcut = new QShortcut(b.keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, b.button, &QToolButton::click);
        b.button->setToolTip(
            QStringLiteral("%1 (%2)").arg(b.button->toolTip(), b.keys.toString(QKeySequence::NativeText)));
    }
    // The report list is reached with Alt+R.
    lblRelat->setText(QStringLiteral("&Relatório"));
    lblRelat->setBuddy(cbbReportNames);
}

void TfrmDadosGerRel::keyPressEvent(QKeyEvent *event)
{
    // Enter reaches the form when the control did not use it: with the session's option it
    // moves on as Tab does.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && Session::current().enterComoTab) {
        focusNextChild();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

TfrmDadosGerRel::~TfrmDadosGerRel() = default;

void TfrmDadosGerRel::DoCreate()
{
    mergeModuleMessages();
    FormCreate(this);
}

void TfrmDadosGerRel::mergeModuleMessages()
{
    if (const ModuleInfo *module = ModuleRegistry::moduleOfScreen(screenCode()))
        if (!module->messagesFile.isEmpty())
            msgPadrao->mergeFile(module->messagesFile);
}

QString TfrmDadosGerRel::reportFolder() const
{
    const QString base = Session::current().reportDir;
    const ModuleInfo *module = ModuleRegistry::moduleOfScreen(screenCode());
    if (!module || module->reportFolder.isEmpty())
        return base;
    return QDir(base).filePath(module->reportFolder);
}

void TfrmDadosGerRel::setClientSize(int width, int height)
{
    // The row of the parameter sets comes on top of what the screen asks for itself.
    setFixedSize(width, height + panConjunto->sizeHint().height() + layout()->spacing());
}

void TfrmDadosGerRel::setFormStyle(TFormStyle style)
{
    m_formStyle = style;
    if (style == TFormStyle::fsNormal && m_subWindow) {
        // Out of the child-window area: the form becomes a window of its own again.
        QMdiSubWindow *sub = std::exchange(m_subWindow, nullptr);
        sub->setWidget(nullptr);
        setParent(nullptr);
        sub->deleteLater();
    }
}

void TfrmDadosGerRel::setMinimizeButton(bool on)
{
    m_minimizeButton = on;
}

void TfrmDadosGerRel::setWindowStateNormal()
{
    if (m_subWindow)
        m_subWindow->showNormal();
    else
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
}

QString TfrmDadosGerRel::currentReportName() const
{
    return cbbReportNames->currentText();
}

QStringList TfrmDadosGerRel::reportNames() const
{
    QStringList names;
    for (int i = 0; i < cbbReportNames->count(); ++i)
        names << cbbReportNames->itemText(i);
    return names;
}

bool TfrmDadosGerRel::chooseReport(const QString &title)
{
    const int index = cbbReportNames->findText(title);
    if (index < 0)
        return false;
    cbbReportNames->setCurrentIndex(index);
    return true;
}

QStringList TfrmDadosGerRel::unreadableReports() const
{
    return rpddPadrao->unreadable();
}

QString TfrmDadosGerRel::screenCode() const
{
    return lblCodTela->text();
}

TParams TfrmDadosGerRel::lastReportParams() const
{
    return rpddPadrao->lastParams();
}

ParameterSetStore &TfrmDadosGerRel::parameterSets() const
{
    return panConjunto->store();
}

void TfrmDadosGerRel::Show()
{
    QMdiArea *area = Application().mdiArea();
    if (m_formStyle == TFormStyle::fsMDIChild && area) {
        if (!m_subWindow) {
            m_subWindow = area->addSubWindow(this, Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                                                       | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
            m_subWindow->setAttribute(Qt::WA_DeleteOnClose, false);
            m_subWindow->setWindowTitle(windowTitle());
            m_subWindow->setWindowIcon(QIcon());
            connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *w) {
                if (w && w == m_subWindow && !m_closing)
                    activated();
            });
        }
        Qt::WindowFlags flags = m_subWindow->windowFlags();
        flags.setFlag(Qt::WindowMinimizeButtonHint, m_minimizeButton);
        m_subWindow->setWindowFlags(flags);
        m_subWindow->showNormal();
        QWidget::show();
        area->setActiveSubWindow(m_subWindow);
        m_subWindow->raise();
        return;
    }
    Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                            | Qt::MSWindowsFixedSizeDialogHint;
    flags.setFlag(Qt::WindowMinimizeButtonHint, m_minimizeButton);
    setWindowFlags(flags);
    show();
    raise();
    activateWindow();
}

void TfrmDadosGerRel::ShowModal()
{
    QPointer<TfrmDadosGerRel> self(this);
    setWindowModality(Qt::ApplicationModal);
    Show();
    QEventLoop loop;
    connect(this, &TfrmDadosGerRel::formClosed, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::DialogExec);
    if (self)
        setWindowModality(Qt::NonModal);
}

bool TfrmDadosGerRel::Close()
{
    if (m_subWindow)
        return m_subWindow->close();
    return close();
}

bool TfrmDadosGerRel::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate && !m_subWindow && !m_closing) {
        // The error box of a failed activation hands the activation back when it closes:
        // that is not the person coming back to the form, so it does not retry (which would
        // show the same box again, endlessly).
        if (std::exchange(m_activationFailed, false))
            return QWidget::event(e);
        m_activationFailed = !activated();
    }
    return QWidget::event(e);
}

bool TfrmDadosGerRel::activated()
{
    if (!guarded([this] {
            FormActivate(this);
            completeFirstActivation();
        }))
        return false;
    startParameterSets();
    return true;
}

void TfrmDadosGerRel::completeFirstActivation()
{
    if (!m_firstActivationPending)
        return;
    firstActivation();
    m_firstActivationPending = false;
}

void TfrmDadosGerRel::firstActivation() { }

bool TfrmDadosGerRel::outputAllowed(OutputCommand)
{
    return true;
}

QString TfrmDadosGerRel::firstActivationNotice(const QString &filled) const
{
    return QStringLiteral("A tela foi preenchida com %1. Confira os parâmetros e repita o comando.").arg(filled);
}

void TfrmDadosGerRel::beforeOutput(OutputCommand command)
{
    requireFirstActivation();
    if (!outputAllowed(command))
        throw EAbort();
}

void TfrmDadosGerRel::requireFirstActivation()
{
    if (m_firstActivationPending) {
        // Raises, with its one message, while what the defaults need is still away.
        completeFirstActivation();
        // Then what an opening gives next: the sets, and the default one over the defaults.
        startParameterSets();
        QString filled = QStringLiteral("os valores iniciais");
        if (const QString set = panConjunto->currentName(); !set.isEmpty())
            filled += QStringLiteral(" e o conjunto \"%1\"").arg(set);
        Interaction::instance()->showInfo(firstActivationNotice(filled));
        throw EAbort();
    }
}

void TfrmDadosGerRel::startParameterSets()
{
    if (std::exchange(m_setsStarted, true))
        return;
    guarded([this] {
        if (applyDefaultSets())
            panConjunto->applyDefault();
        else
            panConjunto->refresh();
    });
}

QList<TfrmDadosGerRel::Choice> TfrmDadosGerRel::parameterChoices() const
{
    return {};
}

QString TfrmDadosGerRel::choiceValue(const QString &control) const
{
    return ControlInput::valueOf(findChild<QWidget *>(control));
}

QStringList TfrmDadosGerRel::periodControls() const
{
    return {};
}

QDate TfrmDadosGerRel::periodToday() const
{
    return QDate::currentDate();
}

void TfrmDadosGerRel::closeEvent(QCloseEvent *e)
{
    TCloseAction action = TCloseAction::caHide;
    if (!guarded([&] { FormClose(this, action); })) {
        e->ignore();
        return;
    }
    switch (action) {
    case TCloseAction::caNone: e->ignore(); return;
    case TCloseAction::caMinimize:
        e->ignore();
        if (m_subWindow)
            m_subWindow->showMinimized();
        else
            showMinimized();
        return;
    case TCloseAction::caHide:
        e->accept();
        emit formClosed();
        return;
    case TCloseAction::caFree:
        e->accept();
        m_closing = true;
        emit formClosed();
        if (m_subWindow)
            m_subWindow->deleteLater();
        deleteLater();
        return;
    }
}

void TfrmDadosGerRel::FormCreate(QObject *)
{
    rpddPadrao->ReportDir = reportFolder();
    rpddPadrao->ReportCode = lblCodRel->text();
    cbbReportNames->clear();
    cbbReportNames->addItems(rpddPadrao->reportNames());
}

void TfrmDadosGerRel::FormActivate(QObject *) { }

void TfrmDadosGerRel::FormClose(QObject *, TCloseAction &Action)
{
    Action = TCloseAction::caFree;
}

void TfrmDadosGerRel::requireDefinition()
{
    if (!rpddPadrao->definitionFile(currentReportName()).isEmpty())
        return;
    QString text = msgPadrao->Msg(QStringLiteral("Arq_Rel_Err"));
    text.replace(text.indexOf(QLatin1String("%s")), 2, rpddPadrao->ReportCode);
    text.replace(text.indexOf(QLatin1String("%s")), 2, QDir::toNativeSeparators(rpddPadrao->ReportDir));
    Consiste::MensErro(text, true);
}

void TfrmDadosGerRel::sbtPreviewClick(QObject *Sender)
{
    beforeOutput(OutputCommand::Preview);
    emit commandStarted(QStringLiteral("sbtPreviewClick"), Sender);
    requireDefinition();
    rpddPadrao->Preview(this, currentReportName());
}

void TfrmDadosGerRel::sbtPrintClick(QObject *Sender)
{
    beforeOutput(OutputCommand::Print);
    emit commandStarted(QStringLiteral("sbtPrintClick"), Sender);
    requireDefinition();
    rpddPadrao->Print(this, currentReportName());
}

void TfrmDadosGerRel::sbtSalvarComoClick(QObject *Sender)
{
    beforeOutput(OutputCommand::Save);
    emit commandStarted(QStringLiteral("sbtSalvarComoClick"), Sender);
    requireDefinition();
    QString file = m_batchSaveFile;
    if (file.isEmpty()) {
        file =
            Interaction::instance()->saveFileName(this, svdSaveReport.Title, proposedSaveFile(), svdSaveReport.Filter);
        if (file.isEmpty())
            return;
    }
    svdSaveReport.FileName = file;
    rpddPadrao->SaveAs(this, currentReportName(), file);
    if (m_batchSaveFile.isEmpty()) {
        SaveLocation::remember(file);
        lblStatus->showSaved(file);
    }
}

QString TfrmDadosGerRel::proposedSaveFile()
{
    return SaveLocation::proposal(rpddPadrao->ReportCode, saveFileParts());
}

QStringList TfrmDadosGerRel::saveFileParts() const
{
    return QStringList();
}

void TfrmDadosGerRel::setBatchSaveFile(const QString &file)
{
    m_batchSaveFile = file;
    rpddPadrao->Batch = !file.isEmpty();
}

void TfrmDadosGerRel::sbtReportEditClick(QObject *Sender)
{
    beforeOutput(OutputCommand::Edit);
    emit commandStarted(QStringLiteral("sbtReportEditClick"), Sender);
    requireDefinition();
    rpddPadrao->Edit(this, currentReportName());
}

void TfrmDadosGerRel::ppmSalvarRelatorioClick(QObject *)
{
    requireDefinition();
    QString title = currentReportName();
    if (!Interaction::instance()->askText(this, msgPadrao->Msg(QStringLiteral("NovoCaption")),
                                          msgPadrao->Msg(QStringLiteral("NovoPrompt")), title))
        return;
    if (Consiste::EmptyString(title))
        return;
    rpddPadrao->SaveDefinitionAs(this, currentReportName(), title.trimmed());
    refreshReportNames(title.trimmed());
}

void TfrmDadosGerRel::refreshReportNames(const QString &chosen)
{
    const QString before = currentReportName();
    cbbReportNames->clear();
    cbbReportNames->addItems(rpddPadrao->reportNames());
    if (!chooseReport(chosen) && !chooseReport(before))
        cbbReportNames->setCurrentIndex(cbbReportNames->count() > 0 ? 0 : -1);
}
