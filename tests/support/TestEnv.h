#pragma once

#include "Session.h"

#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QVariantList>

#ifdef HAVE_LPRDB
#include "DemoDb.h"
#endif

// A test's world: a temporary folder with a fresh SQLite demo database, opened as the
// general read-only connection, and the session pointing at it (branch 0001, module 4,
// not tied to the branch, reports from the project's reports folder). Restores the
// previous session on destruction.
class TestEnv
{
public:
#ifdef HAVE_LPRDB
    explicit TestEnv(const DemoOptions &options = DemoOptions());
#else
    TestEnv();
#endif
    ~TestEnv();

    QString dir() const { return m_dir.path(); }
    QString dbFile() const { return m_dbFile; }

    // A writable connection to the same database, for a test to shape its data.
    QSqlDatabase writable();
    // Runs a statement on the writable connection; fails the test on error.
    void exec(const QString &sql, const QVariantList &values = {});
    // Re-opens the general read-only connection (after writes, or to simulate a restart).
    void reopen();

    static QString sourceDir();

private:
    QTemporaryDir m_dir;
    QString m_dbFile;
    Session m_saved;
};
