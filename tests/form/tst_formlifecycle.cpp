// The screen's entry, its single instance and its first activation, driven as the shell
// and a person do.
#include "FormFixture.h"
#include "FormControls.h"

#include "Cli_Lpr07731.h"
#include "validation/Consiste.h"
#include "text/Cp1252.h"
#include "app/Session.h"
#include "data/Database.h"
#include "errors/EAbort.h"
#include "app/ModuleRegistry.h"
#include "sets/ParameterSetBar.h"
#include "sets/ParameterSetStore.h"
#include "Pkg_Lpr07731.h"
#include "form/TMessages.h"
#include "module/ScreenOpener.h"
#include "TfrmListaPrecRel.h"
#include "validation/Zelmora.h"
#include "controls/lookup/TBtnPesquisa.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"
#include "net/TClientDataSet.h"
#include "net/TNetConnection.h"
#include "report/TReportDesignerDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <Lpr07731Version.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A loopback port where something else answers and closes, counting the connections: the
// application server is away. Runs on a thread of its own, so the screen's blocking
// connection attempts are answered while the test's thread waits in them.
class ClosingPort
{
public:
    ClosingPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), size) != 0 || ::listen(m_fd, 8) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            qFatal("ClosingPort: no loopback port");
        port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            for (;;) {
                const int client = ::accept(m_fd, nullptr, nullptr);
                if (client < 0)
                    return; // the listening socket was shut down
                ++connections;
                // Something that is not our server: the link gives up at once (a link
                // closed before its handshake would be taken for a busy server and retried).
                const char answer[] = "HTTP/1.1 400 Bad Request\r\n\r\n";
                [[maybe_unused]] const auto sent = ::send(client, answer, sizeof answer - 1, MSG_NOSIGNAL);
                ::shutdown(client, SHUT_RDWR);
                ::close(client);
            }
        });
    }
    ~ClosingPort()
    {
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_thread.join();
    }
    int port = 0;
    std::atomic<int> connections{0};

private:
    int m_fd = -1;
    std::thread m_thread;
};

// The first column of the first row; a failed statement comes back as its error text so
// that the comparison using it shows the cause.
QVariant sqlValue(const QString &sql)
{
    QSqlQuery q(dtmDBGeral::dtbGeral());
    if (!q.exec(sql))
        return QStringLiteral("<erro: %1>").arg(q.lastError().text());
    if (!q.next())
        return QStringLiteral("<nenhuma linha>");
    return q.value(0);
}

// A screen on the base form with nothing of its own but a first activation that fails as
// often as it is told and a check before output that records what it was asked.
class StubScreen : public TfrmDadosGerRel
{
public:
    StubScreen()
    {
        lblCodTela->setText(QStringLiteral("TST00101"));
        lblCodRel->setText(QStringLiteral("TST001"));
    }
    using TfrmDadosGerRel::firstActivationPending;

    int failures = 0;
    int activations = 0;
    bool allow = false;
    QList<OutputCommand> asked;

protected:
    void firstActivation() override
    {
        ++activations;
        if (failures > 0) {
            --failures;
            throw ESuiteError(QStringLiteral("O servidor não respondeu."));
        }
    }
    bool outputAllowed(OutputCommand command) override
    {
        asked << command;
        return allow;
    }
};

} // namespace

class tst_FormLifecycle : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void moduleRegistersItself();
    void childWindowForNullVariant();
    void modalForAnyOtherVariant_data();
    void modalForAnyOtherVariant();
    void oneInstanceAcrossCalls();
    void modalCallOnAnOpenChildWindow();
    void freshInstanceAfterClose();
    void firstActivationDefaults();
    void laterActivationsChangeNothing();
    void datesPerModule_data();
    void datesPerModule();
    void pricingOptionOnlyInModule34_data();
    void pricingOptionOnlyInModule34();
    void tiedToBranch_data();
    void tiedToBranch();
    void emptyProductTableLeavesRangeEmpty();
    void serverDownThenBack();
    void failedStartNeverRunsTheReport();
    void retryIsAFirstActivation_data();
    void retryIsAFirstActivation();
    void supplierTextCallbacks_data();
    void supplierTextCallbacks();
    void moduleMessagesOverTheBase_data();
    void moduleMessagesOverTheBase();
    void baseCompletesTheFirstActivationBeforeACommand_data();
    void baseCompletesTheFirstActivationBeforeACommand();
};

