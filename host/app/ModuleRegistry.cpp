#include "app/ModuleRegistry.h"

#include <mutex>

namespace {
// Never destroyed: modules unregister from their own unload, which may run after this
// library's statics are gone at process exit.
std::vector<ModuleInfo> &registry()
{
    static auto *modules = new std::vector<ModuleInfo>;
    return *modules;
}
std::mutex &registryMutex()
{
    static auto *m = new std::mutex;
    return *m;
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

const ModuleInfo *moduleOfScreen(const QString &code)
{
    for (const ModuleInfo &m : registry())
        for (const ScreenInfo &s : m.screens)
            if (s.code.compare(code, Qt::CaseInsensitive) == 0)
                return &m;
    return nullptr;
}

const ScreenInfo *findScreen(const QString &code)
{
    if (const ModuleInfo *m = moduleOfScreen(code))
        for (const ScreenInfo &s : m->screens)
            if (s.code.compare(code, Qt::CaseInsensitive) == 0)
                return &s;
    return nullptr;
}

} // namespace ModuleRegistry
