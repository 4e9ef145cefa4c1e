#pragma once

#include <QString>
#include <QStringList>

// What Lpr07700 is asked to do. The port is read from the session when not given, so it is
// checked once the session is loaded (portFor).
struct ServerOptions
{
    QString config;         // the session file
    bool checkOnly = false; // --check-config: the file is checked, nothing is served
    QString metrics;        // --metrics as typed: [HOST:]PORT of the metrics endpoint (empty: the session's)
    QString host;           // --host: the address to listen on
    bool hostGiven = false; // false: the session's Escuta, else 127.0.0.1
    QString port;           // --port as typed
    bool portGiven = false; // false: the session's port
    int idleSeconds = 300;  // connections without a request are closed after this
    int helloSeconds = 5;   // connections that do not say who they are, after this
    int cacheSeconds = 10;  // the supplier list is reused this long (0: not at all)

    // The port to listen on, or -1 (with `error` set) when the one given cannot be used.
    int portFor(int sessionPort, QString *error) const;
};

// The command line read into options. `error` says what is wrong with it in Portuguese
// (empty: nothing); `help` is set when only the usage was asked for.
struct ServerCommandLine
{
    ServerOptions options;
    QString error;
    bool help = false;
    QString usage;
};
ServerCommandLine parseServerOptions(const QStringList &arguments);
