#pragma once

#include "DataModuleFactory.h"
#include "RemoteDataModule.h"

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>

class SupplierListCache;

// The remote data module "Lpr07700.rdmConsListaPreco": what the price-list screen asks
// of the application server. Reads the database through one named connection,
// read-only, used on one thread. Modules on several threads share one encoded list
// through their SupplierListCache.
class rdmConsListaPreco : public RemoteDataModule
{
public:
    static QString name() { return QStringLiteral("Lpr07700.rdmConsListaPreco"); }
    // What the server is given: instances that share one supplier list.
    static DataModuleFactory factory();

    // cache: shared with other modules; a cache of its own when none is given.
    explicit rdmConsListaPreco(const QString &connectionName, std::shared_ptr<SupplierListCache> cache = {});
    QString serverObjectName() const override { return name(); }
    QString connectionName() const { return m_connectionName; }

    // Runs a method by name (case-insensitive). Raises ESuiteError for an unknown
    // method ("Método desconhecido: X"), wrong arguments or a database failure.
    QVariant invoke(const QString &method, const QVariantList &args);

    // The quoted suppliers (those with at least one COTACAO row) as a data packet of
    // the six fields IDMARCADO (empty: the mark column), IDTPIJURFORN, NRINSJURFORN,
    // NMFANTFORN, NMRAZSOCFORN, CDFORNECED, ordered by NMFANTFORN, CDFORNECED.
    QByteArray GetFornecedor();

    // Answers a call from what is at hand: true with `result` set, false when the call
    // needs the list built first (buildFornecedor, then the call again or its packet).
    // Raises as invoke().
    bool tryInvoke(const QString &method, const QVariantList &args, QVariant &result) override;
    // GetFornecedor once tryInvoke has declined it: the list built while this call waited
    // serves if the data has not moved since; otherwise buildFornecedor.
    QVariant invokeBuilt(const QString &method, const QVariantList &args, qint64 askedAt) override;
    // The list while it is current (a look at the change mark at most); null otherwise.
    QByteArray currentFornecedor();
    // The list as the database holds it now: built, unless a build that started
    // after `askedAt` (steady clock, ms; see LinkTicket::nowMs) has already done it.
    QByteArray buildFornecedor(qint64 askedAt);
    // The mark under which a client may keep a result of this module (the list's digest);
    // empty for a result that is not kept.
    QString markOf(const QVariant &result) const override;

    // How long an encoded list is served again without asking the database
    // (milliseconds; 0: always ask).
    void setCacheTime(int ms) override;
    int cacheTime() const;
    // Builds the list once (and keeps it when the cache is on, so that the first screen
    // does not wait).
    QVariant warmUp() override { return GetFornecedor(); }
    void clearCache();
    BuildStats buildStats() const override;
    // A mark that changes whenever the data may have changed (SQLite: PRAGMA data_version,
    // commits of other connections; PostgreSQL: the write-ahead log position; Firebird: a
    // sequence moved by a commit trigger). Empty when the database has none: the time
    // limit alone then applies.
    QString dataVersion() const;

private:
    QByteArray queryFornecedor();
    void reopen();

    QString m_connectionName;
    std::shared_ptr<SupplierListCache> m_cache;
};
