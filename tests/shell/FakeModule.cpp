// A stand-in for a screen module, built in several flavours (see CMakeLists.txt) to show
// what the shell does with a module that is not what it should be, and with one declared
// through the module kit.
#ifdef FAKE_KIT_MODULE
#include "module/ModuleKit.h"

namespace {
// The test reads which way a screen was opened from the environment.
void openFake(bool modal)
{
    qputenv("FAKE_SCREEN_OPENED", modal ? "modal" : "child");
}
constexpr ModuleScreen screens[] = {
    {"FAK00101", "Posição de &teste", "&Estoque/&Posições", &openFake},
    {"FAK00102", "Outra &tela", "&Compras", &openFake},
};
} // namespace

SUITE_MODULE({.name = "Fake", .version = "1.02.003", .screens = screens})
#else
#include <QVariant>
#include <SuiteVersion.h>
#include <cstdlib>

#ifndef FAKE_SUITE_VERSION
#    define FAKE_SUITE_VERSION SUITE_VERSION
#endif

extern "C" {

#ifdef FAKE_NEEDS_MISSING_SYMBOL
// Stands for a function of another libsuite that this one does not have.
void suiteFunctionThisLibsuiteLacks();
#endif

__attribute__((visibility("default"))) const char *SuiteVersion()
{
    return FAKE_SUITE_VERSION;
}
__attribute__((visibility("default"))) const char *ModuleVersion()
{
    return "1.02.003";
}

__attribute__((visibility("default"))) void Initialize()
{
#ifdef FAKE_NEEDS_MISSING_SYMBOL
    suiteFunctionThisLibsuiteLacks();
#endif
    // A module the shell should have refused must never run: the test dies here if it does.
    if (qEnvironmentVariableIsSet("FAKE_MODULE_MUST_NOT_RUN"))
        std::abort();
}

#ifndef FAKE_WITHOUT_INIPROC
__attribute__((visibility("default"))) void IniProc(QVariant) { }
#endif
__attribute__((visibility("default"))) void Finalize() { }
}
#endif
