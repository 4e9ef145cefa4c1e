#include "report/ui/ReportPreviewDialog.h"
#include "errors/EAbort.h"
#include "errors/ExceptionGuard.h"
#include "report/ui/SavedNotice.h"
#include "text/TextFold.h"
#include "report/output/PagePainter.h"
#include "report/PageStore.h"
#include "report/ReportFormat.h"
#include "report/ReportJob.h"
#include "report/ui/ReportPreviewView.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString count(qint64 n)
{
    return ReportFormat::number(double(n), 0);
}

const double zoomSteps[] = {0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};

} // namespace

ReportPreviewDialog::ReportPreviewDialog(const PageStore &store, ReportJob &job, const QString &title, QWidget *parent)
    : QDialog(parent), m_store(store), m_job(job)
{
    setWindowTitle(title);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setObjectName(QStringLiteral("ReportPreviewDialog"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_view = new ReportPreviewView(store, this);
    m_view->setObjectName(QStringLiteral("previewView"));
    buildToolBar();
    layout->addWidget(m_view, 1);

    auto *status = new QStatusBar(this);
    m_status = new QLabel(status);
    m_status->setObjectName(QStringLiteral("previewStatus"));
    status->addWidget(m_status, 1);
    m_saved = new SavedNotice(status);
    m_saved->setObjectName(QStringLiteral("previewSaved"));
    m_saved->hide();
    status->addWidget(m_saved, 1);
    m_cancel = new QPushButton(QStringLiteral("Cancelar"), status);
    m_cancel->setObjectName(QStringLiteral("previewCancel"));
    m_cancel->setToolTip(QStringLiteral("Interrompe a geração do relatório e fecha a visualização"));
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_job.cancel(); });
    status->addPermanentWidget(m_cancel);
    layout->addWidget(status);

    connect(m_view, &ReportPreviewView::currentPageChanged, this, [this](int page) {
        const QSignalBlocker block(m_pageBox);
        m_pageBox->setValue(page);
    });
    connect(m_view, &ReportPreviewView::zoomChanged, this, [this](double zoom) {
        const QSignalBlocker block(m_zoomBox);
        m_zoomBox->setEditText(QStringLiteral("%1%").arg(qRound(zoom * 100)));
    });
    m_poll.setInterval(50);
    connect(&m_poll, &QTimer::timeout, this, &ReportPreviewDialog::poll);
    m_poll.start();
    poll();
}

ReportPreviewDialog::~ReportPreviewDialog() = default;

void ReportPreviewDialog::showSaved(const QString &file)
{
    m_saved->showSaved(file);
    m_saved->show();
}

QString ReportPreviewDialog::savedFile() const
{
    return m_saved->savedFile();
}

void ReportPreviewDialog::buildToolBar()
{
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("previewToolBar"));
    bar->setIconSize(QSize(18, 18));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    layout()->addWidget(bar);
    addBarAction(bar, "document-save", QStyle::SP_DialogSaveButton, QStringLiteral("Salvar"),
                 QStringLiteral("Salvar o relatório em PDF, CSV, Excel ou HTML"), QKeySequence::Save,
                 [this] { runCommand(save); })
        ->setObjectName(QStringLiteral("previewSave"));
    addBarAction(bar, "document-print", QStyle::SP_CustomBase, QStringLiteral("Imprimir"),
                 QStringLiteral("Imprimir o relatório"), QKeySequence::Print, [this] { runCommand(print); })
        ->setObjectName(QStringLiteral("previewPrint"));
    bar->addSeparator();
    buildPageControls(bar);
    bar->addSeparator();
    buildZoomControls(bar);
    bar->addSeparator();
    buildFindControls(bar);
    bar->addSeparator();
    addBarAction(bar, "window-close", QStyle::SP_CustomBase, QStringLiteral("Fechar"),
                 QStringLiteral("Fechar a visualização"), QKeySequence(), [this] { reject(); });
}

QAction *ReportPreviewDialog::addBarAction(QToolBar *bar, const char *theme, QStyle::StandardPixmap fallback,
                                           const QString &text, const QString &tip, const QKeySequence &key,
                                           const std::function<void()> &slot)
{
    // Icon from the desktop's theme when there is one, text always.
    QIcon icon = QIcon::fromTheme(QLatin1String(theme));
    if (icon.isNull() && fallback != QStyle::SP_CustomBase)
        icon = style()->standardIcon(fallback);
    QAction *a = bar->addAction(icon, text);
    a->setShortcut(key);
    a->setToolTip(key.isEmpty() ? tip : QStringLiteral("%1 (%2)").arg(tip, key.toString(QKeySequence::NativeText)));
    connect(a, &QAction::triggered, this, slot);
    return a;
}