void tst_FormLifecycle::cleanup()
{
    QCOMPARE(boIdCriado, false);
}

void tst_FormLifecycle::moduleRegistersItself()
{
    const ModuleInfo *info = ModuleRegistry::find(QStringLiteral("Lpr07731"));
    QVERIFY(info);
    // The version comes from the build (project VERSION), shown as MAJOR.MM.PPP.
    QCOMPARE(info->version, QStringLiteral(LPR07731_VERSION));
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d{2}\\.\\d{3}$")).match(info->version).hasMatch(),
             qPrintable(info->version));
    QVERIFY(info->units.contains(QStringLiteral("Cli_Lpr07731")));
    QVERIFY(info->units.contains(QStringLiteral("Pkg_Lpr07731")));
    const PackageInfoTable *table = GetPackageInfoTable();
    QVERIFY(table->flags & pfRunOnly);
    QCOMPARE(table->unitCount, 3);
}

void tst_FormLifecycle::childWindowForNullVariant()
{
    FormFixture f;
    IniProc(QVariant::fromValue(nullptr)); // returns at once
    QVERIFY(boIdCriado);
    TfrmListaPrecRel *form = frmListaPrecRel;
    QCOMPARE(form->FormStyle(), TFormStyle::fsMDIChild);
    QVERIFY(form->hasMinimizeButton());
    QVERIFY(form->subWindow());
    QCOMPARE(f.mdiArea->subWindowList().size(), 1);
    QCOMPARE(form->windowTitle(), QStringLiteral("Emissão da Lista de Preços"));
    // The screen's own 491 x 383, and the row of the parameter sets every report form has.
    const QWidget *sets = form->findChild<QWidget *>(QStringLiteral("panConjunto"));
    QVERIFY(sets);
    QCOMPARE(form->size(), QSize(491, 383 + sets->sizeHint().height() + form->layout()->spacing()));
    QCOMPARE(control<QLabel>(form, "lblCodTela")->text(), QStringLiteral("LPR07731"));
    QCOMPARE(control<QLabel>(form, "lblCodRel")->text(), QStringLiteral("LPR077"));
    QCOMPARE(control<TMessages>(form, "msgPadrao")->Messages().size(), 30);
    QCOMPARE(control<TMessages>(form, "msgPadrao")->Msg(QStringLiteral("FiliNCentCmp")),
             QStringLiteral("Filial não é controlada pela central de compras de processamento."));
    f.close();
}

void tst_FormLifecycle::modalForAnyOtherVariant_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::newRow("number") << QVariant(1);
    QTest::newRow("text") << QVariant(QStringLiteral("x"));
    // Never assigned is not null.
    QTest::newRow("empty") << QVariant();
}

void tst_FormLifecycle::modalForAnyOtherVariant()
{
    QFETCH(QVariant, value);
    FormFixture f;
    bool sawModal = false, minimize = true, returnedEarly = true;
    QTimer::singleShot(0, [&] {
        returnedEarly = false;
        TfrmListaPrecRel *form = frmListaPrecRel;
        sawModal = form->isModal() && form->FormStyle() == TFormStyle::fsNormal && !form->subWindow();
        minimize = form->hasMinimizeButton();
        form->Close();
    });
    IniProc(value); // returns only after the form has closed
    QVERIFY(!returnedEarly);
    QVERIFY(sawModal);
    QVERIFY(!minimize);
    QVERIFY(!boIdCriado);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_FormLifecycle::oneInstanceAcrossCalls()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    form->subWindow()->showMinimized();
    control<TMaskEdit>(form, "medCdProdIni")->setText(QStringLiteral("123"));
    CriaRelLista(false);
    QApplication::processEvents();
    QCOMPARE(frmListaPrecRel, form);
    QCOMPARE(f.mdiArea->subWindowList().size(), 1);
    QVERIFY(!form->subWindow()->isMinimized());
    QCOMPARE(control<TMaskEdit>(form, "medCdProdIni")->Text(), QStringLiteral("123")); // defaults not applied again
    f.close();
}

