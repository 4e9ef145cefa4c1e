#pragma once

#include "net/TNetConnection.h"

// The price list's object on the application server and how the workstation talks to it.
// One place for the screen, the tests and the benches, so that they all make the same link.
namespace PriceListServer {

inline QString objectName()
{
    return QStringLiteral("Lpr07700.rdmConsListaPreco");
}

// The supplier list: a list of 50,000 suppliers takes about 4 MiB, so its reply may reach
// 16 MiB; its last result is kept on the workstation, for the server to answer "unchanged".
inline void configure(TNetConnection &link)
{
    link.setServerName(objectName());
    link.setReplyLimit(QStringLiteral("GetFornecedor"), qint64(16) << 20);
    link.setKeepReply(QStringLiteral("GetFornecedor"), true);
}

} // namespace PriceListServer
