// Branch selection: validation against the branch table, lookup and exit events.
#include "TfrmListaPrecRel.h"

#include "Consiste.h"
#include "TADOIBQuery.h"
#include "TMessages.h"
#include "Zelmora.h"
#include "controls/TMaskEdit.h"

#include <QLineEdit>

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
