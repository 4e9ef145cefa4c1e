// The parts around the report designer's window, on the database LPR_TEST_DIALECT names:
// the live preview (only the last change costs a run, and a fault shows with its place),
// the field list's drags, and saving (a definition that does not pass its checks never
// replaces a working file).

#include "ReportFixture.h"
#include "errors/ESuiteError.h"
#include "SyntheticReports.h"
#include "report/ReportConnection.h"
#include "report/ReportDefinitionStore.h"
#include "report/designer/ReportDesignerChecks.h"
#include "report/designer/ReportFieldList.h"
#include "report/designer/ReportLivePreview.h"
#include "report/designer/ReportQueryProbe.h"

#include "report/output/HtmlReportWriter.h"
#include "report/output/PdfReportWriter.h"
#include "report/ReportLayout.h"
#include "report/ReportRun.h"

#include <QAtomicInt>
#include <QBuffer>
#include <QRegularExpression>
#include <QMimeData>
#include <QSignalSpy>
#include <QSqlDriver>
#include <QtTest>
#include <memory>
#include <sqlite3.h>
#include <zlib.h>

namespace {

QString pageText(const ReportPage &page)
{
    QStringList texts;
    for (const PageItem &item : page.items)
        if (item.kind == PageItem::Text || item.kind == PageItem::PageNumber)
            texts << item.text;
    return texts.join(QLatin1Char(' '));
}

TParams paramsOf(const ReportDefinition &definition, const FormValues &values = FormValues::defaults())
{
    TParams params = definition.collectParams(dtmDBGeral::dialect());
    values.fill(params);
    // As the screen gives them: a text left empty is an empty text, not NULL.
    for (int i = 0; i < params.Count(); ++i)
        if (params[i].Value().typeId() == QMetaType::QString && params[i].Value().toString().isNull())
            params[i].setValue(QStringLiteral(""));
    return params;
}

// The content streams of a PDF, inflated and joined.
QByteArray pdfContent(const QByteArray &pdf)
{
    QByteArray all;
    qsizetype at = 0;
    while ((at = pdf.indexOf("stream\n", at)) >= 0) {
        const qsizetype start = at + 7;
        const qsizetype end = pdf.indexOf("\nendstream", start);
        if (end < 0)
            break;
        QByteArray out(16 << 20, Qt::Uninitialized);
        uLongf size = uLongf(out.size());
        if (uncompress(reinterpret_cast<Bytef *>(out.data()), &size,
                       reinterpret_cast<const Bytef *>(pdf.constData() + start), uLong(end - start))
            == Z_OK)
            all += out.left(qsizetype(size));
        at = end + 10; // past "\nendstream"
    }
    return all;
}

QString goldenDir()
{
    return TestEnv::sourceDir() + QStringLiteral("/tests/report/golden");
}

// What changes from one issue to the next: the time of issue.
QString steady(QString text)
{
    static const QRegularExpression issued(QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d"));
    return text.replace(issued, QStringLiteral("DD/MM/AAAA hh:mm"));
}

ReportDefinition shipped(const QString &file)
{
    return ReportDefinition::load(QDir(Session::current().reportDir).filePath(file));
}

} // namespace

class tst_DesignerParts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void livePreviewRunsOnlyTheLastChange_data();
    void livePreviewRunsOnlyTheLastChange();
    void livePreviewNamesTheFault_data();
    void livePreviewNamesTheFault();
    void fieldListDragsNamesWithTypes_data();
    void fieldListDragsNamesWithTypes();
    void savingRefusesWhatCannotRun_data();
    void savingRefusesWhatCannotRun();
    void newReportsAreTheUsersUnlessSharingIsAllowed();
    void shippedDefinitionsIssueAsBefore_data();
    void shippedDefinitionsIssueAsBefore();
    void logoListDrawsItsLooksInPdfAndHtml();

private:
    std::unique_ptr<TestEnv> env;
};

