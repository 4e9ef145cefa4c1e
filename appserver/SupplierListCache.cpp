#include "SupplierListCache.h"

SupplierListCache::Entry SupplierListCache::entry() const
{
    QMutexLocker lock(&m_mutex);
    return m_entry;
}

void SupplierListCache::store(const Entry &entry)
{
    QMutexLocker lock(&m_mutex);
    if (entry.startedAt >= m_entry.startedAt)
        m_entry = entry;
}

void SupplierListCache::confirm(qint64 startedAt, qint64 now)
{
    QMutexLocker lock(&m_mutex);
    if (m_entry.startedAt == startedAt)
        m_entry.checkedAt = now;
}

void SupplierListCache::clear()
{
    QMutexLocker lock(&m_mutex);
    m_entry = Entry();
}
