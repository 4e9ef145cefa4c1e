// Lpr07700: the application server of the price-list screen.
//
//   Lpr07700 --config SESSION.ini [--host 127.0.0.1] [--port N] [--idle-timeout S] [--hello-timeout S] [--cache S]

#include "AppServer.h"
#include "rdmConsListaPreco.h"
#include "Database.h"
#include "EAbort.h"
#include "Session.h"
#include "net/LinkTls.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

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

int secondsOption(const QCommandLineParser &parser, const QString &name, int fallback, bool *ok)
{
    *ok = true;
    if (!parser.isSet(name))
        return fallback;
    const int value = parser.value(name).toInt(ok);
    *ok = *ok && value >= 0 && value <= 24 * 3600;
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Lpr07700"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Servidor de aplicação da Lista de Preços (objeto Lpr07700.rdmConsListaPreco)."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("config"), QStringLiteral("Arquivo de sessão (banco de dados, porta e token)."),
         QStringLiteral("SESSAO.ini")},
        {QStringLiteral("host"), QStringLiteral("Endereço IP de escuta (padrão 127.0.0.1)."),
         QStringLiteral("ENDERECO"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("port"), QStringLiteral("Porta de escuta (padrão: a da sessão; 0 escolhe uma livre)."),
         QStringLiteral("PORTA")},
        {QStringLiteral("idle-timeout"), QStringLiteral("Fecha conexões sem requisição por S segundos (padrão 300)."),
         QStringLiteral("S")},
        {QStringLiteral("hello-timeout"), QStringLiteral("Fecha conexões que não se identificam em S segundos (padrão 5)."),
         QStringLiteral("S")},
        {QStringLiteral("cache"), QStringLiteral("Reaproveita a lista de fornecedores por S segundos (padrão 10; 0 desliga)."),
         QStringLiteral("S")},
    });
    parser.process(app);

    if (!parser.isSet(QStringLiteral("config")))
        return fail(QStringLiteral("informe o arquivo de sessão com --config SESSAO.ini."));

    try {
        Session &session = Session::current();
        session.load(parser.value(QStringLiteral("config")));

        int port = session.serverPort;
        if (parser.isSet(QStringLiteral("port"))) {
            bool ok = false;
            port = parser.value(QStringLiteral("port")).toInt(&ok);
            if (!ok)
                port = -1;
        }
        if (port < 0 || port > 65535)
            return fail(QStringLiteral("porta inválida: \"%1\". Informe um número de 0 a 65535.")
                            .arg(parser.isSet(QStringLiteral("port")) ? parser.value(QStringLiteral("port"))
                                                                      : QString::number(session.serverPort)));
        bool ok = false;
        const int idle = secondsOption(parser, QStringLiteral("idle-timeout"), 300, &ok);
        if (!ok || idle == 0)
            return fail(QStringLiteral("--idle-timeout inválido: informe segundos, de 1 a 86400."));
        const int hello = secondsOption(parser, QStringLiteral("hello-timeout"), 5, &ok);
        if (!ok || hello == 0)
            return fail(QStringLiteral("--hello-timeout inválido: informe segundos, de 1 a 86400."));
        const int cache = secondsOption(parser, QStringLiteral("cache"), 10, &ok);
        if (!ok)
            return fail(QStringLiteral("--cache inválido: informe segundos, de 0 a 86400."));

        const QString host = parser.value(QStringLiteral("host"));
        if (session.serverToken.size() < LinkTls::MinTokenLength)
            return fail(QStringLiteral("o Token da seção [ServidorAplicacao] do arquivo de sessão %1 está vazio ou tem "
                                       "menos de %2 caracteres. Defina um token longo e aleatório (o mesmo nas "
                                       "estações), por exemplo a saída de: head -c 18 /dev/urandom | base64")
                            .arg(session.fileName)
                            .arg(LinkTls::MinTokenLength));
        if (session.serverCertificate.isEmpty() || session.serverKey.isEmpty())
            return fail(QStringLiteral("o arquivo de sessão %1 não informa o certificado do servidor: defina Certificado "
                                       "e Chave (arquivos PEM) na seção [ServidorAplicacao]. Veja no README como "
                                       "criar ou instalar um certificado.")
                            .arg(session.fileName));
        const QSslConfiguration tls = LinkTls::serverConfiguration(session.serverCertificate, session.serverKey);
        const QString fingerprint = LinkTls::fingerprint(tls.localCertificate());
        if (!session.serverFingerprint.isEmpty()
            && LinkTls::fingerprintBytes(session.serverFingerprint) != LinkTls::fingerprintBytes(fingerprint))
            printLine(stderr, QStringLiteral("Lpr07700: aviso: a ImpressaoDigital do arquivo de sessão %1 não é a do "
                                             "certificado %2 (%3); as estações com essa sessão recusarão o servidor.")
                                  .arg(session.fileName, session.serverCertificate, fingerprint));

        dtmDBGeral::open(session.db);

        AppServer server(QString::fromLatin1(dtmDBGeral::connectionName()), &app);
        server.setToken(session.serverToken);
        server.setTlsConfiguration(tls);
        server.setIdleTimeout(idle * 1000);
        server.setHelloTimeout(hello * 1000);
        server.setCacheTime(cache * 1000);
        QObject::connect(&server, &AppServer::logMessage, &app, [](const QString &line) {
            printLine(stderr, QStringLiteral("%1 Lpr07700: %2")
                                  .arg(QDateTime::currentDateTime().toString(Qt::ISODate), line));
        });
        // The database is checked before anything listens: the list the screen asks for
        // is built once (and kept when the cache is on, so the first screen does not wait).
        try {
            server.dataModule().GetFornecedor();
        } catch (const ESuiteError &e) {
            return fail(QStringLiteral("o banco de dados não pode ser usado. %1").arg(e.message()));
        }
        server.listen(host, quint16(port));
        printLine(stdout, QStringLiteral("Lpr07700 ouvindo em %1:%2")
                              .arg(server.serverAddress().toString())
                              .arg(server.serverPort()));
        printLine(stdout, QStringLiteral("Certificado do servidor (SHA-256): %1").arg(fingerprint));
        return app.exec();
    } catch (const ESuiteError &e) {
        return fail(e.message());
    }
}
