#include "SupplierListCache.h"

#include <QCryptographicHash>

SupplierListCache::Entry SupplierListCache::entry() const
{
    QMutexLocker lock(&m_mutex);
    return m_entry;
}

void SupplierListCache::store(Entry entry)
{
    {
        QMutexLocker lock(&m_mutex);
        if (entry.startedAt < m_entry.startedAt)
            return;
        std::swap(m_entry, entry);
    }
    // The packet replaced goes here, outside the lock, and through the inline release of
    // its last reference: workers that sent it may have let go of it an instant ago, and
    // that hand-off is then plain to a race detector too (a copy-assignment would drop it
    // inside the Qt library, where no detector sees the reference count's order).
}

void SupplierListCache::confirm(qint64 startedAt, qint64 now)
{
    QMutexLocker lock(&m_mutex);
    if (m_entry.startedAt == startedAt)
        m_entry.checkedAt = now;
}

void SupplierListCache::clear()
{
    Entry old;
    {
        QMutexLocker lock(&m_mutex);
        std::swap(m_entry, old);
    }
}

QString SupplierListCache::markFor(const QByteArray &packet) const
{
    QMutexLocker lock(&m_mutex);
    return !packet.isNull() && packet.constData() == m_entry.packet.constData() ? m_entry.mark : QString();
}

QString SupplierListCache::markOf(const QByteArray &packet)
{
    return QString::fromLatin1(QCryptographicHash::hash(packet, QCryptographicHash::Sha256).toHex().left(32));
}

void SupplierListCache::recordBuild(double seconds, bool failed)
{
    QMutexLocker lock(&m_mutex);
    ++m_builds;
    m_failures += failed;
    m_buildSeconds += seconds;
    m_lastBuildSeconds = seconds;
}

BuildStats SupplierListCache::stats(qint64 now) const
{
    QMutexLocker lock(&m_mutex);
    BuildStats s;
    s.kept = !m_entry.packet.isNull();
    s.mark = m_entry.mark;
    s.ageSeconds = s.kept ? double(now - m_entry.startedAt) / 1000.0 : 0;
    s.builds = m_builds;
    s.failures = m_failures;
    s.buildSeconds = m_buildSeconds;
    s.lastBuildSeconds = m_lastBuildSeconds;
    return s;
}
