#include "ServiceNotify.h"

#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

bool ServiceNotify::send(const QByteArray &state)
{
    const char *path = std::getenv("NOTIFY_SOCKET");
    if (!path || !*path)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t length = std::strlen(path);
    if (length >= sizeof address.sun_path || (path[0] != '/' && path[0] != '@'))
        return false;
    std::memcpy(address.sun_path, path, length);
    // "@name": a socket in the abstract namespace, whose name starts with a zero byte.
    if (path[0] == '@')
        address.sun_path[0] = '\0';
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const socklen_t size = socklen_t(offsetof(sockaddr_un, sun_path) + length);
    const ssize_t sent = ::sendto(fd, state.constData(), size_t(state.size()), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr *>(&address), size);
    ::close(fd);
    return sent == state.size();
}
