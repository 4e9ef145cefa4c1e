// A report run that goes wrong, on the database LPR_TEST_DIALECT names: a query stopped
// before its first row (time limit, cancel), statements that would do more than read, a
// disk that refuses the file, the run's limits, and temporaries left by a killed save.
// Whatever the end, no partial file and no open connection remain.

#include "data/Database.h"
#include "DemoSchema.h"
#include "app/Session.h"
#include "errors/EAbort.h"
#include "ReportFixture.h"
#include "ScriptedInteraction.h"
#include "SyntheticReports.h"
#include "report/ReportConnection.h"
#include "report/ReportJob.h"
#include "report/ui/ReportProgress.h"
#include "report/ReportRun.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString numeradas = QStringLiteral("Linhas numeradas");
const QString semFim = QStringLiteral("Consulta sem fim");
const QString escrita = QStringLiteral("Consulta que escreve");

} // namespace

class tst_ReportSafety : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void timeLimitStopsAQueryBeforeItsFirstRow();
    void cancelStopsAQueryBeforeItsFirstRow_data();
    void cancelStopsAQueryBeforeItsFirstRow();
    void hostileDefinitionsLeaveTheDatabaseAsItWas_data();
    void hostileDefinitionsLeaveTheDatabaseAsItWas();
    void aRefusedWriteStopsTheRunAndNamesTheFile_data();
    void aRefusedWriteStopsTheRunAndNamesTheFile();
    void limitsOfTheRun_data();
    void limitsOfTheRun();
    void temporariesOfAKilledSaveAreRemoved();

private:
    QStringList filesLeft() const { return QDir(out->path()).entryList(QDir::Files | QDir::Hidden); }
    int branchCount();
    // What a report could change: every table's rows, and on the servers the large
    // objects and the change mark's value, read as the owner.
    QByteArray fingerprint();

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<QTemporaryDir> reports;
    std::unique_ptr<ScriptedInteraction> io;
    std::unique_ptr<QTemporaryDir> out;
    std::unique_ptr<TReportDesignerDialog> designer;
};

void tst_ReportSafety::initTestCase()
{
    env = std::make_unique<TestEnv>(TestEnv::dialectFromEnvironment());
    reports = std::make_unique<QTemporaryDir>();
    SyntheticReports::save(SyntheticReports::numbered(numeradas), reports->path(), QStringLiteral("LPR077-90.json"));
    SyntheticReports::save(SyntheticReports::endless(semFim), reports->path(), QStringLiteral("LPR077-91.json"));
}

void tst_ReportSafety::cleanupTestCase()
{
    env.reset();
}

void tst_ReportSafety::init()
{
    io = std::make_unique<ScriptedInteraction>();
    out = std::make_unique<QTemporaryDir>();
    designer = std::make_unique<TReportDesignerDialog>();
    designer->ReportDir = reports->path();
    designer->ReportCode = QStringLiteral("LPR077");
    designer->BeforeGetQueryParams = [](TParams &params, bool &) {
        if (TParam *p = params.FindParam(QStringLiteral("P_LINHAS")))
            p->setValue(100000);
    };
}

void tst_ReportSafety::cleanup()
{
    designer.reset();
    out.reset();
    io.reset();
    QTRY_COMPARE(ReportConnection::openCount(), 0);
}

int tst_ReportSafety::branchCount()
{
    QSqlQuery q(env->writable());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM FILIAL")) && q.next() ? q.value(0).toInt() : -1;
}

QByteArray tst_ReportSafety::fingerprint()
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QList<std::pair<QString, int>> reads; // statement, columns (Firebird's driver asks the
                                          // server again for a record while rows are read)
    for (const TableDef &t : DemoSchema::tables())
        reads.append({QStringLiteral("SELECT * FROM %1").arg(t.name), int(t.columns.size())});
    if (env->dialect() == SqlDialect::PostgreSQL) {
        reads.append({QStringLiteral("SELECT COUNT(*) FROM pg_largeobject_metadata"), 1});
        reads.append({QStringLiteral("SELECT COUNT(*) FROM pg_class WHERE relname = 'filial_copia'"), 1});
    }
    if (env->dialect() == SqlDialect::Firebird)
        reads.append({QStringLiteral("SELECT GEN_ID(G_VERSAO_DADOS, 0) FROM RDB$DATABASE"), 1});
    QSqlQuery q(env->writable());
    q.setForwardOnly(true);
    for (const auto &[sql, columns] : reads) {
        if (!q.exec(sql)) {
            qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
            return QByteArray();
        }
        QStringList rows; // in an order of their own: the database's may vary
        while (q.next()) {
            QString row;
            for (int i = 0; i < columns; ++i)
                row += q.value(i).toString() + QLatin1Char('\x1f');
            rows << row;
        }
        rows.sort();
        hash.addData(rows.join(QLatin1Char('\n')).toUtf8());
    }
    q.finish();
    return hash.result().toHex();
}

