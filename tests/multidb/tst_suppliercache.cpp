// The application server keeps its supplier list while the data stays the same, and builds it
// again once a change is committed, on each database that offers a cheap change mark.
#include "data/Database.h"
#include "TestEnv.h"
#include "rdmConsListaPreco.h"

#include <QScopeGuard>
#include <QTest>

class tst_SupplierCache : public QObject
{
    Q_OBJECT
private slots:
    void listFollowsTheData_data();
    void listFollowsTheData();
};

void tst_SupplierCache::listFollowsTheData_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::newRow("sqlite") << SqlDialect::SQLite;
    QTest::newRow("postgresql") << SqlDialect::PostgreSQL;
    QTest::newRow("firebird") << SqlDialect::Firebird;
}

void tst_SupplierCache::listFollowsTheData()
{
    QFETCH(SqlDialect, dialect);
    std::unique_ptr<TestEnv> env =
        dialect == SqlDialect::SQLite ? std::make_unique<TestEnv>() : std::make_unique<TestEnv>(dialect);
    // The server reads as its own user, the one allowed to read Firebird's change mark.
    const QString connection = QStringLiteral("servidor");
    dtmDBGeral::openConnection(env->config(SchemaDdl::DbRole::AppServer), connection, true);
    const auto closeConnection = qScopeGuard([&connection] { QSqlDatabase::removeDatabase(connection); });
    rdmConsListaPreco module(connection);
    module.setCacheTime(30);
    const QByteArray first = module.GetFornecedor();
    QVERIFY(!module.dataVersion().isEmpty());
    QTest::qWait(80);
    QCOMPARE(module.GetFornecedor().constData(), first.constData()); // kept past its time limit

    env->exec(QStringLiteral("INSERT INTO FORNECEDOR (CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMFANTFORN, NMRAZSOCFORN)"
                             " VALUES ('999999', 'J', '11222333000181', 'Novo Cotado', 'Novo Cotado Ltda')"));
    env->exec(QStringLiteral("INSERT INTO COTACAO (NRCOTACAO, CDFILIAL, CDFORNECED, CDPRODUTO, CDOPERADOR, DTVALINI,"
                             " DTVALFIN, VRPRECO, PCIPI, PCDESCONTO) SELECT MAX(NRCOTACAO) + 1, '0001', '999999',"
                             " MIN(CDPRODUTO), MIN(CDOPERADOR), ?, ?, 1, 0, 0 FROM COTACAO"),
              {QDate(2026, 12, 1), QDate(2026, 12, 31)});
    QTest::qWait(80);
    const QString before = module.dataVersion();
    const QByteArray fresh = module.GetFornecedor();
    QVERIFY2(fresh.contains("Novo Cotado"), qPrintable(before + QLatin1Char(' ') + module.dataVersion()));
    QVERIFY(!first.contains("Novo Cotado"));
}

QTEST_MAIN(tst_SupplierCache)
#include "tst_suppliercache.moc"