void ReportPreviewDialog::buildPageControls(QToolBar *bar)
{
    const auto iconOnly = [bar](QAction *a) {
        if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(a)))
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    };
    iconOnly(addBarAction(bar, "go-first", QStyle::SP_MediaSkipBackward, QStringLiteral("Primeira"),
                          QStringLiteral("Primeira página"), QKeySequence(Qt::CTRL | Qt::Key_Home),
                          [this] { showPage(1); }));
    iconOnly(addBarAction(bar, "go-previous", QStyle::SP_MediaSeekBackward, QStringLiteral("Anterior"),
                          QStringLiteral("Página anterior"), QKeySequence(Qt::Key_PageUp),
                          [this] { showPage(currentPage() - 1); }));
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setObjectName(QStringLiteral("previewPage"));
    m_pageBox->setRange(1, 1);
    m_pageBox->setKeyboardTracking(false);
    m_pageBox->setToolTip(QStringLiteral("Página a mostrar: digite o número e tecle Enter"));
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int page) { showPage(page); });
    bar->addWidget(new QLabel(QStringLiteral(" Página "), bar));
    bar->addWidget(m_pageBox);
    m_pageTotal = new QLabel(bar);
    m_pageTotal->setObjectName(QStringLiteral("previewPageTotal"));
    // Wide enough for a large count, so the bar does not shift while the count grows.
    m_pageTotal->setMinimumWidth(m_pageTotal->fontMetrics().horizontalAdvance(QStringLiteral(" de 9.999.999… ")));
    bar->addWidget(m_pageTotal);
    iconOnly(addBarAction(bar, "go-next", QStyle::SP_MediaSeekForward, QStringLiteral("Próxima"),
                          QStringLiteral("Próxima página"), QKeySequence(Qt::Key_PageDown),
                          [this] { showPage(currentPage() + 1); }));
    iconOnly(addBarAction(bar, "go-last", QStyle::SP_MediaSkipForward, QStringLiteral("Última"),
                          QStringLiteral("Última página"), QKeySequence(Qt::CTRL | Qt::Key_End),
                          [this] { showPage(m_store.pageCount()); }));
}

void ReportPreviewDialog::buildZoomControls(QToolBar *bar)
{
    addBarAction(bar, "zoom-out", QStyle::SP_CustomBase, QStringLiteral("−"), QStringLiteral("Reduzir"),
                 QKeySequence::ZoomOut, [this] {
                     m_view->setFit(ReportPreviewView::Fit::None);
                     m_view->setZoom(m_view->zoom() / 1.2);
                 });
    m_zoomBox = new QComboBox(bar);
    m_zoomBox->setObjectName(QStringLiteral("previewZoom"));
    m_zoomBox->addItem(QStringLiteral("Largura da página"));
    m_zoomBox->addItem(QStringLiteral("Página inteira"));
    for (double z : zoomSteps)
        m_zoomBox->addItem(QStringLiteral("%1%").arg(qRound(z * 100)));
    m_zoomBox->setToolTip(QStringLiteral("Zoom (também Ctrl + roda do mouse)"));
    connect(m_zoomBox, &QComboBox::activated, this, &ReportPreviewDialog::zoomChosen);
    bar->addWidget(m_zoomBox);
    addBarAction(bar, "zoom-in", QStyle::SP_CustomBase, QStringLiteral("+"), QStringLiteral("Ampliar"),
                 QKeySequence::ZoomIn, [this] {
                     m_view->setFit(ReportPreviewView::Fit::None);
                     m_view->setZoom(m_view->zoom() * 1.2);
                 });
}

void ReportPreviewDialog::buildFindControls(QToolBar *bar)
{
    m_findBox = new QLineEdit(bar);
    m_findBox->setObjectName(QStringLiteral("previewFind"));
    m_findBox->setPlaceholderText(QStringLiteral("Localizar (Ctrl+F)"));
    m_findBox->setClearButtonEnabled(true);
    m_findBox->setMaximumWidth(220);
    bar->addWidget(m_findBox);
    auto findNext = [this] { findAndSay(false); };
    connect(m_findBox, &QLineEdit::returnPressed, this, findNext);
    connect(m_findBox, &QLineEdit::textChanged, this, [this] { m_matchItem = -1; });
    addBarAction(bar, "go-down", QStyle::SP_CustomBase, QStringLiteral("Próximo"),
                 QStringLiteral("Localizar o próximo"), QKeySequence::FindNext, findNext);
    addBarAction(bar, "go-up", QStyle::SP_CustomBase, QStringLiteral("Anterior"),
                 QStringLiteral("Localizar o anterior"), QKeySequence::FindPrevious, [this] { findAndSay(true); });
    auto *focusFind = new QAction(this);
    focusFind->setShortcut(QKeySequence::Find);
    connect(focusFind, &QAction::triggered, this, [this] {
        m_findBox->setFocus(Qt::ShortcutFocusReason);
        m_findBox->selectAll();
    });
    addAction(focusFind);
}

