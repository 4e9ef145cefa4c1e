#include "LinkWorker.h"
#include "DeflatedReplies.h"
#include "errors/EAbort.h"
#include "Mailbox.h"
#include "Poller.h"
#include "ServerLog.h"
#include "ServerMetrics.h"
#include "ServerOutput.h"
#include "ServerSettings.h"
#include "TlsLink.h"
#include "TokenFailures.h"
#include "net/Frame.h"
#include "net/FrameReader.h"
#include "RemoteDataModule.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>

namespace {
// The next request is read only while less than this of the last reply waits to go out.
constexpr qint64 kSocketBuffer = 256 * 1024;
constexpr int kClosingGraceMs = 2000;
// A handshake takes a round trip or two: one that has not ended by then is dropped.
constexpr qint64 kHandshakeLimitMs = 5000;

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

struct LinkWorker::Peer
{
    Peer(TlsLink *l, std::shared_ptr<LinkTicket> t) : link(l), ticket(std::move(t))
    {
        since.start();
        idleSince.start();
    }
    const QString &name() const { return ticket->name; }
    bool identified() const { return ticket->state.load() == LinkTicket::Identified; }

    TlsLink *link;
    std::shared_ptr<LinkTicket> ticket;
    FrameReader reader{Frame::MaxHelloSize};
    bool held = false;    // a late refusal is waiting: nothing more is read
    bool closing = false; // a refusal is on its way; then the link closes
    bool gone = false;    // disconnected; removed at the next turn of the loop
    bool processing = false;
    bool awaiting = false; // a call waits for its build
    size_t module = 0;     // the data module the hello named (its number)
    QElapsedTimer since;      // handed over
    QElapsedTimer idleSince;  // last complete request or last reply sent
    QElapsedTimer frameSince; // first byte of the request in progress
    QElapsedTimer writeSince; // last progress of the reply being sent
    QElapsedTimer closingSince;
};

LinkWorker::LinkWorker(ServerSettings &settings, ServerLog &log, TokenFailures &failures, DeflatedReplies &deflated,
                       ServerMetrics &metrics, std::function<void()> settled, Build build, QObject *parent)
    : QObject(parent), m_settings(settings), m_deflated(deflated), m_metrics(metrics), m_log(log), m_failures(failures),
      m_settled(std::move(settled)), m_build(std::move(build)), m_mailbox(new Mailbox(this)), m_poller(new Poller(this))
{
}

LinkWorker::~LinkWorker()
{
    closeAll();
}

void LinkWorker::setModules(std::vector<std::unique_ptr<RemoteDataModule>> modules)
{
    m_modules = std::move(modules);
}

void LinkWorker::start()
{
    if (!m_sweep) {
        m_sweep = new QTimer(this);
        connect(m_sweep, &QTimer::timeout, this, &LinkWorker::sweep);
    }
    m_sweep->start(50);
}

void LinkWorker::closeAll()
{
    for (auto &[link, peer] : m_peers) {
        link->disconnect(this);
        if (!peer->gone)
            peer->ticket->enter(LinkTicket::Gone);
        link->abort();
        link->deleteLater();
    }
    m_peers.clear();
}

LinkWorker::Peer *LinkWorker::find(TlsLink *link)
{
    const auto it = m_peers.find(link);
    return it == m_peers.end() || it->second->gone ? nullptr : it->second.get();
}

void LinkWorker::adopt(qintptr descriptor, const std::shared_ptr<LinkTicket> &ticket)
{
    auto *link = new TlsLink(int(descriptor), m_settings.context.get(), m_poller, this);
    link->setBeforeClose([ticket] { ticket->closing(); });
    m_peers.emplace(link, std::make_unique<Peer>(link, ticket));

    connect(link, &TlsLink::readyRead, this, [this, link] {
        if (Peer *p = find(link))
            processInput(*p);
    });
    connect(link, &TlsLink::progressed, this, [this, link] {
        if (Peer *p = find(link)) {
            p->writeSince.start();
            pump(*p);
        }
    });
    connect(link, &TlsLink::encrypted, this, [this, link] {
        if (Peer *p = find(link))
            p->ticket->enter(LinkTicket::Hello);
    });
    connect(link, &TlsLink::closed, this, [this, link] { forget(link); });
    connect(link, &TlsLink::failed, this, [this, link](const QString &why) {
        if (Peer *p = find(link))
            drop(*p, link->isEncrypted() ? QStringLiteral("falha na conexão TLS (%1)").arg(why)
                                         : QStringLiteral("falha na negociação TLS (%1)").arg(why));
    });
    if (ticket->evict) {
        evict(ticket);
        return;
    }
    link->startHandshake();
}

void LinkWorker::evict(const std::shared_ptr<LinkTicket> &ticket)
{
    for (auto &[link, peer] : m_peers) {
        if (peer->ticket != ticket || peer->gone)
            continue;
        if (!peer->identified()) {
            TlsLink *l = link;
            forget(l);
            l->abort();
        }
        return;
    }
}

void LinkWorker::forget(TlsLink *link)
{
    const auto it = m_peers.find(link);
    if (it == m_peers.end() || it->second->gone)
        return;
    Peer &peer = *it->second;
    // Callers up the stack may still hold the peer: it goes at the next turn of the loop.
    peer.gone = true;
    const bool wasPending = !peer.identified();
    peer.ticket->enter(LinkTicket::Gone);
    link->disconnect(this);
    QTimer::singleShot(0, this, [this, link] {
        m_peers.erase(link);
        link->deleteLater();
    });
    if (wasPending)
        m_settled();
}

void LinkWorker::processInput(Peer &peer)
{
    if (peer.processing || peer.held)
        return;
    peer.processing = true;
    while (!peer.gone && !peer.closing && !peer.held && !peer.awaiting && peer.link->unsent() < kSocketBuffer) {
        const FrameReader::Status status = peer.reader.read(peer.link);
        if (peer.reader.started() && !peer.frameSince.isValid())
            peer.frameSince.start();
        if (status == FrameReader::Status::Incomplete)
            break;
        if (status == FrameReader::Status::TooLarge) {
            refuse(peer, QStringLiteral("Requisição de %1 bytes excede o limite de %2 bytes%3.")
                             .arg(peer.reader.declaredSize())
                             .arg(peer.reader.maxPayload())
                             .arg(peer.identified() ? QString() : QStringLiteral(" antes da identificação")));
            break;
        }
        const QByteArray payload = peer.reader.takePayload();
        peer.frameSince.invalidate();
        peer.idleSince.restart();
        handleRequest(peer, payload);
    }
    peer.processing = false;
}

void LinkWorker::handleRequest(Peer &peer, const QByteArray &payload)
{
    Frame::Request request;
    try {
        request = Frame::parseRequest(payload);
    } catch (const ESuiteError &e) {
        refuse(peer, QStringLiteral("Requisição inválida: %1.").arg(e.message()));
        return;
    }

    if (request.kind == Frame::Request::Hello) {
        hello(peer, request.server, request.token);
        return;
    }

    if (!peer.identified()) {
        refuse(peer, QStringLiteral("a conexão não se identificou antes de chamar %1.").arg(request.method.left(100)));
        return;
    }
    QVariantList args;
    try {
        args = Frame::parseArgs(payload, request);
    } catch (const ESuiteError &e) {
        refuse(peer,
               QStringLiteral("Requisição inválida: argumentos de %1: %2.").arg(request.method.left(100), e.message()));
        return;
    }
    const Asked asked{request.method, request.mark, request.deflate, steadyNs()};
    QVariant result;
    try {
        if (!m_modules[peer.module]->tryInvoke(request.method, args, result)) {
            awaitBuild(peer, asked, args);
            return;
        }
    } catch (const ESuiteError &e) {
        answer(peer, asked, QVariant(), e.message());
        return;
    } catch (const std::exception &e) {
        answer(peer, asked, QVariant(),
               QStringLiteral("Erro interno do servidor de aplicação: %1").arg(QString::fromLocal8Bit(e.what())));
        return;
    }
    answer(peer, asked, result, QString());
}

void LinkWorker::hello(Peer &peer, const QString &server, const QString &token)
{
    if (peer.identified()) {
        refuse(peer, QStringLiteral("Identificação repetida na mesma conexão."));
        return;
    }
    size_t module = 0;
    while (module < m_modules.size()
           && server.compare(m_modules[module]->serverObjectName(), Qt::CaseInsensitive) != 0)
        ++module;
    if (module == m_modules.size()) {
        refuse(peer, QStringLiteral("Objeto desconhecido: %1").arg(server.left(100)));
    } else if (!tokenMatches(token)) {
        refuseToken(peer);
    } else {
        peer.module = module;
        peer.ticket->enter(LinkTicket::Identified);
        peer.reader.setMaxPayload(Frame::MaxRequestSize);
        m_failures.forget(peer.ticket->address);
        m_settled();
        send(peer, Frame::resultFrame(m_modules[module]->serverObjectName()));
    }
}

void LinkWorker::awaitBuild(Peer &peer, const Asked &asked, const QVariantList &args)
{
    peer.awaiting = true;
    TlsLink *link = peer.link;
    m_build(peer.module, asked.method, args, LinkTicket::nowMs(),
            [this, link, asked](const QVariant &result, const QString &error) {
                m_mailbox->post([this, link, asked, result = QVariant(result), error]() mutable {
                    // A packet the builder has since replaced may have its last reference
                    // here: it goes through the inline release below, where a race detector
                    // sees the reference count's order, not inside QVariant in the Qt library.
                    const QByteArray packet =
                        result.metaType().id() == QMetaType::QByteArray ? result.toByteArray() : QByteArray();
                    if (Peer *p = find(link)) {
                        p->awaiting = false;
                        answer(*p, asked, result, error);
                    }
                    result = QVariant();
                });
            });
}

void LinkWorker::answer(Peer &peer, const Asked &asked, const QVariant &result, const QString &error)
{
    m_metrics.recordCall(asked.method, double(steadyNs() - asked.readAt) / 1e9, !error.isEmpty());
    if (error.isEmpty()) {
        const QString current = m_modules[peer.module]->markOf(result);
        if (!asked.mark.isEmpty() && asked.mark == current) {
            send(peer, {Frame::unchangedFrame(current)});
            return;
        }
        // Compressed once, as a rule already where it was built.
        const QByteArray deflated = asked.deflate ? m_deflated.deflatedOf(current, result) : QByteArray();
        if (!deflated.isEmpty()) {
            send(peer, Frame::deflatedFrame(deflated, result.toByteArray().size(), current));
            return;
        }
        send(peer, Frame::resultFrame(result, current));
        return;
    }
    m_log.line(QStringLiteral("chamada %1 de %2 falhou: %3").arg(asked.method.left(100), peer.name(), error),
               ServerOutput::Error);
    send(peer, {Frame::errorFrame(error)});
}

void LinkWorker::refuse(Peer &peer, const QString &reason)
{
    m_log.refusal(QStringLiteral("conexão de %1 recusada: %2").arg(peer.name(), reason));
    peer.closing = true;
    peer.closingSince.start();
    QString text = reason;
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    send(peer, {Frame::errorFrame(text)});
}

void LinkWorker::refuseToken(Peer &peer)
{
    // Nothing more is read from the link; the refusal goes out after the delay, so that
    // guessing tokens from one address costs more time at each wrong one.
    peer.held = true;
    peer.ticket->held = true;
    TlsLink *link = peer.link;
    QTimer::singleShot(m_failures.delayFor(peer.ticket->address, m_settings.tokenDelayMs), this, [this, link] {
        if (Peer *p = find(link)) {
            p->held = false;
            refuse(*p, QStringLiteral("token de acesso inválido. Verifique o Token da seção [ServidorAplicacao] "
                                      "do arquivo de sessão."));
        }
    });
}

void LinkWorker::drop(Peer &peer, const QString &reason)
{
    const QString line = QStringLiteral("conexão de %1 encerrada: %2").arg(peer.name(), reason);
    if (peer.identified())
        m_log.line(line, ServerOutput::Info);
    else
        m_log.refusal(line);
    TlsLink *link = peer.link;
    forget(link);
    link->abort();
}

void LinkWorker::send(Peer &peer, const QByteArrayList &parts)
{
    if (peer.link->unsent() == 0)
        peer.writeSince.start();
    // The parts are shared (a cached result is the same buffer for every link), not copied.
    for (const QByteArray &part : parts)
        peer.link->send(part);
    // The error reply goes out first; the link closes after it.
    if (peer.closing)
        peer.link->finish();
}

void LinkWorker::pump(Peer &peer)
{
    if (peer.gone || peer.closing)
        return;
    if (peer.link->unsent() == 0)
        peer.idleSince.restart();
    processInput(peer);
}

void LinkWorker::sweep()
{
    std::vector<TlsLink *> links;
    links.reserve(m_peers.size());
    for (const auto &entry : m_peers)
        links.push_back(entry.first);
    const qint64 helloMs = m_settings.helloMs;
    const qint64 writeMs = m_settings.writeMs;
    for (TlsLink *link : links) {
        Peer *peer = find(link);
        // A peer waiting for its late refusal goes when that is sent; one waiting for the
        // build is not idle.
        if (!peer || peer->held || peer->awaiting)
            continue;
        const bool sending = link->unsent() > 0;
        if (!peer->identified() && peer->ticket->evict) {
            forget(link);
            link->abort();
        } else if (!link->isEncrypted() && peer->since.elapsed() > qMin(helloMs, kHandshakeLimitMs)) {
            drop(*peer, QStringLiteral("negociação TLS não concluída em %1 s").arg(qMin(helloMs, kHandshakeLimitMs) / 1000.0));
        } else if (!peer->identified() && !peer->closing && peer->since.elapsed() > helloMs) {
            drop(*peer, QStringLiteral("não se identificou em %1 s").arg(helloMs / 1000.0));
        } else if (peer->closing) {
            if (peer->closingSince.elapsed() > qMax<qint64>(kClosingGraceMs, writeMs)) {
                forget(link);
                link->abort();
            }
        } else if (sending) {
            if (peer->writeSince.isValid() && peer->writeSince.elapsed() > writeMs)
                drop(*peer, QStringLiteral("o cliente não leu a resposta em %1 ms").arg(writeMs));
        } else if (peer->frameSince.isValid()) {
            if (peer->frameSince.elapsed() > m_settings.frameMs)
                drop(*peer, QStringLiteral("requisição incompleta após %1 ms (cliente lento)").arg(m_settings.frameMs));
        } else if (peer->idleSince.elapsed() > m_settings.idleMs) {
            drop(*peer, QStringLiteral("inativa por mais de %1 s").arg(m_settings.idleMs / 1000.0));
        }
    }
}

bool LinkWorker::tokenMatches(const QString &token) const
{
    // Digests of equal length, compared without an early exit: the time taken says
    // nothing about how much of the token was right, nor about its length.
    const QByteArray given = QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256);
    const QByteArray wanted = QCryptographicHash::hash(m_settings.token.toUtf8(), QCryptographicHash::Sha256);
    unsigned char diff = 0;
    for (qsizetype i = 0; i < wanted.size(); ++i)
        diff |= static_cast<unsigned char>(given[i] ^ wanted[i]);
    return diff == 0;
}
