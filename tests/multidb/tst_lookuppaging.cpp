// The lookup list's pages on SQLite, PostgreSQL and Firebird: every row read once, in
// pages that the database answers by walking an index in order, not by sorting the table.

#include "data/Database.h"
#include "DbServers.h"
#include "errors/EAbort.h"
#include "data/TADOIBQuery.h"
#include "TestEnv.h"
#include "controls/lookup/LookupSqlModel.h"
#include "text/TextFold.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QtTest>
#include <memory>

Q_DECLARE_METATYPE(SqlDialect)

namespace {

constexpr SqlDialect kDialects[] = {SqlDialect::SQLite, SqlDialect::PostgreSQL, SqlDialect::Firebird};
// More equal names than a first and a next page hold: the pages continue by code.
constexpr int kEqualNames = LookupSqlModel::firstPage + LookupSqlModel::nextPage + 7;

QString rowName(SqlDialect d)
{
    return dialectName(d).toLower();
}

} // namespace

class tst_LookupPaging : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void withoutFinalOrder_data();
    void withoutFinalOrder();
    void pagesReadEveryRowOnce_data();
    void pagesReadEveryRowOnce();
    void pagesWalkAnIndex_data();
    void pagesWalkAnIndex();

private:
    void use(SqlDialect dialect);
    // Keys of the products a search finds, asked directly: a code by its start, a name
    // folded, by its start for one or two characters, anywhere for more.
    QStringList keysFound(const QString &field, const QString &typed);
    QString firebirdPlan(const QString &sql);

    std::unique_ptr<TestEnv> m_env[3];
    DbConfig m_reader[3];
    QObject *m_owner = nullptr;
    TADOIBQuery *m_query = nullptr;
};

void tst_LookupPaging::initTestCase()
{
    try {
        for (int i = 2; i >= 0; --i) {
            m_env[i] = std::make_unique<TestEnv>(kDialects[i]);
            m_reader[i] = m_env[i]->config();
            for (int n = 0; n < kEqualNames; ++n)
                m_env[i]->exec(QStringLiteral("INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD, NMPRODUTO) VALUES (?, ?, ?)"),
                               {QStringLiteral("M%1").arg(n, 9, 10, QLatin1Char('0')),
                                QStringLiteral("99%1").arg(kEqualNames - n, 7, 10, QLatin1Char('0')),
                                QStringLiteral("Mesmo nome")});
        }
    } catch (const ESuiteError &e) {
        QFAIL(qPrintable(e.message()));
    }
}

void tst_LookupPaging::cleanupTestCase()
{
    for (auto &env : m_env)
        env.reset();
}

void tst_LookupPaging::init()
{
    m_owner = new QObject;
    m_query = new TADOIBQuery(m_owner);
    // The screen's product list: ordered by code, which the pages replace with their order.
    m_query->SQL = QStringList{QStringLiteral("SELECT CDPRODUTO, CDARVPROD, NMPRODUTO, NMBUSCA FROM PRODUTO"),
                               QStringLiteral("ORDER BY CDARVPROD")};
    m_query->AddField(QStringLiteral("CDPRODUTO"), 10, QStringLiteral("Código"), 15, false);
    m_query->AddField(QStringLiteral("CDARVPROD"), 20, QStringLiteral("Código"));
    TField &name = m_query->AddField(QStringLiteral("NMPRODUTO"), 50, QStringLiteral("Nome"));
    name.SearchField = QStringLiteral("NMBUSCA");
    name.SearchTable = QStringLiteral("PRODUTO_BUSCA");
    name.SearchWords = QStringLiteral("PRODUTO_PALAVRA");
    name.SearchVocabulary = QStringLiteral("PRODUTO_VOCABULO");
    m_query->AddField(QStringLiteral("NMBUSCA"), 50, QString(), 0, false);
}

void tst_LookupPaging::cleanup()
{
    delete m_owner;
    m_owner = nullptr;
}

void tst_LookupPaging::use(SqlDialect dialect)
{
    const DbConfig &config = m_reader[int(dialect)];
    QVERIFY2(!config.database.isEmpty(), "database not built");
    Session::current().db = config;
    dtmDBGeral::open(config);
}