void tst_DesignerParts::initTestCase()
{
    env = std::make_unique<TestEnv>(TestEnv::dialectFromEnvironment());
}

void tst_DesignerParts::cleanup()
{
    ReportConnection::setOpenObserver({});
    QTRY_COMPARE(ReportConnection::openCount(), 0);
}

void tst_DesignerParts::livePreviewRunsOnlyTheLastChange_data()
{
    QTest::addColumn<int>("changes");
    QTest::newRow("one change") << 1;
    QTest::newRow("two quick changes") << 2;
    QTest::newRow("six quick changes") << 6;
}

void tst_DesignerParts::livePreviewRunsOnlyTheLastChange()
{
    // Every change but the last is a query that would run for minutes: unless its run is
    // cancelled (its statement interrupted), the preview never becomes idle.
    QFETCH(int, changes);
    // Statements started and finished (interrupted ones included) on the runs' connections.
    static QAtomicInt started, finished;
    started.storeRelaxed(0);
    finished.storeRelaxed(0);
    ReportConnection::setOpenObserver([&](const QSqlDatabase &db) {
        const QVariant handle = db.driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return;
        sqlite3_trace_v2(
            *static_cast<sqlite3 *const *>(handle.constData()), SQLITE_TRACE_STMT | SQLITE_TRACE_PROFILE,
            [](unsigned what, void *, void *, void *) {
                (what == SQLITE_TRACE_STMT ? started : finished).ref();
                return 0;
            },
            nullptr);
    });
    ReportLivePreview preview;
    QSignalSpy idle(&preview, &ReportLivePreview::idle);
    for (int i = 1; i <= changes; ++i) {
        ReportDefinition d = i < changes ? SyntheticReports::endless(QStringLiteral("Lenta"))
                                         : SyntheticReports::numbered(QStringLiteral("Rápida"));
        d.heading = QStringLiteral("Versão %1").arg(i);
        preview.setDefinition(d, d.collectParams(dtmDBGeral::dialect()));
        QTest::qWait(30); // the slow statement is under way when the next change comes
    }
    // Generous: a server's cancel of the slow statements is slow on a busy machine.
    QVERIFY(idle.wait(60000) || !preview.isBusy());
    QVERIFY(!preview.isBusy());
    QCOMPARE(preview.runsStarted(), changes);
    QCOMPARE(preview.runsEnded(), changes);
    QCOMPARE(preview.runsCancelled(), changes - 1);
    QVERIFY2(preview.problem().isEmpty(), qPrintable(preview.problem()));
    QVERIFY(preview.hasPage());
    QVERIFY(pageText(preview.page()).contains(QStringLiteral("Versão %1").arg(changes)));
    QCOMPARE(preview.pageCount(), 3); // 100 lines
    if (env->dialect() == SqlDialect::SQLite) {
        // A run cancelled before its statement began never starts it.
        QVERIFY(started.loadRelaxed() >= 1 && started.loadRelaxed() <= changes);
        QCOMPARE(finished.loadRelaxed(), started.loadRelaxed());
    }
    QCOMPARE(ReportConnection::openCount(), 0);
}

void tst_DesignerParts::livePreviewNamesTheFault_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QStringList>("fragments");
    QTest::newRow("bad row style") << 0
                                   << QStringList{QStringLiteral("estilo 1 das linhas"), QStringLiteral("posição")};
    QTest::newRow("unknown field") << 1 << QStringList{QStringLiteral("FOO"), QStringLiteral("não retorna")};
    QTest::newRow("query that does not prepare") << 2 << QStringList{QStringLiteral("Rápida")};
    QTest::newRow("not a select") << 3 << QStringList{QStringLiteral("consulta")};
    // The database's words come as a detail, after a sentence a person reads.
    QTest::newRow("a column the tables lack")
        << 4 << QStringList{QStringLiteral("a consulta usa a coluna"), QStringLiteral("que as tabelas dela não têm")};
}

