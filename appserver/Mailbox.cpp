#include "Mailbox.h"

#include <future>

void Mailbox::post(std::function<void()> work)
{
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        wake = m_queue.empty();
        m_queue.push_back(std::move(work));
    }
    // One wake-up for a run of posts; it carries nothing.
    if (wake)
        QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
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
