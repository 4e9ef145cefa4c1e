#pragma once

#include "suite_export.h"

#include <QByteArray>
#include <QSslConfiguration>
#include <QString>

class QSslCertificate;

// TLS of the application-server link. The server presents a certificate of its own
// (self-signed by default); clients do not check it against certificate authorities or
// host names but pin it: the session names its SHA-256 fingerprint, and a server whose
// certificate has another one is refused before anything is sent to it.
namespace LinkTls {

// Shortest token accepted by either end.
constexpr int MinTokenLength = 16;

// "AB:CD:..." (upper-case hex pairs joined by colons, as `openssl x509 -fingerprint
// -sha256` prints it) of a certificate's DER form.
SUITE_EXPORT QString fingerprint(const QSslCertificate &certificate);
// The 32 bytes a fingerprint text stands for, colons, blanks and case aside (an
// "sha256 Fingerprint=" prefix too); empty when the text is not one.
SUITE_EXPORT QByteArray fingerprintBytes(const QString &text);

// What the server needs: its certificate (the first of certificateFile, followed by its
// chain if the file has one) and the private key that goes with it, PEM files. Raises
// ESuiteError in Portuguese naming the file and what is wrong: missing, unreadable,
// not PEM, key readable by other users, a key that does not go with the certificate.
SUITE_EXPORT QSslConfiguration serverConfiguration(const QString &certificateFile, const QString &keyFile);
// The fingerprint of the certificate in a file; raises ESuiteError as above.
SUITE_EXPORT QString fingerprintOfFile(const QString &certificateFile);
// What a client uses: TLS 1.2 or later, no authority check (the fingerprint is checked
// by the caller once the handshake is done).
SUITE_EXPORT QSslConfiguration clientConfiguration();

} // namespace LinkTls
