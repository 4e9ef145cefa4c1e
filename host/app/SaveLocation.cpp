#include "app/SaveLocation.h"

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

QStringList branchAndPeriod(const QString &branch, const QDate &from, const QDate &to)
{
    QStringList parts;
    if (!branch.trimmed().isEmpty())
        parts << QStringLiteral("Filial %1").arg(branch.trimmed());
    if (from.isValid() && to.isValid() && from != to)
        parts << QStringLiteral("%1 a %2").arg(isoDate(from), isoDate(to));
    else if (from.isValid() || to.isValid())
        parts << isoDate(from.isValid() ? from : to);
    return parts;
}

QString proposedName(const QString &reportCode, const QStringList &parts, const QString &extension)
{
    QStringList given;
    for (const QString &part : QStringList{reportCode} + parts)
        if (!part.trimmed().isEmpty())
            given << part.trimmed();
    QString name = given.isEmpty() ? QStringLiteral("relatorio") : given.join(QLatin1Char(' '));
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

QString proposal(const QString &reportCode, const QStringList &parts, const QString &extension)
{
    return QDir(lastFolder()).filePath(proposedName(reportCode, parts, extension));
}

} // namespace SaveLocation