void tst_FormLifecycle::modalCallOnAnOpenChildWindow()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    control<TCheckBox>(form, "chbFornecedor")->click();
    bool sawModal = false;
    QTimer::singleShot(0, [&] {
        sawModal = frmListaPrecRel == form && form->isModal() && form->isWindow() && !form->subWindow()
                   && form->choices().pageBySupplier;
        form->Close();
    });
    CriaRelLista(true); // the same instance, out of the child-window area, shown modally
    QVERIFY(sawModal);
    QVERIFY(!boIdCriado);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(f.mdiArea->subWindowList().size(), 0);
}

void tst_FormLifecycle::freshInstanceAfterClose()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    control<TCheckBox>(form, "chbFornecedor")->click();
    QVERIFY(form->choices().pageBySupplier);
    QPointer<TfrmListaPrecRel> old(form);
    f.close();
    QVERIFY(!boIdCriado);
    QVERIFY(old.isNull()); // released
    form = f.open();
    QVERIFY(form);
    QVERIFY(!form->choices().pageBySupplier);
    QVERIFY(!control<TCheckBox>(form, "chbFornecedor")->isChecked());
    QVERIFY(form->choices().defaultsApplied);
    f.close();
}

void tst_FormLifecycle::firstActivationDefaults()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    QVERIFY(form->choices().defaultsApplied);
    QCOMPARE(form->choices().suppliers, QStringLiteral("T"));
    QCOMPARE(form->choices().buyers, QStringLiteral("T"));
    QCOMPARE(form->choices().regions, QStringLiteral("T"));
    QVERIFY(control<TRadioButton>(form, "rbtTodosForn")->isChecked()
            && control<TRadioButton>(form, "rbtTodosComp")->isChecked());
    QVERIFY(!control<TButtonFlat>(form, "sbtFornecedor")->isEnabled()
            && !control<TButtonFlat>(form, "sbtComprador")->isEnabled());

    // The first and last product by tree code, names kept after the codes went in.
    QCOMPARE(control<TMaskEdit>(form, "medCdProdIni")->Text(),
             sqlValue(QStringLiteral("SELECT MIN(CDARVPROD) FROM PRODUTO")).toString());
    QCOMPARE(control<TMaskEdit>(form, "medCdProdFin")->Text(),
             sqlValue(QStringLiteral("SELECT MAX(CDARVPROD) FROM PRODUTO")).toString());
    QCOMPARE(
        control<QLineEdit>(form, "edtNmProdIni")->text(),
        sqlValue(QStringLiteral("SELECT NMPRODUTO FROM PRODUTO WHERE CDARVPROD = (SELECT MIN(CDARVPROD) FROM PRODUTO)"))
            .toString());
    QCOMPARE(
        control<QLineEdit>(form, "edtNmProdFin")->text(),
        sqlValue(QStringLiteral("SELECT NMPRODUTO FROM PRODUTO WHERE CDARVPROD = (SELECT MAX(CDARVPROD) FROM PRODUTO)"))
            .toString());
    QVERIFY(!control<QLineEdit>(form, "edtNmProdIni")->text().isEmpty());
    QCOMPARE(control<TMaskEdit>(form, "medCdProdIni")->EditMask(), Zelmora::DBPict(TPictType::ptProduto));

    // The session's branch with its names; the hidden region code is not filled.
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0001"));
    QCOMPARE(control<QLineEdit>(form, "edtNmFilial")->text(),
             sqlValue(QStringLiteral("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL='0001'")).toString());
    QCOMPARE(control<QLineEdit>(form, "edtNmRegiao")->text(),
             sqlValue(QStringLiteral(
                          "SELECT NMREGIAO FROM FILIAL F JOIN REGIAO R ON R.CDREGIAO=F.CDREGIAO WHERE CDFILIAL='0001'"))
                 .toString());
    QVERIFY(control<QLineEdit>(form, "edtCdRegiao")->text().isEmpty());

    // The quoted suppliers from the server.
    QCOMPARE(control<TClientDataSet>(form, "cdsFornecedor")->RecordCount(),
             sqlValue(QStringLiteral("SELECT COUNT(DISTINCT CDFORNECED) FROM COTACAO")).toInt());
    QCOMPARE(control<TClientDataSet>(form, "cdsFornecedor")->Fields(0).FieldName, QStringLiteral("IDMARCADO"));
    // The picker shows the code, first after the mark.
    QCOMPARE(control<TClientDataSet>(form, "cdsFornecedor")->Fields(1).FieldName, QStringLiteral("CDFORNECED"));
    QVERIFY(control<TClientDataSet>(form, "cdsFornecedor")->Fields(1).Visible);
    QVERIFY(f.io.errors.isEmpty());
    f.close();
}

