#include "ShellOptions.h"

#include <QCommandLineParser>
#include <QDir>

namespace {

QString defaultConfig()
{
    const QByteArray dataDir = qgetenv("SUITE_DATA_DIR");
    return QDir(dataDir.isEmpty() ? QStringLiteral("data") : QString::fromLocal8Bit(dataDir))
        .absoluteFilePath(QStringLiteral("suite.ini"));
}

QList<QCommandLineOption> shellOptions()
{
    return {
        {QStringLiteral("config"), QStringLiteral("Arquivo de sessão (INI)."), QStringLiteral("arquivo"),
         defaultConfig()},
        {QStringLiteral("open"), QStringLiteral("Abre a tela ao iniciar."), QStringLiteral("tela")},
        {QStringLiteral("modules"), QStringLiteral("Lista os módulos carregados e sai.")},
        {QStringLiteral("batch"), QStringLiteral("Emite o relatório da tela sem display."), QStringLiteral("tela")},
        {QStringLiteral("report"), QStringLiteral("Título do relatório (execução sem tela)."),
         QStringLiteral("titulo")},
        {QStringLiteral("set"), QStringLiteral("CONTROLE=VALOR, preenchido como uma pessoa faria."),
         QStringLiteral("atribuicao")},
        {QStringLiteral("save"), QStringLiteral("Arquivo a gravar (pdf, csv, xlsx, html)."), QStringLiteral("arquivo")},
        {QStringLiteral("dump-params"), QStringLiteral("Imprime em JSON os parâmetros que a consulta recebeu.")},
        {QStringLiteral("variant"), QStringLiteral("Aplica antes o conjunto de parâmetros de nome NOME."),
         QStringLiteral("nome")},
        {QStringLiteral("period"),
         QStringLiteral(
             "Período: \"semana atual\", \"próxima semana\", \"semana atual + N\", \"mês atual\" ou \"dd/mm/aaaa a dd/mm/aaaa\"; "
             "numa tela de uma data só: \"hoje\", \"hoje + N\", \"primeiro dia do mês\", \"último dia do mês\", "
             "\"último dia do mês anterior\" ou \"dd/mm/aaaa\"."),
         QStringLiteral("periodo")},
        {QStringLiteral("save-variant"), QStringLiteral("Grava as escolhas da execução como o conjunto NOME."),
         QStringLiteral("nome")},
        {QStringLiteral("list-variants"), QStringLiteral("Lista os conjuntos de parâmetros da tela.")},
        {QStringLiteral("design"),
         QStringLiteral("Abre a definição de relatório no editor de relatórios, com os valores padrão dos seus "
                        "parâmetros."),
         QStringLiteral("definicao")},
    };
}

// The display-less run's options; the error that refuses them, if any.
QString readBatch(const QCommandLineParser &parser, BatchOptions &options)
{
    if (!parser.isSet(QStringLiteral("save")) && !parser.isSet(QStringLiteral("save-variant"))
        && !parser.isSet(QStringLiteral("list-variants")))
        return QStringLiteral("suite: --batch precisa de --save ARQUIVO (ou --save-variant NOME, ou --list-variants).");
    options.screen = parser.value(QStringLiteral("batch"));
    options.variant = parser.value(QStringLiteral("variant"));
    options.report = parser.value(QStringLiteral("report"));
    options.saveFile = parser.value(QStringLiteral("save"));
    options.saveVariant = parser.value(QStringLiteral("save-variant"));
    options.listVariants = parser.isSet(QStringLiteral("list-variants"));
    options.dumpParams = parser.isSet(QStringLiteral("dump-params"));
    if (parser.isSet(QStringLiteral("period"))) {
        options.period = RelativePeriod::parse(parser.value(QStringLiteral("period")));
        if (!options.period)
            return QStringLiteral("suite: período não reconhecido: ") + parser.value(QStringLiteral("period"));
    }
    for (const QString &s : parser.values(QStringLiteral("set"))) {
        const int eq = int(s.indexOf(QLatin1Char('=')));
        if (eq <= 0)
            return QStringLiteral("suite: --set espera CONTROLE=VALOR: ") + s;
        options.settings.emplace_back(s.left(eq), s.mid(eq + 1));
    }
    return QString();
}

} // namespace

ShellCommandLine parseShellOptions(const QStringList &arguments)
{
    ShellCommandLine line;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Suíte de gestão: shell que carrega os módulos e abre suas telas."));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addOptions(shellOptions());
    if (!parser.parse(arguments)) {
        line.error = QStringLiteral("suite: ") + parser.errorText();
        return line;
    }
    line.usage = parser.helpText();
    line.help = parser.isSet(help) || parser.optionNames().contains(QStringLiteral("help-all"));
    ShellOptions &o = line.options;
    o.config = parser.value(QStringLiteral("config"));
    o.configGiven = parser.isSet(QStringLiteral("config"));
    o.open = parser.value(QStringLiteral("open"));
    o.listModules = parser.isSet(QStringLiteral("modules"));
    o.design = parser.value(QStringLiteral("design"));
    if (parser.isSet(QStringLiteral("batch")) && !o.listModules) {
        BatchOptions batch;
        line.error = readBatch(parser, batch);
        o.batch = batch;
    }
    return line;
}

bool headlessRun(const QStringList &arguments)
{
    for (const QString &a : arguments.mid(1))
        if (a == QLatin1String("--batch") || a == QLatin1String("--modules") || a == QLatin1String("--help")
            || a == QLatin1String("-h"))
            return true;
    return false;
}
