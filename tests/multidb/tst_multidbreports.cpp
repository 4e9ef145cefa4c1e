// The price-list reports on SQLite, PostgreSQL and Firebird over the same demo data: the
// CSV file a run saves must be, byte for byte, the one SQLite gives with the main query,
// whether the main query or the text for long lists ran, and whether the rows were read
// as a file reads them or as the preview does (on PostgreSQL, through a cursor).

#include "data/Database.h"
#include "data/PgCursor.h"
#include "data/SqlBinding.h"
#include "errors/EDatabaseError.h"
#include "errors/EAbort.h"
#include "text/ListString.h"
#include "app/Session.h"
#include "TestEnv.h"
#include "report/ReportDefinition.h"
#include "report/ReportDefinitionStore.h"
#include "report/ReportJob.h"
#include "report/ReportRun.h"
#include "report/TReportDesignerDialog.h"
#include "report/output/CsvReportWriter.h"
#include "report/ui/ReportProgress.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

Q_DECLARE_METATYPE(SqlDialect)

namespace {

constexpr SqlDialect kDialects[] = {SqlDialect::SQLite, SqlDialect::PostgreSQL, SqlDialect::Firebird};

const QString porProduto = QStringLiteral("Lista de Preços por Produto");
const QString porFornecedor = QStringLiteral("Lista de Preços por Fornecedor");

// Supplier codes that must reach every database as they are.
QStringList awkwardKeys()
{
    return {QStringLiteral("O'BRIEN"), QStringLiteral("A,B"), QStringLiteral("'; DROP TABLE X;--"),
            QStringLiteral("AÇÃO:ÊXITO 3")};
}

// One combination of the screen's choices.
struct Choices
{
    QString suppliers = QStringLiteral("T"); // "T" or a JSON list
    QString variation = QStringLiteral("N");
    QString order = QStringLiteral("N");
    QString scope = QStringLiteral("T");
};

// How the run reads its rows.
enum class Reading {
    Statement, // the main query, as a file is written
    LongText,  // the text for long lists, its count's mark set to one line, read as the preview
    Preview,   // as the preview reads, its first rows soon
};

// The parameters of the designer's last run, to run them again another way.
class Designer : public TReportDesignerDialog
{
public:
    const TParams &lastParams() const { return m_lastParams; }
};

} // namespace

Q_DECLARE_METATYPE(Choices)
Q_DECLARE_METATYPE(Reading)

class tst_MultiDbReports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void csvIsTheSameOnEveryDatabase_data();
    void csvIsTheSameOnEveryDatabase();
    void cursorReadsEveryBatchAndEnds_data();
    void cursorReadsEveryBatchAndEnds();

private:
    QByteArray saveCsv(SqlDialect dialect, const QString &report, const Choices &choices,
                       Reading reading = Reading::Statement);

    std::unique_ptr<TestEnv> m_env[3];
    DbConfig m_reader[3];
    QStringList m_pickedSuppliers;
    QTemporaryDir m_out;
    QTemporaryDir m_longText; // the shipped definitions, their text for long lists always chosen
    QList<ReportDefinition> m_longLists; // the lists, of those two, with a text for long lists
};

