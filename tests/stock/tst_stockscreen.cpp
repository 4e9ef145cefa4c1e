// The stock-position screen, built only from the shared pieces: it opens on the session's
// branch and processing date, checks its branch with the shared branch field, issues its
// report in every format through a display-less run, and keeps its one date in a parameter
// set as a date that moves with the processing date.
#include "FormControls.h"
#include "ScriptedInteraction.h"
#include "TestEnv.h"

#include "TfrmPosEstoqueRel.h"
#include "app/ModuleRegistry.h"
#include "app/Session.h"
#include "app/TApplication.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"
#include "sets/RelativePeriod.h"
#include "validation/Consiste.h"
#include "validation/Zelmora.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QProcess>
#include <QTest>
#include <QToolButton>

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run suite(const QStringList &args)
{
    QProcess p;
    p.setProgram(QString::fromLocal8Bit(qgetenv("SUITE_BIN_DIR")) + QStringLiteral("/suite"));
    p.setArguments(args);
    p.start();
    p.waitForFinished(120000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// The value of a report parameter in what --dump-params printed.
QString param(const QString &out, const char *name)
{
    for (const QString &line : out.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1Char('{')))
            return QJsonDocument::fromJson(line.toUtf8())
                .object()
                .value(QLatin1String(name))
                .toObject()
                .value(QStringLiteral("value"))
                .toString();
    return QString();
}

QString brDate(const QDate &date)
{
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace

class tst_StockScreen : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void listedAmongTheModules();
    void opensOnTheSessionsBranchAndDate();
    void branchCheckedByTheSharedField_data();
    void branchCheckedByTheSharedField();
    void batchIssuesEveryFormat_data();
    void batchIssuesEveryFormat();
    void setKeepsAMovingDate_data();
    void setKeepsAMovingDate();

private:
    TfrmPosEstoqueRel *open();
    QStringList batch(const QStringList &more) const;

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedInteraction> m_io;
    QMainWindow m_window;
    QString m_ini;
};

void tst_StockScreen::initTestCase()
{
    m_env = std::make_unique<TestEnv>(TestEnv::dialectFromEnvironment());
    m_io = std::make_unique<ScriptedInteraction>();
    auto *area = new QMdiArea(&m_window);
    m_window.setCentralWidget(area);
    Application().setMainForm(&m_window, area);
    m_window.show();
    m_ini = m_env->dir() + QStringLiteral("/suite.ini");
    Session::current().save(m_ini);
}

void tst_StockScreen::cleanupTestCase()
{
    Application().setMainForm(nullptr, nullptr);
    m_io.reset();
    m_env.reset();
}

// As the shell's menu does: through the screen the module declared.
TfrmPosEstoqueRel *tst_StockScreen::open()
{
    const ScreenInfo *screen = ModuleRegistry::findScreen(QStringLiteral("EST01031"));
    if (!screen)
        qFatal("the stock module declared no screen EST01031");
    screen->open(false);
    QApplication::processEvents();
    return TfrmPosEstoqueRel::frmPosEstoqueRel;
}

QStringList tst_StockScreen::batch(const QStringList &more) const
{
    return QStringList{QStringLiteral("--config"), m_ini, QStringLiteral("--batch"), QStringLiteral("EST01031")} + more;
}

void tst_StockScreen::listedAmongTheModules()
{
    const Run r = suite({QStringLiteral("--config"), m_ini, QStringLiteral("--modules")});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(QStringLiteral("Est01031")) && r.out.contains(QStringLiteral("EST01031"))
                 && r.out.contains(QStringLiteral("LPR07731")),
             qPrintable(r.out));
}

void tst_StockScreen::opensOnTheSessionsBranchAndDate()
{
    TfrmPosEstoqueRel *form = open();
    QCOMPARE(form->branch(), Zelmora::FiliProc());
    QCOMPARE(form->position(), Zelmora::DataProc(Zelmora::FiliProc()));
    // The week box follows the date it opened on.
    QCOMPARE(control<TSpinEdit>(form, "speSemPosicao")->Value(), Consiste::NumeroSemana(form->position()));
    QVERIFY(!control<QLineEdit>(form, "edtNmFilial")->text().isEmpty());
    form->Close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_StockScreen::branchCheckedByTheSharedField_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("error"); // empty: taken
    QTest::newRow("existing") << "0002" << QString();
    QTest::newRow("short code completed") << "2" << QString();
    QTest::newRow("unknown") << "9999" << QStringLiteral("Filial não cadastrada.");
    QTest::newRow("rescinded") << "0004" << QStringLiteral("Filial com contrato rescindido.");
    QTest::newRow("empty, before output") << "" << QStringLiteral("Filial deve ser informada.");
}

