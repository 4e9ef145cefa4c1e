#include "InstalledLayout.h"
#include "SuiteInstallDirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// A folder the package installs, from the shell's own folder; empty when it is not there.
QString installed(const char *fromBin)
{
    const QString dir = QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                        + QLatin1String(fromBin));
    return QFileInfo::exists(dir) ? dir : QString();
}

QString userSessionFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Suite/suite.ini"));
}

} // namespace

QString InstalledLayout::moduleDir()
{
    return installed(SUITE_INSTALL_BIN_TO_MODULES);
}

QString InstalledLayout::reportDir()
{
    return installed(SUITE_INSTALL_BIN_TO_REPORTS);
}

QString InstalledLayout::sessionFile()
{
    const QString own = userSessionFile();
    return QFileInfo::exists(own) ? own : QStringLiteral(SUITE_INSTALL_SESSION_FILE);
}

QString InstalledLayout::missingSessionMessage(const QString &file)
{
    const QString model = installed(SUITE_INSTALL_BIN_TO_SESSION_MODEL);
    return QStringLiteral(
               "O arquivo de sessão %1 não existe. Crie-o a partir do modelo %2 (para todos os usuários desta "
               "máquina em %3; só para você em %4) e preencha a seção [ServidorAplicacao] (Host e Porta do "
               "servidor Lpr07700, Token e ImpressaoDigital, que o administrador do servidor informa) e a seção "
               "[BancoDados] (Driver, Servidor, Porta, Banco, Usuario e Senha do banco de compras).")
        .arg(file,
             model.isEmpty() ? QStringLiteral("do README (seção \"The session file\")") : model,
             QStringLiteral(SUITE_INSTALL_SESSION_FILE), userSessionFile());
}
