#pragma once

#include "lpr_export.h"

// What the module tells the runtime about itself.
struct PackageUnitEntry
{
    const char *name;
    void (*initialization)();
    void (*finalization)();
};

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

extern "C" {
// Runs the initialization of every unit once, in order.
LPR_EXPORT void Initialize();
// Runs the units' finalization in reverse order.
LPR_EXPORT void Finalize();
LPR_EXPORT const PackageInfoTable *GetPackageInfoTable();
// The module's version as the suite shows it ("6.00.004").
LPR_EXPORT const char *ModuleVersion();
// The version of libsuite the module was built against: the shell refuses the module
// when the libsuite it runs with is another.
LPR_EXPORT const char *SuiteVersion();
}
