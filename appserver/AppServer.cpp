#include "AppServer.h"
#include "EAbort.h"
#include "net/Frame.h"
#include "net/FrameReader.h"
#include "net/LinkTls.h"
#include "rdmConsListaPreco.h"
#include "TlsServer.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>

namespace {
constexpr qint64 kSocketBuffer = 256 * 1024; // bytes handed to a socket ahead of the peer
constexpr qint64 kChunk = 64 * 1024;
constexpr int kClosingGraceMs = 2000;
// A pending link may give its place to a newcomer once it is this old without having sent
// a byte (a client sends its TLS greeting at once; a socket left silent never does), or,
// its handshake done, once it has received nothing for this long.
constexpr qint64 kQuietMs = 1000;
constexpr qint64 kHandshakeMs = 250;
// Wrong tokens from an address are forgotten after this long without another.
constexpr qint64 kFailureMemoryMs = 10 * 60 * 1000;
constexpr int kMaxTokenDelayMs = 8000;
constexpr int kMaxFailureAddresses = 4096;
// Refusals logged per second; the others are counted and summed up in one line.
constexpr int kRefusalLinesPerSecond = 10;

QString peerAddress(const QTcpSocket *socket)
{
    QHostAddress address = socket->peerAddress();
    bool ok = false;
    const QHostAddress v4(address.toIPv4Address(&ok));
    if (ok)
        address = v4;
    return address.toString();
}

QString peerName(const QTcpSocket *socket)
{
    return QStringLiteral("%1:%2").arg(peerAddress(socket)).arg(socket->peerPort());
}
} // namespace

struct AppServer::Peer
{
    explicit Peer(QTcpSocket *s) : socket(s), address(peerAddress(s)), name(peerName(s))
    {
        since.start();
        lastByte.start();
    }

    QTcpSocket *socket;
    QString address;
    QString name;
    FrameReader reader{Frame::MaxHelloSize};
    bool identified = false;
    bool held = false;      // a late refusal is waiting: nothing more is read
    bool spoke = false;     // a byte has come (the TLS handshake has started)
    QElapsedTimer since;    // connected
    QElapsedTimer lastByte; // last bytes received
    bool closing = false;   // a refusal is on its way; then the link closes
    bool gone = false;      // disconnected; removed at the next turn of the loop
    bool processing = false;
    QElapsedTimer idleSince;  // last complete request or last reply sent
    QElapsedTimer frameSince; // first byte of the request in progress
    QElapsedTimer writeSince; // last progress of the reply being sent
    QElapsedTimer closingSince;
    QByteArrayList out; // reply parts not yet handed to the socket
    qsizetype outOffset = 0;
};

AppServer::AppServer(const QString &connectionName, QObject *parent)
    : QObject(parent), m_server(new TlsServer(this)), m_sweep(new QTimer(this)),
      m_module(std::make_unique<rdmConsListaPreco>(connectionName))
{
    connect(m_server, &QTcpServer::newConnection, this, &AppServer::acceptConnections);
    connect(m_sweep, &QTimer::timeout, this, &AppServer::sweep);
    restartSweep();
}

AppServer::~AppServer()
{
    for (auto &[socket, peer] : m_peers)
        socket->disconnect(this);
}

void AppServer::setTlsConfiguration(const QSslConfiguration &configuration)
{
    m_server->setConfiguration(configuration);
}

qint64 AppServer::unsent(const QTcpSocket *socket)
{
    // A TLS socket keeps what is not yet encrypted apart from what is encrypted and not
    // yet sent; both are the peer's backlog.
    const auto *tls = qobject_cast<const QSslSocket *>(socket);
    return socket->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0);
}

void AppServer::setIdleTimeout(int ms)
{
    m_idleMs = qMax(1, ms);
    restartSweep();
}

void AppServer::setFrameTimeout(int ms)
{
    m_frameMs = qMax(1, ms);
    restartSweep();
}

void AppServer::setHelloTimeout(int ms)
{
    m_helloMs = qMax(1, ms);
    restartSweep();
}

int AppServer::pendingCount() const
{
    int pending = 0;
    for (const auto &[socket, peer] : m_peers)
        pending += !peer->gone && !peer->identified;
    return pending;
}

void AppServer::setCacheTime(int ms)
{
    m_module->setCacheTime(ms);
}

void AppServer::restartSweep()
{
    m_sweep->start(qBound(20, qMin(qMin(m_idleMs, m_frameMs), m_helloMs) / 4, 1000));
}

