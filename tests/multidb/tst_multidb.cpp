// The screen's queries and the application server's supplier list on SQLite, PostgreSQL
// and Firebird, over the same demo data: each result must be the one SQLite gives.

#include "data/Database.h"
#include "FormControls.h"
#include "DbServers.h"
#include "errors/EAbort.h"
#include "text/ListString.h"
#include "app/Session.h"
#include "data/TADOIBQuery.h"
#include "TestEnv.h"
#include "TfrmListaPrecRel.h"
#include "net/DataPacket.h"
#include "rdmConsListaPreco.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QtTest>
#include <memory>

Q_DECLARE_METATYPE(SqlDialect)

namespace {

constexpr SqlDialect kDialects[] = {SqlDialect::SQLite, SqlDialect::PostgreSQL, SqlDialect::Firebird};

QString rowName(SqlDialect d)
{
    return dialectName(d).toLower();
}

// Every row of an open data set, one line per row, columns separated by '|'.
QStringList dump(TDataSet &ds)
{
    QStringList lines;
    const int rows = ds.RecordCount();
    const int columns = int(ds.columnNames().size());
    for (int r = 0; r < rows; ++r) {
        QStringList values;
        for (int c = 0; c < columns; ++c) {
            const QVariant v = ds.rowValue(r, c);
            values << (v.isNull() ? QStringLiteral("<null>") : v.toString());
        }
        lines << values.join(QLatin1Char('|'));
    }
    return lines;
}

// Keys that must reach the database as they are: a quote, a comma, SQL, accents.
QStringList awkwardKeys()
{
    return {QStringLiteral("O'BRIEN"), QStringLiteral("A,B"), QStringLiteral("'; DROP TABLE X;--"),
            QStringLiteral("AÇÃO:ÊXITO 3")};
}

} // namespace

class tst_MultiDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void branchQuery_data();
    void branchQuery();
    void productQueries_data();
    void productQueries();
    void buyersAndRegions_data();
    void buyersAndRegions();
    void purchasingCentre_data();
    void purchasingCentre();
    void supplierList_data();
    void supplierList();
    void listParameter_data();
    void listParameter();
    void writeRefused_data();
    void writeRefused();
    void unreachableServer_data();
    void unreachableServer();
    void gerabaseOnServer_data();
    void gerabaseOnServer();

private:
    // Makes the general connection the read-only one of the dialect's database.
    void use(SqlDialect dialect);
    QStringList run(SqlDialect dialect, const std::function<QStringList()> &query);
    static void addDialectRows(const char *suffix = nullptr);

    std::unique_ptr<TestEnv> m_env[3];
    DbConfig m_reader[3];
    std::unique_ptr<TfrmListaPrecRel> m_form;
};

void tst_MultiDb::initTestCase()
{
    // The same seed and sizes everywhere; SQLite last, so its session is the one left.
    try {
        for (int i = 2; i >= 0; --i) {
            m_env[i] = std::make_unique<TestEnv>(kDialects[i]);
            m_reader[i] = m_env[i]->config();
            // Suppliers whose codes need care, quoted so that the server lists them too.
            for (const QString &key : awkwardKeys()) {
                m_env[i]->exec(
                    QStringLiteral("INSERT INTO FORNECEDOR (CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMFANTFORN, "
                                   "NMRAZSOCFORN) VALUES (?, 'J', '11222333000181', ?, ?)"),
                    {key, QStringLiteral("Fantasia ") + key, QStringLiteral("Razão ") + key});
                m_env[i]->exec(QStringLiteral("INSERT INTO COTACAO (NRCOTACAO, CDFILIAL, CDFORNECED, CDPRODUTO, "
                                              "CDOPERADOR, DTVALINI, DTVALFIN, VRPRECO) VALUES (?, '0001', ?, "
                                              "'0000000001', NULL, ?, ?, 12.34)"),
                               {900000 + int(key.size()), key, QDate(2026, 12, 1), QDate(2026, 12, 31)});
            }
        }
    } catch (const ESuiteError &e) {
        QFAIL(qPrintable(e.message()));
    }
    m_form = std::make_unique<TfrmListaPrecRel>();
}

