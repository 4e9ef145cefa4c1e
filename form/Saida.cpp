// The gates in front of the output commands: the form is validated, in an order led by the
// control that holds the focus, before the base form's command runs.
#include "TfrmListaPrecRel.h"

#include "validation/Consiste.h"
#include "errors/EAbort.h"
#include "app/Interaction.h"
#include "sets/ParameterSetBar.h"
#include "form/TMessages.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"
#include "controls/pick/ListChoice.h"
#include "form/BranchField.h"
#include "form/PeriodGroup.h"

void TfrmListaPrecRel::exigePrimeiraAtivacao()
{
    if (!boPrimAtiv)
        return;
    // Raises, with one message, when the server is still away.
    primeiraAtivacao();
    // The defaults have just replaced whatever was typed on the half-made form: the
    // person sees them before anything runs.
    GroupBox2->todos()->setChecked(true);
    rdgFornecedor->todos()->setChecked(true);
    // Then what an opening gives next: the sets, and the default one over the defaults.
    startParameterSets();
    QString filled = QStringLiteral("os valores iniciais");
    if (const QString set = panConjunto->currentName(); !set.isEmpty())
        filled += QStringLiteral(" e o conjunto \"%1\"").arg(set);
    Interaction::instance()->showInfo(
        QStringLiteral("O servidor de aplicação respondeu e a tela foi preenchida com %1. "
                       "Confira os parâmetros e repita o comando.")
            .arg(filled));
    throw EAbort();
}

void TfrmListaPrecRel::outputGate()
{
    exigePrimeiraAtivacao();
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
    exigePrimeiraAtivacao();
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

void TfrmListaPrecRel::sbtPreviewClick(QObject *Sender)
{
    outputGate();
    TfrmDadosGerRel::sbtPreviewClick(Sender);
}

void TfrmListaPrecRel::sbtPrintClick(QObject *Sender)
{
    outputGate();
    TfrmDadosGerRel::sbtPrintClick(Sender);
}

void TfrmListaPrecRel::sbtSalvarComoClick(QObject *Sender)
{
    outputGate();
    TfrmDadosGerRel::sbtSalvarComoClick(Sender);
}

void TfrmListaPrecRel::sbtReportEditClick(QObject *Sender)
{
    editingGate();
    TfrmDadosGerRel::sbtReportEditClick(Sender);
}
