#pragma once

#include "data/Database.h"
#include "suite_export.h"

#include <QMutex>
#include <QSqlDatabase>
#include <QString>
#include <functional>

// The database connection one report run reads through. It is opened for that run, on
// the thread that runs it (a connection belongs to the thread that opened it), with the
// session's settings, read-only, and it can be interrupted from any other thread: the
// statement running on it stops at once, even before its first row (SQLite's interrupt,
// a PostgreSQL cancel request, Firebird's cancel). Closing removes it without a trace.
class SUITE_TEST_EXPORT ReportConnection
{
public:
    // Opens; raises EDatabaseError naming the database and the cause. seconds > 0 bounds
    // every statement on the connection by the database itself as well: PostgreSQL's
    // statement_timeout (which also ends a statement whose client died), SQLite's
    // progress handler. Firebird 3 has no such limit; interrupt() is its bound.
    explicit ReportConnection(const DbConfig &config, int seconds = 0);
    ~ReportConnection();
    ReportConnection(const ReportConnection &) = delete;
    ReportConnection &operator=(const ReportConnection &) = delete;

    QSqlDatabase database() const;
    const DbConfig &config() const { return m_config; }

    // Thread-safe. Stops the statement running on the connection, if any.
    void interrupt();

    // How many connections are open right now (none after a run, whatever its end).
    static int openCount();
    // Called on the run's thread with each connection just opened (instruments and tests
    // watch what reaches the database through it); empty to stop.
    static void setOpenObserver(std::function<void(const QSqlDatabase &)> observer);

private:
    void attachNative();
    void detachNative();
    void limitStatements(int seconds);
    static int sqliteProgress(void *connection);

    DbConfig m_config;
    QString m_name;
    QMutex m_mutex;
    void *m_sqlite = nullptr;    // sqlite3*
    void *m_pgCancel = nullptr;  // PGcancel*
    unsigned int m_firebird = 0; // isc_db_handle
    qint64 m_sqliteDeadline = 0; // QDeadlineTimer's deadline in ms; 0: none
};
