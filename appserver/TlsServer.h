#pragma once

#include <QSslConfiguration>
#include <QTcpServer>

// A QTcpServer whose pending connections are QSslSockets set up with the server's
// certificate and key, not yet encrypting: the caller decides whether to take a link
// before it spends a handshake on it, then calls startServerEncryption().
class TlsServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit TlsServer(QObject *parent = nullptr) : QTcpServer(parent) { }

    void setConfiguration(const QSslConfiguration &configuration) { m_configuration = configuration; }
    const QSslConfiguration &configuration() const { return m_configuration; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    QSslConfiguration m_configuration;
};
