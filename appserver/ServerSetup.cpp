#include "ServerSetup.h"
#include "ServerOptions.h"
#include "app/Session.h"
#include "errors/EAbort.h"
#include "net/LinkTls.h"

#include <QFileInfo>
#include <QSettings>

namespace {
const QString kMetricsKey = QStringLiteral("ServidorAplicacao/Metricas");
const QString kListenKey = QStringLiteral("ServidorAplicacao/Escuta");
}

bool ServerSetup::parseEndpoint(const QString &text, QHostAddress &address, quint16 &port)
{
    const QString t = text.trimmed();
    QString host, number = t;
    if (t.startsWith(QLatin1Char('['))) {
        const qsizetype close = t.indexOf(QLatin1String("]:"));
        if (close < 0)
            return false;
        host = t.mid(1, close - 1);
        number = t.mid(close + 2);
    } else if (t.count(QLatin1Char(':')) == 1) {
        host = t.section(QLatin1Char(':'), 0, 0);
        number = t.section(QLatin1Char(':'), 1);
    }
    bool ok = false;
    const uint value = number.toUInt(&ok);
    if (!ok || value > 65535 || number.isEmpty())
        return false;
    if (host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        address = QHostAddress(QHostAddress::LocalHost);
    else if (!address.setAddress(host))
        return false;
    port = quint16(value);
    return true;
}

QString ServerSetup::read(const ServerOptions &options, const Session &session)
{
    QString error;
    port = options.portFor(session.serverPort, &error);
    if (port < 0)
        return error;
    host = options.hostGiven
               ? options.host
               : QSettings(session.fileName, QSettings::IniFormat).value(kListenKey).toString().trimmed();
    if (host.isEmpty())
        host = QStringLiteral("127.0.0.1");
    QHostAddress listen;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0 && !listen.setAddress(host))
        return QStringLiteral("endereço de escuta inválido: \"%1\" (%2). Informe um endereço IP, por exemplo "
                              "127.0.0.1, ou 0.0.0.0 para todos.")
            .arg(host, options.hostGiven ? QStringLiteral("--host")
                                         : QStringLiteral("Escuta da seção [ServidorAplicacao] de %1")
                                               .arg(session.fileName));
    const QString driver = session.db.driver;
    if (driver != QLatin1String("QSQLITE") && driver != QLatin1String("QPSQL") && driver != QLatin1String("QIBASE"))
        return QStringLiteral("o Driver \"%1\" da seção [BancoDados] do arquivo de sessão %2 não é conhecido: "
                              "informe QSQLITE, QPSQL ou QIBASE.")
            .arg(driver, session.fileName);
    if (driver == QLatin1String("QSQLITE") && !QFileInfo(session.db.database).isFile())
        return QStringLiteral("o banco de dados %1 (Banco da seção [BancoDados] do arquivo de sessão %2) não existe.")
            .arg(session.db.database, session.fileName);
    error = readTls(session);
    if (!error.isEmpty())
        return error;
    return readMetrics(options, session);
}

QString ServerSetup::readTls(const Session &session)
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
    try {
        tls = LinkTls::serverConfiguration(session.serverCertificate, session.serverKey);
    } catch (const ESuiteError &e) {
        return e.message();
    }
    fingerprint = LinkTls::fingerprint(tls.localCertificate());
    if (!session.serverFingerprint.isEmpty()
        && LinkTls::fingerprintBytes(session.serverFingerprint) != LinkTls::fingerprintBytes(fingerprint))
        warnings << QStringLiteral("aviso: a ImpressaoDigital do arquivo de sessão %1 não é a do certificado %2 (%3); "
                                   "as estações com essa sessão recusarão o servidor.")
                        .arg(session.fileName, session.serverCertificate, fingerprint);
    return QString();
}

QString ServerSetup::readMetrics(const ServerOptions &options, const Session &session)
{
    const QString given = options.metrics.isEmpty()
                              ? QSettings(session.fileName, QSettings::IniFormat).value(kMetricsKey).toString()
                              : options.metrics;
    metrics = !given.trimmed().isEmpty();
    if (metrics && !parseEndpoint(given, metricsAddress, metricsPort))
        return QStringLiteral("endereço das métricas inválido: \"%1\" (%2). Informe PORTA ou ENDERECO:PORTA, por "
                              "exemplo 21183 ou 127.0.0.1:21183.")
            .arg(given, options.metrics.isEmpty()
                            ? QStringLiteral("Metricas da seção [ServidorAplicacao] de %1").arg(session.fileName)
                            : QStringLiteral("--metrics"));
    if (metrics && metricsPort != 0 && metricsPort == port)
        return QStringLiteral("as métricas (porta %1) precisam de uma porta diferente da porta das estações.")
            .arg(metricsPort);
    return QString();
}
