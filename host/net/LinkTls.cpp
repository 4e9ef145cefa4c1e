#include "net/LinkTls.h"
#include "errors/EAbort.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QSslKey>
#include <QStringList>

namespace LinkTls {

namespace {

QByteArray readPem(const QString &file, const QString &what)
{
    if (file.isEmpty())
        throw ESuiteError(QStringLiteral("Falta o arquivo %1 do servidor de aplicação.").arg(what));
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        throw ESuiteError(
            QStringLiteral("Não foi possível ler o arquivo %1 %2 (%3).").arg(what, file, f.errorString()));
    return f.readAll();
}

QList<QSslCertificate> certificatesOf(const QString &file)
{
    const QList<QSslCertificate> chain =
        QSslCertificate::fromData(readPem(file, QStringLiteral("de certificado")), QSsl::Pem);
    if (chain.isEmpty() || chain.first().isNull())
        throw ESuiteError(QStringLiteral("O arquivo %1 não contém um certificado no formato PEM "
                                         "(\"-----BEGIN CERTIFICATE-----\").")
                              .arg(file));
    return chain;
}

QSslKey keyOf(const QString &file)
{
    const QFileInfo info(file);
    if (info.exists() && (info.permissions() & (QFile::ReadOther | QFile::WriteOther)))
        throw ESuiteError(QStringLiteral("A chave privada %1 pode ser lida por outros usuários desta máquina. "
                                         "Restrinja-a ao dono (chmod 600 %1) antes de iniciar o servidor.")
                              .arg(file));
    const QByteArray pem = readPem(file, QStringLiteral("de chave privada"));
    for (QSsl::KeyAlgorithm algorithm : {QSsl::Ec, QSsl::Rsa}) {
        const QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull())
            return key;
    }
    throw ESuiteError(
        QStringLiteral("O arquivo %1 não contém uma chave privada EC ou RSA sem senha no formato PEM.").arg(file));
}

// Takes the first connection's descriptor for a TLS socket of our own.
class DescriptorListener : public QTcpServer
{
public:
    qintptr descriptor = -1;

protected:
    void incomingConnection(qintptr handle) override
    {
        if (descriptor < 0)
            descriptor = handle;
    }
};

// Whether the TLS library takes the configuration for a server session, found the way the
// link will find it: a server session started on a loopback connection. The library
// refuses there a key that does not go with the certificate. Empty when it was taken, or
// when no loopback connection could be made to ask (the handshakes will tell then).
QString serverSessionRefusal(const QSslConfiguration &conf)
{
    DescriptorListener listener;
    if (!listener.listen(QHostAddress::LocalHost, 0))
        return QString();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, listener.serverPort());
    if (!listener.waitForNewConnection(2000) || listener.descriptor < 0)
        return QString();
    QSslSocket server;
    if (!server.setSocketDescriptor(listener.descriptor))
        return QString();
    server.setSslConfiguration(conf);
    server.startServerEncryption();
    return server.error() == QAbstractSocket::SslInternalError ? server.errorString() : QString();
}

} // namespace

QString fingerprint(const QSslCertificate &certificate)
{
    const QByteArray digest = certificate.digest(QCryptographicHash::Sha256).toHex().toUpper();
    QStringList pairs;
    for (qsizetype i = 0; i + 1 < digest.size(); i += 2)
        pairs << QString::fromLatin1(digest.mid(i, 2));
    return pairs.join(QLatin1Char(':'));
}

QByteArray fingerprintBytes(const QString &text)
{
    QString hex = text.trimmed();
    const qsizetype equals = hex.lastIndexOf(QLatin1Char('='));
    if (equals >= 0)
        hex = hex.mid(equals + 1);
    hex.remove(QLatin1Char(':')).remove(QLatin1Char(' '));
    if (hex.size() != 64)
        return {};
    for (QChar c : std::as_const(hex))
        if (!isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x'))
            return {};
    return QByteArray::fromHex(hex.toLatin1());
}

QString fingerprintOfFile(const QString &certificateFile)
{
    return fingerprint(certificatesOf(certificateFile).first());
}

QSslConfiguration serverConfiguration(const QString &certificateFile, const QString &keyFile)
{
    const QList<QSslCertificate> chain = certificatesOf(certificateFile);
    const QSslKey key = keyOf(keyFile);
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setProtocol(QSsl::TlsV1_2OrLater);
    conf.setPeerVerifyMode(QSslSocket::VerifyNone);
    conf.setLocalCertificateChain(chain);
    conf.setPrivateKey(key);
    // The library's own words here are English and name no cause; ours name both files.
    if (!serverSessionRefusal(conf).isEmpty())
        throw ESuiteError(QStringLiteral("A chave privada %1 não corresponde ao certificado %2, ou a biblioteca TLS "
                                         "desta máquina não a aceita (uma chave RSA curta demais, por exemplo). "
                                         "Indique em Chave a chave com que o certificado foi criado, ou crie os "
                                         "dois de novo (veja o README).")
                              .arg(keyFile, certificateFile));
    return conf;
}

QSslConfiguration clientConfiguration()
{
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    conf.setProtocol(QSsl::TlsV1_2OrLater);
    conf.setPeerVerifyMode(QSslSocket::VerifyNone);
    return conf;
}

} // namespace LinkTls