void AppServer::listen(const QString &host, quint16 port)
{
    if (m_server->configuration().localCertificate().isNull() || m_server->configuration().privateKey().isNull())
        throw ESuiteError(QStringLiteral("O servidor de aplicação precisa de um certificado e de sua chave privada "
                                         "(Certificado e Chave na seção [ServidorAplicacao] do arquivo de sessão)."));
    if (m_token.size() < LinkTls::MinTokenLength)
        throw ESuiteError(QStringLiteral("O Token da seção [ServidorAplicacao] do arquivo de sessão está vazio ou tem "
                                         "menos de %1 caracteres. Defina um token longo e aleatório, o mesmo no "
                                         "servidor e nas estações.")
                              .arg(LinkTls::MinTokenLength));
    QHostAddress address;
    if (host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        address = QHostAddress(QHostAddress::LocalHost);
    else if (!address.setAddress(host))
        throw ESuiteError(
            QStringLiteral("Endereço de escuta inválido: \"%1\". Informe um endereço IP, por exemplo 127.0.0.1.")
                .arg(host));
    m_server->setListenBacklogSize(128);
    if (!m_server->listen(address, port))
        throw ESuiteError(QStringLiteral("Não foi possível ouvir em %1:%2 (%3). Verifique se a porta já está em uso.")
                              .arg(address.toString())
                              .arg(port)
                              .arg(m_server->errorString()));
}

QHostAddress AppServer::serverAddress() const
{
    return m_server->serverAddress();
}

quint16 AppServer::serverPort() const
{
    return m_server->serverPort();
}

AppServer::Peer *AppServer::find(QTcpSocket *socket)
{
    const auto it = m_peers.find(socket);
    return it == m_peers.end() || it->second->gone ? nullptr : it->second.get();
}

void AppServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        const QString address = peerAddress(socket);
        if (!admit(socket, address)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setReadBufferSize(kChunk);
        // Replies go out in several writes; without this the last small segment waits
        // for the client's delayed acknowledgement (tens of milliseconds).
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto peer = std::make_unique<Peer>(socket);
        peer->idleSince.start();
        m_peers.emplace(socket, std::move(peer));

        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            Peer *p = find(socket);
            if (!p)
                return;
            p->lastByte.start();
            auto *tls = qobject_cast<QSslSocket *>(socket);
            if (tls && !p->spoke) {
                // The client's first bytes (its TLS greeting, left in the socket for the
                // handshake to read): only now is a handshake spent on the link.
                p->spoke = true;
                tls->startServerEncryption();
                return;
            }
            processInput(*p);
        });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            if (Peer *p = find(socket)) {
                p->writeSince.start();
                pump(*p);
            }
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
            if (error == QAbstractSocket::SslHandshakeFailedError) {
                if (Peer *p = find(socket))
                    drop(*p, QStringLiteral("falha na negociação TLS (%1)").arg(socket->errorString()));
                return;
            }
            if (socket->state() == QAbstractSocket::UnconnectedState)
                forget(socket);
        });
        if (auto *tls = qobject_cast<QSslSocket *>(socket)) {
            // Only the encrypted payload counts as bytes of a frame.
            connect(tls, &QSslSocket::encryptedBytesWritten, this, [this, socket] {
                if (Peer *p = find(socket)) {
                    p->writeSince.start();
                    pump(*p);
                }
            });
            connect(tls, &QSslSocket::encrypted, this, [this, socket] {
                if (Peer *p = find(socket))
                    p->lastByte.start();
            });
        }
    }
}

bool AppServer::admit(QTcpSocket *socket, const QString &address)
{
    int pending = 0;
    int fromAddress = 0;
    for (const auto &[s, peer] : m_peers) {
        if (peer->gone || peer->identified)
            continue;
        ++pending;
        fromAddress += peer->address == address;
    }
    // Each limit that the newcomer would pass frees the place of a quiet pending link, or
    // turns the newcomer away.
    const auto makeRoom = [&](const QString &scope, const QString &limit) {
        Peer *victim = quietestPending(scope);
        if (!victim) {
            logRefusal(QStringLiteral("conexão de %1 recusada: %2").arg(peerName(socket), limit));
            return false;
        }
        logRefusal(QStringLiteral("conexão de %1 encerrada para dar lugar a %2: %3")
                       .arg(victim->name, peerName(socket), limit));
        QTcpSocket *old = victim->socket;
        forget(old);
        old->abort();
        --pending;
        fromAddress -= victim->address == address;
        return true;
    };
    if (fromAddress >= m_maxPendingPerAddress
        && !makeRoom(
            address,
            QStringLiteral("%1 conexões sem identificação vindas de %2").arg(m_maxPendingPerAddress).arg(address)))
        return false;
    if (pending >= m_maxPending
        && !makeRoom(QString(), QStringLiteral("%1 conexões sem identificação").arg(m_maxPending)))
        return false;
    int live = 0;
    for (const auto &[s, peer] : m_peers)
        live += !peer->gone;
    if (live >= m_maxConnections
        && !makeRoom(QString(), QStringLiteral("limite de %1 conexões atingido").arg(m_maxConnections)))
        return false;
    return true;
}