void tst_StockScreen::branchCheckedByTheSharedField()
{
    QFETCH(QString, code);
    QFETCH(QString, error);
    TfrmPosEstoqueRel *form = open();
    m_io->clear();
    auto *edit = control<TMaskEdit>(form, "medCdFilial");
    edit->setFocus();
    edit->setText(code);
    // The preview refuses before anything runs; an accepted branch gets as far as the
    // report, which a test does not show (no answer to the save or preview).
    control<TSpinEdit>(form, "speSemPosicao")->setFocus();
    QApplication::processEvents();
    if (error.isEmpty()) {
        QVERIFY2(m_io->errors.isEmpty(), qPrintable(m_io->errors.join(QLatin1Char('\n'))));
        QVERIFY(!control<QLineEdit>(form, "edtNmFilial")->text().isEmpty());
        QCOMPARE(form->branch(), QStringLiteral("0002"));
    } else if (code.isEmpty()) {
        QVERIFY(m_io->errors.isEmpty()); // leaving it empty is allowed
        control<QToolButton>(form, "sbtSalvarComo")->click();
        QCOMPARE(m_io->errors, QStringList{error});
    } else {
        QCOMPARE(m_io->errors, QStringList{error});
        QVERIFY(edit->hasFocus());
    }
    form->Close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_StockScreen::batchIssuesEveryFormat_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QByteArray>("starts"); // the file's first bytes
    QTest::newRow("pdf") << "pdf" << QByteArray("%PDF");
    QTest::newRow("csv") << "csv" << QByteArray();
    QTest::newRow("xlsx") << "xlsx" << QByteArray("PK");
    QTest::newRow("html") << "html" << QByteArray("<!DOCTYPE");
}

void tst_StockScreen::batchIssuesEveryFormat()
{
    QFETCH(QString, extension);
    QFETCH(QByteArray, starts);
    const QString file = m_env->dir() + QStringLiteral("/posicao.") + extension;
    const Run r = suite(batch({QStringLiteral("--set"), QStringLiteral("medCdFilial=0001"), QStringLiteral("--save"),
                               file, QStringLiteral("--dump-params")}));
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(param(r.out, "P_CDFILIAL"), QStringLiteral("0001"));
    QCOMPARE(param(r.out, "P_DTPOSICAO"), brDate(Zelmora::DataProc(QStringLiteral("0001"))));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray data = f.readAll();
    QVERIFY(data.startsWith(starts));
    if (extension == QLatin1String("csv")) {
        // A stock line per product moved at 0001 up to the date: the demo has some.
        QVERIFY2(data.count('\n') > 2, data.constData());
        QVERIFY(QString::fromUtf8(data).contains(QStringLiteral("Estoque")));
    }
}

void tst_StockScreen::setKeepsAMovingDate_data()
{
    QTest::addColumn<QString>("period");
    QTest::addColumn<RelativePeriod>("kept");
    QTest::addColumn<QString>("refusal"); // empty: saved
    QTest::newRow("last day of the month before")
        << QStringLiteral("último dia do mês anterior") << RelativePeriod::previousMonthEnd() << QString();
    QTest::newRow("days back") << QStringLiteral("hoje - 3") << RelativePeriod::day(-3) << QString();
    QTest::newRow("a fixed date") << QStringLiteral("15/11/2026") << RelativePeriod::date(QDate(2026, 11, 15))
                                  << QString();
    // Without --period the date the run had (the session branch's processing date, where
    // the screen opened) is kept as it is.
    QTest::newRow("the run's date") << QString() << RelativePeriod::date(Zelmora::DataProc(Zelmora::FiliProc()))
                                    << QString();
    QTest::newRow("a week is not a date")
        << QStringLiteral("semana atual") << RelativePeriod() << QStringLiteral("tem uma data só");
}

void tst_StockScreen::setKeepsAMovingDate()
{
    QFETCH(QString, period);
    QFETCH(RelativePeriod, kept);
    QFETCH(QString, refusal);
    const QString name = QStringLiteral("Posição ") + QString::fromLatin1(QTest::currentDataTag());
    QStringList args{QStringLiteral("--set"), QStringLiteral("medCdFilial=0002"), QStringLiteral("--save-variant"),
                     name, QStringLiteral("--dump-params")};
    if (!period.isEmpty())
        args << QStringLiteral("--period") << period;
    const Run saved = suite(batch(args));
    if (!refusal.isEmpty()) {
        QCOMPARE(saved.code, 2);
        QVERIFY2(saved.err.contains(refusal), qPrintable(saved.err));
        return;
    }
    QVERIFY2(saved.code == 0, qPrintable(saved.err));

    const Run applied = suite(batch({QStringLiteral("--variant"), name, QStringLiteral("--save"),
                                     m_env->dir() + QStringLiteral("/conjunto.csv"), QStringLiteral("--dump-params")}));
    QVERIFY2(applied.code == 0, qPrintable(applied.err));
    QCOMPARE(param(applied.out, "P_CDFILIAL"), QStringLiteral("0002"));
    QCOMPARE(param(applied.out, "P_DTPOSICAO"), brDate(kept.resolvedFrom(Zelmora::DataProc(QStringLiteral("0002")))));

    const Run listed = suite(batch({QStringLiteral("--list-variants")}));
    QVERIFY2(listed.out.contains(QStringLiteral("%1  (%2;").arg(name, kept.text())), qPrintable(listed.out));
}

QTEST_MAIN(tst_StockScreen)
#include "tst_stockscreen.moc"
