#include "report/designer/ReportDesignerWindow.h"
#include "report/ReportFormat.h"
#include "app/Interaction.h"
#include "errors/ESuiteError.h"
#include "report/designer/DesignerDocument.h"
#include "report/designer/DesignerEdits.h"
#include "report/designer/DesignerProperties.h"
#include "report/designer/DesignerScene.h"
#include "report/designer/DesignerTree.h"
#include "report/designer/DesignerView.h"
#include "report/designer/ReportFieldList.h"
#include "report/designer/ReportLivePreview.h"
#include "report/designer/ReportQueryEditor.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>
#include <QPointer>
#include <QScreen>
#include <QThreadPool>
#include <QTimer>
#include <QToolBar>
#include <QUndoStack>

namespace {

constexpr const char *elementsMime = "application/x-suite-report-elements";
// How long the author's typing in the query pauses before its fields are read again.
constexpr int queryPauseMs = 600;
// The size the designer asks for, and what a window manager adds around a window (a title
// bar and borders) before the window is shown and its frame known.
constexpr QSize preferredSize(1360, 940);
constexpr QSize frameAllowance(16, 40);

} // namespace

ReportDesignerWindow::ReportDesignerWindow(const ReportDefinition &definition, const DesignerHooks &hooks,
                                           QWidget *parent)
    : QMainWindow(parent), m_hooks(hooks), m_document(new DesignerDocument(definition, this)),
      m_scene(new DesignerScene(this)), m_view(new DesignerView(m_scene))
{
    setObjectName(QStringLiteral("ReportDesignerWindow"));
    setWindowTitle(QStringLiteral("Relatório - %1[*]").arg(definition.title));
    buildPage();
    buildDocks();
    buildMenus();
    connect(m_document, &DesignerDocument::changed, this, &ReportDesignerWindow::definitionChanged);
    connect(m_document->undoStack(), &QUndoStack::cleanChanged, this,
            [this](bool clean) { setWindowModified(!clean); });
    connect(m_scene, &QGraphicsScene::selectionChanged, this, &ReportDesignerWindow::sceneSelectionChanged);
    m_queryPause = new QTimer(this);
    m_queryPause->setSingleShot(true);
    m_queryPause->setInterval(queryPauseMs);
    connect(m_queryPause, &QTimer::timeout, this, &ReportDesignerWindow::refreshFields);
    refreshFields();
    m_preview->setDefinition(m_document->definition(), m_paramValues);
    m_scene->rebuild(m_document->definition());
    m_tree->rebuild(m_document->definition());
    m_properties->show({}, {}, {});
    const QScreen *where = parent ? parent->screen() : screen();
    resize(preferredSize.boundedTo(where->availableGeometry().size() - frameAllowance));
}

void ReportDesignerWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The whole width of the sheet at first; Ctrl+0 gives its true size.
    if (!std::exchange(m_shown, true)) {
        QTimer::singleShot(0, this, &ReportDesignerWindow::keepOnScreen);
        QTimer::singleShot(0, m_view, &DesignerView::fitWidth);
    }
}

void ReportDesignerWindow::keepOnScreen()
{
    // With its frame known now: wholly on the screen's free area, the task bar's excepted.
    const QRect free = screen()->availableGeometry();
    const QRect frame = frameGeometry();
    if (free.contains(frame))
        return;
    const QSize border = frame.size() - size();
    resize(size().boundedTo(free.size() - border));
    const QRect framed = frameGeometry();
    move(pos() + QPoint(std::clamp(framed.left(), free.left(), std::max(free.left(), free.right() + 1 - framed.width()))
                            - framed.left(),
                        std::clamp(framed.top(), free.top(), std::max(free.top(), free.bottom() + 1 - framed.height()))
                            - framed.top()));
}

ReportDesignerWindow::~ReportDesignerWindow()
{
    // The scene's items go after the panels that follow its selection.
    m_scene->disconnect(this);
}

const ReportDefinition &ReportDesignerWindow::definition() const
{
    return m_document->definition();
}

