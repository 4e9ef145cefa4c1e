// The shell as an administrator and a display-less run use it: the module list and the
// batch issue of the price list, refusals included.
#include "form/FormFixture.h"

#include "validation/Consiste.h"
#include "report/SyntheticReports.h"
#include "app/Session.h"
#include "text/ListString.h"
#include "sets/RelativePeriod.h"
#include "validation/Zelmora.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <Lpr07731Version.h>

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run suite(const QStringList &args)
{
    QProcess p;
    p.setProgram(QString::fromLocal8Bit(qgetenv("SUITE_BIN_DIR")) + QStringLiteral("/suite"));
    p.setArguments(args);
    p.start();
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QJsonObject paramsOf(const QString &out)
{
    for (const QString &line : out.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1Char('{')))
            return QJsonDocument::fromJson(line.toUtf8()).object();
    return {};
}

QString value(const QJsonObject &params, const char *name)
{
    return params.value(QLatin1String(name)).toObject().value(QStringLiteral("value")).toString();
}

} // namespace

class tst_Shell : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void modulesListed();
    void batchIssuesTheDefaultList();
    void batchSetsControlsThroughTheirValidations();
    void batchRefusalPrintsTheMessage_data();
    void batchRefusalPrintsTheMessage();
    void batchTakesWhatAPersonTypes();
    void batchSavesAndAppliesAVariant();
    void batchVariantRefusal_data();
    void batchVariantRefusal();
    void controlAPersonCannotReachIsRefused_data();
    void controlAPersonCannotReachIsRefused();
    void batchStopsOnASignal_data();
    void batchStopsOnASignal();
    void noDisplaySaysSo();
    void localizedResourceModuleTakesPrecedence();

private:
    std::unique_ptr<FormFixture> m_fixture;
    QString m_ini;
};

