#include "LinkGate.h"
#include "Listener.h"
#include "Mailbox.h"
#include "ServerLog.h"
#include "ServerSettings.h"

#include <QHash>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A TLS record: type 22 (handshake), version 3.x, a length of at most 2^14.
constexpr int kRecordHeader = 5;
constexpr int kMaxGreeting = 16384;
// A greeting that has not arrived whole by then has stalled (a client sends it at once);
// dropped after kGreetingLimitMs (or the hello deadline, if shorter).
constexpr qint64 kGreetingStallMs = 250;
constexpr qint64 kGreetingLimitMs = 1000;
// A handed link whose handshake, or hello after it, has not come by then has stalled, unless
// bytes from the client wait in the socket (the server is the slow one then): a client
// starved of CPU by a burst is not taken for one that stopped.
constexpr qint64 kHandedStallMs = 1500;

struct Peer
{
    QString address;
    QString name;
};

Peer peerOf(int fd)
{
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getpeername(fd, reinterpret_cast<sockaddr *>(&storage), &length) != 0)
        return {QStringLiteral("?"), QStringLiteral("?")};
    QHostAddress address(reinterpret_cast<const sockaddr *>(&storage));
    bool v4 = false;
    const QHostAddress plain(address.toIPv4Address(&v4));
    if (v4)
        address = plain;
    const quint16 port = storage.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6 &>(storage).sin6_port)
                                                       : ntohs(reinterpret_cast<sockaddr_in &>(storage).sin_port);
    return {address.toString(), QStringLiteral("%1:%2").arg(address.toString()).arg(port)};
}

void setLowWater(int fd, int bytes)
{
    ::setsockopt(fd, SOL_SOCKET, SO_RCVLOWAT, &bytes, sizeof bytes);
}

} // namespace

struct LinkGate::Waiting
{
    qintptr fd = -1;
    QString address;
    QString name;
    qint64 since = 0;
    bool ready = false; // the whole greeting is in
    QSocketNotifier *notifier = nullptr;
    std::list<Waiting>::iterator self;

    qint64 age() const { return LinkTicket::nowMs() - since; }
};

LinkGate::LinkGate(ServerSettings &settings, ServerLog &log, HandOver handOver, QObject *parent)
    : QObject(parent), m_settings(settings), m_log(log), m_handOver(std::move(handOver)),
      m_listener(new Listener(this)), m_sweep(new QTimer(this)), m_mailbox(new Mailbox(this))
{
    connect(m_listener, &Listener::pending, this, &LinkGate::acceptWaiting);
    connect(m_sweep, &QTimer::timeout, this, &LinkGate::sweep);
    m_sweep->start(50);
}

LinkGate::~LinkGate()
{
    close();
}

bool LinkGate::listen(const QHostAddress &address, quint16 port)
{
    return m_listener->listen(address, port);
}

QString LinkGate::errorString() const
{
    return m_listener->errorString();
}

QHostAddress LinkGate::serverAddress() const
{
    return m_listener->address();
}

quint16 LinkGate::serverPort() const
{
    return m_listener->port();
}

void LinkGate::close()
{
    m_listener->close();
    while (!m_waiting.empty()) {
        Waiting &w = m_waiting.front();
        delete w.notifier;
        ::close(int(w.fd));
        m_waiting.pop_front();
    }
}

int LinkGate::connectionCount() const
{
    int live = int(m_waiting.size());
    for (const auto &t : m_handed)
        live += t->live();
    return live;
}

int LinkGate::pendingCount() const
{
    int pending = int(m_waiting.size());
    for (const auto &t : m_handed)
        pending += t->pending();
    return pending;
}

LinkGate::Counts LinkGate::counts() const
{
    Counts c;
    c.greeting = int(m_waiting.size());
    for (const auto &t : m_handed) {
        if (!t->live())
            continue;
        switch (t->state.load()) {
        case LinkTicket::Handshake: ++c.handshake; break;
        case LinkTicket::Hello: ++c.hello; break;
        case LinkTicket::Identified: ++c.identified; break;
        default: break;
        }
    }
    c.evicted = m_evicted;
    return c;
}

int LinkGate::pendingFrom(const QString &address) const
{
    int pending = 0;
    for (const auto &t : m_handed)
        pending += t->pending() && t->address == address;
    return pending;
}

