#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

class QSocketNotifier;

// Work handed to the thread an object lives on. The work and what it captures pass through
// a queue under a mutex of this process's own, and the wake-up is a byte on an eventfd read
// by that thread's event loop: nothing crosses threads inside Qt, so the order between the
// thread that hands work over and the one that runs it is plain to a race detector too
// (Qt's own queue is invisible to one when Qt is not instrumented). Give the target a
// Mailbox as a child: it moves to the target's thread with it.
class Mailbox : public QObject
{
    Q_OBJECT
public:
    explicit Mailbox(QObject *parent = nullptr);
    ~Mailbox() override;

    // From any thread: runs `work` on this object's thread, in the order posted.
    void post(std::function<void()> work);
    // From another thread: the same, and waits until it has run.
    void call(std::function<void()> work);

private:
    void deliver();

    int m_fd;
    QSocketNotifier *m_notifier;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_queue;
};
