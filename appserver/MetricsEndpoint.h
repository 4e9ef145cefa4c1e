#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>

class QTcpServer;
class QTcpSocket;

// The health and metrics endpoint: plain HTTP on a port of its own, apart from the
// workstations' TLS port, for a monitoring system and a load balancer's health check.
//   GET /metrics  the page (Prometheus text format)
//   GET /health   200 "ok" while the server serves; 503 once it is stopping
// Each request is answered and the connection closed. It runs on the thread that creates
// it: a page takes a few microseconds to make.
class MetricsEndpoint : public QObject
{
    Q_OBJECT
public:
    using Page = std::function<QString()>;

    explicit MetricsEndpoint(Page page, QObject *parent = nullptr);

    // False on failure, with errorString() saying why.
    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const;
    QHostAddress address() const;
    quint16 port() const;
    // Health then answers 503 (the server is stopping).
    void setStopping() { m_stopping = true; }

    // The answer to a request's head (its request line and headers).
    QByteArray answer(const QByteArray &head) const;

private:
    void accept();
    void read(QTcpSocket *socket);

    QTcpServer *m_server;
    Page m_page;
    bool m_stopping = false;
    int m_open = 0;
};
