#include "data/Database.h"
#include "errors/EAbort.h"
#include "text/ShownText.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {
DbConfig g_config;
bool g_open = false;

// What is wrong with a statement's text, from the words SQLite, PostgreSQL and Firebird use
// for it; the name they give is kept as they wrote it.
QString statementMeaning(const QString &text)
{
    static const struct
    {
        const char *pattern;
        const char *meaning;
    } faults[] = {
        {"no such column: (\\S+)", "a consulta usa a coluna %1, que as tabelas dela não têm"},
        {"column \"([^\"]+)\" does not exist", "a consulta usa a coluna %1, que as tabelas dela não têm"},
        {"Column unknown\\s+(\\S+)", "a consulta usa a coluna %1, que as tabelas dela não têm"},
        {"relation \"([^\"]+)\" does not exist", "a tabela %1 não existe no banco de dados"},
        {"Table unknown\\s+(\\S+)", "a tabela %1 não existe no banco de dados"},
        {"ambiguous column name: (\\S+)", "a coluna %1 existe em mais de uma tabela da consulta: diga de qual"},
        {"column reference \"([^\"]+)\" is ambiguous",
         "a coluna %1 existe em mais de uma tabela da consulta: diga de qual"},
        {"no such function: (\\S+)", "a consulta chama a função %1, que o banco de dados não tem"},
        {"Function unknown\\s+(\\S+)", "a consulta chama a função %1, que o banco de dados não tem"},
        {"near \"([^\"]*)\": syntax error", "o texto da consulta tem um erro de sintaxe perto de %1"},
        {"syntax error at or near \"([^\"]*)\"", "o texto da consulta tem um erro de sintaxe perto de %1"},
        {"Token unknown - line \\d+, column \\d+\\s+(\\S+)", "o texto da consulta tem um erro de sintaxe perto de %1"},
        {"incomplete input|syntax error at end of input|Unexpected end of command",
         "o texto da consulta termina antes do fim de um comando"},
    };
    for (const auto &fault : faults) {
        const QRegularExpression re(QString::fromUtf8(fault.pattern), QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = re.match(text);
        if (!m.hasMatch())
            continue;
        const QString meaning = QString::fromUtf8(fault.meaning);
        return meaning.contains(QLatin1String("%1")) ? meaning.arg(m.captured(1)) : meaning;
    }
    return QString();
}

// The meaning of an SQLite result code (its primary part).
QString sqliteMeaning(int code, const QString &text)
{
    switch (code & 0xff) {
    case 5: return QStringLiteral("o banco está bloqueado por outro programa");
    case 6: return QStringLiteral("uma tabela está bloqueada por outra consulta");
    case 7: return QStringLiteral("falta memória");
    case 8: return QStringLiteral("o banco só pode ser lido");
    case 10: return QStringLiteral("erro de leitura ou gravação no disco");
    case 11: return QStringLiteral("o arquivo do banco está corrompido");
    case 13: return QStringLiteral("o disco está cheio");
    case 18: return QStringLiteral("um valor passou do tamanho máximo que a consulta aceita");
    case 9: return QStringLiteral("a consulta foi interrompida (tempo limite ou pedido de parada)");
    case 14:
        return QStringLiteral("o arquivo não pode ser aberto (não existe, falta permissão ou a pasta é inacessível)");
    case 23: return QStringLiteral("acesso negado");
    case 26: return QStringLiteral("o arquivo não é um banco de dados SQLite");
    default: break;
    }
    if (text.startsWith(QLatin1String("not authorized")))
        return QStringLiteral("a consulta usa o que só a leitura de tabelas não permite");
    if (text.startsWith(QLatin1String("no such table: ")))
        return QStringLiteral("a tabela %1 não existe (o arquivo não tem as tabelas da suíte)").arg(text.mid(15));
    return statementMeaning(text);
}

// The meaning of a PostgreSQL SQLSTATE, or of a Firebird status code.
QString serverMeaning(const QString &code, const QString &text)
{
    if (code == QLatin1String("28P01") || code == QLatin1String("28000") || code == QLatin1String("335544472"))
        return QStringLiteral("o servidor recusou o usuário ou a senha");
    if (code == QLatin1String("3D000"))
        return QStringLiteral("o banco de dados não existe no servidor");
    if (code.startsWith(QLatin1String("57P0")))
        return QStringLiteral("o servidor de banco foi desligado ou reiniciado");
    if (code.startsWith(QLatin1String("08")) || code == QLatin1String("335544721")
        || code == QLatin1String("335544726"))
        return QStringLiteral("a conexão com o servidor de banco falhou");
    if (code == QLatin1String("42501") || code == QLatin1String("335544352"))
        return QStringLiteral("o usuário do banco não tem permissão para isso");
    if (code == QLatin1String("42601") && text.contains(QLatin1String("multiple commands")))
        return QStringLiteral("o texto tem mais de um comando SQL, e só uma consulta é aceita");
    if (code == QLatin1String("25006"))
        return QStringLiteral("o usuário do banco só pode ler (transação somente leitura)");
    if (code == QLatin1String("42883"))
        return QStringLiteral("a consulta chama uma função que não existe no banco ou não aceita esses argumentos");
    if (code == QLatin1String("57014"))
        return QStringLiteral("a consulta foi cancelada (tempo limite ou pedido de parada)");
    if (code.startsWith(QLatin1String("53")))
        return QStringLiteral("o servidor de banco está sem recursos (disco, memória ou conexões)");
    if (code == QLatin1String("335544344"))
        return QStringLiteral("o servidor não conseguiu abrir o arquivo do banco");
    if (text.contains(QLatin1String("Unable to complete network request"), Qt::CaseInsensitive))
        return QStringLiteral("a conexão com o servidor de banco falhou");
    if (text.contains(QLatin1String("Connection refused"), Qt::CaseInsensitive))
        return QStringLiteral("o servidor recusou a conexão (nada escuta nesse endereço e porta)");
    if (text.contains(QLatin1String("timeout expired"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        return QStringLiteral("o servidor não respondeu a tempo");
    if (text.contains(QLatin1String("could not translate host name"), Qt::CaseInsensitive))
        return QStringLiteral("o nome do servidor não foi encontrado");
    return statementMeaning(text);
}

// A failure whose sentence names the database it happened on.
DatabaseFailure named(const QString &failed, const DbConfig &config, const QSqlError &error = QSqlError(),
                      const QString &advice = QString())
{
    DatabaseFailure failure;
    failure.failed = failed;
    if (error.isValid())
        failure.cause = databaseCause(error);
    failure.advice = advice;
    failure.database = config.describe();
    failure.databaseInText = true;
    return failure;
}
} // namespace

QString databaseCause(const QSqlError &error)
{
    // The database's own words; Qt's part ("Unable to execute statement") says nothing more.
    // A server's text is shown as it came, less what a terminal would act on.
    QString text = ShownText::clean(error.databaseText()).trimmed();
    if (text.isEmpty())
        text = ShownText::clean(error.text()).trimmed();
    while (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.isEmpty())
        text = QStringLiteral("causa desconhecida");
    const QString code = error.nativeErrorCode();
    bool numeric = false;
    const int number = code.toInt(&numeric);
    // SQLite's result codes have at most four digits; a PostgreSQL SQLSTATE has five
    // characters, some all digits (42501), which must not be read as SQLite codes.
    QString meaning = (numeric || code.isEmpty()) && code.size() < 5 ? sqliteMeaning(number, text) : QString();
    if (meaning.isEmpty())
        meaning = serverMeaning(code, text);
    // The database's words are a detail: a person reads Portuguese first.
    if (meaning.isEmpty())
        meaning = QStringLiteral("o banco de dados respondeu com um erro");
    return QStringLiteral("%1 (%2)").arg(meaning, ShownText::value(text, 300));
}

SqlDialect DbConfig::dialect() const
{
    if (driver == QLatin1String("QPSQL"))
        return SqlDialect::PostgreSQL;
    if (driver == QLatin1String("QIBASE"))
        return SqlDialect::Firebird;
    return SqlDialect::SQLite;
}

QString DbConfig::describe() const
{
    if (dialect() == SqlDialect::SQLite)
        return QStringLiteral("SQLite (%1) %2").arg(driver, database);
    QString where = host.isEmpty() ? QStringLiteral("localhost") : host;
    if (port > 0)
        where += QLatin1Char(':') + QString::number(port);
    return QStringLiteral("%1 (%2) %3 em %4").arg(dialectName(dialect()), driver, database, where);
}

QString DbConfig::shortName() const
{
    if (dialect() == SqlDialect::SQLite)
        return QFileInfo(database).fileName();
    return QStringLiteral("%1 em %2").arg(database, host.isEmpty() ? QStringLiteral("localhost") : host);
}

namespace dtmDBGeral {

QSqlDatabase openConnection(const DbConfig &config, const QString &name, bool readOnly)
{
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    if (!QSqlDatabase::isDriverAvailable(config.driver))
        throw EDatabaseError(named(QStringLiteral("O driver de banco de dados %1 não está instalado (banco %2).")
                                       .arg(config.driver, config.describe()),
                                   config));
    QSqlDatabase db = QSqlDatabase::addDatabase(config.driver, name);
    db.setDatabaseName(config.database);
    if (!config.host.isEmpty())
        db.setHostName(config.host);
    if (config.port > 0)
        db.setPort(config.port);
    if (!config.user.isEmpty())
        db.setUserName(config.user);
    if (!config.password.isEmpty())
        db.setPassword(config.password);

    if (config.dialect() == SqlDialect::SQLite) {
        if (!QFileInfo::exists(config.database))
            throw EDatabaseError(
                named(QStringLiteral("O banco de dados %1 não foi encontrado.").arg(config.describe()), config));
        if (readOnly)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
    } else if (config.dialect() == SqlDialect::Firebird) {
        db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=UTF8"));
    } else {
        // A host that does not answer must not hold the screen for minutes.
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    }
    if (!db.open()) {
        const QString hint =
            config.dialect() == SqlDialect::SQLite
                ? QString()
                : QStringLiteral(" Verifique se o servidor de banco está em execução e se o servidor, a porta, "
                                 "o usuário e a senha da seção [BancoDados] da sessão estão certos.");
        throw EDatabaseError(named(QStringLiteral("Não foi possível abrir o banco de dados %1").arg(config.describe()),
                                   config, db.lastError(), QStringLiteral(".") + hint));
    }
    if (config.dialect() == SqlDialect::SQLite) {
        // SQLite opens any file and reads it only at the first statement: a file that is
        // not a database, or whose first pages are damaged, shows here rather than in the
        // middle of the screen's work.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")))
            throw EDatabaseError(
                named(QStringLiteral("Não foi possível usar o banco de dados %1").arg(config.describe()), config,
                      probe.lastError(), QStringLiteral(".")));
    }
    if (readOnly) {
        QSqlQuery q(db);
        bool ok = true;
        switch (config.dialect()) {
        case SqlDialect::SQLite: ok = q.exec(QStringLiteral("PRAGMA query_only = 1")); break;
        case SqlDialect::PostgreSQL:
            ok = q.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
            break;
        case SqlDialect::Firebird:
            // The driver has no read-only transactions: the user the session names for
            // the general connection holds SELECT grants only (see DemoDb::grantReadOnly).
            break;
        }
        if (!ok)
            throw EDatabaseError(named(QStringLiteral("Não foi possível abrir o banco de dados %1 somente para leitura")
                                           .arg(config.describe()),
                                       config, q.lastError()));
    }
    return db;
}

void open(const DbConfig &config)
{
    g_open = false;
    g_config = config;
    openConnection(config, QString::fromLatin1(connectionName()), true);
    g_open = true;
}

void close()
{
    const QString name = QString::fromLatin1(connectionName());
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    g_open = false;
}

bool isOpen()
{
    return g_open && QSqlDatabase::database(QString::fromLatin1(connectionName()), false).isOpen();
}

QSqlDatabase dtbGeral()
{
    return QSqlDatabase::database(QString::fromLatin1(connectionName()), false);
}

SqlDialect dialect()
{
    return g_config.dialect();
}

DbConfig config()
{
    return g_config;
}

bool ensureAlive()
{
    QSqlDatabase db = dtbGeral();
    if (db.isOpen()) {
        QSqlQuery q(db);
        const char *probe = g_config.dialect() == SqlDialect::Firebird ? "SELECT 1 FROM RDB$DATABASE" : "SELECT 1";
        if (q.exec(QString::fromLatin1(probe)))
            return false;
    }
    if (g_config.database.isEmpty())
        throw EDatabaseError(QStringLiteral("O banco de dados não está configurado (seção [BancoDados] da sessão)."));
    open(g_config);
    return true;
}

} // namespace dtmDBGeral
