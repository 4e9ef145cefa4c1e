#include "ServerOptions.h"

#include <QCommandLineParser>

namespace {

QList<QCommandLineOption> serverOptions()
{
    return {
        {QStringLiteral("config"), QStringLiteral("Arquivo de sessão (banco de dados, porta e token)."),
         QStringLiteral("SESSAO.ini")},
        {QStringLiteral("check-config"),
         QStringLiteral("Confere o arquivo de sessão (token, certificado e chave, portas) e sai: 0 se pode ser usado."),
         QStringLiteral("SESSAO.ini")},
        {QStringLiteral("metrics"),
         QStringLiteral("Endereço das métricas e da saúde (HTTP), [ENDERECO:]PORTA; padrão: Metricas da seção "
                        "[ServidorAplicacao], no endereço 127.0.0.1 quando não dito. 0 escolhe uma porta livre."),
         QStringLiteral("ENDERECO:PORTA")},
        {QStringLiteral("host"),
         QStringLiteral("Endereço IP de escuta (padrão: Escuta da seção [ServidorAplicacao], ou 127.0.0.1)."),
         QStringLiteral("ENDERECO"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("port"), QStringLiteral("Porta de escuta (padrão: a da sessão; 0 escolhe uma livre)."),
         QStringLiteral("PORTA")},
        {QStringLiteral("idle-timeout"), QStringLiteral("Fecha conexões sem requisição por S segundos (padrão 300)."),
         QStringLiteral("S")},
        {QStringLiteral("hello-timeout"),
         QStringLiteral("Fecha conexões que não se identificam em S segundos (padrão 5)."), QStringLiteral("S")},
        {QStringLiteral("cache"),
         QStringLiteral("Reaproveita a lista de fornecedores por S segundos (padrão 10; 0 desliga)."),
         QStringLiteral("S")},
    };
}

// A number of seconds, when given, into `value`: from `least` to a day.
bool readSeconds(const QCommandLineParser &parser, const QString &name, int least, int &value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int v = parser.value(name).toInt(&ok);
    if (!ok || v < least || v > 24 * 3600)
        return false;
    value = v;
    return true;
}

} // namespace

int ServerOptions::portFor(int sessionPort, QString *error) const
{
    int value = sessionPort;
    if (portGiven) {
        bool ok = false;
        value = port.toInt(&ok);
        if (!ok)
            value = -1;
    }
    if (value >= 0 && value <= 65535)
        return value;
    *error = QStringLiteral("porta inválida: \"%1\". Informe um número de 0 a 65535.")
                 .arg(portGiven ? port : QString::number(sessionPort));
    return -1;
}

ServerCommandLine parseServerOptions(const QStringList &arguments)
{
    ServerCommandLine line;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Servidor de aplicação da Lista de Preços (objeto Lpr07700.rdmConsListaPreco)."));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addOptions(serverOptions());
    if (!parser.parse(arguments)) {
        line.error = parser.errorText();
        return line;
    }
    line.usage = parser.helpText();
    line.help = parser.isSet(help);
    ServerOptions &o = line.options;
    const bool check = parser.isSet(QStringLiteral("check-config"));
    if (check && parser.isSet(QStringLiteral("config")))
        line.error = QStringLiteral("informe --config ou --check-config, não os dois.");
    else if (!check && !parser.isSet(QStringLiteral("config")))
        line.error = QStringLiteral("informe o arquivo de sessão com --config SESSAO.ini.");
    else if (!readSeconds(parser, QStringLiteral("idle-timeout"), 1, o.idleSeconds))
        line.error = QStringLiteral("--idle-timeout inválido: informe segundos, de 1 a 86400.");
    else if (!readSeconds(parser, QStringLiteral("hello-timeout"), 1, o.helloSeconds))
        line.error = QStringLiteral("--hello-timeout inválido: informe segundos, de 1 a 86400.");
    else if (!readSeconds(parser, QStringLiteral("cache"), 0, o.cacheSeconds))
        line.error = QStringLiteral("--cache inválido: informe segundos, de 0 a 86400.");
    o.checkOnly = check;
    o.config = parser.value(check ? QStringLiteral("check-config") : QStringLiteral("config"));
    o.metrics = parser.value(QStringLiteral("metrics"));
    o.host = parser.value(QStringLiteral("host"));
    o.hostGiven = parser.isSet(QStringLiteral("host"));
    o.portGiven = parser.isSet(QStringLiteral("port"));
    o.port = parser.value(QStringLiteral("port"));
    return line;
}
