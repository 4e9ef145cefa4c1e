#include "DemoDb.h"
#include "errors/EAbort.h"
#include "GerabaseOptions.h"
#include "data/TADOIBQuery.h"
#include "TfrmListaPrecRel.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The demo database: its data is reproducible, holds the cases the screens must meet, and
// answers the screen's own queries.
class tst_DemoDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void sameSeedSameRows_data();
    void sameSeedSameRows();
    void otherSeedOtherRows();
    void sizesHonoured_data();
    void sizesHonoured();
    void demoRules_data();
    void demoRules();
    void registrationNumbers();

    void branchQuery_data();
    void branchQuery();
    void branchLookupListsBranchesWithRegion();
    void purchasingCentre_data();
    void purchasingCentre();
    void productRange();
    void buyersQuery();

    void treeCodeIsUnique();
    void badOptionsRejected_data();
    void badOptionsRejected();
    void failedLoadRollsBack();
    void gerabaseCommandLine_data();
    void gerabaseCommandLine();
    void gerabaseOptions_data();
    void gerabaseOptions();

private:
    QSqlDatabase open(const QString &file, const QString &name);
    QStringList rows(QSqlDatabase db, const QString &sql, const QVariantList &values = {});
    qint64 count(QSqlDatabase db, const QString &sql);
    // The text the screen runs on SQLite for one of its queries, read from the form itself
    // so that a change there is what these tests see.
    QString formSql(const char *query) const;

    QTemporaryDir m_dir;
    DemoOptions m_options;
    QSqlDatabase m_db;    // default options
    QSqlDatabase m_twin;  // same options again
    QSqlDatabase m_other; // another seed
    std::unique_ptr<TfrmListaPrecRel> m_form;
};

QSqlDatabase tst_DemoDb::open(const QString &file, const QString &name)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(file);
    if (!db.open())
        qFatal("cannot open %s: %s", qPrintable(file), qPrintable(db.lastError().text()));
    return db;
}

