#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <memory>
#include <unordered_map>

class QTcpServer;
class QTcpSocket;
class QTimer;
class rdmConsListaPreco;

// The application server Lpr07700: accepts TNetConnection clients on TCP and serves
// the remote data module rdmConsListaPreco. One thread, non-blocking sockets.
//
// A client first identifies itself (server object name and token); then it calls
// methods, one reply per request, in order. The server refuses and closes a link on a
// wrong token, an unknown object, a malformed or oversized frame; it drops peers that
// stay idle, that dribble a frame, or that stop reading their replies. No client can
// stop it or make it allocate more than the request cap per link.
class AppServer : public QObject
{
    Q_OBJECT
public:
    // connectionName: the database connection the data module reads (already open).
    explicit AppServer(const QString &connectionName, QObject *parent = nullptr);
    ~AppServer() override;

    // The token clients must present (compared in constant time). Empty: only an
    // empty token is accepted.
    void setToken(const QString &token) { m_token = token; }
    // A link with no complete request for this long is closed (ms).
    void setIdleTimeout(int ms);
    int idleTimeout() const { return m_idleMs; }
    // A request must arrive whole within this time of its first byte (ms).
    void setFrameTimeout(int ms);
    // A reply being sent must make progress within this time (ms).
    void setWriteTimeout(int ms) { m_writeMs = ms; }
    // How long GetFornecedor's packet is reused (ms; 0: never).
    void setCacheTime(int ms);
    // Links beyond this number are closed as they arrive.
    void setMaxConnections(int count) { m_maxConnections = count; }

    // Starts listening; raises ESuiteError naming the address and the cause.
    // host: an IP address, or "localhost"; port 0 picks a free port.
    void listen(const QString &host, quint16 port);
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    int connectionCount() const { return int(m_peers.size()); }

    rdmConsListaPreco &dataModule() { return *m_module; }

signals:
    // One line for the log: refusals, dropped peers, failed calls.
    void logMessage(const QString &line);

private:
    struct Peer;

    void acceptConnections();
    void processInput(Peer &peer);
    void handleRequest(Peer &peer, const QByteArray &payload);
    void send(Peer &peer, const QByteArrayList &parts);
    void pump(Peer &peer);
    void refuse(Peer &peer, const QString &reason);
    void drop(Peer &peer, const QString &reason);
    void forget(QTcpSocket *socket);
    void sweep();
    void restartSweep();
    bool tokenMatches(const QString &token) const;
    Peer *find(QTcpSocket *socket);

    QTcpServer *m_server;
    QTimer *m_sweep;
    std::unique_ptr<rdmConsListaPreco> m_module;
    std::unordered_map<QTcpSocket *, std::unique_ptr<Peer>> m_peers;
    QString m_token;
    int m_idleMs = 300000;
    int m_frameMs = 5000;
    int m_writeMs = 30000;
    int m_maxConnections = 256;
};