void ReportDesignerWindow::buildPage()
{
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabDesigner"));
    m_tabs->addTab(new DesignerPageArea(m_view, m_tabs), QStringLiteral("Página"));
    m_queryEditor = new ReportQueryEditor(m_tabs);
    m_queryEditor->setObjectName(QStringLiteral("edtConsulta"));
    m_queryEditor->setDefinition(m_document->definition());
    connect(m_queryEditor, &ReportQueryEditor::changed, this, &ReportDesignerWindow::queryEdited);
    connect(m_queryEditor, &ReportQueryEditor::fieldsRead, this, &ReportDesignerWindow::setFields);
    m_tabs->addTab(m_queryEditor, QStringLiteral("Consulta"));
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 0)
            refreshFields();
    });
    setCentralWidget(m_tabs);

    m_scene->moved = [this](const QList<ElementRef> &refs, double dx, double dy) {
        later([=, this] {
            m_document->change(QStringLiteral("Mover"),
                               [&](ReportDefinition &d) { DesignerEdits::moveElements(d, refs, dx, dy); });
        });
    };
    m_scene->resized = [this](const ElementRef &ref, const QRectF &rect) {
        later([=, this] {
            m_document->change(QStringLiteral("Redimensionar"),
                               [&](ReportDefinition &d) { DesignerEdits::setGeometry(d, ref, rect); });
        });
    };
    m_scene->bandResized = [this](const DesignerBand &band, double height) {
        later([=, this] {
            m_document->change(QStringLiteral("Altura da faixa"),
                               [&](ReportDefinition &d) { DesignerEdits::setBandHeight(d, band, height); });
        });
    };
    m_scene->columnResized = [this](int column, double dx, bool free) {
        later([=, this] {
            m_document->change(QStringLiteral("Largura da coluna"), [&](ReportDefinition &d) {
                DesignerEdits::dragColumnEdge(d, column, dx, m_scene->contentWidthMm(), !free);
            });
            select({}, {column});
        });
    };
    connect(m_view, &DesignerView::nudged, this, &ReportDesignerWindow::nudge);
    connect(m_view, &DesignerView::dropped, this, &ReportDesignerWindow::drop);
}

void ReportDesignerWindow::buildDocks()
{
    setDockNestingEnabled(true);
    m_fieldsDock = new QDockWidget(QStringLiteral("Campos"), this);
    m_fieldsDock->setObjectName(QStringLiteral("dockCampos"));
    m_fieldList = new ReportFieldList(m_fieldsDock);
    m_fieldsDock->setWidget(m_fieldList);
    addDockWidget(Qt::LeftDockWidgetArea, m_fieldsDock);

    auto *treeDock = new QDockWidget(QStringLiteral("Estrutura"), this);
    treeDock->setObjectName(QStringLiteral("dockEstrutura"));
    m_tree = new DesignerTree(treeDock);
    treeDock->setWidget(m_tree);
    addDockWidget(Qt::LeftDockWidgetArea, treeDock);
    connect(m_tree, &DesignerTree::picked, this,
            [this](const QList<ElementRef> &e, const QList<int> &c, const QList<DesignerBand> &b) { select(e, c, b); });

    auto *propertiesDock = new QDockWidget(QStringLiteral("Propriedades"), this);
    propertiesDock->setObjectName(QStringLiteral("dockPropriedades"));
    m_properties = new DesignerProperties(m_document, propertiesDock);
    m_properties->names = [this](const DesignerBand &band) { return namesFor(band); };
    m_properties->fields = [this] {
        QStringList names;
        for (const ReportQueryField &f : std::as_const(m_fields))
            names << f.name;
        return names;
    };
    m_properties->pickImage = [this](QByteArray &bytes, QString &mime) { return pickImage(bytes, mime); };
    propertiesDock->setWidget(m_properties);
    addDockWidget(Qt::RightDockWidgetArea, propertiesDock);

    m_previewDock = new QDockWidget(QStringLiteral("Visualização"), this);
    m_previewDock->setObjectName(QStringLiteral("dockVisualizacao"));
    m_preview = new ReportLivePreview(m_previewDock);
    m_previewDock->setWidget(m_preview);
    addDockWidget(Qt::RightDockWidgetArea, m_previewDock);
    splitDockWidget(propertiesDock, m_previewDock, Qt::Horizontal);
    // Wide enough for a field's name and type and for the properties' labels beside their
    // values; the page takes what is left (1366 pixels across leave it about 500).
    resizeDocks({m_fieldsDock, propertiesDock, m_previewDock}, {235, 290, 300}, Qt::Horizontal);

    m_zoomLabel = new QLabel(this);
    statusBar()->addPermanentWidget(m_zoomLabel);
    connect(m_view, &DesignerView::zoomChanged, this,
            [this](double zoom) { m_zoomLabel->setText(QStringLiteral("Zoom: %1%").arg(qRound(zoom * 100))); });
    m_zoomLabel->setText(QStringLiteral("Zoom: %1%").arg(qRound(m_view->zoom() * 100)));
}