void tst_MultiDbReports::initTestCase()
{
    try {
        for (int i = 2; i >= 0; --i) {
            m_env[i] = std::make_unique<TestEnv>(kDialects[i]);
            m_reader[i] = m_env[i]->config();
            // Quotes of suppliers whose codes need care, one per branch of the run, the
            // second a rise over the first (variation on the same product and branch).
            int number = 900000;
            for (const QString &key : awkwardKeys()) {
                m_env[i]->exec(QStringLiteral("INSERT INTO FORNECEDOR (CDFORNECED, IDTPIJURFORN, NRINSJURFORN, "
                                              "NMFANTFORN, NMRAZSOCFORN) VALUES (?, 'J', '11222333000181', ?, ?)"),
                               {key, QStringLiteral("Fantasia; \"") + key, QStringLiteral("Razão ") + key});
                for (int q = 0; q < 2; ++q)
                    m_env[i]->exec(
                        QStringLiteral("INSERT INTO COTACAO (NRCOTACAO, CDFILIAL, CDFORNECED, CDPRODUTO, "
                                       "CDOPERADOR, DTVALINI, DTVALFIN, VRPRECO, PCIPI, PCDESCONTO) "
                                       "VALUES (?, '0001', ?, '0000000001', NULL, ?, ?, ?, 5, 2.5)"),
                        {++number, key, QDate(2026, 12, 1 + 10 * q), QDate(2026, 12, 31), q ? 13.4567 : 12.34});
            }
        }
    } catch (const ESuiteError &e) {
        QFAIL(qPrintable(e.message()));
    }
    // A few quoted suppliers picked on the screen, and the awkward ones.
    QSqlQuery q(m_env[0]->writable());
    QVERIFY2(q.exec(QStringLiteral("SELECT DISTINCT CDFORNECED FROM COTACAO WHERE CDFILIAL = '0001' "
                                   "ORDER BY CDFORNECED LIMIT 5")),
             qPrintable(q.lastError().text()));
    while (q.next())
        m_pickedSuppliers << q.value(0).toString();
    QVERIFY(m_pickedSuppliers.size() >= 3);
    m_pickedSuppliers << awkwardKeys();
    // The test data is small: a mark of one line makes every run take the long-list text.
    const QDir shipped(Session::current().reportDir);
    for (const QString &name : shipped.entryList({QStringLiteral("LPR077-*.json")})) {
        ReportDefinition d = ReportDefinition::load(shipped.filePath(name));
        if (d.largeList.isSet())
            d.largeList.from = 1;
        if (d.largeList.isSet() && (d.title == porProduto || d.title == porFornecedor))
            m_longLists << d;
        d.save(QDir(m_longText.path()).filePath(name));
    }
    QCOMPARE(m_longLists.size(), 2);
}

void tst_MultiDbReports::cleanupTestCase()
{
    for (auto &env : m_env)
        env.reset();
}

void tst_MultiDbReports::cleanup()
{
    ReportDefinitionStore::discardAll();
}

QByteArray tst_MultiDbReports::saveCsv(SqlDialect dialect, const QString &report, const Choices &choices,
                                       Reading reading)
{
    const DbConfig &config = m_reader[int(dialect)];
    Session::current().db = config;
    dtmDBGeral::open(config);

    Designer designer;
    designer.Batch = true;
    designer.ReportDir = reading == Reading::LongText ? m_longText.path() : Session::current().reportDir;
    designer.ReportCode = QStringLiteral("LPR077");
    const QString suppliers =
        choices.suppliers == QLatin1String("T") ? choices.suppliers : ListString::encode(m_pickedSuppliers);
    // What the screen fills in: whole product range up to the 'Z' bound, all buyers.
    designer.BeforeGetQueryParams = [&](TParams &params, bool &) {
        auto set = [&](const char *name, const QVariant &value) {
            if (TParam *p = params.FindParam(QLatin1String(name))) {
                if (value.metaType().id() == QMetaType::QDate)
                    p->setAsDate(value.toDate());
                else
                    p->setAsString(value.toString());
            }
        };
        set("P_CDFILIAL", QStringLiteral("0001"));
        set("P_CDFILCENTCMP", QStringLiteral("0001"));
        set("P_CDREGIAO", QStringLiteral("001"));
        set("P_CDPRODINI", QString());
        set("P_CDPRODFIN", QStringLiteral("ZZZZZZZZZZ"));
        set("L_LISTAOPER", QStringLiteral("T"));
        set("L_LISTAOPER1", QStringLiteral("T"));
        set("L_LISTAFORNE", suppliers);
        set("L_LISTAFORNE1", suppliers);
        set("P_DTINI", QDate(2026, 12, 1));
        set("P_DTFIN", QDate(2026, 12, 31));
        set("P_SISTEMA", QStringLiteral("CMP"));
        set("P_PAGINA", QStringLiteral("T"));
        set("P_VARIPRECO", choices.variation);
        set("P_ORDPI", choices.order);
        set("P_TODOSPROD", choices.scope);
    };
    const QString file = QDir(m_out.path()).filePath(dialectName(dialect) + QStringLiteral(".csv"));
    QFile::remove(file);
    designer.SaveAs(nullptr, report, file);
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    if (reading == Reading::Statement)
        return f.readAll();
    // The same parameters again, read as the preview reads them: through a cursor on
    // PostgreSQL, and the text for long lists wherever it serves the preview.
    ReportRun run(designer.definition(report), designer.lastParams(), dialect, dtmDBGeral::dtbGeral());
    run.prepare();
    run.setFirstRowsSoon(true);
    QBuffer csv;
    csv.open(QIODevice::WriteOnly);
    CsvReportWriter writer(&csv);
    ReportProgress progress(nullptr, false, {}, QStringLiteral("Visualizar"));
    ReportJob::run(run, writer, progress, ReportLimits());
    if (reading == Reading::Preview && !run.ranCursor())
        return QByteArrayLiteral("(the rows were not read through a cursor)");
    if (reading == Reading::LongText && !run.ranLargeList())
        return QByteArrayLiteral("(the text for long lists did not run)");
    return csv.data();
}

