#include "report/designer/ReportQueryProbe.h"
#include "app/Session.h"
#include "data/SqlBinding.h"
#include "data/SqlGuard.h"
#include "errors/EDatabaseError.h"
#include "report/ReportConnection.h"
#include "report/ReportDefinition.h"
#include "report/ReportJob.h"
#include "report/DecimalSum.h"
#include "report/ReportFormat.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QRegularExpression>
#include <sqlite3.h>

ExpressionType ReportQueryField::typeOf(const QMetaType &type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort: return ExpressionType::Number;
    case QMetaType::QString:
    case QMetaType::QByteArray: return ExpressionType::Text;
    case QMetaType::QDate:
    case QMetaType::QDateTime: return ExpressionType::Date;
    case QMetaType::Bool: return ExpressionType::Bool;
    default: return ExpressionType::Any;
    }
}

QString ReportQueryField::typeName() const
{
    switch (type) {
    case ExpressionType::Number: return QStringLiteral("número");
    case ExpressionType::Text: return QStringLiteral("texto");
    case ExpressionType::Date: return QStringLiteral("data");
    case ExpressionType::Bool: return QStringLiteral("lógico");
    case ExpressionType::Any: break;
    }
    return QStringLiteral("valor");
}

namespace {

ExpressionType declaredType(const QString &declared)
{
    const QString t = declared.toUpper();
    if (t.startsWith(QLatin1String("DATE")) || t.startsWith(QLatin1String("TIMESTAMP")))
        return ExpressionType::Date;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("TEXT")))
        return ExpressionType::Text;
    if (t.contains(QLatin1String("INT")) || t.startsWith(QLatin1String("NUMERIC"))
        || t.startsWith(QLatin1String("DECIMAL")) || t.contains(QLatin1String("REAL"))
        || t.contains(QLatin1String("DOUBLE")) || t.contains(QLatin1String("FLOAT")))
        return ExpressionType::Number;
    return ExpressionType::Any;
}

// SQLite's driver types a column from its declaration only for numbers, and a computed
// column from its first value: ask the statement itself.
QStringList sqliteDeclaredTypes(const QSqlDatabase &db, const QString &text)
{
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return {};
    sqlite3 *connection = *static_cast<sqlite3 *const *>(handle.constData());
    sqlite3_stmt *statement = nullptr;
    const QByteArray utf8 = text.toUtf8();
    if (sqlite3_prepare_v2(connection, utf8.constData(), int(utf8.size()), &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return {};
    }
    QStringList types;
    for (int i = 0; i < sqlite3_column_count(statement); ++i)
        types << QString::fromUtf8(sqlite3_column_decltype(statement, i));
    sqlite3_finalize(statement);
    return types;
}

bool integral(const QMetaType &type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort: return true;
    default: return false;
    }
}

// The decimals a numeric column keeps, where the database says: the scale of a declared
// NUMERIC(15,4) (SQLite, which types a computed column by its first value only, so that
// says nothing), or the type and scale the driver gives (PostgreSQL, Firebird); -1 unknown.
int scaleOf(const QSqlField &field, const QString &declared, bool sqlite)
{
    static const QRegularExpression numeric(QStringLiteral("\\(\\s*\\d+\\s*,\\s*(\\d+)\\s*\\)"));
    const QRegularExpressionMatch m = numeric.match(declared);
    if (m.hasMatch())
        return m.captured(1).toInt();
    if (declared.contains(QLatin1String("INT")))
        return 0;
    if (sqlite)
        return -1;
    if (integral(field.metaType()))
        return 0;
    if (field.precision() > 0 && field.precision() <= 10)
        return field.precision();
    return -1;
}

// A number as a price list shows one: two decimals are money, whole numbers integers.
QString numberFormat(int decimals)
{
    if (decimals == 0)
        return QStringLiteral("integer");
    if (decimals == 2)
        return QStringLiteral("money");
    return QStringLiteral("number:%1").arg(decimals);
}

} // namespace

QList<ReportQueryField> ReportQuerySample::fields() const
{
    QList<ReportQueryField> list;
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField f = record.field(i);
        const QString declared = declaredTypes.value(i);
        ExpressionType type = declaredType(declared);
        if (type == ExpressionType::Any)
            type = ReportQueryField::typeOf(f.metaType());
        if (type == ExpressionType::Any && !rows.isEmpty() && !rows.first().at(i).isNull())
            type = ReportQueryField::typeOf(rows.first().at(i).metaType());
        list << ReportQueryField{f.name(), type, formatOf(i, type)};
    }
    return list;
}

QString ReportQuerySample::formatOf(int column, ExpressionType type) const
{
    const QSqlField f = record.field(column);
    const QString declared = declaredTypes.value(column).toUpper();
    if (type == ExpressionType::Date)
        return declared.startsWith(QLatin1String("TIMESTAMP")) || f.metaType().id() == QMetaType::QDateTime
                   ? QStringLiteral("datetime")
                   : QStringLiteral("date");
    if (type != ExpressionType::Number)
        return QStringLiteral("text");
    const int scale = scaleOf(f, declared, !declaredTypes.isEmpty());
    if (scale >= 0)
        return numberFormat(qMin(scale, 10));
    // A computed number: the decimals its first values show; two at least (money) and four
    // at most (past them, a product of prices shows binary noise, not digits).
    int decimals = 0;
    for (const QVariantList &row : rows) {
        bool ok = false;
        const double v = ReportFormat::toNumber(row.value(column), &ok);
        if (ok)
            decimals = qMax(decimals, DecimalSum::decimalsOf(v));
    }
    if (decimals == 0 && integral(f.metaType()))
        return numberFormat(0);
    return numberFormat(qBound(2, decimals, 4));
}

namespace ReportQueryProbe {

ReportQuerySample sample(const ReportDefinition &definition, const TParams &params, SqlDialect dialect,
                         const DbConfig &config, int seconds, int maxRows)
{
    const QString sql = definition.sqlFor(dialect);
    SqlGuard::requireSingleSelect(sql, QStringLiteral("A consulta do relatório '%1'").arg(definition.title));
    ReportConnection connection(config, seconds);
    const QSqlDatabase db = connection.database();
    ReportQuerySample result;
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        const PreparedSql prepared = PreparedSql::prepare(sql, params, dialect);
        SqlGuard::requireOneStatement(db, prepared.text);
        prepared.exec(query);
        result.record = query.record();
        result.declaredTypes = sqliteDeclaredTypes(db, prepared.text);
        while (result.rows.size() < maxRows && query.next()) {
            QVariantList row;
            row.reserve(result.record.count());
            for (int i = 0; i < result.record.count(); ++i)
                row << query.value(i);
            result.rows << row;
        }
        if (query.lastError().isValid())
            throw EDatabaseError(QStringLiteral("A leitura das linhas da consulta falhou"),
                                 databaseCause(query.lastError()));
    }
    return result;
}

ReportQuerySample sample(const ReportDefinition &definition, const TParams &params, int maxRows)
{
    return sample(definition, params, dtmDBGeral::dialect(), Session::current().reportDb(dtmDBGeral::config()),
                  ReportLimits::fromSession().seconds, maxRows);
}

} // namespace ReportQueryProbe
