#include "GerabaseOptions.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

QList<QCommandLineOption> gerabaseOptions()
{
    return {
        {QStringLiteral("out"), QStringLiteral("Arquivo da base a criar (substituído se existir)."),
         QStringLiteral("arquivo")},
        {QStringLiteral("driver"),
         QStringLiteral("Driver do banco: QSQLITE (arquivo, --out), QPSQL ou QIBASE (servidor, --database)."),
         QStringLiteral("driver"), QStringLiteral("QSQLITE")},
        {QStringLiteral("host"), QStringLiteral("Servidor do banco (QPSQL, QIBASE)."), QStringLiteral("host"),
         QStringLiteral("127.0.0.1")},
        {QStringLiteral("port"), QStringLiteral("Porta do servidor do banco."), QStringLiteral("porta")},
        {QStringLiteral("user"), QStringLiteral("Usuário dono da base (cria as tabelas)."), QStringLiteral("usuario")},
        {QStringLiteral("password"), QStringLiteral("Senha do usuário dono."), QStringLiteral("senha")},
        {QStringLiteral("database"),
         QStringLiteral(
             "Base no servidor: nome (QPSQL) ou caminho do arquivo no servidor (QIBASE). Deve existir e estar vazia."),
         QStringLiteral("base")},
        {QStringLiteral("reader"),
         QStringLiteral("Usuário somente leitura que recebe permissão de consulta (opcional)."),
         QStringLiteral("usuario")},
        {QStringLiteral("report-reader"),
         QStringLiteral("Usuário com que os relatórios leem: só consulta as tabelas (opcional)."),
         QStringLiteral("usuario")},
        {QStringLiteral("server-reader"),
         QStringLiteral("Usuário com que o servidor de aplicação lê os fornecedores (opcional)."),
         QStringLiteral("usuario")},
        {QStringLiteral("products"), QStringLiteral("Número de produtos."), QStringLiteral("n")},
        {QStringLiteral("suppliers"), QStringLiteral("Número de fornecedores."), QStringLiteral("n")},
        {QStringLiteral("branches"), QStringLiteral("Número de filiais."), QStringLiteral("n")},
        {QStringLiteral("regions"), QStringLiteral("Número de regiões."), QStringLiteral("n")},
        {QStringLiteral("operators"), QStringLiteral("Número de operadores."), QStringLiteral("n")},
        {QStringLiteral("buyers"), QStringLiteral("Número de compradores (entre os operadores)."), QStringLiteral("n")},
        {QStringLiteral("quotes"), QStringLiteral("Número de cotações (0: cerca de 3 por produto)."),
         QStringLiteral("n")},
        {QStringLiteral("seed"), QStringLiteral("Semente dos dados (mesma semente, mesmos dados)."),
         QStringLiteral("n")},
    };
}

// A size flag, when given, into `value`; the error when it is not a non-negative integer.
QString readSize(const QCommandLineParser &parser, const QString &name, int &value)
{
    if (!parser.isSet(name))
        return QString();
    bool ok = false;
    const int v = parser.value(name).toInt(&ok);
    if (!ok || v < 0)
        return QStringLiteral("Valor inválido para --%1: \"%2\". Informe um número inteiro não negativo.")
            .arg(name, parser.value(name));
    value = v;
    return QString();
}

QString readSizes(const QCommandLineParser &parser, DemoOptions &o)
{
    const std::pair<const char *, int *> sizes[] = {
        {"products", &o.products},   {"suppliers", &o.suppliers}, {"branches", &o.branches}, {"regions", &o.regions},
        {"operators", &o.operators}, {"buyers", &o.buyers},       {"quotes", &o.quotes},
    };
    for (const auto &[name, value] : sizes) {
        const QString error = readSize(parser, QString::fromLatin1(name), *value);
        if (!error.isEmpty())
            return error;
    }
    if (parser.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        const uint v = parser.value(QStringLiteral("seed")).toUInt(&ok);
        if (!ok)
            return QStringLiteral("Valor inválido para --seed: \"%1\". Informe um número inteiro não negativo.")
                .arg(parser.value(QStringLiteral("seed")));
        o.seed = quint32(v);
    }
    return QString();
}

// Where the database goes: a server's database, or a file.
QString readTarget(const QCommandLineParser &parser, GerabaseOptions &o)
{
    const QString driver = parser.value(QStringLiteral("driver")).toUpper();
    o.server.driver = driver;
    if (!o.onServer()) {
        if (!parser.isSet(QStringLiteral("out")))
            return QStringLiteral("Informe o arquivo da base com --out ARQUIVO.");
        o.out = QFileInfo(parser.value(QStringLiteral("out"))).absoluteFilePath();
        return QString();
    }
    if (driver != QLatin1String("QPSQL") && driver != QLatin1String("QIBASE"))
        return QStringLiteral("Driver desconhecido: %1. Use QSQLITE, QPSQL ou QIBASE.").arg(driver);
    if (!parser.isSet(QStringLiteral("database")))
        return QStringLiteral("Com --driver %1 informe a base com --database (e --host, --port, --user, --password).")
            .arg(driver);
    o.server.database = parser.value(QStringLiteral("database"));
    o.server.host = parser.value(QStringLiteral("host"));
    o.server.user = parser.value(QStringLiteral("user"));
    o.server.password = parser.value(QStringLiteral("password"));
    o.reader = parser.value(QStringLiteral("reader"));
    o.reportReader = parser.value(QStringLiteral("report-reader"));
    o.serverReader = parser.value(QStringLiteral("server-reader"));
    if (parser.isSet(QStringLiteral("port"))) {
        bool ok = false;
        o.server.port = parser.value(QStringLiteral("port")).toInt(&ok);
        if (!ok || o.server.port <= 0 || o.server.port > 65535)
            return QStringLiteral("Valor inválido para --port: \"%1\". Informe uma porta de 1 a 65535.")
                .arg(parser.value(QStringLiteral("port")));
    }
    return QString();
}

} // namespace

GerabaseCommandLine parseGerabaseOptions(const QStringList &arguments)
{
    GerabaseCommandLine line;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Cria a base de compras com dados de demonstração."));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addOptions(gerabaseOptions());
    if (!parser.parse(arguments)) {
        line.error = QStringLiteral("gerabase: ") + parser.errorText();
        line.exitCode = 1;
        return line;
    }
    line.usage = parser.helpText();
    if (parser.isSet(help)) {
        line.help = true;
        return line;
    }
    line.error = readTarget(parser, line.options);
    if (line.error.isEmpty())
        line.error = readSizes(parser, line.options.demo);
    if (!line.error.isEmpty())
        line.exitCode = 2;
    return line;
}