void tst_MultiDbReports::csvIsTheSameOnEveryDatabase_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("report");
    QTest::addColumn<Choices>("choices");
    QTest::addColumn<Reading>("reading");

    Choices plain;
    Choices variation = plain;
    variation.variation = QStringLiteral("S");
    Choices byPrice = variation;
    byPrice.order = QStringLiteral("S");
    Choices picked = byPrice;
    picked.suppliers = QString(); // the picked list
    Choices boughtOnly = plain;
    boughtOnly.scope = QStringLiteral("C");
    Choices pickedBought = picked;
    pickedBought.scope = QStringLiteral("C");
    pickedBought.order = QStringLiteral("N");
    const struct
    {
        const char *name;
        Choices choices;
    } cases[] = {
        {"all suppliers", plain},
        {"variation", variation},
        {"variation, by economic price", byPrice},
        {"picked suppliers, by economic price", picked},
        {"bought in the branch only", boughtOnly},
        {"picked suppliers, bought only, variation", pickedBought},
    };
    for (SqlDialect d : {SqlDialect::PostgreSQL, SqlDialect::Firebird})
        for (const QString &report : {porProduto, porFornecedor})
            for (const auto &c : cases)
                QTest::newRow(qPrintable(
                    QStringLiteral("%1: %2: %3")
                        .arg(dialectName(d).toLower(),
                             report == porProduto ? QStringLiteral("by product") : QStringLiteral("by supplier"),
                             QLatin1String(c.name))))
                    << d << report << c.choices << Reading::Statement;
    for (const QString &report : {porProduto, porFornecedor})
        for (const auto &c : cases)
            QTest::newRow(qPrintable(
                QStringLiteral("postgresql: %1, read as the preview: %2")
                    .arg(report == porProduto ? QStringLiteral("by product") : QStringLiteral("by supplier"),
                         QLatin1String(c.name))))
                << SqlDialect::PostgreSQL << report << c.choices << Reading::Preview;
    for (SqlDialect d : kDialects)
        for (const ReportDefinition &list : std::as_const(m_longLists))
            if (list.largeList.appliesTo(d))
                for (const auto &c : cases)
                    QTest::newRow(qPrintable(
                        QStringLiteral("%1: %2, long-list text: %3")
                            .arg(dialectName(d).toLower(),
                                 list.title == porProduto ? QStringLiteral("by product") : QStringLiteral("by supplier"),
                                 QLatin1String(c.name))))
                        << d << list.title << c.choices << Reading::LongText;
}

void tst_MultiDbReports::csvIsTheSameOnEveryDatabase()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, report);
    QFETCH(Choices, choices);
    QFETCH(Reading, reading);
    QByteArray expected, got;
    try {
        expected = saveCsv(SqlDialect::SQLite, report, choices);
        got = saveCsv(dialect, report, choices, reading);
    } catch (const ESuiteError &e) {
        QFAIL(qPrintable(e.message()));
    }
    const QList<QByteArray> expectedLines = expected.split('\n');
    const QList<QByteArray> gotLines = got.split('\n');
    // The title line and a fair number of quotes: the comparison is not over empty files.
    QVERIFY2(expectedLines.size() > 10, expected.constData());
    for (qsizetype i = 0; i < qMin(expectedLines.size(), gotLines.size()); ++i)
        QVERIFY2(gotLines.at(i) == expectedLines.at(i),
                 qPrintable(QStringLiteral("line %1\n  %2: %3\n  SQLite: %4")
                                .arg(i + 1)
                                .arg(dialectName(dialect), QString::fromUtf8(gotLines.at(i)),
                                     QString::fromUtf8(expectedLines.at(i)))));
    QCOMPARE(gotLines.size(), expectedLines.size());
    QVERIFY(got == expected);
    if (reading == Reading::Preview && choices.suppliers == QLatin1String("T") && choices.scope == QLatin1String("T"))
        // Rows enough for a full first batch of the cursor and a short last one.
        QVERIFY2(gotLines.size() > PgCursor::defaultFirstBatch + 1, QByteArray::number(gotLines.size()).constData());
    if (choices.variation == QLatin1String("S")) {
        // Some quotes have a previous one: the variation column is not blank throughout.
        qsizetype varied = 0;
        for (qsizetype i = 1; i < gotLines.size(); ++i)
            if (!gotLines.at(i).trimmed().isEmpty() && !gotLines.at(i).trimmed().endsWith(';'))
                ++varied;
        QVERIFY2(varied > 0, got.constData());
    }
    if (!choices.suppliers.isEmpty())
        return;
    // The picked list reached the query: only its suppliers, the awkward ones included.
    for (const QString &key : awkwardKeys())
        QVERIFY2(got.contains(key.toUtf8()), qPrintable(key));
}

