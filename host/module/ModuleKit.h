#pragma once

#include "module/ModuleDeclaration.h"
#include "suite_export.h"

#include <QVariant>
#include <SuiteVersion.h>

// The module's side of the suite's loader, written once. A module declares itself with
//
//     SUITE_MODULE({.name = "Est01001", .version = EST01001_VERSION, .screens = screens,
//                   .units = units, .messages = "messages.txt"})
//
// in one source file, and gets the entries the shell looks for (SuiteVersion,
// ModuleVersion, Initialize, IniProc, Finalize, GetPackageInfoTable), its registration
// with the suite at load (ModuleRegistry: screens, messages, report folder, the localized
// resource module beside it) and the undoing of it at unload.
namespace ModuleKit {
// Registers the module; `inModule` is any address inside the library (to find its file).
SUITE_EXPORT void attach(const ModuleDeclaration &module, void *inModule);
SUITE_EXPORT void detach(const ModuleDeclaration &module);
// Runs every unit's initialization once, in order; finalize runs them back in reverse.
SUITE_EXPORT void initialize(const ModuleDeclaration &module);
SUITE_EXPORT void finalize(const ModuleDeclaration &module);
SUITE_EXPORT const PackageInfoTable *packageInfo(const ModuleDeclaration &module);
// Opens the module's first screen: as a child window for a null variant, modally for
// anything else (an empty, never assigned variant is not null).
SUITE_EXPORT void iniProc(const ModuleDeclaration &module, const QVariant &value);
SUITE_EXPORT bool isNullVariant(const QVariant &value);
} // namespace ModuleKit

// The entries every module exports; SUITE_MODULE defines them.
extern "C" {
// The version of libsuite the module was built against: the shell refuses the module
// when the libsuite it runs with is another.
const char *SuiteVersion();
const char *ModuleVersion();
void Initialize();
void Finalize();
const PackageInfoTable *GetPackageInfoTable();
void IniProc(QVariant value);
}

#define SUITE_MODULE(...)                                                                                             \
    namespace {                                                                                                       \
    constexpr ModuleDeclaration suiteModuleDeclaration = __VA_ARGS__;                                                 \
    void suiteModuleAnchor() { }                                                                                      \
    __attribute__((constructor)) void suiteModuleAttach()                                                             \
    {                                                                                                                 \
        ModuleKit::attach(suiteModuleDeclaration, reinterpret_cast<void *>(&suiteModuleAnchor));                      \
    }                                                                                                                 \
    __attribute__((destructor)) void suiteModuleDetach()                                                              \
    {                                                                                                                 \
        ModuleKit::detach(suiteModuleDeclaration);                                                                    \
    }                                                                                                                 \
    }                                                                                                                 \
    extern "C" {                                                                                                      \
    Q_DECL_EXPORT const char *SuiteVersion() { return SUITE_VERSION; }                                                \
    Q_DECL_EXPORT const char *ModuleVersion() { return suiteModuleDeclaration.version; }                              \
    Q_DECL_EXPORT void Initialize() { ModuleKit::initialize(suiteModuleDeclaration); }                                \
    Q_DECL_EXPORT void Finalize() { ModuleKit::finalize(suiteModuleDeclaration); }                                    \
    Q_DECL_EXPORT const PackageInfoTable *GetPackageInfoTable() { return ModuleKit::packageInfo(suiteModuleDeclaration); } \
    Q_DECL_EXPORT void IniProc(QVariant value) { ModuleKit::iniProc(suiteModuleDeclaration, value); }                 \
    }