QStringList tst_DemoDb::rows(QSqlDatabase db, const QString &sql, const QVariantList &values)
{
    QSqlQuery q(db);
    if (!q.prepare(sql)) {
        QTest::qFail(qPrintable(q.lastError().text() + QStringLiteral(" in ") + sql), __FILE__, __LINE__);
        return {};
    }
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec()) {
        QTest::qFail(qPrintable(q.lastError().text() + QStringLiteral(" in ") + sql), __FILE__, __LINE__);
        return {};
    }
    QStringList out;
    while (q.next()) {
        QStringList fields;
        for (int i = 0; i < q.record().count(); ++i)
            fields << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

qint64 tst_DemoDb::count(QSqlDatabase db, const QString &sql)
{
    const QStringList r = rows(db, sql);
    return r.isEmpty() ? -1 : r.first().toLongLong();
}

void tst_DemoDb::initTestCase()
{
    QVERIFY(m_dir.isValid());
    DemoDb::createSqlite(m_dir.filePath(QStringLiteral("a.db")), m_options);
    DemoDb::createSqlite(m_dir.filePath(QStringLiteral("b.db")), m_options);
    DemoOptions other = m_options;
    other.seed = 4242;
    DemoDb::createSqlite(m_dir.filePath(QStringLiteral("c.db")), other);
    m_db = open(m_dir.filePath(QStringLiteral("a.db")), QStringLiteral("a"));
    m_twin = open(m_dir.filePath(QStringLiteral("b.db")), QStringLiteral("b"));
    m_other = open(m_dir.filePath(QStringLiteral("c.db")), QStringLiteral("c"));
    m_form = std::make_unique<TfrmListaPrecRel>();
}

QString tst_DemoDb::formSql(const char *query) const
{
    const auto *q = m_form->findChild<TADOIBQuery *>(QLatin1String(query));
    if (!q)
        qFatal("the form has no query %s", query);
    return q->sqlFor(SqlDialect::SQLite);
}

void tst_DemoDb::cleanupTestCase()
{
    m_form.reset();
    for (QSqlDatabase *db : {&m_db, &m_twin, &m_other}) {
        const QString name = db->connectionName();
        db->close();
        *db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
}

void tst_DemoDb::sameSeedSameRows_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("REGIAO") << "SELECT * FROM REGIAO ORDER BY CDREGIAO";
    QTest::newRow("FILIAL") << "SELECT * FROM FILIAL ORDER BY CDFILIAL";
    QTest::newRow("PRODUTO") << "SELECT * FROM PRODUTO ORDER BY CDPRODUTO";
    QTest::newRow("OPERADOR") << "SELECT * FROM OPERADOR ORDER BY CDOPERADOR";
    QTest::newRow("COMPRADOR") << "SELECT * FROM COMPRADOR ORDER BY CDOPERADOR";
    QTest::newRow("FORNECEDOR") << "SELECT * FROM FORNECEDOR ORDER BY CDFORNECED";
    QTest::newRow("COTACAO") << "SELECT * FROM COTACAO ORDER BY NRCOTACAO";
    QTest::newRow("PRODFILIAL") << "SELECT * FROM PRODFILIAL ORDER BY CDFILIAL, CDPRODUTO";
    QTest::newRow("PICTURA") << "SELECT * FROM PICTURA ORDER BY IDPICTURA";
    QTest::newRow("MOVESTOQUE") << "SELECT * FROM MOVESTOQUE ORDER BY NRMOVIMENTO";
}

void tst_DemoDb::sameSeedSameRows()
{
    QFETCH(QString, sql);
    const QStringList a = rows(m_db, sql);
    QVERIFY(!a.isEmpty());
    QCOMPARE(rows(m_twin, sql), a);
}

void tst_DemoDb::otherSeedOtherRows()
{
    const QString products = QStringLiteral("SELECT NMPRODUTO FROM PRODUTO ORDER BY CDPRODUTO");
    const QString quotes = QStringLiteral("SELECT CDFORNECED, VRPRECO FROM COTACAO ORDER BY NRCOTACAO");
    QVERIFY(rows(m_db, products) != rows(m_other, products));
    QVERIFY(rows(m_db, quotes) != rows(m_other, quotes));
    // The sizes and the fixed cases do not depend on the seed.
    QCOMPARE(count(m_other, QStringLiteral("SELECT COUNT(*) FROM PRODUTO")), qint64(m_options.products));
    QCOMPARE(rows(m_other, QStringLiteral("SELECT CDFILIAL, IDCNTRRESC FROM FILIAL WHERE CDFILIAL <= '0008'")),
             rows(m_db, QStringLiteral("SELECT CDFILIAL, IDCNTRRESC FROM FILIAL WHERE CDFILIAL <= '0008'")));
}

void tst_DemoDb::sizesHonoured_data()
{
    QTest::addColumn<int>("products");
    QTest::addColumn<int>("quotes");
    QTest::addColumn<int>("branches");
    QTest::addColumn<int>("regions");
    QTest::addColumn<qint64>("expectedQuotes");
    QTest::newRow("quotes by default: three per product") << 250 << 0 << 12 << 6 << qint64(750);
    QTest::newRow("quotes asked for") << 250 << 1001 << 12 << 6 << qint64(1001);
    QTest::newRow("more products than one section holds") << 30000 << 100 << 12 << 6 << qint64(100);
    QTest::newRow("many branches, one region") << 10 << 40 << 300 << 1 << qint64(40);
    QTest::newRow("no products: no quotes") << 0 << 50 << 12 << 6 << qint64(0);
}

void tst_DemoDb::sizesHonoured()
{
    QFETCH(int, products);
    QFETCH(int, quotes);
    QFETCH(int, branches);
    QFETCH(int, regions);
    QFETCH(qint64, expectedQuotes);
    DemoOptions o;
    o.products = products;
    o.quotes = quotes;
    o.branches = branches;
    o.regions = regions;
    o.suppliers = 23;
    o.operators = 9;
    o.buyers = 4;
    const QString file = m_dir.filePath(QStringLiteral("sizes.db"));
    DemoDb::createSqlite(file, o);
    {
        QSqlDatabase db = open(file, QStringLiteral("sizes"));
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM PRODUTO")), qint64(products));
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(DISTINCT CDARVPROD) FROM PRODUTO")), qint64(products));
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM COTACAO")), expectedQuotes);
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM FILIAL")), qint64(branches));
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(DISTINCT NMFILIAL) FROM FILIAL")), qint64(branches));
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM REGIAO")), qint64(regions));
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM FORNECEDOR")), qint64(23));
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM OPERADOR")), qint64(9));
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM COMPRADOR")), qint64(4));
        // Every code has its full fixed width.
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM PRODUTO WHERE LENGTH(CDPRODUTO) <> 10 "
                                          "OR LENGTH(CDARVPROD) <> 9 OR CDARVPROD GLOB '*[^0-9]*'")),
                 qint64(0));
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM FILIAL WHERE LENGTH(CDFILIAL) <> 4 "
                                          "OR LENGTH(CDREGIAO) <> 3 OR LENGTH(NMFILIAL) > 30")),
                 qint64(0));
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM PRODUTO WHERE LENGTH(NMPRODUTO) > 50")), qint64(0));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("sizes"));
}