void tst_DesignerParts::livePreviewNamesTheFault()
{
    QFETCH(int, fault);
    QFETCH(QStringList, fragments);
    ReportDefinition d = SyntheticReports::numbered(QStringLiteral("Rápida"));
    switch (fault) {
    case 0: d.rowStyles << ReportStyleRule{QStringLiteral("NR > > 3"), QStringLiteral("#C00000"), {}, false}; break;
    case 1: d.columns << SyntheticReports::column(QStringLiteral("FOO"), QStringLiteral("text"), 20); break;
    case 2:
        d.sql = d.sqlPg = d.sqlIb = QStringLiteral("SELECT NR, TEXTO FROM TABELA_QUE_NAO_EXISTE WHERE 1 = :P_LINHAS");
        break;
    case 3: d.sql = d.sqlPg = d.sqlIb = QStringLiteral("DELETE FROM COTACAO WHERE 1 = :P_LINHAS"); break;
    case 4:
        d.sql = d.sqlPg = d.sqlIb = QStringLiteral("SELECT NR, NADA AS TEXTO FROM (SELECT CDFILIAL AS NR FROM FILIAL) F "
                                                   "WHERE 1 = :P_LINHAS");
        break;
    }
    ReportLivePreview preview;
    QSignalSpy failed(&preview, &ReportLivePreview::failed);
    preview.setDefinition(d, d.collectParams(dtmDBGeral::dialect()));
    QVERIFY(failed.count() == 1 || failed.wait(10000));
    for (const QString &fragment : fragments)
        QVERIFY2(preview.problem().contains(fragment), qPrintable(preview.problem()));
    QVERIFY(!preview.hasPage());
    QTRY_VERIFY(!preview.isBusy());
}

void tst_DesignerParts::fieldListDragsNamesWithTypes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("format"); // what a field dropped gets; empty for a parameter
    QTest::newRow("text field") << QStringLiteral("NMPRODUTO") << QStringLiteral("texto") << QStringLiteral("text");
    QTest::newRow("price") << QStringLiteral("VRPRECO") << QStringLiteral("número") << QStringLiteral("number:4");
    QTest::newRow("percent of a numeric(7,4)") << QStringLiteral("PCIPI") << QStringLiteral("número")
                                               << QStringLiteral("number:4");
    QTest::newRow("computed price") << QStringLiteral("VRPRECOECON") << QStringLiteral("número")
                                    << QStringLiteral("number:4");
    QTest::newRow("date") << QStringLiteral("DTVALINI") << QStringLiteral("data") << QStringLiteral("date");
    QTest::newRow("parameter") << QStringLiteral("P_DTINI") << QStringLiteral("data") << QString();
    QTest::newRow("list parameter") << QStringLiteral("L_LISTAFORNE1") << QStringLiteral("texto") << QString();
}