void tst_FormLifecycle::laterActivationsChangeNothing()
{
    FormFixture f;
    TfrmListaPrecRel *form = f.open();
    control<TRadioButton>(form, "rbtListaForn")->click();
    control<TCheckBox>(form, "chbFornecedor")->click();
    control<TMaskEdit>(form, "medCdProdIni")->setText(QStringLiteral("9"));
    control<TDateEditPlus>(form, "depDataIni")->SetDate(QDate(2026, 3, 2));

    // Another child window takes the activation, then the screen gets it back.
    QMdiSubWindow *other = f.mdiArea->addSubWindow(new QLabel(QStringLiteral("outra")));
    other->show();
    f.mdiArea->setActiveSubWindow(other);
    f.mdiArea->setActiveSubWindow(form->subWindow());
    QApplication::processEvents();

    QCOMPARE(form->choices().suppliers, QString());
    QVERIFY(form->choices().pageBySupplier);
    QCOMPARE(control<TMaskEdit>(form, "medCdProdIni")->Text(), QStringLiteral("9"));
    QCOMPARE(control<TDateEditPlus>(form, "depDataIni")->GetDate(), QDate(2026, 3, 2));
    f.close();
    delete other;
}

void tst_FormLifecycle::datesPerModule_data()
{
    QTest::addColumn<int>("module");
    QTest::newRow("module 4") << 4;
    QTest::newRow("module 34") << 34;
}

void tst_FormLifecycle::datesPerModule()
{
    QFETCH(int, module);
    FormFixture f;
    Session::current().modulo = module;
    TfrmListaPrecRel *form = f.open();
    if (module == 4) {
        const QDate proc = Zelmora::DataProc(QStringLiteral("0001"));
        QCOMPARE(control<TDateEditPlus>(form, "depDataIni")->GetDate(), proc);
        QCOMPARE(control<TDateEditPlus>(form, "depDataFin")->GetDate(), proc);
        QCOMPARE(control<TSpinEdit>(form, "speSemIni")->Value(), Consiste::NumeroSemana(proc));
        QCOMPARE(control<TSpinEdit>(form, "speSemFin")->Value(), Consiste::NumeroSemana(proc));
        QCOMPARE(control<QLineEdit>(form, "edtDataIni")->text(), Consiste::NomeSemana(proc).left(3));
    } else {
        // The date editors start blank, and so do the weeks that follow them.
        QVERIFY(control<TDateEditPlus>(form, "depDataIni")->Text().isEmpty());
        QVERIFY(control<TDateEditPlus>(form, "depDataFin")->Text().isEmpty());
        QVERIFY(control<TSpinEdit>(form, "speSemIni")->Text().isEmpty());
        QVERIFY(control<TSpinEdit>(form, "speSemFin")->Text().isEmpty());
    }
    f.close();
}

void tst_FormLifecycle::pricingOptionOnlyInModule34_data()
{
    QTest::addColumn<int>("module");
    QTest::addColumn<bool>("visible");
    QTest::newRow("34") << 34 << true;
    QTest::newRow("4") << 4 << false;
    QTest::newRow("75") << 75 << false;
}

void tst_FormLifecycle::pricingOptionOnlyInModule34()
{
    QFETCH(int, module);
    QFETCH(bool, visible);
    FormFixture f;
    Session::current().modulo = module;
    TfrmListaPrecRel *form = f.open();
    QCOMPARE(control<TCheckBox>(form, "chkOrdPrPI")->isVisible(), visible);
    QVERIFY(!control<TCheckBox>(form, "chkOrdPrPI")->isChecked());
    f.close();
}

