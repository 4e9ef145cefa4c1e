#include "Listener.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

Listener::~Listener()
{
    close();
}

bool Listener::listen(const QHostAddress &address, quint16 port)
{
    close();
    sockaddr_storage storage{};
    socklen_t length = 0;
    bool v4 = false;
    const quint32 ip4 = address.toIPv4Address(&v4);
    if (v4) {
        auto &in = reinterpret_cast<sockaddr_in &>(storage);
        in.sin_family = AF_INET;
        in.sin_port = htons(port);
        in.sin_addr.s_addr = htonl(ip4);
        length = sizeof in;
    } else {
        auto &in6 = reinterpret_cast<sockaddr_in6 &>(storage);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(port);
        const Q_IPV6ADDR ip6 = address.toIPv6Address();
        std::memcpy(&in6.sin6_addr, &ip6, sizeof ip6);
        length = sizeof in6;
    }
    const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd < 0 || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0
        || ::bind(fd, reinterpret_cast<sockaddr *>(&storage), length) != 0 || ::listen(fd, 4096) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    length = sizeof storage;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&storage), &length);
    m_address = QHostAddress(reinterpret_cast<const sockaddr *>(&storage));
    m_port = ntohs(storage.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 &>(storage).sin6_port
                                                 : reinterpret_cast<sockaddr_in &>(storage).sin_port);
    m_fd = fd;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &Listener::pending);
    return true;
}

void Listener::close()
{
    if (m_fd < 0)
        return;
    m_notifier->setEnabled(false);
    m_notifier->deleteLater();
    m_notifier = nullptr;
    ::close(m_fd);
    m_fd = -1;
}

void Listener::setAccepting(bool on)
{
    if (m_notifier && m_notifier->isEnabled() != on)
        m_notifier->setEnabled(on);
}

bool Listener::accepting() const
{
    return m_notifier && m_notifier->isEnabled();
}

int Listener::acceptOne()
{
    if (m_fd < 0)
        return -1;
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}
