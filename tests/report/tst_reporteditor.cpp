#include "errors/EAbort.h"
#include "ReportFixture.h"
#include "ScriptedInteraction.h"
#include "report/ReportDefinitionStore.h"
#include "report/ui/ReportEditDialog.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {
const QString porProduto = QStringLiteral("Lista de Preços por Produto");
}

class tst_ReportEditor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void okKeepsTheEditsForLaterRuns();
    void cancelKeepsTheDefinition_data();
    void cancelKeepsTheDefinition();
    void invalidEditIsRefused_data();
    void invalidEditIsRefused();
    void verifyRunsTheQueryWithTheScreenParameters();
    void saveDefinitionAsWritesANewReport();
    void saveDefinitionAsRefusesATakenTitle();

private:
    ReportEditDialog *openEditor(const QString &title);
    QString csvTitles(const QString &title);

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<ScriptedInteraction> io;
    std::unique_ptr<QTemporaryDir> reports;
    std::unique_ptr<QWidget> window;
    TReportDesignerDialog *designer = nullptr;
    int events = 0;
};

void tst_ReportEditor::init()
{
    env = std::make_unique<TestEnv>();
    io = std::make_unique<ScriptedInteraction>();
    reports = std::make_unique<QTemporaryDir>();
    const QDir source(Session::current().reportDir);
    for (const QString &name : source.entryList({QStringLiteral("LPR077*.json")}, QDir::Files))
        QVERIFY(QFile::copy(source.filePath(name), QDir(reports->path()).filePath(name)));
    window = std::make_unique<QWidget>();
    designer = new TReportDesignerDialog(window.get());
    designer->ReportDir = reports->path();
    designer->ReportCode = QStringLiteral("LPR077");
    events = 0;
    const FormValues values = FormValues::defaults();
    designer->BeforeGetQueryParams = [this, values](TParams &params, bool &) {
        ++events;
        values.fill(params);
    };
}

void tst_ReportEditor::cleanup()
{
    window.reset();
    reports.reset();
    io.reset();
    env.reset();
    ReportDefinitionStore::discardAll();
}

ReportEditDialog *tst_ReportEditor::openEditor(const QString &title)
{
    designer->EditColumns(window.get(), title);
    auto *dialog = window->findChild<ReportEditDialog *>(QStringLiteral("ReportEditDialog"));
    if (dialog)
        QCoreApplication::processEvents();
    return dialog;
}

QString tst_ReportEditor::csvTitles(const QString &title)
{
    const QString file = QDir(reports->path()).filePath(QStringLiteral("saida.csv"));
    designer->SaveAs(nullptr, title, file);
    QString titles;
    csvRows(file, &titles);
    QFile::remove(file);
    return titles;
}

void tst_ReportEditor::okKeepsTheEditsForLaterRuns()
{
    const QString file = designer->definitionFile(porProduto);
    const QByteArray onDisk = readAll(file);
    ReportEditDialog *dialog = openEditor(porProduto);
    QVERIFY(dialog);
    // The editor is window-modal and does not hold up the caller.
    QCOMPARE(dialog->windowModality(), Qt::WindowModal);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->edtTitulo->text(), porProduto);

    dialog->edtTitulo->setText(QStringLiteral("Preços por Produto (revisado)"));
    dialog->tblColunas->item(3, 1)->setText(QStringLiteral("Razão do fornecedor"));
    dialog->tblColunas->item(3, 0)->setText(QStringLiteral("NMRAZSOCFORN"));
    dialog->tblColunas->setCurrentCell(2, 0);
    QPushButton *remove = nullptr;
    for (QPushButton *b : dialog->findChildren<QPushButton *>())
        if (b->text() == QStringLiteral("Excluir coluna"))
            remove = b;
    QVERIFY(remove);
    remove->click(); // the supplier code goes
    dialog->accept();

    QCOMPARE(designer->reportNames().first(), QStringLiteral("Preços por Produto (revisado)"));
    QCOMPARE(designer->definitionFile(QStringLiteral("Preços por Produto (revisado)")), file);
    // The list the form was filled with still finds it under the old title.
    QCOMPARE(designer->definitionFile(porProduto), file);
    QCOMPARE(readAll(file), onDisk);
    const QString titles = csvTitles(QStringLiteral("Preços por Produto (revisado)"));
    QVERIFY2(titles.startsWith(QStringLiteral("Produto;Descrição do produto;Razão do fornecedor;Filial;")),
             qPrintable(titles));

    // A new runner (the screen opened again) sees the same edits.
    TReportDesignerDialog again;
    again.ReportDir = designer->ReportDir;
    again.ReportCode = designer->ReportCode;
    QCOMPARE(again.definition(porProduto).title, QStringLiteral("Preços por Produto (revisado)"));
}

