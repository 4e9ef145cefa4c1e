#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class MainWindow;

// A display-less run of a screen: opens it, applies its first-activation defaults, sets
// controls as a person would, runs the save-as command and writes the file.
struct BatchOptions
{
    QString screen;
    QString report;                                     // report title; default: the first
    std::vector<std::pair<QString, QString>> settings;  // control name, value, in order
    QString saveFile;
    bool dumpParams = false;
};

// Returns the process exit code: 0 when the file was written, 2 when the screen refused
// (its message printed on stderr), 1 on any other failure.
int runBatch(MainWindow &window, const BatchOptions &options);
