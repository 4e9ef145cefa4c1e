#pragma once

#include "RemoteDataModule.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

// How the application server is given a remote data module: the name clients ask for, and
// how to make an instance on a database connection. The server calls make once on each of
// its threads, with that thread's connection (already open); the function captures what the
// instances share.
struct DataModuleFactory
{
    using Make = std::function<std::unique_ptr<RemoteDataModule>(const QString &connectionName)>;

    QString serverObjectName;
    Make make;
    // Whether some calls need invokeBuilt: the builder thread then has an instance too.
    bool builds = false;
};

using DataModuleFactories = std::vector<DataModuleFactory>;