void tst_ReportEditor::cancelKeepsTheDefinition_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("answer"); // to "discard the edits?"
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::newRow("nothing edited closes at once") << false << false << false << true;
    QTest::newRow("edited, goes on editing") << true << false << true << false;
    QTest::newRow("edited, discards") << true << true << true << true;
}

void tst_ReportEditor::cancelKeepsTheDefinition()
{
    QFETCH(bool, edited);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closed);
    ReportEditDialog *dialog = openEditor(porProduto);
    QVERIFY(dialog);
    if (edited) {
        dialog->edtTitulo->setText(QStringLiteral("Outro"));
        dialog->txtSql->setPlainText(QStringLiteral("SELECT 1"));
    }
    io->confirmAnswers << answer;
    QTest::keyClick(dialog, Qt::Key_Escape);
    QCOMPARE(io->questions.size(), asked ? 1 : 0);
    QCOMPARE(dialog->isVisible(), !closed);
    if (!closed)
        QCOMPARE(dialog->edtTitulo->text(), QStringLiteral("Outro"));
    QCOMPARE(designer->reportNames().first(), porProduto);
    QVERIFY(designer->definition(porProduto).sql.contains(QLatin1String("COTACAO")));
}

void tst_ReportEditor::invalidEditIsRefused_data()
{
    QTest::addColumn<QString>("sql");   // replaces the query when not null
    QTest::addColumn<int>("row");       // the column edited, -1 none
    QTest::addColumn<QString>("field"); // its new field
    QTest::addColumn<QString>("title"); // its new title
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("selectedRow");

    QTest::newRow("no query") << QString("") << -1 << QString() << QString()
                              << QStringLiteral("não tem o texto da consulta") << -1;
    QTest::newRow("field the query lacks")
        << QString() << 3 << QStringLiteral("FOO") << QStringLiteral("Nome do fornecedor")
        << QStringLiteral("a coluna \"Nome do fornecedor\" (4ª) usa o campo FOO, que a consulta não retorna") << 3;
    // Named by its place when the author left the title out.
    QTest::newRow("untitled column with an unknown field")
        << QString() << 5 << QStringLiteral("FOO") << QString()
        << QStringLiteral("uma coluna sem título (6ª) usa o campo FOO") << 5;
    // A style rule written by hand in the file, over a field the query does not return.
    QTest::newRow("style over a missing field")
        << QString() << -2 << QString() << QString()
        << QStringLiteral("a condição do estilo 1 das linhas, posição 1: o campo FOO não existe na consulta") << -1;
    QTest::newRow("query that does not run")
        << QStringLiteral("SELECT CDFILIAL FROM FILIAIS_ERRADAS") << -1 << QString() << QString()
        << QStringLiteral("FILIAIS_ERRADAS") << -1;
}

void tst_ReportEditor::invalidEditIsRefused()
{
    QFETCH(QString, sql);
    QFETCH(int, row);
    QFETCH(QString, field);
    QFETCH(QString, title);
    QFETCH(QString, message);
    QFETCH(int, selectedRow);

    ReportEditDialog *dialog = openEditor(porProduto);
    QVERIFY(dialog);
    if (!sql.isNull()) {
        dialog->txtSql->setPlainText(sql);
        dialog->txtSqlSqlite->setPlainText(sql);
    }
    if (row == -2) {
        ReportDefinition styled = designer->definition(porProduto);
        styled.rowStyles = {ReportStyleRule{QStringLiteral("FOO > 1"), QStringLiteral("#C00000"), QString(), false}};
        dialog->reject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ReportDefinitionStore::keep(designer->definitionFile(porProduto), styled);
        dialog = openEditor(porProduto);
        QVERIFY(dialog);
        ReportDefinitionStore::discardAll();
    }
    if (row >= 0) {
        dialog->tblColunas->item(row, 0)->setText(field);
        dialog->tblColunas->item(row, 1)->setText(title);
        dialog->tblColunas->setCurrentCell(0, 0);
    }
    dialog->accept();
    QCOMPARE(io->errors.size(), 1);
    QVERIFY2(io->errors.first().contains(message), qPrintable(io->errors.first()));
    if (selectedRow >= 0)
        QCOMPARE(dialog->tblColunas->currentRow(), selectedRow);
    QVERIFY(dialog->isVisible());
    QVERIFY(!ReportDefinitionStore::edited(designer->definitionFile(porProduto)));
    dialog->reject();
}