void tst_Shell::initTestCase()
{
    m_fixture = std::make_unique<FormFixture>();
    m_ini = m_fixture->env.dir() + QStringLiteral("/suite.ini");
    Session::current().save(m_ini);
    // The runs keep their parameter sets in a folder of the test, not the person's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_fixture->env.dir() + QStringLiteral("/config")));
    // One of the user's reports cut short: listed by its file's name, its title unread.
    const QString own = m_fixture->env.dir() + QStringLiteral("/config/Suite/relatorios");
    QVERIFY(QDir().mkpath(own));
    QFile broken(own + QStringLiteral("/LPR077-99-quebrado.json"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("{\"code\": \"LPR077\", \"title\": \"Minha lista\", \"columns\": [");
}

void tst_Shell::cleanupTestCase()
{
    m_fixture.reset();
}

void tst_Shell::modulesListed()
{
    const Run r = suite({QStringLiteral("--config"), m_ini, QStringLiteral("--modules")});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(QLatin1String("Lpr07731 " LPR07731_VERSION)), qPrintable(r.out));
    QVERIFY(r.out.contains(QLatin1String("Cli_Lpr07731")));
    QVERIFY2(r.out.contains(QStringLiteral("telas: LPR07731 (Compras > Emissão da Lista de Preços)")), qPrintable(r.out));
}

void tst_Shell::batchIssuesTheDefaultList()
{
    const QString file = m_fixture->env.dir() + QStringLiteral("/lista.csv");
    const Run r = suite({QStringLiteral("--config"), m_ini, QStringLiteral("--batch"), QStringLiteral("LPR07731"),
                         QStringLiteral("--save"), file, QStringLiteral("--dump-params")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(QFile::exists(file));
    const QJsonObject params = paramsOf(r.out);
    QCOMPARE(value(params, "P_CDFILIAL"), QStringLiteral("0001"));
    QCOMPARE(value(params, "L_LISTAFORNE"), QStringLiteral("T"));
    QCOMPARE(value(params, "P_SISTEMA"), QStringLiteral("CMP"));
    QCOMPARE(params.value(QStringLiteral("P_DTINI")).toObject().value(QStringLiteral("type")).toString(),
             QStringLiteral("date"));
    QVERIFY(r.out.contains(QStringLiteral("Relatório salvo em")));
}

void tst_Shell::batchSetsControlsThroughTheirValidations()
{
    const QString file = m_fixture->env.dir() + QStringLiteral("/lista2.csv");
    const Run r = suite({QStringLiteral("--config"),     m_ini,
                         QStringLiteral("--batch"),      QStringLiteral("LPR07731"),
                         QStringLiteral("--report"),     QStringLiteral("Lista de Preços por Fornecedor"),
                         QStringLiteral("--set"),        QStringLiteral("medCdFilial=2"),
                         QStringLiteral("--set"),        QStringLiteral("speSemIni=10"),
                         QStringLiteral("--set"),        QStringLiteral("speSemFin=12"),
                         QStringLiteral("--set"),        QStringLiteral("rbtListaForn=1"),
                         QStringLiteral("--set"),        QStringLiteral("sbtFornecedor=000001,000003"),
                         QStringLiteral("--set"),        QStringLiteral("chbFornecedor=1"),
                         QStringLiteral("--save"),       file,
                         QStringLiteral("--dump-params")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QJsonObject params = paramsOf(r.out);
    QCOMPARE(value(params, "P_CDFILIAL"), QStringLiteral("0002")); // adjusted on exit
    QCOMPARE(value(params, "P_CDFILCENTCMP"), QStringLiteral("0001"));
    QCOMPARE(value(params, "P_PAGINA"), QStringLiteral("T"));
    QCOMPARE(ListString::decode(value(params, "L_LISTAFORNE1")),
             (QStringList{QStringLiteral("000001"), QStringLiteral("000003")}));
    const int year = QDate::fromString(value(params, "P_DTINI"), QStringLiteral("dd/MM/yyyy")).year();
    QCOMPARE(value(params, "P_DTINI"),
             Consiste::DataSemana(10, QLatin1Char('I'), year).toString(QStringLiteral("dd/MM/yyyy")));
    QCOMPARE(value(params, "P_DTFIN"),
             Consiste::DataSemana(12, QLatin1Char('F'), year).toString(QStringLiteral("dd/MM/yyyy")));
}

void tst_Shell::batchRefusalPrintsTheMessage_data()
{
    QTest::addColumn<QStringList>("sets");
    QTest::addColumn<QString>("message");
    QTest::newRow("rescinded branch") << QStringList{QStringLiteral("medCdFilial=0004")}
                                      << QStringLiteral("Filial com contrato rescindido.");
    QTest::newRow("empty branch") << QStringList{QStringLiteral("medCdFilial=")}
                                  << QStringLiteral("Filial deve ser informada.");
    QTest::newRow("supplier list not picked")
        << QStringList{QStringLiteral("rbtListaForn=1")} << QStringLiteral("Fornecedor deve ser informado.");
    QTest::newRow("unknown control") << QStringList{QStringLiteral("medNaoExiste=1")}
                                     << QStringLiteral("'medNaoExiste' não existe");
    // What the controls would change without a word is refused.
    QTest::newRow("a character the mask drops")
        << QStringList{QStringLiteral("medCdFilial=00@1")}
        << QStringLiteral("Valor '00@1' recusado para medCdFilial: o caractere '@' não cabe na posição 3");
    // Fullwidth digits look like digits and are not: they sort apart from every code stored.
    QTest::newRow("fullwidth digits in a product code")
        << QStringList{QStringLiteral("medCdProdIni=\uFF10\uFF11.001.0001")}
        << QStringLiteral("recusado para medCdProdIni: o caractere '\uFF10' não cabe na posição 1");
    QTest::newRow("another script's letter in a branch")
        << QStringList{QStringLiteral("medCdFilial=00\u0391\u0392")}
        << QStringLiteral("recusado para medCdFilial: o caractere '\u0391' não cabe na posição 3");
    QTest::newRow("a code longer than the mask")
        << QStringList{QStringLiteral("medCdFilial=00012")}
        << QStringLiteral("Valor '00012' recusado para medCdFilial: '00012' tem mais caracteres");
    QTest::newRow("a week past the range")
        << QStringList{QStringLiteral("speSemIni=99999999999")}
        << QStringLiteral("Valor '99999999999' recusado para speSemIni: está fora do intervalo de 1 a 53");
    QTest::newRow("a week that is no number")
        << QStringList{QStringLiteral("speSemFin=dez")}
        << QStringLiteral("Valor 'dez' recusado para speSemFin: não é um número inteiro");
    QTest::newRow("a date with trailing text")
        << QStringList{QStringLiteral("depDataIni=15/01/2027xyz")}
        << QStringLiteral("Valor '15/01/2027xyz' recusado para depDataIni: não é uma data no formato dd/mm/aaaa");
    QTest::newRow("a key the list does not have")
        << QStringList{QStringLiteral("rbtListaForn=1"), QStringLiteral("sbtFornecedor=000001,999999")}
        << QStringLiteral("A chave não está na lista \"Fornecedor cotado\": 999999");
    QTest::newRow("an option unchecked") << QStringList{QStringLiteral("rbtListaForn=N")}
                                         << QStringLiteral("um botão de opção só é marcado");
    QTest::newRow("a yes/no that is neither")
        << QStringList{QStringLiteral("chbFornecedor=talvez")} << QStringLiteral("use S ou N");
    // A report not in the list: and why a definition there cannot be read.
    QTest::newRow("why a listed definition cannot be read")
        << QStringList{QStringLiteral("--report=Minha lista")}
        << QStringLiteral("LPR077-99-quebrado.json' é inválida: erro de sintaxe");
}

void tst_Shell::batchTakesWhatAPersonTypes()
{
    const QString file = m_fixture->env.dir() + QStringLiteral("/lista3.csv");
    const Run r =
        suite({QStringLiteral("--config"), m_ini, QStringLiteral("--batch"), QStringLiteral("LPR07731"),
               QStringLiteral("--set"), QStringLiteral("medCdFilial=2"), QStringLiteral("--set"),
               QStringLiteral("depDataIni=15/01/27"), QStringLiteral("--set"), QStringLiteral("depDataFin=31/01/2027"),
               QStringLiteral("--set"), QStringLiteral("chbFornecedor=N"), QStringLiteral("--save"), file,
               QStringLiteral("--dump-params")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QJsonObject params = paramsOf(r.out);
    // A two-digit year is read in the 50-year window (this holds until 2075).
    QCOMPARE(value(params, "P_DTINI"), QStringLiteral("15/01/2027"));
    QCOMPARE(value(params, "P_DTFIN"), QStringLiteral("31/01/2027"));
    QCOMPARE(value(params, "P_CDFILIAL"), QStringLiteral("0002"));
}

void tst_Shell::batchRefusalPrintsTheMessage()
{
    QFETCH(QStringList, sets);
    QFETCH(QString, message);
    const QString file = m_fixture->env.dir() + QStringLiteral("/recusada.pdf");
    QStringList args{QStringLiteral("--config"), m_ini, QStringLiteral("--batch"), QStringLiteral("LPR07731")};
    for (const QString &s : sets)
        if (s.startsWith(QLatin1String("--")))
            args << s.section(QLatin1Char('='), 0, 0) << s.section(QLatin1Char('='), 1);
        else
            args << QStringLiteral("--set") << s;
    args << QStringLiteral("--save") << file;
    const Run r = suite(args);
    QVERIFY(r.code != 0);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(!QFile::exists(file));
}

// What a run was given, stored under a name, gives the next run the same parameters; the
// period stored is the relative one, resolved against the branch's processing date.
void tst_Shell::batchSavesAndAppliesAVariant()
{
    const QStringList base{QStringLiteral("--config"), m_ini, QStringLiteral("--batch"), QStringLiteral("LPR07731")};
    const Run given = suite(
        base
        + QStringList{QStringLiteral("--set"), QStringLiteral("medCdFilial=0002"), QStringLiteral("--set"),
                      QStringLiteral("rbtListaForn=S"), QStringLiteral("--set"),
                      QStringLiteral("sbtFornecedor=000001,000003"), QStringLiteral("--set"),
                      QStringLiteral("chkVariPreco=S"), QStringLiteral("--period"), QStringLiteral("próxima semana"),
                      QStringLiteral("--save-variant"), QStringLiteral("Semanal Curitiba"), QStringLiteral("--save"),
                      m_fixture->env.dir() + QStringLiteral("/dada.csv"), QStringLiteral("--dump-params")});
    QVERIFY2(given.code == 0, qPrintable(given.err));
    QVERIFY(given.out.contains(QStringLiteral("Conjunto \"Semanal Curitiba\" gravado")));

    const QString file = m_fixture->env.dir() + QStringLiteral("/semanal.csv");
    const Run byName = suite(base
                             + QStringList{QStringLiteral("--variant"), QStringLiteral("Semanal Curitiba"),
                                           QStringLiteral("--save"), file, QStringLiteral("--dump-params")});
    QVERIFY2(byName.code == 0, qPrintable(byName.err));
    QVERIFY(QFile::exists(file));
    QCOMPARE(paramsOf(byName.out), paramsOf(given.out));
    const QDate today = Zelmora::DataProc(QStringLiteral("0002"));
    QCOMPARE(value(paramsOf(byName.out), "P_DTINI"),
             RelativePeriod::week(1).resolvedFrom(today).toString(QStringLiteral("dd/MM/yyyy")));
    QCOMPARE(value(paramsOf(byName.out), "P_CDFILIAL"), QStringLiteral("0002"));

    const Run list = suite(base + QStringList{QStringLiteral("--list-variants")});
    QCOMPARE(list.code, 0);
    QVERIFY2(list.out.contains(QStringLiteral("Semanal Curitiba  (próxima semana; do usuário)")), qPrintable(list.out));
}

void tst_Shell::batchStopsOnASignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
    // Nothing of the client is left to cancel: the server's own limit ends the statement.
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void tst_Shell::batchStopsOnASignal()
{
    QFETCH(int, signal);
    const SqlDialect dialect = m_fixture->env.dialect();
    if (signal == SIGKILL && dialect != SqlDialect::PostgreSQL)
        QSKIP("only PostgreSQL ends by itself a statement whose client died");
    const int limit = signal == SIGKILL ? 8 : 60;
    QTemporaryDir reports;
    ReportDefinition endless = SyntheticReports::endless(QStringLiteral("Consulta sem fim"));
    endless.code = QStringLiteral("LPR077");
    SyntheticReports::save(endless, reports.path(), QStringLiteral("LPR077-91.json"));
    Session session = Session::current();
    session.reportDir = reports.path();
    const QString ini = reports.filePath(QStringLiteral("suite.ini"));
    session.save(ini);
    QSettings(ini, QSettings::IniFormat).setValue(QStringLiteral("Relatorios/TempoLimite"), limit);

    auto reportSessions = [this] {
        QSqlQuery q(m_fixture->env.writable());
        return q.exec(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE usename = '%1'")
                          .arg(Session::current().reportUser))
                       && q.next()
                   ? q.value(0).toInt()
                   : -1;
    };
    const QString file = reports.filePath(QStringLiteral("sem-fim.csv"));
    QProcess p;
    p.setProgram(QString::fromLocal8Bit(qgetenv("SUITE_BIN_DIR")) + QStringLiteral("/suite"));
    p.setArguments({QStringLiteral("--config"), ini, QStringLiteral("--batch"), QStringLiteral("LPR07731"),
                    QStringLiteral("--report"), QStringLiteral("Consulta sem fim"), QStringLiteral("--save"), file});
    p.start();
    QVERIFY(p.waitForStarted());
    // Past the screen's opening, into the statement.
    if (dialect == SqlDialect::PostgreSQL)
        QTRY_COMPARE_WITH_TIMEOUT(reportSessions(), 1, 20000);
    else
        QTest::qWait(3000);
    QVERIFY(p.state() == QProcess::Running);
    QElapsedTimer stopping;
    stopping.start();
    ::kill(pid_t(p.processId()), signal);
    QVERIFY(p.waitForFinished(10000));
    if (signal == SIGKILL) {
        QTRY_COMPARE_WITH_TIMEOUT(reportSessions(), 0, (limit + 2) * 1000);
    } else {
        QVERIFY2(stopping.elapsed() < 5000, "the run did not stop at once");
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 128 + signal);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("Emissão interrompida pelo sinal")), qPrintable(err));
        if (dialect == SqlDialect::PostgreSQL)
            QTRY_COMPARE_WITH_TIMEOUT(reportSessions(), 0, 5000);
    }
    QVERIFY(!QFile::exists(file));
}

void tst_Shell::batchVariantRefusal_data()
{
    QTest::addColumn<QByteArray>("set"); // the file of the set "Antigo"; empty: none
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("a branch now rescinded")
        << QByteArray(R"({"formato": 1, "tela": "LPR07731", "nome": "Antigo", "valores": {"medCdFilial": "0004"}})")
        << 2
        << QStringList{QStringLiteral("• Filial 0004: Filial com contrato rescindido."),
                       QStringLiteral("Nada foi gravado.")};
    QTest::newRow("cut short") << QByteArray(R"({"formato": 1, "tela": "LPR07731", "nome": "Antigo", "val)") << 1
                               << QStringList{QStringLiteral("incompleto ou danificado")};
    QTest::newRow("no such set") << QByteArray() << 1 << QStringList{QStringLiteral("--list-variants")};
}

void tst_Shell::batchVariantRefusal()
{
    QFETCH(QByteArray, set);
    QFETCH(int, code);
    QFETCH(QStringList, messages);
    const QString folder = m_fixture->env.dir() + QStringLiteral("/config/Suite/conjuntos/LPR07731");
    QVERIFY(QDir().mkpath(folder));
    QFile f(folder + QStringLiteral("/Antigo.json"));
    if (!set.isEmpty()) {
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(set);
        f.close();
    }
    const QString file = m_fixture->env.dir() + QStringLiteral("/antigo.pdf");
    const Run r = suite({QStringLiteral("--config"), m_ini, QStringLiteral("--batch"), QStringLiteral("LPR07731"),
                         QStringLiteral("--variant"), QStringLiteral("Antigo"), QStringLiteral("--save"), file});
    f.remove();
    QCOMPARE(r.code, code);
    for (const QString &m : messages)
        QVERIFY2(r.err.contains(m), qPrintable(r.err));
    QVERIFY(!QFile::exists(file));
}

void tst_Shell::controlAPersonCannotReachIsRefused_data()
{
    QTest::addColumn<bool>("tied");   // the session is tied to its branch
    QTest::addColumn<int>("module");  // the session's module
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("reason"); // empty: taken
    QTest::newRow("branch of a session tied to it")
        << true << 4 << QStringLiteral("medCdFilial") << QStringLiteral("0002") << QStringLiteral("desabilitado");
    QTest::newRow("pricing order outside module 34")
        << false << 4 << QStringLiteral("chkOrdPrPI") << QStringLiteral("S") << QStringLiteral("não aparece na tela");
    QTest::newRow("supplier list with the group on Todos")
        << false << 4 << QStringLiteral("sbtFornecedor") << QStringLiteral("000001")
        << QStringLiteral("\"Lista\" marcada");
    QTest::newRow("pricing order in module 34") << false << 34 << QStringLiteral("chkOrdPrPI") << QStringLiteral("S")
                                                << QString();
}

// What a person could not reach on the screen (a disabled or hidden control, a picker
// whose group is on "Todos") is refused with the reason, given on the command line or
// in a parameter set, and nothing is written.
void tst_Shell::controlAPersonCannotReachIsRefused()
{
    QFETCH(bool, tied);
    QFETCH(int, module);
    QFETCH(QString, control);
    QFETCH(QString, given);
    QFETCH(QString, reason);
    Session session = Session::current();
    session.vinculadoFilial = tied;
    session.modulo = module;
    const QString ini = m_fixture->env.dir() + QStringLiteral("/alcance.ini");
    session.save(ini);
    const QString folder = m_fixture->env.dir() + QStringLiteral("/config/Suite/conjuntos/LPR07731");
    QVERIFY(QDir().mkpath(folder));
    QFile set(folder + QStringLiteral("/Alcance.json"));
    QVERIFY(set.open(QIODevice::WriteOnly));
    const QJsonValue inSet = control.startsWith(QLatin1String("sbt")) ? QJsonValue(QJsonArray{given}) : given;
    set.write(QJsonDocument(QJsonObject{{QStringLiteral("formato"), 1},
                                        {QStringLiteral("tela"), QStringLiteral("LPR07731")},
                                        {QStringLiteral("nome"), QStringLiteral("Alcance")},
                                        {QStringLiteral("valores"), QJsonObject{{control, inSet}}}})
                  .toJson());
    set.close();

    const QString file = m_fixture->env.dir() + QStringLiteral("/alcance.csv");
    // Outside module 4 the dates start blank: a period makes the run complete.
    const QStringList base{QStringLiteral("--config"), ini,          QStringLiteral("--batch"), QStringLiteral("LPR07731"),
                           QStringLiteral("--period"), QStringLiteral("semana atual")};
    const QStringList ways[] = {{QStringLiteral("--set"), control + QLatin1Char('=') + given},
                                {QStringLiteral("--variant"), QStringLiteral("Alcance")}};
    for (const QStringList &way : ways) {
        QFile::remove(file);
        const Run r = suite(base + way + QStringList{QStringLiteral("--save"), file, QStringLiteral("--dump-params")});
        if (reason.isEmpty()) {
            QVERIFY2(r.code == 0, qPrintable(r.err));
            QCOMPARE(value(paramsOf(r.out), "P_ORDPI"), QStringLiteral("S"));
            continue;
        }
        QVERIFY2(r.code == 2, qPrintable(way.join(' ') + QLatin1Char('\n') + r.err));
        QVERIFY2(r.err.contains(reason), qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("Nada foi gravado.")));
        QVERIFY(!QFile::exists(file));
    }
    set.remove();
}

void tst_Shell::noDisplaySaysSo()
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(QString::fromLocal8Bit(qgetenv("SUITE_BIN_DIR")) + QStringLiteral("/suite"),
            {QStringLiteral("--config"), m_ini});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()).trimmed().count(QLatin1Char('\n')), 0); // one line
}