AppServer::Peer *AppServer::quietestPending(const QString &address) const
{
    Peer *oldest = nullptr;
    for (const auto &[s, peer] : m_peers) {
        if (peer->gone || peer->identified)
            continue;
        // A link waiting for its late refusal is going anyway; a handshake under way is
        // left to the hello deadline.
        const auto *tls = qobject_cast<const QSslSocket *>(peer->socket);
        const bool stalled = !peer->spoke ? peer->since.elapsed() >= kHandshakeMs
                                          : (!tls || tls->isEncrypted()) && peer->lastByte.elapsed() >= kQuietMs;
        if (!peer->held && !stalled)
            continue;
        if (!address.isEmpty() && peer->address != address)
            continue;
        if (!oldest || peer->since.elapsed() > oldest->since.elapsed())
            oldest = peer.get();
    }
    return oldest;
}

void AppServer::forget(QTcpSocket *socket)
{
    const auto it = m_peers.find(socket);
    if (it == m_peers.end() || it->second->gone)
        return;
    // Callers up the stack may still hold the peer: it goes at the next turn of the loop.
    it->second->gone = true;
    socket->disconnect(this);
    QTimer::singleShot(0, this, [this, socket] {
        m_peers.erase(socket);
        socket->deleteLater();
    });
}

void AppServer::processInput(Peer &peer)
{
    if (peer.processing || peer.held)
        return;
    peer.processing = true;
    while (!peer.gone && !peer.closing && !peer.held && peer.out.isEmpty() && unsent(peer.socket) < kSocketBuffer) {
        const FrameReader::Status status = peer.reader.read(peer.socket);
        if (peer.reader.started() && !peer.frameSince.isValid())
            peer.frameSince.start();
        if (status == FrameReader::Status::Incomplete)
            break;
        if (status == FrameReader::Status::TooLarge) {
            refuse(peer, QStringLiteral("Requisição de %1 bytes excede o limite de %2 bytes%3.")
                             .arg(peer.reader.declaredSize())
                             .arg(peer.reader.maxPayload())
                             .arg(peer.identified ? QString() : QStringLiteral(" antes da identificação")));
            break;
        }
        const QByteArray payload = peer.reader.takePayload();
        peer.frameSince.invalidate();
        peer.idleSince.restart();
        handleRequest(peer, payload);
    }
    peer.processing = false;
}

