#include "TfrmListaPrecRel.h"
#include "Cli_Lpr07731.h"

#include "validation/Consiste.h"
#include "form/BranchField.h"
#include "form/FormWidgets.h"
#include "form/PeriodGroup.h"
#include "form/WeekDate.h"
#include "controls/pick/ListChoice.h"
#include "errors/ExceptionGuard.h"
#include "app/Showavi.h"
#include "data/TADOIBQuery.h"
#include "app/TApplication.h"
#include "form/TMessages.h"
#include "validation/Zelmora.h"
#include "controls/FocusTracker.h"
#include "controls/lookup/TBtnPesquisa.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"
#include "net/TClientDataSet.h"
#include "net/TNetConnection.h"
#include "report/TReportDesignerDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QVBoxLayout>

using namespace FormWidgets;

TfrmListaPrecRel::TfrmListaPrecRel(QWidget *parent) : TfrmDadosGerRel(parent)
{
    setObjectName(QStringLiteral("frmListaPrecRel"));
    setWindowTitle(QStringLiteral("Emissão da Lista de Preços"));
    setProperty("helpFile", QStringLiteral("LprHelp.hlp"));
    setProperty("helpContext", 10407731);
    lblCodTela->setText(QStringLiteral("LPR07731"));
    lblCodRel->setText(QStringLiteral("LPR077"));

    buildControls();
    buildQueries();
    bindHandlers();
    ofereceRecentes();
    setClientSize(491, 383);
}

TfrmListaPrecRel::~TfrmListaPrecRel() = default;

