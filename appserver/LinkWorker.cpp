#include "LinkWorker.h"
#include "errors/EAbort.h"
#include "Mailbox.h"
#include "ServerLog.h"
#include "ServerSettings.h"
#include "TokenFailures.h"
#include "net/Frame.h"
#include "net/FrameReader.h"
#include "rdmConsListaPreco.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QSslSocket>
#include <QTimer>

namespace {
constexpr qint64 kSocketBuffer = 256 * 1024; // bytes handed to a socket ahead of the peer
constexpr qint64 kChunk = 64 * 1024;
constexpr int kClosingGraceMs = 2000;
// A handshake takes a round trip or two: one that has not ended by then is dropped.
constexpr qint64 kHandshakeLimitMs = 5000;

qint64 unsent(const QSslSocket *socket)
{
    // What is not yet encrypted and what is encrypted and not yet sent: both are the
    // peer's backlog.
    return socket->bytesToWrite() + socket->encryptedBytesToWrite();
}
} // namespace

struct LinkWorker::Peer
{
    Peer(QSslSocket *s, std::shared_ptr<LinkTicket> t) : socket(s), ticket(std::move(t))
    {
        since.start();
        idleSince.start();
    }
    const QString &name() const { return ticket->name; }
    bool identified() const { return ticket->state.load() == LinkTicket::Identified; }

    QSslSocket *socket;
    std::shared_ptr<LinkTicket> ticket;
    FrameReader reader{Frame::MaxHelloSize};
    bool held = false;    // a late refusal is waiting: nothing more is read
    bool closing = false; // a refusal is on its way; then the link closes
    bool gone = false;    // disconnected; removed at the next turn of the loop
    bool processing = false;
    bool awaiting = false; // a call waits for the list to be built
    QElapsedTimer since;      // handed over
    QElapsedTimer idleSince;  // last complete request or last reply sent
    QElapsedTimer frameSince; // first byte of the request in progress
    QElapsedTimer writeSince; // last progress of the reply being sent
    QElapsedTimer closingSince;
    QByteArrayList out; // reply parts not yet handed to the socket
    qsizetype outOffset = 0;
};

LinkWorker::LinkWorker(ServerSettings &settings, ServerLog &log, TokenFailures &failures, std::function<void()> settled,
                       Build build, QObject *parent)
    : QObject(parent), m_settings(settings), m_log(log), m_failures(failures), m_settled(std::move(settled)),
      m_build(std::move(build)), m_mailbox(new Mailbox(this))
{
}

LinkWorker::~LinkWorker()
{
    closeAll();
}

void LinkWorker::setModule(std::unique_ptr<rdmConsListaPreco> module)
{
    m_module = std::move(module);
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
    for (auto &[socket, peer] : m_peers) {
        socket->disconnect(this);
        if (!peer->gone)
            peer->ticket->enter(LinkTicket::Gone);
        socket->abort();
        socket->deleteLater();
    }
    m_peers.clear();
}

LinkWorker::Peer *LinkWorker::find(QSslSocket *socket)
{
    const auto it = m_peers.find(socket);
    return it == m_peers.end() || it->second->gone ? nullptr : it->second.get();
}

