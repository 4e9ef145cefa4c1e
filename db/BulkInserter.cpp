#include "BulkInserter.h"

#include "errors/EAbort.h"
#include "SchemaDdl.h"

#include <QDate>
#include <QSqlDriver>
#include <QSqlError>
#include <libpq-fe.h>
#include <sqlite3.h>

BulkInserter::BulkInserter(QSqlDatabase &db, SqlDialect dialect, const TableDef &table, const QString &dbLabel)
    : m_db(db), m_table(table), m_dialect(dialect), m_dbLabel(dbLabel), m_columns(int(table.columns.size())),
      m_rowsPerInsert(SchemaDdl::maxRowsPerInsert(table, dialect)), m_many(db), m_one(db)
{
    m_buffer.reserve(qsizetype(m_columns) * m_rowsPerInsert);
    if (dialect == SqlDialect::SQLite && db.driver()) {
        const QVariant handle = db.driver()->handle();
        if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
            m_sqlite = *static_cast<sqlite3 *const *>(handle.constData());
    }
    if (dialect == SqlDialect::PostgreSQL && db.driver()) {
        const QVariant handle = db.driver()->handle();
        if (handle.isValid()
            && (qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0))
            m_pg = *static_cast<PGconn *const *>(handle.constData());
    }
    if (m_pg)
        return;
    if (m_sqlite)
        m_manyNative = prepareNative(m_rowsPerInsert);
    else
        prepare(m_many, m_rowsPerInsert);
}

BulkInserter::~BulkInserter()
{
    sqlite3_finalize(m_manyNative);
    sqlite3_finalize(m_oneNative);
    if (m_copying) {
        // Left midway (an error): the COPY is abandoned, the caller rolls back.
        PQputCopyEnd(m_pg, "carga interrompida");
        while (PGresult *r = PQgetResult(m_pg))
            PQclear(r);
    }
}

void BulkInserter::startCopy()
{
    QStringList names;
    for (const ColumnDef &c : m_table.columns)
        names << c.name;
    const QByteArray sql =
        QStringLiteral("COPY %1 (%2) FROM STDIN").arg(m_table.name, names.join(QStringLiteral(", "))).toUtf8();
    PGresult *r = PQexec(m_pg, sql.constData());
    const bool ok = PQresultStatus(r) == PGRES_COPY_IN;
    const QString cause = QString::fromUtf8(PQerrorMessage(m_pg)).trimmed();
    PQclear(r);
    if (!ok)
        fail(QStringLiteral("iniciar a carga da tabela %1").arg(m_table.name), cause);
    m_copying = true;
}

// One value in COPY's text format: \N for null, backslash escapes for the characters
// that separate values and rows.
void BulkInserter::copyText(const QVariant &value, int column)
{
    if (column > 0)
        m_copyBuffer.append('\t');
    if (value.isNull()) {
        m_copyBuffer.append("\\N");
        return;
    }
    const ColumnDef &c = m_table.columns.at(column);
    QString text;
    if (value.metaType().id() == QMetaType::QDate)
        text = value.toDate().toString(Qt::ISODate);
    else if (c.type == ColumnType::Numeric)
        text = QString::number(value.toDouble(), 'f', c.scale);
    else
        text = value.toString();
    for (const char ch : text.toUtf8()) {
        switch (ch) {
        case '\\': m_copyBuffer.append("\\\\"); break;
        case '\t': m_copyBuffer.append("\\t"); break;
        case '\n': m_copyBuffer.append("\\n"); break;
        case '\r': m_copyBuffer.append("\\r"); break;
        default: m_copyBuffer.append(ch);
        }
    }
}

void BulkInserter::sendCopy()
{
    if (m_copyBuffer.isEmpty())
        return;
    if (PQputCopyData(m_pg, m_copyBuffer.constData(), int(m_copyBuffer.size())) != 1)
        fail(QStringLiteral("gravar na tabela %1").arg(m_table.name),
             QString::fromUtf8(PQerrorMessage(m_pg)).trimmed());
    m_copyBuffer.clear();
}

void BulkInserter::endCopy()
{
    sendCopy();
    m_copying = false;
    QString cause;
    if (PQputCopyEnd(m_pg, nullptr) != 1)
        cause = QString::fromUtf8(PQerrorMessage(m_pg)).trimmed();
    while (PGresult *r = PQgetResult(m_pg)) {
        if (PQresultStatus(r) != PGRES_COMMAND_OK && cause.isEmpty())
            cause = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
        PQclear(r);
    }
    if (!cause.isEmpty())
        fail(QStringLiteral("gravar na tabela %1").arg(m_table.name), cause);
}

