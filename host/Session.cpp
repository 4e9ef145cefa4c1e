#include "Session.h"
#include "EAbort.h"

#include <QFileInfo>
#include <QSettings>

Session &Session::current()
{
    static Session session;
    return session;
}

void Session::load(const QString &file)
{
    if (!QFileInfo::exists(file))
        throw ESuiteError(QStringLiteral("Arquivo de sessão '%1' não encontrado.").arg(file));
    QSettings ini(file, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        throw ESuiteError(QStringLiteral("Arquivo de sessão '%1' não pôde ser lido.").arg(file));
    const QString base = QFileInfo(file).absolutePath();
    auto path = [&](const QString &p) {
        if (p.isEmpty() || QFileInfo(p).isAbsolute())
            return p;
        return QFileInfo(base + QLatin1Char('/') + p).absoluteFilePath();
    };

    fileName = QFileInfo(file).absoluteFilePath();
    filial = ini.value(QStringLiteral("Sessao/Filial")).toString().trimmed();
    vinculadoFilial = ini.value(QStringLiteral("Sessao/VinculadoFilial"), false).toBool();
    modulo = ini.value(QStringLiteral("Sessao/Modulo"), 4).toInt();
    enterComoTab = ini.value(QStringLiteral("Sessao/EnterComoTab"), false).toBool();

    db.driver = ini.value(QStringLiteral("BancoDados/Driver"), QStringLiteral("QSQLITE")).toString();
    db.database = ini.value(QStringLiteral("BancoDados/Banco")).toString();
    if (db.dialect() == SqlDialect::SQLite)
        db.database = path(db.database);
    db.host = ini.value(QStringLiteral("BancoDados/Servidor")).toString();
    db.port = ini.value(QStringLiteral("BancoDados/Porta"), 0).toInt();
    db.user = ini.value(QStringLiteral("BancoDados/Usuario")).toString();
    db.password = ini.value(QStringLiteral("BancoDados/Senha")).toString();

    serverHost = ini.value(QStringLiteral("ServidorAplicacao/Host"), QStringLiteral("127.0.0.1")).toString();
    serverPort = ini.value(QStringLiteral("ServidorAplicacao/Porta"), 21173).toInt();
    serverToken = ini.value(QStringLiteral("ServidorAplicacao/Token")).toString();

    reportDir = path(ini.value(QStringLiteral("Relatorios/Diretorio")).toString());
}

void Session::save(const QString &file) const
{
    QSettings ini(file, QSettings::IniFormat);
    ini.setValue(QStringLiteral("Sessao/Filial"), filial);
    ini.setValue(QStringLiteral("Sessao/VinculadoFilial"), vinculadoFilial);
    ini.setValue(QStringLiteral("Sessao/Modulo"), modulo);
    ini.setValue(QStringLiteral("Sessao/EnterComoTab"), enterComoTab);
    ini.setValue(QStringLiteral("BancoDados/Driver"), db.driver);
    ini.setValue(QStringLiteral("BancoDados/Banco"), db.database);
    ini.setValue(QStringLiteral("BancoDados/Servidor"), db.host);
    ini.setValue(QStringLiteral("BancoDados/Porta"), db.port);
    ini.setValue(QStringLiteral("BancoDados/Usuario"), db.user);
    ini.setValue(QStringLiteral("BancoDados/Senha"), db.password);
    ini.setValue(QStringLiteral("ServidorAplicacao/Host"), serverHost);
    ini.setValue(QStringLiteral("ServidorAplicacao/Porta"), serverPort);
    ini.setValue(QStringLiteral("ServidorAplicacao/Token"), serverToken);
    ini.setValue(QStringLiteral("Relatorios/Diretorio"), reportDir);
    ini.sync();
}