void tst_ReportSafety::timeLimitStopsAQueryBeforeItsFirstRow()
{
    ReportLimits limits;
    limits.seconds = 1;
    designer->setLimits(limits);
    try {
        designer->SaveAs(nullptr, semFim, out->filePath(QStringLiteral("sem-fim.csv")));
        QFAIL("a query without end finished");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("tempo limite (1 s)")), qPrintable(e.message()));
    }
    QCOMPARE(filesLeft(), QStringList());
}

void tst_ReportSafety::cancelStopsAQueryBeforeItsFirstRow_data()
{
    QTest::addColumn<bool>("soon");
    QTest::newRow("read as a file") << false;
    QTest::newRow("read as the preview") << true; // on PostgreSQL, through a cursor
}

void tst_ReportSafety::cancelStopsAQueryBeforeItsFirstRow()
{
    QFETCH(bool, soon);
    const ReportDefinition def = designer->definition(semFim);
    ReportRun run(def, def.collectParams(env->dialect()), env->dialect(), dtmDBGeral::dtbGeral());
    run.prepare();
    run.setFirstRowsSoon(soon);
    ReportJob job(run, dtmDBGeral::config(), ReportLimits());
    ReportProgress progress(nullptr, false, {}, QStringLiteral("Salvar"));
    struct Nothing : ReportSink
    {
        void begin(const ReportRunInfo &) override { }
        void groupHeader(int, const QString &, bool) override { }
        void detail(const QVariantList &, bool) override { }
        void groupFooter(int, const QString &, const QVariantList &, const QStringList &) override { }
        void summary(const QString &, const QVariantList &, const QStringList &) override { }
        void finish(qint64) override { }
    } sink;
    job.start(sink);
    // Cancel once the statement has surely started (the connection is open).
    QTRY_COMPARE(ReportConnection::openCount(), 1);
    QTimer::singleShot(300, &job, [&job] { job.cancel(); });
    QVERIFY_THROWS_EXCEPTION(EAbort, job.wait(progress));
    QVERIFY(job.rows() == 0);
}

