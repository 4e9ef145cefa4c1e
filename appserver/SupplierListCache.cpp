#include "SupplierListCache.h"

#include <QCryptographicHash>

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

QString SupplierListCache::markFor(const QByteArray &packet) const
{
    QMutexLocker lock(&m_mutex);
    return !packet.isNull() && packet.constData() == m_entry.packet.constData() ? m_entry.mark : QString();
}

QString SupplierListCache::markOf(const QByteArray &packet)
{
    return QString::fromLatin1(QCryptographicHash::hash(packet, QCryptographicHash::Sha256).toHex().left(32));
}