void tst_MultiDb::cleanupTestCase()
{
    m_form.reset();
    for (auto &env : m_env)
        env.reset();
}

void tst_MultiDb::use(SqlDialect dialect)
{
    const DbConfig &config = m_reader[int(dialect)];
    QVERIFY2(!config.database.isEmpty(), "database not built");
    Session::current().db = config;
    dtmDBGeral::open(config);
}

QStringList tst_MultiDb::run(SqlDialect dialect, const std::function<QStringList()> &query)
{
    use(dialect);
    try {
        return query();
    } catch (const ESuiteError &e) {
        return {QStringLiteral("ERRO: ") + e.message()};
    }
}

void tst_MultiDb::addDialectRows(const char *suffix)
{
    for (SqlDialect d : kDialects) {
        const QString name = suffix ? rowName(d) + QLatin1Char(' ') + QLatin1String(suffix) : rowName(d);
        QTest::newRow(qPrintable(name)) << d;
    }
}

void tst_MultiDb::branchQuery_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("all");
    QTest::addColumn<int>("rows");
    const struct
    {
        const char *name;
        const char *code;
        const char *all;
        int rows;
    } cases[] = {
        {"one branch", "0001", "F", 1},
        {"all branches", "", "T", -1},
        {"unknown branch", "9999", "F", 0},
        // Longer than the column: Firebird's client once cut it to "0001".
        {"code longer than the column", "00011", "F", 0},
        {"branch of a region without row", "0008", "F", 0},
        // "T" compared with a longer text: Firebird typed the marker CHAR(1).
        {"flag longer than one letter", "0002", "TT", 1},
    };
    for (SqlDialect d : kDialects)
        for (const auto &c : cases)
            QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": ") + QLatin1String(c.name)))
                << d << QString::fromLatin1(c.code) << QString::fromLatin1(c.all) << c.rows;
}

void tst_MultiDb::branchQuery()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, code);
    QFETCH(QString, all);
    QFETCH(int, rows);
    TADOIBQuery *q = control<TADOIBQuery>(m_form.get(), "qryFilial");
    auto query = [&] {
        q->Close();
        q->ParamByName(QStringLiteral("P_FILIAL")).setValue(code);
        q->ParamByName(QStringLiteral("P_TODAS")).setValue(all);
        q->Open();
        return dump(*q);
    };
    QStringList expected = run(SqlDialect::SQLite, query);
    QStringList got = run(dialect, query);
    if (rows >= 0) {
        QCOMPARE(got, expected);
        QCOMPARE(got.size(), rows);
    } else {
        // The list is ordered by region only: within a region each database has its own order.
        QStringList regions;
        for (const QString &line : std::as_const(got))
            regions << line.section(QLatin1Char('|'), 5);
        QStringList sortedRegions = regions;
        sortedRegions.sort();
        QCOMPARE(regions, sortedRegions);
        got.sort();
        expected.sort();
        QCOMPARE(got, expected);
        QVERIFY2(got.size() > 5, qPrintable(got.join(QLatin1Char('\n'))));
    }
    if (code == QLatin1String("0001"))
        QVERIFY2(got.value(0).startsWith(QStringLiteral("0001|Matriz Curitiba|")), qPrintable(got.value(0)));
}

void tst_MultiDb::productQueries_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("which");
    QTest::addColumn<QString>("code");
    for (SqlDialect d : kDialects) {
        const QString n = rowName(d) + QStringLiteral(": ");
        QTest::newRow(qPrintable(n + QStringLiteral("first product"))) << d << "qryPrimProd" << QString();
        QTest::newRow(qPrintable(n + QStringLiteral("last product"))) << d << "qryUltiProd" << QString();
        QTest::newRow(qPrintable(n + QStringLiteral("by tree code"))) << d << "qryVdProduto"
                                                                      << "010010002";
        QTest::newRow(qPrintable(n + QStringLiteral("unknown tree code"))) << d << "qryVdProduto"
                                                                           << "99999999";
        QTest::newRow(qPrintable(n + QStringLiteral("tree code with trailing blank"))) << d << "qryVdProduto"
                                                                                       << "010010002 ";
        QTest::newRow(qPrintable(n + QStringLiteral("whole list"))) << d << "qryProduto" << QString();
    }
}

