// Branch selection: validation against the branch table, lookup and exit events.
#include "TfrmListaPrecRel.h"

#include "data/TDataSet.h"
#include "validation/Consiste.h"
#include "controls/lookup/TBtnPesquisa.h"
#include "controls/TControls.h"
#include "controls/TMaskEdit.h"
#include "FormWidgets.h"
#include "data/TADOIBQuery.h"
#include "form/TMessages.h"
#include "validation/Zelmora.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using namespace FormWidgets;

void TfrmListaPrecRel::Vd_CdFilial(bool boObrigatorio)
{
    medCdFilial->setText(Consiste::Ajusta(medCdFilial->Text(), 4));
    edtNmFilial->clear();
    const bool vazio = Consiste::EmptyString(medCdFilial->Text());
    try {
        if (boObrigatorio && vazio)
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("FILI_DEVE")), true);
        if (vazio)
            return;

        qryFilial->Close();
        qryFilial->ParamByName(QStringLiteral("P_CDFILIAL")).setValue(medCdFilial->Text());
        qryFilial->ParamByName(QStringLiteral("P_TCDFILIAL")).setValue(QString(QLatin1String("")));
        qryFilial->Open();

        edtNmFilial->setText(qryFilial->FieldByName(QStringLiteral("NMFILIAL")).AsString());
        edtNmRegiao->setText(qryFilial->FieldByName(QStringLiteral("NMREGIAO")).AsString());
        edtCdRegiao->setText(qryFilial->FieldByName(QStringLiteral("CDREGIAO")).AsString());

        if (qryFilial->IsEmpty())
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("FILI_NAO_CAD")), true);
        if (qryFilial->FieldByName(QStringLiteral("IDCNTRRESC")).AsString() == QLatin1String("S"))
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("FILI_RESC")), true);

        const QString central = qryFilial->FieldByName(QStringLiteral("CDFILCENTCMP")).AsString();
        const QString controladora = Consiste::EmptyString(central) ? medCdFilial->Text() : central;
        if (controladora != Zelmora::FiliProc() && Geral::ModuloAtiv() == 34)
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("FiliNCentCmp")), true);
    } catch (...) {
        if (medCdFilial->isEnabled())
            medCdFilial->setFocus();
        throw;
    }
}

void TfrmListaPrecRel::medCdFilialChange(QObject *)
{
    edtNmFilial->clear();
    edtNmRegiao->clear();
}

void TfrmListaPrecRel::medCdFilialExit(QObject *)
{
    Vd_CdFilial(false);
}

void TfrmListaPrecRel::PanFilialExit(QObject *)
{
    Vd_CdProduto(medCdProdIni, false);
    Vd_CdProduto(medCdProdFin, false);
    Vd_CdFilial(false);
}

void TfrmListaPrecRel::sbtFilialBeforePesq(QObject *, bool &)
{
    qryFilial->Close();
    qryFilial->ParamByName(QStringLiteral("P_CDFILIAL")).setValue(QStringLiteral(" "));
    qryFilial->ParamByName(QStringLiteral("P_TCDFILIAL")).setValue(QStringLiteral("T"));
    qryFilial->Open();
}

void TfrmListaPrecRel::sbtFilialAfterPesq(QObject *)
{
    medCdFilial->setText(qryFilial->FieldByName(QStringLiteral("CDFILIAL")).AsString());
    edtNmFilial->setText(qryFilial->FieldByName(QStringLiteral("NMFILIAL")).AsString());
    edtNmRegiao->setText(qryFilial->FieldByName(QStringLiteral("NMREGIAO")).AsString());
    edtCdRegiao->setText(qryFilial->FieldByName(QStringLiteral("CDREGIAO")).AsString());
}

// The group's controls, built once by buildControls.
QWidget *TfrmListaPrecRel::buildBranchPanel()
{
    PanFilial = new TPanel(grbDadosRel);
    PanFilial->setObjectName(QStringLiteral("PanFilial"));
    auto *pan = new QGridLayout(PanFilial);
    pan->setContentsMargins(4, 1, 4, 1);
    pan->setHorizontalSpacing(4);
    pan->setVerticalSpacing(2);
    lblFilial = boldLabel(QStringLiteral("lblFilial"), QStringLiteral("Filial"), PanFilial);
    medCdFilial = inputBox(new TMaskEdit(PanFilial), QStringLiteral("medCdFilial"));
    medCdFilial->setEditMask(QStringLiteral(">aaaa;0; "));
    medCdFilial->setMaxLength(4);
    medCdFilial->setFixedWidth(48);
    sbtFilial = new TBtnPesquisa(PanFilial);
    sbtFilial->setObjectName(QStringLiteral("sbtFilial"));
    sbtFilial->setToolTip(QStringLiteral("Pesquisar"));
    edtNmFilial = displayBox(QStringLiteral("edtNmFilial"), PanFilial);
    edtNmRegiao = displayBox(QStringLiteral("edtNmRegiao"), PanFilial);
    edtNmRegiao->setFixedWidth(130);
    Bevel1 = new QFrame(PanFilial);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    pan->addWidget(lblFilial, 0, 0);
    pan->addWidget(medCdFilial, 0, 1);
    pan->addWidget(sbtFilial, 0, 2);
    pan->addWidget(edtNmFilial, 0, 3);
    pan->addWidget(edtNmRegiao, 0, 4);
    pan->addWidget(Bevel1, 1, 0, 1, 5);
    pan->setColumnStretch(3, 1);

    return PanFilial;
}

// The group's data sources and lookup, over the queries buildQueries made from the table in
// Consultas.cpp.
void TfrmListaPrecRel::buildBranchQueries()
{
    dtsFilial = new TDataSource(this, qryFilial);
    dtsFilial->setObjectName(QStringLiteral("__dtsFilial"));

    // The lookup button.
    sbtFilial->Associate = medCdFilial;
    sbtFilial->Title = QStringLiteral("Filial");
    sbtFilial->DataSource = dtsFilial;
    sbtFilial->EmptyError = QStringLiteral("Não há filial cadastrada.");
    sbtFilial->KeyField = QStringLiteral("CDFILIAL");
    // Esc in the code puts back the branch it named on entry: its name, region and the
    // region's code too.
    medCdFilial->setEntryCompanions({edtNmFilial, edtNmRegiao, edtCdRegiao});
}
