#include "MetricsEndpoint.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
// A request's head larger than this, or slower than this, is not from a monitoring system.
constexpr qint64 kMaxHead = 8192;
constexpr int kHeadTimeoutMs = 2000;
constexpr int kMaxOpen = 32;

QByteArray reply(int status, const char *reason, const QByteArray &type, const QByteArray &body, bool head)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason + "\r\nContent-Type: " + type
                     + "\r\nContent-Length: " + QByteArray::number(body.size())
                     + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n";
    if (!head)
        out += body;
    return out;
}

qsizetype headEnd(const QByteArray &data)
{
    const qsizetype crlf = data.indexOf("\r\n\r\n");
    if (crlf >= 0)
        return crlf;
    return data.indexOf("\n\n");
}
} // namespace

MetricsEndpoint::MetricsEndpoint(Page page, QObject *parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_page(std::move(page))
{
    connect(m_server, &QTcpServer::newConnection, this, &MetricsEndpoint::accept);
}

bool MetricsEndpoint::listen(const QHostAddress &address, quint16 port)
{
    return m_server->listen(address, port);
}

QString MetricsEndpoint::errorString() const
{
    return m_server->errorString();
}

QHostAddress MetricsEndpoint::address() const
{
    return m_server->serverAddress();
}

quint16 MetricsEndpoint::port() const
{
    return m_server->serverPort();
}

void MetricsEndpoint::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        if (m_open >= kMaxOpen) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this] { --m_open; });
        QTimer::singleShot(kHeadTimeoutMs, socket, [socket] { socket->abort(); });
    }
}

void MetricsEndpoint::read(QTcpSocket *socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray head = socket->property("head").toByteArray() + socket->read(kMaxHead);
    const qsizetype end = headEnd(head);
    if (end < 0 && head.size() < kMaxHead) {
        socket->setProperty("head", head);
        return;
    }
    socket->setProperty("answered", true);
    socket->setProperty("head", QVariant());
    socket->write(end < 0 ? reply(431, "Request Header Fields Too Large", "text/plain", "cabeçalho grande demais\n", false)
                          : answer(head.left(end)));
    socket->disconnectFromHost();
}

QByteArray MetricsEndpoint::answer(const QByteArray &head) const
{
    const qsizetype lineEnd = head.indexOf('\n');
    const QList<QByteArray> parts = head.left(lineEnd < 0 ? head.size() : lineEnd).trimmed().split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/"))
        return reply(400, "Bad Request", "text/plain; charset=utf-8", "requisição inválida\n", false);
    const bool isHead = parts[0] == "HEAD";
    if (parts[0] != "GET" && !isHead)
        return reply(405, "Method Not Allowed", "text/plain; charset=utf-8", "use GET\n", false);
    const QByteArray path = parts[1].left(parts[1].indexOf('?') < 0 ? parts[1].size() : parts[1].indexOf('?'));
    if (path == "/metrics")
        return reply(200, "OK", "text/plain; version=0.0.4; charset=utf-8", m_page().toUtf8(), isHead);
    if (path == "/health")
        return m_stopping ? reply(503, "Service Unavailable", "text/plain; charset=utf-8", "encerrando\n", isHead)
                          : reply(200, "OK", "text/plain; charset=utf-8", "ok\n", isHead);
    return reply(404, "Not Found", "text/plain; charset=utf-8", "use /metrics ou /health\n", isHead);
}
