#include "report/designer/ReportLivePreview.h"
#include "app/Session.h"
#include "errors/EAbort.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "report/ReportRun.h"
#include "report/designer/ReportPageWidget.h"

#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QScrollArea>
#include <QVBoxLayout>
#include <functional>

namespace {

// Stops a run once page 1 is laid out, when the page count is not wanted.
struct FirstPageDone : EAbort
{ };

// Takes the pages of one run on the run's thread: hands page 1 over as soon as it is
// laid out and, at the end, the count.
class FirstPageSink : public PageSink
{
public:
    std::function<void(const ReportPage &, const PageSetup &)> onFirst;
    std::function<void(int)> onEnd;
    bool stopAfterFirst = false;

    void beginDocument(const PageSetup &setup) override { m_setup = setup; }
    void page(const ReportPage &page) override
    {
        if (page.number != 1)
            return;
        onFirst(page, m_setup);
        if (stopAfterFirst)
            throw FirstPageDone();
    }
    void endDocument(int pageCount) override { onEnd(pageCount); }

private:
    PageSetup m_setup;
};

} // namespace

struct ReportLivePreview::Run
{
    int generation = 0;
    std::unique_ptr<ReportRun> run;
    FirstPageSink pages;
    std::unique_ptr<ReportLayout> layout;
    std::unique_ptr<ReportJob> job;
    bool cancelled = false;
};

ReportLivePreview::ReportLivePreview(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("previewStatus"));
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("previewProblem"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setStyleSheet(QStringLiteral("QLabel { color: #A00000; background: #FFF0F0; border: 1px solid #E0A0A0; "
                                            "padding: 6px; }"));
    m_message->hide();
    m_page = new ReportPageWidget;
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_page);
    m_scroll->setWidgetResizable(true);
    m_scroll->setBackgroundRole(QPalette::Dark);
    layout->addWidget(m_status);
    layout->addWidget(m_message);
    layout->addWidget(m_scroll, 1);
    setStatus(QStringLiteral("Pré-visualização: nenhuma definição ainda."));
    // An interrupt that reaches a connection between two statements (while it opens, or
    // before the query starts) is lost: ask again until the run ends.
    m_recancel.setInterval(100);
    connect(&m_recancel, &QTimer::timeout, this, [this] {
        bool waiting = false;
        for (auto &run : m_runs)
            if (run->cancelled && !run->job->isFinished()) {
                run->job->cancel();
                waiting = true;
            }
        if (!waiting)
            m_recancel.stop();
    });
}

ReportLivePreview::~ReportLivePreview()
{
    for (auto &run : m_runs)
        run->job->cancel();
    m_runs.clear(); // each job waits for its thread
}

void ReportLivePreview::setConnection(const DbConfig &config, SqlDialect dialect)
{
    m_config = config;
    m_dialect = dialect;
    m_ownConnection = true;
}

bool ReportLivePreview::hasPage() const
{
    return m_page->hasPage();
}

ReportPage ReportLivePreview::page() const
{
    return m_page->page();
}

int ReportLivePreview::pageCount() const
{
    return m_page->pageCount();
}

void ReportLivePreview::setStatus(const QString &text)
{
    m_status->setText(text);
}

void ReportLivePreview::showProblem(const QString &message)
{
    m_problem = message;
    m_message->setText(QStringLiteral("A pré-visualização não pôde ser mostrada: %1").arg(message));
    m_message->show();
    m_page->clear();
    setStatus(QStringLiteral("Pré-visualização com erro: corrija a definição."));
    emit failed(message);
}

void ReportLivePreview::setDefinition(const ReportDefinition &definition, const TParams &params)
{
    ++m_generation;
    m_clock.start();
    m_pageShown = false;
    for (auto &run : m_runs) {
        if (!run->cancelled) {
            run->cancelled = true;
            run->job->cancel();
        }
    }
    if (!m_runs.empty())
        m_recancel.start();
    try {
        startRun(definition, params);
    } catch (const EAbort &) {
        // Nothing to show for a run stopped before it began.
    } catch (const ESuiteError &e) {
        showProblem(e.message());
    }
}

