#pragma once

#include "data/Database.h"
#include "suite_export.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <exception>
#include <functional>

class ReportConnection;
class ReportProgress;
class ReportRun;
class ReportSink;

// Limits every report run keeps (the session's [Relatorios] section).
struct SUITE_EXPORT ReportLimits
{
    int seconds = 600;               // TempoLimite: from the start of the query to its last row
    qint64 rows = 5'000'000;         // LimiteLinhas
    qint64 fileBytes = 2048LL << 20; // LimiteArquivoMB

    // The session file's [Relatorios] TempoLimite (seconds), LimiteLinhas, LimiteArquivoMB;
    // an absent key keeps its default, a value that is not a whole number in range raises
    // ESuiteError naming the file and the key (Session::integer).
    static ReportLimits fromFile(const QString &file);
    static ReportLimits fromSession();
};

// One pass of a report's query into a sink, on a thread of its own and over a connection
// of its own (ReportConnection), so the screen keeps answering: the preview shows pages
// while later ones are laid out, and Cancel (or the time limit) stops the statement
// where it is. The sink is called on the job's thread only; whoever reads what it
// produces from the screen's thread must allow for that (see PageStore).
class SUITE_EXPORT ReportJob : public QObject
{
    Q_OBJECT
public:
    ReportJob(ReportRun &run, const DbConfig &config, const ReportLimits &limits, QObject *parent = nullptr);
    ~ReportJob() override; // cancels and waits

    void start(ReportSink &sink);
    // Any thread. The running statement is interrupted; the job ends with EAbort.
    void cancel();
    bool isRunning() const { return m_running.load(); }
    bool isFinished() const { return m_finished.load(); }
    qint64 rows() const { return m_rows.load(); }
    int pages() const { return m_pages.load(); }

    // Runs the events of the calling thread until the job ends, reporting to progress
    // (whose Cancel or hook cancels the job), then raises what the job raised.
    // onTick, when given, is called on every turn (it may raise EAbort to cancel).
    void wait(ReportProgress &progress, const std::function<void()> &onTick = {});
    // Raises the job's failure (EAbort when cancelled), if any.
    void rethrow() const;

    // Any thread (not a signal handler): cancels every job of the process, and those that
    // start afterwards (a batch run asked to stop by a signal).
    static void cancelAll();

    // Runs a job to its end (start + wait).
    static void run(ReportRun &run, ReportSink &sink, ReportProgress &progress,
                    const ReportLimits &limits = ReportLimits::fromSession());

signals:
    void finished();

private:
    enum class Stop { None, Cancel, Timeout };
    void work(ReportSink &sink);
    void interrupt(Stop why);

    ReportRun &m_run;
    DbConfig m_config;
    ReportLimits m_limits;
    QThread *m_thread = nullptr;
    QTimer m_deadline;
    QMutex m_mutex;
    ReportConnection *m_connection = nullptr; // while the worker holds one
    std::atomic<Stop> m_stop{Stop::None};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_finished{false};
    std::atomic<qint64> m_rows{0};
    std::atomic<int> m_pages{0};
    std::exception_ptr m_failure;
};
