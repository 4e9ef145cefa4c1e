#pragma once

#include <QString>

// A key and a self-signed certificate for the application server, made with the openssl
// command the way scripts/run.sh makes them (EC P-256, key readable by its owner only).
struct TestCertificate
{
    QString certificateFile;
    QString keyFile;
    QString fingerprint; // "AB:CD:..." as LinkTls prints it

    // A new pair in dir under the given common name. Fails the program when openssl
    // cannot make it.
    static TestCertificate make(const QString &dir, const QString &commonName);
    // One pair per test program, in a folder removed at exit.
    static const TestCertificate &shared();
};
