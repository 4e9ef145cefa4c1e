#pragma once

#include "data/Database.h"
#include "data/SqlDialect.h"
#include "data/TParams.h"
#include "report/ReportDefinition.h"
#include "report/ReportPage.h"
#include "suite_export.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <list>
#include <memory>

class QLabel;
class QScrollArea;
class ReportPageWidget;

// The report as it prints, beside the page being designed: each definition given to it
// is run with real rows and laid out by the engine the PDF and the printer use, and page
// 1 is shown as soon as it is full, without waiting for the rest. A new definition cancels
// the run still going on for the previous one (its statement interrupted on the database),
// so only the last change costs anything. The rest of the run then goes on in the
// background for the page count. A fault of the query or of an expression is shown in the
// pane, in Portuguese, with where it is.
class SUITE_TEST_EXPORT ReportLivePreview : public QWidget
{
    Q_OBJECT
public:
    explicit ReportLivePreview(QWidget *parent = nullptr);
    ~ReportLivePreview() override; // cancels and waits for the runs still going

    // The database the runs read (the session's, as reports reach it, unless set).
    void setConnection(const DbConfig &config, SqlDialect dialect);
    // Whether the run goes on after page 1 to count the pages (the default).
    void setCountPages(bool count) { m_countPages = count; }

    void setDefinition(const ReportDefinition &definition, const TParams &params);

    // What is shown: page 1 of the last definition, its count (0 while unknown), the fault.
    bool hasPage() const;
    ReportPage page() const;
    int pageCount() const;
    QString problem() const { return m_problem; }
    bool isBusy() const { return !m_runs.empty(); }
    // Runs started and ended (however: page 1 shown, done, cancelled or failed).
    int runsStarted() const { return m_started; }
    int runsEnded() const { return m_ended; }
    int runsCancelled() const { return m_cancelled; }

signals:
    // Page 1 of the last definition is shown, ms after setDefinition().
    void pageShown(qint64 ms);
    // The last definition's page count is known.
    void pageCountKnown(int pages);
    // The last definition could not be shown; the pane says why.
    void failed(const QString &message);
    // No run is going on any more.
    void idle();

private:
    struct Run;
    void startRun(const ReportDefinition &definition, const TParams &params);
    void firstPage(int generation, const ReportPage &page, const PageSetup &setup);
    void lastPage(int generation, int pageCount);
    void runEnded(Run *run);
    void showProblem(const QString &message);
    void setStatus(const QString &text);

    std::list<std::unique_ptr<Run>> m_runs; // the last one is current; older ones are ending
    DbConfig m_config;
    SqlDialect m_dialect = SqlDialect::SQLite;
    bool m_ownConnection = false;
    bool m_countPages = true;
    int m_generation = 0;
    int m_started = 0, m_ended = 0, m_cancelled = 0;
    bool m_pageShown = false;
    QString m_problem;
    QElapsedTimer m_clock;
    QTimer m_recancel; // asks the cancelled runs again until they end
    QLabel *m_status;
    QLabel *m_message;
    QScrollArea *m_scroll;
    ReportPageWidget *m_page;
};
