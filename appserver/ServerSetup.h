#pragma once

#include <QHostAddress>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>

struct ServerOptions;
class Session;

// What Lpr07700 needs before it serves, read from its options and its session file and
// checked: the same reading starts the server and answers --check-config.
struct ServerSetup
{
    QString host; // the address to listen on
    int port = -1;
    QSslConfiguration tls;
    QString fingerprint;
    bool metrics = false; // the metrics endpoint is asked for
    QHostAddress metricsAddress;
    quint16 metricsPort = 0;
    QStringList warnings; // what does not stop the server but should be said

    // The session already loaded; the first problem found, in Portuguese (empty: none).
    QString read(const ServerOptions &options, const Session &session);

    // "[ADDRESS:]PORT" ("21183", "0.0.0.0:21183", "[::1]:21183"): loopback when no address is
    // given. False for anything else.
    static bool parseEndpoint(const QString &text, QHostAddress &address, quint16 &port);

private:
    QString readTls(const Session &session);
    QString readMetrics(const ServerOptions &options, const Session &session);
};
