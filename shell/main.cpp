// The suite's shell: loads the session, opens the database, loads screen modules at run
// time and opens their screens in its child-window area.
#include "BatchRun.h"
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

int listModules(ModuleLoader &loader)
{
    try {
        loader.load(QStringLiteral("LPR07731"));
    } catch (const ESuiteError &e) {
        return fail(e.message());
    }
    QTextStream out(stdout);
    for (const ModuleInfo &m : ModuleRegistry::modules())
        out << m.name << ' ' << m.version << ' ' << m.fileName << "\n  unidades: " << m.units.join(QStringLiteral(", "))
            << "\n  requer: " << m.requiredModules.join(QStringLiteral(", ")) << "\n  recursos localizados: "
            << (m.resourceModule.isEmpty() ? QStringLiteral("(nenhum)") : m.resourceModule) << Qt::endl;
    return 0;
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

int run(const ShellOptions &options)
{
    try {
        Session::current().load(options.config);
    } catch (const ESuiteError &e) {
        return fail(e.message());
    }
    ModuleLoader loader;
    if (options.listModules)
        return listModules(loader);
    try {
        dtmDBGeral::open(Session::current().db);
    } catch (const ESuiteError &e) {
        fail(e.message());
        if (options.batch)
            return 1;
    }
    if (!options.design.isEmpty())
        return design(options.design);
    MainWindow window(loader);
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
    return run(line.options);
}
