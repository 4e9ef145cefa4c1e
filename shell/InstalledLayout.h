#pragma once

#include <QString>

// Where an installed suite finds what its package put there. Installed, the shell is
// <prefix>/bin/suite, the screen modules are in <prefix>/lib/suite/modules, the shipped
// report definitions in <prefix>/share/suite/reports and a model session file beside them;
// the session file is the machine's (/etc/suite/suite.ini) or the user's own. In a build
// folder none of these exist: the modules are beside the shell and the session file names
// the reports folder.
namespace InstalledLayout {

// The installed modules' folder; empty when the shell does not run from an installation.
QString moduleDir();
// The shipped report definitions; empty when not installed.
QString reportDir();
// The session file an installed shell reads when none is given: the user's own
// (~/.config/Suite/suite.ini) when it exists, else the machine's.
QString sessionFile();
// What a person must do when the session file does not exist: where to put it, from which
// model, and what to fill in.
QString missingSessionMessage(const QString &file);

} // namespace InstalledLayout