void AppServer::handleRequest(Peer &peer, const QByteArray &payload)
{
    Frame::Request request;
    try {
        request = Frame::parseRequest(payload);
    } catch (const ESuiteError &e) {
        refuse(peer, QStringLiteral("Requisição inválida: %1.").arg(e.message()));
        return;
    }

    if (request.kind == Frame::Request::Hello) {
        if (peer.identified) {
            refuse(peer, QStringLiteral("Identificação repetida na mesma conexão."));
        } else if (request.server.compare(rdmConsListaPreco::serverObjectName(), Qt::CaseInsensitive) != 0) {
            refuse(peer, QStringLiteral("Objeto desconhecido: %1").arg(request.server.left(100)));
        } else if (!tokenMatches(request.token)) {
            refuseToken(peer);
        } else {
            peer.identified = true;
            peer.reader.setMaxPayload(Frame::MaxRequestSize);
            m_failures.remove(peer.address);
            send(peer, Frame::resultFrame(rdmConsListaPreco::serverObjectName()));
        }
        return;
    }

    if (!peer.identified) {
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
    QByteArrayList reply;
    try {
        reply = Frame::resultFrame(m_module->invoke(request.method, args));
    } catch (const ESuiteError &e) {
        log(QStringLiteral("chamada %1 de %2 falhou: %3").arg(request.method.left(100), peer.name, e.message()));
        reply = {Frame::errorFrame(e.message())};
    } catch (const std::exception &e) {
        log(QStringLiteral("chamada %1 de %2 falhou: %3")
                .arg(request.method.left(100), peer.name, QString::fromLocal8Bit(e.what())));
        reply = {Frame::errorFrame(
            QStringLiteral("Erro interno do servidor de aplicação: %1").arg(QString::fromLocal8Bit(e.what())))};
    }
    send(peer, reply);
}

void AppServer::refuse(Peer &peer, const QString &reason)
{
    logRefusal(QStringLiteral("conexão de %1 recusada: %2").arg(peer.name, reason));
    peer.closing = true;
    peer.closingSince.start();
    QString text = reason;
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    send(peer, {Frame::errorFrame(text)});
}

void AppServer::refuseToken(Peer &peer)
{
    // Nothing more is read from the link; the refusal goes out after the delay, so that
    // guessing tokens from one address costs more time at each wrong one.
    peer.held = true;
    QTcpSocket *socket = peer.socket;
    QTimer::singleShot(tokenDelay(peer.address), this, [this, socket] {
        if (Peer *p = find(socket)) {
            p->held = false;
            refuse(*p, QStringLiteral("token de acesso inválido. Verifique o Token da seção [ServidorAplicacao] "
                                      "do arquivo de sessão."));
        }
    });
}

int AppServer::tokenDelay(const QString &address)
{
    if (m_failures.size() >= kMaxFailureAddresses) {
        for (auto it = m_failures.begin(); it != m_failures.end();)
            it = it->last.elapsed() > kFailureMemoryMs ? m_failures.erase(it) : std::next(it);
        if (m_failures.size() >= kMaxFailureAddresses)
            m_failures.clear();
    }
    Failures &f = m_failures[address];
    if (f.last.isValid() && f.last.elapsed() > kFailureMemoryMs)
        f.count = 0;
    f.last.start();
    const int doublings = qMin(f.count++, 16);
    return int(qMin<qint64>(qint64(m_tokenDelayMs) << doublings, kMaxTokenDelayMs));
}

void AppServer::log(const QString &line)
{
    flushRefusalLog();
    emit logMessage(line);
}

void AppServer::logRefusal(const QString &line)
{
    if (!m_logWindow.isValid() || m_logWindow.elapsed() >= 1000) {
        flushRefusalLog();
        m_logWindow.start();
        m_logged = 0;
    }
    if (m_logged < kRefusalLinesPerSecond) {
        ++m_logged;
        emit logMessage(line);
    } else {
        ++m_unlogged;
    }
}

void AppServer::flushRefusalLog()
{
    if (m_unlogged == 0 || (m_logWindow.isValid() && m_logWindow.elapsed() < 1000))
        return;
    emit logMessage(QStringLiteral("mais %1 conexões recusadas ou encerradas não registradas (até %2 por segundo)")
                        .arg(m_unlogged)
                        .arg(kRefusalLinesPerSecond));
    m_unlogged = 0;
}

void AppServer::drop(Peer &peer, const QString &reason)
{
    const QString line = QStringLiteral("conexão de %1 encerrada: %2").arg(peer.name, reason);
    if (peer.identified)
        log(line);
    else
        logRefusal(line);
    QTcpSocket *socket = peer.socket;
    forget(socket);
    socket->abort();
}

void AppServer::send(Peer &peer, const QByteArrayList &parts)
{
    if (peer.out.isEmpty() && unsent(peer.socket) == 0)
        peer.writeSince.start();
    peer.out.append(parts);
    pump(peer);
}

void AppServer::pump(Peer &peer)
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

void AppServer::sweep()
{
    flushRefusalLog();
    std::vector<QTcpSocket *> sockets;
    sockets.reserve(m_peers.size());
    for (const auto &entry : m_peers)
        sockets.push_back(entry.first);
    for (QTcpSocket *socket : sockets) {
        Peer *peer = find(socket);
        // A peer waiting for its late refusal goes when that is sent.
        if (!peer || peer->held)
            continue;
        const bool sending = !peer->out.isEmpty() || unsent(socket) > 0;
        if (!peer->identified && !peer->closing && peer->since.elapsed() > m_helloMs) {
            drop(*peer, QStringLiteral("não se identificou em %1 s").arg(m_helloMs / 1000.0));
        } else if (peer->closing) {
            if (peer->closingSince.elapsed() > qMax(kClosingGraceMs, m_writeMs)) {
                forget(socket);
                socket->abort();
            }
        } else if (sending) {
            if (peer->writeSince.isValid() && peer->writeSince.elapsed() > m_writeMs)
                drop(*peer, QStringLiteral("o cliente não leu a resposta em %1 ms").arg(m_writeMs));
        } else if (peer->frameSince.isValid()) {
            if (peer->frameSince.elapsed() > m_frameMs)
                drop(*peer, QStringLiteral("requisição incompleta após %1 ms (cliente lento)").arg(m_frameMs));
        } else if (peer->idleSince.elapsed() > m_idleMs) {
            drop(*peer, QStringLiteral("inativa por mais de %1 s").arg(m_idleMs / 1000.0));
        }
    }
}

bool AppServer::tokenMatches(const QString &token) const
{
    // Digests of equal length, compared without an early exit: the time taken says
    // nothing about how much of the token was right, nor about its length.
    const QByteArray given = QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256);
    const QByteArray wanted = QCryptographicHash::hash(m_token.toUtf8(), QCryptographicHash::Sha256);
    unsigned char diff = 0;
    for (qsizetype i = 0; i < wanted.size(); ++i)
        diff |= static_cast<unsigned char>(given[i] ^ wanted[i]);
    return diff == 0;
}
