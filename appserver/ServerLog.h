#pragma once

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QString>

// The server's log lines, from any thread. Refusals (links turned away or closed before
// they identified themselves) are written a few per second at most, the rest counted and
// summed up in one line, so that a flood of bad links cannot flood the log.
class Mailbox;

class ServerLog : public QObject
{
    Q_OBJECT
public:
    explicit ServerLog(QObject *parent = nullptr);

    // priority: ServerOutput's (syslog's); refusals are notices.
    void line(const QString &text, int priority);
    void refusal(const QString &text);
    // Writes the count of refusals left out, once their second is over.
    void flush();

signals:
    void logMessage(const QString &line, int priority);

private:
    void flushLocked();
    // logMessage, on this object's thread whatever the caller's.
    void write(const QString &text, int priority);

    Mailbox *m_mailbox;
    QMutex m_mutex;
    QElapsedTimer m_window; // the current second
    int m_logged = 0;
    int m_unlogged = 0;
};
