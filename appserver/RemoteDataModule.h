#pragma once

#include "BuildStats.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

// A remote data module: the object a client names in its hello ("Server.module") and then
// calls methods of. The server gives each of its threads an instance of its own, on a
// database connection of that thread: an instance is used on one thread only, so it keeps
// no lock; what the instances share (a cache) they are given by their DataModuleFactory.
//
// A call is first offered to tryInvoke on the link's worker thread. A call that needs slow
// work (a query that may take seconds) is declined there and answered by invokeBuilt on
// the builder thread, so that it holds up no link but its own.
class RemoteDataModule
{
public:
    virtual ~RemoteDataModule() = default;

    // The name clients give in their hello, matched without regard to case.
    virtual QString serverObjectName() const = 0;

    // Answers a call from what is at hand: true with `result` set; false when the call needs
    // the slow work of invokeBuilt first. Raises ESuiteError for an unknown method
    // ("Método desconhecido: X"), wrong arguments or a database failure: the client gets
    // its text as it is.
    virtual bool tryInvoke(const QString &method, const QVariantList &args, QVariant &result) = 0;
    // Answers a call tryInvoke declined, on the builder thread: with what the database holds
    // at `askedAt` (steady clock, ms; LinkTicket::nowMs) or later, so that a build that
    // started after it may serve. Raises as tryInvoke. Only modules registered as building
    // are asked.
    virtual QVariant invokeBuilt(const QString &method, const QVariantList &args, qint64 askedAt) = 0;

    // The mark under which a client may keep a result of this module; empty for a result
    // that is not kept. A client offering the current mark is answered "unchanged".
    virtual QString markOf(const QVariant &result) const
    {
        Q_UNUSED(result);
        return QString();
    }

    // How long a built result is served again without asking the database (ms; 0: always
    // ask), for every instance of the module.
    virtual void setCacheTime(int ms) { Q_UNUSED(ms); }

    // Before the server listens: checks that the database serves this module, and prepares
    // what the first client would otherwise wait for. Returns the result it built that clients
    // keep (see markOf), if any, so that the server prepares what it sends of it too. Raises
    // ESuiteError.
    virtual QVariant warmUp() { return QVariant(); }

    // For the metrics endpoint: the result this module keeps and its builds; kept false and
    // no builds for a module that builds nothing. Called from the server's main thread.
    virtual BuildStats buildStats() const { return BuildStats(); }
};
