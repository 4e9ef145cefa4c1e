#pragma once

#include "TestCertificate.h"

#include <QByteArray>
#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <atomic>

// A stand-in for Lpr07700 on a thread of its own, so that a blocking TNetConnection on the
// caller's thread can meet a broken or hostile server. It speaks TLS with the given
// certificate, answers a hello as the real server does, and answers every later request
// with the bytes set by setReply() (anything: garbage, a truncated frame, a huge one),
// closing the link afterwards when asked to.
class ScriptedServer : public QThread
{
public:
    explicit ScriptedServer(const TestCertificate &tls);
    ~ScriptedServer() override;

    // Starts listening on a free port of 127.0.0.1; false when it could not.
    bool listen();
    quint16 port() const { return m_port; }

    void setReply(const QByteArray &bytes, bool closeAfter);
    // Whether the hello is answered at all (false: the reply bytes answer it).
    void setAnswerHello(bool on) { m_answerHello = on; }
    // Every byte received inside TLS so far, all links together.
    QByteArray received() const;

protected:
    void run() override;

private:
    void serve(class QSslSocket &socket);

    TestCertificate m_tls;
    std::atomic<quint16> m_port{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_answerHello{true};
    QSemaphore m_ready;
    mutable QMutex m_mutex;
    QByteArray m_reply;
    bool m_closeAfter = false;
    QByteArray m_received;
};