void BulkInserter::prepare(QSqlQuery &query, int rows)
{
    query.setForwardOnly(true);
    if (!query.prepare(SchemaDdl::insert(m_table, m_dialect, rows)))
        fail(QStringLiteral("preparar a gravação na tabela %1").arg(m_table.name), query.lastError().text());
}

sqlite3_stmt *BulkInserter::prepareNative(int rows)
{
    const QByteArray sql = SchemaDdl::insert(m_table, m_dialect, rows).toUtf8();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(m_sqlite, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        fail(QStringLiteral("preparar a gravação na tabela %1").arg(m_table.name),
             QString::fromUtf8(sqlite3_errmsg(m_sqlite)));
    }
    return stmt;
}

void BulkInserter::add(std::initializer_list<QVariant> values)
{
    Q_ASSERT(int(values.size()) == m_columns);
    if (m_pg) {
        if (!m_copying)
            startCopy();
        int column = 0;
        for (const QVariant &v : values)
            copyText(v, column++);
        m_copyBuffer.append('\n');
        ++m_rows;
        if (m_copyBuffer.size() > (1 << 20))
            sendCopy();
        return;
    }
    for (const QVariant &v : values)
        m_buffer.append(v);
    if (m_buffer.size() == qsizetype(m_columns) * m_rowsPerInsert) {
        exec(true, 0, m_rowsPerInsert);
        m_buffer.clear();
    }
}

void BulkInserter::flush()
{
    if (m_pg) {
        if (m_copying)
            endCopy();
        return;
    }
    if (m_buffer.isEmpty())
        return;
    if (!m_onePrepared) {
        if (m_sqlite)
            m_oneNative = prepareNative(1);
        else
            prepare(m_one, 1);
        m_onePrepared = true;
    }
    const int pending = int(m_buffer.size() / m_columns);
    for (int r = 0; r < pending; ++r)
        exec(false, qsizetype(r) * m_columns, 1);
    m_buffer.clear();
}

void BulkInserter::exec(bool many, qsizetype firstValue, int rows)
{
    const int count = rows * m_columns;
    if (m_sqlite) {
        execNative(many ? m_manyNative : m_oneNative, firstValue, count);
    } else {
        QSqlQuery &query = many ? m_many : m_one;
        for (int i = 0; i < count; ++i)
            query.bindValue(i, serverValue(i % m_columns, m_buffer.at(firstValue + i)));
        if (!query.exec())
            fail(QStringLiteral("gravar na tabela %1").arg(m_table.name), query.lastError().text());
    }
    m_rows += rows;
}

QVariant BulkInserter::serverValue(int column, const QVariant &value) const
{
    const ColumnDef &c = m_table.columns.at(column);
    // Firebird takes decimals as text (see SchemaDdl::firebirdParamType).
    if (m_dialect == SqlDialect::Firebird && c.type == ColumnType::Numeric && !value.isNull())
        return QString::number(value.toDouble(), 'f', c.scale);
    return value;
}

void BulkInserter::execNative(sqlite3_stmt *stmt, qsizetype firstValue, int count)
{
    sqlite3_reset(stmt);
    for (int i = 0; i < count; ++i) {
        const QVariant &v = m_buffer.at(firstValue + i);
        const int at = i + 1;
        int rc = SQLITE_OK;
        if (v.isNull()) {
            rc = sqlite3_bind_null(stmt, at);
        } else {
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::ULongLong: rc = sqlite3_bind_int64(stmt, at, v.toLongLong()); break;
            case QMetaType::Double: rc = sqlite3_bind_double(stmt, at, v.toDouble()); break;
            case QMetaType::QDate: {
                const QByteArray text = v.toDate().toString(Qt::ISODate).toLatin1();
                rc = sqlite3_bind_text(stmt, at, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QByteArray text = v.toString().toUtf8();
                rc = sqlite3_bind_text(stmt, at, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            }
            }
        }
        if (rc != SQLITE_OK)
            fail(QStringLiteral("gravar na tabela %1").arg(m_table.name), QString::fromUtf8(sqlite3_errmsg(m_sqlite)));
    }
    if (sqlite3_step(stmt) != SQLITE_DONE) {
        const QString cause = QString::fromUtf8(sqlite3_errmsg(m_sqlite));
        sqlite3_reset(stmt);
        fail(QStringLiteral("gravar na tabela %1").arg(m_table.name), cause);
    }
}

void BulkInserter::fail(const QString &action, const QString &cause) const
{
    throw EDatabaseError(QStringLiteral("Não foi possível %1 da base %2: %3").arg(action, m_dbLabel, cause));
}
