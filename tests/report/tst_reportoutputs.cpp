// The outputs of one run, on the database LPR_TEST_DIALECT names: the PDF holds every
// row of the CSV in order across page breaks, every output reads the query once,
// printing honours the dialog's range, copies and collation, and the preview shows page
// 1 while the rest is still being laid out.

#include "data/Database.h"
#include "errors/EAbort.h"
#include "ReportFixture.h"
#include "ScriptedInteraction.h"
#include "SyntheticReports.h"
#include "report/PageStore.h"
#include "report/ReportConnection.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "report/ui/ReportPreviewDialog.h"
#include "report/ui/ReportPreviewView.h"
#include "report/ReportRun.h"

#include <QAtomicInt>
#include <QLabel>
#include <QPrinter>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

namespace {

const QString porProduto = QStringLiteral("Lista de Preços por Produto");
const QString porFornecedor = QStringLiteral("Lista de Preços por Fornecedor");
const QString numeradas = QStringLiteral("Linhas numeradas");

// The pages of a PDF as text, one entry per page.
QStringList pdfPages(const QString &pdf)
{
    return runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
        .split(QLatin1Char('\f'), Qt::SkipEmptyParts);
}

// The numbers N of "Página N de M" on each page, and M (the same on every page, or -1).
QList<int> pageNumbers(const QStringList &pages, int *total)
{
    static const QRegularExpression re(QStringLiteral("LPR077 - Página (\\d+) de (\\d+)"));
    QList<int> numbers;
    *total = 0;
    for (const QString &page : pages) {
        const QRegularExpressionMatch m = re.match(page);
        numbers << (m.hasMatch() ? m.captured(1).toInt() : 0);
        const int m2 = m.hasMatch() ? m.captured(2).toInt() : -1;
        *total = (*total == 0 || *total == m2) ? m2 : -1;
    }
    return numbers;
}

int pdfPageCount(const QString &pdf)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(runTool(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class tst_ReportOutputs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void pdfHoldsEveryRowOfTheCsvInOrder_data();
    void pdfHoldsEveryRowOfTheCsvInOrder();
    void eachOutputReadsTheQueryOnce();
    void printHonoursRangeCopiesAndCollation_data();
    void printHonoursRangeCopiesAndCollation();
    void printOfARangeBeyondTheEndSaysSo();
    void longPrintAsksFirst();
    void previewShowsPageOneWhileLayoutGoesOn();

private:
    QString save(const QString &title, const QString &suffix);
    QString print(const QString &name, int from, int to, int copies, bool collate, int currentPage = 0,
                  bool reverse = false);

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<QTemporaryDir> reports;
    std::unique_ptr<ScriptedInteraction> io;
    std::unique_ptr<QTemporaryDir> out;
    std::unique_ptr<TReportDesignerDialog> designer;
};

void tst_ReportOutputs::initTestCase()
{
    env = std::make_unique<TestEnv>(TestEnv::dialectFromEnvironment());
    reports = std::make_unique<QTemporaryDir>();
    for (const QString &name : QDir(Session::current().reportDir).entryList({QStringLiteral("LPR077*.json")}))
        QVERIFY(QFile::copy(QDir(Session::current().reportDir).filePath(name), reports->filePath(name)));
    SyntheticReports::save(SyntheticReports::numbered(numeradas), reports->path(), QStringLiteral("LPR077-90.json"));
}

void tst_ReportOutputs::cleanupTestCase()
{
    env.reset();
}

void tst_ReportOutputs::init()
{
    io = std::make_unique<ScriptedInteraction>();
    out = std::make_unique<QTemporaryDir>();
    designer = std::make_unique<TReportDesignerDialog>();
    designer->ReportDir = reports->path();
    designer->ReportCode = QStringLiteral("LPR077");
    FormValues::defaults()
        .set(QStringLiteral("P_DTINI"), QDate(2000, 1, 1))
        .set(QStringLiteral("P_DTFIN"), QDate(2100, 12, 31))
        .install(*designer);
}

void tst_ReportOutputs::cleanup()
{
    ReportConnection::setOpenObserver({});
    designer.reset();
    out.reset();
    io.reset();
    QCOMPARE(ReportConnection::openCount(), 0);
}

QString tst_ReportOutputs::save(const QString &title, const QString &suffix)
{
    const QString file = out->filePath(QStringLiteral("relatorio.") + suffix);
    designer->SaveAs(nullptr, title, file);
    return file;
}

QString tst_ReportOutputs::print(const QString &name, int from, int to, int copies, bool collate, int currentPage,
                                 bool reverse)
{
    const QString file = out->filePath(name);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    if (currentPage > 0) {
        printer.setPrintRange(QPrinter::CurrentPage);
    } else if (from > 0) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(from, to);
    }
    printer.setCopyCount(copies);
    printer.setCollateCopies(collate);
    printer.setPageOrder(reverse ? QPrinter::LastPageFirst : QPrinter::FirstPageFirst);
    designer->PrintTo(printer, porProduto, currentPage);
    return file;
}

void tst_ReportOutputs::pdfHoldsEveryRowOfTheCsvInOrder_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("pageBreak");
    QTest::newRow("by product") << porProduto << QStringLiteral("F");
    QTest::newRow("by supplier, a page each") << porFornecedor << QStringLiteral("T");
    QTest::newRow("by supplier, groups spilling over pages") << porFornecedor << QStringLiteral("F");
}

