#include "ServerTls.h"
#include "errors/EAbort.h"

#include <QSslCertificate>
#include <QSslKey>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

namespace {

QString libraryError()
{
    char text[256] = {};
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return QStringLiteral("erro desconhecido");
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}

[[noreturn]] void refuse(const QString &what)
{
    throw ESuiteError(QStringLiteral("A biblioteca TLS não aceitou %1 do servidor de aplicação (%2).")
                          .arg(what, libraryError()));
}

X509 *certificateOf(const QSslCertificate &certificate)
{
    const QByteArray pem = certificate.toPem();
    BIO *bio = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    X509 *x509 = bio ? PEM_read_bio_X509(bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(bio);
    return x509;
}

EVP_PKEY *keyOf(const QSslKey &key)
{
    const QByteArray pem = key.toPem();
    BIO *bio = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    EVP_PKEY *pkey = bio ? PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(bio);
    return pkey;
}

} // namespace

std::shared_ptr<SSL_CTX> ServerTls::context(const QSslConfiguration &configuration)
{
    std::shared_ptr<SSL_CTX> ctx(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    if (!ctx)
        refuse(QStringLiteral("criar o contexto TLS"));
    SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
    SSL_CTX_set_options(ctx.get(), SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE
                                          | SSL_OP_IGNORE_UNEXPECTED_EOF);
    // Partial writes let a large reply go out record by record as the socket takes it, from
    // a buffer that may be reached at another address on the retry (it is shared, never
    // moved, but the library need not know). Idle links give their record buffers back.
    SSL_CTX_set_mode(ctx.get(),
                     SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER | SSL_MODE_RELEASE_BUFFERS);
    // Clients open one link and keep it: tickets and a session cache would only cost.
    SSL_CTX_set_num_tickets(ctx.get(), 0);
    SSL_CTX_set_session_cache_mode(ctx.get(), SSL_SESS_CACHE_OFF);

    const QList<QSslCertificate> chain = configuration.localCertificateChain();
    X509 *leaf = chain.isEmpty() ? nullptr : certificateOf(chain.first());
    if (!leaf || SSL_CTX_use_certificate(ctx.get(), leaf) != 1) {
        X509_free(leaf);
        refuse(QStringLiteral("o certificado"));
    }
    X509_free(leaf);
    for (qsizetype i = 1; i < chain.size(); ++i) {
        X509 *link = certificateOf(chain.at(i));
        if (!link || SSL_CTX_add0_chain_cert(ctx.get(), link) != 1) {
            X509_free(link);
            refuse(QStringLiteral("a cadeia do certificado"));
        }
    }
    EVP_PKEY *key = keyOf(configuration.privateKey());
    const bool keyTaken = key && SSL_CTX_use_PrivateKey(ctx.get(), key) == 1;
    EVP_PKEY_free(key);
    if (!keyTaken || SSL_CTX_check_private_key(ctx.get()) != 1)
        refuse(QStringLiteral("a chave privada"));
    return ctx;
}