void tst_DemoDb::demoRules_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("expectRows"); // false: the query must find nothing

    QTest::newRow("head office 0001 without centre")
        << "SELECT 1 FROM FILIAL WHERE CDFILIAL = '0001' AND CDFILCENTCMP IS NULL AND IDCNTRRESC = 'N'" << true;
    QTest::newRow("several branches under 0001")
        << "SELECT 1 FROM FILIAL WHERE CDFILCENTCMP = '0001' GROUP BY CDFILCENTCMP HAVING COUNT(*) >= 2" << true;
    QTest::newRow("branch that is its own centre") << "SELECT 1 FROM FILIAL WHERE CDFILCENTCMP = CDFILIAL" << true;
    QTest::newRow("branch under another centre")
        << "SELECT 1 FROM FILIAL WHERE CDFILCENTCMP NOT IN ('0001', CDFILIAL)" << true;
    QTest::newRow("branch other than 0001 without centre")
        << "SELECT 1 FROM FILIAL WHERE CDFILIAL <> '0001' AND CDFILCENTCMP IS NULL" << true;
    QTest::newRow("rescinded branch") << "SELECT 1 FROM FILIAL WHERE IDCNTRRESC = 'S'" << true;
    QTest::newRow("rescinded flag only S or N") << "SELECT 1 FROM FILIAL WHERE IDCNTRRESC NOT IN ('S', 'N')" << false;
    QTest::newRow("branch whose region has no row")
        << "SELECT 1 FROM FILIAL F WHERE NOT EXISTS (SELECT 1 FROM REGIAO R WHERE R.CDREGIAO = F.CDREGIAO)" << true;
    QTest::newRow("region without branch")
        << "SELECT 1 FROM REGIAO R WHERE NOT EXISTS (SELECT 1 FROM FILIAL F WHERE F.CDREGIAO = R.CDREGIAO)" << true;
    QTest::newRow("every centre named is a branch")
        << "SELECT 1 FROM FILIAL F WHERE F.CDFILCENTCMP IS NOT NULL "
           "AND NOT EXISTS (SELECT 1 FROM FILIAL C WHERE C.CDFILIAL = F.CDFILCENTCMP)"
        << false;
    QTest::newRow("0001 processes on the processing date")
        << "SELECT 1 FROM FILIAL WHERE CDFILIAL = '0001' AND DTPROCESSO = '2026-12-07'" << true;
    QTest::newRow("dates are ISO text")
        << "SELECT 1 FROM COTACAO WHERE typeof(DTVALINI) <> 'text' OR DTVALINI NOT GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' "
           "OR DTVALFIN < DTVALINI"
        << false;
    for (const char *type : {"J", "F", "O", "I"}) {
        QTest::addRow("quoted supplier of type %s", type)
            << QStringLiteral("SELECT 1 FROM FORNECEDOR F WHERE IDTPIJURFORN = '%1' "
                              "AND EXISTS (SELECT 1 FROM COTACAO C WHERE C.CDFORNECED = F.CDFORNECED)")
                   .arg(QLatin1String(type))
            << true;
    }
    QTest::newRow("supplier without quotes")
        << "SELECT 1 FROM FORNECEDOR F WHERE NOT EXISTS (SELECT 1 FROM COTACAO C WHERE C.CDFORNECED = F.CDFORNECED)"
        << true;
    QTest::newRow("about four in five suppliers quoted")
        << "SELECT 1 FROM (SELECT COUNT(DISTINCT CDFORNECED) AS N FROM COTACAO) "
           "WHERE N BETWEEN 0.65 * (SELECT COUNT(*) FROM FORNECEDOR) AND 0.95 * (SELECT COUNT(*) FROM FORNECEDOR)"
        << true;
    QTest::newRow("product with a previous quote")
        << "SELECT 1 FROM COTACAO A JOIN COTACAO B ON B.CDPRODUTO = A.CDPRODUTO AND B.DTVALINI < A.DTVALINI" << true;
    QTest::newRow("quote valid on the processing date")
        << "SELECT 1 FROM COTACAO WHERE DTVALINI <= '2026-12-07' AND DTVALFIN >= '2026-12-07'" << true;
    QTest::newRow("quotes at several branches")
        << "SELECT 1 FROM (SELECT COUNT(DISTINCT CDFILIAL) AS N FROM COTACAO) WHERE N >= 3" << true;
    QTest::newRow("quotes name known rows")
        << "SELECT 1 FROM COTACAO C WHERE NOT EXISTS (SELECT 1 FROM PRODUTO P WHERE P.CDPRODUTO = C.CDPRODUTO) "
           "OR NOT EXISTS (SELECT 1 FROM FORNECEDOR F WHERE F.CDFORNECED = C.CDFORNECED) "
           "OR NOT EXISTS (SELECT 1 FROM FILIAL B WHERE B.CDFILIAL = C.CDFILIAL AND B.IDCNTRRESC = 'N') "
           "OR NOT EXISTS (SELECT 1 FROM COMPRADOR B WHERE B.CDOPERADOR = C.CDOPERADOR)"
        << false;
    QTest::newRow("prices positive")
        << "SELECT 1 FROM COTACAO WHERE VRPRECO <= 0 OR PCIPI < 0 OR PCDESCONTO < 0 OR PCDESCONTO >= 100" << false;
    QTest::newRow("products bought at 0001 and not all of them")
        << "SELECT 1 FROM (SELECT COUNT(*) AS N FROM PRODFILIAL WHERE CDFILIAL = '0001') "
           "WHERE N > 0 AND N < (SELECT COUNT(*) FROM PRODUTO)"
        << true;
    QTest::newRow("operators that are not buyers")
        << "SELECT 1 FROM OPERADOR O WHERE NOT EXISTS (SELECT 1 FROM COMPRADOR C WHERE C.CDOPERADOR = O.CDOPERADOR)"
        << true;
    QTest::newRow("stock at 0001 on the processing date")
        << "SELECT 1 FROM MOVESTOQUE WHERE CDFILIAL = '0001' AND DTMOVIMENTO <= '2026-12-07'" << true;
    QTest::newRow("stock moves after the processing date too")
        << "SELECT 1 FROM MOVESTOQUE WHERE DTMOVIMENTO > '2026-12-07'" << true;
    QTest::newRow("stock never below zero")
        << "SELECT 1 FROM MOVESTOQUE A WHERE (SELECT SUM(B.QTMOVIMENTO) FROM MOVESTOQUE B "
           "WHERE B.CDFILIAL = A.CDFILIAL AND B.CDPRODUTO = A.CDPRODUTO AND B.NRMOVIMENTO <= A.NRMOVIMENTO) < 0"
        << false;
    QTest::newRow("product picture in row 0")
        << "SELECT 1 FROM PICTURA WHERE IDPICTURA = 0 AND DSMASCARA = '99.999.9999;0; '" << true;
}

