#pragma once

#include <QLibrary>
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

// A screen module loaded at run time by file name, with the entries the shell calls.
class LoadedModule
{
public:
    // Loads the library, checks its entries and the libsuite it was built against, and
    // runs its Initialize. Raises ESuiteError saying why a module cannot be used.
    explicit LoadedModule(const QString &fileName);
    ~LoadedModule();

    QString fileName() const { return m_library.fileName(); }
    QString version() const;
    void iniProc(const QVariant &value) const;

private:
    void checkEntries();
    void checkSuiteVersion();

    QLibrary m_library;
    void (*m_iniProc)(QVariant) = nullptr;
    void (*m_finalize)() = nullptr;
    const char *(*m_version)() = nullptr;
};

// The modules of the suite: every library beside the shell but libsuite, loaded at start,
// each registering the screens it offers (ModuleRegistry).
class ModuleLoader
{
public:
    struct Refusal
    {
        QString file;
        QString why; // the loader's message, which names the file
    };

    // Loads every lib*.so of the folder (the shell's by default) but libsuite; what cannot
    // be used is left out and returned, in file-name order.
    QList<Refusal> loadAll(const QString &folder = QString());
    const std::vector<std::unique_ptr<LoadedModule>> &modules() const { return m_modules; }

    // Opens a screen that a loaded module offers; raises ESuiteError naming the screens
    // there are when none offers it.
    static void openScreen(const QString &code, bool modal);

private:
    std::vector<std::unique_ptr<LoadedModule>> m_modules;
};
