// Lpr07700: the application server of the price-list screen.
//
//   Lpr07700 --config SESSION.ini [--host 127.0.0.1] [--port N] [--metrics [HOST:]PORT]
//            [--idle-timeout S] [--hello-timeout S] [--cache S]
//   Lpr07700 --check-config SESSION.ini

#include "AppServer.h"
#include "MetricsEndpoint.h"
#include "rdmConsListaPreco.h"
#include "data/Database.h"
#include "errors/EAbort.h"
#include "ServerOptions.h"
#include "ServerOutput.h"
#include "ServerSetup.h"
#include "ServiceNotify.h"
#include "app/Session.h"
#include "StopSignals.h"

#include <QCoreApplication>
#include <thread>
#include <unistd.h>
#include <sys/resource.h>

namespace {

int fail(const QString &message)
{
    ServerOutput::fail(message);
    return 1;
}

// As many links as the descriptors the system lets this process open allow, some kept for
// the database and files.
int connectionLimit()
{
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    ::getrlimit(RLIMIT_NOFILE, &files);
    return int(qBound<rlim_t>(16, files.rlim_cur > 64 ? files.rlim_cur - 64 : 16, 4096));
}

// The endpoint listening, when asked for; the error that stops the server otherwise.
QString startMetrics(const ServerSetup &setup, AppServer &server, MetricsEndpoint *&endpoint)
{
    if (!setup.metrics)
        return QString();
    endpoint = new MetricsEndpoint([&server] { return server.metricsText(); }, &server);
    if (!endpoint->listen(setup.metricsAddress, setup.metricsPort))
        return QStringLiteral("não foi possível ouvir as métricas em %1:%2 (%3). Verifique se a porta já está em uso.")
            .arg(setup.metricsAddress.toString())
            .arg(setup.metricsPort)
            .arg(endpoint->errorString());
    return QString();
}

int serve(const ServerOptions &options, const Session &session, const ServerSetup &setup)
{
    dtmDBGeral::open(session.db);
    AppServer server(QString::fromLatin1(dtmDBGeral::connectionName()), {rdmConsListaPreco::factory()}, qApp);
    server.setToken(session.serverToken);
    server.setTlsConfiguration(setup.tls);
    server.setIdleTimeout(options.idleSeconds * 1000);
    server.setHelloTimeout(options.helloSeconds * 1000);
    server.setCacheTime(options.cacheSeconds * 1000);
    server.setMaxConnections(connectionLimit());
    QObject::connect(&server, &AppServer::logMessage, qApp,
                     [](const QString &line, int priority) { ServerOutput::log(priority, line); });
    // The database is checked before anything listens: each module prepares what its
    // first client would otherwise wait for.
    try {
        server.warmUp();
    } catch (const ESuiteError &e) {
        return fail(QStringLiteral("o banco de dados não pode ser usado. %1").arg(e.message()));
    }
    server.listen(setup.host, quint16(setup.port));
    MetricsEndpoint *metrics = nullptr;
    const QString metricsError = startMetrics(setup, server, metrics);
    if (!metricsError.isEmpty())
        return fail(metricsError);
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopRequested, qApp, [&server, metrics](const QString &name) {
        // The port is given back first, so that a new server can take it at once; whatever
        // then hangs on the way out (a database client's shutdown) has a second and a half.
        ServiceNotify::send("STOPPING=1");
        if (metrics)
            metrics->setStopping();
        server.close();
        ServerOutput::log(ServerOutput::Info, QStringLiteral("%1 recebido, encerrando.").arg(name));
        std::thread([] {
            ::usleep(1500 * 1000);
            std::fflush(nullptr);
            ::_exit(0);
        }).detach();
        QCoreApplication::exit(0);
    });
    const QString where = QStringLiteral("%1:%2").arg(server.serverAddress().toString()).arg(server.serverPort());
    ServerOutput::say(QStringLiteral("Lpr07700 ouvindo em %1").arg(where));
    if (metrics)
        ServerOutput::say(QStringLiteral("Métricas em http://%1:%2/metrics")
                              .arg(metrics->address().toString())
                              .arg(metrics->port()));
    ServerOutput::say(QStringLiteral("Certificado do servidor (SHA-256): %1").arg(setup.fingerprint));
    ServiceNotify::send(QStringLiteral("READY=1\nSTATUS=ouvindo em %1").arg(where).toUtf8());
    return QCoreApplication::exec();
}

int run(const ServerOptions &options)
{
    try {
        Session &session = Session::current();
        session.load(options.config);
        ServerSetup setup;
        const QString error = setup.read(options, session);
        if (!error.isEmpty())
            return fail(error);
        for (const QString &warning : setup.warnings)
            ServerOutput::log(ServerOutput::Warning, warning);
        if (options.checkOnly) {
            ServerOutput::say(QStringLiteral("Arquivo de sessão %1: pode ser usado (escuta em %2:%3%4; certificado "
                                             "SHA-256 %5).")
                                  .arg(session.fileName, setup.host)
                                  .arg(setup.port)
                                  .arg(setup.metrics ? QStringLiteral(", métricas em %1:%2")
                                                           .arg(setup.metricsAddress.toString())
                                                           .arg(setup.metricsPort)
                                                     : QString())
                                  .arg(setup.fingerprint));
            return 0;
        }
        return serve(options, session, setup);
    } catch (const ESuiteError &e) {
        return fail(e.message());
    }
}

} // namespace

int main(int argc, char *argv[])
{
    StopSignals::block();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Lpr07700"));
    const ServerCommandLine line = parseServerOptions(QCoreApplication::arguments());
    if (line.help) {
        ServerOutput::say(line.usage);
        return 0;
    }
    if (!line.error.isEmpty())
        return fail(line.error);
    return run(line.options);
}
