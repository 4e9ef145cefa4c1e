// Where parameter sets live: the user's files and the administrator's shared folder, what
// a damaged or foreign file is taken for, and what the screens may not write.
#include "errors/EAbort.h"
#include "sets/ParameterSetStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kScreen = QStringLiteral("LPR07731");

ParameterSet weekly(const QString &name = QStringLiteral("Semanal Curitiba"))
{
    ParameterSet set;
    set.name = name;
    set.screen = kScreen;
    set.report = QStringLiteral("Lista de Preços por Fornecedor");
    set.values = {{QStringLiteral("medCdFilial"), QStringLiteral("0002")},
                  {QStringLiteral("rbtListaForn"), QStringLiteral("S")},
                  {QStringLiteral("sbtFornecedor"), QStringLiteral("[\"000001\",\"0,3 \\\"x\\\"\"]")}};
    set.period = RelativePeriod::week(1);
    return set;
}

void writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString raised(const std::function<void()> &call)
{
    try {
        call();
    } catch (const ESuiteError &e) {
        return e.message();
    }
    return QString();
}

} // namespace

class tst_ParameterSetStore : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void savedSetReadsBack();
    void namesAFileCannotHold_data();
    void namesAFileCannotHold();
    void damagedFileIsNoSet_data();
    void damagedFileIsNoSet();
    void leftoverOfAnInterruptedWriteIsIgnored();
    void otherVersionLoadsWhatItCan();
    void sharedSetCannotBeWritten();
    void userSetComesBeforeSharedOne();
    void defaultFollowsRenameAndDelete();

private:
    std::unique_ptr<QTemporaryDir> m_user;
    std::unique_ptr<QTemporaryDir> m_shared;
    std::unique_ptr<ParameterSetStore> m_store;
};

void tst_ParameterSetStore::init()
{
    m_user = std::make_unique<QTemporaryDir>();
    m_shared = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<ParameterSetStore>(kScreen, m_user->path(), m_shared->path());
}

void tst_ParameterSetStore::savedSetReadsBack()
{
    m_store->save(weekly());
    QVERIFY(QFile::exists(m_user->path() + QStringLiteral("/LPR07731/Semanal Curitiba.json")));
    const QList<ParameterSet> sets = m_store->sets();
    QCOMPARE(sets.size(), 1);
    const ParameterSet &s = sets.first();
    QCOMPARE(s.name, QStringLiteral("Semanal Curitiba"));
    QCOMPARE(s.values, weekly().values); // a list of keys with a comma and quotes comes back whole
    QCOMPARE(s.report, weekly().report);
    QVERIFY(s.period && *s.period == RelativePeriod::week(1));
    QVERIFY(!s.shared);
    QVERIFY(s.skipped.isEmpty());
    // Saving again under the same name replaces it.
    ParameterSet changed = weekly();
    changed.values[QStringLiteral("medCdFilial")] = QStringLiteral("0003");
    m_store->save(changed);
    QCOMPARE(m_store->find(QStringLiteral("  Semanal   Curitiba "))->values.value(QStringLiteral("medCdFilial")),
             QStringLiteral("0003"));
    QCOMPARE(m_store->sets().size(), 1);
    QVERIFY(raised([&] { m_store->save(weekly(QStringLiteral("   "))); }).contains(QStringLiteral("nome")));
}

void tst_ParameterSetStore::namesAFileCannotHold_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::newRow("slash and colon") << QStringLiteral("Filial 1/2: semanal")
                                     << QStringLiteral("Filial 1%2F2%3A semanal.json");
    QTest::newRow("leading dot") << QStringLiteral(".oculto") << QStringLiteral("%2Eoculto.json");
    QTest::newRow("percent") << QStringLiteral("100% Curitiba") << QStringLiteral("100%25 Curitiba.json");
    QTest::newRow("accents stay") << QStringLiteral("Mês de Maringá") << QStringLiteral("Mês de Maringá.json");
}

void tst_ParameterSetStore::namesAFileCannotHold()
{
    QFETCH(QString, name);
    QFETCH(QString, file);
    QCOMPARE(ParameterSetStore::fileNameFor(name), file);
    m_store->save(weekly(name));
    QVERIFY(QFile::exists(m_store->userDir() + QLatin1Char('/') + file));
    QVERIFY(m_store->find(name).has_value());
}

void tst_ParameterSetStore::damagedFileIsNoSet_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("why");
    const QByteArray whole = weekly().toJson();
    QTest::newRow("cut short mid-write") << whole.left(whole.size() / 2) << QStringLiteral("incompleto ou danificado");
    QTest::newRow("cut before the last brace") << whole.left(whole.lastIndexOf('}')) << QStringLiteral("incompleto");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("incompleto");
    QTest::newRow("another JSON") << QByteArray("[1, 2, 3]") << QStringLiteral("não é um conjunto");
    QTest::newRow("without its name") << QByteArray(R"({"formato": 1, "tela": "LPR07731", "valores": {}})")
                                      << QStringLiteral("nome");
    QTest::newRow("another screen's") << QByteArray(R"({"formato": 1, "tela": "LPR09999", "nome": "Semanal Curitiba"})")
                                      << QStringLiteral("tela LPR09999");
}

void tst_ParameterSetStore::damagedFileIsNoSet()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, why);
    m_store->save(weekly(QStringLiteral("Mensal")));
    writeFile(m_store->userDir() + QStringLiteral("/Semanal Curitiba.json"), content);

    const QList<ParameterSet> sets = m_store->sets();
    QCOMPARE(sets.size(), 1); // the good one is still there
    QCOMPARE(sets.first().name, QStringLiteral("Mensal"));
    QCOMPARE(m_store->damaged().size(), 1);
    QVERIFY2(m_store->damaged().first().why.contains(why), qPrintable(m_store->damaged().first().why));
    // Asked for by name it is not "no such set": the person learns the file is damaged.
    const QString error = raised([&] { m_store->find(QStringLiteral("Semanal Curitiba")); });
    QVERIFY2(error.contains(QStringLiteral("não pôde ser lido")) && error.contains(why), qPrintable(error));
}