void ReportPreviewDialog::findAndSay(bool backwards)
{
    const QString text = m_findBox->text();
    if (text.trimmed().isEmpty() || find(text, backwards))
        return;
    m_status->setText(m_store.isComplete()
                          ? QStringLiteral("\"%1\" não foi encontrado.").arg(text)
                          : QStringLiteral("\"%1\" não foi encontrado nas páginas geradas até agora.").arg(text));
}

void ReportPreviewDialog::zoomChosen(int index)
{
    if (index == 0)
        m_view->setFit(ReportPreviewView::Fit::Width);
    else if (index == 1)
        m_view->setFit(ReportPreviewView::Fit::Page);
    else {
        m_view->setFit(ReportPreviewView::Fit::None);
        m_view->setZoom(zoomSteps[index - 2]);
    }
}

int ReportPreviewDialog::currentPage() const
{
    return m_view->currentPage();
}

void ReportPreviewDialog::showPage(int page)
{
    m_view->showPage(page);
}

void ReportPreviewDialog::poll()
{
    const int pages = m_store.pageCount();
    const int total = m_store.finalCount();
    m_view->setPageCount(pages, total);
    m_pageBox->setMaximum(qMax(1, pages));
    m_pageTotal->setText(total > 0 ? QStringLiteral(" de %1 ").arg(count(total))
                                   : QStringLiteral(" de %1… ").arg(count(pages)));
    updateStatus();
    if (m_job.isFinished()) {
        m_poll.stop();
        m_cancel->hide();
        try {
            m_job.rethrow();
        } catch (...) {
            // The run stopped (cancelled, or failed): the runner reports why once the dialog is gone.
            m_runFailed = true;
            QDialog::reject();
        }
    }
}

void ReportPreviewDialog::updateStatus()
{
    const qint64 rows = m_job.rows();
    if (!m_job.isFinished())
        m_status->setText(QStringLiteral("Gerando as páginas... %1 página(s), %2 linha(s) até agora")
                              .arg(count(m_store.pageCount()), count(rows)));
    else
        m_status->setText(QStringLiteral("%1 página(s), %2 linha(s)").arg(count(m_store.finalCount()), count(rows)));
}

bool ReportPreviewDialog::find(const QString &text, bool backwards)
{
    const QString wanted = TextFold::fold(text.trimmed());
    const int pages = m_store.pageCount();
    if (wanted.isEmpty() || pages == 0)
        return false;
    int page = m_matchItem >= 0 ? m_matchPage : currentPage();
    int item = m_matchItem;
    for (int visited = 0; visited <= pages; ++visited) {
        if (visited > 0 && visited % 200 == 0) {
            // A long search says where it is and keeps the window drawn.
            m_status->setText(
                QStringLiteral("Procurando \"%1\"... página %2 de %3").arg(text.trimmed(), count(page), count(pages)));
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        const ReportPage content = m_store.page(page - 1);
        const int n = int(content.items.size());
        if (item < 0 && backwards)
            item = n;
        for (int i = backwards ? item - 1 : item + 1; i >= 0 && i < n; i += backwards ? -1 : 1) {
            const PageItem &candidate = content.items.at(i);
            if (candidate.kind == PageItem::Text && TextFold::fold(candidate.text).contains(wanted)) {
                m_matchPage = page;
                m_matchItem = i;
                m_view->setMatch(page, PagePainter::bounds(candidate));
                m_status->setText(QStringLiteral("Encontrado na página %1.").arg(page));
                return true;
            }
        }
        page = backwards ? (page == 1 ? pages : page - 1) : (page == pages ? 1 : page + 1);
        item = -1;
    }
    m_view->setMatch(0, QRectF());
    return false;
}

void ReportPreviewDialog::runCommand(const std::function<void(ReportPreviewDialog &)> &command)
{
    if (!command)
        return;
    guarded([&] { command(*this); });
}

void ReportPreviewDialog::closeEvent(QCloseEvent *event)
{
    m_job.cancel();
    QDialog::closeEvent(event);
}

void ReportPreviewDialog::reject()
{
    m_job.cancel();
    QDialog::reject();
}
