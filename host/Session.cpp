#include "Session.h"
#include "EAbort.h"

#include <QFile>
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
    reportUser = ini.value(QStringLiteral("BancoDados/UsuarioRelatorio")).toString();
    reportPassword = ini.value(QStringLiteral("BancoDados/SenhaRelatorio")).toString();

    serverHost = ini.value(QStringLiteral("ServidorAplicacao/Host"), QStringLiteral("127.0.0.1")).toString();
    serverPort = ini.value(QStringLiteral("ServidorAplicacao/Porta"), 21173).toInt();
    serverToken = ini.value(QStringLiteral("ServidorAplicacao/Token")).toString();
    serverFingerprint = ini.value(QStringLiteral("ServidorAplicacao/ImpressaoDigital")).toString().trimmed();
    serverCertificate = path(ini.value(QStringLiteral("ServidorAplicacao/Certificado")).toString().trimmed());
    serverKey = path(ini.value(QStringLiteral("ServidorAplicacao/Chave")).toString().trimmed());

    reportDir = path(ini.value(QStringLiteral("Relatorios/Diretorio")).toString());
    sharedSetsDir = path(ini.value(QStringLiteral("Relatorios/ConjuntosCompartilhados")).toString().trimmed());
}

DbConfig Session::reportDb(const DbConfig &general) const
{
    DbConfig c = general;
    if (!reportUser.isEmpty() && general.dialect() != SqlDialect::SQLite) {
        c.user = reportUser;
        c.password = reportPassword;
    }
    return c;
}

void Session::save(const QString &file) const
{
    // Created (or narrowed) to the owner before anything is written: QSettings writes
    // through a temporary file that takes the permissions of the one it replaces.
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    {
        QFile f(file);
        if (!f.exists() && !f.open(QIODevice::WriteOnly))
            throw ESuiteError(
                QStringLiteral("Não foi possível gravar o arquivo de sessão '%1' (%2).").arg(file, f.errorString()));
        f.close();
        if (!f.setPermissions(ownerOnly))
            throw ESuiteError(QStringLiteral("Não foi possível restringir o arquivo de sessão '%1' ao dono (%2).")
                                  .arg(file, f.errorString()));
    }
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
    if (!reportUser.isEmpty()) {
        ini.setValue(QStringLiteral("BancoDados/UsuarioRelatorio"), reportUser);
        ini.setValue(QStringLiteral("BancoDados/SenhaRelatorio"), reportPassword);
    }
    ini.setValue(QStringLiteral("ServidorAplicacao/Host"), serverHost);
    ini.setValue(QStringLiteral("ServidorAplicacao/Porta"), serverPort);
    ini.setValue(QStringLiteral("ServidorAplicacao/Token"), serverToken);
    ini.setValue(QStringLiteral("ServidorAplicacao/ImpressaoDigital"), serverFingerprint);
    ini.setValue(QStringLiteral("ServidorAplicacao/Certificado"), serverCertificate);
    ini.setValue(QStringLiteral("ServidorAplicacao/Chave"), serverKey);
    ini.setValue(QStringLiteral("Relatorios/Diretorio"), reportDir);
    if (!sharedSetsDir.isEmpty())
        ini.setValue(QStringLiteral("Relatorios/ConjuntosCompartilhados"), sharedSetsDir);
    ini.sync();
    if (ini.status() != QSettings::NoError)
        throw ESuiteError(QStringLiteral("Não foi possível gravar o arquivo de sessão '%1'.").arg(file));
    QFile::setPermissions(file, ownerOnly);
}
