// The suite's shell: loads the session, opens the database, loads screen modules at run
// time and opens their screens in its child-window area.
#include "BatchRun.h"
#include "MainWindow.h"
#include "ModuleLoader.h"

#include "Database.h"
#include "EAbort.h"
#include "ExceptionGuard.h"
#include "ModuleRegistry.h"
#include "RelativePeriod.h"
#include "Session.h"
#include "Translations.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

namespace {

bool haveDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty())
        return true;
    return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty();
}

QString defaultConfig()
{
    const QByteArray dataDir = qgetenv("SUITE_DATA_DIR");
    return QDir(dataDir.isEmpty() ? QStringLiteral("data") : QString::fromLocal8Bit(dataDir))
        .absoluteFilePath(QStringLiteral("suite.ini"));
}

} // namespace

int main(int argc, char **argv)
{
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--batch" || a == "--modules" || a == "--help" || a == "-h")
            headless = true;
    }
    if (headless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (!haveDisplay()) {
        QTextStream(stderr) << "suite: não há display gráfico (defina DISPLAY ou use --batch para emitir sem tela)." << Qt::endl;
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("suite"));
    QApplication::setOrganizationName(QStringLiteral("Suite"));
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    Translations::install(&app);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Suíte de gestão: shell que carrega os módulos e abre suas telas."));
    parser.addHelpOption();
    QCommandLineOption config(QStringLiteral("config"), QStringLiteral("Arquivo de sessão (INI)."), QStringLiteral("arquivo"),
                              defaultConfig());
    QCommandLineOption open(QStringLiteral("open"), QStringLiteral("Abre a tela ao iniciar."), QStringLiteral("tela"));
    QCommandLineOption modules(QStringLiteral("modules"), QStringLiteral("Lista os módulos carregados e sai."));
    QCommandLineOption batch(QStringLiteral("batch"), QStringLiteral("Emite o relatório da tela sem display."), QStringLiteral("tela"));
    QCommandLineOption report(QStringLiteral("report"), QStringLiteral("Título do relatório (execução sem tela)."), QStringLiteral("titulo"));
    QCommandLineOption set(QStringLiteral("set"), QStringLiteral("CONTROLE=VALOR, preenchido como uma pessoa faria."), QStringLiteral("atribuicao"));
    QCommandLineOption save(QStringLiteral("save"), QStringLiteral("Arquivo a gravar (pdf, csv, xlsx, html)."), QStringLiteral("arquivo"));
    QCommandLineOption dump(QStringLiteral("dump-params"), QStringLiteral("Imprime em JSON os parâmetros que a consulta recebeu."));
    QCommandLineOption variant(QStringLiteral("variant"), QStringLiteral("Aplica antes o conjunto de parâmetros de nome NOME."), QStringLiteral("nome"));
    QCommandLineOption period(QStringLiteral("period"),
                              QStringLiteral("Período: \"semana atual\", \"próxima semana\", \"semana atual + N\", \"mês atual\" ou \"dd/mm/aaaa a dd/mm/aaaa\"."),
                              QStringLiteral("periodo"));
    QCommandLineOption saveVariant(QStringLiteral("save-variant"), QStringLiteral("Grava as escolhas da execução como o conjunto NOME."), QStringLiteral("nome"));
    QCommandLineOption listVariants(QStringLiteral("list-variants"), QStringLiteral("Lista os conjuntos de parâmetros da tela."));
    parser.addOptions({config, open, modules, batch, report, set, save, dump, variant, period, saveVariant, listVariants});
    parser.process(app);

    try {
        Session::current().load(parser.value(config));
    } catch (const ESuiteError &e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        return 1;
    }

    ModuleLoader loader;
    if (parser.isSet(modules)) {
        try {
            loader.load(QStringLiteral("LPR07731"));
        } catch (const ESuiteError &e) {
            QTextStream(stderr) << e.message() << Qt::endl;
            return 1;
        }
        QTextStream out(stdout);
        for (const ModuleInfo &m : ModuleRegistry::modules())
            out << m.name << ' ' << m.version << ' ' << m.fileName << "\n  unidades: " << m.units.join(QStringLiteral(", "))
                << "\n  requer: " << m.requiredModules.join(QStringLiteral(", "))
                << "\n  recursos localizados: " << (m.resourceModule.isEmpty() ? QStringLiteral("(nenhum)") : m.resourceModule)
                << Qt::endl;
        return 0;
    }

    try {
        dtmDBGeral::open(Session::current().db);
    } catch (const ESuiteError &e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        if (parser.isSet(batch))
            return 1;
    }

    MainWindow window(loader);
    if (parser.isSet(batch)) {
        if (!parser.isSet(save) && !parser.isSet(saveVariant) && !parser.isSet(listVariants)) {
            QTextStream(stderr) << "suite: --batch precisa de --save ARQUIVO (ou --save-variant NOME, ou --list-variants)." << Qt::endl;
            return 1;
        }
        BatchOptions options;
        options.screen = parser.value(batch);
        options.variant = parser.value(variant);
        options.report = parser.value(report);
        options.saveFile = parser.value(save);
        options.saveVariant = parser.value(saveVariant);
        options.listVariants = parser.isSet(listVariants);
        options.dumpParams = parser.isSet(dump);
        if (parser.isSet(period)) {
            options.period = RelativePeriod::parse(parser.value(period));
            if (!options.period) {
                QTextStream(stderr) << "suite: período não reconhecido: " << parser.value(period) << Qt::endl;
                return 1;
            }
        }
        for (const QString &s : parser.values(set)) {
            const int eq = int(s.indexOf(QLatin1Char('=')));
            if (eq <= 0) {
                QTextStream(stderr) << "suite: --set espera CONTROLE=VALOR: " << s << Qt::endl;
                return 1;
            }
            options.settings.emplace_back(s.left(eq), s.mid(eq + 1));
        }
        return runBatch(window, options);
    }

    if (!dtmDBGeral::isOpen())
        guarded([] { throw ESuiteError(QStringLiteral("Banco de dados indisponível: %1").arg(Session::current().db.describe())); });
    window.show();
    if (parser.isSet(open))
        window.openScreen(parser.value(open), false);
    return app.exec();
}
