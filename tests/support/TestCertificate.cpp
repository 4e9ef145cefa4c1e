#include "TestCertificate.h"
#include "errors/EAbort.h"
#include "net/LinkTls.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

TestCertificate TestCertificate::make(const QString &dir, const QString &commonName)
{
    TestCertificate pair;
    pair.certificateFile = QDir(dir).filePath(commonName + QStringLiteral(".crt"));
    pair.keyFile = QDir(dir).filePath(commonName + QStringLiteral(".key"));
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                   QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("30"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=") + commonName, QStringLiteral("-keyout"), pair.keyFile, QStringLiteral("-out"),
                   pair.certificateFile});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        qFatal("openssl req failed (%s): %s", qPrintable(openssl.errorString()),
               openssl.readAllStandardError().constData());
    QFile::setPermissions(pair.keyFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    try {
        pair.fingerprint = LinkTls::fingerprintOfFile(pair.certificateFile);
    } catch (const ESuiteError &e) {
        qFatal("%s", qPrintable(e.message()));
    }
    return pair;
}

const TestCertificate &TestCertificate::shared()
{
    static QTemporaryDir dir;
    static const TestCertificate pair = make(dir.path(), QStringLiteral("Lpr07700"));
    return pair;
}
