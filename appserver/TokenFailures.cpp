#include "TokenFailures.h"

namespace {
constexpr qint64 kFailureMemoryMs = 10 * 60 * 1000;
constexpr int kMaxTokenDelayMs = 8000;
constexpr int kMaxFailureAddresses = 4096;
} // namespace

int TokenFailures::delayFor(const QString &address, int firstDelayMs)
{
    QMutexLocker lock(&m_mutex);
    if (m_byAddress.size() >= kMaxFailureAddresses) {
        for (auto it = m_byAddress.begin(); it != m_byAddress.end();)
            it = it->last.elapsed() > kFailureMemoryMs ? m_byAddress.erase(it) : std::next(it);
        if (m_byAddress.size() >= kMaxFailureAddresses)
            m_byAddress.clear();
    }
    Failures &f = m_byAddress[address];
    if (f.last.isValid() && f.last.elapsed() > kFailureMemoryMs)
        f.count = 0;
    f.last.start();
    const int doublings = qMin(f.count++, 16);
    return int(qMin<qint64>(qint64(firstDelayMs) << doublings, kMaxTokenDelayMs));
}

void TokenFailures::forget(const QString &address)
{
    QMutexLocker lock(&m_mutex);
    m_byAddress.remove(address);
}
