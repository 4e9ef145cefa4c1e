#include "AppServer.h"
#include "EAbort.h"
#include "net/Frame.h"
#include "net/FrameReader.h"
#include "rdmConsListaPreco.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
constexpr qint64 kSocketBuffer = 256 * 1024;   // bytes handed to a socket ahead of the peer
constexpr qint64 kChunk = 64 * 1024;
constexpr int kClosingGraceMs = 2000;

QString peerName(const QTcpSocket *socket)
{
    QHostAddress address = socket->peerAddress();
    bool ok = false;
    const QHostAddress v4(address.toIPv4Address(&ok));
    if (ok)
        address = v4;
    return QStringLiteral("%1:%2").arg(address.toString()).arg(socket->peerPort());
}
} // namespace

struct AppServer::Peer
{
    explicit Peer(QTcpSocket *s) : socket(s), name(peerName(s)) {}

    QTcpSocket *socket;
    QString name;
    FrameReader reader{Frame::MaxRequestSize};
    bool identified = false;
    bool closing = false;          // a refusal is on its way; then the link closes
    bool gone = false;             // disconnected; removed at the next turn of the loop
    bool processing = false;
    QElapsedTimer idleSince;       // last complete request or last reply sent
    QElapsedTimer frameSince;      // first byte of the request in progress
    QElapsedTimer writeSince;      // last progress of the reply being sent
    QElapsedTimer closingSince;
    QByteArrayList out;            // reply parts not yet handed to the socket
    qsizetype outOffset = 0;
};

AppServer::AppServer(const QString &connectionName, QObject *parent)
    : QObject(parent),
      m_server(new QTcpServer(this)),
      m_sweep(new QTimer(this)),
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

void AppServer::setCacheTime(int ms)
{
    m_module->setCacheTime(ms);
}

void AppServer::restartSweep()
{
    m_sweep->start(qBound(20, qMin(m_idleMs, m_frameMs) / 4, 1000));
}

void AppServer::listen(const QString &host, quint16 port)
{
    QHostAddress address;
    if (host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        address = QHostAddress(QHostAddress::LocalHost);
    else if (!address.setAddress(host))
        throw ESuiteError(QStringLiteral("Endereço de escuta inválido: \"%1\". Informe um endereço IP, por exemplo 127.0.0.1.")
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
        if (int(m_peers.size()) >= m_maxConnections) {
            emit logMessage(QStringLiteral("conexão de %1 recusada: limite de %2 conexões atingido")
                                .arg(peerName(socket))
                                .arg(m_maxConnections));
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
            if (Peer *p = find(socket))
                processInput(*p);
        });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            if (Peer *p = find(socket)) {
                p->writeSince.start();
                pump(*p);
            }
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError) {
            if (socket->state() == QAbstractSocket::UnconnectedState)
                forget(socket);
        });
        // Bytes may have arrived before the signals were connected.
        if (Peer *p = find(socket))
            processInput(*p);
    }
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
    if (peer.processing)
        return;
    peer.processing = true;
    while (!peer.gone && !peer.closing && peer.out.isEmpty()
           && peer.socket->bytesToWrite() < kSocketBuffer) {
        const FrameReader::Status status = peer.reader.read(peer.socket);
        if (peer.reader.started() && !peer.frameSince.isValid())
            peer.frameSince.start();
        if (status == FrameReader::Status::Incomplete)
            break;
        if (status == FrameReader::Status::TooLarge) {
            refuse(peer, QStringLiteral("Requisição de %1 bytes excede o limite de %2 bytes.")
                             .arg(peer.reader.declaredSize())
                             .arg(Frame::MaxRequestSize));
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
            refuse(peer, QStringLiteral("token de acesso inválido. Verifique o Token da seção [ServidorAplicacao] "
                                        "do arquivo de sessão."));
        } else {
            peer.identified = true;
            send(peer, Frame::resultFrame(rdmConsListaPreco::serverObjectName()));
        }
        return;
    }

    if (!peer.identified) {
        refuse(peer, QStringLiteral("a conexão não se identificou antes de chamar %1.").arg(request.method.left(100)));
        return;
    }
    QByteArrayList reply;
    try {
        reply = Frame::resultFrame(m_module->invoke(request.method, request.args));
    } catch (const ESuiteError &e) {
        emit logMessage(QStringLiteral("chamada %1 de %2 falhou: %3").arg(request.method.left(100), peer.name, e.message()));
        reply = {Frame::errorFrame(e.message())};
    } catch (const std::exception &e) {
        emit logMessage(QStringLiteral("chamada %1 de %2 falhou: %3")
                            .arg(request.method.left(100), peer.name, QString::fromLocal8Bit(e.what())));
        reply = {Frame::errorFrame(QStringLiteral("Erro interno do servidor de aplicação: %1")
                                       .arg(QString::fromLocal8Bit(e.what())))};
    }
    send(peer, reply);
}

void AppServer::refuse(Peer &peer, const QString &reason)
{
    emit logMessage(QStringLiteral("conexão de %1 recusada: %2").arg(peer.name, reason));
    peer.closing = true;
    peer.closingSince.start();
    QString text = reason;
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    send(peer, {Frame::errorFrame(text)});
}

void AppServer::drop(Peer &peer, const QString &reason)
{
    emit logMessage(QStringLiteral("conexão de %1 encerrada: %2").arg(peer.name, reason));
    QTcpSocket *socket = peer.socket;
    forget(socket);
    socket->abort();
}

void AppServer::send(Peer &peer, const QByteArrayList &parts)
{
    if (peer.out.isEmpty() && peer.socket->bytesToWrite() == 0)
        peer.writeSince.start();
    peer.out.append(parts);
    pump(peer);
}

void AppServer::pump(Peer &peer)
{
    while (!peer.gone && !peer.out.isEmpty() && peer.socket->bytesToWrite() < kSocketBuffer) {
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
    if (peer.socket->bytesToWrite() == 0)
        peer.idleSince.restart();
    processInput(peer);
}

void AppServer::sweep()
{
    std::vector<QTcpSocket *> sockets;
    sockets.reserve(m_peers.size());
    for (const auto &entry : m_peers)
        sockets.push_back(entry.first);
    for (QTcpSocket *socket : sockets) {
        Peer *peer = find(socket);
        if (!peer)
            continue;
        const bool sending = !peer->out.isEmpty() || socket->bytesToWrite() > 0;
        if (peer->closing) {
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