void tst_DemoDb::demoRules()
{
    QFETCH(QString, sql);
    QFETCH(bool, expectRows);
    QCOMPARE(!rows(m_db, sql).isEmpty(), expectRows);
}

// CNPJ and CPF carry valid check digits, so the masked display shows real-looking numbers.
void tst_DemoDb::registrationNumbers()
{
    auto checkDigit = [](const QString &digits, const QList<int> &weights) {
        int sum = 0;
        for (int i = 0; i < weights.size(); ++i)
            sum += digits.at(i).digitValue() * weights.at(i);
        return sum % 11 < 2 ? 0 : 11 - sum % 11;
    };
    const QStringList suppliers = rows(m_db, QStringLiteral("SELECT IDTPIJURFORN, NRINSJURFORN FROM FORNECEDOR"));
    QVERIFY(!suppliers.isEmpty());
    for (const QString &row : suppliers) {
        const QString type = row.section(QLatin1Char('|'), 0, 0);
        const QString number = row.section(QLatin1Char('|'), 1);
        QVERIFY2(!number.isEmpty() && !number.contains(QRegularExpression(QStringLiteral("[^0-9]"))), qPrintable(row));
        if (type == QLatin1String("J") || type == QLatin1String("I")) {
            QCOMPARE(number.size(), 14);
            QCOMPARE(number.at(12).digitValue(), checkDigit(number, {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}));
            QCOMPARE(number.at(13).digitValue(), checkDigit(number, {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}));
        } else if (type == QLatin1String("F")) {
            QCOMPARE(number.size(), 11);
            QCOMPARE(number.at(9).digitValue(), checkDigit(number, {10, 9, 8, 7, 6, 5, 4, 3, 2}));
            QCOMPARE(number.at(10).digitValue(), checkDigit(number, {11, 10, 9, 8, 7, 6, 5, 4, 3, 2}));
        }
    }
}

