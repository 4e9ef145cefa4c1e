#include "report/ReportJob.h"
#include "errors/EAbort.h"
#include "app/Session.h"
#include "report/ReportConnection.h"
#include "report/ReportFormat.h"
#include "report/ui/ReportProgress.h"
#include "report/ReportRun.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QSet>
#include <QSettings>

ReportLimits ReportLimits::fromFile(const QString &file)
{
    ReportLimits limits;
    if (file.isEmpty() || !QFileInfo::exists(file))
        return limits;
    limits.seconds = int(Session::integer(file, QStringLiteral("Relatorios/TempoLimite"), limits.seconds, 1, 24 * 3600));
    limits.rows = Session::integer(file, QStringLiteral("Relatorios/LimiteLinhas"), limits.rows, 1, 1'000'000'000);
    limits.fileBytes = Session::integer(file, QStringLiteral("Relatorios/LimiteArquivoMB"), limits.fileBytes >> 20, 1,
                                        1 << 20)
                       << 20;
    return limits;
}

ReportLimits ReportLimits::fromSession()
{
    return fromFile(Session::current().fileName);
}

namespace {
QMutex g_jobsMutex;
QSet<ReportJob *> g_jobs;
bool g_stopAll = false;
} // namespace

void ReportJob::cancelAll()
{
    const QMutexLocker lock(&g_jobsMutex);
    g_stopAll = true;
    for (ReportJob *job : std::as_const(g_jobs))
        job->cancel();
}

ReportJob::ReportJob(ReportRun &run, const DbConfig &config, const ReportLimits &limits, QObject *parent)
    : QObject(parent), m_run(run), m_config(config), m_limits(limits)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { interrupt(Stop::Timeout); });
}

ReportJob::~ReportJob()
{
    {
        const QMutexLocker lock(&g_jobsMutex);
        g_jobs.remove(this);
    }
    if (m_thread) {
        cancel();
        m_thread->wait();
        delete m_thread;
    }
}

void ReportJob::start(ReportSink &sink)
{
    {
        const QMutexLocker lock(&g_jobsMutex);
        g_jobs.insert(this);
        if (g_stopAll)
            m_stop = Stop::Cancel;
    }
    m_running = true;
    m_thread = QThread::create([this, &sink] { work(sink); });
    m_thread->setObjectName(QStringLiteral("relatorio"));
    m_deadline.start(std::chrono::seconds(m_limits.seconds));
    m_thread->start();
}

void ReportJob::work(ReportSink &sink)
{
    try {
        ReportConnection connection(m_config, m_limits.seconds);
        {
            const QMutexLocker lock(&m_mutex);
            m_connection = &connection;
        }
        try {
            if (m_stop.load() != Stop::None)
                throw EAbort();
            const auto progress = [this](qint64 rows, int pages) {
                m_rows = rows;
                m_pages = pages;
                if (m_stop.load() != Stop::None)
                    throw EAbort();
                if (rows > m_limits.rows)
                    throw ESuiteError(QStringLiteral("O relatório passou de %1 linhas, o limite desta sessão. "
                                                     "Restrinja os parâmetros (filial, produtos, período) ou ajuste "
                                                     "[Relatorios] LimiteLinhas na sessão.")
                                          .arg(ReportFormat::number(double(m_limits.rows), 0)));
            };
            m_run.execute(sink, progress, connection.database());
        } catch (...) {
            const QMutexLocker lock(&m_mutex);
            m_connection = nullptr;
            throw;
        }
        const QMutexLocker lock(&m_mutex);
        m_connection = nullptr;
    } catch (...) {
        m_failure = std::current_exception();
    }
    // A statement stopped on purpose fails with the database's own words: say what happened.
    if (m_stop.load() == Stop::Cancel)
        m_failure = std::make_exception_ptr(EAbort());
    else if (m_stop.load() == Stop::Timeout)
        m_failure = std::make_exception_ptr(
            ESuiteError(QStringLiteral("O relatório '%1' foi interrompido: passou do tempo limite (%2 s). Restrinja "
                                       "os parâmetros ou ajuste [Relatorios] TempoLimite na sessão.")
                            .arg(m_run.title())
                            .arg(m_limits.seconds)));
    m_running = false;
    m_finished = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_deadline.stop();
            emit finished();
        },
        Qt::QueuedConnection);
}

void ReportJob::interrupt(Stop why)
{
    if (m_finished.load())
        return;
    Stop none = Stop::None;
    m_stop.compare_exchange_strong(none, why);
    const QMutexLocker lock(&m_mutex);
    if (m_connection)
        m_connection->interrupt();
}

void ReportJob::cancel()
{
    interrupt(Stop::Cancel);
}

void ReportJob::rethrow() const
{
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void ReportJob::wait(ReportProgress &progress, const std::function<void()> &onTick)
{
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(50);
    connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &ReportJob::finished, &loop, &QEventLoop::quit);
    tick.start();
    bool cancelled = false;
    qint64 reported = 0;
    while (!m_finished.load()) {
        if (cancelled) {
            // An interrupt that came between two statements is lost: ask again.
            cancel();
        } else {
            try {
                if (rows() != reported) {
                    reported = rows();
                    progress.update(reported, pages());
                } else {
                    progress.tick();
                }
                if (onTick)
                    onTick();
            } catch (const EAbort &) {
                cancelled = true;
                cancel();
            }
        }
        loop.exec(progress.hasDialog() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    }
    m_thread->wait();
    if (!cancelled && !m_failure)
        progress.update(rows(), pages()); // the last word (its hook may still cancel)
    if (cancelled && !m_failure)
        throw EAbort();
    rethrow();
}

void ReportJob::run(ReportRun &run, ReportSink &sink, ReportProgress &progress, const ReportLimits &limits)
{
    ReportJob job(run, Session::current().reportDb(dtmDBGeral::config()), limits);
    job.start(sink);
    job.wait(progress);
}
