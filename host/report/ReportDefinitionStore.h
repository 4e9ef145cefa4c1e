#pragma once

#include "suite_export.h"
#include "report/ReportDefinition.h"

#include <optional>

// The definitions edited in this run of the suite, by file: the report editor keeps its
// changes here (not on disk), and later runs of that report use them until the suite
// is closed.
namespace ReportDefinitionStore {
SUITE_EXPORT std::optional<ReportDefinition> edited(const QString &fileName);
SUITE_EXPORT void keep(const QString &fileName, const ReportDefinition &definition);
SUITE_EXPORT void discard(const QString &fileName);
SUITE_EXPORT void discardAll();
} // namespace ReportDefinitionStore