void LinkGate::settled()
{
    m_mailbox->post([this] {
        promote();
        if (m_listener->isListening())
            m_listener->setAccepting(true);
    });
}

void LinkGate::acceptWaiting()
{
    for (;;) {
        if (connectionCount() >= m_settings.maxConnections && !roomLikely()) {
            // They wait in the kernel's queue; looked at again when a link goes or stalls.
            m_listener->setAccepting(false);
            return;
        }
        const int fd = m_listener->acceptOne();
        if (fd < 0)
            return;
        accept(fd);
    }
}

bool LinkGate::roomLikely()
{
    for (const auto &t : m_handed)
        if (t->live() && t->held)
            return true;
    return stalledWaiting(kGreetingStallMs) || stalledHanded(QString());
}

void LinkGate::accept(qintptr descriptor)
{
    const int fd = int(descriptor);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const Peer peer = peerOf(fd);
    setLowWater(fd, kRecordHeader);
    // A client's greeting is usually in before the link is accepted.
    QString why;
    const Greeting first = greeting(fd, why);
    if (first == Greeting::Closed || first == Greeting::Bad) {
        if (first == Greeting::Bad)
            m_log.refusal(QStringLiteral("conexão de %1 encerrada: %2").arg(peer.name, why));
        ::close(fd);
        return;
    }
    if (connectionCount() >= m_settings.maxConnections && !makeRoomFor(peer.name, first == Greeting::Whole)) {
        m_log.refusal(QStringLiteral("conexão de %1 recusada: limite de %2 conexões atingido")
                          .arg(peer.name)
                          .arg(m_settings.maxConnections.load()));
        ::close(fd);
        return;
    }
    Waiting &w = m_waiting.emplace_back();
    w.fd = descriptor;
    w.address = peer.address;
    w.name = peer.name;
    w.since = LinkTicket::nowMs();
    w.self = std::prev(m_waiting.end());
    w.notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    Waiting *wp = &w;
    connect(w.notifier, &QSocketNotifier::activated, this, [this, wp] { readGreeting(*wp); });
    if (first == Greeting::Whole) {
        setLowWater(fd, 1);
        w.notifier->setEnabled(false);
        w.ready = true;
        promote();
    }
}

