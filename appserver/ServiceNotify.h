#pragma once

#include <QByteArray>

// Tells the service manager how the server is doing (systemd's notification protocol: one
// datagram of "KEY=value" lines to the socket NOTIFY_SOCKET names), so that a unit of
// Type=notify counts the server as started only once it listens, and as stopping when it
// gives its port back. Without NOTIFY_SOCKET (not started by systemd) nothing is sent.
namespace ServiceNotify {

// False when there is no socket to tell, or the datagram could not be sent.
bool send(const QByteArray &state);

} // namespace ServiceNotify
