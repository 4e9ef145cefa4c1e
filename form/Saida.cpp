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
#include "controls/pick/ListChoice.h"
#include "form/BranchField.h"
#include "form/PeriodGroup.h"

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

    if (GroupBox3->holdsFocus()) {
        GroupBox3->Vd_Validade();
        PanFilial->Vd_CdFilial(true);
        Vd_CdProduto(medCdProdIni, true);
        Vd_CdProduto(medCdProdFin, true);
    } else if (medCdProdFin->hasFocus()) {
        Vd_CdProduto(medCdProdFin, true);
        PanFilial->Vd_CdFilial(true);
        Vd_CdProduto(medCdProdIni, true);
        GroupBox3->Vd_Validade();
    } else if (medCdProdIni->hasFocus()) {
        Vd_CdProduto(medCdProdIni, true);
        PanFilial->Vd_CdFilial(true);
        Vd_CdProduto(medCdProdFin, true);
        GroupBox3->Vd_Validade();
    } else {
        PanFilial->Vd_CdFilial(true);
        Vd_CdProduto(medCdProdIni, true);
        Vd_CdProduto(medCdProdFin, true);
        GroupBox3->Vd_Validade();
    }

    if (GroupBox2->lista()->isChecked() && GroupBox2->list().isEmpty()) {
        GroupBox2->lista()->setFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("COMP_DEVE")), true);
    }
    if (rdgFornecedor->lista()->isChecked() && rdgFornecedor->list().isEmpty()) {
        rdgFornecedor->lista()->setFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("FORN_DEVE")), true);
    }
}

void TfrmListaPrecRel::editingGate()
{
    depDataIni->CheckValidDate();
    depDataFin->CheckValidDate();

    if (medCdProdFin->hasFocus()) {
        Vd_CdProduto(medCdProdFin, false);
        PanFilial->Vd_CdFilial(false);
        Vd_CdProduto(medCdProdIni, false);
    } else if (medCdProdIni->hasFocus()) {
        Vd_CdProduto(medCdProdIni, false);
        PanFilial->Vd_CdFilial(false);
        Vd_CdProduto(medCdProdFin, false);
    } else {
        PanFilial->Vd_CdFilial(false);
        Vd_CdProduto(medCdProdIni, false);
        Vd_CdProduto(medCdProdFin, false);
    }
}
