#pragma once

#include <span>

// What a screen module tells the suite about itself, written once in its package unit
// (SUITE_MODULE in ModuleKit.h). Everything here is constant data, so it is whole before
// any code of the module runs.

// A unit of the module: its start-up and shutdown work (either may be null).
struct PackageUnitEntry
{
    const char *name;
    void (*initialization)();
    void (*finalization)();
};

// The runtime's view of the module: its flags, the modules it requires (null-terminated)
// and its units in the order they start.
struct PackageInfoTable
{
    unsigned flags;               // PackageFlags
    const char *const *requires_; // required modules, null-terminated
    int unitCount;
    const PackageUnitEntry *units;
};

enum PackageFlags : unsigned {
    pfRunOnly = 0x1,    // run-time module only
    pfNeverBuild = 0x2, // never rebuilt by the host
    pfLibrary = 0x4,
};

// A screen of the module. `open` creates the screen once and shows it modally (true) or as
// a child window of the shell (false): openScreenOnce (ScreenOpener.h) does it.
struct ModuleScreen
{
    const char *code;  // "EST01001"
    const char *title; // menu entry with its accelerator ("Posição de &Estoque")
    const char *menu;  // menu it is under, "/" between submenus ("&Estoque")
    void (*open)(bool modal);
};

struct ModuleDeclaration
{
    const char *name;    // "Est01001": the library is lib<name>.so, its resources are under :/<name>/
    const char *version; // as the suite shows it ("6.00.004")
    std::span<const ModuleScreen> screens;
    std::span<const PackageUnitEntry> units; // the module's own; the runtime's start-up unit comes first
    // The screens' message table ("KEY|text" lines, code page 1252), a file of the module's
    // resources read over the base form's own; a localized resource module beside the
    // library (lib<name>.<locale>.rcc) replaces it. Null: the base form's messages only.
    const char *messages = nullptr;
    // Where the report definitions are, under the session's report folder; empty: that folder.
    const char *reportFolder = "";
};
