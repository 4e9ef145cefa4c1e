#include "SaveLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const char kFolderKey[] = "Relatorios/UltimaPasta";

QString isoDate(const QDate &date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

namespace SaveLocation {

QString proposedName(const QString &reportCode, const QString &branch, const QDate &from, const QDate &to,
                     const QString &extension)
{
    QStringList parts;
    if (!reportCode.trimmed().isEmpty())
        parts << reportCode.trimmed();
    if (!branch.trimmed().isEmpty())
        parts << QStringLiteral("Filial %1").arg(branch.trimmed());
    if (from.isValid() && to.isValid() && from != to)
        parts << QStringLiteral("%1 a %2").arg(isoDate(from), isoDate(to));
    else if (from.isValid() || to.isValid())
        parts << isoDate(from.isValid() ? from : to);
    QString name = parts.isEmpty() ? QStringLiteral("relatorio") : parts.join(QLatin1Char(' '));
    for (QChar &c : name)
        if (QStringLiteral("/\\:*?\"<>|").contains(c) || c.unicode() < 32)
            c = QLatin1Char('-');
    return extension.isEmpty() ? name : name + QLatin1Char('.') + extension;
}

QString settingsFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Suite/preferencias.ini"));
}

QString lastFolder()
{
    const QSettings settings(settingsFile(), QSettings::IniFormat);
    const QString folder = settings.value(QLatin1String(kFolderKey)).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

void remember(const QString &savedFile)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    settings.setValue(QLatin1String(kFolderKey), QFileInfo(savedFile).absolutePath());
    settings.sync();
}

QString proposal(const QString &reportCode, const QString &branch, const QDate &from, const QDate &to,
                 const QString &extension)
{
    return QDir(lastFolder()).filePath(proposedName(reportCode, branch, from, to, extension));
}

} // namespace SaveLocation
