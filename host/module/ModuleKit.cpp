#include "module/ModuleKit.h"

#include "app/ModuleRegistry.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QResource>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <utility>
#include <string>
#include <vector>

namespace {

// What the kit keeps of each loaded module. Never destroyed: modules detach from their
// own unload, which may run after this library's statics are gone at process exit.
struct ModuleState
{
    std::vector<PackageUnitEntry> units; // the runtime's start-up unit, then the module's
    std::vector<bool> started;
    PackageInfoTable table{};
    QString resourceModule; // the localized resource module registered, if any
};

std::map<std::string, ModuleState> &states()
{
    static auto *all = new std::map<std::string, ModuleState>;
    return *all;
}

std::mutex &statesMutex()
{
    static auto *m = new std::mutex;
    return *m;
}

void startupInitialization() { }

const char *const requiredModules[] = {"libsuite", "Qt6Widgets", "Qt6Sql", "Qt6Network", nullptr};

ModuleState &stateOf(const ModuleDeclaration &module)
{
    std::lock_guard lock(statesMutex());
    auto [it, added] = states().try_emplace(module.name);
    ModuleState &s = it->second;
    if (added) {
        s.units.push_back({"SysInit", &startupInitialization, nullptr});
        s.units.insert(s.units.end(), module.units.begin(), module.units.end());
        s.started.assign(s.units.size(), false);
        s.table = {pfRunOnly | pfNeverBuild | pfLibrary, requiredModules, int(s.units.size()), s.units.data()};
    }
    return s;
}

QString fileOf(void *inModule)
{
    Dl_info info{};
    if (dladdr(inModule, &info) && info.dli_fname)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
    return QString();
}

QString localizedRoot(const QString &name)
{
    return QStringLiteral("/%1_loc").arg(name);
}

// The localized resource module beside the library (lib<name>.<locale>.rcc, or with the
// language alone), registered under :/<name>_loc; empty when there is none.
QString registerLocalizedResources(const QString &name, const QString &file)
{
    const QFileInfo fi(file);
    const QString base = fi.absolutePath() + QLatin1Char('/') + fi.completeBaseName().section(QLatin1Char('.'), 0, 0);
    const QString localeName = QLocale::system().name();
    for (const QString &candidate :
         {base + QLatin1Char('.') + localeName + QStringLiteral(".rcc"),
          base + QLatin1Char('.') + localeName.section(QLatin1Char('_'), 0, 0) + QStringLiteral(".rcc")})
        if (QFileInfo::exists(candidate) && QResource::registerResource(candidate, localizedRoot(name)))
            return candidate;
    return QString();
}

} // namespace

namespace ModuleKit {

void attach(const ModuleDeclaration &module, void *inModule)
{
    const QString name = QString::fromLatin1(module.name);
    ModuleState &state = stateOf(module);
    ModuleInfo info;
    info.name = name;
    info.fileName = fileOf(inModule);
    info.version = QString::fromLatin1(module.version);
    for (const PackageUnitEntry &u : state.units)
        info.units << QString::fromLatin1(u.name);
    for (const char *const *r = requiredModules; *r; ++r)
        info.requiredModules << QString::fromLatin1(*r);
    for (const ModuleScreen &s : module.screens)
        info.screens.append({QString::fromLatin1(s.code), QString::fromUtf8(s.title), QString::fromUtf8(s.menu), s.open});
    info.reportFolder = QString::fromUtf8(module.reportFolder ? module.reportFolder : "");

    state.resourceModule = registerLocalizedResources(name, info.fileName);
    info.resourceModule = state.resourceModule;
    if (module.messages) {
        const QString file = QString::fromUtf8(module.messages);
        const QString localized = QStringLiteral(":%1/%2").arg(localizedRoot(name), file);
        info.messagesFile = !state.resourceModule.isEmpty() && QFile::exists(localized)
                                ? localized
                                : QStringLiteral(":/%1/%2").arg(name, file);
    }
    ModuleRegistry::registerModule(info);
}

void detach(const ModuleDeclaration &module)
{
    const QString name = QString::fromLatin1(module.name);
    ModuleRegistry::unregisterModule(name);
    ModuleState &state = stateOf(module);
    if (!state.resourceModule.isEmpty())
        QResource::unregisterResource(std::exchange(state.resourceModule, QString()), localizedRoot(name));
}

void initialize(const ModuleDeclaration &module)
{
    ModuleState &state = stateOf(module);
    for (size_t i = 0; i < state.units.size(); ++i)
        if (!state.started[i]) {
            state.started[i] = true;
            if (state.units[i].initialization)
                state.units[i].initialization();
        }
}

void finalize(const ModuleDeclaration &module)
{
    ModuleState &state = stateOf(module);
    for (size_t i = state.units.size(); i-- > 0;)
        if (state.started[i]) {
            state.started[i] = false;
            if (state.units[i].finalization)
                state.units[i].finalization();
        }
}

const PackageInfoTable *packageInfo(const ModuleDeclaration &module)
{
    return &stateOf(module).table;
}

bool isNullVariant(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<std::nullptr_t>();
}

void iniProc(const ModuleDeclaration &module, const QVariant &value)
{
    if (!module.screens.empty())
        module.screens.front().open(!isNullVariant(value));
}

} // namespace ModuleKit