void ReportLivePreview::startRun(const ReportDefinition &definition, const TParams &params)
{
    const DbConfig config = m_ownConnection ? m_config : Session::current().reportDb(dtmDBGeral::config());
    const SqlDialect dialect = m_ownConnection ? m_dialect : dtmDBGeral::dialect();
    auto run = std::make_unique<Run>();
    run->generation = m_generation;
    run->run = std::make_unique<ReportRun>(definition, params, dialect, QSqlDatabase());
    run->run->prepare(); // a definition that cannot run says so before any statement
    run->run->setFirstRowsSoon(true);
    run->layout = std::make_unique<ReportLayout>(run->pages);
    run->job = std::make_unique<ReportJob>(*run->run, config, ReportLimits::fromSession());
    run->pages.stopAfterFirst = !m_countPages;
    const QPointer<ReportLivePreview> self(this);
    const int generation = m_generation;
    run->pages.onFirst = [self, generation](const ReportPage &page, const PageSetup &setup) {
        QMetaObject::invokeMethod(
            self,
            [self, generation, page, setup] {
                if (self)
                    self->firstPage(generation, page, setup);
            },
            Qt::QueuedConnection);
    };
    run->pages.onEnd = [self, generation](int pageCount) {
        QMetaObject::invokeMethod(
            self,
            [self, generation, pageCount] {
                if (self)
                    self->lastPage(generation, pageCount);
            },
            Qt::QueuedConnection);
    };
    Run *raw = run.get();
    connect(run->job.get(), &ReportJob::finished, this, [this, raw] { runEnded(raw); });
    setStatus(QStringLiteral("Atualizando a pré-visualização…"));
    m_runs.push_back(std::move(run));
    ++m_started;
    raw->job->start(*raw->layout);
}

void ReportLivePreview::firstPage(int generation, const ReportPage &page, const PageSetup &setup)
{
    if (generation != m_generation)
        return;
    m_problem.clear();
    m_message->hide();
    m_pageShown = true;
    m_page->setPage(page, setup, 0);
    const qint64 ms = m_clock.elapsed();
    setStatus(m_countPages ? QStringLiteral("Página 1 (%1 ms); contando as páginas…").arg(ms)
                           : QStringLiteral("Página 1 (%1 ms).").arg(ms));
    emit pageShown(ms);
}

void ReportLivePreview::lastPage(int generation, int pageCount)
{
    if (generation != m_generation)
        return;
    m_page->setPageCount(pageCount);
    setStatus(QStringLiteral("Página 1 de %1.").arg(pageCount));
    emit pageCountKnown(pageCount);
}

void ReportLivePreview::runEnded(Run *raw)
{
    ++m_ended;
    const bool current = raw->generation == m_generation && !raw->cancelled;
    try {
        raw->job->rethrow();
    } catch (const FirstPageDone &) {
    } catch (const EAbort &) {
        if (raw->cancelled)
            ++m_cancelled;
    } catch (const ESuiteError &e) {
        // Past page 1 (the count, a row limit) a fault only leaves the count unknown.
        if (current && !m_pageShown)
            showProblem(e.message());
        else if (current)
            setStatus(QStringLiteral("Página 1 (a contagem de páginas foi interrompida)."));
    } catch (const std::exception &e) {
        if (current && !m_pageShown)
            showProblem(QString::fromLocal8Bit(e.what()));
    }
    // The job emitted from its own slot: let it return before it goes.
    QMetaObject::invokeMethod(
        this,
        [this, raw] {
            m_runs.remove_if([raw](const std::unique_ptr<Run> &r) { return r.get() == raw; });
            if (m_runs.empty())
                emit idle();
        },
        Qt::QueuedConnection);
}