void tst_FormLifecycle::tiedToBranch_data()
{
    QTest::addColumn<bool>("tied");
    QTest::newRow("tied") << true;
    QTest::newRow("free") << false;
}

void tst_FormLifecycle::tiedToBranch()
{
    QFETCH(bool, tied);
    FormFixture f;
    Session::current().vinculadoFilial = tied;
    TfrmListaPrecRel *form = f.open();
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->isEnabled(), !tied);
    QCOMPARE(control<TBtnPesquisa>(form, "sbtFilial")->isEnabled(), !tied);
    QCOMPARE(control<QLabel>(form, "lblFilial")->isEnabled(), !tied);
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->hasSelectedText(), !tied);
    if (!tied)
        QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->selectedText(),
                 control<TMaskEdit>(form, "medCdFilial")->text());
    f.close();
}

void tst_FormLifecycle::emptyProductTableLeavesRangeEmpty()
{
    FormFixture f;
    f.env.exec(QStringLiteral("DELETE FROM PRODUTO"));
    Session::current().filial = QStringLiteral("9999"); // a branch with no row
    TfrmListaPrecRel *form = f.open();
    QVERIFY(control<TMaskEdit>(form, "medCdProdIni")->Text().isEmpty());
    QVERIFY(control<QLineEdit>(form, "edtNmProdIni")->text().isEmpty());
    QVERIFY(control<TMaskEdit>(form, "medCdProdFin")->Text().isEmpty());
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("9999"));
    QVERIFY(control<QLineEdit>(form, "edtNmFilial")->text().isEmpty());
    QVERIFY(f.io.errors.isEmpty()); // nothing is reported at activation
    f.close();
}

void tst_FormLifecycle::serverDownThenBack()
{
    FormFixture f(DemoOptions(), false);
    ServerProcess server(f.env);
    Session::current().serverPort = 1; // nothing listens there
    TfrmListaPrecRel *form = f.open();
    QVERIFY(form);
    QVERIFY(!form->choices().defaultsApplied); // the defaults are still to be applied
    QCOMPARE(f.io.errors.size(), 1);
    QVERIFY2(f.io.errors.first().contains(QLatin1String("127.0.0.1:1")), qPrintable(f.io.errors.first()));
    QVERIFY(control<TMaskEdit>(form, "medCdProdIni")->Text().isEmpty());

    // The server comes up; host and port are read again at the next attempt.
    QVERIFY(server.start());
    QMdiSubWindow *other = f.mdiArea->addSubWindow(new QLabel(QStringLiteral("outra")));
    other->show();
    f.mdiArea->setActiveSubWindow(other);
    f.mdiArea->setActiveSubWindow(form->subWindow());
    QApplication::processEvents();
    QVERIFY(form->choices().defaultsApplied);
    QCOMPARE(control<TNetConnection>(form, "netConsListPreco")->Port(), server.port());
    QVERIFY(control<TClientDataSet>(form, "cdsFornecedor")->RecordCount() > 0);
    QVERIFY(!control<TMaskEdit>(form, "medCdProdIni")->Text().isEmpty());
    QCOMPARE(f.io.errors.size(), 1);
    f.close();
    delete other;
}

