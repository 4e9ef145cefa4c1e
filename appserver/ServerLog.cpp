#include "ServerLog.h"
#include "Mailbox.h"
#include "ServerOutput.h"

namespace {
constexpr int kRefusalLinesPerSecond = 10;
}

ServerLog::ServerLog(QObject *parent) : QObject(parent), m_mailbox(new Mailbox(this)) { }

void ServerLog::write(const QString &text, int priority)
{
    m_mailbox->post([this, text, priority] { emit logMessage(text, priority); });
}

void ServerLog::line(const QString &text, int priority)
{
    flush();
    write(text, priority);
}

void ServerLog::refusal(const QString &text)
{
    bool written = false;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_window.isValid() || m_window.elapsed() >= 1000) {
            flushLocked();
            m_window.start();
            m_logged = 0;
        }
        written = m_logged < kRefusalLinesPerSecond;
        if (written)
            ++m_logged;
        else
            ++m_unlogged;
    }
    if (written)
        write(text, ServerOutput::Notice);
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
    write(QStringLiteral("mais %1 conexões recusadas ou encerradas não registradas (até %2 por segundo)")
                        .arg(count)
                        .arg(kRefusalLinesPerSecond),
          ServerOutput::Notice);
}