void tst_MultiDb::productQueries()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, which);
    QFETCH(QString, code);
    auto *q = m_form->findChild<TADOIBQuery *>(which);
    QVERIFY(q);
    auto query = [&] {
        q->Close();
        if (!code.isNull())
            q->ParamByName(QStringLiteral("P_CDPRODUTO")).setValue(code);
        q->Open();
        return dump(*q);
    };
    const QStringList expected = run(SqlDialect::SQLite, query);
    const QStringList got = run(dialect, query);
    if (code.endsWith(QLatin1Char(' ')) && dialect == SqlDialect::Firebird) {
        // Firebird compares texts ignoring trailing blanks; the screen trims the code
        // before it asks, so the difference never reaches it.
        QCOMPARE(got.size(), 1);
        return;
    }
    QCOMPARE(got, expected);
    if (code == QLatin1String("010010002"))
        QCOMPARE(got.size(), 1);
    if (which == QLatin1String("qryProduto"))
        QCOMPARE(got.size(), DemoOptions().products);
}

void tst_MultiDb::buyersAndRegions_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("which");
    QTest::addColumn<int>("rows");
    for (SqlDialect d : kDialects) {
        QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": buyers")))
            << d << "qryComprador" << DemoOptions().buyers;
        QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": regions")))
            << d << "qryRegiao" << DemoOptions().regions;
    }
}

void tst_MultiDb::buyersAndRegions()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, which);
    QFETCH(int, rows);
    auto *q = m_form->findChild<TADOIBQuery *>(which);
    QVERIFY(q);
    auto query = [&] {
        q->Close();
        q->Open();
        return dump(*q);
    };
    const QStringList expected = run(SqlDialect::SQLite, query);
    const QStringList got = run(dialect, query);
    QCOMPARE(got, expected);
    QCOMPARE(got.size(), rows);
}

void tst_MultiDb::purchasingCentre_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QString>("centre");
    const struct
    {
        const char *name;
        const char *branch;
        const char *centre;
    } cases[] = {
        {"head office is its own centre", "0001", "0001"},
        {"branch under the head office", "0002", "0001"},
        {"no centre: the branch itself", "0003", "0003"},
        {"under another centre", "0007", "0006"},
        {"unknown branch", "9999", ""},
        {"code longer than the column", "00021", ""},
    };
    for (SqlDialect d : kDialects)
        for (const auto &c : cases)
            QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": ") + QLatin1String(c.name)))
                << d << QString::fromLatin1(c.branch) << QString::fromLatin1(c.centre);
}

void tst_MultiDb::purchasingCentre()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, branch);
    QFETCH(QString, centre);
    TADOIBQuery *q = control<TADOIBQuery>(m_form.get(), "qryCentComp");
    auto query = [&] {
        q->Close();
        q->ParamByName(QStringLiteral("P_CDFILIAL")).setValue(branch);
        q->Open();
        return dump(*q);
    };
    const QStringList expected = run(SqlDialect::SQLite, query);
    const QStringList got = run(dialect, query);
    QCOMPARE(got, expected);
    QCOMPARE(q->FieldByName(QStringLiteral("CDFILCENTCMP")).AsString(), centre);
    // Firebird runs the InterBase text with its stored NVLSTR.
    if (dialect == SqlDialect::Firebird)
        QVERIFY(q->ActiveSQL().contains(QStringLiteral("NVLSTR")));
}

void tst_MultiDb::supplierList_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    addDialectRows();
}