void tst_FormLifecycle::failedStartNeverRunsTheReport()
{
    FormFixture f(DemoOptions(), false);
    ServerProcess server(f.env);
    ClosingPort away;
    Session::current().serverPort = away.port;
    TfrmListaPrecRel *form = f.open();
    QVERIFY(!form->choices().defaultsApplied);
    QCOMPARE(f.io.errors.size(), 1);
    // The creation tried once; the activation reports that failure without trying again
    // (against a server that does not answer, a second wait for the connect timeout).
    QCOMPARE(away.connections.load(), 1);

    QStringList started;
    connect(form, &TfrmDadosGerRel::commandStarted, form, [&](const QString &c) { started << c; });
    const QString file = f.env.dir() + QStringLiteral("/lista.csv");
    f.io.saveAnswers = {file, file};
    auto save = [] {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
        QApplication::processEvents();
    };

    // What a person does on the half-made form: a branch and a save. The defaults are
    // tried again first: one attempt, one message, nothing runs.
    FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), QStringLiteral("0002"));
    save();
    QCOMPARE(away.connections.load(), 2);
    QCOMPARE(f.io.errors.size(), 2);
    QVERIFY(started.isEmpty());
    QVERIFY(!QFile::exists(file));

    // The server is back: the defaults are applied and shown, and still nothing runs.
    QVERIFY(server.start());
    save();
    QCOMPARE(f.io.errors.size(), 2);
    QCOMPARE(f.io.infos.size(), 1);
    QVERIFY(started.isEmpty());
    QVERIFY(form->choices().defaultsApplied);
    QCOMPARE(form->choices().suppliers, QStringLiteral("T"));
    QCOMPARE(form->choices().buyers, QStringLiteral("T"));
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0001"));
    QVERIFY(!control<TMaskEdit>(form, "medCdProdIni")->Text().isEmpty());
    QVERIFY(control<TClientDataSet>(form, "cdsFornecedor")->RecordCount() > 0);

    // The next save runs on the whole form.
    save();
    QCOMPARE(started, QStringList{QStringLiteral("sbtSalvarComoClick")});
    QVERIFY(QFile::exists(file));
    const TParams params = control<TReportDesignerDialog>(form, "rpddPadrao")->lastParams();
    QCOMPARE(params.ParamByName(QStringLiteral("L_LISTAFORNE")).AsString(), QStringLiteral("T"));
    QCOMPARE(params.ParamByName(QStringLiteral("L_LISTAOPER")).AsString(), QStringLiteral("T"));
    QCOMPARE(params.ParamByName(QStringLiteral("P_CDFILIAL")).AsString(), QStringLiteral("0001"));
    QCOMPARE(f.io.errors.size(), 2);
    f.close();
}

void tst_FormLifecycle::retryIsAFirstActivation_data()
{
    QTest::addColumn<QString>("box");    // where the person is when the server is back
    // F5 retries the defaults; "back": coming back to the window; "picker": the supplier
    // picker, whose list the first activation reads from the server
    QTest::addColumn<QString>("how");
    for (const char *box : {"speSemIni", "depDataIni", "speSemFin", "depDataFin"}) {
        QTest::addRow("%s, F5", box) << QString::fromLatin1(box) << QStringLiteral("F5");
        QTest::addRow("%s, back to the window", box) << QString::fromLatin1(box) << QStringLiteral("back");
    }
    QTest::addRow("speSemIni, supplier picker") << QStringLiteral("speSemIni") << QStringLiteral("picker");
}

