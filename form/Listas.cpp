// Supplier, buyer and region lists: the shared "Todos"/"Lista" groups over the buyers and
// the server's suppliers, the region picker and the page break.
#include "TfrmListaPrecRel.h"

#include "PriceListServer.h"
#include "net/TNetConnection.h"
#include "data/TDataSet.h"
#include "validation/Consiste.h"
#include "controls/TControls.h"
#include "controls/pick/ListChoice.h"
#include "data/TADOIBQuery.h"
#include "data/TDataSet.h"
#include "form/FormWidgets.h"
#include "form/TMessages.h"
#include "net/TClientDataSet.h"
#include "net/TNetConnection.h"

#include <QHBoxLayout>

void TfrmListaPrecRel::mostraSelecao()
{
    GroupBox2->showCount();
    rdgFornecedor->showCount();
}

void TfrmListaPrecRel::sbtRegiaoClick(QObject *)
{
    ListChoice::pickInto(dtsRegiao, qryRegiao, QStringLiteral("CDREGIAO"), msgPadrao->Msg(QStringLiteral("reg_cad")),
                         msgPadrao->Msg(QStringLiteral("Regiao")), stListaRegiao);
    mostraSelecao();
}

void TfrmListaPrecRel::chbFornecedorClick(QObject *)
{
    chSepPagina = chbFornecedor->isChecked() ? QLatin1Char('T') : QLatin1Char('F');
}

// The buyer and supplier groups, side by side.
QWidget *TfrmListaPrecRel::buildListGroups()
{
    auto *lists = new QWidget(grbDadosRel);
    auto *row = new QHBoxLayout(lists);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(3);
    GroupBox2 =
        new ListChoice({QStringLiteral("GroupBox2"), QStringLiteral("Comprador"), QStringLiteral("rbtTodosComp"),
                        QStringLiteral("rbtListaComp"), QStringLiteral("sbtComprador"), QStringLiteral("lblQtComp")},
                       lists);
    GroupBox2->row()->addStretch(1);
    rdgFornecedor =
        new ListChoice({QStringLiteral("rdgFornecedor"), QStringLiteral("Fornecedor"), QStringLiteral("rbtTodosForn"),
                        QStringLiteral("rbtListaForn"), QStringLiteral("sbtFornecedor"), QStringLiteral("lblQtForn")},
                       lists);
    chbFornecedor = new TCheckBox(QStringLiteral("Separar por Página"), rdgFornecedor);
    chbFornecedor->setObjectName(QStringLiteral("chbFornecedor"));
    chbFornecedor->setFont(FormWidgets::boldOf(chbFornecedor));
    rdgFornecedor->row()->addSpacing(2);
    rdgFornecedor->row()->addWidget(chbFornecedor);
    rdgFornecedor->row()->addStretch(1);
    row->addWidget(GroupBox2, 0);
    row->addWidget(rdgFornecedor, 1);
    return lists;
}

// The groups' rows and the server link, over the queries buildQueries made from the table in
// Consultas.cpp.
void TfrmListaPrecRel::buildListQueries()
{
    dtsComprador = new TDataSource(this, qryComprador);
    dtsComprador->setObjectName(QStringLiteral("__dtsComprador"));
    GroupBox2->setRows(dtsComprador, qryComprador, QStringLiteral("CDOPERADOR"), QStringLiteral("NMOPERADOR"));
    GroupBox2->setMessages(msgPadrao, QStringLiteral("comp_cad"), QStringLiteral("Comprador"));

    dtsRegiao = new TDataSource(this, qryRegiao);
    dtsRegiao->setObjectName(QStringLiteral("dtsRegiao"));

    cdsFornecedor = new TClientDataSet(this);
    cdsFornecedor->setObjectName(QStringLiteral("cdsFornecedor"));
    cdsFornecedor->AddField(QStringLiteral("IDMARCADO"), 1, QStringLiteral(" "), 2);
    // The code is shown, first: buyers know their suppliers by it.
    cdsFornecedor->AddField(QStringLiteral("CDFORNECED"), 21, QStringLiteral("Código"), 8);
    cdsFornecedor->AddField(QStringLiteral("IDTPIJURFORN"), 1, QStringLiteral("Tipo        "));
    cdsFornecedor->AddField(QStringLiteral("NRINSJURFORN"), 20, QStringLiteral("Inscrição"));
    cdsFornecedor->AddField(QStringLiteral("NMFANTFORN"), 40, QStringLiteral("Nome Fantasia"));
    cdsFornecedor->AddField(QStringLiteral("NMRAZSOCFORN"), 40, QStringLiteral("Razão Social"));
    // In the order people read names, whatever order the server sent.
    cdsFornecedor->IndexFieldNames = QStringLiteral("NMFANTFORN;CDFORNECED");
    dtsFornecedor = new TDataSource(this, cdsFornecedor);
    dtsFornecedor->setObjectName(QStringLiteral("__dtsFornecedor"));
    rdgFornecedor->setRows(dtsFornecedor, nullptr, QStringLiteral("CDFORNECED"), QStringLiteral("NMFANTFORN"));
    rdgFornecedor->setMessages(msgPadrao, QStringLiteral("forn_cad"), QStringLiteral("Fornecedor"));
    // The suppliers come from the server at the first activation: after a failed one, an empty
    // list says nothing of the suppliers, so the opening is completed first.
    rdgFornecedor->setBeforePick([this] { requireFirstActivation(); });

    netConsListPreco = new TNetConnection(this);
    netConsListPreco->setObjectName(QStringLiteral("netConsListPreco"));
    PriceListServer::configure(*netConsListPreco);
    netConsListPreco->setThrowException(false);
}