// A resource module beside the module file, named after it and the user's locale, supplies
// the screen's texts.
void tst_Shell::localizedResourceModuleTakesPrecedence()
{
    const QString bin = QString::fromLocal8Bit(qgetenv("SUITE_BIN_DIR"));
    const QString dir = m_fixture->env.dir() + QStringLiteral("/localizado");
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/src")));
    for (const QString &f : {QStringLiteral("suite"), QStringLiteral("libLpr07731.so")})
        QVERIFY(QFile::copy(bin + QLatin1Char('/') + f, dir + QLatin1Char('/') + f));
    QFile::setPermissions(dir + QStringLiteral("/suite"), QFile::permissions(bin + QStringLiteral("/suite")));

    QFile original(TestEnv::sourceDir() + QStringLiteral("/package/resources/messages.txt"));
    QVERIFY(original.open(QIODevice::ReadOnly));
    QByteArray messages = original.readAll();
    messages.replace("FILI_RESC|Filial com contrato rescindido.",
                     "FILI_RESC|Contrato da filial rescindido (texto local).");
    QFile copy(dir + QStringLiteral("/src/messages.txt"));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(messages);
    copy.close();
    QFile qrc(dir + QStringLiteral("/src/loc.qrc"));
    QVERIFY(qrc.open(QIODevice::WriteOnly));
    qrc.write("<RCC><qresource prefix=\"/\"><file>messages.txt</file></qresource></RCC>");
    qrc.close();
    QCOMPARE(QProcess::execute(QStringLiteral("/usr/lib/qt6/libexec/rcc"),
                               {QStringLiteral("-binary"), dir + QStringLiteral("/src/loc.qrc"), QStringLiteral("-o"),
                                dir + QStringLiteral("/libLpr07731.pt_BR.rcc")}),
             0);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("pt_BR.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(dir + QStringLiteral("/suite"), {QStringLiteral("--config"), m_ini, QStringLiteral("--modules")});
    QVERIFY(p.waitForFinished(60000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("libLpr07731.pt_BR.rcc")), qPrintable(out));

    p.start(dir + QStringLiteral("/suite"),
            {QStringLiteral("--config"), m_ini, QStringLiteral("--batch"), QStringLiteral("LPR07731"),
             QStringLiteral("--set"), QStringLiteral("medCdFilial=0004"), QStringLiteral("--save"),
             dir + QStringLiteral("/x.pdf")});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY(QString::fromUtf8(p.readAllStandardError())
                .contains(QStringLiteral("Contrato da filial rescindido (texto local).")));
}

QTEST_MAIN(tst_Shell)
#include "tst_shell.moc"