void tst_ReportOutputs::pdfHoldsEveryRowOfTheCsvInOrder()
{
    QFETCH(QString, title);
    QFETCH(QString, pageBreak);
    FormValues::defaults()
        .set(QStringLiteral("P_DTINI"), QDate(2000, 1, 1))
        .set(QStringLiteral("P_DTFIN"), QDate(2100, 12, 31))
        .set(QStringLiteral("P_PAGINA"), pageBreak)
        .install(*designer);

    // A row's signature: its first printed value, both dates and the price.
    QString titles;
    const QStringList rows = csvRows(save(title, QStringLiteral("csv")), &titles);
    QVERIFY(rows.size() > 100);
    const QStringList columns = csvFields(titles);
    const int first = columns.indexOf(title == porProduto ? QStringLiteral("Fornecedor") : QStringLiteral("Produto"));
    const int from = columns.indexOf(QStringLiteral("Válida de")), to = columns.indexOf(QStringLiteral("Válida até"));
    const int price = columns.indexOf(QStringLiteral("Preço (R$)"));
    QStringList expected;
    for (const QString &row : rows) {
        const QStringList f = csvFields(row);
        expected << QStringList{f.value(first), f.value(from), f.value(to), f.value(price)}.join(QLatin1Char('|'));
    }

    const QString pdf = save(title, QStringLiteral("pdf"));
    const QStringList pages = pdfPages(pdf);
    static const QRegularExpression detail(
        QStringLiteral("^\\s*(\\S+)\\s.*?(\\d\\d/\\d\\d/\\d{4})\\s+(\\d\\d/\\d\\d/\\d{4})\\s+([\\d.]+,\\d+)"));
    QStringList found;
    int continued = 0;
    for (const QString &page : pages) {
        continued += page.count(QStringLiteral("(continuação)"));
        for (const QString &line : page.split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch m = detail.match(line);
            if (m.hasMatch())
                found << QStringList{m.captured(1), m.captured(2), m.captured(3),
                                     m.captured(4).remove(QLatin1Char('.'))}
                             .join(QLatin1Char('|'));
        }
    }
    QCOMPARE(found, expected);
    if (pageBreak == QLatin1String("F"))
        QVERIFY2(continued > 0, "no group went on to another page: the case proves nothing");

    int total = 0;
    const QList<int> numbers = pageNumbers(pages, &total);
    QCOMPARE(total, pages.size());
    QCOMPARE(pdfPageCount(pdf), pages.size());
    QCOMPARE(designer->lastPageCount(), pages.size());
    for (int i = 0; i < numbers.size(); ++i)
        QCOMPARE(numbers.at(i), i + 1);
}