QTEST_MAIN(tst_MultiDbReports)
#include "tst_multidbreports.moc"

// PostgreSQL's cursor over batches of 10, 20, 40 ... rows: every row once and in order
// whatever the count (a batch short, one full to the last row, none at all); a run stopped
// early or failed at a row gives its rows up to there; and after each, neither the
// transaction nor the cursor stays open on the connection.
void tst_MultiDbReports::cursorReadsEveryBatchAndEnds_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("failAt");   // the row whose value the server cannot compute; 0: none
    QTest::addColumn<int>("readOnly"); // rows read before the reader is dropped; -1: all
    QTest::addColumn<int>("expected"); // rows that come
    QTest::newRow("no rows") << 0 << 0 << -1 << 0;
    QTest::newRow("one row") << 1 << 0 << -1 << 1;
    QTest::newRow("first batch short by one") << 9 << 0 << -1 << 9;
    QTest::newRow("first batch exactly") << 10 << 0 << -1 << 10;
    QTest::newRow("one past the first batch") << 11 << 0 << -1 << 11;
    QTest::newRow("two batches exactly") << 30 << 0 << -1 << 30;
    QTest::newRow("many batches") << 2000 << 0 << -1 << 2000;
    QTest::newRow("dropped in the second batch") << 100 << 0 << 15 << 15;
    QTest::newRow("fails in the second batch") << 100 << 15 << -1 << 10;
    QTest::newRow("fails in the first batch") << 100 << 3 << -1 << 0;
}

void tst_MultiDbReports::cursorReadsEveryBatchAndEnds()
{
    QFETCH(int, rows);
    QFETCH(int, failAt);
    QFETCH(int, readOnly);
    QFETCH(int, expected);
    const DbConfig &config = m_reader[int(SqlDialect::PostgreSQL)];
    dtmDBGeral::open(config);
    const QSqlDatabase db = dtmDBGeral::dtbGeral();
    PreparedSql sql;
    sql.text = QStringLiteral("SELECT G, 100 / (G - ?) AS V FROM generate_series(1, ?) G");
    sql.values = {failAt, rows};
    int read = 0;
    bool failed = false;
    {
        PgCursor cursor(db, 10);
        try {
            cursor.open(sql);
        } catch (const EDatabaseError &e) {
            failed = true;
            QVERIFY2(e.cause().contains(QLatin1String("division by zero")), qPrintable(e.message()));
        }
        while (!failed && (readOnly < 0 || read < readOnly) && cursor.next()) {
            ++read;
            QCOMPARE(cursor.value(0).toInt(), read);
        }
        failed = failed || cursor.lastError().isValid();
        if (readOnly < 0 && !failed)
            QVERIFY(!cursor.next());
    }
    QCOMPARE(read, expected);
    QCOMPARE(failed, failAt > 0);
    // No transaction left open (its start would be older than this statement's) and no cursor.
    QSqlQuery q(db);
    QVERIFY2(q.exec(QStringLiteral("SELECT xact_start = query_start, (SELECT COUNT(*) FROM pg_cursors) "
                                   "FROM pg_stat_activity WHERE pid = pg_backend_pid()")),
             qPrintable(q.lastError().text()));
    QVERIFY(q.next());
    QVERIFY(q.value(0).toBool());
    QCOMPARE(q.value(1).toInt(), 0);
}
