#pragma once

#include "data/Database.h"
#include "DemoDb.h"

#include <QStringList>

// What gerabase is asked to do: a demo database in an SQLite file, or in an existing empty
// database of a server (through its owner, granting reads to `reader`).
struct GerabaseOptions
{
    DemoOptions demo;
    DbConfig server; // the server's database; driver QSQLITE: a file
    QString out;     // the SQLite file (absolute)
    QString reader;       // the screen's read-only user of a server database (optional)
    QString reportReader; // the reports' user (optional)
    QString serverReader; // the application server's user (optional)
    bool onServer() const { return server.driver != QLatin1String("QSQLITE"); }
};

// The command line read into options. `error` says what is wrong with it in Portuguese
// (empty: nothing), and `help` is set when only the usage was asked for; either way the
// returned options are not to be used.
struct GerabaseCommandLine
{
    GerabaseOptions options;
    QString error;
    int exitCode = 0; // with an error: 1 the line cannot be read, 2 a value is wrong
    bool help = false;
    QString usage;
};
GerabaseCommandLine parseGerabaseOptions(const QStringList &arguments);
