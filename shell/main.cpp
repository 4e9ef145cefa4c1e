// The suite's shell: loads the session, opens the database, loads screen modules at run
// time and opens their screens in its child-window area.
#include "BatchRun.h"
#include "InstalledLayout.h"
#include "MainWindow.h"
#include "ModuleLoader.h"
#include "ShellOptions.h"

#include "data/Database.h"
#include "errors/EAbort.h"
#include "errors/ExceptionGuard.h"
#include "app/ModuleRegistry.h"
#include "app/Session.h"
#include "app/Translations.h"
#include "report/TReportDesignerDialog.h"

#include <QApplication>
#include <QFileInfo>
#include <QTextStream>

namespace {

bool haveDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return true;
    return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty();
}

int fail(const QString &message)
{
    QTextStream(stderr) << message << Qt::endl;
    return 1;
}

QString screensOf(const ModuleInfo &m)
{
    QStringList screens;
    for (const ScreenInfo &s : m.screens)
        screens << QStringLiteral("%1 (%2 > %3)").arg(s.code, QString(s.menu).remove(QLatin1Char('&')),
                                                      QString(s.title).remove(QLatin1Char('&')));
    return screens.isEmpty() ? QStringLiteral("(nenhuma)") : screens.join(QStringLiteral(", "));
}

// The modules found, then on stderr the ones refused: 1 when any was.
int listModules(const QList<ModuleLoader::Refusal> &refused)
{
    QTextStream out(stdout);
    for (const ModuleInfo &m : ModuleRegistry::modules())
        out << m.name << ' ' << m.version << ' ' << m.fileName << "\n  telas: " << screensOf(m)
            << "\n  unidades: " << m.units.join(QStringLiteral(", "))
            << "\n  requer: " << m.requiredModules.join(QStringLiteral(", ")) << "\n  recursos localizados: "
            << (m.resourceModule.isEmpty() ? QStringLiteral("(nenhum)") : m.resourceModule) << Qt::endl;
    for (const ModuleLoader::Refusal &r : refused)
        fail(r.why);
    return refused.isEmpty() ? 0 : 1;
}

// A module that cannot be used is said at start; the others still open.
void reportRefused(const QList<ModuleLoader::Refusal> &refused, bool batch)
{
    QStringList lines;
    for (const ModuleLoader::Refusal &r : refused)
        lines << r.why;
    if (lines.isEmpty())
        return;
    if (batch)
        fail(lines.join(QLatin1Char('\n')));
    else
        guarded([&] { throw ESuiteError(lines.join(QStringLiteral("\n\n"))); });
}

// The report designer alone on a definition file: no screen, the parameters at the
// definition's defaults; the suite ends when the designer is closed.
int design(const QString &fileName)
{
    TReportDesignerDialog designer;
    try {
        designer.Design(nullptr, fileName);
    } catch (const ESuiteError &e) {
        return fail(e.message());
    }
    return QApplication::exec();
}

// The session file, the installed reports when it names none; false (said) when it cannot be read.
bool loadSession(const ShellOptions &options)
{
    try {
        if (!QFileInfo::exists(options.config))
            throw ESuiteError(InstalledLayout::missingSessionMessage(options.config));
        Session::current().load(options.config);
    } catch (const ESuiteError &e) {
        const QString message = e.message();
        fail(message);
        // Started from the desktop menu, nobody reads the terminal.
        if (!options.batch && !options.listModules && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && haveDisplay())
            guarded([&] { throw ESuiteError(message); });
        return false;
    }
    if (Session::current().reportDir.isEmpty())
        Session::current().reportDir = InstalledLayout::reportDir();
    return true;
}

int run(const ShellOptions &options)
{
    if (!loadSession(options))
        return 1;
    ModuleLoader loader;
    const QList<ModuleLoader::Refusal> refused = loader.loadAll(InstalledLayout::moduleDir());
    if (options.listModules)
        return listModules(refused);
    try {
        dtmDBGeral::open(Session::current().db);
    } catch (const ESuiteError &e) {
        fail(e.message());
        if (options.batch)
            return 1;
    }
    if (!options.design.isEmpty())
        return design(options.design);
    MainWindow window;
    reportRefused(refused, options.batch.has_value());
    if (options.batch)
        return runBatch(window, *options.batch);
    if (!dtmDBGeral::isOpen())
        guarded([] {
            throw ESuiteError(QStringLiteral("Banco de dados indisponível: %1").arg(Session::current().db.describe()));
        });
    window.show();
    if (!options.open.isEmpty())
        window.openScreen(options.open, false);
    return QApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (headlessRun(arguments))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (!haveDisplay())
        return fail(
            QStringLiteral("suite: não há display gráfico (defina DISPLAY ou use --batch para emitir sem tela)."));

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("suite"));
    QApplication::setOrganizationName(QStringLiteral("Suite"));
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    Translations::install(&app);

    const ShellCommandLine line = parseShellOptions(QCoreApplication::arguments());
    if (line.help) {
        QTextStream(stdout) << line.usage;
        return 0;
    }
    if (!line.error.isEmpty())
        return fail(line.error);
    ShellOptions options = line.options;
    if (!options.configGiven && !InstalledLayout::moduleDir().isEmpty() && qEnvironmentVariableIsEmpty("SUITE_DATA_DIR"))
        options.config = InstalledLayout::sessionFile();
    return run(options);
}
