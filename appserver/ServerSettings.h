#pragma once

#include <QSslConfiguration>
#include <QString>
#include <atomic>
#include <memory>

typedef struct ssl_ctx_st SSL_CTX;

// What every part of the server reads: the limits (changed at any time, from any thread),
// and the token and TLS identity (set before the server listens, read-only after).
struct ServerSettings
{
    std::atomic<int> idleMs{300000};   // a link with no complete request for this long is closed
    std::atomic<int> frameMs{5000};    // a request must arrive whole within this of its first byte
    std::atomic<int> writeMs{30000};   // a reply being sent must make progress within this
    std::atomic<int> helloMs{5000};    // a link must identify itself within this of arriving
    std::atomic<int> maxConnections{2048};
    std::atomic<int> maxPending{128};          // links negotiating TLS or not yet identified
    std::atomic<int> maxPendingPerAddress{64}; // of those, from one address
    std::atomic<int> tokenDelayMs{250};        // first late answer to a wrong token

    QString token;
    QSslConfiguration tls;
    std::shared_ptr<SSL_CTX> context; // made from tls when the server starts listening
};
