#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

class QSocketNotifier;

// A listening TCP socket whose connections are taken one at a time, when the caller has
// room for them: until then they wait in the kernel's queue (thousands deep) instead of
// being accepted and turned away. The address is reusable at once after close(), so that
// a server restarted on the same port does not find it taken.
class Listener : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~Listener() override;

    // False on failure, with errorString() saying why.
    bool listen(const QHostAddress &address, quint16 port);
    void close();
    bool isListening() const { return m_fd >= 0; }
    QString errorString() const { return m_error; }
    QHostAddress address() const { return m_address; }
    quint16 port() const { return m_port; }

    // Whether pending() is signalled for connections that wait.
    void setAccepting(bool on);
    bool accepting() const;
    // One waiting connection (non-blocking, close-on-exec); -1 when none waits.
    int acceptOne();

signals:
    void pending();

private:
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QString m_error;
    QHostAddress m_address;
    quint16 m_port = 0;
};
