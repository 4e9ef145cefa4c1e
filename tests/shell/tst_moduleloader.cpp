#include "errors/EAbort.h"
#include "MainWindow.h"
#include "ModuleLoader.h"

#include "app/ModuleRegistry.h"

#include <QMenu>
#include <QTest>

// What the shell does with a module before it calls it: a module of this suite loads; one
// built against another libsuite, one without the suite's entries or one that needs what
// this libsuite lacks is refused with a message that says so, and never runs. A folder of
// modules loads whole but for the refused ones, and what the loaded ones declare through
// the module kit is what the shell opens and puts in its menu.
class tst_ModuleLoader : public QObject
{
    Q_OBJECT

private slots:
    void refused_data();
    void refused();
    void moduleOfThisSuiteLoads();
    void folderLoads_data();
    void folderLoads();
    void screenOpensByItsDeclaration_data();
    void screenOpensByItsDeclaration();
    void menuFromDeclarations_data();
    void menuFromDeclarations();

private:
    ModuleLoader m_folder;
    QList<ModuleLoader::Refusal> m_refused;
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

void tst_ModuleLoader::folderLoads_data()
{
    m_refused = m_folder.loadAll(QStringLiteral(FAKE_MODULE_DIR));
    QTest::addColumn<QString>("flavour");
    QTest::addColumn<QString>("why"); // empty: loaded

    QTest::newRow("of this suite") << "good" << QString();
    QTest::newRow("declared with the kit") << "kit" << QString();
    QTest::newRow("built against another libsuite") << "othersuite" << "versão 5.9.0";
    QTest::newRow("without IniProc") << "noiniproc" << "faltam as entradas IniProc";
    QTest::newRow("needs a function this libsuite lacks") << "missingsymbol" << "suiteFunctionThisLibsuiteLacks";
}

void tst_ModuleLoader::folderLoads()
{
    QFETCH(QString, flavour);
    QFETCH(QString, why);
    const auto refusal = std::find_if(m_refused.begin(), m_refused.end(),
                                      [&](const ModuleLoader::Refusal &r) { return r.file == fakeModule(flavour); });
    const bool loaded = std::any_of(m_folder.modules().begin(), m_folder.modules().end(),
                                    [&](const auto &m) { return m->fileName() == fakeModule(flavour); });
    QCOMPARE(loaded, why.isEmpty());
    QCOMPARE(refusal == m_refused.end(), why.isEmpty());
    if (!why.isEmpty())
        QVERIFY2(refusal->why.contains(why) && refusal->why.contains(fakeModule(flavour)), qPrintable(refusal->why));
}

void tst_ModuleLoader::screenOpensByItsDeclaration_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("modal");
    QTest::addColumn<QString>("opened"); // empty: refused

    QTest::newRow("child window") << "FAK00101" << false << "child";
    QTest::newRow("modal, code in lower case") << "fak00102" << true << "modal";
    QTest::newRow("no module offers it") << "LPR09999" << false << QString();
}

void tst_ModuleLoader::screenOpensByItsDeclaration()
{
    QFETCH(QString, code);
    QFETCH(bool, modal);
    QFETCH(QString, opened);
    qunsetenv("FAKE_SCREEN_OPENED");
    try {
        ModuleLoader::openScreen(code, modal);
        QCOMPARE(qEnvironmentVariable("FAKE_SCREEN_OPENED"), opened);
    } catch (const ESuiteError &e) {
        QVERIFY2(opened.isEmpty(), qPrintable(e.message()));
        // Says which screens there are.
        QVERIFY2(e.message().contains(code) && e.message().contains(QLatin1String("FAK00101, FAK00102")),
                 qPrintable(e.message()));
    }
}

void tst_ModuleLoader::menuFromDeclarations_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("menus"); // from the menu bar down

    QTest::newRow("submenu") << "actFAK00101" << QStringList{"&Estoque", "&Posições"};
    QTest::newRow("modal entry beside it") << "actFAK00101Modal" << QStringList{"&Estoque", "&Posições"};
    QTest::newRow("menu shared with another module") << "actFAK00102" << QStringList{"&Compras"};
}

void tst_ModuleLoader::menuFromDeclarations()
{
    QFETCH(QString, action);
    QFETCH(QStringList, menus);
    MainWindow window;
    auto *a = window.findChild<QAction *>(action);
    QVERIFY(a);
    QStringList path;
    for (auto *menu = qobject_cast<QMenu *>(a->parent()); menu; menu = qobject_cast<QMenu *>(menu->parent()))
        path.prepend(menu->title());
    QCOMPARE(path, menus);
}

QTEST_MAIN(tst_ModuleLoader)
#include "tst_moduleloader.moc"
