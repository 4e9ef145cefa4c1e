#pragma once

#include <QSslConfiguration>
#include <memory>

typedef struct ssl_ctx_st SSL_CTX;

// The server's TLS identity as the TLS library holds it, made once from the certificate and
// key of the session and shared by every link (see TlsLink). The links talk to the library
// directly rather than through QSslSocket, so that a reply is encrypted straight from the
// buffer that holds it into the records written to the socket.
namespace ServerTls {

// Raises ESuiteError naming what the library refused.
std::shared_ptr<SSL_CTX> context(const QSslConfiguration &configuration);

} // namespace ServerTls
