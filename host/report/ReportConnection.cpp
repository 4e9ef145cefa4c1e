#include "report/ReportConnection.h"
#include "data/SqlGuard.h"

#include "errors/EAbort.h"

#include <QAtomicInt>
#include <QDeadlineTimer>
#include <QSqlError>
#include <QSqlDriver>
#include <QSqlQuery>
#include <dlfcn.h>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace {

QAtomicInt g_serial;
QAtomicInt g_open;
QMutex g_observerMutex;
std::function<void(const QSqlDatabase &)> g_observer;

// Firebird's cancel entry, taken from the client library the driver loaded (the project
// does not build against Firebird's headers).
using FbCancel = long (*)(long *status, unsigned int *db, unsigned short option);
constexpr unsigned short fbCancelRaise = 3;

FbCancel firebirdCancel()
{
    static FbCancel entry = [] {
        for (const char *name : {"libfbclient.so.2", "libfbclient.so"}) {
            if (void *lib = dlopen(name, RTLD_NOW | RTLD_NOLOAD))
                return reinterpret_cast<FbCancel>(dlsym(lib, "fb_cancel_operation"));
        }
        return FbCancel(nullptr);
    }();
    return entry;
}

} // namespace

ReportConnection::ReportConnection(const DbConfig &config, int seconds) : m_config(config)
{
    m_name = QStringLiteral("relatorio-%1").arg(g_serial.fetchAndAddRelaxed(1));
    QSqlDatabase db = dtmDBGeral::openConnection(config, m_name, true);
    g_open.ref();
    SqlGuard::restrictToReading(db);
    attachNative();
    if (seconds > 0) {
        try {
            limitStatements(seconds);
        } catch (...) {
            detachNative();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_name);
            g_open.deref();
            throw;
        }
    }
    const QMutexLocker lock(&g_observerMutex);
    if (g_observer)
        g_observer(db);
}

int ReportConnection::sqliteProgress(void *connection)
{
    const qint64 deadline = static_cast<ReportConnection *>(connection)->m_sqliteDeadline;
    return deadline > 0 && QDeadlineTimer::current().deadline() >= deadline ? 1 : 0;
}

void ReportConnection::limitStatements(int seconds)
{
    QSqlDatabase db = database();
    if (m_sqlite) {
        // Counted from the opening: the connection lives for one run, whose limit this is.
        // A moment past the run's own limit, whose cancel comes first with its message.
        m_sqliteDeadline = QDeadlineTimer(std::chrono::milliseconds(qint64(seconds) * 1000 + 500)).deadline();
        sqlite3_progress_handler(static_cast<sqlite3 *>(m_sqlite), 10000, &ReportConnection::sqliteProgress, this);
        return;
    }
    if (m_config.dialect() != SqlDialect::PostgreSQL)
        return;
    // A moment more than the client's own limit, so that the client's cancel, with its
    // message, comes first; the server's limit is there for a client that is gone.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SET statement_timeout = %1").arg(qint64(seconds) * 1000 + 500)))
        throw EDatabaseError(QStringLiteral("Não foi possível limitar o tempo das consultas do relatório no banco %1")
                                 .arg(m_config.describe()),
                             databaseCause(q.lastError()));
}

void ReportConnection::setOpenObserver(std::function<void(const QSqlDatabase &)> observer)
{
    const QMutexLocker lock(&g_observerMutex);
    g_observer = std::move(observer);
}

ReportConnection::~ReportConnection()
{
    detachNative();
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    g_open.deref();
}

int ReportConnection::openCount()
{
    return g_open.loadRelaxed();
}

QSqlDatabase ReportConnection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

void ReportConnection::attachNative()
{
    const QSqlDatabase db = database();
    if (!db.driver())
        return;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid())
        return;
    const QMutexLocker lock(&m_mutex);
    const char *type = handle.typeName();
    if (qstrcmp(type, "sqlite3*") == 0) {
        m_sqlite = *static_cast<sqlite3 *const *>(handle.constData());
    } else if (qstrcmp(type, "PGconn*") == 0 || qstrcmp(type, "pg_conn*") == 0) { // the driver names its struct
        if (PGconn *pg = *static_cast<PGconn *const *>(handle.constData()))
            m_pgCancel = PQgetCancel(pg);
    } else if (m_config.dialect() == SqlDialect::Firebird && handle.metaType().sizeOf() == sizeof(unsigned int)) {
        m_firebird = *static_cast<const unsigned int *>(handle.constData());
    }
}

void ReportConnection::detachNative()
{
    const QMutexLocker lock(&m_mutex);
    if (m_sqlite)
        sqlite3_progress_handler(static_cast<sqlite3 *>(m_sqlite), 0, nullptr, nullptr);
    m_sqlite = nullptr;
    if (m_pgCancel)
        PQfreeCancel(static_cast<PGcancel *>(m_pgCancel));
    m_pgCancel = nullptr;
    m_firebird = 0;
}

void ReportConnection::interrupt()
{
    const QMutexLocker lock(&m_mutex);
    if (m_sqlite)
        sqlite3_interrupt(static_cast<sqlite3 *>(m_sqlite));
    if (m_pgCancel) {
        char error[256];
        PQcancel(static_cast<PGcancel *>(m_pgCancel), error, int(sizeof error));
    }
    if (m_firebird) {
        if (FbCancel cancel = firebirdCancel()) {
            long status[20] = {};
            unsigned int handle = m_firebird;
            cancel(status, &handle, fbCancelRaise);
        }
    }
}
