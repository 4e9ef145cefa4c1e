#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <memory>
#include <unordered_map>

class QSslConfiguration;
class QTcpSocket;
class TlsServer;
class QTimer;
class rdmConsListaPreco;

// The application server Lpr07700: accepts TNetConnection clients over TLS and serves
// the remote data module rdmConsListaPreco. One thread, non-blocking sockets.
//
// A client first identifies itself (server object name and token); then it calls
// methods, one reply per request, in order. The server refuses and closes a link on a
// wrong token, an unknown object, a malformed or oversized frame; it drops peers that
// stay idle, that dribble a frame, or that stop reading their replies. No client can
// stop it or make it allocate more than the request cap per link.
//
// Until a link has identified itself it is "pending": it must do so within the hello
// deadline, its frames are capped at Frame::MaxHelloSize, and nothing of its request
// beyond op, object and token is decoded. Pending links are few: at most
// maxPendingPerAddress from one address (more are refused) and maxPending in all,
// which keeps the rest of maxConnections for identified clients. A newcomer over
// either limit, or over maxConnections, takes the place of the oldest pending link
// that has stalled (not a byte in a quarter of a second, or nothing for a second after its
// TLS handshake), so that idle sockets cannot keep a real client out. The handshake
// starts only when the client's first bytes arrive. A wrong token is answered late, later at each new
// failure from the same address. Refusals are logged a few per second at most.
class AppServer : public QObject
{
    Q_OBJECT
public:
    // connectionName: the database connection the data module reads (already open).
    explicit AppServer(const QString &connectionName, QObject *parent = nullptr);
    ~AppServer() override;

    // The token clients must present (compared in constant time); see LinkTls for its
    // shortest length, which listen() enforces.
    void setToken(const QString &token) { m_token = token; }
    // The server's certificate and key (LinkTls::serverConfiguration); listen() needs them.
    void setTlsConfiguration(const QSslConfiguration &configuration);
    // A link with no complete request for this long is closed (ms).
    void setIdleTimeout(int ms);
    int idleTimeout() const { return m_idleMs; }
    // A request must arrive whole within this time of its first byte (ms).
    void setFrameTimeout(int ms);
    // A reply being sent must make progress within this time (ms).
    void setWriteTimeout(int ms) { m_writeMs = ms; }
    // How long GetFornecedor's packet is reused (ms; 0: never).
    void setCacheTime(int ms);
    // A link that has not identified itself within this time is closed (ms).
    void setHelloTimeout(int ms);
    // Links beyond this number are closed as they arrive.
    void setMaxConnections(int count) { m_maxConnections = count; }
    void setMaxPending(int count) { m_maxPending = count; }
    void setMaxPendingPerAddress(int count) { m_maxPendingPerAddress = count; }
    // Delay of the answer to the first wrong token from an address (ms); it doubles at
    // each further failure from there within ten minutes, up to eight seconds.
    void setTokenDelay(int ms) { m_tokenDelayMs = ms; }

    // Starts listening; raises ESuiteError naming the address and the cause, or what is
    // missing (certificate, token). host: an IP address, or "localhost"; port 0 picks a
    // free port.
    void listen(const QString &host, quint16 port);
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    int connectionCount() const { return int(m_peers.size()); }
    int pendingCount() const;

    rdmConsListaPreco &dataModule() { return *m_module; }

signals:
    // One line for the log: refusals, dropped peers, failed calls.
    void logMessage(const QString &line);

private:
    struct Peer;

    // Wrong tokens from one address.
    struct Failures
    {
        int count = 0;
        QElapsedTimer last;
    };

    void acceptConnections();
    bool admit(QTcpSocket *socket, const QString &address);
    Peer *quietestPending(const QString &address) const;
    void refuseToken(Peer &peer);
    int tokenDelay(const QString &address);
    void log(const QString &line);
    void logRefusal(const QString &line);
    void flushRefusalLog();
    void processInput(Peer &peer);
    void handleRequest(Peer &peer, const QByteArray &payload);
    void send(Peer &peer, const QByteArrayList &parts);
    static qint64 unsent(const QTcpSocket *socket);
    void pump(Peer &peer);
    void refuse(Peer &peer, const QString &reason);
    void drop(Peer &peer, const QString &reason);
    void forget(QTcpSocket *socket);
    void sweep();
    void restartSweep();
    bool tokenMatches(const QString &token) const;
    Peer *find(QTcpSocket *socket);

    TlsServer *m_server;
    QTimer *m_sweep;
    std::unique_ptr<rdmConsListaPreco> m_module;
    std::unordered_map<QTcpSocket *, std::unique_ptr<Peer>> m_peers;
    QHash<QString, Failures> m_failures; // by address
    QString m_token;
    int m_idleMs = 300000;
    int m_frameMs = 5000;
    int m_writeMs = 30000;
    int m_helloMs = 5000;
    int m_maxConnections = 512;
    int m_maxPending = 128;
    int m_maxPendingPerAddress = 64;
    int m_tokenDelayMs = 250;
    // Refusal log: lines written in the current second, and those left out.
    QElapsedTimer m_logWindow;
    int m_logged = 0;
    int m_unlogged = 0;
};
