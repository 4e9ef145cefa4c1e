// The parts around the report designer's window, on the database LPR_TEST_DIALECT names:
// the live preview (only the last change costs a run, and a fault shows with its place),
// the field list's drags, and saving (a definition that does not pass its checks never
// replaces a working file).

#include "ReportFixture.h"
#include "SyntheticReports.h"
#include "report/ReportConnection.h"
#include "report/designer/ReportFieldList.h"
#include "report/designer/ReportLivePreview.h"

#include <QAtomicInt>
#include <QMimeData>
#include <QSignalSpy>
#include <QSqlDriver>
#include <QtTest>
#include <memory>
#include <sqlite3.h>

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
    return params;
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
    QAtomicInt statements;
    ReportConnection::setOpenObserver([&](const QSqlDatabase &db) {
        const QVariant handle = db.driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
            return;
        sqlite3_trace_v2(
            *static_cast<sqlite3 *const *>(handle.constData()), SQLITE_TRACE_STMT,
            [](unsigned, void *counter, void *, void *) {
                static_cast<QAtomicInt *>(counter)->ref();
                return 0;
            },
            &statements);
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
    QVERIFY(idle.wait(20000) || !preview.isBusy());
    QVERIFY(!preview.isBusy());
    QCOMPARE(preview.runsStarted(), changes);
    QCOMPARE(preview.runsEnded(), changes);
    QCOMPARE(preview.runsCancelled(), changes - 1);
    QVERIFY2(preview.problem().isEmpty(), qPrintable(preview.problem()));
    QVERIFY(preview.hasPage());
    QVERIFY(pageText(preview.page()).contains(QStringLiteral("Versão %1").arg(changes)));
    QCOMPARE(preview.pageCount(), 3); // 100 lines
    if (env->dialect() == SqlDialect::SQLite)
        QCOMPARE(statements.loadRelaxed(), changes);
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
    QTest::newRow("text field") << QStringLiteral("NMPRODUTO") << QStringLiteral("texto");
    QTest::newRow("price") << QStringLiteral("VRPRECO") << QStringLiteral("número");
    QTest::newRow("computed price") << QStringLiteral("VRPRECOECON") << QStringLiteral("número");
    QTest::newRow("date") << QStringLiteral("DTVALINI") << QStringLiteral("data");
    QTest::newRow("parameter") << QStringLiteral("P_DTINI") << QStringLiteral("data");
    QTest::newRow("list parameter") << QStringLiteral("L_LISTAFORNE1") << QStringLiteral("texto");
}

void tst_DesignerParts::fieldListDragsNamesWithTypes()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    const ReportDefinition d = shipped(QStringLiteral("LPR077-01-produto.json"));
    ReportFieldList list;
    QVERIFY(list.load(d, paramsOf(d, FormValues::defaults()
                                         .set(QStringLiteral("P_CDPRODINI"), QStringLiteral(""))
                                         .set(QStringLiteral("P_DTINI"), QDate(2000, 1, 1))
                                         .set(QStringLiteral("P_DTFIN"), QDate(2100, 12, 31)))));
    const QList<QTreeWidgetItem *> found = list.findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first()->text(1), type);
    const std::unique_ptr<QMimeData> data(list.model()->mimeData({list.indexFromItem(found.first())}));
    QVERIFY(data);
    QCOMPARE(data->data(QLatin1String(ReportFieldList::mimeType)), name.toUtf8());
    QCOMPARE(ReportFieldList::nameIn(data.get()), name);
}

QTEST_MAIN(tst_DesignerParts)
#include "tst_designerparts.moc"
