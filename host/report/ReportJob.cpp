#include "ReportJob.h"
#include "EAbort.h"
#include "Session.h"
#include "ReportConnection.h"
#include "ReportFormat.h"
#include "ReportProgress.h"
#include "ReportRun.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QSettings>

ReportLimits ReportLimits::fromSession()
{
    ReportLimits limits;
    const QString file = Session::current().fileName;
    if (file.isEmpty() || !QFileInfo::exists(file))
        return limits;
    const QSettings ini(file, QSettings::IniFormat);
    auto positive = [&](const char *key, qint64 fallback) {
        bool ok = false;
        const qint64 v = ini.value(QLatin1String(key)).toLongLong(&ok);
        return ok && v > 0 ? v : fallback;
    };
    limits.seconds = int(qMin<qint64>(positive("Relatorios/TempoLimite", limits.seconds), 24 * 3600));
    limits.rows = positive("Relatorios/LimiteLinhas", limits.rows);
    limits.fileBytes = positive("Relatorios/LimiteArquivoMB", limits.fileBytes >> 20) << 20;
    return limits;
}

ReportJob::ReportJob(ReportRun &run, const DbConfig &config, const ReportLimits &limits, QObject *parent)
    : QObject(parent), m_run(run), m_config(config), m_limits(limits)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { interrupt(Stop::Timeout); });
}

ReportJob::~ReportJob()
{
    if (m_thread) {
        cancel();
        m_thread->wait();
        delete m_thread;
    }
}

void ReportJob::start(ReportSink &sink)
{
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
