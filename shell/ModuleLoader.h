#pragma once

#include <QLibrary>
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

// The modules of the suite, found beside the shell.
class ModuleLoader
{
public:
    // Screen code ("LPR07731") to module file name ("libLpr07731.so").
    static QString fileForScreen(const QString &screen);
    LoadedModule &load(const QString &screen);

private:
    std::vector<std::pair<QString, std::unique_ptr<LoadedModule>>> m_modules;
};
