#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// HAProxy in front of several Lpr07700 on this machine, as the README deploys it: TCP mode,
// TLS passed through (the workstation's pin still meets the servers' certificate), a
// check every half second (each server's health endpoint when its port is given, else a
// bare connect), a failed connection sent to the next server. Runs in the
// foreground (-db) with its own configuration in a temporary folder, on a free port of
// 127.0.0.1, and is stopped by its process id.
class HaproxyFront
{
public:
    // The haproxy binary, or empty when it is not installed.
    static QString executable();

    // Starts haproxy before the servers listening on these ports of 127.0.0.1. On failure
    // port stays 0 and error() says why.
    // healthPorts: each server's metrics port (GET /health), in the same order; empty: a
    // connect check on the servers' own ports.
    explicit HaproxyFront(const QList<quint16> &serverPorts, const QList<quint16> &healthPorts = {});
    ~HaproxyFront();

    quint16 port() const { return m_port; }
    QString error() const { return m_error; }

    // The configuration file's text for a front port and its servers.
    static QString config(quint16 port, const QList<quint16> &serverPorts, const QList<quint16> &healthPorts = {});

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
