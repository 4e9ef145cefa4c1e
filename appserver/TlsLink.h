#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QIODevice>
#include <QPointer>
#include <QString>
#include <functional>

class Poller;
typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

// One link of the server: TLS on a connected, non-blocking socket, driven by the poller of
// the thread it lives in.
//
// What is sent is queued as the caller's byte arrays, not copied: a reply shared by every
// link is encrypted straight from it into the records written to the socket, and while a
// large reply goes out the socket is corked so that the kernel moves it in full segments.
// What arrives is decrypted into a small buffer read through QIODevice (readyRead); once it
// holds a request's worth, nothing more is taken from the socket until it is read.
class TlsLink : public QIODevice
{
    Q_OBJECT
public:
    // Takes the descriptor (closed with the link).
    TlsLink(int fd, SSL_CTX *context, Poller *poller, QObject *parent = nullptr);
    ~TlsLink() override;

    void startHandshake();
    bool isEncrypted() const { return m_encrypted; }
    // Queues bytes to send after those queued before; sends what the socket takes now.
    void send(const QByteArray &bytes);
    // Bytes queued and not yet taken by the socket.
    qint64 unsent() const { return m_unsent; }
    // Once the queue is out: the TLS goodbye, then the socket's sending side is shut; closed()
    // follows when the peer closes its side.
    void finish();
    // Closes the socket at once; nothing more is signalled.
    void abort();
    // Runs just before the socket is closed, whoever closes it.
    void setBeforeClose(std::function<void()> f) { m_beforeClose = std::move(f); }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

signals:
    void encrypted();
    // The handshake failed, or the link broke after it; closed() does not follow.
    void failed(const QString &why);
    // Some of the queue was taken by the socket.
    void progressed();
    // The peer closed the link.
    void closed();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void handshake();
    void pull();
    void flush();
    void onEvents(bool readable, bool writable, bool hangup);
    void onReadable();
    void onWritable();
    void want(bool read, bool write);
    void fail(const QString &why);
    void shutDown();
    void cork(bool on);
    // Of the last failed call of the library: whether to wait for the socket (and which way).
    enum class Wait { None, Read, Write, Closed, Error };
    Wait waitFor(int result, QString &why);

    int m_fd;
    SSL *m_ssl;
    QPointer<Poller> m_poller;
    std::function<void()> m_beforeClose;
    bool m_wantRead = false;
    bool m_wantWrite = false;
    bool m_encrypted = false;
    bool m_finishing = false;
    bool m_shut = false;
    bool m_paused = false;          // the input buffer is full: the socket is not read
    bool m_readWantsWrite = false;  // the library must write before it can read more
    bool m_writeWantsRead = false;  // ... or read before it can write more
    QByteArray m_in;                // decrypted, not yet read (from m_inPos)
    qsizetype m_inPos = 0;
    QByteArrayList m_out;           // queued; the first from m_outPos
    qsizetype m_outPos = 0;
    qint64 m_unsent = 0;
};
