#include "app/RecentValues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

QJsonObject readAll()
{
    QFile f(RecentValues::file());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    // A damaged file is as good as none: the lists start again.
    return QJsonDocument::fromJson(f.readAll()).object();
}

} // namespace

namespace RecentValues {

QString file()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Suite/recentes.json"));
}

QList<Entry> list(const QString &kind)
{
    QList<Entry> entries;
    for (const QJsonValue &v : readAll().value(kind).toArray()) {
        const QJsonObject o = v.toObject();
        const QString code = o.value(QStringLiteral("codigo")).toString();
        if (!code.trimmed().isEmpty() && entries.size() < kKept)
            entries.append({code, o.value(QStringLiteral("nome")).toString()});
    }
    return entries;
}

void remember(const QString &kind, const QString &code, const QString &name)
{
    if (code.trimmed().isEmpty())
        return;
    QJsonArray kept{QJsonObject{{QStringLiteral("codigo"), code}, {QStringLiteral("nome"), name.trimmed()}}};
    for (const Entry &e : list(kind))
        if (e.code != code && kept.size() < kKept)
            kept.append(QJsonObject{{QStringLiteral("codigo"), e.code}, {QStringLiteral("nome"), e.name}});
    QJsonObject all = readAll();
    all.insert(kind, kept);
    QDir().mkpath(QFileInfo(file()).absolutePath());
    QSaveFile out(file());
    out.setDirectWriteFallback(false);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(QJsonDocument(all).toJson(QJsonDocument::Indented));
        out.commit();
    }
}

} // namespace RecentValues