void TfrmListaPrecRel::buildControls()
{
    const QFont plain = font();
    auto *area = new QVBoxLayout(grbDadosRel);
    area->setContentsMargins(1, 1, 1, 1);
    area->setSpacing(3);
    PanFilial = new BranchField(msgPadrao, grbDadosRel);
    PanFilial->setCheckPurchasingCentre(true);
    medCdFilial = PanFilial->code();
    area->addWidget(PanFilial);
    area->addWidget(buildProductGroup(plain));
    area->addWidget(buildListGroups());
    area->addWidget(buildValidityGroup());
    area->addWidget(buildOptionsGroup());
    area->addStretch(1);

    // Tab order: report list, branch, products, buyers, suppliers, validity, options.
    QWidget *order[] = {cbbReportNames,
                        medCdFilial,
                        medCdProdIni,
                        medCdProdFin,
                        rbtTodos,
                        rbtCompFili,
                        GroupBox2->todos(),
                        GroupBox2->lista(),
                        rdgFornecedor->todos(),
                        rdgFornecedor->lista(),
                        chbFornecedor,
                        speSemIni,
                        speSemFin,
                        depDataIni,
                        depDataFin,
                        chkVariPreco,
                        chkOrdPrPI,
                        PanFilial->regionCodeBox()};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

QWidget *TfrmListaPrecRel::buildValidityGroup()
{
    PeriodGroup::Names names;
    names.group = QStringLiteral("GroupBox3");
    names.caption = QStringLiteral("Validade");
    names.weekLabel = QStringLiteral("lblValFin");
    names.weekTo = QStringLiteral("Label1");
    names.dateTo = QStringLiteral("Label2");
    names.notice = QStringLiteral("lblAvisoValidade");
    names.noticeText = QStringLiteral("a validade final está antes da inicial");
    GroupBox3 = new PeriodGroup(msgPadrao, names, grbDadosRel);
    speSemIni = GroupBox3->first()->week();
    speSemFin = GroupBox3->last()->week();
    depDataIni = GroupBox3->first()->date();
    depDataFin = GroupBox3->last()->date();
    return GroupBox3;
}

QWidget *TfrmListaPrecRel::buildOptionsGroup()
{
    GroupBox4 = group(QStringLiteral("GroupBox4"), QString(), grbDadosRel);
    auto *opt = new QVBoxLayout(GroupBox4);
    opt->setContentsMargins(6, 2, 6, 2);
    opt->setSpacing(1);
    chkVariPreco = new TCheckBox(QStringLiteral("Utilizar Indicador de Variação de Preço do Produto"), GroupBox4);
    chkVariPreco->setObjectName(QStringLiteral("chkVariPreco"));
    chkOrdPrPI = new TCheckBox(QStringLiteral("Ordenar pelo Preço Econômico com PI/DSV"), GroupBox4);
    chkOrdPrPI->setObjectName(QStringLiteral("chkOrdPrPI"));
    opt->addWidget(chkVariPreco);
    opt->addWidget(chkOrdPrPI);

    return GroupBox4;
}

void TfrmListaPrecRel::bindHandlers()
{
    auto on = [this](auto *sender, auto signal, auto handler) {
        connect(sender, signal, this, [this, sender, handler] { guarded([&] { (this->*handler)(sender); }); });
    };
    on(medCdProdIni, &TMaskEdit::Change, &TfrmListaPrecRel::medCdProdIniChange);
    on(medCdProdFin, &TMaskEdit::Change, &TfrmListaPrecRel::medCdProdFinChange);
    on(chbFornecedor, &TCheckBox::Click, &TfrmListaPrecRel::chbFornecedorClick);

    OnExit(PanFilial, [this] { PanFilialExit(PanFilial); });
    OnExit(medCdProdIni, [this] { medCdProdIniExit(medCdProdIni); });
    OnExit(medCdProdFin, [this] { medCdProdFinExit(medCdProdFin); });

    sbtProdIni->OnAfterPesq = [this](QObject *s) { sbtProdIniAfterPesq(s); };
    sbtProdFin->OnAfterPesq = [this](QObject *s) { sbtProdFinAfterPesq(s); };

    netConsListPreco->BeforeConnect = [this](QObject *s) { netConsListPrecoBeforeConnect(s); };
    cdsFornecedor->FieldByName(QStringLiteral("IDTPIJURFORN")).OnGetText =
        [this](TField &f, QString &text, bool display) { cdsFornecedorIDTPIJURFORNGetText(f, text, display); };
    cdsFornecedor->FieldByName(QStringLiteral("NRINSJURFORN")).OnGetText =
        [this](TField &f, QString &text, bool display) { cdsFornecedorNRINSJURFORNGetText(f, text, display); };

    rpddPadrao->BeforeGetQueryParams = [this](TParams &params, bool &flag) {
        rpddPadraoBeforeGetQueryParams(params, flag);
    };
}

void TfrmListaPrecRel::FormCreate(QObject *Sender)
{
    TfrmDadosGerRel::FormCreate(Sender);
    Showavi::ActiveShowAvi(Application().MainForm(), 0);
    if (!netConsListPreco->Connected()) {
        netConsListPreco->setConnected(true);
        linkJustFailed = !netConsListPreco->Connected();
    }
    Showavi::DeactiveShowAvi();
    chkOrdPrPI->setVisible(Geral::ModuloAtiv() == 34);
}

void TfrmListaPrecRel::FormActivate(QObject *Sender)
{
    TfrmDadosGerRel::FormActivate(Sender);
    repaint();
}

void TfrmListaPrecRel::firstActivation()
{
    carregaFornecedores();

    // From here the defaults go in as at an opening, wherever the person is (a retry after a
    // failed start runs from a command or a later activation): the week and date boxes follow
    // each other by the focus, so none may hold it, and the focus moved here is not the
    // person leaving a control.
    FocusTracker::Hold hold;
    if (QWidget *focused = focusWidget())
        focused->clearFocus();

    qryPrimProd->Open();
    qryUltiProd->Open();

    medCdProdIni->setEditMask(Zelmora::DBPict(TPictType::ptProduto));
    medCdProdFin->setEditMask(Zelmora::DBPict(TPictType::ptProduto));

    medCdProdIni->setText(qryPrimProd->FieldByName(QStringLiteral("CDARVPROD")).AsString());
    medCdProdFin->setText(qryUltiProd->FieldByName(QStringLiteral("CDARVPROD")).AsString());
    edtNmProdIni->setText(qryPrimProd->FieldByName(QStringLiteral("NMPRODUTO")).AsString());
    edtNmProdFin->setText(qryUltiProd->FieldByName(QStringLiteral("NMPRODUTO")).AsString());

    qryProduto->FieldByName(QStringLiteral("CDARVPROD")).EditMask = Zelmora::DBPict(TPictType::ptProduto);

    rdgFornecedor->setList(QStringLiteral("T"));
    GroupBox2->setList(QStringLiteral("T"));
    stListaRegiao = QStringLiteral("T");
    chSepPagina = QLatin1Char('F');

    PanFilial->fromSession();

    if (Geral::ModuloAtiv() == 4) {
        depDataIni->SetDate(Zelmora::DataProc(medCdFilial->Text()));
        depDataFin->SetDate(Zelmora::DataProc(medCdFilial->Text()));
    }

    GroupBox3->follow();

    if (medCdFilial->isEnabled()) {
        medCdFilial->SelectAll();
        medCdFilial->setFocus();
    } else {
        // Tied to its branch: the first control the person can change.
        medCdProdIni->setFocus();
    }

    // A retry replaces whatever was chosen on the half-made form: the lists go back to "Todos".
    GroupBox2->todos()->setChecked(true);
    rdgFornecedor->todos()->setChecked(true);
    mostraSelecao();
}

void TfrmListaPrecRel::PanFilialExit(QObject *)
{
    Vd_CdProduto(medCdProdIni, false);
    Vd_CdProduto(medCdProdFin, false);
    PanFilial->Vd_CdFilial(false);
}

void TfrmListaPrecRel::FormClose(QObject *Sender, TCloseAction &Action)
{
    if (netConsListPreco->Connected())
        netConsListPreco->setConnected(false);
    boIdCriado = false;
    TfrmDadosGerRel::FormClose(Sender, Action);
}