void tst_LookupPaging::withoutFinalOrder_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    const QString same; // unchanged
    QTest::newRow("final order") << "SELECT A FROM T ORDER BY A"
                                 << "SELECT A FROM T";
    QTest::newRow("lower case, after a condition") << "select a from t where b = 1\norder  by a desc, b"
                                                   << "select a from t where b = 1";
    QTest::newRow("no order") << "SELECT A FROM T WHERE B = 1" << same;
    QTest::newRow("order of a derived table") << "SELECT A FROM (SELECT A FROM T ORDER BY A) X" << same;
    QTest::newRow("order of a window") << "SELECT ROW_NUMBER() OVER (ORDER BY A) FROM T" << same;
    QTest::newRow("outer order, inner order kept") << "SELECT A FROM (SELECT A FROM T ORDER BY A LIMIT 3) X ORDER BY A"
                                                   << "SELECT A FROM (SELECT A FROM T ORDER BY A LIMIT 3) X";
    // The order chooses which rows a limit keeps.
    QTest::newRow("order then LIMIT") << "SELECT A FROM T ORDER BY A LIMIT 5" << same;
    QTest::newRow("order then ROWS") << "SELECT A FROM T ORDER BY A ROWS 5" << same;
    QTest::newRow("order then FETCH") << "SELECT A FROM T ORDER BY A FETCH FIRST 5 ROWS ONLY" << same;
    QTest::newRow("order then OFFSET") << "SELECT A FROM T ORDER BY A OFFSET 5" << same;
    QTest::newRow("words in a literal") << "SELECT 'x ORDER BY y' AS A FROM T" << same;
    QTest::newRow("words in a comment") << "SELECT A FROM T -- ORDER BY A\n" << same;
    QTest::newRow("words in a block comment") << "SELECT A FROM T /* ORDER BY A */" << same;
    QTest::newRow("quoted names") << "SELECT \"ORDER\" FROM T ORDER BY \"BY\""
                                  << "SELECT \"ORDER\" FROM T";
    QTest::newRow("doubled quote and parenthesis in a literal") << "SELECT A FROM T WHERE B = 'O''BRIEN (' ORDER BY A"
                                                                << "SELECT A FROM T WHERE B = 'O''BRIEN ('";
    QTest::newRow("union ordered as a whole") << "SELECT A FROM T UNION SELECT A FROM U ORDER BY 1"
                                              << "SELECT A FROM T UNION SELECT A FROM U";
    QTest::newRow("column named like the keyword") << "SELECT ORDERS FROM T ORDER BY ORDERS"
                                                   << "SELECT ORDERS FROM T";
}

void tst_LookupPaging::withoutFinalOrder()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(LookupSqlModel::withoutFinalOrder(sql), expected.isNull() ? sql : expected);
}

QStringList tst_LookupPaging::keysFound(const QString &field, const QString &typed)
{
    QSqlQuery q(dtmDBGeral::dtbGeral());
    const QString sql = QStringLiteral("SELECT CDARVPROD, %1 FROM PRODUTO").arg(field);
    if (!q.exec(sql))
        return {QStringLiteral("ERRO: ") + q.lastError().text()};
    const bool byName = field != QLatin1String("CDARVPROD");
    const QString part = byName ? TextFold::fold(typed) : typed;
    QStringList keys;
    while (q.next()) {
        const QString value = byName ? TextFold::fold(q.value(1).toString()) : q.value(1).toString();
        if (byName && part.size() >= LookupSqlModel::minPartLength ? value.contains(part) : value.startsWith(part))
            keys << q.value(0).toString();
    }
    keys.sort();
    return keys;
}

void tst_LookupPaging::pagesReadEveryRowOnce_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    for (SqlDialect d : kDialects) {
        QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": by code, whole list"))) << d << "CDARVPROD"
                                                                                        << "";
        QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": by code, prefix"))) << d << "CDARVPROD"
                                                                                    << "99";
        QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": by name, whole list"))) << d << "NMPRODUTO"
                                                                                        << "";
        QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": by name, equal names"))) << d << "NMPRODUTO"
                                                                                         << "Mesmo";
        QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": by name, a part"))) << d << "NMPRODUTO"
                                                                                    << "smo n";
        // Two parts, each read through its words and met where the other is.
        QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": by name, two parts"))) << d << "NMPRODUTO"
                                                                                       << "mesmo nome";
        QTest::newRow(qPrintable(rowName(d) + QStringLiteral(": by name, two letters"))) << d << "NMPRODUTO"
                                                                                         << "Me";
    }
}

void tst_LookupPaging::pagesReadEveryRowOnce()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    use(dialect);
    LookupSqlModel model(m_query, {}, QStringLiteral("CDARVPROD"), m_owner);
    QStringList keys;
    try {
        model.search(field, typed);
        for (int i = 0; i < 1000 && model.canFetchMore(QModelIndex()); ++i)
            model.fetchMore(QModelIndex());
    } catch (const ESuiteError &e) {
        QFAIL(qPrintable(e.message()));
    }
    QVERIFY(!model.canFetchMore(QModelIndex()));
    for (int r = 0; r < model.rowCount(); ++r)
        keys << model.keyValue(r).toString();
    const QStringList expected = keysFound(field, typed);
    QVERIFY(expected.size() >= kEqualNames);
    QStringList sorted = keys;
    sorted.sort();
    QCOMPARE(sorted, expected); // none missing, none twice
    if (field == QLatin1String("CDARVPROD"))
        QCOMPARE(keys, sorted);
    else if (typed == QLatin1String("Mesmo"))
        QCOMPARE(keys, sorted); // one name: in code order across the pages
}

