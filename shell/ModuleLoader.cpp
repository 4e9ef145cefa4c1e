#include "ModuleLoader.h"

#include "EAbort.h"

#include <QCoreApplication>
#include <QDir>

LoadedModule::LoadedModule(const QString &fileName) : m_library(fileName)
{
    if (!m_library.load())
        throw ESuiteError(QStringLiteral("Não foi possível carregar o módulo %1: %2").arg(fileName, m_library.errorString()));
    auto initialize = reinterpret_cast<void (*)()>(m_library.resolve("Initialize"));
    m_iniProc = reinterpret_cast<void (*)(QVariant)>(m_library.resolve("IniProc"));
    m_finalize = reinterpret_cast<void (*)()>(m_library.resolve("Finalize"));
    m_version = reinterpret_cast<const char *(*)()>(m_library.resolve("ModuleVersion"));
    if (!initialize || !m_iniProc || !m_finalize)
        throw ESuiteError(QStringLiteral("O módulo %1 não exporta as entradas da suíte (Initialize, IniProc, Finalize).")
                              .arg(fileName));
    initialize();
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

QString ModuleLoader::fileForScreen(const QString &screen)
{
    // Screens are named by their module and sequence: LPR07731 lives in Lpr07731.
    QString name = screen.toLower();
    if (!name.isEmpty())
        name[0] = name.at(0).toUpper();
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("lib%1.so").arg(name));
}

LoadedModule &ModuleLoader::load(const QString &screen)
{
    const QString key = screen.toUpper();
    for (auto &[k, m] : m_modules)
        if (k == key)
            return *m;
    m_modules.emplace_back(key, std::make_unique<LoadedModule>(fileForScreen(screen)));
    return *m_modules.back().second;
}