void LinkWorker::adopt(qintptr descriptor, const std::shared_ptr<LinkTicket> &ticket)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ticket->enter(LinkTicket::Gone);
        m_settled();
        return;
    }
    socket->setSslConfiguration(m_settings.tls);
    socket->setReadBufferSize(kChunk);
    // Replies go out in several writes; without this the last small segment waits for the
    // client's delayed acknowledgement (tens of milliseconds).
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_peers.emplace(socket, std::make_unique<Peer>(socket, ticket));

    connect(socket, &QSslSocket::readyRead, this, [this, socket] {
        if (Peer *p = find(socket))
            processInput(*p);
    });
    connect(socket, &QSslSocket::bytesWritten, this, [this, socket] {
        if (Peer *p = find(socket)) {
            p->writeSince.start();
            pump(*p);
        }
    });
    // Only the encrypted payload counts as bytes of a frame.
    connect(socket, &QSslSocket::encryptedBytesWritten, this, [this, socket] {
        if (Peer *p = find(socket)) {
            p->writeSince.start();
            pump(*p);
        }
    });
    connect(socket, &QSslSocket::encrypted, this, [this, socket] {
        if (Peer *p = find(socket))
            p->ticket->enter(LinkTicket::Hello);
    });
    connect(socket, &QSslSocket::disconnected, this, [this, socket] { forget(socket); });
    connect(socket, &QSslSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::SslHandshakeFailedError) {
            if (Peer *p = find(socket))
                drop(*p, QStringLiteral("falha na negociação TLS (%1)").arg(socket->errorString()));
            return;
        }
        if (socket->state() == QAbstractSocket::UnconnectedState)
            forget(socket);
    });
    if (ticket->evict) {
        evict(ticket);
        return;
    }
    socket->startServerEncryption();
}

void LinkWorker::evict(const std::shared_ptr<LinkTicket> &ticket)
{
    for (auto &[socket, peer] : m_peers) {
        if (peer->ticket != ticket || peer->gone)
            continue;
        if (!peer->identified()) {
            QSslSocket *s = socket;
            forget(s);
            s->abort();
        }
        return;
    }
}

void LinkWorker::forget(QSslSocket *socket)
{
    const auto it = m_peers.find(socket);
    if (it == m_peers.end() || it->second->gone)
        return;
    Peer &peer = *it->second;
    // Callers up the stack may still hold the peer: it goes at the next turn of the loop.
    peer.gone = true;
    const bool wasPending = !peer.identified();
    peer.ticket->enter(LinkTicket::Gone);
    socket->disconnect(this);
    QTimer::singleShot(0, this, [this, socket] {
        m_peers.erase(socket);
        socket->deleteLater();
    });
    if (wasPending)
        m_settled();
}

