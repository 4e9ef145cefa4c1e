#pragma once

#include "data/SqlDialect.h"
#include "data/TDataSet.h"
#include "data/TParams.h"
#include "suite_export.h"

#include <QSqlDatabase>
#include <QStringList>
#include <memory>

class QSqlQuery;

// The suite's query component: a main SQL text plus dialect variants, run on the
// general database connection (dtmDBGeral) in read-only mode. Never active at load.
// Parameters are the :NAME markers of the text; values are always bound.
class SUITE_EXPORT TADOIBQuery : public TDataSet
{
    Q_OBJECT
public:
    explicit TADOIBQuery(QObject *parent = nullptr);
    ~TADOIBQuery() override;

    // Statement texts. SQL is the main text; a variant is used on its database when set.
    QStringList SQL, SQL_ORACLE, SQL_MSSQL, SQL_IB, SQL_PG, SQL_SQLITE;

    // Declares the type of a parameter (before the values are set).
    void DeclareParam(const QString &name, TFieldType type);
    // The parameters of the text that runs on the database in use (parsed on demand,
    // values kept across calls).
    TParams &Params();
    TParam &ParamByName(const QString &name) { return Params().ParamByName(name); }

    void Open() override;
    void Close() override;

    // The text that runs on the given (default: current) database.
    QString ActiveSQL() const;
    QString sqlFor(SqlDialect dialect) const;
    // Connection name of QSqlDatabase; empty: the general connection.
    QString ConnectionName;
    QSqlDatabase database() const;

    // Locates by running the statement restricted to the value (fast on big results).
    bool Locate(const QString &fieldName, const QVariant &value) override;

protected:
    bool fetchMore() override;

private:
    void syncParams();
    void execute(const QString &sql, const TParams &params);

    TParams m_params;
    QString m_paramsFrom;
    std::unique_ptr<QSqlQuery> m_query;
};
