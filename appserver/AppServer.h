#pragma once

#include "DataModuleFactory.h"
#include "ServerSettings.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class DeflatedReplies;
class LinkGate;
class LinkWorker;
class ListBuilder;
class QThread;
class QTimer;
class RemoteDataModule;
class ServerLog;
class ServerMetrics;
class TokenFailures;

// The application server Lpr07700: accepts TNetConnection clients over TLS and serves
// the remote data modules it is given (DataModuleFactory).
//
// A client first identifies itself (the server object name of the module it calls, and the
// token); then it calls methods of that module, one reply per request, in order. The thread that creates the server accepts
// links: LinkGate decides which get a TLS handshake and when (so that neither idle sockets
// nor stalled handshakes keep a real client out). The links go to worker threads, one per
// core (LinkWorker: TLS, frames, calls, each with a database connection of its own and an
// instance of every module on it); calls that need a slow build are answered on one more
// thread (ListBuilder), so that they hold up no one else. A wrong token is answered late, later at each new
// failure from the same address. Refusals are logged a few per second at most. Memory
// taken by a burst of clients is given back to the system once they have gone.
class AppServer : public QObject
{
    Q_OBJECT
public:
    // connectionName: the database connection the data modules read (already open); the
    // worker threads open copies of it. modules: what clients may name in their hello, at
    // least one. workers: threads serving links (0: one per core). Raises ESuiteError when
    // a copy of the connection cannot be opened.
    AppServer(const QString &connectionName, DataModuleFactories modules, QObject *parent = nullptr,
              int workers = 0);
    ~AppServer() override;

    // The token clients must present (compared in constant time); see LinkTls for its
    // shortest length, which listen() enforces.
    void setToken(const QString &token) { m_settings.token = token; }
    // The server's certificate and key (LinkTls::serverConfiguration); listen() needs them.
    void setTlsConfiguration(const QSslConfiguration &configuration) { m_settings.tls = configuration; }
    // A link with no complete request for this long is closed (ms).
    void setIdleTimeout(int ms) { m_settings.idleMs = qMax(1, ms); }
    int idleTimeout() const { return m_settings.idleMs; }
    // A request must arrive whole within this time of its first byte (ms).
    void setFrameTimeout(int ms) { m_settings.frameMs = qMax(1, ms); }
    // A reply being sent must make progress within this time (ms).
    void setWriteTimeout(int ms) { m_settings.writeMs = ms; }
    // How long the modules serve a built result again (ms; 0: never).
    void setCacheTime(int ms);
    // A link that has not identified itself within this time is closed (ms).
    void setHelloTimeout(int ms) { m_settings.helloMs = qMax(1, ms); }
    // Links beyond this number are closed as they arrive, unless one that has stalled makes
    // room.
    void setMaxConnections(int count) { m_settings.maxConnections = count; }
    // Links negotiating TLS or not yet identified, in all and from one address; more wait.
    void setMaxPending(int count) { m_settings.maxPending = count; }
    void setMaxPendingPerAddress(int count) { m_settings.maxPendingPerAddress = count; }
    // Delay of the answer to the first wrong token from an address (ms); it doubles at
    // each further failure from there within ten minutes, up to eight seconds.
    void setTokenDelay(int ms) { m_settings.tokenDelayMs = ms; }

    // Starts listening; raises ESuiteError naming the address and the cause, or what is
    // missing (certificate, token). host: an IP address, or "localhost"; port 0 picks a
    // free port.
    void listen(const QString &host, quint16 port);
    // Stops listening at once, so that the port is free, and closes every link.
    void close();
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    int connectionCount() const;
    int pendingCount() const;
    int workerCount() const { return int(m_workers.size()); }

    // The instance of a module (by server object name, without regard to case) on the
    // creating thread's connection; it shares what the module's instances share with the
    // workers. Null for a name the server does not serve.
    RemoteDataModule *dataModule(const QString &serverObjectName) const;
    // Each module's warm-up, in turn, before listening (RemoteDataModule::warmUp); raises
    // the first failure.
    void warmUp();

    // The metrics page (Prometheus text format): calls, links, builds, the process. Call on
    // the creating thread.
    QString metricsText() const;

signals:
    // One line for the log: refusals, dropped peers, failed calls; priority: ServerOutput's.
    void logMessage(const QString &line, int priority);

private:
    void startThreads(int workers);
    std::vector<std::unique_ptr<RemoteDataModule>> makeModules(const QString &connectionName, bool buildersOnly) const;
    // What a built result needs before it is sent: its compressed form, for a kept one.
    void prepare(const RemoteDataModule &module, const QVariant &result);
    void stopThreads();
    bool anyBuilds() const;
    void trimMemory();

    ServerSettings m_settings;
    std::unique_ptr<ServerLog> m_log;
    std::unique_ptr<TokenFailures> m_failures;
    std::unique_ptr<DeflatedReplies> m_deflated; // shared by the workers
    std::unique_ptr<ServerMetrics> m_metrics;    // counted by the workers
    QString m_connectionName;
    DataModuleFactories m_factories;
    std::vector<std::unique_ptr<RemoteDataModule>> m_modules; // on the creating thread
    std::vector<QThread *> m_threads; // the workers' and then the builder's
    std::vector<LinkWorker *> m_workers;
    ListBuilder *m_builder = nullptr;
    LinkGate *m_gate = nullptr;
    QTimer *m_trim;
    size_t m_next = 0;   // the worker the next link goes to
    int m_peakLinks = 0; // since memory was last given back
};
