// Product range: validation of the two tree codes, lookups and change events.
#include "TfrmListaPrecRel.h"

#include "data/TDataSet.h"
#include "validation/Consiste.h"
#include "controls/lookup/TBtnPesquisa.h"
#include "controls/TControls.h"
#include "controls/TMaskEdit.h"
#include "text/Cp1252.h"
#include "form/FormWidgets.h"
#include "validation/Tabvalid.h"
#include "data/TADOIBQuery.h"
#include "form/TMessages.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

using namespace FormWidgets;

QString TfrmListaPrecRel::Vd_CdProduto(TMaskEdit *medProduto, bool boObrigatorio)
{
    QString result;
    try {
        const bool vazio = Consiste::EmptyString(medProduto->Text());
        QString codigo = medProduto->Text();
        if (boObrigatorio && vazio)
            Consiste::MensErro(msgPadrao->Msg(medProduto == medCdProdIni ? QStringLiteral("PRODINI_DEVE")
                                                                         : QStringLiteral("PRODFIN_DEVE")),
                               true);
        if (vazio)
            return result;

        Tabvalid::ValidEx(dtsProduto, TPictType::ptProduto, codigo, 0, QString(), true);

        qryVdProduto->Close();
        qryVdProduto->ParamByName(QStringLiteral("P_CDPRODUTO")).setValue(codigo);
        qryVdProduto->Open();
        result = qryVdProduto->FieldByName(QStringLiteral("NMPRODUTO")).AsString();

        if (medProduto == medCdProdIni && boObrigatorio && !Consiste::EmptyString(medCdProdFin->Text())
            && Cp1252::compareBytes(medCdProdIni->Text(), medCdProdFin->Text()) > 0)
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("Prod_Me")), true);
    } catch (...) {
        medProduto->setFocus();
        throw;
    }
    return result;
}

void TfrmListaPrecRel::medCdProdIniExit(QObject *)
{
    edtNmProdIni->setText(Vd_CdProduto(medCdProdIni, false));
}

void TfrmListaPrecRel::medCdProdFinExit(QObject *)
{
    edtNmProdFin->setText(Vd_CdProduto(medCdProdFin, false));
}

void TfrmListaPrecRel::medCdProdIniChange(QObject *)
{
    edtNmProdIni->clear();
}

void TfrmListaPrecRel::medCdProdFinChange(QObject *)
{
    edtNmProdFin->clear();
}

void TfrmListaPrecRel::sbtProdIniAfterPesq(QObject *)
{
    medCdProdIni->setText(qryProduto->FieldByName(QStringLiteral("CDARVPROD")).AsString());
    edtNmProdIni->setText(qryProduto->FieldByName(QStringLiteral("NMPRODUTO")).AsString());
}

void TfrmListaPrecRel::sbtProdFinAfterPesq(QObject *)
{
    medCdProdFin->setText(qryProduto->FieldByName(QStringLiteral("CDARVPROD")).AsString());
    edtNmProdFin->setText(qryProduto->FieldByName(QStringLiteral("NMPRODUTO")).AsString());
}

