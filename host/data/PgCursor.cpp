#include "data/PgCursor.h"
#include "data/Database.h"
#include "errors/EDatabaseError.h"

#include <QSqlDriver>
#include <libpq-fe.h>
#include <vector>

namespace PgLink {

pg_conn *connectionOf(const QSqlDatabase &db)
{
    if (!db.driver() || db.driverName() != QLatin1String("QPSQL"))
        return nullptr;
    const QVariant handle = db.driver()->handle();
    return handle.isValid() ? *static_cast<PGconn *const *>(handle.constData()) : nullptr;
}

QString positional(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    QChar closing;
    int count = 0;
    for (const QChar c : text) {
        if (!closing.isNull()) {
            if (c == closing)
                closing = QChar();
            out += c;
        } else if (c == QLatin1Char('?')) {
            out += QLatin1Char('$') + QString::number(++count);
        } else {
            if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`'))
                closing = c;
            out += c;
        }
    }
    return out;
}

QSqlError errorOf(const pg_result *result, const pg_conn *conn)
{
    const QString state = result ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
    const QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn));
    return QSqlError(QString(), message.trimmed(), QSqlError::StatementError, state);
}

} // namespace PgLink

namespace {

const char cursorName[] = "suite_report_rows";

// A value as libpq sends it. Text for everything the driver would write as a literal
// (the server infers each parameter's type from where it stands, as for the driver's
// own statements); bytes go as bytes.
struct Bound
{
    std::vector<QByteArray> data;
    std::vector<const char *> values;
    std::vector<int> lengths, formats;

    explicit Bound(const QVariantList &list)
    {
        data.reserve(list.size());
        for (const QVariant &v : list) {
            const bool bytes = v.typeId() == QMetaType::QByteArray;
            data.push_back(v.isNull() ? QByteArray() : bytes ? v.toByteArray() : v.toString().toUtf8());
            lengths.push_back(int(data.back().size()));
            formats.push_back(bytes ? 1 : 0);
        }
        for (qsizetype i = 0; i < list.size(); ++i)
            values.push_back(list.at(i).isNull() ? nullptr : data.at(i).constData());
    }
};

EDatabaseError failure(const QString &cause)
{
    return EDatabaseError(QStringLiteral("Erro ao executar a consulta no banco de dados"), cause);
}

} // namespace

PgCursor::PgCursor(const QSqlDatabase &db, int firstBatch) : m_db(db), m_batch(db), m_firstBatch(qMax(1, firstBatch))
{
    m_batch.setForwardOnly(true);
}

PgCursor::~PgCursor()
{
    if (m_inTransaction)
        finish(false);
}

void PgCursor::open(const PreparedSql &sql)
{
    PGconn *conn = PgLink::connectionOf(m_db);
    if (!conn || !m_db.isOpen())
        throw failure(QStringLiteral("a conexão com o servidor de banco não está aberta"));
    if (!m_db.transaction())
        throw failure(databaseCause(m_db.lastError()));
    m_inTransaction = true;
    // Compiling a large statement (JIT) takes the server a quarter of a second or more
    // before the first row: a price was worth paying for the whole result, not for a page.
    QSqlQuery noJit(m_db);
    if (!noJit.exec(QStringLiteral("SET LOCAL jit = off")))
        throw failure(databaseCause(noJit.lastError()));
    const QByteArray text = QStringLiteral("DECLARE %1 NO SCROLL CURSOR FOR ")
                                .arg(QLatin1String(cursorName))
                                .append(PgLink::positional(sql.text))
                                .toUtf8();
    const Bound bound(sql.values);
    PGresult *result = PQexecParams(conn, text.constData(), int(bound.values.size()), nullptr, bound.values.data(),
                                    bound.lengths.data(), bound.formats.data(), 0);
    const bool declared = result && PQresultStatus(result) == PGRES_COMMAND_OK;
    const QSqlError error = declared ? QSqlError() : PgLink::errorOf(result, conn);
    PQclear(result);
    if (!declared)
        throw failure(databaseCause(error));
    m_asked = 0;
    if (!fetch())
        throw failure(databaseCause(m_error));
}

bool PgCursor::fetch()
{
    m_asked = m_asked == 0 ? m_firstBatch : qMin(m_asked * 2, m_firstBatch * 64);
    if (!m_batch.exec(QStringLiteral("FETCH FORWARD %1 FROM %2").arg(m_asked).arg(QLatin1String(cursorName)))) {
        m_error = m_batch.lastError();
        return false;
    }
    m_got = 0;
    return true;
}

bool PgCursor::next()
{
    if (m_error.isValid() || m_exhausted)
        return false;
    if (m_batch.next()) {
        ++m_got;
        return true;
    }
    // A batch short of what was asked was the last one.
    const bool more = m_got == m_asked && !m_batch.lastError().isValid() && fetch() && m_batch.next();
    if (m_batch.lastError().isValid() && !m_error.isValid())
        m_error = m_batch.lastError();
    if (!more) {
        if (!m_error.isValid())
            finish(true);
        return false;
    }
    m_got = 1;
    return true;
}

void PgCursor::finish(bool commit)
{
    m_exhausted = true;
    m_inTransaction = false;
    m_batch.finish();
    // Committing a read-only transaction closes the cursor with it.
    if (commit ? m_db.commit() : m_db.rollback())
        return;
    if (commit)
        m_error = m_db.lastError();
}
