#pragma once

#include "suite_export.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

// A screen a module offers: the shell puts it in its menu under `menu` and opens it
// through `open`, which creates the screen once and shows it modally or as a child window.
struct SUITE_EXPORT ScreenInfo
{
    QString code;  // "EST01001"
    QString title; // the menu entry, with its accelerator ("Posição de &Estoque")
    QString menu;  // the menu it is under; "/" separates submenus ("&Estoque")
    void (*open)(bool modal) = nullptr;
};

// The modules loaded into the suite, as they registered themselves at load.
struct SUITE_EXPORT ModuleInfo
{
    QString name;     // "Est01001"
    QString fileName; // full path of the library
    QString version;  // "6.00.004"
    QStringList units;
    QStringList requiredModules;
    QString resourceModule; // localized resource module in use, empty when none
    QList<ScreenInfo> screens;
    // The message table its screens read over the base form's (a resource path, the
    // localized resource module's when it has one); empty: none.
    QString messagesFile;
    // Where its report definitions are, under the session's report folder; empty: that folder.
    QString reportFolder;
};

namespace ModuleRegistry {
SUITE_EXPORT void registerModule(const ModuleInfo &info);
SUITE_EXPORT void unregisterModule(const QString &name);
SUITE_EXPORT std::vector<ModuleInfo> modules();
SUITE_EXPORT const ModuleInfo *find(const QString &name);
// The module that offers a screen (codes are not case-sensitive); null when none does.
SUITE_EXPORT const ModuleInfo *moduleOfScreen(const QString &code);
// The screen of that code among the modules' screens; null when none offers it.
SUITE_EXPORT const ScreenInfo *findScreen(const QString &code);
} // namespace ModuleRegistry
