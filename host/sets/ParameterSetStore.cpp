#include "sets/ParameterSetStore.h"

#include "errors/EAbort.h"
#include "app/Session.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

namespace {

const char kSuffix[] = ".json";
const char kDefaultKey[] = "Padrao";

QString quoted(const QString &name)
{
    return QStringLiteral("\"%1\"").arg(name);
}

} // namespace

ParameterSetStore::ParameterSetStore(const QString &screen, const QString &userFolder, const QString &sharedFolder)
    : m_screen(screen), m_userFolder(userFolder.isEmpty() ? defaultUserFolder() : userFolder),
      m_sharedFolder(sharedFolder.isEmpty() ? Session::current().sharedSetsDir : sharedFolder)
{ }

QString ParameterSetStore::defaultUserFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Suite/conjuntos"));
}

QString ParameterSetStore::userDir() const
{
    return QDir(m_userFolder).filePath(m_screen);
}

QString ParameterSetStore::sharedDir() const
{
    return m_sharedFolder.isEmpty() ? QString() : QDir(m_sharedFolder).filePath(m_screen);
}

QString ParameterSetStore::fileNameFor(const QString &name)
{
    QString file;
    for (const QChar c : name) {
        if (c.unicode() < 32 || QStringLiteral("/\\:*?\"<>|%").contains(c) || (file.isEmpty() && c == QLatin1Char('.')))
            file += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            file += c;
    }
    return file + QLatin1String(kSuffix);
}

QString ParameterSetStore::userFile(const QString &name) const
{
    return QDir(userDir()).filePath(fileNameFor(name));
}

void ParameterSetStore::readFolder(const QString &dir, bool shared, QList<ParameterSet> &sets)
{
    if (dir.isEmpty())
        return;
    const QFileInfoList files =
        QDir(dir).entryInfoList({QStringLiteral("*") + QLatin1String(kSuffix)}, QDir::Files, QDir::Name);
    for (const QFileInfo &info : files) {
        QFile f(info.absoluteFilePath());
        if (!f.open(QIODevice::ReadOnly)) {
            m_damaged.append({f.fileName(), QStringLiteral("não pôde ser lido (%1)").arg(f.errorString())});
            continue;
        }
        QString why;
        std::optional<ParameterSet> set = ParameterSet::fromJson(f.readAll(), &why);
        if (set && set->screen != m_screen)
            why = QStringLiteral("é um conjunto da tela %1").arg(set->screen);
        if (!set || !why.isEmpty()) {
            m_damaged.append({f.fileName(), why});
            continue;
        }
        set->file = f.fileName();
        set->shared = shared;
        sets.append(*set);
    }
}

QList<ParameterSet> ParameterSetStore::sets()
{
    m_damaged.clear();
    QList<ParameterSet> own;
    QList<ParameterSet> shared;
    readFolder(userDir(), false, own);
    readFolder(sharedDir(), true, shared);
    auto byName = [](const ParameterSet &a, const ParameterSet &b) {
        return QString::localeAwareCompare(a.name, b.name) < 0;
    };
    std::sort(own.begin(), own.end(), byName);
    std::sort(shared.begin(), shared.end(), byName);
    return own + shared;
}

std::optional<ParameterSet> ParameterSetStore::find(const QString &name)
{
    const QString wanted = ParameterSet::cleanName(name);
    const QList<ParameterSet> all = sets();
    for (const ParameterSet &set : all)
        if (set.name == wanted)
            return set;
    // A damaged file under that name is not the same as no set at all.
    for (const Damaged &d : std::as_const(m_damaged))
        if (QFileInfo(d.file).fileName() == fileNameFor(wanted))
            throw ESuiteError(QStringLiteral("O conjunto %1 não pôde ser lido: o arquivo '%2' %3.")
                                  .arg(quoted(wanted), QDir::toNativeSeparators(d.file), d.why));
    return std::nullopt;
}

ParameterSet ParameterSetStore::ownSet(const QString &name)
{
    std::optional<ParameterSet> set = find(name);
    if (!set)
        throw ESuiteError(QStringLiteral("Não há conjunto de parâmetros com o nome %1.").arg(quoted(name)));
    if (set->shared)
        throw ESuiteError(QStringLiteral("O conjunto %1 é compartilhado (pasta '%2'): só o administrador o altera.")
                              .arg(quoted(set->name), QDir::toNativeSeparators(sharedDir())));
    return *set;
}