void tst_DesignerParts::fieldListDragsNamesWithTypes()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, format);
    const ReportDefinition d = shipped(QStringLiteral("LPR077-01-produto.json"));
    const TParams params = paramsOf(d, FormValues::defaults()
                                           .set(QStringLiteral("P_CDPRODINI"), QStringLiteral(""))
                                           .set(QStringLiteral("P_DTINI"), QDate(2000, 1, 1))
                                           .set(QStringLiteral("P_DTFIN"), QDate(2100, 12, 31)));
    if (!format.isEmpty()) {
        const QList<ReportQueryField> fields = ReportQueryProbe::sample(d, params, 20).fields();
        const auto field = std::find_if(fields.cbegin(), fields.cend(), [&](const ReportQueryField &f) {
            return f.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        QVERIFY(field != fields.cend());
        QCOMPARE(field->format, format);
    }
    ReportFieldList list;
    QVERIFY(list.load(d, paramsOf(d, FormValues::defaults()
                                         .set(QStringLiteral("P_CDPRODINI"), QStringLiteral(""))
                                         .set(QStringLiteral("P_DTINI"), QDate(2000, 1, 1))
                                         .set(QStringLiteral("P_DTFIN"), QDate(2100, 12, 31)))));
    // PostgreSQL gives the names of the query's columns in lower case; the engine matches
    // names regardless of case.
    const QList<QTreeWidgetItem *> found = list.findItems(name, Qt::MatchFixedString | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    name = found.first()->text(0);
    QCOMPARE(found.first()->text(1), type);
    const std::unique_ptr<QMimeData> data(list.model()->mimeData({list.indexFromItem(found.first())}));
    QVERIFY(data);
    QCOMPARE(data->data(QLatin1String(ReportFieldList::mimeType)), name.toUtf8());
    QCOMPARE(ReportFieldList::nameIn(data.get()), name);
}

void tst_DesignerParts::savingRefusesWhatCannotRun_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QStringList>("fragments"); // empty: saved
    QTest::newRow("sound change") << -1 << QStringList();
    QTest::newRow("bad row style") << 0
                                   << QStringList{QStringLiteral("estilo 1 das linhas"), QStringLiteral("posição 14")};
    QTest::newRow("unknown column field") << 1 << QStringList{QStringLiteral("campo FOO"), QStringLiteral("coluna")};
    QTest::newRow("query that does not prepare")
        << 2 << QStringList{QStringLiteral("a consulta não funciona"), QStringLiteral("COTACAOX")};
    QTest::newRow("a field in a page band reads the page's row") << 3 << QStringList();
    QTest::newRow("total outside a closing band")
        << 4 << QStringList{QStringLiteral("cabeçalho do grupo 1"), QStringLiteral("posição 1")};
    QTest::newRow("file of a newer format") << 5 << QStringList{QStringLiteral("formato 9")};
    // The pages' heading line is written before any row: a field there has none to show.
    QTest::newRow("a field in the pages' heading line")
        << 6 << QStringList{QStringLiteral("o título das páginas usa o campo {NMFANTFORN}"),
                            QStringLiteral("antes da primeira linha")};
    QTest::newRow("a total in the style of a group footer's element") << 7 << QStringList();
}

void tst_DesignerParts::savingRefusesWhatCannotRun()
{
    QFETCH(int, fault);
    QFETCH(QStringList, fragments);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("LPR077-02.json"));
    QVERIFY(
        QFile::copy(QDir(Session::current().reportDir).filePath(QStringLiteral("LPR077-02-fornecedor.json")), file));
    if (fault == 5) {
        QByteArray newer = readAll(file);
        newer.replace("\"code\"", "\"format_version\": 9,\n  \"code\"");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(newer);
    }
    const QByteArray before = readAll(file);
    ReportDefinition d = shipped(QStringLiteral("LPR077-02-fornecedor.json"));
    d.title = QStringLiteral("Alterado");
    ReportElement text;
    switch (fault) {
    case 0:
        d.rowStyles << ReportStyleRule{QStringLiteral("PCVARIACAO > > 10"), QStringLiteral("#C00000"), {}, false};
        break;
    case 1: d.columns << SyntheticReports::column(QStringLiteral("FOO"), QStringLiteral("text"), 20); break;
    case 2:
        d.sql.replace(QStringLiteral("FROM COTACAO C"), QStringLiteral("FROM COTACAOX C"));
        d.sqlIb.replace(QStringLiteral("FROM COTACAO C"), QStringLiteral("FROM COTACAOX C"));
        break;
    case 3:
        text.expression = QStringLiteral("upper(NMPRODUTO)");
        d.pageHeader.height = 8;
        d.pageHeader.elements << text;
        break;
    case 4:
        text.expression = QStringLiteral("sum(VRPRECO)");
        d.groups[0].headerBand.height = 8;
        d.groups[0].headerBand.elements << text;
        break;
    case 6: d.heading = QStringLiteral("Cotações de {NMFANTFORN}"); break;
    case 7:
        text.expression = QStringLiteral("sum(VRPRECO)");
        text.styles = {ReportStyleRule{QStringLiteral("sum(VRPRECO) > 20"), QStringLiteral("#C00000"), {}, true}};
        d.groups[0].footerBand.height = 8;
        d.groups[0].footerBand.elements << text;
        break;
    }
    const TParams params = paramsOf(d);
    try {
        ReportDefinitionStore::save(file, d, ReportDesignerChecks::forSession(params));
        QVERIFY2(fragments.isEmpty(), "saved what cannot run");
        QCOMPARE(ReportDefinition::load(file).toJson(), d.toJson());
    } catch (const ESuiteError &e) {
        QVERIFY2(!fragments.isEmpty(), qPrintable(e.message()));
        for (const QString &fragment : fragments)
            QVERIFY2(e.message().contains(fragment), qPrintable(e.message()));
        QCOMPARE(readAll(file), before);
    }
}