void ReportDesignerWindow::buildMenus()
{
    QMenu *report = menuBar()->addMenu(QStringLiteral("&Relatório"));
    QToolBar *bar = addToolBar(QStringLiteral("Relatório"));
    bar->setObjectName(QStringLiteral("barRelatorio"));
    QAction *blank = report->addAction(QStringLiteral("Novo relatório"), QKeySequence::New, this,
                                       [this] { m_hooks.newReport(m_document->definition()); });
    blank->setEnabled(bool(m_hooks.newReport));
    report->addSeparator();
    QAction *save = report->addAction(QStringLiteral("Salvar"), QKeySequence::Save, this,
                                      &ReportDesignerWindow::saveDefinition);
    save->setEnabled(bool(m_hooks.save));
    bar->addAction(save);
    report->addAction(QStringLiteral("Salvar como novo relatório..."), this, [this] { runSave(m_hooks.saveAsNew); })
        ->setEnabled(bool(m_hooks.saveAsNew));
    report->addAction(QStringLiteral("Renomear..."), this, &ReportDesignerWindow::renameReport)
        ->setEnabled(bool(m_hooks.rename));
    report->addAction(QStringLiteral("Excluir o relatório"), this, &ReportDesignerWindow::removeReport)
        ->setEnabled(bool(m_hooks.remove));
    report->addSeparator();
    auto *orientation = new QActionGroup(this);
    for (const bool landscape : {true, false}) {
        QAction *a = report->addAction(landscape ? QStringLiteral("Paisagem") : QStringLiteral("Retrato"));
        a->setCheckable(true);
        a->setChecked(m_document->definition().landscape == landscape);
        orientation->addAction(a);
        connect(a, &QAction::triggered, this, [this, landscape] {
            m_document->change(QStringLiteral("Orientação"), [&](ReportDefinition &d) { d.landscape = landscape; });
        });
        connect(m_document, &DesignerDocument::changed, a,
                [this, a, landscape] { a->setChecked(m_document->definition().landscape == landscape); });
    }
    report->addSeparator();
    QAction *close = report->addAction(QStringLiteral("Fechar"), this, &QWidget::close);
    close->setShortcut(Qt::Key_Escape);
    close->setShortcutContext(Qt::WindowShortcut);

    buildEditMenu(menuBar()->addMenu(QStringLiteral("&Editar")));
    buildInsertMenu(menuBar()->addMenu(QStringLiteral("&Inserir")));
    buildArrangeMenu(menuBar()->addMenu(QStringLiteral("&Organizar")));
    buildViewMenu(menuBar()->addMenu(QStringLiteral("E&xibir")));
    bar->addSeparator();
    for (QMenu *menu : menuBar()->findChildren<QMenu *>())
        for (QAction *a : menu->actions())
            if (a->property("onToolBar").toBool())
                bar->addAction(a);
}

void ReportDesignerWindow::buildEditMenu(QMenu *menu)
{
    QUndoStack *stack = m_document->undoStack();
    QAction *undo = stack->createUndoAction(this, QStringLiteral("Desfazer"));
    undo->setShortcut(QKeySequence::Undo);
    undo->setProperty("onToolBar", true);
    QAction *redo = stack->createRedoAction(this, QStringLiteral("Refazer"));
    // Ctrl+Y as well as the platform's own (Ctrl+Shift+Z on Linux): authors come with either habit.
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    if (!redoKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_Y)))
        redoKeys << QKeySequence(Qt::CTRL | Qt::Key_Y);
    redo->setShortcuts(redoKeys);
    redo->setProperty("onToolBar", true);
    // On the toolbar their text stays put ("Desfazer Mover" would push the buttons after
    // them sideways at every edit, under the author's pointer); the step is in the tip.
    undo->setIconText(QStringLiteral("Desfazer"));
    redo->setIconText(QStringLiteral("Refazer"));
    const auto tip = [](QAction *a) {
        a->setToolTip(QStringLiteral("%1 (%2)").arg(a->text(), a->shortcut().toString(QKeySequence::NativeText)));
    };
    tip(undo);
    tip(redo);
    connect(stack, &QUndoStack::undoTextChanged, undo, [undo, tip] { tip(undo); });
    connect(stack, &QUndoStack::redoTextChanged, redo, [redo, tip] { tip(redo); });
    menu->addAction(undo);
    menu->addAction(redo);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Copiar"), QKeySequence::Copy, this, &ReportDesignerWindow::copySelection);
    menu->addAction(QStringLiteral("Colar"), QKeySequence::Paste, this, &ReportDesignerWindow::paste);
    menu->addAction(QStringLiteral("Recortar"), QKeySequence::Cut, this, [this] {
        copySelection();
        deleteSelection();
    });
    QAction *remove = menu->addAction(QStringLiteral("Excluir seleção"), this, &ReportDesignerWindow::deleteSelection);
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_view->addAction(remove);
    menu->addAction(QStringLiteral("Selecionar tudo na faixa"), QKeySequence::SelectAll, this, [this] {
        const DesignerBand band = targetBand();
        QList<ElementRef> all;
        if (const ReportBand *b = band.in(m_document->definition()))
            for (int i = 0; i < b->elements.size(); ++i)
                all << ElementRef{band, i};
        select(all);
    });
}