LinkGate::Greeting LinkGate::greeting(int fd, QString &why)
{
    unsigned char head[kRecordHeader];
    const ssize_t n = ::recv(fd, head, sizeof head, MSG_PEEK | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return Greeting::Partial;
    if (n <= 0)
        return Greeting::Closed;
    const auto closed = [fd] {
        pollfd p{fd, POLLRDHUP, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
    };
    if (n < kRecordHeader)
        return closed() ? Greeting::Closed : Greeting::Partial;
    if (head[0] != 22 || head[1] != 3) {
        why = QStringLiteral("não iniciou uma negociação TLS");
        return Greeting::Bad;
    }
    const int length = head[3] << 8 | head[4];
    if (length == 0 || length > kMaxGreeting) {
        why = QStringLiteral("saudação TLS de %1 bytes (o máximo é %2)").arg(length).arg(kMaxGreeting);
        return Greeting::Bad;
    }
    int available = 0;
    ::ioctl(fd, FIONREAD, &available);
    if (available >= kRecordHeader + length)
        return Greeting::Whole;
    if (closed())
        return Greeting::Closed;
    setLowWater(fd, kRecordHeader + length);
    return Greeting::Partial;
}

// Called when the kernel holds the low-water mark's worth of bytes, or the peer has closed.
void LinkGate::readGreeting(Waiting &w)
{
    QString why;
    switch (greeting(int(w.fd), why)) {
    case Greeting::Partial: return;
    case Greeting::Closed: dropWaiting(w, QString()); return;
    case Greeting::Bad: dropWaiting(w, why); return;
    case Greeting::Whole: break;
    }
    setLowWater(int(w.fd), 1);
    w.notifier->setEnabled(false);
    w.ready = true;
    promote();
}

void LinkGate::promote()
{
    // Counted once here, then kept up to date as links are handed over or evicted.
    int pending = 0;
    QHash<QString, int> byAddress;
    for (auto it = m_handed.begin(); it != m_handed.end();) {
        if (!(*it)->live() && (*it)->state.load() == LinkTicket::Gone) {
            it = m_handed.erase(it);
            continue;
        }
        if ((*it)->pending()) {
            ++pending;
            ++byAddress[(*it)->address];
        }
        ++it;
    }
    const int maxPending = m_settings.maxPending;
    const int share = m_settings.maxPendingPerAddress;
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (!it->ready) {
            ++it;
            continue;
        }
        const bool addressFull = byAddress.value(it->address) >= share;
        if (pending >= maxPending || addressFull) {
            LinkTicket *victim = stalledHanded(addressFull ? it->address : QString());
            if (!victim) {
                if (!addressFull)
                    break; // no room for anyone
                ++it;
                continue;
            }
            evict(*victim, it->name,
                  addressFull ? QStringLiteral("%1 conexões sem identificação vindas de %2").arg(share).arg(it->address)
                              : QStringLiteral("%1 conexões sem identificação").arg(maxPending));
            --pending;
            --byAddress[victim->address];
        }
        ++pending;
        ++byAddress[it->address];
        auto next = std::next(it);
        hand(*it);
        it = next;
    }
}

bool LinkGate::makeRoomFor(const QString &newcomer, bool greeted)
{
    const QString why = QStringLiteral("limite de %1 conexões atingido").arg(m_settings.maxConnections.load());
    // A late refusal goes first: the link is going anyway.
    for (const auto &t : m_handed) {
        if (t->held && t->live()) {
            evict(*t, newcomer, why);
            return true;
        }
    }
    // A newcomer whose greeting is whole is worth more than any link still without one.
    if (Waiting *w = stalledWaiting(greeted ? 0 : kGreetingStallMs)) {
        m_log.refusal(QStringLiteral("conexão de %1 encerrada para dar lugar a %2: %3").arg(w->name, newcomer, why));
        ++m_evicted;
        dropWaiting(*w, QString());
        return true;
    }
    if (LinkTicket *t = stalledHanded(QString())) {
        evict(*t, newcomer, why);
        return true;
    }
    return false;
}

LinkGate::Waiting *LinkGate::stalledWaiting(qint64 ageMs)
{
    for (Waiting &w : m_waiting) // oldest first
        if (!w.ready && w.age() >= ageMs)
            return &w;
    return nullptr;
}

LinkTicket *LinkGate::stalledHanded(const QString &address)
{
    LinkTicket *oldest = nullptr;
    for (const auto &t : m_handed) {
        if (!t->pending() || (!address.isEmpty() && t->address != address))
            continue;
        if (t->held)
            return t.get();
        if (t->age() >= kHandedStallMs && (!oldest || t->since < oldest->since) && !t->bytesWaiting())
            oldest = t.get();
    }
    return oldest;
}

void LinkGate::evict(LinkTicket &ticket, const QString &newcomer, const QString &why)
{
    m_log.refusal(QStringLiteral("conexão de %1 encerrada para dar lugar a %2: %3").arg(ticket.name, newcomer, why));
    ticket.evict = true;
    ++m_evicted;
    if (ticket.requestClose)
        ticket.requestClose();
}

void LinkGate::dropWaiting(Waiting &w, const QString &reason)
{
    if (!reason.isEmpty())
        m_log.refusal(QStringLiteral("conexão de %1 encerrada: %2").arg(w.name, reason));
    w.notifier->setEnabled(false);
    w.notifier->deleteLater();
    ::close(int(w.fd));
    m_waiting.erase(w.self);
}

void LinkGate::hand(Waiting &w)
{
    auto ticket = std::make_shared<LinkTicket>(w.address, w.name, int(w.fd));
    m_handed.push_back(ticket);
    const qintptr fd = w.fd;
    w.notifier->deleteLater();
    m_waiting.erase(w.self);
    m_handOver(fd, std::move(ticket));
}

void LinkGate::sweep()
{
    m_log.flush();
    if (m_listener->isListening())
        m_listener->setAccepting(true);
    const qint64 helloMs = m_settings.helloMs;
    const qint64 greetingMs = qMin(helloMs, kGreetingLimitMs);
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        Waiting &w = *it++;
        if (!w.ready && w.age() > greetingMs)
            dropWaiting(w, QStringLiteral("não completou a saudação TLS em %1 s").arg(greetingMs / 1000.0));
        else if (w.ready && w.age() > 3 * helloMs)
            dropWaiting(w, QStringLiteral("esperou a vez por mais de %1 s").arg(3 * helloMs / 1000.0));
    }
    promote();
}
