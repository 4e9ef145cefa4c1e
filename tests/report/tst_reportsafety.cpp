// A report run that goes wrong, on the database LPR_TEST_DIALECT names: a query stopped
// before its first row (time limit, cancel), statements that would do more than read, a
// disk that refuses the file, the run's limits, and temporaries left by a killed save.
// Whatever the end, no partial file and no open connection remain.

#include "Database.h"
#include "EAbort.h"
#include "ReportFixture.h"
#include "ScriptedInteraction.h"
#include "SyntheticReports.h"
#include "report/ReportConnection.h"
#include "report/ReportJob.h"
#include "report/ReportProgress.h"
#include "report/ReportRun.h"

#include <QSqlQuery>
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
    void cancelStopsAQueryBeforeItsFirstRow();
    void statementsThatDoMoreThanReadAreRefused_data();
    void statementsThatDoMoreThanReadAreRefused();
    void aRefusedWriteStopsTheRunAndNamesTheFile_data();
    void aRefusedWriteStopsTheRunAndNamesTheFile();
    void limitsOfTheRun_data();
    void limitsOfTheRun();
    void temporariesOfAKilledSaveAreRemoved();

private:
    QStringList filesLeft() const { return QDir(out->path()).entryList(QDir::Files | QDir::Hidden); }
    int branchCount();

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

void tst_ReportSafety::cancelStopsAQueryBeforeItsFirstRow()
{
    const ReportDefinition def = designer->definition(semFim);
    ReportRun run(def, def.collectParams(env->dialect()), env->dialect(), dtmDBGeral::dtbGeral());
    run.prepare();
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

void tst_ReportSafety::statementsThatDoMoreThanReadAreRefused_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message"); // part of the message, when the check is ours
    QTest::newRow("copy of the database") << QStringLiteral("VACUUM INTO '%1/copia.db'") << QStringLiteral("VACUUM");
    QTest::newRow("pragma that allows writes") << QStringLiteral("PRAGMA query_only = 0") << QStringLiteral("PRAGMA");
    QTest::newRow("second statement") << QStringLiteral("SELECT CDFILIAL FROM FILIAL; DELETE FROM FILIAL")
                                      << QStringLiteral("mais de um comando");
    QTest::newRow("attach a file") << QStringLiteral("ATTACH DATABASE '%1/outro.db' AS X") << QStringLiteral("ATTACH");
    // Starts like a query: the database itself must refuse it.
    QTest::newRow("a write behind WITH") << QStringLiteral("WITH X AS (SELECT 1 AS A) DELETE FROM FILIAL") << QString();
}

void tst_ReportSafety::statementsThatDoMoreThanReadAreRefused()
{
    QFETCH(QString, sql);
    QFETCH(QString, message);
    ReportDefinition def = SyntheticReports::base(escrita);
    def.sql = sql.contains(QLatin1String("%1")) ? sql.arg(out->path()) : sql;
    def.columns = {SyntheticReports::column(QStringLiteral("CDFILIAL"), QStringLiteral("text"), 20)};
    SyntheticReports::save(def, reports->path(), QStringLiteral("LPR077-92.json"));
    const int before = branchCount();
    QVERIFY(before > 0);
    try {
        designer->SaveAs(nullptr, escrita, out->filePath(QStringLiteral("escrita.csv")));
        QFAIL("a statement that writes ran");
    } catch (const ESuiteError &e) {
        if (!message.isEmpty())
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        QVERIFY2(e.message().contains(escrita), qPrintable(e.message()));
    }
    QCOMPARE(branchCount(), before);
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
