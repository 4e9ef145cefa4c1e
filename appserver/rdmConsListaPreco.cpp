#include "rdmConsListaPreco.h"
#include "data/Database.h"
#include "errors/EAbort.h"
#include "LinkTicket.h"
#include "SupplierListCache.h"
#include "net/DataPacket.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// Longest time a packet is kept on the strength of an unchanged data mark.
constexpr qint64 kMaxKeptMs = 5 * 60 * 1000;

// EXISTS stops at the first quote of each supplier, found through the index on
// COTACAO.CDFORNECED; suppliers without quotes cost one index probe.
// On SQLite the unary plus keeps the planner from walking the NMFANTFORN index, which
// visits the table in random order: a sequential scan and one sort are faster.
QString fornecedorSql(bool sqlite)
{
    return QStringLiteral("SELECT F.IDTPIJURFORN, F.NRINSJURFORN, F.NMFANTFORN, F.NMRAZSOCFORN, F.CDFORNECED"
                          "  FROM FORNECEDOR F"
                          " WHERE EXISTS (SELECT 1 FROM COTACAO C WHERE C.CDFORNECED = F.CDFORNECED)"
                          " ORDER BY %1F.NMFANTFORN, F.CDFORNECED")
        .arg(sqlite ? QStringLiteral("+") : QString());
}

QList<DataPacket::Field> fornecedorFields()
{
    return {
        {QStringLiteral("IDMARCADO"), 1, QStringLiteral("string")},
        {QStringLiteral("IDTPIJURFORN"), 1, QStringLiteral("string")},
        {QStringLiteral("NRINSJURFORN"), 20, QStringLiteral("string")},
        {QStringLiteral("NMFANTFORN"), 40, QStringLiteral("string")},
        {QStringLiteral("NMRAZSOCFORN"), 40, QStringLiteral("string")},
        {QStringLiteral("CDFORNECED"), 21, QStringLiteral("string")},
    };
}

// The cause, and which database: the screen shows this text as it comes.
QString causeOf(const QSqlDatabase &db, const QSqlError &error)
{
    const QString which = db.connectionName() == QLatin1String(dtmDBGeral::connectionName())
                              ? dtmDBGeral::config().describe()
                              : QStringLiteral("%1 %2").arg(db.driverName(), db.databaseName());
    return QStringLiteral("%1. Banco: %2").arg(databaseCause(error), which);
}

} // namespace

DataModuleFactory rdmConsListaPreco::factory()
{
    auto cache = std::make_shared<SupplierListCache>();
    return {name(),
            [cache](const QString &connectionName) { return std::make_unique<rdmConsListaPreco>(connectionName, cache); },
            true};
}

rdmConsListaPreco::rdmConsListaPreco(const QString &connectionName, std::shared_ptr<SupplierListCache> cache)
    : m_connectionName(connectionName), m_cache(cache ? std::move(cache) : std::make_shared<SupplierListCache>())
{
}

void rdmConsListaPreco::setCacheTime(int ms)
{
    m_cache->setCacheTime(ms);
}

int rdmConsListaPreco::cacheTime() const
{
    return m_cache->cacheTime();
}

BuildStats rdmConsListaPreco::buildStats() const
{
    return m_cache->stats(LinkTicket::nowMs());
}

void rdmConsListaPreco::clearCache()
{
    m_cache->clear();
}

QVariant rdmConsListaPreco::invoke(const QString &method, const QVariantList &args)
{
    QVariant result;
    if (!tryInvoke(method, args, result))
        result = buildFornecedor(LinkTicket::nowMs());
    return result;
}

bool rdmConsListaPreco::tryInvoke(const QString &method, const QVariantList &args, QVariant &result)
{
    if (method.compare(QLatin1String("GetFornecedor"), Qt::CaseInsensitive) == 0) {
        if (!args.isEmpty())
            throw ESuiteError(QStringLiteral("GetFornecedor não recebe argumentos (recebeu %1).").arg(args.size()));
        const QByteArray packet = currentFornecedor();
        if (packet.isNull())
            return false;
        result = packet;
        return true;
    }
    throw ESuiteError(QStringLiteral("Método desconhecido: %1").arg(method.left(100)));
}

QVariant rdmConsListaPreco::invokeBuilt(const QString &method, const QVariantList &args, qint64 askedAt)
{
    Q_UNUSED(method);
    Q_UNUSED(args);
    QByteArray packet = currentFornecedor();
    if (packet.isNull())
        packet = buildFornecedor(askedAt);
    return packet;
}

