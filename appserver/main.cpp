// Lpr07700: the application server of the price-list screen.
//
//   Lpr07700 --config SESSION.ini [--host 127.0.0.1] [--port N] [--idle-timeout S] [--hello-timeout S] [--cache S]

#include "AppServer.h"
#include "rdmConsListaPreco.h"
#include "data/Database.h"
#include "errors/EAbort.h"
#include "ServerOptions.h"
#include "app/Session.h"
#include "StopSignals.h"
#include "net/LinkTls.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>
#include <thread>
#include <unistd.h>
#include <sys/resource.h>

namespace {

void printLine(FILE *stream, const QString &line)
{
    std::fputs(line.toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

int fail(const QString &message)
{
    printLine(stderr, QStringLiteral("Lpr07700: %1").arg(message));
    return 1;
}

// The server's TLS identity from the session; the error that stops the server, if any.
QString readTls(const Session &session, QSslConfiguration &tls)
{
    if (session.serverToken.size() < LinkTls::MinTokenLength)
        return QStringLiteral("o Token da seção [ServidorAplicacao] do arquivo de sessão %1 está vazio ou tem "
                              "menos de %2 caracteres. Defina um token longo e aleatório (o mesmo nas "
                              "estações), por exemplo a saída de: head -c 18 /dev/urandom | base64")
            .arg(session.fileName)
            .arg(LinkTls::MinTokenLength);
    if (session.serverCertificate.isEmpty() || session.serverKey.isEmpty())
        return QStringLiteral("o arquivo de sessão %1 não informa o certificado do servidor: defina Certificado "
                              "e Chave (arquivos PEM) na seção [ServidorAplicacao]. Veja no README como "
                              "criar ou instalar um certificado.")
            .arg(session.fileName);
    tls = LinkTls::serverConfiguration(session.serverCertificate, session.serverKey);
    const QString fingerprint = LinkTls::fingerprint(tls.localCertificate());
    if (!session.serverFingerprint.isEmpty()
        && LinkTls::fingerprintBytes(session.serverFingerprint) != LinkTls::fingerprintBytes(fingerprint))
        printLine(stderr, QStringLiteral("Lpr07700: aviso: a ImpressaoDigital do arquivo de sessão %1 não é a do "
                                         "certificado %2 (%3); as estações com essa sessão recusarão o servidor.")
                              .arg(session.fileName, session.serverCertificate, fingerprint));
    return QString();
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

int serve(const ServerOptions &options, const Session &session, int port, const QSslConfiguration &tls)
{
    dtmDBGeral::open(session.db);
    AppServer server(QString::fromLatin1(dtmDBGeral::connectionName()), {rdmConsListaPreco::factory()}, qApp);
    server.setToken(session.serverToken);
    server.setTlsConfiguration(tls);
    server.setIdleTimeout(options.idleSeconds * 1000);
    server.setHelloTimeout(options.helloSeconds * 1000);
    server.setCacheTime(options.cacheSeconds * 1000);
    server.setMaxConnections(connectionLimit());
    QObject::connect(&server, &AppServer::logMessage, qApp, [](const QString &line) {
        printLine(stderr,
                  QStringLiteral("%1 Lpr07700: %2").arg(QDateTime::currentDateTime().toString(Qt::ISODate), line));
    });
    // The database is checked before anything listens: each module prepares what its
    // first client would otherwise wait for.
    try {
        server.warmUp();
    } catch (const ESuiteError &e) {
        return fail(QStringLiteral("o banco de dados não pode ser usado. %1").arg(e.message()));
    }
    server.listen(options.host, quint16(port));
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopRequested, qApp, [&server](const QString &name) {
        // The port is given back first, so that a new server can take it at once; whatever
        // then hangs on the way out (a database client's shutdown) has a second and a half.
        server.close();
        printLine(stderr, QStringLiteral("%1 Lpr07700: %2 recebido, encerrando.")
                              .arg(QDateTime::currentDateTime().toString(Qt::ISODate), name));
        std::thread([] {
            ::usleep(1500 * 1000);
            std::fflush(nullptr);
            ::_exit(0);
        }).detach();
        QCoreApplication::exit(0);
    });
    printLine(
        stdout,
        QStringLiteral("Lpr07700 ouvindo em %1:%2").arg(server.serverAddress().toString()).arg(server.serverPort()));
    printLine(
        stdout,
        QStringLiteral("Certificado do servidor (SHA-256): %1").arg(LinkTls::fingerprint(tls.localCertificate())));
    return QCoreApplication::exec();
}

int run(const ServerOptions &options)
{
    try {
        Session &session = Session::current();
        session.load(options.config);
        QString error;
        const int port = options.portFor(session.serverPort, &error);
        if (port < 0)
            return fail(error);
        QSslConfiguration tls;
        error = readTls(session, tls);
        if (!error.isEmpty())
            return fail(error);
        return serve(options, session, port, tls);
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
        printLine(stdout, line.usage);
        return 0;
    }
    if (!line.error.isEmpty())
        return fail(line.error);
    return run(line.options);
}