void tst_DesignerParts::newReportsAreTheUsersUnlessSharingIsAllowed()
{
    const auto check = ReportDesignerChecks::forSession(paramsOf(shipped(QStringLiteral("LPR077-01-produto.json"))));
    ReportDefinition d = shipped(QStringLiteral("LPR077-01-produto.json"));
    d.title = QStringLiteral("Minha Lista");
    TReportDesignerDialog designer;
    designer.ReportDir = Session::current().reportDir;
    designer.ReportCode = QStringLiteral("LPR077");
    const QStringList shippedNames = designer.reportNames();

    // The shared folder is the session's to open; a taken title is refused anywhere.
    QVERIFY(!ReportDefinitionStore::sharedWritable());
    QVERIFY_THROWS_EXCEPTION(ESuiteError,
                             ReportDefinitionStore::saveAsNew(d, ReportDefinitionStore::sharedFolder(), check));
    const QString own = ReportDefinitionStore::saveAsNew(d, ReportDefinitionStore::userFolder(), check);
    QVERIFY(own.startsWith(ReportDefinitionStore::userFolder()));
    QCOMPARE(designer.reportNames(), shippedNames + QStringList{d.title});
    QVERIFY_THROWS_EXCEPTION(ESuiteError,
                             ReportDefinitionStore::saveAsNew(d, ReportDefinitionStore::userFolder(), check));

    const QString renamed = ReportDefinitionStore::rename(own, QStringLiteral("Lista Renomeada"));
    QVERIFY(!QFile::exists(own));
    QCOMPARE(ReportDefinition::load(renamed).title, QStringLiteral("Lista Renomeada"));
    QCOMPARE(designer.reportNames(), shippedNames + QStringList{QStringLiteral("Lista Renomeada")});
    const QString shippedFile = designer.definitionFile(shippedNames.first());
    QVERIFY_THROWS_EXCEPTION(ESuiteError, ReportDefinitionStore::remove(shippedFile));
    QVERIFY_THROWS_EXCEPTION(ESuiteError, ReportDefinitionStore::rename(shippedFile, QStringLiteral("X")));
    QVERIFY(QFile::exists(shippedFile));
    ReportDefinitionStore::remove(renamed);
    QCOMPARE(designer.reportNames(), shippedNames);
}

void tst_DesignerParts::shippedDefinitionsIssueAsBefore_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("golden");
    TReportDesignerDialog designer;
    designer.ReportDir = Session::current().reportDir;
    designer.ReportCode = QStringLiteral("LPR077");
    for (const QString &title : designer.reportNames()) {
        const QString base = QFileInfo(designer.definitionFile(title)).completeBaseName();
        for (const QString &type : {QStringLiteral("csv"), QStringLiteral("pdf")})
            QTest::newRow(qPrintable(base + QLatin1Char(' ') + type))
                << title << type
                << base + (type == QLatin1String("pdf") ? QStringLiteral(".pdf.txt") : QStringLiteral(".csv"));
    }
}