void tst_ReportOutputs::eachOutputReadsTheQueryOnce()
{
    // What reaches the database: each connection a run opens, and on SQLite each statement
    // started on it.
    QAtomicInt connections, statements;
    ReportConnection::setOpenObserver([&](const QSqlDatabase &db) {
        connections.ref();
        const QVariant handle = db.driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return;
        sqlite3_trace_v2(
            *static_cast<sqlite3 *const *>(handle.constData()), SQLITE_TRACE_STMT,
            [](unsigned, void *counter, void *, void *sql) {
                if (QByteArray(static_cast<const char *>(sql)).contains("FROM COTACAO C"))
                    static_cast<QAtomicInt *>(counter)->ref();
                return 0;
            },
            &statements);
    });
    const bool sqlite = env->dialect() == SqlDialect::SQLite;
    const QList<std::pair<QString, std::function<void()>>> outputs = {
        {QStringLiteral("pdf"), [&] { save(porProduto, QStringLiteral("pdf")); }},
        {QStringLiteral("csv"), [&] { save(porProduto, QStringLiteral("csv")); }},
        {QStringLiteral("xlsx"), [&] { save(porProduto, QStringLiteral("xlsx")); }},
        {QStringLiteral("html"), [&] { save(porProduto, QStringLiteral("html")); }},
        {QStringLiteral("preview"), [&] { designer->Preview(nullptr, porProduto); }},
        {QStringLiteral("print"), [&] { print(QStringLiteral("impresso.pdf"), 2, 3, 2, true); }},
    };
    for (const auto &[name, output] : outputs) {
        connections.storeRelaxed(0);
        statements.storeRelaxed(0);
        output();
        QVERIFY2(designer->lastRowCount() > 0, qPrintable(name));
        QVERIFY2(connections.loadRelaxed() == 1, qPrintable(name));
        if (sqlite)
            QVERIFY2(statements.loadRelaxed() == 1, qPrintable(name));
    }
}

void tst_ReportOutputs::printHonoursRangeCopiesAndCollation_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("copies");
    QTest::addColumn<bool>("collate");
    QTest::addColumn<int>("current");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<QList<int>>("expected"); // page numbers printed, in order
    QTest::newRow("pages 2 to 3") << 2 << 3 << 1 << true << 0 << false << QList<int>{2, 3};
    QTest::newRow("two copies, collated") << 2 << 3 << 2 << true << 0 << false << QList<int>{2, 3, 2, 3};
    QTest::newRow("two copies, page by page") << 2 << 3 << 2 << false << 0 << false << QList<int>{2, 2, 3, 3};
    QTest::newRow("last page first") << 2 << 4 << 1 << true << 0 << true << QList<int>{4, 3, 2};
    QTest::newRow("current page") << 0 << 0 << 1 << true << 3 << false << QList<int>{3};
    QTest::newRow("from a page to one past the end") << 4 << 9999 << 1 << true << 0 << false << QList<int>{};
}

void tst_ReportOutputs::printHonoursRangeCopiesAndCollation()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, copies);
    QFETCH(bool, collate);
    QFETCH(int, current);
    QFETCH(bool, reverse);
    QFETCH(QList<int>, expected);
    const QString pdf = print(QStringLiteral("impresso.pdf"), from, to, copies, collate, current, reverse);
    const int pageCount = designer->lastPageCount();
    QVERIFY(pageCount >= 5);
    if (expected.isEmpty()) // "to the end": every page from `from` on
        for (int p = from; p <= pageCount; ++p)
            expected << p;
    int total = 0;
    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pageNumbers(pages, &total), expected);
    QCOMPARE(total, pageCount); // the numbers are those of the whole run
}

