#pragma once

#include "BatchRun.h"

#include <QString>
#include <QStringList>
#include <optional>

// What the shell is asked to do: list its modules, issue a report without a display, or
// open its window (and a screen in it).
struct ShellOptions
{
    QString config; // the session file
    bool configGiven = false; // false: the default above, which an installed shell replaces
    QString open;   // screen opened at start; empty: none
    bool listModules = false;
    QString design; // a definition file opened in the report designer; empty: none
    std::optional<BatchOptions> batch; // a display-less run
};

// The command line read into options. `error` is the line to print (in Portuguese when
// it is ours), `help` is set when only the usage was asked for; either way the options
// are not to be used.
struct ShellCommandLine
{
    ShellOptions options;
    QString error;
    bool help = false;
    QString usage;
};
ShellCommandLine parseShellOptions(const QStringList &arguments);

// Whether the arguments ask for a run without a window (the platform is chosen before the
// application object exists, so this reads them raw).
bool headlessRun(const QStringList &arguments);