void tst_DesignerParts::shippedDefinitionsIssueAsBefore()
{
    // The lists as a buyer issues them (variation on), against what they gave when the
    // golden files were written (SUITE_UPDATE_GOLDEN=1 writes them again).
    QFETCH(QString, title);
    QFETCH(QString, type);
    QFETCH(QString, golden);
    if (env->dialect() != SqlDialect::SQLite)
        QSKIP("the golden files are of the SQLite demo database");
    TReportDesignerDialog designer;
    designer.ReportDir = Session::current().reportDir;
    designer.ReportCode = QStringLiteral("LPR077");
    designer.Batch = true;
    FormValues::defaults().set(QStringLiteral("P_VARIPRECO"), QStringLiteral("S")).install(designer);
    QTemporaryDir out;
    const QString file = out.filePath(QStringLiteral("lista.") + type);
    designer.SaveAs(nullptr, title, file);
    const QByteArray issued =
        type == QLatin1String("pdf")
            ? steady(runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")}))
                  .toUtf8()
            : steady(QString::fromUtf8(readAll(file))).toUtf8();
    const QString goldenFile = QDir(goldenDir()).filePath(golden);
    if (qEnvironmentVariableIsSet("SUITE_UPDATE_GOLDEN")) {
        QDir().mkpath(goldenDir());
        QFile f(goldenFile);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(issued);
    }
    const QByteArray expected = readAll(goldenFile);
    QVERIFY2(!expected.isEmpty(), qPrintable(goldenFile));
    QVERIFY(designer.lastRowCount() > 40);
    if (issued != expected) {
        const QList<QByteArray> a = issued.split('\n'), b = expected.split('\n');
        for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
            QCOMPARE(QString::fromUtf8(a.at(i)), QString::fromUtf8(b.at(i)));
        QCOMPARE(a.size(), b.size());
    }
}

void tst_DesignerParts::logoListDrawsItsLooksInPdfAndHtml()
{
    const ReportDefinition d = shipped(QStringLiteral("LPR077-03-logotipo.json"));
    TParams params = paramsOf(d, FormValues::defaults().set(QStringLiteral("P_VARIPRECO"), QStringLiteral("S")));
    QBuffer pdf;
    QVERIFY(pdf.open(QIODevice::WriteOnly));
    int pages = 0;
    {
        PdfReportWriter writer(&pdf);
        ReportLayout layout(writer);
        ReportRun run(d, params, env->dialect(), dtmDBGeral::dtbGeral());
        run.execute(layout, {});
        pages = layout.pageCount();
    }
    const QByteArray bytes = pdf.data();
    QVERIFY(pages >= 2);
    // The logo is one picture (and its transparency) however many pages show it.
    QCOMPARE(bytes.count("/Subtype /Image") - bytes.count("/SMask"), 1);
    const QByteArray content = pdfContent(bytes);
    QCOMPARE(content.count("/Im0 Do"), pages);
    QVERIFY(content.contains(".753 0 0 rg")); // a variation above 10 %, in red
    QVERIFY(content.contains("/F2 "));        // the lowest price of a product, in bold
    QVERIFY(content.contains("/F3 "));        // the supplier's company name, in italics
    QVERIFY(bytes.contains("+DejaVuSans-Oblique"));

    QBuffer html;
    QVERIFY(html.open(QIODevice::WriteOnly));
    HtmlReportWriter htmlWriter(&html);
    ReportRun again(d, params, env->dialect(), dtmDBGeral::dtbGeral());
    again.execute(htmlWriter, {});
    const QString page = QString::fromUtf8(html.data());
    QCOMPARE(page.count(QStringLiteral("base64,")), 1);
    QCOMPARE(page.count(QStringLiteral("class=\"el im0\"")), 1);
    QVERIFY(page.contains(QStringLiteral("font-style:italic;")));
    QVERIFY(page.contains(QStringLiteral("CNPJ ")));
    QVERIFY(page.contains(QStringLiteral("Fornecedores: ")));
    QVERIFY(page.contains(QStringLiteral("color:#c00000;")));
}

QTEST_MAIN(tst_DesignerParts)
#include "tst_designerparts.moc"
