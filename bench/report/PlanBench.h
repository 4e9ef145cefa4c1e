#pragma once

#include <QStringList>

// bench_report --plans: the price list's first row, its preview's first page and the whole
// query, with the query text chosen as today (the main text always) and as now (the text for
// long lists from its count), on a branch with every line and on one with a handful.
namespace PlanBench {
int run(const QStringList &args);
// One measurement in a process of its own: "first|preview BRANCH before|after DB".
int runCase(const QStringList &args);
} // namespace PlanBench