void tst_DemoDb::branchQuery_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("expected"); // empty: no row
    QTest::newRow("head office") << "0001"
                                 << "0001|Matriz Curitiba|Sul|N|<null>|001";
    QTest::newRow("under 0001") << "0002"
                                << "0002|Loja Centro Curitiba|Sul|N|0001|001";
    QTest::newRow("rescinded, still found") << "0004"
                                            << "0004|Filial Maringá|Sul|S|0001|001";
    QTest::newRow("own centre") << "0006"
                                << "0006|Central de Compras Campinas|Sudeste|N|0006|002";
    // In FILIAL, but its region has no REGIAO row: the join hides it.
    QTest::newRow("region without row") << "0008"
                                        << "";
    QTest::newRow("unknown code") << "9999"
                                  << "";
    QTest::newRow("short code is not padded by the database") << "1"
                                                              << "";
}

void tst_DemoDb::branchQuery()
{
    QFETCH(QString, code);
    QFETCH(QString, expected);
    QSqlQuery q(m_db);
    QVERIFY(q.prepare(formSql("qryFilial")));
    q.bindValue(QStringLiteral(":P_FILIAL"), code);
    q.bindValue(QStringLiteral(":P_TODAS"), QString());
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QStringList found;
    while (q.next()) {
        QStringList f;
        for (int i = 0; i < 6; ++i)
            f << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
        found << f.join(QLatin1Char('|'));
    }
    QCOMPARE(found, expected.isEmpty() ? QStringList() : QStringList{expected});
}

