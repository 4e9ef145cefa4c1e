// The gates in front of the output commands: the form is validated, in an order led by the
// control that holds the focus, before the base form's command runs (the base asks
// outputAllowed once the first activation is complete).
#include "TfrmListaPrecRel.h"

#include "validation/Consiste.h"
#include "form/TMessages.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"

QString TfrmListaPrecRel::firstActivationNotice(const QString &filled) const
{
    return QStringLiteral("O servidor de aplicação respondeu e a tela foi preenchida com %1. "
                          "Confira os parâmetros e repita o comando.")
        .arg(filled);
}

bool TfrmListaPrecRel::outputAllowed(OutputCommand command)
{
    if (command == OutputCommand::Edit)
        editingGate();
    else
        outputGate();
    return true;
}

void TfrmListaPrecRel::outputGate()
{
    depDataIni->CheckValidDate();
    depDataFin->CheckValidDate();

    if (speSemIni->hasFocus() || depDataIni->hasFocus() || speSemFin->hasFocus() || depDataFin->hasFocus()) {
        Vd_Validade();
        Vd_CdFilial(true);
        Vd_CdProduto(medCdProdIni, true);
        Vd_CdProduto(medCdProdFin, true);
    } else if (medCdProdFin->hasFocus()) {
        Vd_CdProduto(medCdProdFin, true);
        Vd_CdFilial(true);
        Vd_CdProduto(medCdProdIni, true);
        Vd_Validade();
    } else if (medCdProdIni->hasFocus()) {
        Vd_CdProduto(medCdProdIni, true);
        Vd_CdFilial(true);
        Vd_CdProduto(medCdProdFin, true);
        Vd_Validade();
    } else {
        Vd_CdFilial(true);
        Vd_CdProduto(medCdProdIni, true);
        Vd_CdProduto(medCdProdFin, true);
        Vd_Validade();
    }

    if (rbtListaComp->isChecked() && stListaComp.isEmpty()) {
        rbtListaComp->setFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("COMP_DEVE")), true);
    }
    if (rbtListaForn->isChecked() && stListaForn.isEmpty()) {
        rbtListaForn->setFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("FORN_DEVE")), true);
    }
}

void TfrmListaPrecRel::editingGate()
{
    depDataIni->CheckValidDate();
    depDataFin->CheckValidDate();

    if (medCdProdFin->hasFocus()) {
        Vd_CdProduto(medCdProdFin, false);
        Vd_CdFilial(false);
        Vd_CdProduto(medCdProdIni, false);
    } else if (medCdProdIni->hasFocus()) {
        Vd_CdProduto(medCdProdIni, false);
        Vd_CdFilial(false);
        Vd_CdProduto(medCdProdFin, false);
    } else {
        Vd_CdFilial(false);
        Vd_CdProduto(medCdProdIni, false);
        Vd_CdProduto(medCdProdFin, false);
    }
}
