#include "ServerLog.h"

namespace {
constexpr int kRefusalLinesPerSecond = 10;
}

void ServerLog::line(const QString &text)
{
    flush();
    emit logMessage(text);
}

void ServerLog::refusal(const QString &text)
{
    bool write = false;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_window.isValid() || m_window.elapsed() >= 1000) {
            flushLocked();
            m_window.start();
            m_logged = 0;
        }
        write = m_logged < kRefusalLinesPerSecond;
        if (write)
            ++m_logged;
        else
            ++m_unlogged;
    }
    if (write)
        emit logMessage(text);
}

void ServerLog::flush()
{
    QMutexLocker lock(&m_mutex);
    flushLocked();
}

void ServerLog::flushLocked()
{
    if (m_unlogged == 0 || (m_window.isValid() && m_window.elapsed() < 1000))
        return;
    const int count = m_unlogged;
    m_unlogged = 0;
    emit logMessage(QStringLiteral("mais %1 conexões recusadas ou encerradas não registradas (até %2 por segundo)")
                        .arg(count)
                        .arg(kRefusalLinesPerSecond));
}
