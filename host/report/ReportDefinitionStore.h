#pragma once

#include "suite_export.h"
#include "report/ReportDefinition.h"

#include <QStringList>
#include <functional>
#include <optional>

// The report definitions of the suite: the edits of this run, and the files.
//
// In memory, by file: the report editor keeps its changes here (not on disk), and later
// runs of that report use them until the suite is closed.
//
// On disk: the shared folder the session names ([Relatorios] Diretorio), which the
// designer writes only where the session allows it ([Relatorios] PublicarRelatorios=S),
// and the user's own folder (…/Suite/relatorios in their configuration folder). A file is
// written whole under a temporary name that replaces it only when complete, and only
// after the definition passed its checks, so a working definition is never replaced by one
// that cannot run. Failures raise ESuiteError saying what failed and what to do.
namespace ReportDefinitionStore {
SUITE_TEST_EXPORT std::optional<ReportDefinition> edited(const QString &fileName);
SUITE_TEST_EXPORT void keep(const QString &fileName, const ReportDefinition &definition);
SUITE_TEST_EXPORT void discard(const QString &fileName);
SUITE_TEST_EXPORT void discardAll();

// What stops a definition from being written: one line per fault, naming its place
// (empty: none). ReportDesignerChecks gives the one the designer uses.
using Check = std::function<QStringList(const ReportDefinition &)>;

SUITE_TEST_EXPORT QString userFolder();
SUITE_TEST_EXPORT QString sharedFolder();
SUITE_TEST_EXPORT bool sharedWritable();
// The definition files of a report code in a folder (CODE.json and CODE-*.json), by name.
SUITE_TEST_EXPORT QStringList filesOf(const QString &folder, const QString &code);
// A name for a new file of that code and title in folder (the title's ASCII words joined by
// '-'), not taken by another file than except.
SUITE_TEST_EXPORT QString freeFileName(const QString &folder, const QString &code, const QString &title,
                                  const QString &except = {});

// Writes the definition over fileName (the edit kept in memory is dropped). Refused, and
// the file left as it was, when check finds a fault, or when the file there is of a newer
// format than this suite writes.
SUITE_TEST_EXPORT void save(const QString &fileName, const ReportDefinition &definition, const Check &check);
// Writes it as a new report in folder (userFolder() or, where allowed, sharedFolder()),
// under a file name made from its code and title; refused when a report of that code in
// the folder has the same title. Returns the file.
SUITE_TEST_EXPORT QString saveAsNew(const ReportDefinition &definition, const QString &folder, const Check &check);
// Gives the report of that file a new title (and a file name to match); returns the file.
SUITE_TEST_EXPORT QString rename(const QString &fileName, const QString &newTitle);
SUITE_TEST_EXPORT void remove(const QString &fileName);
} // namespace ReportDefinitionStore
