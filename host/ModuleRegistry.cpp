#include "ModuleRegistry.h"

#include <mutex>

namespace {
std::vector<ModuleInfo> &registry()
{
    static std::vector<ModuleInfo> modules;
    return modules;
}
std::mutex &registryMutex()
{
    static std::mutex m;
    return m;
}
} // namespace

namespace ModuleRegistry {

void registerModule(const ModuleInfo &info)
{
    std::lock_guard lock(registryMutex());
    std::erase_if(registry(), [&](const ModuleInfo &m) { return m.name == info.name; });
    registry().push_back(info);
}

void unregisterModule(const QString &name)
{
    std::lock_guard lock(registryMutex());
    std::erase_if(registry(), [&](const ModuleInfo &m) { return m.name == name; });
}

std::vector<ModuleInfo> modules()
{
    std::lock_guard lock(registryMutex());
    return registry();
}

const ModuleInfo *find(const QString &name)
{
    for (const ModuleInfo &m : registry())
        if (m.name == name)
            return &m;
    return nullptr;
}

} // namespace ModuleRegistry