// The group's controls, built once by buildControls.
QWidget *TfrmListaPrecRel::buildProductGroup(const QFont &plain)
{
    GroupBox1 = group(QStringLiteral("GroupBox1"), QStringLiteral("Produto"), grbDadosRel);
    auto *prod = new QGridLayout(GroupBox1);
    prod->setContentsMargins(6, 2, 6, 2);
    prod->setHorizontalSpacing(4);
    prod->setVerticalSpacing(2);
    lblProdutoInc = boldLabel(QStringLiteral("lblProdutoInc"), QStringLiteral("Inicial"), GroupBox1);
    medCdProdIni = inputBox(new TMaskEdit(GroupBox1), QStringLiteral("medCdProdIni"));
    sbtProdIni = new TBtnPesquisa(GroupBox1);
    sbtProdIni->setObjectName(QStringLiteral("sbtProdIni"));
    edtNmProdIni = displayBox(QStringLiteral("edtNmProdIni"), GroupBox1);
    lblProdutoFin = boldLabel(QStringLiteral("lblProdutoFin"), QStringLiteral("Final"), GroupBox1);
    medCdProdFin = inputBox(new TMaskEdit(GroupBox1), QStringLiteral("medCdProdFin"));
    sbtProdFin = new TBtnPesquisa(GroupBox1);
    sbtProdFin->setObjectName(QStringLiteral("sbtProdFin"));
    edtNmProdFin = displayBox(QStringLiteral("edtNmProdFin"), GroupBox1);
    for (TMaskEdit *e : {medCdProdIni, medCdProdFin})
        e->setFixedWidth(110);
    medCdProdIni->setEntryCompanions({edtNmProdIni});
    medCdProdFin->setEntryCompanions({edtNmProdFin});
    for (TBtnPesquisa *b : {sbtProdIni, sbtProdFin})
        b->setToolTip(QStringLiteral("Pesquisar"));
    Bevel2 = new QFrame(GroupBox1);
    Bevel2->setObjectName(QStringLiteral("Bevel2"));
    Bevel2->setFrameShape(QFrame::HLine);
    Bevel2->setFrameShadow(QFrame::Sunken);
    rbtTodos = new TRadioButton(QStringLiteral("Todos"), GroupBox1);
    rbtTodos->setObjectName(QStringLiteral("rbtTodos"));
    rbtTodos->setChecked(true);
    rbtCompFili = new TRadioButton(QStringLiteral("Somente Comprados na Filial"), GroupBox1);
    rbtCompFili->setObjectName(QStringLiteral("rbtCompFili"));
    prod->addWidget(lblProdutoInc, 0, 0);
    prod->addWidget(medCdProdIni, 0, 1);
    prod->addWidget(sbtProdIni, 0, 2);
    prod->addWidget(edtNmProdIni, 0, 3);
    prod->addWidget(lblProdutoFin, 1, 0);
    prod->addWidget(medCdProdFin, 1, 1);
    prod->addWidget(sbtProdFin, 1, 2);
    prod->addWidget(edtNmProdFin, 1, 3);
    prod->addWidget(Bevel2, 2, 0, 1, 4);
    auto *radios = new QHBoxLayout;
    radios->addWidget(rbtTodos);
    radios->addSpacing(16);
    radios->addWidget(rbtCompFili);
    radios->addStretch(1);
    prod->addLayout(radios, 3, 0, 1, 4);
    prod->setColumnStretch(3, 1);
    normalFont(GroupBox1, plain);

    return GroupBox1;
}

// The group's data sources and lookup, over the queries buildQueries made from the table in
// Consultas.cpp.
void TfrmListaPrecRel::buildProductQueries()
{
    TField &productName = qryProduto->FieldByName(QStringLiteral("NMPRODUTO"));
    productName.SearchField = QStringLiteral("NMBUSCA");
    productName.SearchTable = QStringLiteral("PRODUTO_BUSCA");
    productName.SearchWords = QStringLiteral("PRODUTO_PALAVRA");
    productName.SearchVocabulary = QStringLiteral("PRODUTO_VOCABULO");
    dtsProduto = new TDataSource(this, qryProduto);
    dtsProduto->setObjectName(QStringLiteral("__dtsProduto"));

    // The lookup buttons.
    for (TBtnPesquisa *b : {sbtProdIni, sbtProdFin}) {
        b->Title = QStringLiteral("Produto");
        b->DataSource = dtsProduto;
        b->EmptyError = QStringLiteral("Não há produto cadastrado.");
        b->PesqChave = true;
        b->KeyField = QStringLiteral("CDARVPROD");
    }
    sbtProdIni->Associate = medCdProdIni;
    sbtProdFin->Associate = medCdProdFin;
}