void ParameterSetStore::write(const QString &file, const QByteArray &data) const
{
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        throw ESuiteError(QStringLiteral("Não foi possível criar a pasta '%1' dos conjuntos de parâmetros.")
                              .arg(QDir::toNativeSeparators(QFileInfo(file).absolutePath())));
    QSaveFile out(file);
    // Never written in place: a crash leaves the previous file, not half of the new one.
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit())
        throw ESuiteError(QStringLiteral("Não foi possível gravar o conjunto de parâmetros em '%1' (%2).")
                              .arg(QDir::toNativeSeparators(file), out.errorString()));
}

void ParameterSetStore::removeLeftovers() const
{
    // The temporary of a write that a crash interrupted ("NAME.json.XXXXXX"); an hour old,
    // so a write under way in another window is not one.
    const QDateTime before = QDateTime::currentDateTime().addSecs(-3600);
    const QFileInfoList files = QDir(userDir()).entryInfoList(
        {QStringLiteral("*") + QLatin1String(kSuffix) + QStringLiteral(".*")}, QDir::Files);
    for (const QFileInfo &info : files)
        if (info.lastModified() < before)
            QFile::remove(info.absoluteFilePath());
}

void ParameterSetStore::save(ParameterSet set)
{
    set.name = ParameterSet::cleanName(set.name);
    if (set.name.isEmpty())
        throw ESuiteError(QStringLiteral("Informe o nome do conjunto de parâmetros."));
    set.screen = m_screen;
    write(userFile(set.name), set.toJson());
    removeLeftovers();
}

void ParameterSetStore::rename(const QString &from, const QString &to)
{
    const QString name = ParameterSet::cleanName(to);
    if (name.isEmpty())
        throw ESuiteError(QStringLiteral("Informe o novo nome do conjunto de parâmetros."));
    ParameterSet set = ownSet(from);
    if (name == set.name)
        return;
    const std::optional<ParameterSet> taken = find(name);
    if (taken && !taken->shared)
        throw ESuiteError(QStringLiteral("Já existe um conjunto com o nome %1.").arg(quoted(name)));
    const bool wasDefault = defaultName() == set.name;
    const QString oldFile = set.file;
    set.name = name;
    write(userFile(name), set.toJson());
    if (!QFile::remove(oldFile))
        throw ESuiteError(
            QStringLiteral("O conjunto foi gravado como %1, mas o arquivo antigo '%2' não pôde ser removido.")
                .arg(quoted(name), QDir::toNativeSeparators(oldFile)));
    if (wasDefault)
        setDefaultName(name);
}

void ParameterSetStore::remove(const QString &name)
{
    const ParameterSet set = ownSet(name);
    QFile f(set.file);
    if (!f.remove())
        throw ESuiteError(QStringLiteral("O conjunto %1 não pôde ser excluído: '%2' (%3).")
                              .arg(quoted(set.name), QDir::toNativeSeparators(set.file), f.errorString()));
    if (defaultName() == set.name)
        setDefaultName(QString());
}

QString ParameterSetStore::defaultName() const
{
    const QSettings settings(QDir(userDir()).filePath(QStringLiteral("conjuntos.ini")), QSettings::IniFormat);
    return settings.value(QLatin1String(kDefaultKey)).toString();
}

void ParameterSetStore::setDefaultName(const QString &name)
{
    if (!QDir().mkpath(userDir()))
        throw ESuiteError(QStringLiteral("Não foi possível criar a pasta '%1' dos conjuntos de parâmetros.")
                              .arg(QDir::toNativeSeparators(userDir())));
    QSettings settings(QDir(userDir()).filePath(QStringLiteral("conjuntos.ini")), QSettings::IniFormat);
    settings.setValue(QLatin1String(kDefaultKey), ParameterSet::cleanName(name));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw ESuiteError(QStringLiteral("Não foi possível gravar o conjunto padrão em '%1'.")
                              .arg(QDir::toNativeSeparators(settings.fileName())));
}
