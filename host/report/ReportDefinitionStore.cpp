#include "report/ReportDefinitionStore.h"
#include "app/Session.h"
#include "errors/ESuiteError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>

namespace {

QHash<QString, ReportDefinition> &edits()
{
    static QHash<QString, ReportDefinition> store;
    return store;
}

QString keyOf(const QString &fileName)
{
    return QFileInfo(fileName).absoluteFilePath();
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString slugOf(const QString &title)
{
    QString slug;
    for (QChar c : title.normalized(QString::NormalizationForm_KD)) {
        if (c.unicode() < 128 && c.isLetterOrNumber())
            slug += c.toLower();
        else if (c.isSpace() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            if (!slug.isEmpty() && !slug.endsWith(QLatin1Char('-')))
                slug += QLatin1Char('-');
    }
    while (slug.endsWith(QLatin1Char('-')))
        slug.chop(1);
    slug = slug.left(40);
    return slug.isEmpty() ? QStringLiteral("relatorio") : slug;
}

QJsonObject readObject(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// A file this suite would misread is not replaced by what it understood of it.
void refuseNewerFile(const QString &fileName)
{
    const int format = readObject(fileName).value(QStringLiteral("format_version")).toInt(1);
    if (format > ReportDefinition::currentFormat)
        throw ESuiteError(QStringLiteral("O relatório não foi salvo: o arquivo '%1' é do formato %2, gravado por uma "
                                         "versão mais nova da suíte, e esta versão grava até o formato %3. Atualize a "
                                         "suíte nesta estação ou salve como um novo relatório.")
                              .arg(native(fileName))
                              .arg(format)
                              .arg(ReportDefinition::currentFormat));
}

void refuseFaults(const ReportDefinition &definition, const ReportDefinitionStore::Check &check)
{
    QStringList problems;
    try {
        definition.validate();
    } catch (const ESuiteError &e) {
        problems << e.message();
    }
    if (check)
        problems << check(definition);
    problems.removeDuplicates();
    if (!problems.isEmpty())
        throw ESuiteError(QStringLiteral("O relatório '%1' não foi salvo, e o arquivo anterior continua como "
                                         "estava. Corrija:\n- %2")
                              .arg(definition.title, problems.join(QStringLiteral("\n- "))));
}

QString titleOf(const QString &fileName)
{
    return readObject(fileName).value(QStringLiteral("title")).toString().trimmed();
}

QString codeOf(const QString &fileName)
{
    const QString name = QFileInfo(fileName).completeBaseName();
    const qsizetype dash = name.indexOf(QLatin1Char('-'));
    return dash < 0 ? name : name.left(dash);
}

void refuseTakenTitle(const QString &folder, const QString &code, const QString &title, const QString &except = {})
{
    for (const QString &f : ReportDefinitionStore::filesOf(folder, code))
        if (keyOf(f) != keyOf(except) && titleOf(f).compare(title, Qt::CaseInsensitive) == 0)
            throw ESuiteError(QStringLiteral("Já existe um relatório com o título '%1' em '%2'. Informe outro título.")
                                  .arg(title, native(folder)));
}

// Removing and renaming are for reports this person may change: their own, or the shared
// ones where the session allows.
void refuseForeignFile(const QString &fileName)
{
    const QString folder = QFileInfo(fileName).absolutePath();
    const bool own = keyOf(folder) == keyOf(ReportDefinitionStore::userFolder());
    const bool shared = keyOf(folder) == keyOf(ReportDefinitionStore::sharedFolder());
    if (!own && !(shared && ReportDefinitionStore::sharedWritable()))
        throw ESuiteError(QStringLiteral("O relatório '%1' é compartilhado e esta sessão não pode alterá-lo. Peça "
                                         "ao administrador, ou salve uma cópia como novo relatório.")
                              .arg(native(fileName)));
    if (!QFileInfo::exists(fileName))
        throw ESuiteError(QStringLiteral("O relatório '%1' não existe mais.").arg(native(fileName)));
}

} // namespace

namespace ReportDefinitionStore {

std::optional<ReportDefinition> edited(const QString &fileName)
{
    const auto it = edits().constFind(keyOf(fileName));
    if (it == edits().constEnd())
        return std::nullopt;
    return *it;
}

void keep(const QString &fileName, const ReportDefinition &definition)
{
    edits().insert(keyOf(fileName), definition);
}

void discard(const QString &fileName)
{
    edits().remove(keyOf(fileName));
}

void discardAll()
{
    edits().clear();
}

QString userFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Suite/relatorios"));
}

QString sharedFolder()
{
    return Session::current().reportDir;
}

bool sharedWritable()
{
    const QString file = Session::current().fileName;
    if (file.isEmpty() || sharedFolder().isEmpty())
        return false;
    const QSettings ini(file, QSettings::IniFormat);
    return ini.value(QStringLiteral("Relatorios/PublicarRelatorios")).toString().trimmed().toUpper()
           == QLatin1String("S");
}

QStringList filesOf(const QString &folder, const QString &code)
{
    QStringList files;
    const QString c = code.trimmed();
    if (folder.isEmpty() || c.isEmpty())
        return files;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({c + QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        // LPR077.json and LPR077-xxx.json belong to LPR077; LPR0770.json does not.
        const QString rest = name.mid(c.size());
        if (!rest.isEmpty() && rest.at(0).isLetterOrNumber())
            continue;
        files << dir.absoluteFilePath(name);
    }
    return files;
}

void save(const QString &fileName, const ReportDefinition &definition, const Check &check)
{
    refuseNewerFile(fileName);
    refuseFaults(definition, check);
    definition.save(fileName);
    discard(fileName);
}

QString saveAsNew(const ReportDefinition &definition, const QString &folder, const Check &check)
{
    const QString title = definition.title.trimmed();
    if (title.isEmpty())
        throw ESuiteError(QStringLiteral("Informe o título do novo relatório."));
    if (keyOf(folder) == keyOf(sharedFolder()) && !sharedWritable())
        throw ESuiteError(QStringLiteral("Esta sessão não pode gravar relatórios na pasta compartilhada '%1'. Salve "
                                         "na sua pasta, ou peça ao administrador ([Relatorios] PublicarRelatorios).")
                              .arg(native(folder)));
    refuseTakenTitle(folder, definition.code, title);
    refuseFaults(definition, check);
    if (!QDir().mkpath(folder))
        throw ESuiteError(
            QStringLiteral("A pasta '%1' não pôde ser criada. Verifique a permissão de escrita.").arg(native(folder)));
    const QString file = ReportDefinitionStore::freeFileName(folder, definition.code, title);
    definition.save(file);
    return file;
}

QString rename(const QString &fileName, const QString &newTitle)
{
    const QString title = newTitle.trimmed();
    if (title.isEmpty())
        throw ESuiteError(QStringLiteral("Informe o novo título do relatório."));
    refuseForeignFile(fileName);
    const QString folder = QFileInfo(fileName).absolutePath();
    const QString code = codeOf(fileName);
    refuseTakenTitle(folder, code, title, fileName);
    ReportDefinition definition = ReportDefinition::load(fileName);
    if (!definition.title.isEmpty())
        definition.heading.replace(definition.title, title);
    definition.title = title;
    // The new file is complete before the old one goes, so a failure leaves one of them.
    const QString file = ReportDefinitionStore::freeFileName(folder, code, title, fileName);
    definition.save(file);
    if (keyOf(file) != keyOf(fileName) && !QFile::remove(fileName))
        throw ESuiteError(QStringLiteral("O relatório foi gravado como '%1', mas '%2' não pôde ser removido.")
                              .arg(native(file), native(fileName)));
    if (const auto edit = edited(fileName)) {
        discard(fileName);
        ReportDefinition kept = *edit;
        kept.title = title;
        keep(file, kept);
    }
    return file;
}

void remove(const QString &fileName)
{
    refuseForeignFile(fileName);
    QFile file(fileName);
    if (!file.remove())
        throw ESuiteError(
            QStringLiteral("O relatório '%1' não pôde ser removido: %2.").arg(native(fileName), file.errorString()));
    discard(fileName);
}

} // namespace ReportDefinitionStore

QString ReportDefinitionStore::freeFileName(const QString &folder, const QString &code, const QString &title,
                                            const QString &except)
{
    const QDir dir(folder);
    const QString base = code + QLatin1Char('-') + slugOf(title);
    QString file = dir.absoluteFilePath(base + QStringLiteral(".json"));
    for (int n = 2; QFileInfo::exists(file) && keyOf(file) != keyOf(except); ++n)
        file = dir.absoluteFilePath(QStringLiteral("%1-%2.json").arg(base).arg(n));
    return file;
}