QString tst_LookupPaging::firebirdPlan(const QString &sql)
{
    const DbServers servers = DbServers::fromEnvironment();
    const DbConfig &reader = m_reader[int(SqlDialect::Firebird)];
    QTemporaryFile script;
    if (!script.open())
        return QStringLiteral("no script file");
    script.write("SET PLANONLY ON;\n");
    script.write(sql.toUtf8() + ";\n");
    script.close();
    QProcess isql;
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start(servers.value(QStringLiteral("FB_ISQL")),
               {QStringLiteral("-q"), QStringLiteral("-ch"), QStringLiteral("UTF8"), QStringLiteral("-user"),
                reader.user, QStringLiteral("-password"), reader.password,
                QStringLiteral("%1/%2:%3").arg(reader.host).arg(reader.port).arg(reader.database), QStringLiteral("-i"),
                script.fileName()});
    if (!isql.waitForFinished(30000))
        return QStringLiteral("isql: ") + isql.errorString();
    return QString::fromUtf8(isql.readAll()).trimmed();
}

void tst_LookupPaging::pagesWalkAnIndex_data()
{
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("filter"); // 0 none, 1 what was typed, 2 a name's start
    QTest::addColumn<bool>("continuation");
    for (SqlDialect d : {SqlDialect::PostgreSQL, SqlDialect::Firebird})
        for (const char *field : {"CDARVPROD", "NMPRODUTO"})
            for (int p = 0; p < (qstrcmp(field, "NMPRODUTO") == 0 ? 3 : 2); ++p)
                for (int c = 0; c < 2; ++c)
                    QTest::addRow("%s: %s%s%s", qPrintable(rowName(d)), field,
                                  p == 1   ? " filtered"
                                  : p == 2 ? " start"
                                           : "",
                                  c ? " continued" : "")
                        << d << QString::fromLatin1(field) << p << bool(c);
}

void tst_LookupPaging::pagesWalkAnIndex()
{
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, field);
    QFETCH(int, filter);
    QFETCH(bool, continuation);
    use(dialect);
    LookupSqlModel model(m_query, {}, QStringLiteral("CDARVPROD"), m_owner);
    QString sql = model.pageSql(field, filter > 0, continuation, LookupSqlModel::nextPage, filter == 2);
    // A part of a name: PostgreSQL walks the folded column's index when the part is
    // common, or takes the rows that hold it from the trigram index and sorts those (few);
    // what it must never do is read the table.
    const bool trigram = dialect == SqlDialect::PostgreSQL && field == QLatin1String("NMPRODUTO") && filter == 1;
    // The values as the binding sends them: typed texts on Firebird.
    sql.replace(QStringLiteral(":LK__PARTE"), dialect == SqlDialect::Firebird
                                                  ? QStringLiteral("CAST('%ab%' AS VARCHAR(4))")
                                                  : QStringLiteral("'%ab%'"));
    sql.replace(QRegularExpression(QStringLiteral(":LK__\\w+")),
                dialect == SqlDialect::Firebird ? QStringLiteral("CAST('Ab' AS VARCHAR(2))") : QStringLiteral("'Ab'"));
    QString plan;
    if (dialect == SqlDialect::PostgreSQL) {
        // On a small table a scan and a sort are cheaper; forbidding the scan shows
        // whether an index path without a sort exists.
        QSqlQuery q(dtmDBGeral::dtbGeral());
        QVERIFY2(q.exec(QStringLiteral("SET enable_seqscan = off")), qPrintable(q.lastError().text()));
        QVERIFY2(q.exec(QStringLiteral("EXPLAIN ") + sql), qPrintable(q.lastError().text() + QLatin1Char('\n') + sql));
        QStringList lines;
        while (q.next())
            lines << q.value(0).toString();
        plan = lines.join(QLatin1Char('\n'));
        q.exec(QStringLiteral("RESET enable_seqscan"));
        QVERIFY2(plan.contains(QLatin1String("Index")), qPrintable(plan));
        if (trigram)
            QVERIFY2(!plan.contains(QLatin1String("Seq Scan")), qPrintable(plan));
        else
            QVERIFY2(!plan.contains(QLatin1String("Sort")), qPrintable(plan));
    } else {
        plan = firebirdPlan(sql);
        const QString index = field == QLatin1String("CDARVPROD") ? QStringLiteral("UX_PRODUTO_CDARVPROD")
                                                                  : QStringLiteral("IX_PRODUTO_NMBUSCA");
        QVERIFY2(plan.contains(QStringLiteral("ORDER ") + index), qPrintable(plan + QLatin1Char('\n') + sql));
        QVERIFY2(!plan.contains(QLatin1String("SORT")), qPrintable(plan));
        // An index bitmap besides the walk costs a pass over the rest of the index.
        QVERIFY2(!plan.contains(QLatin1String(" INDEX (")), qPrintable(plan));
    }
}

QTEST_MAIN(tst_LookupPaging)
#include "tst_lookuppaging.moc"