void tst_MultiDb::supplierList()
{
    QFETCH(SqlDialect, dialect);
    auto fetch = [] {
        rdmConsListaPreco rdm(QString::fromLatin1(dtmDBGeral::connectionName()));
        rdm.setCacheTime(0);
        const DataPacket packet = DataPacket::decode(rdm.GetFornecedor());
        QStringList lines;
        for (const auto &row : packet.rows) {
            QStringList values;
            for (const QVariant &v : row)
                values << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            lines << values.join(QLatin1Char('|'));
        }
        return lines;
    };
    const QStringList expected = run(SqlDialect::SQLite, fetch);
    const QStringList got = run(dialect, fetch);
    QCOMPARE(got, expected);
    // Only quoted suppliers; the awkward codes are quoted too.
    QVERIFY2(got.size() > 40, qPrintable(got.join(QLatin1Char('\n'))));
    for (const QString &key : awkwardKeys())
        QVERIFY2(got.filter(QLatin1Char('|') + key).size() == 1, qPrintable(key));
}

void tst_MultiDb::listParameter_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<int>("fillers");
    for (SqlDialect d : kDialects) {
        const QString n = rowName(d) + QStringLiteral(": ");
        QTest::newRow(qPrintable(n + QStringLiteral("few keys"))) << d << 0;
        // Up to the longest list written inline on every database.
        QTest::newRow(qPrintable(n + QStringLiteral("400 keys"))) << d << 392;
        QTest::newRow(qPrintable(n + QStringLiteral("2000 keys"))) << d << 1992;
    }
}

void tst_MultiDb::listParameter()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(int, fillers);
    // Four real codes, the awkward ones, and codes that match nothing.
    QStringList keys = {QStringLiteral("000001"), QStringLiteral("000002"), QStringLiteral("000003"),
                        QStringLiteral("000004")};
    keys << awkwardKeys();
    for (int i = 0; i < fillers; ++i)
        keys << QStringLiteral("X%1").arg(i, 6, 10, QLatin1Char('0'));
    QCOMPARE(keys.size(), 8 + fillers);

    TADOIBQuery q;
    q.SQL = QStringList{QStringLiteral("SELECT CDFORNECED, NMFANTFORN FROM FORNECEDOR"),
                        QStringLiteral("WHERE CDFORNECED IN (:L_LISTAFORNE)"), QStringLiteral("ORDER BY CDFORNECED")};
    auto query = [&] {
        q.Close();
        q.ParamByName(QStringLiteral("L_LISTAFORNE")).setAsString(ListString::encode(keys));
        q.Open();
        return dump(q);
    };
    const QStringList expected = run(SqlDialect::SQLite, query);
    const QStringList got = run(dialect, query);
    QCOMPARE(got, expected);
    QCOMPARE(got.size(), 8);
    // Nothing was dropped on the way.
    use(dialect);
    QSqlQuery count(dtmDBGeral::dtbGeral());
    QVERIFY2(count.exec(QStringLiteral("SELECT COUNT(*) FROM FORNECEDOR")) && count.next(),
             qPrintable(count.lastError().text()));
    QCOMPARE(count.value(0).toInt(), DemoOptions().suppliers + int(awkwardKeys().size()));
}

void tst_MultiDb::writeRefused_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("sql");
    const struct
    {
        const char *name;
        const char *sql;
    } cases[] = {
        {"update", "UPDATE FILIAL SET NMFILIAL = 'Alterada' WHERE CDFILIAL = '0001'"},
        {"insert", "INSERT INTO REGIAO (CDREGIAO, NMREGIAO) VALUES ('ZZZ', 'Nova')"},
        {"delete", "DELETE FROM COTACAO"},
        {"create table", "CREATE TABLE INTRUSA (A INTEGER)"},
    };
    for (SqlDialect d : kDialects)
        for (const auto &c : cases)
            QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": ") + QLatin1String(c.name)))
                << d << QString::fromLatin1(c.sql);
}

