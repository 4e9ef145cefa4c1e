#include "FormFixture.h"

#include "Cli_Lpr07731.h"
#include "Pkg_Lpr07731.h"
#include "app/TApplication.h"
#include "TfrmListaPrecRel.h"

#include <QApplication>
#include <QMdiArea>
#include <QRegularExpression>
#include <QTest>

ServerProcess::ServerProcess(const TestEnv &env, int cacheSeconds) : m_env(env), m_cacheSeconds(cacheSeconds) { }

ServerProcess::~ServerProcess()
{
    stop();
}

bool ServerProcess::start(int port)
{
    const QString ini = m_env.dir() + QStringLiteral("/server.ini");
    Session s = Session::current();
    s.serverPort = 0;
    s.save(ini);
    m_process.setProgram(QString::fromLocal8Bit(qgetenv("SUITE_BIN_DIR")) + QStringLiteral("/Lpr07700"));
    m_process.setArguments({QStringLiteral("--config"), ini, QStringLiteral("--port"), QString::number(port),
                            QStringLiteral("--cache"), QString::number(m_cacheSeconds)});
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    QByteArray out;
    const QRegularExpression ready(QStringLiteral("ouvindo em [^:]+:(\\d+)"));
    for (int i = 0; i < 100 && m_port == 0; ++i) {
        m_process.waitForReadyRead(100);
        out += m_process.readAllStandardOutput();
        const auto m = ready.match(QString::fromUtf8(out));
        if (m.hasMatch())
            m_port = m.captured(1).toInt();
    }
    if (m_port)
        Session::current().serverPort = m_port;
    return m_port != 0;
}

QByteArray ServerProcess::takeLog()
{
    // Without an event loop the pipe is read only when asked to.
    m_process.setReadChannel(QProcess::StandardError);
    while (m_process.waitForReadyRead(50)) {
    }
    m_process.setReadChannel(QProcess::StandardOutput);
    return m_process.readAllStandardError();
}

void ServerProcess::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_port = 0;
}

SqlDialect FormFixture::dialect()
{
    return TestEnv::dialectFromEnvironment();
}

FormFixture::FormFixture(const DemoOptions &options, bool withServer, int serverCacheSeconds) : env(dialect(), options)
{
    mdiArea = new QMdiArea(&mainWindow);
    mainWindow.setCentralWidget(mdiArea);
    mainWindow.resize(900, 650);
    Application().setMainForm(&mainWindow, mdiArea);
    mainWindow.show();
    QApplication::setActiveWindow(&mainWindow);
    if (withServer) {
        server = std::make_unique<ServerProcess>(env, serverCacheSeconds);
        if (!server->start())
            qFatal("Lpr07700 did not start");
    }
    Initialize();
}

FormFixture::~FormFixture()
{
    close();
    Application().setMainForm(nullptr, nullptr);
}

TfrmListaPrecRel *FormFixture::form() const
{
    return boIdCriado ? frmListaPrecRel : nullptr;
}

TfrmListaPrecRel *FormFixture::open()
{
    CriaRelLista(false);
    QApplication::processEvents();
    QApplication::setActiveWindow(&mainWindow);
    return form();
}

void FormFixture::close()
{
    if (TfrmListaPrecRel *f = form()) {
        f->Close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
}

void FormFixture::focus(QWidget *w)
{
    w->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
}

void FormFixture::type(QWidget *w, const QString &text)
{
    focus(w);
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_Delete);
    if (!text.isEmpty())
        QTest::keyClicks(w, text);
    QApplication::processEvents();
}
