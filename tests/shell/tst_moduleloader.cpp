#include "errors/EAbort.h"
#include "ModuleLoader.h"

#include <QTest>

// What the shell does with a module before it calls it: a module of this suite loads; one
// built against another libsuite, one without the suite's entries or one that needs what
// this libsuite lacks is refused with a message that says so, and never runs.
class tst_ModuleLoader : public QObject
{
    Q_OBJECT

private slots:
    void refused_data();
    void refused();
    void moduleOfThisSuiteLoads();
};

namespace {
QString fakeModule(const QString &flavour)
{
    return QStringLiteral(FAKE_MODULE_DIR "/libfake_%1.so").arg(flavour);
}
} // namespace

void tst_ModuleLoader::refused_data()
{
    QTest::addColumn<QString>("flavour");
    QTest::addColumn<QStringList>("said");

    QTest::newRow("built against another libsuite")
        << "othersuite" << QStringList{"versão 5.9.0 da biblioteca da suíte", "esta suíte usa a versão", "Instale"};
    QTest::newRow("without IniProc") << "noiniproc"
                                     << QStringList{"não é um módulo desta suíte", "faltam as entradas IniProc"};
    QTest::newRow("needs a function this libsuite lacks")
        << "missingsymbol" << QStringList{"Não foi possível carregar o módulo", "suiteFunctionThisLibsuiteLacks"};
}

void tst_ModuleLoader::refused()
{
    QFETCH(QString, flavour);
    QFETCH(QStringList, said);
    qputenv("FAKE_MODULE_MUST_NOT_RUN", "1");
    try {
        LoadedModule module(fakeModule(flavour));
        QFAIL("the module was accepted");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(fakeModule(flavour)), qPrintable(e.message()));
        for (const QString &part : said)
            QVERIFY2(e.message().contains(part), qPrintable(e.message()));
    }
    qunsetenv("FAKE_MODULE_MUST_NOT_RUN");
}

void tst_ModuleLoader::moduleOfThisSuiteLoads()
{
    LoadedModule module(fakeModule(QStringLiteral("good")));
    QCOMPARE(module.version(), QStringLiteral("1.02.003"));
}

QTEST_GUILESS_MAIN(tst_ModuleLoader)
#include "tst_moduleloader.moc"
