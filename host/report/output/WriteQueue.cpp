#include "report/output/WriteQueue.h"

WriteQueue::WriteQueue(int depth) : m_depth(qMax(1, depth)), m_thread([this] { loop(); }) { }

WriteQueue::~WriteQueue()
{
    {
        const QMutexLocker lock(&m_mutex);
        m_stop = true;
        m_pending.clear();
        m_changed.wakeAll();
    }
    m_thread.join();
}

void WriteQueue::loop()
{
    for (;;) {
        std::function<void()> work;
        bool failed = false;
        {
            QMutexLocker lock(&m_mutex);
            while (m_pending.empty() && !m_stop)
                m_changed.wait(&m_mutex);
            if (m_stop)
                return;
            work = std::move(m_pending.front());
            m_pending.pop_front();
            m_busy = true;
            failed = bool(m_failure);
            m_changed.wakeAll();
        }
        std::exception_ptr failure;
        if (!failed) {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        }
        const QMutexLocker lock(&m_mutex);
        if (failure && !m_failure)
            m_failure = failure;
        m_busy = false;
        m_changed.wakeAll();
    }
}

void WriteQueue::raiseFailure()
{
    if (m_failure) {
        std::exception_ptr failure = m_failure;
        m_pending.clear();
        std::rethrow_exception(failure);
    }
}

void WriteQueue::add(std::function<void()> work)
{
    QMutexLocker lock(&m_mutex);
    while (int(m_pending.size()) >= m_depth && !m_failure)
        m_changed.wait(&m_mutex);
    raiseFailure();
    m_pending.push_back(std::move(work));
    m_changed.wakeAll();
}

void WriteQueue::finish()
{
    QMutexLocker lock(&m_mutex);
    while ((!m_pending.empty() || m_busy) && !m_failure)
        m_changed.wait(&m_mutex);
    raiseFailure();
}
