#pragma once

#include <QString>

// What a module that builds a result and keeps it (the supplier list) tells the metrics
// endpoint: the result in use, and the builds so far.
struct BuildStats
{
    bool kept = false;       // a result is in use
    QString mark;            // what the workstations keep it under
    double ageSeconds = 0;   // since the build of the result in use started
    quint64 builds = 0;      // builds finished, since the server started
    quint64 failures = 0;    // builds that failed
    double buildSeconds = 0; // the time all the builds took
    double lastBuildSeconds = 0;
};
