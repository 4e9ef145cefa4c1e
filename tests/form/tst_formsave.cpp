// Saving the price list as a desktop program does: the dialog starts in the folder used
// last and proposes a name of the report, the branch and the period; the status line then
// says where the file went and opens it or its folder.
#include "FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "app/SaveLocation.h"
#include "TfrmListaPrecRel.h"
#include "report/ui/SavedNotice.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <QUrl>

// Takes the URLs the status line hands the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

class tst_FormSave : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void proposedName_data();
    void proposedName();
    void startsInTheLastFolderWithANameOfTheList();
    void statusOpensTheFileAndItsFolder();
    void batchRunsLeaveTheFolderAlone();
};

void tst_FormSave::initTestCase()
{
    // The user's preferences go to a folder of the tests, not the person's.
    QStandardPaths::setTestModeEnabled(true);
}

void tst_FormSave::init()
{
    QFile::remove(SaveLocation::settingsFile());
}

void tst_FormSave::cleanup()
{
    QFile::remove(SaveLocation::settingsFile());
    QCOMPARE(boIdCriado, false);
}

void tst_FormSave::proposedName_data()
{
    QTest::addColumn<QString>("branch");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("name");
    QTest::newRow("a week") << "0001" << QDate(2026, 12, 7) << QDate(2026, 12, 13) << "pdf"
                            << "LPR077 Filial 0001 2026-12-07 a 2026-12-13.pdf";
    QTest::newRow("one day") << "0002" << QDate(2026, 12, 7) << QDate(2026, 12, 7) << "csv"
                             << "LPR077 Filial 0002 2026-12-07.csv";
    QTest::newRow("no period") << "0002" << QDate() << QDate() << "xlsx"
                               << "LPR077 Filial 0002.xlsx";
    // Characters a file name cannot hold.
    QTest::newRow("a branch with a slash") << "A/B:" << QDate() << QDate() << "pdf"
                                           << "LPR077 Filial A-B-.pdf";
}

void tst_FormSave::proposedName()
{
    QFETCH(QString, branch);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QString, extension);
    QFETCH(QString, name);
    QCOMPARE(SaveLocation::proposedName(QStringLiteral("LPR077"), SaveLocation::branchAndPeriod(branch, from, to), extension),
             name);
}

void tst_FormSave::startsInTheLastFolderWithANameOfTheList()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    const QString folder = f.env.dir() + QStringLiteral("/relatórios");
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/lista.csv");
    f.io.saveAnswers = {file};

    // Nothing saved yet: the Documents (or home) folder, and the form's branch and period.
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    const QString period = control<TDateEditPlus>(form, "depDataIni")->GetDate().toString(QStringLiteral("yyyy-MM-dd"));
    QCOMPARE(QFileInfo(f.io.lastSuggested).fileName(), QStringLiteral("LPR077 Filial 0001 %1.pdf").arg(period));
    QVERIFY(QFileInfo(f.io.lastSuggested).absolutePath() != folder);
    QVERIFY(QFile::exists(file));

    // The next save starts where this one went, named after what the form now holds.
    FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), QStringLiteral("2"));
    FormFixture::type(control<TDateEditPlus>(form, "depDataIni"), QStringLiteral("07122026"));
    FormFixture::type(control<TDateEditPlus>(form, "depDataFin"), QStringLiteral("13122026"));
    FormFixture::focus(control<TCheckBox>(form, "chkVariPreco"));
    f.io.saveAnswers = {QString()}; // cancelled
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(f.io.lastSuggested, folder + QStringLiteral("/LPR077 Filial 0002 2026-12-07 a 2026-12-13.pdf"));
    QCOMPARE(f.io.errors, QStringList());
    f.close();
}

void tst_FormSave::statusOpensTheFileAndItsFolder()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    QVERIFY(control<SavedNotice>(form, "lblStatus")->text().isEmpty());
    const QString file = f.env.dir() + QStringLiteral("/lista.html");
    f.io.saveAnswers = {file};
    control<QToolButton>(form, "sbtSalvarComo")->click();
    QCOMPARE(control<SavedNotice>(form, "lblStatus")->savedFile(), file);
    QVERIFY2(control<SavedNotice>(form, "lblStatus")->text().contains(QStringLiteral("Salvo em")),
             qPrintable(control<SavedNotice>(form, "lblStatus")->text()));
    QVERIFY(control<SavedNotice>(form, "lblStatus")->isVisible());

    UrlCatcher desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
    emit control<SavedNotice>(form, "lblStatus")->linkActivated(QStringLiteral("arquivo"));
    emit control<SavedNotice>(form, "lblStatus")->linkActivated(QStringLiteral("pasta"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(desktop.opened, (QList<QUrl>{QUrl::fromLocalFile(file), QUrl::fromLocalFile(f.env.dir())}));
    f.close();
}

void tst_FormSave::batchRunsLeaveTheFolderAlone()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    form->setBatchSaveFile(f.env.dir() + QStringLiteral("/lote.csv"));
    control<QToolButton>(form, "sbtSalvarComo")->click();
    QVERIFY(QFile::exists(form->batchSaveFile()));
    QVERIFY(!QFile::exists(SaveLocation::settingsFile()));
    QVERIFY(control<SavedNotice>(form, "lblStatus")->text().isEmpty());
    f.close();
}

QTEST_MAIN(tst_FormSave)
#include "tst_formsave.moc"
