#include "DemoDb.h"

#include "DemoGenerator.h"
#include "DemoNames.h"
#include "DemoSchema.h"
#include "errors/EAbort.h"
#include "SchemaDdl.h"
#include "SqliteLoadSettings.h"

#include <QAtomicInteger>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <exception>
#include <optional>

namespace {

void execOrFail(QSqlDatabase &db, SqlDialect dialect, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        throw EDatabaseError(QStringLiteral("Não foi possível executar \"%1\" na base %2: %3")
                                 .arg(sql.simplified(), DemoDb::describe(db, dialect), q.lastError().text()));
    }
}

void requireOpen(const QSqlDatabase &db, SqlDialect dialect)
{
    if (!db.isOpen())
        throw EDatabaseError(QStringLiteral("A base %1 não está aberta.").arg(DemoDb::describe(db, dialect)));
}

void optionError(const QString &where, const QString &cause)
{
    throw EDatabaseError(
        QStringLiteral("Não é possível gerar a base %1: %2. Corrija os tamanhos pedidos.").arg(where, cause));
}

void checkOptionsFor(const DemoOptions &o, const QString &where)
{
    const struct
    {
        int value;
        int max;
        const char *what;
    } sizes[] = {
        {o.products, 0, "produtos"}, {o.suppliers, 999999, "fornecedores"}, {o.branches, 9999, "filiais"},
        {o.regions, 998, "regiões"}, {o.operators, 999999, "operadores"},   {o.buyers, 999999, "compradores"},
        {o.quotes, 0, "cotações"},
    };
    for (const auto &s : sizes) {
        if (s.value < 0)
            optionError(where, QStringLiteral("o número de %1 não pode ser negativo (%2)")
                                   .arg(QString::fromUtf8(s.what))
                                   .arg(s.value));
        if (s.max > 0 && s.value > s.max)
            optionError(where, QStringLiteral("o número de %1 (%2) passa do máximo de %3")
                                   .arg(QString::fromUtf8(s.what))
                                   .arg(s.value)
                                   .arg(s.max));
    }
    // Each section holds up to 9999 items in each of ten section codes.
    const qint64 maxProducts = qint64(DemoNames::sections().size()) * 9999 * 10;
    if (o.products > maxProducts)
        optionError(where,
                    QStringLiteral("o número de produtos (%1) passa do máximo de %2").arg(o.products).arg(maxProducts));
    if (o.buyers > o.operators)
        optionError(where, QStringLiteral("o número de compradores (%1) passa do número de operadores (%2)")
                               .arg(o.buyers)
                               .arg(o.operators));
    if (!o.processingDate.isValid())
        optionError(where, QStringLiteral("a data de processamento não é válida"));
    if (o.productPicture.size() > 60)
        optionError(where, QStringLiteral("a máscara de produto passa de 60 caracteres"));
}

} // namespace