void ReportDesignerWindow::buildInsertMenu(QMenu *menu)
{
    const std::pair<QString, ReportElement::Kind> kinds[] = {{QStringLiteral("Texto"), ReportElement::Kind::Text},
                                                             {QStringLiteral("Campo"), ReportElement::Kind::Field},
                                                             {QStringLiteral("Linha"), ReportElement::Kind::Line},
                                                             {QStringLiteral("Retângulo"), ReportElement::Kind::Rect},
                                                             {QStringLiteral("Imagem..."), ReportElement::Kind::Image}};
    for (const auto &[text, kind] : kinds) {
        QAction *a = menu->addAction(text, this, [this, kind] { insertElement(kind); });
        a->setProperty("onToolBar", true);
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("Grupo..."), this, &ReportDesignerWindow::addGroup);
    menu->addAction(QStringLiteral("Coluna..."), this, &ReportDesignerWindow::addColumn);
}

void ReportDesignerWindow::buildArrangeMenu(QMenu *menu)
{
    const std::pair<QString, DesignerEdits::Edge> edges[] = {
        {QStringLiteral("Alinhar à esquerda"), DesignerEdits::Edge::Left},
        {QStringLiteral("Alinhar à direita"), DesignerEdits::Edge::Right},
        {QStringLiteral("Alinhar ao topo"), DesignerEdits::Edge::Top},
        {QStringLiteral("Alinhar à base"), DesignerEdits::Edge::Bottom},
        {QStringLiteral("Centralizar na horizontal"), DesignerEdits::Edge::HCenter},
        {QStringLiteral("Centralizar na vertical"), DesignerEdits::Edge::VCenter}};
    for (const auto &[text, edge] : edges)
        menu->addAction(text, this, [this, edge] { alignSelection(int(edge)); });
    menu->addAction(QStringLiteral("Distribuir na horizontal"), this, [this] { distributeSelection(true); });
    menu->addAction(QStringLiteral("Distribuir na vertical"), this, [this] { distributeSelection(false); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Trazer para a frente"), this, [this] { restack(true); });
    menu->addAction(QStringLiteral("Enviar para trás"), this, [this] { restack(false); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Mover o grupo para fora"), this, [this] { moveGroup(-1); });
    menu->addAction(QStringLiteral("Mover o grupo para dentro"), this, [this] { moveGroup(1); });
    menu->addAction(QStringLiteral("Mover a coluna para a esquerda"), this, [this] { moveColumn(-1); });
    menu->addAction(QStringLiteral("Mover a coluna para a direita"), this, [this] { moveColumn(1); });
}

void ReportDesignerWindow::buildViewMenu(QMenu *menu)
{
    menu->addAction(QStringLiteral("Ampliar"), QKeySequence::ZoomIn, this,
                    [this] { m_view->setZoom(m_view->zoom() * 1.25); });
    menu->addAction(QStringLiteral("Reduzir"), QKeySequence::ZoomOut, this,
                    [this] { m_view->setZoom(m_view->zoom() * 0.8); });
    menu->addAction(QStringLiteral("Tamanho real"), QKeySequence(Qt::CTRL | Qt::Key_0), this,
                    [this] { m_view->setZoom(1.0); });
    menu->addAction(QStringLiteral("Ajustar à largura"), this, [this] { m_view->fitWidth(); });
    menu->addSeparator();
    menu->addAction(m_fieldsDock->toggleViewAction());
    menu->addAction(m_previewDock->toggleViewAction());
}

void ReportDesignerWindow::later(const std::function<void()> &work)
{
    // The page is drawn again after a change; a change asked for from inside its own mouse
    // handling waits until that handling is over.
    QTimer::singleShot(0, this, work);
}

void ReportDesignerWindow::refreshParams()
{
    m_paramValues = m_hooks.params ? m_hooks.params(m_document->definition()) : TParams();
    QStringList names;
    for (int i = 0; i < m_paramValues.Count(); ++i)
        names << m_paramValues[i].Name();
    m_queryEditor->setParams(m_paramValues);
    if (names == m_params && !m_params.isEmpty())
        return;
    m_params = names;
    m_fieldList->setParameters(m_paramValues);
}

void ReportDesignerWindow::refreshFields()
{
    m_queryPause->stop();
    refreshParams();
    if (!m_hooks.querySample) {
        setFields({});
        return;
    }
    const int run = ++m_fieldsAsked;
    const QPointer<ReportDesignerWindow> self(this);
    QThreadPool::globalInstance()->start(
        [self, run, probe = m_hooks.querySample, d = m_document->definition(), params = m_paramValues] {
            QList<ReportQueryField> fields;
            QString error;
            try {
                fields = probe(d, params).fields();
            } catch (const ESuiteError &e) {
                error = e.message();
            } catch (const std::exception &e) {
                error = QString::fromLocal8Bit(e.what());
            }
            QMetaObject::invokeMethod(
                qApp, [self, run, fields, error] {
                    if (self)
                        self->fieldsArrived(run, fields, error);
                },
                Qt::QueuedConnection);
        });
}

bool ReportDesignerWindow::readingFields() const
{
    // A pause in the typing is waited for as well: the fields are read once it is over.
    return m_fieldsAsked != m_fieldsRead || m_queryPause->isActive();
}

void ReportDesignerWindow::fieldsArrived(int run, const QList<ReportQueryField> &fields, const QString &error)
{
    // Only the last read counts: the query may have changed while an earlier one ran.
    if (run != m_fieldsAsked)
        return;
    m_fieldsRead = run;
    if (error.isEmpty()) {
        setFields(fields);
        return;
    }
    m_fields.clear();
    const QString message = QStringLiteral("A consulta não pôde ser executada: %1").arg(error);
    m_fieldList->setProblem(message);
    statusBar()->showMessage(message);
}

void ReportDesignerWindow::setFields(const QList<ReportQueryField> &fields)
{
    m_fields = fields;
    m_fieldList->setFields(fields);
    // The query runs now: what the status bar said of an earlier text no longer holds.
    statusBar()->clearMessage();
}

ExpressionNames ReportDesignerWindow::namesFor(const DesignerBand &band) const
{
    ExpressionNames names;
    // Every band reads a row (a page's, its first or last); the bands that close a group or
    // the report also read totals.
    for (const ReportQueryField &f : m_fields) {
        names.fields << f.name;
        names.fieldTypes << f.type;
    }
    names.params = m_params;
    names.totalsAllowed = band.kind == DesignerBand::GroupFooter || band.kind == DesignerBand::Summary;
    return names;
}

void ReportDesignerWindow::queryEdited()
{
    m_document->change(QStringLiteral("Alterar a consulta"), [&](ReportDefinition &d) {
        m_queryEditor->applyTo(d);
    }, QStringLiteral("sql"));
    // The fields, and what the status bar says of the query, follow the text once the
    // typing pauses.
    m_queryPause->start();
}

void ReportDesignerWindow::definitionChanged()
{
    const ReportDefinition &d = m_document->definition();
    // The parameters are the ones the query names: a query typed or changed names others.
    refreshParams();
    setWindowTitle(QStringLiteral("Relatório - %1[*]").arg(d.title));
    // What was selected may be gone (undo of an insert): keep only what still exists.
    QList<ElementRef> elements;
    for (const ElementRef &ref : std::as_const(m_elements))
        if (ref.in(d))
            elements << ref;
    QList<int> columns;
    for (int c : std::as_const(m_columns))
        if (c < d.columns.size())
            columns << c;
    QList<DesignerBand> bands;
    for (const DesignerBand &b : std::as_const(m_bands))
        if (!b.isGroupBand() || b.level < d.groups.size())
            bands << b;
    const bool same = elements == m_elements && columns == m_columns && bands == m_bands;
    m_selecting = true;
    m_scene->rebuild(d);
    m_tree->rebuild(d);
    m_selecting = false;
    select(elements, columns, bands);
    if (same)
        m_properties->refresh();
    // The query's tabs follow an undo; while the author types there they already agree.
    ReportDefinition shown = d;
    m_queryEditor->applyTo(shown);
    if (shown.sql != d.sql || shown.sqlSqlite != d.sqlSqlite || shown.sqlPg != d.sqlPg || shown.sqlIb != d.sqlIb
        || shown.sqlOracle != d.sqlOracle || shown.sqlMssql != d.sqlMssql)
        m_queryEditor->setDefinition(d);
    m_preview->setDefinition(d, m_paramValues);
    emit definitionEdited(d);
}

void ReportDesignerWindow::select(const QList<ElementRef> &elements, const QList<int> &columns,
                                  const QList<DesignerBand> &bands)
{
    const bool changed = elements != m_elements || columns != m_columns || bands != m_bands || !m_properties->widget();
    m_elements = elements;
    m_columns = columns;
    m_bands = bands;
    m_selecting = true;
    m_scene->select(elements, columns, bands);
    m_tree->select(elements, columns, bands);
    m_selecting = false;
    if (changed)
        m_properties->show(elements, columns, bands);
}

void ReportDesignerWindow::sceneSelectionChanged()
{
    if (m_selecting)
        return;
    select(m_scene->selectedElements(), m_scene->selectedColumns(), m_scene->selectedBands());
}

DesignerBand ReportDesignerWindow::targetBand() const
{
    for (const DesignerBand &b : m_bands)
        if (b.holdsElements())
            return b;
    if (!m_elements.isEmpty())
        return m_elements.first().band;
    return DesignerBand{DesignerBand::PageHeader, -1};
}

void ReportDesignerWindow::drop(const DesignerBand &band, QPointF atMm, const QString &what)
{
    // A parameter comes as its name (or as an expression, "=:P_NAME"): a text that shows it.
    const bool parameter = m_params.contains(what, Qt::CaseInsensitive);
    if (what.startsWith(QLatin1Char('=')) || parameter) {
        const QString expression = parameter ? QStringLiteral(":") + what : what.mid(1);
        ElementRef ref;
        m_document->change(QStringLiteral("Inserir parâmetro"), [&](ReportDefinition &d) {
            ref = DesignerEdits::dropExpression(d, band, atMm, expression);
        });
        select({ref});
        return;
    }
    DesignerEdits::DropResult result;
    m_document->change(QStringLiteral("Inserir campo %1").arg(what), [&](ReportDefinition &d) {
        result = DesignerEdits::dropField(d, band, atMm, what, m_scene->contentWidthMm());
        giveFieldFormat(d, result, what);
    });
    if (result.column >= 0)
        select({}, {result.column});
    else
        select({result.element});
    m_view->setFocus();
}

void ReportDesignerWindow::giveFieldFormat(ReportDefinition &d, const DesignerEdits::DropResult &dropped,
                                           const QString &field) const
{
    // A field shows as its type reads: a price as money, a count as an integer, a date as a
    // date; numbers to the right, where their digits line up.
    for (const ReportQueryField &f : m_fields) {
        if (f.name.compare(field, Qt::CaseInsensitive) != 0)
            continue;
        const bool number = ReportFormat::isNumeric(f.format);
        if (dropped.column >= 0 && dropped.column < d.columns.size()) {
            d.columns[dropped.column].format = f.format;
            if (number)
                d.columns[dropped.column].align = QStringLiteral("right");
        } else if (ReportElement *e = dropped.element.in(d)) {
            e->format = f.format;
            if (number)
                e->align = QStringLiteral("right");
        }
        return;
    }
}

void ReportDesignerWindow::insertElement(ReportElement::Kind kind)
{
    ReportElement e;
    e.kind = kind;
    e.x = 2;
    e.y = 1;
    switch (kind) {
    case ReportElement::Kind::Text: e.text = QStringLiteral("Texto"); break;
    case ReportElement::Kind::Field:
        e.field = m_fields.isEmpty() ? QString() : m_fields.first().name;
        e.format = m_fields.isEmpty() ? e.format : m_fields.first().format;
        break;
    case ReportElement::Kind::Line: e.height = 0; e.width = 60; break;
    case ReportElement::Kind::Rect: e.width = 40; e.height = 10; break;
    case ReportElement::Kind::Image:
        if (!pickImage(e.image, e.mime))
            return;
        e.name = QStringLiteral("Logotipo");
        e.width = 30;
        e.height = 12;
        break;
    }
    ElementRef ref;
    const DesignerBand band = targetBand();
    m_document->change(QStringLiteral("Inserir elemento"),
                       [&](ReportDefinition &d) { ref = DesignerEdits::addElement(d, band, e); });
    select({ref});
}

bool ReportDesignerWindow::pickImage(QByteArray &bytes, QString &mime)
{
    const QString file = Interaction::instance()->openFileName(this, QStringLiteral("Imagem"),
                                                               QStringLiteral("Imagens (*.png *.jpg *.jpeg *.svg)"));
    if (file.isEmpty())
        return false;
    QFile in(file);
    // A logo of megabytes would make every definition and PDF carry it.
    constexpr qint64 maxBytes = 1 << 20;
    if (!in.open(QIODevice::ReadOnly) || in.size() > maxBytes) {
        Interaction::instance()->showError(
            in.isOpen() ? QStringLiteral("A imagem '%1' tem %2 KB; use uma imagem de até 1024 KB.").arg(file).arg(in.size() >> 10)
                        : QStringLiteral("Não foi possível ler a imagem '%1': %2.").arg(file, in.errorString()));
        return false;
    }
    bytes = in.readAll();
    const QString suffix = QFileInfo(file).suffix().toLower();
    mime = suffix == QLatin1String("png")   ? QStringLiteral("image/png")
           : suffix == QLatin1String("svg") ? QStringLiteral("image/svg+xml")
                                            : QStringLiteral("image/jpeg");
    return true;
}

void ReportDesignerWindow::deleteSelection()
{
    const QList<ElementRef> elements = m_elements;
    QList<int> columns = m_columns;
    const QList<DesignerBand> bands = m_bands;
    m_document->change(QStringLiteral("Excluir"), [&](ReportDefinition &d) {
        DesignerEdits::removeElements(d, elements);
        std::sort(columns.begin(), columns.end(), std::greater<>());
        for (int c : columns)
            DesignerEdits::removeColumn(d, c);
        if (elements.isEmpty() && columns.isEmpty())
            for (const DesignerBand &b : bands) {
                if (b.isGroupBand())
                    DesignerEdits::removeGroup(d, b.level);
                else if (ReportBand *band = b.in(d))
                    *band = ReportBand();
            }
    });
    select({});
}

void ReportDesignerWindow::copySelection()
{
    if (m_elements.isEmpty())
        return;
    QJsonArray array;
    for (const ElementRef &ref : std::as_const(m_elements))
        if (const ReportElement *e = ref.in(m_document->definition()))
            array.append(e->toJson());
    const DesignerBand band = m_elements.first().band;
    const QJsonObject o{{QStringLiteral("band"), int(band.kind)},
                        {QStringLiteral("level"), band.level},
                        {QStringLiteral("elements"), array}};
    auto *data = new QMimeData;
    data->setData(QLatin1String(elementsMime), QJsonDocument(o).toJson(QJsonDocument::Compact));
    QApplication::clipboard()->setMimeData(data);
}

void ReportDesignerWindow::paste()
{
    const QMimeData *data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(QLatin1String(elementsMime)))
        return;
    const QJsonObject o = QJsonDocument::fromJson(data->data(QLatin1String(elementsMime))).object();
    QList<ReportElement> elements;
    QStringList problems;
    for (const QJsonValue &v : o.value(QStringLiteral("elements")).toArray())
        elements << ReportElement::fromJson(v.toObject(), problems);
    DesignerBand band{DesignerBand::Kind(o.value(QStringLiteral("band")).toInt()),
                      o.value(QStringLiteral("level")).toInt(-1)};
    if (!m_bands.isEmpty() || !m_elements.isEmpty() || !band.in(m_document->definition()))
        band = targetBand();
    QList<ElementRef> pasted;
    m_document->change(QStringLiteral("Colar"), [&](ReportDefinition &d) {
        pasted = DesignerEdits::paste(d, band, elements, QPointF(2, 2));
    });
    select(pasted);
}

void ReportDesignerWindow::nudge(double dxMm, double dyMm)
{
    const QList<ElementRef> refs = m_elements;
    if (refs.isEmpty())
        return;
    m_document->change(QStringLiteral("Mover"), [&](ReportDefinition &d) {
        DesignerEdits::moveElements(d, refs, dxMm, dyMm);
    }, QStringLiteral("nudge"));
}

void ReportDesignerWindow::alignSelection(int edge)
{
    const QList<ElementRef> refs = m_elements;
    m_document->change(QStringLiteral("Alinhar"),
                       [&](ReportDefinition &d) { DesignerEdits::align(d, refs, DesignerEdits::Edge(edge)); });
}

void ReportDesignerWindow::distributeSelection(bool horizontal)
{
    const QList<ElementRef> refs = m_elements;
    m_document->change(QStringLiteral("Distribuir"),
                       [&](ReportDefinition &d) { DesignerEdits::distribute(d, refs, horizontal); });
}

void ReportDesignerWindow::restack(bool toFront)
{
    if (m_elements.size() != 1)
        return;
    ElementRef ref = m_elements.first();
    m_document->change(toFront ? QStringLiteral("Trazer para a frente") : QStringLiteral("Enviar para trás"),
                       [&](ReportDefinition &d) { ref = DesignerEdits::restack(d, ref, toFront); });
    select({ref});
}

void ReportDesignerWindow::addGroup()
{
    if (m_document->definition().groups.size() >= ReportDefinition::maxGroupLevels) {
        Interaction::instance()->showInfo(QStringLiteral("O relatório já tem %1 níveis de grupo, o máximo que um "
                                                         "relatório aceita.")
                                              .arg(ReportDefinition::maxGroupLevels));
        return;
    }
    QString field = m_fields.isEmpty() ? QString() : m_fields.first().name;
    if (!Interaction::instance()->askText(this, QStringLiteral("Novo grupo"),
                                          QStringLiteral("Campo que define o grupo (uma quebra quando muda):"), field)
        || field.trimmed().isEmpty())
        return;
    m_document->change(QStringLiteral("Inserir grupo"),
                       [&](ReportDefinition &d) { DesignerEdits::addGroup(d, field.trimmed()); });
    select({}, {}, {DesignerBand{DesignerBand::GroupHeader, int(m_document->definition().groups.size()) - 1}});
}

void ReportDesignerWindow::addColumn()
{
    QString field = m_fields.isEmpty() ? QString() : m_fields.first().name;
    if (!Interaction::instance()->askText(this, QStringLiteral("Nova coluna"), QStringLiteral("Campo da coluna:"), field)
        || field.trimmed().isEmpty())
        return;
    int column = -1;
    m_document->change(QStringLiteral("Inserir coluna"), [&](ReportDefinition &d) {
        ReportColumn c;
        c.field = c.title = field.trimmed();
        column = DesignerEdits::addColumn(d, c, m_columns.isEmpty() ? -1 : m_columns.first() + 1);
    });
    select({}, {column});
}

void ReportDesignerWindow::moveGroup(int delta)
{
    for (const DesignerBand &b : std::as_const(m_bands))
        if (b.isGroupBand()) {
            const DesignerBand moved{b.kind, b.level + delta};
            if (m_document->change(QStringLiteral("Mover grupo"),
                                   [&](ReportDefinition &d) { DesignerEdits::moveGroup(d, b.level, delta); }))
                select({}, {}, {moved});
            return;
        }
}

void ReportDesignerWindow::moveColumn(int delta)
{
    if (m_columns.size() != 1)
        return;
    const int column = m_columns.first();
    if (m_document->change(QStringLiteral("Mover coluna"),
                           [&](ReportDefinition &d) { DesignerEdits::moveColumn(d, column, delta); }))
        select({}, {column + delta});
}

bool ReportDesignerWindow::runSave(const DesignerHooks::Save &hook)
{
    const QString title = hook ? hook(m_document->definition()) : QString();
    if (title.isEmpty())
        return false;
    takeTitle(title);
    m_document->markSaved();
    return true;
}

void ReportDesignerWindow::takeTitle(const QString &title)
{
    if (title == m_document->definition().title)
        return;
    // The file has the new title already: the title is no change still to be saved.
    const bool clean = !m_document->isModified();
    m_document->change(QStringLiteral("Renomear"), [&](ReportDefinition &d) {
        if (!d.title.isEmpty())
            d.heading.replace(d.title, title);
        d.title = title;
    });
    if (clean)
        m_document->markSaved();
}

void ReportDesignerWindow::renameReport()
{
    const QString title = m_hooks.rename ? m_hooks.rename(m_document->definition()) : QString();
    if (!title.isEmpty())
        takeTitle(title);
}

void ReportDesignerWindow::removeReport()
{
    if (!m_hooks.remove || !m_hooks.remove(m_document->definition()))
        return;
    // Nothing is left to save or to ask about.
    m_document->markSaved();
    close();
}

bool ReportDesignerWindow::saveDefinition()
{
    return runSave(m_hooks.save);
}

void ReportDesignerWindow::closeEvent(QCloseEvent *event)
{
    if (m_document->isModified()
        && !Interaction::instance()->confirmDiscard(this, windowTitle().remove(QStringLiteral("[*]")),
                                             QStringLiteral("O relatório tem alterações que não foram salvas.\n"
                                                            "Deseja fechar e descartá-las?"))) {
        event->ignore();
        return;
    }
    event->accept();
}