void tst_ReportOutputs::printOfARangeBeyondTheEndSaysSo()
{
    try {
        print(QStringLiteral("nada.pdf"), 500, 600, 1, true);
        QFAIL("printing pages that do not exist succeeded");
    } catch (const ESuiteError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("Nenhuma página do intervalo")), qPrintable(e.message()));
    }
    QCOMPARE(QDir(out->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void tst_ReportOutputs::longPrintAsksFirst()
{
    designer->BeforeGetQueryParams = [](TParams &params, bool &) {
        params.ParamByName(QStringLiteral("P_LINHAS")).setValue(12000);
    };
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString file = out->filePath(QStringLiteral("longo.pdf"));
    printer.setOutputFileName(file);

    // Declined: nothing printed.
    QVERIFY_THROWS_EXCEPTION(EAbort, designer->PrintTo(printer, numeradas));
    QCOMPARE(io->questions.size(), 1);
    // "Serão impressas 286 páginas", or "já passa de 200 páginas" when asked mid-run.
    const QRegularExpressionMatch pages =
        QRegularExpression(QStringLiteral("(\\d+) páginas")).match(io->questions.first());
    QVERIFY2(pages.hasMatch() && pages.captured(1).toInt() >= 200, qPrintable(io->questions.first()));
    QCOMPARE(QDir(out->path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    // Accepted: every page.
    io->confirmAnswers = {true};
    designer->PrintTo(printer, numeradas);
    QVERIFY(designer->lastPageCount() > 200);
    QCOMPARE(pdfPageCount(file), designer->lastPageCount());
}

void tst_ReportOutputs::previewShowsPageOneWhileLayoutGoesOn()
{
    const ReportDefinition def = designer->definition(numeradas);
    TParams params = def.collectParams(env->dialect());
    params.ParamByName(QStringLiteral("P_LINHAS")).setValue(3000000);
    ReportRun run(def, params, env->dialect(), dtmDBGeral::dtbGeral());
    run.prepare();
    PageStore store;
    ReportLayout layout(store);
    ReportJob job(run, dtmDBGeral::config(), ReportLimits());
    job.start(layout);
    ReportPreviewDialog dialog(store, job, QStringLiteral("Visualizar"));
    dialog.resize(1000, 700);
    dialog.show();

    QTRY_VERIFY_WITH_TIMEOUT(store.pageCount() >= 3, 20000);
    QVERIFY2(!job.isFinished(), "the run ended before the check: it proves nothing");
    QTRY_COMPARE(dialog.currentPage(), 1); // once the preview has looked at the pages
    // What the view shows is a page: mostly white paper with dark text on it.
    const QImage shown = dialog.view()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int paper = 0, ink = 0;
    for (int y = 0; y < shown.height(); y += 3)
        for (int x = 0; x < shown.width(); x += 3) {
            const int gray = qGray(shown.pixel(x, y));
            paper += gray == 255 ? 1 : 0;
            ink += gray < 80 ? 1 : 0;
        }
    QVERIFY2(paper > shown.width() * shown.height() / 9 / 3 && ink > 200,
             qPrintable(QStringLiteral("%1 %2").arg(paper).arg(ink)));
    auto *total = dialog.findChild<QLabel *>(QStringLiteral("previewPageTotal"));
    QTRY_VERIFY(total->text().contains(QStringLiteral("…"))); // still counting
    // The dialog counts pages on its own poll, after the store: page 2 can be shown once the
    // dialog has counted it.
    QTRY_VERIFY(QString(total->text()).remove(QRegularExpression(QStringLiteral("\\D"))).toInt() >= 2);

    dialog.showPage(2);
    QCOMPARE(dialog.currentPage(), 2);
    QVERIFY(dialog.find(QStringLiteral("linha 100")));
    QVERIFY(!job.isFinished());

    dialog.reject(); // closing stops the run
    QTRY_VERIFY_WITH_TIMEOUT(job.isFinished(), 20000);
    QVERIFY_THROWS_EXCEPTION(EAbort, job.rethrow());
    QTRY_COMPARE(ReportConnection::openCount(), 0);
}

QTEST_MAIN(tst_ReportOutputs)
#include "tst_reportoutputs.moc"