namespace DemoDb {

QString describe(const QSqlDatabase &db, SqlDialect dialect)
{
    QString text = dialectName(dialect) + QLatin1Char(' ') + db.databaseName();
    if (!db.hostName().isEmpty()) {
        text += QStringLiteral(" em %1").arg(db.hostName());
        if (db.port() > 0)
            text += QLatin1Char(':') + QString::number(db.port());
    }
    return text;
}

void checkOptions(const DemoOptions &options)
{
    checkOptionsFor(options, QStringLiteral("de demonstração"));
}

void createTables(QSqlDatabase &db, SqlDialect dialect)
{
    requireOpen(db, dialect);
    const QStringList routines = SchemaDdl::createRoutines(dialect);
    for (const QString &sql : routines)
        execOrFail(db, dialect, sql);
    const QList<TableDef> tables = DemoSchema::tables();
    for (const TableDef &t : tables)
        execOrFail(db, dialect, SchemaDdl::createTable(t, dialect));
}

void createIndexes(QSqlDatabase &db, SqlDialect dialect)
{
    requireOpen(db, dialect);
    const QList<TableDef> tables = DemoSchema::tables();
    for (const TableDef &t : tables) {
        const QStringList statements = SchemaDdl::createIndexes(t, dialect);
        for (const QString &sql : statements)
            execOrFail(db, dialect, sql);
    }
    for (const QString &sql : SchemaDdl::createChangeMarks(dialect))
        execOrFail(db, dialect, sql);
    for (const QString &sql : SchemaDdl::createSearch(dialect))
        execOrFail(db, dialect, sql);
}

void createSchema(QSqlDatabase &db, SqlDialect dialect)
{
    createTables(db, dialect);
    createIndexes(db, dialect);
}

void generate(QSqlDatabase &db, SqlDialect dialect, const DemoOptions &options)
{
    generate(db, dialect, options, DemoProgress());
}

void generate(QSqlDatabase &db, SqlDialect dialect, const DemoOptions &options, const DemoProgress &progress)
{
    checkOptionsFor(options, describe(db, dialect));
    requireOpen(db, dialect);
    DemoGenerator(db, dialect, options, progress).run();
}

void build(QSqlDatabase &db, SqlDialect dialect, const DemoOptions &options, const DemoProgress &progress)
{
    checkOptionsFor(options, describe(db, dialect));
    createTables(db, dialect);
    generate(db, dialect, options, progress);
    if (progress)
        progress(QStringLiteral("índices"), 0, -1);
    {
        std::optional<SqliteLoadSettings> settings;
        if (dialect == SqlDialect::SQLite)
            settings.emplace(db);
        createIndexes(db, dialect);
        if (dialect == SqlDialect::SQLite) {
            // Statistics for the planner; a sample is enough and keeps big loads quick.
            execOrFail(db, dialect, QStringLiteral("PRAGMA analysis_limit = 1000"));
            execOrFail(db, dialect, QStringLiteral("ANALYZE"));
        } else if (dialect == SqlDialect::PostgreSQL) {
            // Firebird computes its index statistics as it creates the indices.
            const QList<TableDef> tables = DemoSchema::tables();
            for (const TableDef &t : tables)
                execOrFail(db, dialect, QStringLiteral("ANALYZE %1").arg(t.name));
        }
    }
    if (progress)
        progress(QStringLiteral("índices"), 1, 1);
}

void grantReadOnly(QSqlDatabase &db, SqlDialect dialect, const QString &reader)
{
    grantRole(db, dialect, SchemaDdl::DbRole::Screen, reader);
}

void grantRole(QSqlDatabase &db, SqlDialect dialect, SchemaDdl::DbRole role, const QString &user)
{
    requireOpen(db, dialect);
    const QStringList statements = SchemaDdl::grantRole(DemoSchema::tables(), dialect, role, user);
    for (const QString &sql : statements)
        execOrFail(db, dialect, sql);
}

void createSqlite(const QString &file, const DemoOptions &options)
{
    createSqlite(file, options, DemoProgress());
}

void createSqlite(const QString &file, const DemoOptions &options, const DemoProgress &progress)
{
    const QString where = QStringLiteral("SQLite %1").arg(file);
    checkOptionsFor(options, where);
    if (QFile::exists(file) && !QFile::remove(file)) {
        throw EDatabaseError(QStringLiteral("Não foi possível substituir a base %1: o arquivo não pôde ser "
                                            "removido. Feche os programas que o usam e tente de novo.")
                                 .arg(where));
    }

    static QAtomicInteger<quint64> serial;
    const QString connection = QStringLiteral("DemoDb_create_%1").arg(serial.fetchAndAddRelaxed(1));
    std::exception_ptr failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(file);
        try {
            if (!db.isValid())
                throw EDatabaseError(QStringLiteral("Não foi possível abrir a base %1: o driver QSQLITE não "
                                                    "está instalado.")
                                         .arg(where));
            if (!db.open())
                throw EDatabaseError(QStringLiteral("Não foi possível criar a base %1: %2. Verifique se a pasta "
                                                    "existe e pode ser gravada.")
                                         .arg(where, db.lastError().text()));
            build(db, SqlDialect::SQLite, options, progress);
        } catch (...) {
            failure = std::current_exception();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (failure) {
        QFile::remove(file);
        std::rethrow_exception(failure);
    }
}

} // namespace DemoDb
