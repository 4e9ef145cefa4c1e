#include "data/TADOIBQuery.h"
#include "data/Database.h"
#include "errors/EAbort.h"
#include "data/SqlBinding.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// The dialect of the connection a query runs on (it may not be the general one).
SqlDialect dialectOf(const QSqlDatabase &db)
{
    const QString driver = db.driverName();
    if (driver == QLatin1String("QPSQL"))
        return SqlDialect::PostgreSQL;
    if (driver == QLatin1String("QIBASE"))
        return SqlDialect::Firebird;
    return SqlDialect::SQLite;
}

// A statement text that can stand inside "SELECT * FROM (...)".
QString nestable(QString sql)
{
    while (!sql.isEmpty() && (sql.back().isSpace() || sql.back() == QLatin1Char(';')))
        sql.chop(1);
    return sql;
}

DatabaseFailure notOpen()
{
    DatabaseFailure failure;
    failure.database = dtmDBGeral::config().describe();
    failure.failed = QStringLiteral("O banco de dados %1 não está aberto.").arg(failure.database);
    failure.databaseInText = true;
    return failure;
}

} // namespace

TADOIBQuery::TADOIBQuery(QObject *parent) : TDataSet(parent) { }

TADOIBQuery::~TADOIBQuery() = default;

QSqlDatabase TADOIBQuery::database() const
{
    return ConnectionName.isEmpty() ? dtmDBGeral::dtbGeral() : QSqlDatabase::database(ConnectionName);
}

QString TADOIBQuery::sqlFor(SqlDialect dialect) const
{
    const QChar n = QLatin1Char('\n');
    return textForDialect(dialect, SQL.join(n), SQL_SQLITE.join(n), SQL_PG.join(n), SQL_IB.join(n));
}

QString TADOIBQuery::ActiveSQL() const
{
    return sqlFor(dialectOf(database()));
}

void TADOIBQuery::DeclareParam(const QString &name, TFieldType type)
{
    syncParams();
    m_params.CreateParam(name, type).setDataType(type);
}

void TADOIBQuery::syncParams()
{
    const QString sql = ActiveSQL();
    if (sql == m_paramsFrom)
        return;
    TParams fresh;
    for (const QString &name : PreparedSql::parameterNames(sql)) {
        TParam &p = fresh.CreateParam(name);
        if (const TParam *old = m_params.FindParam(name))
            p = *old;
    }
    // Parameters declared before the text was set keep their declaration.
    for (int i = 0; i < m_params.Count(); ++i)
        if (!fresh.FindParam(m_params[i].Name()))
            fresh.CreateParam(m_params[i].Name()) = m_params[i];
    m_params = fresh;
    m_paramsFrom = sql;
}

TParams &TADOIBQuery::Params()
{
    syncParams();
    return m_params;
}

void TADOIBQuery::Open()
{
    if (Active())
        return;
    execute(ActiveSQL(), Params());
}

void TADOIBQuery::Close()
{
    m_query.reset();
    TDataSet::Close();
}

void TADOIBQuery::execute(const QString &sql, const TParams &params)
{
    auto run = [&](QSqlDatabase db) {
        if (!db.isOpen())
            throw EDatabaseError(notOpen());
        const PreparedSql prepared = PreparedSql::prepare(sql, params, dialectOf(db));
        auto query = std::make_unique<QSqlQuery>(db);
        query->setForwardOnly(true);
        prepared.exec(*query);
        return query;
    };
    std::unique_ptr<QSqlQuery> query;
    try {
        try {
            query = run(database());
        } catch (const EDatabaseError &) {
            // A database server that went away and came back: the general connection is
            // opened again and the statement runs once more; any other failure stands.
            if (!ConnectionName.isEmpty() || !dtmDBGeral::ensureAlive())
                throw;
            query = run(database());
        }
    } catch (const EDatabaseError &e) {
        // Every failure says which database it happened on, once.
        throw e.on(dtmDBGeral::config().describe());
    }
    QStringList columns;
    const QSqlRecord record = query->record();
    for (int i = 0; i < record.count(); ++i)
        columns << record.fieldName(i).toUpper();
    m_query = std::move(query);
    beginData(columns);
    setActive(true);
    // The first rows are read now: a server connection (PostgreSQL) drops the pending rows
    // of a statement when the next one runs, and most of the screen's queries fit in them.
    // A read that fails there (a damaged page) must not pass for the end of the rows.
    fetchMore();
    if (m_query && m_query->lastError().isValid()) {
        const QString cause = databaseCause(m_query->lastError());
        Close();
        throw EDatabaseError(QStringLiteral("Erro ao ler o resultado da consulta no banco de dados"), cause,
                             dtmDBGeral::config().describe());
    }
}

bool TADOIBQuery::fetchMore()
{
    if (!m_query)
        return false;
    // A few hundred rows at a time keep lists responsive without reading everything.
    int got = 0;
    const int columns = m_query->record().count();
    while (got < 256 && m_query->next()) {
        QVector<QVariant> row(columns);
        for (int i = 0; i < columns; ++i)
            row[i] = m_query->value(i);
        appendRow(std::move(row));
        ++got;
    }
    if (got < 256) {
        endData();
        m_query->finish();
    }
    return got > 0;
}

bool TADOIBQuery::Locate(const QString &fieldName, const QVariant &value)
{
    TField &field = FieldByName(fieldName);
    if (!Active())
        Open();
    // Rows already read are searched first; a big result is restricted by the database.
    for (int row = 0; row < fetchedCount(); ++row) {
        if (rowValue(row, field.columnIndex()).toString() == value.toString()) {
            setCurrent(row);
            return true;
        }
    }
    if (fetchedAll())
        return false;
    TParams params = Params();
    params.CreateParam(QStringLiteral("LOCATE__VALUE"), TFieldType::ftString).setAsString(value.toString());
    const QString sql = QStringLiteral("SELECT * FROM (%1) LOC__ WHERE LOC__.%2 = :LOCATE__VALUE")
                            .arg(nestable(ActiveSQL()), field.FieldName);
    execute(sql, params);
    return !IsEmpty();
}