void tst_ReportEditor::verifyRunsTheQueryWithTheScreenParameters()
{
    ReportEditDialog *dialog = openEditor(porProduto);
    QVERIFY(dialog);
    auto *verify = dialog->findChild<QPushButton *>(QStringLiteral("btnVerificar"));
    QVERIFY(verify);
    verify->click();
    QCOMPARE(events, 1);
    QVERIFY2(dialog->lblVerificacao->text().contains(QStringLiteral("A consulta funciona")),
             qPrintable(dialog->lblVerificacao->text()));

    dialog->txtSql->setPlainText(QStringLiteral("SELECT CDFILIAL FROM FILIAIS_ERRADAS"));
    verify->click();
    QVERIFY2(dialog->lblVerificacao->text().contains(QStringLiteral("FILIAIS_ERRADAS")),
             qPrintable(dialog->lblVerificacao->text()));

    dialog->txtSql->setPlainText(QStringLiteral("SELECT CDFILIAL FROM FILIAL"));
    verify->click();
    QVERIFY2(dialog->lblVerificacao->text().contains(QStringLiteral("não retorna os campos: CDARVPROD")),
             qPrintable(dialog->lblVerificacao->text()));
    dialog->reject();
}

void tst_ReportEditor::saveDefinitionAsWritesANewReport()
{
    const qsizetype shipped = designer->reportNames().size();
    ReportEditDialog *dialog = openEditor(porProduto);
    QVERIFY(dialog);
    dialog->tblColunas->item(3, 1)->setText(QStringLiteral("Fantasia"));
    dialog->accept();

    designer->SaveDefinitionAs(window.get(), porProduto, QStringLiteral("Preços por Produto - Compras/2027"));
    const QString file = designer->definitionFile(QStringLiteral("Preços por Produto - Compras/2027"));
    QCOMPARE(QFileInfo(file).fileName(), QStringLiteral("LPR077-precos-por-produto-compras2027.json"));
    QCOMPARE(designer->reportNames().size(), shipped + 1);
    const ReportDefinition saved = ReportDefinition::load(file);
    QCOMPARE(saved.code, QStringLiteral("LPR077"));
    QCOMPARE(saved.columns.at(3).title, QStringLiteral("Fantasia"));
    QCOMPARE(saved.heading, QStringLiteral("Preços por Produto - Compras/2027"));
    QVERIFY(csvTitles(saved.title).contains(QStringLiteral(";Fantasia;")));

    // A second copy under another title gets a file of its own.
    designer->SaveDefinitionAs(window.get(), porProduto, QStringLiteral("Preços por produto: compras 2027"));
    QCOMPARE(designer->reportNames().size(), shipped + 2);
}

void tst_ReportEditor::saveDefinitionAsRefusesATakenTitle()
{
    const QStringList before = QDir(reports->path()).entryList(QDir::Files);
    for (const QString &title : {QStringLiteral("lista de preços por fornecedor"), QStringLiteral("   ")}) {
        try {
            designer->SaveDefinitionAs(window.get(), porProduto, title);
            QFAIL("the definition was saved");
        } catch (const ESuiteError &e) {
            QVERIFY(e.message().contains(QStringLiteral("Informe")));
        }
    }
    QCOMPARE(QDir(reports->path()).entryList(QDir::Files), before);
}

QTEST_MAIN(tst_ReportEditor)
#include "tst_reporteditor.moc"