void tst_DemoDb::branchLookupListsBranchesWithRegion()
{
    QSqlQuery q(m_db);
    QVERIFY(q.prepare(formSql("qryFilial")));
    q.bindValue(QStringLiteral(":P_FILIAL"), QStringLiteral(" "));
    q.bindValue(QStringLiteral(":P_TODAS"), QStringLiteral("T"));
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QStringList regions;
    QStringList codes;
    while (q.next()) {
        codes << q.value(0).toString();
        regions << q.value(5).toString();
    }
    const qint64 withRegion = count(
        m_db, QStringLiteral(
                  "SELECT COUNT(*) FROM FILIAL F WHERE EXISTS (SELECT 1 FROM REGIAO R WHERE R.CDREGIAO = F.CDREGIAO)"));
    QCOMPARE(qint64(codes.size()), withRegion);
    QVERIFY(withRegion < m_options.branches);
    QVERIFY(!codes.contains(QStringLiteral("0008")));
    QStringList sorted = regions;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(regions, sorted);
}

void tst_DemoDb::purchasingCentre_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("centre"); // empty: no row
    QTest::newRow("no centre: itself") << "0001"
                                       << "0001";
    QTest::newRow("independent branch: itself") << "0003"
                                                << "0003";
    QTest::newRow("under 0001") << "0002"
                                << "0001";
    QTest::newRow("its own centre") << "0006"
                                    << "0006";
    QTest::newRow("under 0006") << "0007"
                                << "0006";
    QTest::newRow("unknown branch") << "9999"
                                    << "";
}

// The purchasing-centre lookup in its SQLite spelling (COALESCE for the null replacement).
void tst_DemoDb::purchasingCentre()
{
    QFETCH(QString, branch);
    QFETCH(QString, centre);
    const QStringList r = rows(m_db, formSql("qryCentComp"), {branch});
    QCOMPARE(r.size(), centre.isEmpty() ? 0 : 1);
    if (!centre.isEmpty())
        QCOMPARE(r.first().section(QLatin1Char('|'), 0, 0), centre);
}

void tst_DemoDb::productRange()
{
    const QStringList first = rows(m_db, formSql("qryPrimProd"));
    const QStringList last = rows(m_db, formSql("qryUltiProd"));
    QCOMPARE(first.size(), 1);
    QCOMPARE(last.size(), 1);
    const QString firstTree = first.first().section(QLatin1Char('|'), 1, 1);
    const QString lastTree = last.first().section(QLatin1Char('|'), 1, 1);
    QVERIFY(firstTree < lastTree);
    // Byte order of the stored codes is the order of the lookup list.
    const QStringList ordered = rows(m_db, QStringLiteral("SELECT CDARVPROD FROM PRODUTO ORDER BY CDARVPROD"));
    QCOMPARE(ordered.first(), firstTree);
    QCOMPARE(ordered.last(), lastTree);

    const QStringList found = rows(m_db, formSql("qryVdProduto"), {lastTree});
    QCOMPARE(found, last);
    QVERIFY(!last.first().section(QLatin1Char('|'), 2).isEmpty());
}

void tst_DemoDb::buyersQuery()
{
    const QStringList buyers = rows(m_db, formSql("qryComprador"));
    QCOMPARE(buyers.size(), m_options.buyers);
    QStringList sorted = buyers;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(buyers, sorted);
    for (const QString &b : buyers)
        QVERIFY2(!b.section(QLatin1Char('|'), 1).trimmed().isEmpty(), qPrintable(b));

    const QStringList regions = rows(m_db, formSql("qryRegiao"));
    QCOMPARE(regions.size(), m_options.regions);
}

