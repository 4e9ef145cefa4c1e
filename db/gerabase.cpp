// gerabase: creates the purchasing database with demo data.

#include "Database.h"
#include "DemoDb.h"
#include "EAbort.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString number(qint64 n)
{
    return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(n);
}

bool readSize(const QCommandLineParser &parser, const QString &name, int &value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int v = parser.value(name).toInt(&ok);
    if (!ok || v < 0) {
        err() << QStringLiteral("Valor inválido para --%1: \"%2\". Informe um número inteiro não negativo.")
                     .arg(name, parser.value(name))
              << Qt::endl;
        return false;
    }
    value = v;
    return true;
}

// Tables, data and indices in an existing empty database of a server, through its owner.
void buildOnServer(const DbConfig &config, const DemoOptions &options, const QString &reader,
                   const DemoProgress &progress)
{
    const QString name = QStringLiteral("gerabase");
    {
        QSqlDatabase db = dtmDBGeral::openConnection(config, name, false);
        DemoDb::build(db, config.dialect(), options, progress);
        if (!reader.isEmpty())
            DemoDb::grantReadOnly(db, config.dialect(), reader);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gerabase"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Cria a base de compras com dados de demonstração."));
    parser.addHelpOption();
    const QList<QCommandLineOption> options = {
        {QStringLiteral("out"), QStringLiteral("Arquivo da base a criar (substituído se existir)."), QStringLiteral("arquivo")},
        {QStringLiteral("driver"), QStringLiteral("Driver do banco: QSQLITE (arquivo, --out), QPSQL ou QIBASE (servidor, --database)."), QStringLiteral("driver"), QStringLiteral("QSQLITE")},
        {QStringLiteral("host"), QStringLiteral("Servidor do banco (QPSQL, QIBASE)."), QStringLiteral("host"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("port"), QStringLiteral("Porta do servidor do banco."), QStringLiteral("porta")},
        {QStringLiteral("user"), QStringLiteral("Usuário dono da base (cria as tabelas)."), QStringLiteral("usuario")},
        {QStringLiteral("password"), QStringLiteral("Senha do usuário dono."), QStringLiteral("senha")},
        {QStringLiteral("database"), QStringLiteral("Base no servidor: nome (QPSQL) ou caminho do arquivo no servidor (QIBASE). Deve existir e estar vazia."), QStringLiteral("base")},
        {QStringLiteral("reader"), QStringLiteral("Usuário somente leitura que recebe permissão de consulta (opcional)."), QStringLiteral("usuario")},
        {QStringLiteral("products"), QStringLiteral("Número de produtos."), QStringLiteral("n")},
        {QStringLiteral("suppliers"), QStringLiteral("Número de fornecedores."), QStringLiteral("n")},
        {QStringLiteral("branches"), QStringLiteral("Número de filiais."), QStringLiteral("n")},
        {QStringLiteral("regions"), QStringLiteral("Número de regiões."), QStringLiteral("n")},
        {QStringLiteral("operators"), QStringLiteral("Número de operadores."), QStringLiteral("n")},
        {QStringLiteral("buyers"), QStringLiteral("Número de compradores (entre os operadores)."), QStringLiteral("n")},
        {QStringLiteral("quotes"), QStringLiteral("Número de cotações (0: cerca de 3 por produto)."), QStringLiteral("n")},
        {QStringLiteral("seed"), QStringLiteral("Semente dos dados (mesma semente, mesmos dados)."), QStringLiteral("n")},
    };
    parser.addOptions(options);
    parser.process(app);

    const QString driver = parser.value(QStringLiteral("driver")).toUpper();
    DbConfig server;
    server.driver = driver;
    const bool onServer = driver != QLatin1String("QSQLITE");
    if (onServer) {
        if (driver != QLatin1String("QPSQL") && driver != QLatin1String("QIBASE")) {
            err() << QStringLiteral("Driver desconhecido: %1. Use QSQLITE, QPSQL ou QIBASE.").arg(driver) << Qt::endl;
            return 2;
        }
        if (!parser.isSet(QStringLiteral("database"))) {
            err() << QStringLiteral("Com --driver %1 informe a base com --database (e --host, --port, --user, --password).")
                         .arg(driver)
                  << Qt::endl;
            return 2;
        }
        server.database = parser.value(QStringLiteral("database"));
        server.host = parser.value(QStringLiteral("host"));
        server.user = parser.value(QStringLiteral("user"));
        server.password = parser.value(QStringLiteral("password"));
        if (parser.isSet(QStringLiteral("port"))) {
            bool ok = false;
            server.port = parser.value(QStringLiteral("port")).toInt(&ok);
            if (!ok || server.port <= 0 || server.port > 65535) {
                err() << QStringLiteral("Valor inválido para --port: \"%1\". Informe uma porta de 1 a 65535.")
                             .arg(parser.value(QStringLiteral("port")))
                      << Qt::endl;
                return 2;
            }
        }
    } else if (!parser.isSet(QStringLiteral("out"))) {
        err() << "Informe o arquivo da base com --out ARQUIVO." << Qt::endl;
        return 2;
    }

    DemoOptions o;
    int seed = int(o.seed);
    if (!readSize(parser, QStringLiteral("products"), o.products) || !readSize(parser, QStringLiteral("suppliers"), o.suppliers)
        || !readSize(parser, QStringLiteral("branches"), o.branches) || !readSize(parser, QStringLiteral("regions"), o.regions)
        || !readSize(parser, QStringLiteral("operators"), o.operators) || !readSize(parser, QStringLiteral("buyers"), o.buyers)
        || !readSize(parser, QStringLiteral("quotes"), o.quotes)) {
        return 2;
    }
    if (parser.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        const uint v = parser.value(QStringLiteral("seed")).toUInt(&ok);
        if (!ok) {
            err() << QStringLiteral("Valor inválido para --seed: \"%1\". Informe um número inteiro não negativo.")
                         .arg(parser.value(QStringLiteral("seed")))
                  << Qt::endl;
            return 2;
        }
        seed = int(v);
    }
    o.seed = quint32(seed);

    const QString file = onServer ? server.describe() : QFileInfo(parser.value(QStringLiteral("out"))).absoluteFilePath();
    out() << QStringLiteral("Criando a base %1 ...").arg(file) << Qt::endl;

    QElapsedTimer total;
    total.start();
    QElapsedTimer table;
    table.start();
    QElapsedTimer lastLine;
    lastLine.start();
    QString current;
    QList<QPair<QString, qint64>> written;
    auto progress = [&](const QString &name, qint64 done, qint64 planned) {
        const bool indexes = name == QStringLiteral("índices");
        if (name != current) {
            current = name;
            table.restart();
        }
        if (planned >= 0 && done == planned) {
            if (indexes) {
                out() << QStringLiteral("  índices e estatísticas criados em %1 s")
                             .arg(table.elapsed() / 1000.0, 0, 'f', 1)
                      << Qt::endl;
            } else {
                written.append({name, done});
                out() << QStringLiteral("  %1: %2 linhas em %3 s")
                             .arg(name.leftJustified(10), number(done).rightJustified(11))
                             .arg(table.elapsed() / 1000.0, 0, 'f', 1)
                      << Qt::endl;
            }
        } else if (indexes) {
            out() << "  criando índices ..." << Qt::endl;
        } else if (lastLine.elapsed() < 2000) {
            return;   // a line every two seconds is enough to show a big load moving
        } else if (planned > 0) {
            out() << QStringLiteral("  %1: %2 de %3 (%4%)")
                         .arg(name.leftJustified(10), number(done), number(planned))
                         .arg(done * 100 / planned)
                  << Qt::endl;
        } else {
            out() << QStringLiteral("  %1: %2 linhas ...").arg(name.leftJustified(10), number(done)) << Qt::endl;
        }
        lastLine.restart();
    };

    try {
        if (onServer)
            buildOnServer(server, o, parser.value(QStringLiteral("reader")), progress);
        else
            DemoDb::createSqlite(file, o, progress);
    } catch (const ESuiteError &e) {
        err() << e.message() << Qt::endl;
        return 1;
    }

    qint64 rows = 0;
    for (const auto &w : std::as_const(written))
        rows += w.second;
    const double seconds = total.elapsed() / 1000.0;
    out() << QStringLiteral("Base criada: %1 linhas em %2 s (%3 linhas/s), semente %4.")
                 .arg(number(rows))
                 .arg(seconds, 0, 'f', 1)
                 .arg(number(seconds > 0 ? qint64(rows / seconds) : rows))
                 .arg(o.seed)
          << Qt::endl;
    return 0;
}
