#include "ModuleLoader.h"

#include "errors/EAbort.h"
#include "app/ModuleRegistry.h"
#include "app/SuiteLibrary.h"

#include <QCoreApplication>
#include <QDir>

namespace {

// The entries a module must export, in the order the shell uses them.
constexpr const char *requiredEntries[] = {"SuiteVersion", "ModuleVersion", "Initialize", "IniProc", "Finalize"};

} // namespace

LoadedModule::LoadedModule(const QString &fileName) : m_library(fileName)
{
    // Every symbol is bound at load: a module that needs something this libsuite lacks
    // is refused here, not when the missing function is first called.
    m_library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!m_library.load())
        throw ESuiteError(
            QStringLiteral("Não foi possível carregar o módulo %1: %2").arg(fileName, m_library.errorString()));
    checkEntries();
    checkSuiteVersion();
    auto initialize = reinterpret_cast<void (*)()>(m_library.resolve("Initialize"));
    m_iniProc = reinterpret_cast<void (*)(QVariant)>(m_library.resolve("IniProc"));
    m_finalize = reinterpret_cast<void (*)()>(m_library.resolve("Finalize"));
    m_version = reinterpret_cast<const char *(*)()>(m_library.resolve("ModuleVersion"));
    initialize();
}

void LoadedModule::checkEntries()
{
    QStringList all;
    QStringList missing;
    for (const char *entry : requiredEntries) {
        all << QString::fromLatin1(entry);
        if (!m_library.resolve(entry))
            missing << all.back();
    }
    if (missing.isEmpty())
        return;
    const QString file = m_library.fileName();
    m_library.unload();
    throw ESuiteError(QStringLiteral("O módulo %1 não é um módulo desta suíte: faltam as entradas %2 "
                                     "(um módulo exporta %3).")
                          .arg(file, missing.join(QStringLiteral(", ")), all.join(QStringLiteral(", "))));
}

void LoadedModule::checkSuiteVersion()
{
    auto suiteVersion = reinterpret_cast<const char *(*)()>(m_library.resolve("SuiteVersion"));
    const QString builtFor = QString::fromLatin1(suiteVersion());
    const QString running = QString::fromLatin1(SuiteLibrary::version());
    if (builtFor == running)
        return;
    const QString file = m_library.fileName();
    m_library.unload();
    throw ESuiteError(QStringLiteral("O módulo %1 foi compilado para a versão %2 da biblioteca da suíte (libsuite), "
                                     "mas esta suíte usa a versão %3. Instale o módulo da mesma versão da suíte.")
                          .arg(file, builtFor, running));
}

LoadedModule::~LoadedModule()
{
    if (m_finalize)
        m_finalize();
    // The library stays mapped: Qt objects of the module may still be queued for deletion.
}

QString LoadedModule::version() const
{
    return m_version ? QString::fromLatin1(m_version()) : QString();
}

void LoadedModule::iniProc(const QVariant &value) const
{
    m_iniProc(value);
}

QList<ModuleLoader::Refusal> ModuleLoader::loadAll(const QString &folder)
{
    const QDir dir(folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder);
    QList<Refusal> refused;
    for (const QString &name : dir.entryList({QStringLiteral("lib*.so")}, QDir::Files, QDir::Name)) {
        if (name == QLatin1String("libsuite.so"))
            continue;
        const QString file = dir.filePath(name);
        try {
            m_modules.push_back(std::make_unique<LoadedModule>(file));
        } catch (const ESuiteError &e) {
            refused.append({file, e.message()});
        }
    }
    return refused;
}

void ModuleLoader::openScreen(const QString &code, bool modal)
{
    if (const ScreenInfo *screen = ModuleRegistry::findScreen(code)) {
        screen->open(modal);
        return;
    }
    QStringList offered;
    for (const ModuleInfo &m : ModuleRegistry::modules())
        for (const ScreenInfo &s : m.screens)
            offered << s.code;
    throw ESuiteError(QStringLiteral("A tela %1 não está em nenhum módulo carregado pela suíte (telas disponíveis: %2). "
                                     "Confira o código da tela ou instale o módulo dela ao lado do programa suite.")
                          .arg(code, offered.isEmpty() ? QStringLiteral("nenhuma") : offered.join(QStringLiteral(", "))));
}
