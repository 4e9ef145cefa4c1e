#pragma once

// A running Lpr07700 for the benchmarks: started on a free port of 127.0.0.1, asked what it
// uses (CPU, bytes written, resident memory) through /proc, and stopped when it goes.

#include "errors/EAbort.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryFile>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace bench {

class ServerProcess
{
public:
    // extraArgs follow --config FILE --port 0 (--cache S, say).
    ServerProcess(const QString &exe, const QString &sessionFile, const QStringList &extraArgs = {})
    {
        // The log is not read while the run goes on: a file, so that no pipe ever fills.
        m_log.setFileTemplate(QDir::temp().filePath(QStringLiteral("bench-lpr07700-XXXXXX.log")));
        if (m_log.open())
            m_process.setStandardErrorFile(m_log.fileName());
        // A build copied elsewhere (a --baseline) keeps the run path of the folder it was built
        // in: its own libsuite beside it goes first, not the one built since.
        const QString folder = QFileInfo(exe).absolutePath();
        if (QFile::exists(folder + QStringLiteral("/libsuite.so"))) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            const QString paths = env.value(QStringLiteral("LD_LIBRARY_PATH"));
            env.insert(QStringLiteral("LD_LIBRARY_PATH"),
                       paths.isEmpty() ? folder : folder + QLatin1Char(':') + paths);
            m_process.setProcessEnvironment(env);
        }
        m_process.start(
            exe, QStringList{QStringLiteral("--config"), sessionFile, QStringLiteral("--port"), QStringLiteral("0")}
                     + extraArgs);
        if (!m_process.waitForStarted(10000))
            throw ESuiteError(QStringLiteral("%1 não iniciou: %2").arg(exe, m_process.errorString()));
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(60000))
                throw ESuiteError(QStringLiteral("%1 não ficou pronto: %2").arg(exe, log()));
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        const auto m = QRegularExpression(QStringLiteral(":(\\d+)$")).match(line);
        if (!m.hasMatch())
            throw ESuiteError(QStringLiteral("%1 respondeu \"%2\" em vez de sua porta").arg(exe, line));
        port = quint16(m.captured(1).toUInt());
        // With --metrics, the endpoint's address comes next.
        if (extraArgs.contains(QStringLiteral("--metrics"))) {
            while (!m_process.canReadLine())
                if (!m_process.waitForReadyRead(10000))
                    throw ESuiteError(QStringLiteral("%1 não disse onde estão suas métricas: %2").arg(exe, log()));
            const QString next = QString::fromUtf8(m_process.readLine()).trimmed();
            const auto at = QRegularExpression(QStringLiteral(":(\\d+)/metrics$")).match(next);
            if (!at.hasMatch())
                throw ESuiteError(QStringLiteral("%1 respondeu \"%2\" em vez do endereço das métricas").arg(exe, next));
            metricsPort = quint16(at.captured(1).toUInt());
        }
    }
    ~ServerProcess()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    // A crash, as far as the workstations can tell: no goodbye on any link.
    void killHard() { ::kill(pid_t(m_process.processId()), SIGKILL); }

    // CPU time used so far (user + system), in milliseconds.
    double cpuMs() const
    {
        const QByteArray line = proc("stat");
        // Fields after the command name (which may hold blanks): state is field 3.
        const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
        return f.size() < 13 ? 0 : (f[11].toDouble() + f[12].toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
    }
    // Bytes written so far (its sockets and its log).
    qint64 written() const
    {
        for (const QByteArray &line : proc("io").split('\n'))
            if (line.startsWith("wchar:"))
                return line.mid(6).trimmed().toLongLong();
        return -1;
    }
    double rssMb() const
    {
        for (const QByteArray &line : proc("status").split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        return -1;
    }

    // The metrics page (empty without --metrics or when it does not answer); any thread.
    QByteArray metricsPage() const
    {
        if (metricsPort == 0)
            return QByteArray();
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, metricsPort);
        if (!socket.waitForConnected(5000))
            return QByteArray();
        socket.write("GET /metrics HTTP/1.0\r\n\r\n");
        QByteArray page;
        while (socket.waitForReadyRead(5000))
            page += socket.readAll();
        page += socket.readAll();
        const qsizetype body = page.indexOf("\r\n\r\n");
        return body < 0 ? QByteArray() : page.mid(body + 4);
    }
    // One series' value on a metrics page; -1 when it is not there.
    static double metric(const QByteArray &page, const QString &series)
    {
        const auto m = QRegularExpression(QStringLiteral("^%1 (\\S+)$").arg(QRegularExpression::escape(series)),
                                          QRegularExpression::MultilineOption)
                           .match(QString::fromUtf8(page));
        return m.hasMatch() ? m.captured(1).toDouble() : -1;
    }

    quint16 port = 0;
    quint16 metricsPort = 0;

private:
    QByteArray proc(const char *name) const
    {
        QFile file(QStringLiteral("/proc/%1/%2").arg(m_process.processId()).arg(QLatin1String(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString log()
    {
        QFile file(m_log.fileName());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).right(2000) : QString();
    }

    QTemporaryFile m_log;
    QProcess m_process;
};

} // namespace bench