void tst_DemoDb::treeCodeIsUnique()
{
    const QString name = QStringLiteral("unique");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(db.open());
        DemoDb::createSchema(db, SqlDialect::SQLite);
        QSqlQuery q(db);
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD, NMPRODUTO) VALUES (?, ?, ?)")));
        q.addBindValue(QStringLiteral("0000000001"));
        q.addBindValue(QStringLiteral("010010001"));
        q.addBindValue(QStringLiteral("Arroz"));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        q.bindValue(0, QStringLiteral("0000000002"));
        QVERIFY(!q.exec()); // same tree code, another product
        q.bindValue(1, QVariant(QMetaType::fromType<QString>()));
        QVERIFY(!q.exec()); // a product always has a tree code
        q.bindValue(1, QStringLiteral("010010002"));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        // The generator fills a schema created apart, indices in place.
        QVERIFY(q.exec(QStringLiteral("DELETE FROM PRODUTO")));
        DemoDb::generate(db, SqlDialect::SQLite, DemoOptions());
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

void tst_DemoDb::badOptionsRejected_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("messagePart");
    QTest::newRow("more buyers than operators") << "buyers" << 16 << "compradores (16)";
    QTest::newRow("negative products") << "products" << -1 << "produtos";
    QTest::newRow("branch code would not fit") << "branches" << 10000 << "filiais (10000)";
    QTest::newRow("no free region code for the orphan branch") << "regions" << 999 << "regiões";
}

void tst_DemoDb::badOptionsRejected()
{
    QFETCH(QString, field);
    QFETCH(int, value);
    QFETCH(QString, messagePart);
    DemoOptions o;
    if (field == QLatin1String("buyers"))
        o.buyers = value;
    if (field == QLatin1String("products"))
        o.products = value;
    if (field == QLatin1String("branches"))
        o.branches = value;
    if (field == QLatin1String("regions"))
        o.regions = value;
    const QString file = m_dir.filePath(QStringLiteral("bad.db"));
    QFile::remove(file);
    try {
        DemoDb::createSqlite(file, o);
        QFAIL("options accepted");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().contains(messagePart), qPrintable(e.message()));
        QVERIFY2(e.message().contains(file), qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(file));
}

// A load that fails halfway leaves the database as it was, and createSqlite leaves no file.
void tst_DemoDb::failedLoadRollsBack()
{
    const QString file = m_dir.filePath(QStringLiteral("twice.db"));
    DemoOptions small;
    small.products = 20;
    DemoDb::createSqlite(file, small);
    const QString name = QStringLiteral("twice");
    {
        QSqlDatabase db = open(file, name);
        const QStringList before =
            rows(db, QStringLiteral("SELECT COUNT(*) FROM REGIAO UNION ALL SELECT COUNT(*) FROM PRODUTO"));
        // The regions go in first, then the branches collide with the rows already there.
        QSqlQuery(db).exec(QStringLiteral("DELETE FROM REGIAO"));
        try {
            DemoDb::generate(db, SqlDialect::SQLite, small);
            QFAIL("second load accepted");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("FILIAL")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(file), qPrintable(e.message()));
        }
        QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM REGIAO")), qint64(0));
        QCOMPARE(rows(db, QStringLiteral("SELECT COUNT(*) FROM PRODUTO")).first(), before.last());
        QCOMPARE(rows(db, QStringLiteral("PRAGMA journal_mode")).first(), QStringLiteral("delete"));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);

    const QString missing = m_dir.filePath(QStringLiteral("nao/existe/base.db"));
    try {
        DemoDb::createSqlite(missing, small);
        QFAIL("created in a missing folder");
    } catch (const EDatabaseError &e) {
        QVERIFY2(e.message().contains(missing), qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(missing));
}