namespace {

enum On { Lite = 1, Pg = 2, Fb = 4, All = 7 };

int bitOf(SqlDialect d)
{
    return d == SqlDialect::SQLite ? Lite : d == SqlDialect::PostgreSQL ? Pg : Fb;
}

// The message a person reads is Portuguese; the database's own words may follow only in
// parentheses or quotes, as a detail.
bool portugueseOutsideDetails(const QString &message)
{
    QString told = message;
    static const QRegularExpression detail(QStringLiteral("\\([^()]*\\)|\"[^\"]*\""));
    for (qsizetype size = -1; size != told.size();) {
        size = told.size();
        told.remove(detail);
    }
    static const QRegularExpression english(
        QStringLiteral("\\b(error|denied|permission|not|function|syntax|cannot|statement|authorized)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return !english.match(told).hasMatch();
}

} // namespace

void tst_ReportSafety::hostileDefinitionsLeaveTheDatabaseAsItWas_data()
{
    QTest::addColumn<int>("on");
    QTest::addColumn<QString>("sql");    // the query (%1: a folder of this test)
    QTest::addColumn<QString>("lookup"); // a criterion's lookup, run before the query
    QTest::addColumn<QString>("message"); // part of the message, when the words are ours

    const QString select = QStringLiteral("SELECT CDFILIAL FROM FILIAL");
    const QString nothing;
    QTest::newRow("delete") << int(All) << QStringLiteral("DELETE FROM FILIAL") << nothing << QStringLiteral("DELETE");
    QTest::newRow("update") << int(All) << QStringLiteral("UPDATE FILIAL SET NMFILIAL = 'x'") << nothing
                            << QStringLiteral("UPDATE");
    QTest::newRow("second statement") << int(All) << QStringLiteral("SELECT CDFILIAL FROM FILIAL; DELETE FROM FILIAL")
                                      << nothing << QStringLiteral("mais de um comando");
    // Starts like a query: the database itself must refuse it.
    QTest::newRow("write behind WITH") << int(Lite | Pg)
                                       << QStringLiteral("WITH X AS (SELECT 1 AS A) DELETE FROM FILIAL") << nothing
                                       << nothing;
    QTest::newRow("writable CTE") << int(Pg)
                                  << QStringLiteral("WITH X AS (DELETE FROM FILIAL RETURNING CDFILIAL) "
                                                    "SELECT CDFILIAL FROM X")
                                  << nothing << nothing;
    QTest::newRow("select into") << int(Pg) << QStringLiteral("SELECT * INTO FILIAL_COPIA FROM FILIAL") << nothing
                                 << nothing;
    QTest::newRow("large object") << int(Pg) << QStringLiteral("SELECT lo_from_bytea(0, 'x') AS CDFILIAL") << nothing
                                  << nothing;
    // The quote the text check ends at is not where the server ends the literal.
    QTest::newRow("statements behind E''")
        << int(Pg)
        << QStringLiteral("SELECT E'\\'' AS CDFILIAL; COMMIT; BEGIN READ WRITE; SELECT lo_from_bytea(0,'gravado'); "
                          "COMMIT; --'")
        << nothing << QStringLiteral("mais de um comando");
    QTest::newRow("statements behind $$") << int(Pg)
                                          << QStringLiteral("SELECT $$'$$ AS CDFILIAL; COMMIT; BEGIN READ WRITE; "
                                                            "SELECT lo_from_bytea(0,'gravado'); COMMIT; --'")
                                          << nothing << QStringLiteral("mais de um comando");
    QTest::newRow("ends other sessions")
        << int(Pg)
        << QStringLiteral("SELECT CAST(count(pg_terminate_backend(pid)) AS TEXT) AS CDFILIAL FROM pg_stat_activity "
                          "WHERE pid <> pg_backend_pid()")
        << nothing << nothing;
    QTest::newRow("lifts read-only") << int(Pg)
                                     << QStringLiteral("SELECT set_config('default_transaction_read_only', 'off', "
                                                       "false) AS CDFILIAL")
                                     << nothing << nothing;
    QTest::newRow("advisory lock") << int(Pg) << QStringLiteral("SELECT CAST(pg_advisory_lock(1) AS TEXT) AS CDFILIAL")
                                   << nothing << nothing;
    QTest::newRow("dblink") << int(Pg)
                            << QStringLiteral("SELECT dblink_exec('dbname=postgres', 'SELECT 1') AS CDFILIAL")
                            << nothing << nothing;
    QTest::newRow("copy to program") << int(Pg) << QStringLiteral("COPY FILIAL TO PROGRAM 'true'") << nothing
                                     << QStringLiteral("COPY");
    QTest::newRow("moves a sequence") << int(Fb)
                                      << QStringLiteral("SELECT CAST(GEN_ID(G_VERSAO_DADOS, 1000) AS VARCHAR(20)) AS "
                                                        "CDFILIAL FROM RDB$DATABASE")
                                      << nothing << nothing;
    QTest::newRow("sequence in a lookup") << int(Fb) << select
                                          << QStringLiteral("SELECT GEN_ID(G_VERSAO_DADOS, -1) FROM RDB$DATABASE")
                                          << nothing;
    QTest::newRow("execute block") << int(Fb)
                                   << QStringLiteral("EXECUTE BLOCK RETURNS (CDFILIAL VARCHAR(20)) AS BEGIN "
                                                     "CDFILIAL = GEN_ID(G_VERSAO_DADOS, 1); SUSPEND; END")
                                   << nothing << nothing;
    QTest::newRow("procedure") << int(Fb) << QStringLiteral("EXECUTE PROCEDURE LISTA_VALORES('1:a')") << nothing
                               << QStringLiteral("EXECUTE");
    QTest::newRow("tokenizer pointer") << int(Lite) << QStringLiteral("SELECT hex(fts3_tokenizer('simple')) AS CDFILIAL")
                                       << nothing << nothing;
    QTest::newRow("load extension") << int(Lite)
                                    << QStringLiteral("SELECT load_extension('/tmp/nada.so') AS CDFILIAL") << nothing
                                    << nothing;
    QTest::newRow("copy of the database") << int(Lite) << QStringLiteral("VACUUM INTO '%1/copia.db'") << nothing
                                          << QStringLiteral("VACUUM");
    QTest::newRow("pragma that allows writes") << int(Lite) << QStringLiteral("PRAGMA query_only = 0") << nothing
                                               << QStringLiteral("PRAGMA");
    QTest::newRow("pragma write in a query") << int(Lite)
                                             << QStringLiteral("SELECT * FROM pragma_query_only(0) AS CDFILIAL")
                                             << nothing << nothing;
    QTest::newRow("attach a file") << int(Lite) << QStringLiteral("ATTACH DATABASE '%1/outro.db' AS X") << nothing
                                   << QStringLiteral("ATTACH");
    QTest::newRow("a gigabyte out of nothing") << int(Lite)
                                               << QStringLiteral("SELECT randomblob(1000000000) AS CDFILIAL")
                                               << nothing << nothing;
    // Past the cap of a field, under the engine's: refused with its column.
    // Past the cap of a field, under the engine's: refused with its column.
    QTest::newRow("huge value") << int(Lite) << QStringLiteral("SELECT printf('%.*c', 3000000, 'x') AS CDFILIAL")
                                << nothing << QStringLiteral("o campo CDFILIAL");
    QTest::newRow("huge value on the server") << int(Pg)
                                              << QStringLiteral("SELECT repeat('x', 3000000) AS CDFILIAL")
                                              << nothing << QStringLiteral("o campo CDFILIAL");
    const QString endlessLite = QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                                               "SELECT MAX(x) FROM c");
    const QString endlessFb = QStringLiteral("SELECT COUNT(*) FROM RDB$FIELDS A, RDB$FIELDS B, RDB$FIELDS C, "
                                             "RDB$FIELDS D");
    QTest::newRow("endless lookup") << int(Lite) << select << endlessLite << QStringLiteral("tempo limite (2 s)");
    QTest::newRow("endless lookup on PostgreSQL") << int(Pg) << select
                                                  << QStringLiteral("SELECT CAST(pg_sleep(600) AS TEXT)")
                                                  << QStringLiteral("tempo limite (2 s)");
    QTest::newRow("endless lookup on Firebird") << int(Fb) << select << endlessFb
                                                << QStringLiteral("tempo limite (2 s)");
}

void tst_ReportSafety::hostileDefinitionsLeaveTheDatabaseAsItWas()
{
    QFETCH(int, on);
    QFETCH(QString, sql);
    QFETCH(QString, lookup);
    QFETCH(QString, message);
    if (!(on & bitOf(env->dialect())))
        QSKIP("not a statement of this database");
    ReportDefinition def = SyntheticReports::base(escrita);
    def.sql = sql.contains(QLatin1String("%1")) ? sql.arg(out->path()) : sql;
    def.columns = {SyntheticReports::column(QStringLiteral("CDFILIAL"), QStringLiteral("text"), 20)};
    if (!lookup.isEmpty())
        def.criteria << ReportCriterion{QStringLiteral("Filial"), QStringLiteral("0001"), lookup};
    SyntheticReports::save(def, reports->path(), QStringLiteral("LPR077-92.json"));
    ReportLimits limits;
    limits.seconds = 2;
    designer->setLimits(limits);

    const QByteArray before = fingerprint();
    QVERIFY(!before.isEmpty());
    // Another report's session, open while this one runs.
    const QString bystander = QStringLiteral("outra-sessao");
    QSqlDatabase other = dtmDBGeral::openConnection(Session::current().reportDb(env->config()), bystander, true);
    const auto closeOther = qScopeGuard([&] {
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(bystander);
    });
    QElapsedTimer took;
    took.start();
    try {
        designer->SaveAs(nullptr, escrita, out->filePath(QStringLiteral("escrita.csv")));
        QFAIL("a hostile report ran to its end");
    } catch (const EAbort &) {
        QFAIL("a hostile report ended silently");
    } catch (const ESuiteError &e) {
        if (!message.isEmpty())
            QVERIFY2(e.message().contains(message, Qt::CaseInsensitive), qPrintable(e.message()));
        QVERIFY2(e.message().contains(escrita), qPrintable(e.message()));
        QVERIFY2(portugueseOutsideDetails(e.message()), qPrintable(e.message()));
    }
    QVERIFY2(took.elapsed() < 10000, "the run outlived its time limit");
    QCOMPARE(fingerprint(), before);
    QSqlQuery alive(other);
    QVERIFY2(alive.exec(QStringLiteral("SELECT COUNT(*) FROM FILIAL")) && alive.next(),
             qPrintable(alive.lastError().text()));
    QVERIFY(dtmDBGeral::ensureAlive() == false);
    QCOMPARE(filesLeft(), QStringList());
}

void tst_ReportSafety::aRefusedWriteStopsTheRunAndNamesTheFile_data()
{
    QTest::addColumn<QString>("suffix");
    for (const char *s : {"csv", "pdf", "html", "xlsx"})
        QTest::newRow(s) << QString::fromLatin1(s);
}

void tst_ReportSafety::aRefusedWriteStopsTheRunAndNamesTheFile()
{
    QFETCH(QString, suffix);
    // The system refuses files above 64 KB, as a full disk refuses any write.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    qint64 seen = 0;
    designer->OnProgress = [&seen](qint64 rows, int) {
        seen = rows;
        return true;
    };
    const QString file = out->filePath(QStringLiteral("cheio.") + suffix);
    QString message;
    try {
        designer->SaveAs(nullptr, numeradas, file);
    } catch (const ESuiteError &e) {
        message = e.message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QVERIFY2(message.contains(QDir::toNativeSeparators(file)), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("tamanho máximo que o disco aceita")), qPrintable(message));
    QVERIFY2(seen < 100000, "the run went on after the file was refused");
    QCOMPARE(filesLeft(), QStringList());
}

void tst_ReportSafety::limitsOfTheRun_data()
{
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("rows") << qint64(1000) << qint64(0) << QStringLiteral("passou de 1.000 linhas");
    QTest::newRow("file size") << qint64(0) << qint64(64 * 1024) << QStringLiteral("tamanho máximo permitido");
}

void tst_ReportSafety::limitsOfTheRun()
{
    QFETCH(qint64, rows);
    QFETCH(qint64, bytes);
    QFETCH(QString, message);
    ReportLimits limits;
    if (rows)
        limits.rows = rows;
    if (bytes)
        limits.fileBytes = bytes;
    designer->setLimits(limits);
    try {
        designer->SaveAs(nullptr, numeradas, out->filePath(QStringLiteral("limite.csv")));
        QFAIL("the run passed its limit");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QCOMPARE(filesLeft(), QStringList());
}

void tst_ReportSafety::temporariesOfAKilledSaveAreRemoved()
{
    auto make = [this](const QString &name) {
        QFile f(out->filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("parcial");
    };
    make(QStringLiteral(".lista.csv.0badf00d.tmp")); // left by a save that was killed
    make(QStringLiteral(".outra.pdf.12345678.tmp")); // a save still running elsewhere
    make(QStringLiteral(".anotacoes.tmp"));          // not one of ours
    const int busy = ::open(QFile::encodeName(out->filePath(QStringLiteral(".outra.pdf.12345678.tmp"))), O_RDONLY);
    QVERIFY(busy >= 0);
    QCOMPARE(::flock(busy, LOCK_EX), 0);

    designer->SaveAs(nullptr, numeradas, out->filePath(QStringLiteral("lista.csv")));
    ::close(busy);
    QStringList left = filesLeft();
    left.sort();
    QCOMPARE(left, (QStringList{QStringLiteral(".anotacoes.tmp"), QStringLiteral(".outra.pdf.12345678.tmp"),
                                QStringLiteral("lista.csv")}));
}

QTEST_MAIN(tst_ReportSafety)
#include "tst_reportsafety.moc"
