#include "Pkg_Lpr07731.h"
#include "Cli_Lpr07731.h"

#include "app/ModuleRegistry.h"

#include <SuiteVersion.h>

#include <QFileInfo>
#include <QLocale>
#include <QResource>
#include <dlfcn.h>

namespace {

void noFinalization() { }
void startupInitialization() { }

const char *const requiredModules[] = {"libsuite", "Qt6Widgets", "Qt6Sql", "Qt6Network", nullptr};

const PackageUnitEntry units[] = {
    {"SysInit", &startupInitialization, &noFinalization},
    {"Pkg_Lpr07731", &startupInitialization, &noFinalization},
    {"Cli_Lpr07731", &Cli_Lpr07731::initialization, &noFinalization},
};

constexpr int unitCount = int(sizeof(units) / sizeof(units[0]));

const PackageInfoTable packageInfo = {pfRunOnly | pfNeverBuild | pfLibrary, requiredModules, unitCount, units};

bool unitInitialized[unitCount] = {};

// Set while the localized resource module is registered.
char resourceModulePath[4096] = {};

QString moduleFileName()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&Initialize), &info) && info.dli_fname)
        return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
    return QString();
}

} // namespace

extern "C" {

void Initialize()
{
    for (int i = 0; i < unitCount; ++i) {
        if (!unitInitialized[i]) {
            unitInitialized[i] = true;
            units[i].initialization();
        }
    }
}

void Finalize()
{
    for (int i = unitCount - 1; i >= 0; --i) {
        if (unitInitialized[i]) {
            unitInitialized[i] = false;
            units[i].finalization();
        }
    }
}

const PackageInfoTable *GetPackageInfoTable()
{
    return &packageInfo;
}

const char *ModuleVersion()
{
    return LPR07731_VERSION;
}

const char *SuiteVersion()
{
    return SUITE_VERSION;
}
}

// The load notification: records the module, takes resources from a localized resource
// module beside it when one exists (libLpr07731.<locale>.rcc, e.g. libLpr07731.pt_BR.rcc),
// and registers the module with the suite; the unload undoes it.
__attribute__((constructor)) static void moduleAttach()
{
    const QString file = moduleFileName();
    ModuleInfo info;
    info.name = QStringLiteral("Lpr07731");
    info.fileName = file;
    info.version = QString::fromLatin1(ModuleVersion());
    for (const PackageUnitEntry &u : units)
        info.units << QString::fromLatin1(u.name);
    for (const char *const *r = requiredModules; *r; ++r)
        info.requiredModules << QString::fromLatin1(*r);

    const QFileInfo fi(file);
    const QString base = fi.absolutePath() + QLatin1Char('/') + fi.completeBaseName().section(QLatin1Char('.'), 0, 0);
    const QString localeName = QLocale::system().name();
    for (const QString &candidate :
         {base + QLatin1Char('.') + localeName + QStringLiteral(".rcc"),
          base + QLatin1Char('.') + localeName.section(QLatin1Char('_'), 0, 0) + QStringLiteral(".rcc")}) {
        if (QFileInfo::exists(candidate) && QResource::registerResource(candidate, QStringLiteral("/Lpr07731_loc"))) {
            info.resourceModule = candidate;
            qstrncpy(resourceModulePath, candidate.toLocal8Bit().constData(), sizeof(resourceModulePath));
            break;
        }
    }
    ModuleRegistry::registerModule(info);
}

__attribute__((destructor)) static void moduleDetach()
{
    ModuleRegistry::unregisterModule(QStringLiteral("Lpr07731"));
    if (resourceModulePath[0]) {
        QResource::unregisterResource(QString::fromLocal8Bit(resourceModulePath), QStringLiteral("/Lpr07731_loc"));
        resourceModulePath[0] = '\0';
    }
}
