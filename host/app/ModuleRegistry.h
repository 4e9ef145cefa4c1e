#pragma once

#include "suite_export.h"

#include <QString>
#include <QStringList>
#include <vector>

// The modules loaded into the suite, as they registered themselves at load.
struct SUITE_EXPORT ModuleInfo
{
    QString name;     // "Lpr07731"
    QString fileName; // full path of the library
    QString version;  // "6.00.004"
    QStringList units;
    QStringList requiredModules;
    QString resourceModule; // localized resource module in use, empty when none
};

namespace ModuleRegistry {
SUITE_EXPORT void registerModule(const ModuleInfo &info);
SUITE_EXPORT void unregisterModule(const QString &name);
SUITE_EXPORT std::vector<ModuleInfo> modules();
SUITE_EXPORT const ModuleInfo *find(const QString &name);
} // namespace ModuleRegistry
