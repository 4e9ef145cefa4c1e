#include "app/Session.h"
#include "errors/EAbort.h"
#include "text/ShownText.h"
#include "report/ReportJob.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

Session &Session::current()
{
    static Session session;
    return session;
}

namespace {

[[noreturn]] void refuseSetting(const QString &file, const QString &key, const QString &value, const QString &accepted)
{
    const QString section = key.section(QLatin1Char('/'), 0, 0);
    throw ESuiteError(QStringLiteral("Arquivo de sessão '%1': o valor \"%2\" de %3 na seção [%4] não é válido; %5.")
                          .arg(file, ShownText::value(value), key.section(QLatin1Char('/'), 1), section, accepted));
}

bool asciiAlphanumeric(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() > 0x7f || !c.isLetterOrNumber())
            return false;
    return true;
}

bool yesOrNo(const QString &file, const QString &key, const QString &value, bool fallback)
{
    const QString v = value.trimmed();
    if (v.isEmpty())
        return fallback;
    if (v.compare(QLatin1String("S"), Qt::CaseInsensitive) == 0)
        return true;
    if (v.compare(QLatin1String("N"), Qt::CaseInsensitive) == 0)
        return false;
    refuseSetting(file, key, v, QStringLiteral("informe S ou N"));
}

} // namespace

qint64 Session::integer(const QString &file, const QString &key, qint64 fallback, qint64 min, qint64 max)
{
    const QSettings ini(file, QSettings::IniFormat);
    if (!ini.contains(key))
        return fallback;
    const QString text = ini.value(key).toString().trimmed();
    bool digits = !text.isEmpty();
    for (const QChar c : text)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    bool ok = false;
    const qint64 v = digits ? text.toLongLong(&ok) : 0;
    if (!ok || v < min || v > max)
        refuseSetting(file, key, text,
                      QStringLiteral("informe um número inteiro de %1 a %2").arg(min).arg(max));
    return v;
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
    // A value longer than the field is refused, never cut: cut, it would name another branch.
    if (filial.size() > 4 || !asciiAlphanumeric(filial))
        refuseSetting(file, QStringLiteral("Sessao/Filial"), filial,
                      QStringLiteral("informe o código da filial, até 4 letras ou dígitos"));
    vinculadoFilial = ini.value(QStringLiteral("Sessao/VinculadoFilial"), false).toBool();
    modulo = int(integer(file, QStringLiteral("Sessao/Modulo"), 4, 1, 999));
    enterComoTab = ini.value(QStringLiteral("Sessao/EnterComoTab"), false).toBool();

    db.driver = ini.value(QStringLiteral("BancoDados/Driver"), QStringLiteral("QSQLITE")).toString();
    db.database = ini.value(QStringLiteral("BancoDados/Banco")).toString();
    if (db.dialect() == SqlDialect::SQLite)
        db.database = path(db.database);
    db.host = ini.value(QStringLiteral("BancoDados/Servidor")).toString();
    db.port = int(integer(file, QStringLiteral("BancoDados/Porta"), 0, 0, 65535)); // 0: the driver's default
    db.user = ini.value(QStringLiteral("BancoDados/Usuario")).toString();
    db.password = ini.value(QStringLiteral("BancoDados/Senha")).toString();
    reportUser = ini.value(QStringLiteral("BancoDados/UsuarioRelatorio")).toString();
    reportPassword = ini.value(QStringLiteral("BancoDados/SenhaRelatorio")).toString();

    // Several servers written with commas come back as a list.
    serverHost = ini.value(QStringLiteral("ServidorAplicacao/Host"), QStringLiteral("127.0.0.1"))
                     .toStringList()
                     .join(QStringLiteral(", "));
    serverPort = int(integer(file, QStringLiteral("ServidorAplicacao/Porta"), 21173, 0, 65535)); // 0: any free port
    serverToken = ini.value(QStringLiteral("ServidorAplicacao/Token")).toString();
    serverFingerprint = ini.value(QStringLiteral("ServidorAplicacao/ImpressaoDigital")).toString().trimmed();
    serverCertificate = path(ini.value(QStringLiteral("ServidorAplicacao/Certificado")).toString().trimmed());
    serverKey = path(ini.value(QStringLiteral("ServidorAplicacao/Chave")).toString().trimmed());
    serverCompression = yesOrNo(file, QStringLiteral("ServidorAplicacao/Compressao"),
                                ini.value(QStringLiteral("ServidorAplicacao/Compressao")).toString(), true);

    reportDir = path(ini.value(QStringLiteral("Relatorios/Diretorio")).toString());
    // The report limits are read when a report runs; a wrong one stops the program here.
    ReportLimits::fromFile(fileName);
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
    if (!serverCompression)
        ini.setValue(QStringLiteral("ServidorAplicacao/Compressao"), QStringLiteral("N"));
    ini.setValue(QStringLiteral("Relatorios/Diretorio"), reportDir);
    if (!sharedSetsDir.isEmpty())
        ini.setValue(QStringLiteral("Relatorios/ConjuntosCompartilhados"), sharedSetsDir);
    ini.sync();
    if (ini.status() != QSettings::NoError)
        throw ESuiteError(QStringLiteral("Não foi possível gravar o arquivo de sessão '%1'.").arg(file));
    QFile::setPermissions(file, ownerOnly);
}
