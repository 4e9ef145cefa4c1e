#include "Mailbox.h"

#include <QSocketNotifier>
#include <future>

#include <sys/eventfd.h>
#include <unistd.h>

Mailbox::Mailbox(QObject *parent)
    : QObject(parent), m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      m_notifier(new QSocketNotifier(m_fd, QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &Mailbox::deliver);
}

Mailbox::~Mailbox()
{
    delete m_notifier;
    ::close(m_fd);
}

void Mailbox::post(std::function<void()> work)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool wake = m_queue.empty();
    m_queue.push_back(std::move(work));
    // One wake-up for a run of posts, written under the lock: once the work is taken, the
    // poster has done with this mailbox (its thread may end and delete it).
    if (wake) {
        const quint64 one = 1;
        (void)!::write(m_fd, &one, sizeof one);
    }
}

void Mailbox::call(std::function<void()> work)
{
    std::promise<void> done;
    post([&] {
        work();
        done.set_value();
    });
    done.get_future().wait();
}

void Mailbox::deliver()
{
    quint64 count = 0;
    (void)!::read(m_fd, &count, sizeof count);
    for (;;) {
        std::deque<std::function<void()>> batch;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_queue.empty())
                return;
            batch.swap(m_queue);
        }
        for (auto &work : batch)
            work();
    }
}
