// The query component, its parameters and the binding of values (never spliced into SQL).
#include "data/Database.h"
#include "errors/EAbort.h"
#include "text/ListString.h"
#include "data/Qrddlgs.h"
#include "data/SqlBinding.h"
#include "data/TADOIBQuery.h"
#include "TestEnv.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

class tst_QueryComponent : public QObject
{
    Q_OBJECT
private slots:
    void paramAssignmentRules();
    void parameterNamesSkipLiteralsCommentsAndCasts();
    void listParameterExpandsInsideInOnly_data();
    void listParameterExpandsInsideInOnly();
    void longListTravelsAsOneValue();
    void queryLifecycle();
    void dialectVariantChosen();
    void locateOnBigResult();
    void generalConnectionIsReadOnly();
    void missingDatabaseNamesIt();
};

void tst_QueryComponent::paramAssignmentRules()
{
    TParams params;
    TParam &declared = params.CreateParam(QStringLiteral("P_DTINI"), TFieldType::ftDate);
    declared.setValue(QStringLiteral("07/12/2026"));
    QCOMPARE(declared.DataType(), TFieldType::ftDate); // a variant keeps the declared type
    QCOMPARE(declared.boundValue().toDate(), QDate(2026, 12, 7));

    TParam &undeclared = params.CreateParam(QStringLiteral("P_X"));
    undeclared.setValue(QStringLiteral("A"));
    QCOMPARE(undeclared.DataType(), TFieldType::ftString);

    TParam &asDate = params.CreateParam(QStringLiteral("P_Y"), TFieldType::ftString);
    asDate.setAsDate(QDate(2026, 1, 2));
    QCOMPARE(asDate.DataType(), TFieldType::ftDate);
    asDate.setAsString(QStringLiteral("x"));
    QCOMPARE(asDate.DataType(), TFieldType::ftString);

    QVERIFY(Qrddlgs::ExistParam(params, QStringLiteral("P_DTINI")));
    QVERIFY(!Qrddlgs::ExistParam(params, QStringLiteral("P_DTFIN")));
    QVERIFY_THROWS_EXCEPTION(ESuiteError, params.ParamByName(QStringLiteral("P_DTFIN")));
}

void tst_QueryComponent::parameterNamesSkipLiteralsCommentsAndCasts()
{
    const QString sql =
        QStringLiteral("SELECT ':NAO' AS A, x::text -- :COMENTARIO\n"
                       "FROM T /* :BLOCO */ WHERE A = :P_UM AND (B = :P_DOIS OR :P_UM = 'T') AND C = \"col:X\"");
    QCOMPARE(PreparedSql::parameterNames(sql), (QStringList{QStringLiteral("P_UM"), QStringLiteral("P_DOIS")}));

    TParams params;
    params.CreateParam(QStringLiteral("P_UM")).setValue(QStringLiteral("'; DROP TABLE T; --"));
    params.CreateParam(QStringLiteral("P_DOIS")).setValue(QStringLiteral("2"));
    const PreparedSql p = PreparedSql::prepare(sql, params, SqlDialect::SQLite);
    QVERIFY(!p.text.contains(QLatin1String("DROP")));
    QCOMPARE(p.values.size(), 3);
    QCOMPARE(p.values.at(0).toString(), QStringLiteral("'; DROP TABLE T; --"));
}

void tst_QueryComponent::listParameterExpandsInsideInOnly_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("elements");
    QTest::newRow("all") << "T" << 1;
    QTest::newRow("nothing picked") << "" << 0;
    QTest::newRow("picked") << ListString::encode({QStringLiteral("A,B"), QStringLiteral("O'C")}) << 2;
}

void tst_QueryComponent::listParameterExpandsInsideInOnly()
{
    QFETCH(QString, list);
    QFETCH(int, elements);
    TParams params;
    params.CreateParam(QStringLiteral("L_LISTA")).setAsString(list);
    params.CreateParam(QStringLiteral("L_LISTA1")).setAsString(list);
    const PreparedSql p = PreparedSql::prepare(QStringLiteral("SELECT 1 WHERE (:L_LISTA = 'T' OR X IN ( :L_LISTA1 ))"),
                                               params, SqlDialect::SQLite);
    // The test outside IN gets the list string itself, the IN one value per element.
    QCOMPARE(p.values.size(), 1 + elements);
    QCOMPARE(p.values.at(0).toString(), list);
    if (elements == 0)
        QVERIFY(p.text.contains(QLatin1String("IN ( NULL )")));
}

void tst_QueryComponent::longListTravelsAsOneValue()
{
    TestEnv env;
    QStringList keys;
    for (int i = 0; i < 5000; ++i)
        keys << QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
    keys << QStringLiteral("000012");
    TParams params;
    params.CreateParam(QStringLiteral("L_F")).setAsString(ListString::encode(keys));
    const PreparedSql p = PreparedSql::prepare(
        QStringLiteral("SELECT COUNT(*) FROM FORNECEDOR WHERE CDFORNECED IN (:L_F)"), params, SqlDialect::SQLite);
    QCOMPARE(p.values.size(), 1);
    QSqlQuery q(dtmDBGeral::dtbGeral());
    p.exec(q);
    QVERIFY(q.next());
    QSqlQuery all(dtmDBGeral::dtbGeral());
    QVERIFY(all.exec(QStringLiteral("SELECT COUNT(*) FROM FORNECEDOR WHERE CAST(CDFORNECED AS INTEGER) < 5000")));
    QVERIFY(all.next());
    QCOMPARE(q.value(0).toInt(), all.value(0).toInt());
}

