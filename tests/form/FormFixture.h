#pragma once

#include "ScriptedInteraction.h"
#include "TestEnv.h"

#include <QMainWindow>
#include <QProcess>
#include <memory>

class QMdiArea;
class TfrmListaPrecRel;

// Runs the application server Lpr07700 (the real executable) on a free loopback port over
// the test's database, and points the session at it.
class ServerProcess
{
public:
    // cacheSeconds: how long the server keeps its supplier list (0: built at every call).
    explicit ServerProcess(const TestEnv &env, int cacheSeconds = 0);
    ~ServerProcess();
    // port 0: a free one; another: that one (a restart where the workstations expect it).
    bool start(int port = 0);
    void stop();
    int port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    // What the server wrote to its log (standard error) since the last call.
    QByteArray takeLog();

private:
    const TestEnv &m_env;
    QProcess m_process;
    int m_port = 0;
    int m_cacheSeconds;
};

// The world of a screen test: a demo database, the server, a main window with its
// child-window area, and the dialogs scripted. open() opens the screen as a child window
// the way the shell does and returns the form after its first activation.
//
// The demo database is SQLite unless LPR_TEST_DIALECT says "postgresql" or "firebird":
// then it is made on that test server (settings file named by LPR_SERVERS_ENV) and both
// the screen and Lpr07700 use its read-only user.
class FormFixture
{
public:
    explicit FormFixture(const DemoOptions &options = DemoOptions(), bool withServer = true,
                         int serverCacheSeconds = 0);
    ~FormFixture();

    // The database the screen tests run on, from LPR_TEST_DIALECT (unset: SQLite). An
    // unknown name ends the test program.
    static SqlDialect dialect();

    TestEnv env;
    ScriptedInteraction io;
    std::unique_ptr<ServerProcess> server;
    QMainWindow mainWindow;
    QMdiArea *mdiArea;

    TfrmListaPrecRel *open();
    // Closes the screen and lets the queued deletions run.
    void close();
    TfrmListaPrecRel *form() const;

    // Moves the keyboard focus like a person: exits fire on the way.
    static void focus(QWidget *w);
    // Types into a focused edit (replacing its text) like a person.
    static void type(QWidget *w, const QString &text);
};
