#pragma once

#include "BuildStats.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <atomic>

// The encoded supplier list, shared by every thread of the server: one packet serves every
// client that asks while it is current, without a copy per client.
class SupplierListCache
{
public:
    struct Entry
    {
        QByteArray packet;     // null: none built yet
        QString version;       // the data's change mark when the build started
        qint64 startedAt = -1; // when the build started (steady clock, ms)
        qint64 checkedAt = -1; // when the packet was last known current
        QString mark;          // names the packet's contents (a digest): what clients keep it under
    };

    // How long a packet is served without asking the database (ms; 0: always ask).
    void setCacheTime(int ms) { m_cacheMs = ms; }
    int cacheTime() const { return m_cacheMs; }

    Entry entry() const;
    // Keeps a packet, unless one whose build started later is already kept.
    void store(Entry entry);
    // The change mark still holds for the packet built at startedAt.
    void confirm(qint64 startedAt, qint64 now);
    void clear();
    // The mark of a packet this cache holds (the same bytes, not a copy); empty otherwise.
    QString markFor(const QByteArray &packet) const;
    // The mark a packet is kept under.
    static QString markOf(const QByteArray &packet);

    // A build ended, after `seconds` (failed: nothing was stored).
    void recordBuild(double seconds, bool failed);
    // The packet in use and the builds so far, at `now` (steady clock, ms).
    BuildStats stats(qint64 now) const;

private:
    mutable QMutex m_mutex;
    Entry m_entry;
    std::atomic<int> m_cacheMs{10000};
    quint64 m_builds = 0;   // under m_mutex, as the rest of the build counts
    quint64 m_failures = 0;
    double m_buildSeconds = 0;
    double m_lastBuildSeconds = 0;
};
