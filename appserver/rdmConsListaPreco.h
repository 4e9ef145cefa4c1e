#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QVariant>
#include <QVariantList>

// The remote data module "Lpr07700.rdmConsListaPreco": what the price-list screen asks
// of the application server. Reads the database through one named connection,
// read-only.
class rdmConsListaPreco
{
public:
    static QString serverObjectName() { return QStringLiteral("Lpr07700.rdmConsListaPreco"); }

    explicit rdmConsListaPreco(const QString &connectionName);

    // Runs a method by name (case-insensitive). Raises ESuiteError for an unknown
    // method ("Método desconhecido: X"), wrong arguments or a database failure.
    QVariant invoke(const QString &method, const QVariantList &args);

    // The quoted suppliers (those with at least one COTACAO row) as a data packet of
    // the six fields IDMARCADO (empty: the mark column), IDTPIJURFORN, NRINSJURFORN,
    // NMFANTFORN, NMRAZSOCFORN, CDFORNECED, ordered by NMFANTFORN, CDFORNECED.
    QByteArray GetFornecedor();

    // How long an encoded list is served again without asking the database
    // (milliseconds; 0: always ask).
    void setCacheTime(int ms) { m_cacheMs = ms; }
    int cacheTime() const { return m_cacheMs; }
    void clearCache() { m_cached = QByteArray(); }
    // A mark that changes whenever the data may have changed (SQLite: PRAGMA data_version,
    // commits of other connections; PostgreSQL: the write-ahead log position; Firebird: a
    // sequence moved by a commit trigger). Empty when the database has none: the time
    // limit alone then applies.
    QString dataVersion() const;

private:
    QByteArray queryFornecedor();

    QString m_connectionName;
    int m_cacheMs = 10000;
    QByteArray m_cached;
    QElapsedTimer m_cachedAt;
    QElapsedTimer m_builtAt;
    QString m_cachedVersion; // the data version the cached packet was built at
};