// When the server is back, the defaults retried after a failed start are those of an
// opening, whatever holds the focus, and the default parameter set follows them once;
// later activations keep what the person chose.
void tst_FormLifecycle::retryIsAFirstActivation()
{
    QFETCH(QString, box);
    QFETCH(QString, how);
    FormFixture f(DemoOptions(), false);
    // A Wednesday: neither the first nor the last day of its week.
    f.env.exec(QStringLiteral("UPDATE FILIAL SET DTPROCESSO = ? WHERE CDFILIAL = '0001'"), {QDate(2026, 12, 9)});
    f.env.reopen();
    ServerProcess server(f.env);
    ParameterSet set;
    set.name = QStringLiteral("Londrina");
    set.screen = QStringLiteral("LPR07731");
    set.values.insert(QStringLiteral("medCdFilial"), QStringLiteral("0003"));
    ParameterSetStore store(set.screen);
    store.save(set);
    store.setDefaultName(set.name);
    Session::current().serverPort = 1; // nothing listens there
    TfrmListaPrecRel *form = f.open();
    QVERIFY(!form->choices().defaultsApplied);
    QVERIFY(server.start());

    // Another child window takes the activation (showing it does), then the screen gets it back.
    QMdiSubWindow *other = nullptr;
    auto comeBack = [&] {
        if (!other) {
            other = f.mdiArea->addSubWindow(new QLabel(QStringLiteral("outra")));
            other->show();
        }
        f.mdiArea->setActiveSubWindow(other);
        f.mdiArea->setActiveSubWindow(form->subWindow());
        QApplication::processEvents();
    };
    FormFixture::focus(control<QWidget>(form, box.toLatin1().constData()));
    if (how == QLatin1String("back")) {
        comeBack();
    } else {
        if (how == QLatin1String("F5")) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
        } else {
            // Not "Não há fornecedor cotado.": the list was never read.
            control<QAbstractButton>(form, "rbtListaForn")->click();
            control<QAbstractButton>(form, "sbtFornecedor")->click();
            QCOMPARE(f.io.pickListCalls, 0);
        }
        QApplication::processEvents();
        QCOMPARE(f.io.infos.size(), 1);
        QVERIFY2(f.io.infos.first().contains(QStringLiteral("o conjunto \"Londrina\"")), qPrintable(f.io.infos.first()));
    }
    QVERIFY(form->choices().defaultsApplied);
    const QDate proc = Zelmora::DataProc(QStringLiteral("0001"));
    QCOMPARE(control<TDateEditPlus>(form, "depDataIni")->GetDate(), proc);
    QCOMPARE(control<TDateEditPlus>(form, "depDataFin")->GetDate(), proc);
    QCOMPARE(control<TSpinEdit>(form, "speSemIni")->Text(), QString::number(Consiste::NumeroSemana(proc)));
    QCOMPARE(control<TSpinEdit>(form, "speSemFin")->Text(), QString::number(Consiste::NumeroSemana(proc)));
    auto *sets = form->findChild<ParameterSetBar *>(QStringLiteral("panConjunto"));
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0003"));
    // As if typed, from within the command too: the branch is validated as it is left.
    QCOMPARE(control<QLineEdit>(form, "edtNmFilial")->text(), QStringLiteral("Filial Londrina"));
    QCOMPARE(sets->currentName(), set.name);
    QVERIFY(sets->actRenomear->isEnabled());

    FormFixture::type(control<TMaskEdit>(form, "medCdFilial"), QStringLiteral("0005"));
    FormFixture::focus(control<TMaskEdit>(form, "medCdProdIni"));
    comeBack();
    QCOMPARE(control<TMaskEdit>(form, "medCdFilial")->Text(), QStringLiteral("0005"));
    QCOMPARE(f.io.errors.size(), 1); // the failed start's
    f.close();
    delete other;
}

void tst_FormLifecycle::supplierTextCallbacks_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("kindText");
    QTest::addColumn<QString>("numberText");
    QTest::newRow("J") << "J"
                       << "12345678000195"
                       << "Júridica"
                       << "12.345.678/0001-95";
    QTest::newRow("F") << "F"
                       << "12345678909"
                       << "Fisíca"
                       << "123.456.789-09";
    QTest::newRow("O") << "O"
                       << "XYZ-77"
                       << "Outros"
                       << "XYZ-77";
    // "I" names its type like "J" but gets no number text.
    QTest::newRow("I") << "I"
                       << "999"
                       << "Júridica"
                       << "999";
    QTest::newRow("lower case matches nothing") << "j"
                                                << "12345678000195"
                                                << "j"
                                                << "12345678000195";
}

void tst_FormLifecycle::supplierTextCallbacks()
{
    QFETCH(QString, kind);
    QFETCH(QString, number);
    QFETCH(QString, kindText);
    QFETCH(QString, numberText);
    FormFixture f;
    f.env.exec(QStringLiteral("UPDATE FORNECEDOR SET IDTPIJURFORN = ?, NRINSJURFORN = ?"), {kind, number});
    TfrmListaPrecRel *form = f.open();
    QVERIFY(control<TClientDataSet>(form, "cdsFornecedor")->RecordCount() > 0);
    control<TClientDataSet>(form, "cdsFornecedor")->First();
    QCOMPARE(control<TClientDataSet>(form, "cdsFornecedor")->FieldByName(QStringLiteral("IDTPIJURFORN")).DisplayText(),
             kindText);
    QCOMPARE(control<TClientDataSet>(form, "cdsFornecedor")->FieldByName(QStringLiteral("NRINSJURFORN")).DisplayText(),
             numberText);
    f.close();
}

void tst_FormLifecycle::moduleMessagesOverTheBase_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");

    QTest::newRow("the base's own, kept") << "NovoCaption" << QStringLiteral("Título do Relatório");
    QTest::newRow("the base's, as the module words it") << "NovoPrompt" << QStringLiteral("Título, por favor:");
    QTest::newRow("the module's own") << "TST_DEVE" << QStringLiteral("Teste deve ser informado.");
    QTest::newRow("a line without a key is no message") << "sem chave" << QString();
}

