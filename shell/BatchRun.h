#pragma once

#include "sets/RelativePeriod.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

class MainWindow;

// A display-less run of a screen: opens it, applies its first-activation defaults, then a
// parameter set when one is named, sets controls as a person would, runs the save-as
// command and writes the file.
struct BatchOptions
{
    QString screen;
    QString variant;                                   // parameter set applied first
    QString report;                                    // report title; default: the first
    std::vector<std::pair<QString, QString>> settings; // control name, value, in order
    std::optional<RelativePeriod> period;              // applied after the settings
    QString saveFile;                                  // empty: nothing issued
    QString saveVariant;                               // the run's choices stored under this name
    bool listVariants = false;                         // lists the screen's sets instead
    bool dumpParams = false;
};

// Returns the process exit code: 0 when the file was written, 2 when the screen refused
// (its message printed on stderr), 1 on any other failure.
int runBatch(MainWindow &window, const BatchOptions &options);
