#pragma once

#include "LinkTicket.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>
#include <list>
#include <memory>
#include <vector>

class Listener;
class Mailbox;
class QSocketNotifier;
class QTimer;
class ServerLog;
struct ServerSettings;

// Admission: which arriving links get a TLS handshake, and when.
//
// A link first waits here, costing a descriptor and nothing else, until its TLS greeting
// (the client's first record, at most 16 KiB) has arrived whole; the kernel tells when
// (SO_RCVLOWAT), and nothing is read. Only then is it handed over for its handshake. A
// client sends its greeting at once; a socket that stays silent or stops in the middle of
// it never costs a handshake, and is dropped after a second.
//
// Handed links count as pending until they identify themselves; at most maxPending at once,
// and maxPendingPerAddress from one address. A waiting link over those limits waits its
// turn rather than being turned away, so many workstations behind one address (a store
// behind NAT, a terminal server) are all served. To make room, stalled links go first: a
// late wrong-token answer; a link without its whole greeting after a quarter of a second;
// a handshake or a hello that has not come within a second and a half (nothing from the
// client waiting to be read); and, for a newcomer whose
// greeting is already whole, any link still without one. A link that has identified
// itself is never closed to make room. While maxConnections are live and none of them
// can give way, newcomers wait in the kernel's queue, not accepted; one that is accepted
// and then finds no place (its greeting not in yet) is turned away.
class LinkGate : public QObject
{
    Q_OBJECT
public:
    using HandOver = std::function<void(qintptr descriptor, std::shared_ptr<LinkTicket> ticket)>;

    LinkGate(ServerSettings &settings, ServerLog &log, HandOver handOver, QObject *parent = nullptr);
    ~LinkGate() override;

    // False on failure, with errorString() saying why.
    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const;
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    // Stops listening at once (the port is free for another process); links already
    // admitted are left to their workers, the waiting ones closed.
    void close();

    int connectionCount() const;
    int pendingCount() const;
    // The links by how far they have come, for the metrics.
    struct Counts
    {
        int greeting = 0;   // accepted, their TLS greeting not yet whole or not yet handed over
        int handshake = 0;  // handed over, in their TLS handshake
        int hello = 0;      // encrypted, waiting for their hello
        int identified = 0; // served
        quint64 evicted = 0; // closed to make room for a newcomer, since the server started
    };
    Counts counts() const;

    // A handed link has identified itself or gone: room, maybe, for a waiting one. Any thread.
    void settled();

private:
    struct Waiting;
    enum class Greeting { Partial, Whole, Closed, Bad };

    // How far the first TLS record has come, looked at without reading it (Partial also
    // sets the low-water mark to the whole record); Bad says why in `why`.
    static Greeting greeting(int fd, QString &why);
    void acceptWaiting();
    // Whether a newcomer at the connection limit would find a link to take the place of.
    bool roomLikely();
    void accept(qintptr descriptor);
    void readGreeting(Waiting &w);
    void promote();
    // Closes a stalled link for a newcomer (its name for the log; greeted: its greeting
    // is whole); false when none has stalled.
    bool makeRoomFor(const QString &newcomer, bool greeted);
    Waiting *stalledWaiting(qint64 ageMs);
    LinkTicket *stalledHanded(const QString &address);
    void evict(LinkTicket &ticket, const QString &newcomer, const QString &why);
    void dropWaiting(Waiting &w, const QString &reason);
    void hand(Waiting &w);
    void sweep();
    int pendingFrom(const QString &address) const;

    ServerSettings &m_settings;
    ServerLog &m_log;
    HandOver m_handOver;
    Listener *m_listener;
    QTimer *m_sweep;
    Mailbox *m_mailbox;
    std::list<Waiting> m_waiting; // in order of arrival
    std::vector<std::shared_ptr<LinkTicket>> m_handed;
    quint64 m_evicted = 0;
};