// A screen reads the messages its module declares laid over the base form's, and its
// reports from the module's folder under the session's.
void tst_FormLifecycle::moduleMessagesOverTheBase()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    TestEnv env;
    QFile file(env.dir() + QStringLiteral("/msgs.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Cp1252::fromUnicode(QStringLiteral("NovoPrompt|Título, por favor:\r\nsem chave\r\n\r\n"
                                                  "TST_DEVE|Teste deve ser informado.\r\n")));
    file.close();
    ModuleInfo module;
    module.name = QStringLiteral("Tst001");
    module.screens.append({QStringLiteral("TST00101"), QStringLiteral("Teste"), QStringLiteral("Testes"), nullptr});
    module.messagesFile = file.fileName();
    module.reportFolder = QStringLiteral("tst");
    ModuleRegistry::registerModule(module);
    {
        StubScreen screen;
        screen.DoCreate();
        const auto *messages = screen.findChild<TMessages *>(QStringLiteral("msgPadrao"));
        QCOMPARE(messages->Msg(key), text);
        QCOMPARE(messages->Messages().size(), 4); // the base's three and the module's one more
        QCOMPARE(screen.findChild<TReportDesignerDialog *>(QStringLiteral("rpddPadrao"))->ReportDir,
                 QDir(Session::current().reportDir).filePath(QStringLiteral("tst")));
    }
    ModuleRegistry::unregisterModule(module.name);
}

void tst_FormLifecycle::baseCompletesTheFirstActivationBeforeACommand_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<OutputCommand>("command");
    QTest::addColumn<int>("failures"); // of the first activation before it completes

    QTest::newRow("preview after a failed start") << "sbtPreview" << OutputCommand::Preview << 1;
    QTest::newRow("print after two failed starts") << "sbtPrint" << OutputCommand::Print << 2;
    QTest::newRow("save after a failed start") << "sbtSalvarComo" << OutputCommand::Save << 1;
    QTest::newRow("edit after a failed start") << "sbtReportEdit" << OutputCommand::Edit << 1;
    QTest::newRow("preview after a clean start") << "sbtPreview" << OutputCommand::Preview << 0;
}

// A command on a form whose first activation failed completes it first and stops, saying
// so; only then is the screen's check asked, once per command, and the command runs only
// when the check allows it. The first activation never runs again once complete.
void tst_FormLifecycle::baseCompletesTheFirstActivationBeforeACommand()
{
    QFETCH(QString, button);
    QFETCH(OutputCommand, command);
    QFETCH(int, failures);
    FormFixture f(DemoOptions(), false);
    auto *screen = new StubScreen;
    screen->failures = failures;
    screen->DoCreate();
    showScreen(*screen, false);
    QApplication::processEvents();
    QCOMPARE(screen->firstActivationPending(), failures > 0);
    QCOMPARE(f.io.errors.size(), failures > 0 ? 1 : 0);

    QStringList started;
    connect(screen, &TfrmDadosGerRel::commandStarted, screen, [&](const QString &c) { started << c; });
    auto *b = screen->findChild<QToolButton *>(button);
    QVERIFY(b);
    for (int i = 1; i <= failures; ++i) {
        b->click();
        QCOMPARE(f.io.errors.size(), i < failures ? 1 + i : failures);
        QCOMPARE(f.io.infos.size(), i < failures ? 0 : 1);
    }
    QVERIFY(!screen->firstActivationPending());
    QVERIFY(screen->asked.isEmpty());
    QVERIFY(started.isEmpty());

    b->click(); // the check says no, without a message
    QCOMPARE(screen->asked, QList<OutputCommand>{command});
    QVERIFY(started.isEmpty());
    QCOMPARE(f.io.errors.size(), failures);
    screen->allow = true;
    b->click();
    QCOMPARE(started.size(), 1);
    QCOMPARE(screen->activations, failures + 1);
    screen->Close();
    QApplication::processEvents();
}

QTEST_MAIN(tst_FormLifecycle)
#include "tst_formlifecycle.moc"