void tst_ParameterSetStore::leftoverOfAnInterruptedWriteIsIgnored()
{
    m_store->save(weekly());
    const QByteArray saved = readFile(m_store->userDir() + QStringLiteral("/Semanal Curitiba.json"));
    // What a write killed midway leaves: the previous file, and half a temporary beside it.
    writeFile(m_store->userDir() + QStringLiteral("/Semanal Curitiba.json.Xa81Qz"), saved.left(40));
    QCOMPARE(m_store->sets().size(), 1);
    QVERIFY(m_store->damaged().isEmpty());
    QCOMPARE(m_store->find(QStringLiteral("Semanal Curitiba"))->values, weekly().values);
}

void tst_ParameterSetStore::otherVersionLoadsWhatItCan()
{
    writeFile(m_store->userDir() + QStringLiteral("/Futuro.json"), R"({
        "formato": 3, "tela": "LPR07731", "nome": "Futuro",
        "valores": {"medCdFilial": "0002", "chkVariPreco": true, "speSemIni": 10, "novo": {"x": 1}},
        "periodo": {"tipo": "trimestre"},
        "cor": "azul"
    })");
    const std::optional<ParameterSet> set = m_store->find(QStringLiteral("Futuro"));
    QVERIFY(set);
    QCOMPARE(set->values.value(QStringLiteral("medCdFilial")), QStringLiteral("0002"));
    QCOMPARE(set->values.value(QStringLiteral("chkVariPreco")), QStringLiteral("S"));
    QCOMPARE(set->values.value(QStringLiteral("speSemIni")), QStringLiteral("10"));
    QVERIFY(!set->values.contains(QStringLiteral("novo")));
    QVERIFY(!set->period);
    const QString skipped = set->skipped.join(QLatin1Char('\n'));
    for (const char *part : {"formato 3", "'novo'", "'trimestre'", "\"cor\""})
        QVERIFY2(skipped.contains(QString::fromUtf8(part)), qPrintable(skipped));
    QCOMPARE(set->skipped.size(), 4);
}

void tst_ParameterSetStore::sharedSetCannotBeWritten()
{
    ParameterSetStore admin(kScreen, m_shared->path()); // how the administrator wrote it
    admin.save(weekly(QStringLiteral("Mensal Matriz")));
    const QString file = m_store->sharedDir() + QStringLiteral("/Mensal Matriz.json");
    const QByteArray before = readFile(file);
    QVERIFY(!before.isEmpty());

    const std::optional<ParameterSet> set = m_store->find(QStringLiteral("Mensal Matriz"));
    QVERIFY(set && set->shared);
    // The folder is writable here (an administrator's), and still the screens do not write it.
    for (const QString &error :
         {raised([&] { m_store->rename(QStringLiteral("Mensal Matriz"), QStringLiteral("Outro")); }),
          raised([&] { m_store->remove(QStringLiteral("Mensal Matriz")); })})
        QVERIFY2(error.contains(QStringLiteral("é compartilhado")) && error.contains(QStringLiteral("administrador")),
                 qPrintable(error));
    QCOMPARE(readFile(file), before);
    QVERIFY(!QFile::exists(m_store->sharedDir() + QStringLiteral("/Outro.json")));
    QVERIFY(!QDir(m_store->userDir()).exists());
}

void tst_ParameterSetStore::userSetComesBeforeSharedOne()
{
    ParameterSetStore(kScreen, m_shared->path()).save(weekly());
    ParameterSet own = weekly();
    own.values[QStringLiteral("medCdFilial")] = QStringLiteral("0007");
    m_store->save(own); // a copy of the shared set, changed: the user's own
    const QList<ParameterSet> sets = m_store->sets();
    QCOMPARE(sets.size(), 2);
    QVERIFY(!sets[0].shared && sets[1].shared);
    QCOMPARE(m_store->find(QStringLiteral("Semanal Curitiba"))->values.value(QStringLiteral("medCdFilial")),
             QStringLiteral("0007"));
    m_store->remove(QStringLiteral("Semanal Curitiba")); // the user's goes, the shared one stays
    QVERIFY(m_store->find(QStringLiteral("Semanal Curitiba"))->shared);
}

void tst_ParameterSetStore::defaultFollowsRenameAndDelete()
{
    m_store->save(weekly());
    m_store->save(weekly(QStringLiteral("Outro")));
    m_store->setDefaultName(QStringLiteral("Semanal Curitiba"));
    QVERIFY(raised([&] {
                m_store->rename(QStringLiteral("Semanal Curitiba"), QStringLiteral("Outro"));
            }).contains(QStringLiteral("Já existe")));
    m_store->rename(QStringLiteral("Semanal Curitiba"), QStringLiteral("Semanal Matriz"));
    QCOMPARE(m_store->defaultName(), QStringLiteral("Semanal Matriz"));
    QVERIFY(!m_store->find(QStringLiteral("Semanal Curitiba")));
    QCOMPARE(m_store->find(QStringLiteral("Semanal Matriz"))->values, weekly().values);
    m_store->remove(QStringLiteral("Semanal Matriz"));
    QCOMPARE(m_store->defaultName(), QString());
    QVERIFY(raised([&] { m_store->remove(QStringLiteral("Semanal Matriz")); }).contains(QStringLiteral("Não há")));
}

QTEST_MAIN(tst_ParameterSetStore)
#include "tst_parametersetstore.moc"