void tst_DemoDb::gerabaseCommandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");    // part of what it prints (stdout and stderr)
    QTest::addColumn<qint64>("products"); // -1: no database expected

    QTest::newRow("sizes from the flags")
        << QStringList{"--products", "40", "--suppliers", "9", "--quotes", "70", "--seed", "5"} << 0 << "Base criada"
        << qint64(40);
    QTest::newRow("missing --out") << QStringList{"--products", "40"} << 2 << "--out" << qint64(-1);
    QTest::newRow("size not a number") << QStringList{"--products", "muitos"} << 2 << "Valor inválido para --products"
                                       << qint64(-1);
    QTest::newRow("negative size") << QStringList{"--quotes", "-3"} << 2 << "Valor inválido para --quotes"
                                   << qint64(-1);
    QTest::newRow("driver not supported yet") << QStringList{"--driver", "QPSQL"} << 2 << "QPSQL" << qint64(-1);
    QTest::newRow("inconsistent sizes") << QStringList{"--operators", "3", "--buyers", "4"} << 1 << "compradores (4)"
                                        << qint64(-1);
}

void tst_DemoDb::gerabaseCommandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QFETCH(qint64, products);
    const QString bin = QString::fromLocal8Bit(qgetenv("SUITE_BIN_DIR"));
    if (bin.isEmpty())
        QSKIP("SUITE_BIN_DIR not set: run through ctest to find gerabase");
    const QString file = m_dir.filePath(QStringLiteral("cli.db"));
    QFile::remove(file);
    // Every row names the output file except the one about its absence.
    if (QLatin1String(QTest::currentDataTag()) != QLatin1String("missing --out"))
        args << QStringLiteral("--out") << file;

    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(bin + QStringLiteral("/gerabase"), args);
    QVERIFY2(p.waitForFinished(60000), qPrintable(p.errorString()));
    const QString output = QString::fromUtf8(p.readAll());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY2(p.exitCode() == exitCode, qPrintable(output));
    QVERIFY2(output.contains(said), qPrintable(output));
    QCOMPARE(QFile::exists(file), products >= 0);
    if (products >= 0) {
        {
            QSqlDatabase db = open(file, QStringLiteral("cli"));
            QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM PRODUTO")), products);
            QCOMPARE(count(db, QStringLiteral("SELECT COUNT(*) FROM COTACAO")), qint64(70));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("cli"));
    }
}

// The options of a server database, read without running the generator.
void tst_DemoDb::gerabaseOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");      // part of the error; empty: none
    QTest::addColumn<QString>("described"); // the target's description when accepted

    const QStringList pg{"--driver", "qpsql", "--database", "compras", "--user", "dono"};
    QTest::newRow("server with its port") << pg + QStringList{"--port", "5433", "--reader", "leitor"} << 0 << QString()
                                          << "PostgreSQL (QPSQL) compras em 127.0.0.1:5433";
    QTest::newRow("server on another host")
        << pg + QStringList{"--host", "db.local"} << 0 << QString() << "PostgreSQL (QPSQL) compras em db.local";
    QTest::newRow("port out of range") << pg + QStringList{"--port", "70000"} << 2 << "Valor inválido para --port"
                                       << QString();
    QTest::newRow("server without its database") << QStringList{"--driver", "QIBASE"} << 2 << "--database" << QString();
    QTest::newRow("unknown driver") << QStringList{"--driver", "QMYSQL", "--database", "x"} << 2
                                    << "Driver desconhecido: QMYSQL" << QString();
    QTest::newRow("unknown flag") << QStringList{"--out", "a.db", "--rows", "3"} << 1 << "rows" << QString();
    QTest::newRow("size checked after the target")
        << pg + QStringList{"--buyers", "x"} << 2 << "Valor inválido para --buyers" << QString();
}

void tst_DemoDb::gerabaseOptions()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QFETCH(QString, described);
    const GerabaseCommandLine line = parseGerabaseOptions(QStringList{"gerabase"} + args);
    QCOMPARE(line.exitCode, exitCode);
    QVERIFY2(said.isEmpty() ? line.error.isEmpty() : line.error.contains(said), qPrintable(line.error));
    if (exitCode == 0) {
        QVERIFY(line.options.onServer());
        QCOMPARE(line.options.server.describe(), described);
    }
}

QTEST_MAIN(tst_DemoDb) // the form is a widget
#include "tst_demodb.moc"