void tst_QueryComponent::queryLifecycle()
{
    TestEnv env;
    TADOIBQuery q;
    q.SQL = QStringList{QStringLiteral("SELECT CDFILIAL, NMFILIAL FROM FILIAL WHERE CDFILIAL = :P_CDFILIAL")};
    q.DeclareParam(QStringLiteral("P_CDFILIAL"), TFieldType::ftString);
    q.AddField(QStringLiteral("CDFILIAL"), 4);
    q.AddField(QStringLiteral("NMFILIAL"), 30);
    QVERIFY(!q.Active());
    QCOMPARE(q.FieldByName(QStringLiteral("NMFILIAL")).AsString(), QString());

    q.ParamByName(QStringLiteral("P_CDFILIAL")).setValue(QStringLiteral("0001"));
    q.Open();
    QVERIFY(!q.IsEmpty());
    QCOMPARE(q.FieldByName(QStringLiteral("CDFILIAL")).AsString(), QStringLiteral("0001"));
    QVERIFY(!q.FieldByName(QStringLiteral("NMFILIAL")).AsString().isEmpty());

    q.Close();
    q.ParamByName(QStringLiteral("P_CDFILIAL")).setValue(QStringLiteral("ZZZZ"));
    q.Open();
    QVERIFY(q.IsEmpty());
    // A field of an empty result reads as the empty text.
    QCOMPARE(q.FieldByName(QStringLiteral("NMFILIAL")).AsString(), QString());
    QVERIFY_THROWS_EXCEPTION(ESuiteError, q.FieldByName(QStringLiteral("NAOEXISTE")));
}

void tst_QueryComponent::dialectVariantChosen()
{
    TestEnv env;
    TADOIBQuery q;
    q.SQL = QStringList{QStringLiteral("SELECT NVLSTR(NULL, 'x') AS V")};
    q.SQL_IB = q.SQL;
    q.SQL_SQLITE = QStringList{QStringLiteral("SELECT COALESCE(NULL, 'sqlite') AS V")};
    q.SQL_PG = QStringList{QStringLiteral("  "), QString()}; // blank lines are no variant
    QCOMPARE(q.sqlFor(SqlDialect::Firebird), q.SQL.join(QLatin1Char('\n')));
    QCOMPARE(q.sqlFor(SqlDialect::PostgreSQL), q.SQL.join(QLatin1Char('\n')));
    q.Open();
    QCOMPARE(q.FieldByName(QStringLiteral("V")).AsString(), QStringLiteral("sqlite"));
}

void tst_QueryComponent::locateOnBigResult()
{
    DemoOptions options;
    options.products = 3000;
    TestEnv env(options);
    TADOIBQuery q;
    q.SQL = QStringList{QStringLiteral("SELECT CDPRODUTO, CDARVPROD, NMPRODUTO FROM PRODUTO ORDER BY CDARVPROD")};
    q.Open();
    QSqlQuery last(dtmDBGeral::dtbGeral());
    QVERIFY(last.exec(QStringLiteral("SELECT MAX(CDARVPROD), COUNT(*) FROM PRODUTO")));
    QVERIFY(last.next());
    QVERIFY(q.Locate(QStringLiteral("CDARVPROD"), last.value(0)));
    QCOMPARE(q.FieldByName(QStringLiteral("CDARVPROD")).AsString(), last.value(0).toString());
    QVERIFY(q.fetchedCount() < last.value(1).toInt()); // not every row was read
    QVERIFY(!q.Locate(QStringLiteral("CDARVPROD"), QStringLiteral("nenhum")));
}

void tst_QueryComponent::generalConnectionIsReadOnly()
{
    TestEnv env;
    QSqlQuery q(dtmDBGeral::dtbGeral());
    QVERIFY(!q.exec(QStringLiteral("DELETE FROM FILIAL")));
    QVERIFY(!q.exec(QStringLiteral("CREATE TABLE X (A INTEGER)")));
    QSqlQuery count(dtmDBGeral::dtbGeral());
    QVERIFY(count.exec(QStringLiteral("SELECT COUNT(*) FROM FILIAL")));
    QVERIFY(count.next());
    QVERIFY(count.value(0).toInt() > 0);
}

void tst_QueryComponent::missingDatabaseNamesIt()
{
    DbConfig config;
    config.database = QStringLiteral("/nao/existe/suite.db");
    try {
        dtmDBGeral::open(config);
        QFAIL("opened a missing database");
    } catch (const EDatabaseError &e) {
        QVERIFY(e.message().contains(QLatin1String("/nao/existe/suite.db")));
    }
}

QTEST_MAIN(tst_QueryComponent)
#include "tst_querycomponent.moc"
