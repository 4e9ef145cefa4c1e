#include "TlsLink.h"

#include "Poller.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Requests are small: once this much waits to be read, the socket is left alone.
constexpr qsizetype kInputCap = 64 * 1024;
constexpr int kReadSlice = 16 * 1024;
// A reply longer than a few records goes out corked: full segments, one push at the end.
constexpr qint64 kCorkFrom = 32 * 1024;
// At most this much goes out per link at each turn of the loop, so that the links a worker
// serves take turns in slices and a new link's handshake waits for none of their whole
// replies.
constexpr qsizetype kTurnBytes = 256 * 1024;

QString libraryError()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return QString();
    char text[256] = {};
    ERR_error_string_n(code, text, sizeof text);
    return QString::fromLatin1(text);
}
} // namespace

TlsLink::TlsLink(int fd, SSL_CTX *context, Poller *poller, QObject *parent)
    : QIODevice(parent), m_fd(fd), m_ssl(context ? SSL_new(context) : nullptr), m_poller(poller)
{
    const int on = 1;
    // Small replies go at once: without this the last segment of one waits for the
    // client's delayed acknowledgement.
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (m_ssl)
        SSL_set_fd(m_ssl, fd);
    m_poller->add(fd, [this](bool readable, bool writable, bool hangup) { onEvents(readable, writable, hangup); });
    want(true, false);
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

TlsLink::~TlsLink()
{
    abort();
    if (m_ssl)
        SSL_free(m_ssl);
}

void TlsLink::startHandshake()
{
    if (!m_ssl) {
        fail(QStringLiteral("a biblioteca TLS não criou a sessão: %1").arg(libraryError()));
        return;
    }
    SSL_set_accept_state(m_ssl);
    handshake();
}

void TlsLink::handshake()
{
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl);
    if (result == 1) {
        m_encrypted = true;
        want(m_wantRead, false);
        emit encrypted();
        pull(); // the client's first request may be in already
        flush();
        return;
    }
    QString why;
    switch (waitFor(result, why)) {
    case Wait::None:
    case Wait::Read: return;
    case Wait::Write: want(m_wantRead, true); return;
    case Wait::Closed:
        abort();
        emit closed();
        return;
    case Wait::Error: fail(why); return;
    }
}

TlsLink::Wait TlsLink::waitFor(int result, QString &why)
{
    const int saved = errno;
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ: return Wait::Read;
    case SSL_ERROR_WANT_WRITE: return Wait::Write;
    case SSL_ERROR_ZERO_RETURN: return Wait::Closed;
    case SSL_ERROR_SYSCALL:
        why = libraryError();
        if (!why.isEmpty())
            return Wait::Error;
        if (saved == 0 || saved == ECONNRESET || saved == EPIPE)
            return Wait::Closed;
        why = QString::fromLocal8Bit(std::strerror(saved));
        return Wait::Error;
    default:
        why = libraryError();
        if (why.isEmpty())
            why = QStringLiteral("erro da biblioteca TLS");
        return Wait::Error;
    }
}

void TlsLink::want(bool read, bool write)
{
    if (m_fd < 0 || (read == m_wantRead && write == m_wantWrite))
        return;
    m_wantRead = read;
    m_wantWrite = write;
    if (m_poller)
        m_poller->watch(m_fd, read, write);
}

void TlsLink::onEvents(bool readable, bool writable, bool hangup)
{
    if (hangup && !m_wantRead) {
        // Nothing will be read to find the end; the peer is gone.
        abort();
        emit closed();
        return;
    }
    if ((readable || hangup) && m_wantRead)
        onReadable();
    if (m_fd >= 0 && (writable || hangup) && m_wantWrite)
        onWritable();
}

void TlsLink::onReadable()
{
    if (!m_encrypted) {
        handshake();
        return;
    }
    if (m_writeWantsRead) {
        m_writeWantsRead = false;
        flush();
    }
    pull();
}

void TlsLink::onWritable()
{
    want(m_wantRead, false);
    if (!m_encrypted) {
        handshake();
        return;
    }
    if (m_readWantsWrite) {
        m_readWantsWrite = false;
        pull();
    }
    const qint64 before = m_unsent;
    flush();
    if (m_fd >= 0 && m_unsent < before)
        emit progressed();
}

