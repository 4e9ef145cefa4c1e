#pragma once

#include "suite_export.h"

#include <QMutex>
#include <QWaitCondition>
#include <deque>
#include <exception>
#include <functional>
#include <thread>

// Runs the slow half of a writer (compressing and writing to disk) on a thread of its
// own, in the order the work was handed in, while the run lays out the next pages: on a
// machine with two cores that hides most of the compression. At most `depth` pieces
// wait, so memory stays bounded whatever the size of the run. A failure on the writing
// thread is raised from the next add() or from finish().
class SUITE_TEST_EXPORT WriteQueue
{
public:
    explicit WriteQueue(int depth = 8);
    ~WriteQueue(); // drops what is still waiting and stops
    WriteQueue(const WriteQueue &) = delete;
    WriteQueue &operator=(const WriteQueue &) = delete;

    void add(std::function<void()> work);
    // Waits until everything handed in is done; raises the first failure.
    void finish();

private:
    void loop();
    void raiseFailure();

    QMutex m_mutex;
    QWaitCondition m_changed;
    std::deque<std::function<void()>> m_pending;
    int m_depth;
    bool m_busy = false;
    bool m_stop = false;
    std::exception_ptr m_failure;
    std::thread m_thread;
};
