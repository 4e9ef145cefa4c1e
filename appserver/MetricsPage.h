#pragma once

#include "BuildStats.h"
#include "LinkGate.h"

#include <QString>
#include <utility>
#include <vector>

// The parts of the metrics page that are read when it is asked for, in the Prometheus text
// format: the links by state, each building module's result and builds, the process.
namespace MetricsPage {

QString links(const LinkGate::Counts &counts);
// modules: each building module's server object name with its stats.
QString builds(const std::vector<std::pair<QString, BuildStats>> &modules);
// The version, and the resident memory as /proc tells it.
QString process(const QString &version);

} // namespace MetricsPage