void TlsLink::pull()
{
    if (m_fd < 0 || !m_encrypted || m_readWantsWrite)
        return;
    bool got = false;
    Wait stop = Wait::None;
    QString why;
    while (stop == Wait::None) {
        if (m_in.size() - m_inPos >= kInputCap) {
            m_paused = true;
            want(false, m_wantWrite);
            break;
        }
        const qsizetype old = m_in.size();
        m_in.resize(old + kReadSlice);
        ERR_clear_error();
        const int n = SSL_read(m_ssl, m_in.data() + old, kReadSlice);
        m_in.resize(old + qMax(n, 0));
        if (n > 0)
            got = true;
        else
            stop = waitFor(n, why);
    }
    if (m_in.isEmpty())
        m_in = QByteArray(); // an idle link holds no buffer
    if (stop == Wait::Write) {
        m_readWantsWrite = true;
        want(m_wantRead, true);
    }
    if (got)
        emit readyRead();
    if (m_fd < 0) // closed by a reader
        return;
    if (stop == Wait::Closed) {
        abort();
        emit closed();
    } else if (stop == Wait::Error) {
        fail(why);
    }
}

qint64 TlsLink::bytesAvailable() const
{
    return m_in.size() - m_inPos + QIODevice::bytesAvailable();
}

qint64 TlsLink::readData(char *data, qint64 maxSize)
{
    const qint64 n = qMin<qint64>(maxSize, m_in.size() - m_inPos);
    if (n <= 0)
        return 0;
    std::memcpy(data, m_in.constData() + m_inPos, size_t(n));
    m_inPos += n;
    if (m_inPos == m_in.size()) {
        m_in = QByteArray();
        m_inPos = 0;
    }
    if (m_paused && m_fd >= 0 && m_in.size() - m_inPos < kInputCap) {
        m_paused = false;
        want(true, m_wantWrite);
        // The library may hold records it has already taken from the socket.
        QMetaObject::invokeMethod(this, &TlsLink::pull, Qt::QueuedConnection);
    }
    return n;
}

qint64 TlsLink::writeData(const char *data, qint64 size)
{
    send(QByteArray(data, size));
    return size;
}

void TlsLink::send(const QByteArray &bytes)
{
    if (m_fd < 0 || m_finishing || bytes.isEmpty())
        return;
    m_out.append(bytes);
    m_unsent += bytes.size();
    const qint64 before = m_unsent;
    flush();
    // Told from the loop, as a socket would: the caller is in the middle of its work.
    if (m_fd >= 0 && m_unsent < before)
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_fd >= 0)
                    emit progressed();
            },
            Qt::QueuedConnection);
}

void TlsLink::flush()
{
    if (m_fd < 0 || !m_encrypted || m_writeWantsRead)
        return;
    const bool corked = m_unsent >= kCorkFrom;
    if (corked)
        cork(true);
    Wait stop = Wait::None;
    QString why;
    qsizetype budget = kTurnBytes;
    while (!m_out.isEmpty() && stop == Wait::None && budget > 0) {
        const QByteArray &part = m_out.constFirst();
        const int length = int(qMin(part.size() - m_outPos, budget));
        ERR_clear_error();
        const int n = SSL_write(m_ssl, part.constData() + m_outPos, length);
        if (n <= 0) {
            stop = waitFor(n, why);
            break;
        }
        m_outPos += n;
        m_unsent -= n;
        budget -= n;
        if (m_outPos == part.size()) {
            m_out.removeFirst();
            m_outPos = 0;
        }
    }
    if (corked)
        cork(false);
    switch (stop) {
    case Wait::None:
        if (!m_out.isEmpty()) // the turn is over: the rest at the next
            want(m_wantRead, true);
        break;
    case Wait::Read: m_writeWantsRead = true; break;
    case Wait::Write: want(m_wantRead, true); break;
    case Wait::Closed:
        abort();
        emit closed();
        return;
    case Wait::Error: fail(why); return;
    }
    if (m_out.isEmpty() && m_finishing)
        shutDown();
}

void TlsLink::cork(bool on)
{
    const int value = on ? 1 : 0;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_CORK, &value, sizeof value);
}

void TlsLink::finish()
{
    m_finishing = true;
    if (m_out.isEmpty())
        shutDown();
}

void TlsLink::shutDown()
{
    if (m_shut || m_fd < 0)
        return;
    m_shut = true;
    if (m_encrypted) {
        ERR_clear_error();
        SSL_shutdown(m_ssl);
    }
    ::shutdown(m_fd, SHUT_WR);
    // What the peer still sends is read and dropped until it closes.
    m_paused = false;
    want(true, m_wantWrite);
}

void TlsLink::fail(const QString &why)
{
    if (m_fd < 0)
        return;
    want(false, false);
    emit failed(why);
}

void TlsLink::abort()
{
    if (m_fd < 0)
        return;
    if (m_poller)
        m_poller->remove(m_fd);
    if (m_beforeClose)
        m_beforeClose();
    ::close(m_fd);
    m_fd = -1;
    m_out.clear();
    m_unsent = 0;
    setOpenMode(QIODevice::NotOpen);
}