void tst_MultiDb::writeRefused()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, sql);
    use(dialect);
    QSqlDatabase db = dtmDBGeral::dtbGeral();
    {
        QSqlQuery q(db);
        QVERIFY2(!q.exec(sql), qPrintable(QStringLiteral("accepted: ") + sql));
        QVERIFY(q.lastError().isValid());
    }
    // A refused statement leaves nothing behind, and the connection still reads.
    QSqlQuery check(db);
    QVERIFY2(check.exec(QStringLiteral("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '0001'")) && check.next(),
             qPrintable(check.lastError().text()));
    QCOMPARE(check.value(0).toString(), QStringLiteral("Matriz Curitiba"));
    QSqlQuery quotes(db);
    QVERIFY(quotes.exec(QStringLiteral("SELECT COUNT(*) FROM COTACAO")) && quotes.next());
    QVERIFY(quotes.value(0).toInt() > 0);
}

void tst_MultiDb::unreachableServer_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    addDialectRows();
}

void tst_MultiDb::unreachableServer()
{
    QFETCH(SqlDialect, dialect);
    DbConfig config = m_reader[int(dialect)];
    QString where;
    if (dialect == SqlDialect::SQLite) {
        config.database += QStringLiteral(".ausente");
        where = config.database;
    } else {
        // A port nobody listens on: taken, then let go.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        config.port = probe.serverPort();
        probe.close();
        where = QStringLiteral("127.0.0.1:%1").arg(config.port);
    }
    try {
        dtmDBGeral::open(config);
        QFAIL("opened an unreachable database");
    } catch (const EDatabaseError &e) {
        const QString m = e.message();
        QVERIFY2(m.contains(where), qPrintable(m));
        QVERIFY2(m.contains(dialectName(dialect)), qPrintable(m));
        if (dialect != SqlDialect::SQLite) {
            QVERIFY2(m.startsWith(QStringLiteral("Não foi possível abrir o banco de dados")), qPrintable(m));
            QVERIFY2(m.contains(config.driver) && m.contains(QFileInfo(config.database).fileName()), qPrintable(m));
            QVERIFY2(m.contains(QStringLiteral("Verifique")), qPrintable(m));
        }
    }
    QVERIFY(!dtmDBGeral::isOpen());
}

void tst_MultiDb::gerabaseOnServer_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::newRow("postgresql") << SqlDialect::PostgreSQL;
    QTest::newRow("firebird") << SqlDialect::Firebird;
}

void tst_MultiDb::gerabaseOnServer()
{
    QFETCH(SqlDialect, dialect);
    const QString bin = QString::fromLocal8Bit(qgetenv("SUITE_BIN_DIR"));
    QVERIFY2(!bin.isEmpty(), "SUITE_BIN_DIR not set: run through ctest");
    const DbServers servers = DbServers::fromEnvironment();
    const QString name = QStringLiteral("lpr_cli%1").arg(QCoreApplication::applicationPid());
    servers.createDatabase(dialect, name);
    const DbConfig owner = servers.owner(dialect, name);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(bin + QStringLiteral("/gerabase"),
            {QStringLiteral("--driver"), owner.driver, QStringLiteral("--host"), owner.host, QStringLiteral("--port"),
             QString::number(owner.port), QStringLiteral("--user"), owner.user, QStringLiteral("--password"),
             owner.password, QStringLiteral("--database"), owner.database, QStringLiteral("--reader"),
             servers.readerUser(dialect), QStringLiteral("--products"), QStringLiteral("40"),
             QStringLiteral("--quotes"), QStringLiteral("70")});
    QVERIFY2(p.waitForFinished(120000), qPrintable(p.errorString()));
    const QString output = QString::fromUtf8(p.readAll());
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, qPrintable(output));
    {
        // The reader was granted what it needs.
        QSqlDatabase db = dtmDBGeral::openConnection(servers.reader(dialect, name), QStringLiteral("cli"), true);
        QSqlQuery q(db);
        QVERIFY2(q.exec(QStringLiteral("SELECT COUNT(*) FROM PRODUTO")) && q.next(), qPrintable(q.lastError().text()));
        QCOMPARE(q.value(0).toInt(), 40);
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM COTACAO")) && q.next());
        QCOMPARE(q.value(0).toInt(), 70);
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("cli"));
    servers.dropDatabase(dialect, name);
}

QTEST_MAIN(tst_MultiDb)
#include "tst_multidb.moc"
