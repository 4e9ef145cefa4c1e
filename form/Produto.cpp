// Product range: validation of the two tree codes, lookups and change events.
#include "TfrmListaPrecRel.h"

#include "Consiste.h"
#include "Cp1252.h"
#include "TADOIBQuery.h"
#include "TMessages.h"
#include "Tabvalid.h"
#include "controls/TMaskEdit.h"

#include <QLineEdit>

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

        Tabvalid::ValidEx(__dtsProduto, TPictType::ptProduto, codigo, 0, QString(), true);

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
