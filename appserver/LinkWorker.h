#pragma once

#include "LinkTicket.h"
#include "ListBuilder.h"

#include <QByteArrayList>
#include <QVariant>
#include <QObject>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class DeflatedReplies;
class Mailbox;
class Poller;
class TlsLink;
class QTimer;
class ServerLog;
class ServerMetrics;
class TokenFailures;
class RemoteDataModule;
struct ServerSettings;

// Serves the links the gate hands over, on the thread it lives in: the TLS handshake, the
// hello, which picks the data module the link calls, then the calls, one reply per request,
// in order. A call that needs a build waits for it without holding up the other links. A link that does not finish its
// handshake in time, does not identify itself, sends a malformed or oversized frame, sends
// a request too slowly or stops reading its replies is closed. No client can make it
// allocate more than the request cap per link.
class LinkWorker : public QObject
{
    Q_OBJECT
public:
    // Asks for a call of module number `module` that needs a build (RemoteDataModule::
    // invokeBuilt), as the database holds it at askedAt or later; `done` may run on any thread.
    using Build = std::function<void(size_t module, const QString &method, const QVariantList &args, qint64 askedAt,
                                     ListBuilder::Done done)>;

    // settled: called (on this thread) when a link stops being pending: it identified
    // itself, or it went before doing so.
    // deflated: the compressed results every worker shares; metrics: where calls are counted.
    LinkWorker(ServerSettings &settings, ServerLog &log, TokenFailures &failures, DeflatedReplies &deflated,
               ServerMetrics &metrics, std::function<void()> settled, Build build, QObject *parent = nullptr);
    ~LinkWorker() override;

    // The data modules a link may name, by the server's numbering, their connection opened
    // on this worker's thread.
    void setModules(std::vector<std::unique_ptr<RemoteDataModule>> modules);

    // Takes a connected descriptor whose TLS greeting is waiting in the kernel. Call on
    // this worker's thread (queue it from another).
    void adopt(qintptr descriptor, const std::shared_ptr<LinkTicket> &ticket);
    // Closes the link of a ticket the gate has marked for eviction, unless it has identified
    // itself since.
    void evict(const std::shared_ptr<LinkTicket> &ticket);
    // Closes every link (the server is stopping).
    void closeAll();
    // Starts the timer that enforces the deadlines; call on this worker's thread.
    void start();
    // Work for this worker's thread.
    Mailbox &mailbox() { return *m_mailbox; }

private:
    struct Peer;

    void processInput(Peer &peer);
    void handleRequest(Peer &peer, const QByteArray &payload);
    void hello(Peer &peer, const QString &server, const QString &token);
    // What a call's answer depends on besides its result: the mark of what the client keeps of
    // it ("unchanged" is the answer when it is current), and whether it takes it compressed.
    struct Asked
    {
        QString method;
        QString mark;
        bool deflate = false;
        qint64 readAt = 0; // when the request had been read whole (steady clock, ns)
    };
    void awaitBuild(Peer &peer, const Asked &asked, const QVariantList &args);
    void answer(Peer &peer, const Asked &asked, const QVariant &result, const QString &error);
    void send(Peer &peer, const QByteArrayList &parts);
    void pump(Peer &peer);
    void refuse(Peer &peer, const QString &reason);
    void refuseToken(Peer &peer);
    void drop(Peer &peer, const QString &reason);
    void forget(TlsLink *link);
    void sweep();
    bool tokenMatches(const QString &token) const;
    Peer *find(TlsLink *link);

    ServerSettings &m_settings;
    DeflatedReplies &m_deflated;
    ServerMetrics &m_metrics;
    ServerLog &m_log;
    TokenFailures &m_failures;
    std::vector<std::unique_ptr<RemoteDataModule>> m_modules;
    std::function<void()> m_settled;
    Build m_build;
    QTimer *m_sweep = nullptr;
    Mailbox *m_mailbox;
    Poller *m_poller; // the links' sockets
    std::unordered_map<TlsLink *, std::unique_ptr<Peer>> m_peers;
};