void LinkWorker::processInput(Peer &peer)
{
    if (peer.processing || peer.held)
        return;
    peer.processing = true;
    while (!peer.gone && !peer.closing && !peer.held && !peer.awaiting && peer.out.isEmpty()
           && unsent(peer.socket) < kSocketBuffer) {
        const FrameReader::Status status = peer.reader.read(peer.socket);
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
        if (peer.identified()) {
            refuse(peer, QStringLiteral("Identificação repetida na mesma conexão."));
        } else if (request.server.compare(rdmConsListaPreco::serverObjectName(), Qt::CaseInsensitive) != 0) {
            refuse(peer, QStringLiteral("Objeto desconhecido: %1").arg(request.server.left(100)));
        } else if (!tokenMatches(request.token)) {
            refuseToken(peer);
        } else {
            peer.ticket->enter(LinkTicket::Identified);
            peer.reader.setMaxPayload(Frame::MaxRequestSize);
            m_failures.forget(peer.ticket->address);
            m_settled();
            send(peer, Frame::resultFrame(rdmConsListaPreco::serverObjectName()));
        }
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
    QVariant result;
    try {
        if (!m_module->tryInvoke(request.method, args, result)) {
            awaitBuild(peer, request.method, request.mark);
            return;
        }
    } catch (const ESuiteError &e) {
        answer(peer, request.method, QString(), QVariant(), e.message());
        return;
    } catch (const std::exception &e) {
        answer(peer, request.method, QString(), QVariant(),
               QStringLiteral("Erro interno do servidor de aplicação: %1").arg(QString::fromLocal8Bit(e.what())));
        return;
    }
    answer(peer, request.method, request.mark, result, QString());
}

void LinkWorker::awaitBuild(Peer &peer, const QString &method, const QString &mark)
{
    peer.awaiting = true;
    QSslSocket *socket = peer.socket;
    m_build(LinkTicket::nowMs(), [this, socket, method, mark](const QByteArray &packet, const QString &error) {
        m_mailbox->post([this, socket, method, mark, packet, error] {
            Peer *p = find(socket);
            if (!p)
                return;
            p->awaiting = false;
            answer(*p, method, mark, packet.isNull() ? QVariant() : QVariant(packet), error);
        });
    });
}

void LinkWorker::answer(Peer &peer, const QString &method, const QString &mark, const QVariant &result,
                        const QString &error)
{
    if (error.isEmpty()) {
        const QString current = m_module->markOf(result);
        if (!mark.isEmpty() && mark == current)
            send(peer, {Frame::unchangedFrame(current)});
        else
            send(peer, Frame::resultFrame(result, current));
        return;
    }
    m_log.line(QStringLiteral("chamada %1 de %2 falhou: %3").arg(method.left(100), peer.name(), error));
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
    QSslSocket *socket = peer.socket;
    QTimer::singleShot(m_failures.delayFor(peer.ticket->address, m_settings.tokenDelayMs), this, [this, socket] {
        if (Peer *p = find(socket)) {
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
        m_log.line(line);
    else
        m_log.refusal(line);
    QSslSocket *socket = peer.socket;
    forget(socket);
    socket->abort();
}

void LinkWorker::send(Peer &peer, const QByteArrayList &parts)
{
    if (peer.out.isEmpty() && unsent(peer.socket) == 0)
        peer.writeSince.start();
    peer.out.append(parts);
    pump(peer);
}

void LinkWorker::pump(Peer &peer)
{
    while (!peer.gone && !peer.out.isEmpty() && unsent(peer.socket) < kSocketBuffer) {
        const QByteArray &part = peer.out.constFirst();
        const qint64 n = qMin<qint64>(part.size() - peer.outOffset, kChunk);
        const qint64 written = n > 0 ? peer.socket->write(part.constData() + peer.outOffset, n) : 0;
        if (written < 0) {
            drop(peer, QStringLiteral("falha ao enviar a resposta (%1)").arg(peer.socket->errorString()));
            return;
        }
        peer.outOffset += written;
        if (peer.outOffset >= part.size()) {
            peer.out.removeFirst();
            peer.outOffset = 0;
        }
    }
    if (peer.gone || !peer.out.isEmpty())
        return;
    if (peer.closing) {
        // The error reply goes out first; disconnectFromHost waits for it.
        if (peer.socket->state() == QAbstractSocket::ConnectedState)
            peer.socket->disconnectFromHost();
        return;
    }
    if (unsent(peer.socket) == 0)
        peer.idleSince.restart();
    processInput(peer);
}

void LinkWorker::sweep()
{
    std::vector<QSslSocket *> sockets;
    sockets.reserve(m_peers.size());
    for (const auto &entry : m_peers)
        sockets.push_back(entry.first);
    const qint64 helloMs = m_settings.helloMs;
    const qint64 writeMs = m_settings.writeMs;
    for (QSslSocket *socket : sockets) {
        Peer *peer = find(socket);
        // A peer waiting for its late refusal goes when that is sent; one waiting for the
        // list is not idle.
        if (!peer || peer->held || peer->awaiting)
            continue;
        const bool sending = !peer->out.isEmpty() || unsent(socket) > 0;
        if (!peer->identified() && peer->ticket->evict) {
            forget(socket);
            socket->abort();
        } else if (!socket->isEncrypted() && peer->since.elapsed() > qMin(helloMs, kHandshakeLimitMs)) {
            drop(*peer, QStringLiteral("negociação TLS não concluída em %1 s").arg(qMin(helloMs, kHandshakeLimitMs) / 1000.0));
        } else if (!peer->identified() && !peer->closing && peer->since.elapsed() > helloMs) {
            drop(*peer, QStringLiteral("não se identificou em %1 s").arg(helloMs / 1000.0));
        } else if (peer->closing) {
            if (peer->closingSince.elapsed() > qMax<qint64>(kClosingGraceMs, writeMs)) {
                forget(socket);
                socket->abort();
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
