#include "TfrmListaPrecRel.h"
#include "Cli_Lpr07731.h"

#include "validation/Consiste.h"
#include "FormWidgets.h"
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
    area->addWidget(buildBranchPanel());
    area->addWidget(buildProductGroup(plain));
    // Buyer and supplier groups, side by side.
    auto *lists = new QHBoxLayout;
    lists->setSpacing(3);
    lists->addWidget(buildBuyerGroup(plain), 0);
    lists->addWidget(buildSupplierGroup(plain), 1);
    area->addLayout(lists);
    area->addWidget(buildValidityGroup(plain));
    area->addWidget(buildOptionsGroup());
    area->addStretch(1);

    edtCdRegiao = new QLineEdit(grbDadosRel);
    edtCdRegiao->setObjectName(QStringLiteral("edtCdRegiao"));
    edtCdRegiao->setVisible(false);
    edtCdRegiao->setEnabled(false);
    edtCdRegiao->setFixedWidth(0);

    // Tab order: report list, branch, products, buyers, suppliers, validity, options.
    QWidget *order[] = {cbbReportNames, medCdFilial,  medCdProdIni, medCdProdFin, rbtTodos,      rbtCompFili,
                        rbtTodosComp,   rbtListaComp, rbtTodosForn, rbtListaForn, chbFornecedor, speSemIni,
                        speSemFin,      depDataIni,   depDataFin,   chkVariPreco, chkOrdPrPI,    edtCdRegiao};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
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
    on(medCdFilial, &TMaskEdit::Change, &TfrmListaPrecRel::medCdFilialChange);
    on(medCdProdIni, &TMaskEdit::Change, &TfrmListaPrecRel::medCdProdIniChange);
    on(medCdProdFin, &TMaskEdit::Change, &TfrmListaPrecRel::medCdProdFinChange);
    on(speSemIni, &TSpinEdit::Change, &TfrmListaPrecRel::speSemIniChange);
    on(speSemFin, &TSpinEdit::Change, &TfrmListaPrecRel::speSemFinChange);
    on(depDataIni, &TDateEditPlus::DateChange, &TfrmListaPrecRel::depDataIniDateChange);
    on(depDataFin, &TDateEditPlus::DateChange, &TfrmListaPrecRel::depDataFinDateChange);
    on(rbtTodosComp, &TRadioButton::Click, &TfrmListaPrecRel::rbtTodosCompClick);
    on(rbtListaComp, &TRadioButton::Click, &TfrmListaPrecRel::rbtListaCompClick);
    on(rbtTodosForn, &TRadioButton::Click, &TfrmListaPrecRel::rbtTodosFornClick);
    on(rbtListaForn, &TRadioButton::Click, &TfrmListaPrecRel::rbtListaFornClick);
    on(sbtComprador, &TButtonFlat::clicked, &TfrmListaPrecRel::sbtCompradorClick);
    on(sbtFornecedor, &TButtonFlat::clicked, &TfrmListaPrecRel::sbtFornecedorClick);
    on(chbFornecedor, &TCheckBox::Click, &TfrmListaPrecRel::chbFornecedorClick);

    OnExit(medCdFilial, [this] { medCdFilialExit(medCdFilial); });
    OnExit(PanFilial, [this] { PanFilialExit(PanFilial); });
    OnExit(medCdProdIni, [this] { medCdProdIniExit(medCdProdIni); });
    OnExit(medCdProdFin, [this] { medCdProdFinExit(medCdProdFin); });
    OnExit(depDataIni, [this] { depDataIniExit(depDataIni); });
    OnExit(depDataFin, [this] { depDataFinExit(depDataFin); });

    rbtListaComp->OnKeyDown = [this](QObject *s, quint16 &key, Qt::KeyboardModifiers shift) {
        rbtListaCompKeyDown(s, key, shift);
    };
    rbtListaForn->OnKeyDown = [this](QObject *s, quint16 &key, Qt::KeyboardModifiers shift) {
        rbtListaFornKeyDown(s, key, shift);
    };
    sbtFilial->OnBeforePesq = [this](QObject *s, bool &flag) { sbtFilialBeforePesq(s, flag); };
    sbtFilial->OnAfterPesq = [this](QObject *s) { sbtFilialAfterPesq(s); };
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

    stListaForn = QStringLiteral("T");
    stListaComp = QStringLiteral("T");
    stListaRegiao = QStringLiteral("T");
    chSepPagina = QLatin1Char('F');

    qryFilial->Close();
    qryFilial->ParamByName(QStringLiteral("P_CDFILIAL")).setValue(Zelmora::FiliProc());
    qryFilial->ParamByName(QStringLiteral("P_TCDFILIAL")).setValue(QString(QLatin1String("")));
    qryFilial->Open();

    medCdFilial->setText(Zelmora::FiliProc());
    edtNmFilial->setText(qryFilial->FieldByName(QStringLiteral("NMFILIAL")).AsString());
    edtNmRegiao->setText(qryFilial->FieldByName(QStringLiteral("NMREGIAO")).AsString());

    medCdFilial->setEnabled(!Zelmora::ModuFili());
    sbtFilial->setEnabled(!Zelmora::ModuFili());
    lblFilial->setEnabled(!Zelmora::ModuFili());

    if (Geral::ModuloAtiv() == 4) {
        depDataIni->SetDate(Zelmora::DataProc(medCdFilial->Text()));
        depDataFin->SetDate(Zelmora::DataProc(medCdFilial->Text()));
    }

    speSemIni->setValue(Consiste::NumeroSemana(depDataIni->GetDate()));
    speSemFin->setValue(Consiste::NumeroSemana(depDataFin->GetDate()));

    const QLocale locale;
    edtDataIni->setText(locale.toString(depDataIni->GetDate(), QStringLiteral("dddd")).left(3));
    edtDataFin->setText(locale.toString(depDataFin->GetDate(), QStringLiteral("dddd")).left(3));

    depDataIniDateChange(depDataIni);
    depDataFinDateChange(depDataFin);

    if (medCdFilial->isEnabled()) {
        medCdFilial->SelectAll();
        medCdFilial->setFocus();
    } else {
        // Tied to its branch: the first control the person can change.
        medCdProdIni->setFocus();
    }

    // A retry replaces whatever was chosen on the half-made form: the lists go back to "Todos".
    rbtTodosComp->setChecked(true);
    rbtTodosForn->setChecked(true);
    mostraSelecao();
}

void TfrmListaPrecRel::FormClose(QObject *Sender, TCloseAction &Action)
{
    if (netConsListPreco->Connected())
        netConsListPreco->setConnected(false);
    boIdCriado = false;
    TfrmDadosGerRel::FormClose(Sender, Action);
}
