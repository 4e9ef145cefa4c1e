#include "HaproxyFront.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>

namespace {

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

QString HaproxyFront::executable()
{
    return QStandardPaths::findExecutable(QStringLiteral("haproxy"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"),
                                           QStringLiteral("/usr/bin")});
}

QString HaproxyFront::config(quint16 port, const QList<quint16> &serverPorts, const QList<quint16> &healthPorts)
{
    const bool health = !healthPorts.isEmpty();
    // retries + redispatch: a connection to a server that is down (refused at once) goes to
    // another before the checks have marked it down. leastconn: long list transfers spread.
    QString text = QStringLiteral("global\n"
                                  "    maxconn 4000\n"
                                  "defaults\n"
                                  "    mode tcp\n"
                                  "    timeout connect 1s\n"
                                  "    timeout client 5m\n"
                                  "    timeout server 5m\n"
                                  "    retries 3\n"
                                  "    option redispatch 1\n"
                                  "frontend lpr07700\n"
                                  "    bind 127.0.0.1:%1\n"
                                  "    default_backend servidores\n"
                                  "backend servidores\n"
                                  "    balance leastconn\n"
                                  "%2"
                                  "    default-server inter 500ms fall 2 rise 2\n")
                       .arg(port)
                       .arg(health ? QStringLiteral("    option httpchk GET /health\n"
                                                    "    http-check expect status 200\n")
                                   : QStringLiteral("    option tcp-check\n"
                                                    "    tcp-check connect\n"));
    for (int i = 0; i < serverPorts.size(); ++i)
        text += QStringLiteral("    server lpr%1 127.0.0.1:%2 check%3\n")
                    .arg(i + 1)
                    .arg(serverPorts[i])
                    .arg(health ? QStringLiteral(" port %1").arg(healthPorts.value(i)) : QString());
    return text;
}

HaproxyFront::HaproxyFront(const QList<quint16> &serverPorts, const QList<quint16> &healthPorts)
{
    const QString exe = executable();
    if (exe.isEmpty()) {
        m_error = QStringLiteral("haproxy não está instalado");
        return;
    }
    const quint16 port = freePort();
    const QString file = m_dir.filePath(QStringLiteral("haproxy.cfg"));
    QFile cfg(file);
    if (port == 0 || !cfg.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("sem porta livre ou sem %1").arg(file);
        return;
    }
    cfg.write(config(port, serverPorts, healthPorts).toUtf8());
    cfg.close();
    // Its log goes to a file, so that a run nobody reads never fills a pipe.
    const QString log = m_dir.filePath(QStringLiteral("haproxy.log"));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(log);
    m_process.start(exe, {QStringLiteral("-db"), QStringLiteral("-f"), file});
    if (!m_process.waitForStarted(5000)) {
        m_error = m_process.errorString();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(200)) {
            m_port = port;
            return;
        }
        QThread::msleep(50);
    }
    m_process.waitForFinished(500);
    QFile text(log);
    m_error = QStringLiteral("haproxy não passou a ouvir: %1")
                  .arg(text.open(QIODevice::ReadOnly) ? QString::fromUtf8(text.readAll()) : log);
}

HaproxyFront::~HaproxyFront()
{
    const qint64 pid = m_process.processId();
    if (pid > 0) {
        ::kill(pid_t(pid), SIGTERM);
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
}