QString rdmConsListaPreco::dataVersion() const
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen())
        return QString();
    const char *probe = nullptr;
    if (db.driverName() == QLatin1String("QSQLITE"))
        probe = "PRAGMA data_version";
    else if (db.driverName() == QLatin1String("QPSQL"))
        probe = "SELECT CAST(pg_current_wal_insert_lsn() AS TEXT)";
    else if (db.driverName() == QLatin1String("QIBASE"))
        probe = "SELECT GEN_ID(G_VERSAO_DADOS, 0) FROM RDB$DATABASE";
    if (!probe)
        return QString();
    QSqlQuery q(db);
    if (!q.exec(QString::fromLatin1(probe)) || !q.next())
        return QString();
    return q.value(0).toString();
}

QByteArray rdmConsListaPreco::GetFornecedor()
{
    const QByteArray packet = currentFornecedor();
    return packet.isNull() ? buildFornecedor(LinkTicket::nowMs()) : packet;
}

QByteArray rdmConsListaPreco::currentFornecedor()
{
    const int cacheMs = m_cache->cacheTime();
    if (cacheMs <= 0)
        return {};
    const SupplierListCache::Entry e = m_cache->entry();
    if (e.packet.isNull())
        return {};
    const qint64 now = LinkTicket::nowMs();
    if (now - e.checkedAt < cacheMs)
        return e.packet;
    // The packet stays good for as long as the data did not change; a few minutes at most,
    // since a change mark may move a moment before the change becomes visible.
    if (!e.version.isEmpty() && now - e.startedAt < kMaxKeptMs && dataVersion() == e.version) {
        m_cache->confirm(e.startedAt, now);
        return e.packet;
    }
    return {};
}

QByteArray rdmConsListaPreco::buildFornecedor(qint64 askedAt)
{
    {
        const SupplierListCache::Entry e = m_cache->entry();
        if (!e.packet.isNull() && e.startedAt > askedAt)
            return e.packet; // built for someone else after this was asked: as fresh
    }
    SupplierListCache::Entry built;
    built.startedAt = LinkTicket::nowMs();
    QElapsedTimer clock;
    clock.start();
    try {
        built.version = dataVersion();
        try {
            built.packet = queryFornecedor();
        } catch (const EDatabaseError &) {
            // A server restart of the database breaks the connection, and an SQLite file
            // replaced under the server leaves the connection with the schema it read before:
            // either way the connection is opened anew, once.
            reopen();
            built.packet = queryFornecedor();
        }
    } catch (const ESuiteError &) {
        m_cache->recordBuild(double(clock.nsecsElapsed()) / 1e9, true);
        throw;
    }
    m_cache->recordBuild(double(clock.nsecsElapsed()) / 1e9, false);
    built.checkedAt = built.startedAt;
    built.mark = SupplierListCache::markOf(built.packet);
    m_cache->store(built);
    return built.packet;
}

QString rdmConsListaPreco::markOf(const QVariant &result) const
{
    return result.metaType().id() == QMetaType::QByteArray ? m_cache->markFor(result.toByteArray()) : QString();
}

void rdmConsListaPreco::reopen()
{
    if (m_connectionName == QLatin1String(dtmDBGeral::connectionName())) {
        dtmDBGeral::open(dtmDBGeral::config());
        return;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    db.close();
    if (!db.open())
        throw EDatabaseError(QStringLiteral("Não foi possível reabrir o banco de dados do servidor de aplicação"),
                             causeOf(db, db.lastError()));
}

QByteArray rdmConsListaPreco::queryFornecedor()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen())
        throw EDatabaseError(QStringLiteral("O banco de dados do servidor de aplicação não está aberto (conexão %1).")
                                 .arg(m_connectionName));
    const bool sqlite = db.driverName() == QLatin1String("QSQLITE");
    // No memory-mapped reads (PRAGMA mmap_size): a database file cut short under the
    // server (a backup copied over it, a full disk) turns a mapped read into SIGBUS and
    // kills the server, where read() gives an error the screen can show.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(fornecedorSql(sqlite)) || !query.exec())
        throw EDatabaseError(QStringLiteral("Não foi possível consultar os fornecedores cotados"),
                             causeOf(db, query.lastError()));

    DataPacket::Writer writer(fornecedorFields());
    while (query.next()) {
        writer.beginRow();
        writer.addText(QString());
        for (int column = 0; column < 5; ++column) {
            const QVariant value = query.value(column);
            if (value.isNull())
                writer.addNull();
            else
                writer.addText(value.toString());
        }
        writer.endRow();
    }
    if (query.lastError().isValid())
        throw EDatabaseError(QStringLiteral("Não foi possível ler os fornecedores cotados"),
                             causeOf(db, query.lastError()));
    return writer.finish();
}
