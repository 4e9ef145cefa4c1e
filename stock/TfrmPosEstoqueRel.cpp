#include "TfrmPosEstoqueRel.h"

#include "app/SaveLocation.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"
#include "data/Qrddlgs.h"
#include "data/TParams.h"
#include "form/BranchField.h"
#include "form/FormWidgets.h"
#include "form/TMessages.h"
#include "form/WeekDate.h"
#include "report/TReportDesignerDialog.h"
#include "validation/Consiste.h"
#include "validation/Zelmora.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

using namespace FormWidgets;

TfrmPosEstoqueRel::TfrmPosEstoqueRel(QWidget *parent) : TfrmDadosGerRel(parent)
{
    setObjectName(QStringLiteral("frmPosEstoqueRel"));
    setWindowTitle(QStringLiteral("Posição de Estoque por Filial"));
    lblCodTela->setText(QStringLiteral("EST01031"));
    lblCodRel->setText(QStringLiteral("EST010"));

    auto *area = new QVBoxLayout(grbDadosRel);
    area->setContentsMargins(1, 1, 1, 1);
    area->setSpacing(3);
    PanFilial = new BranchField(msgPadrao, grbDadosRel);
    medCdFilial = PanFilial->code();
    area->addWidget(PanFilial);
    area->addWidget(buildPositionGroup());
    area->addStretch(1);
    setTabOrder(cbbReportNames, medCdFilial);
    setTabOrder(medCdFilial, posicao->week());
    setTabOrder(posicao->week(), posicao->date());

    rpddPadrao->BeforeGetQueryParams = [this](TParams &params, bool &flag) {
        rpddPadraoBeforeGetQueryParams(params, flag);
    };
    setClientSize(491, 180);
}

QWidget *TfrmPosEstoqueRel::buildPositionGroup()
{
    grbPosicao = group(QStringLiteral("grbPosicao"), QStringLiteral("Posição em"), grbDadosRel);
    auto *row = new QHBoxLayout(grbPosicao);
    row->setContentsMargins(6, 0, 6, 2);
    row->setSpacing(3);
    // A week stands for its last day: the stock as the week closed.
    posicao =
        new WeekDate({QStringLiteral("speSemPosicao"), QStringLiteral("depDtPosicao"), QStringLiteral("edtDiaPosicao")},
                     QLatin1Char('F'), grbPosicao);
    posicao->setTitle(QStringLiteral("Posição em"));
    row->addWidget(boldLabel(QStringLiteral("lblSemPosicao"), QStringLiteral("Semana"), grbPosicao));
    row->addWidget(posicao->week());
    row->addSpacing(4);
    row->addWidget(posicao->date());
    row->addWidget(posicao->weekday());
    row->addStretch(1);
    normalFont(grbPosicao, font());
    return grbPosicao;
}

QString TfrmPosEstoqueRel::branch() const
{
    return medCdFilial->Text();
}

QDate TfrmPosEstoqueRel::position() const
{
    return posicao->date()->GetDate();
}

void TfrmPosEstoqueRel::firstActivation()
{
    PanFilial->fromSession();
    posicao->date()->SetDate(Zelmora::DataProc(medCdFilial->Text()));
    posicao->follow();
    (medCdFilial->isEnabled() ? static_cast<QWidget *>(medCdFilial) : posicao->week())->setFocus();
}

void TfrmPosEstoqueRel::FormClose(QObject *Sender, TCloseAction &Action)
{
    boIdCriado = false;
    TfrmDadosGerRel::FormClose(Sender, Action);
}

void TfrmPosEstoqueRel::Vd_DtPosicao()
{
    posicao->date()->CheckValidDate();
    if (Consiste::EmptyString(posicao->date()->Text())) {
        posicao->date()->setFocus();
        Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DtPos_N_Inf")), true);
    }
}

void TfrmPosEstoqueRel::outputGate()
{
    if (posicao->date()->hasFocus() || posicao->week()->hasFocus()) {
        Vd_DtPosicao();
        PanFilial->Vd_CdFilial(true);
    } else {
        PanFilial->Vd_CdFilial(true);
        Vd_DtPosicao();
    }
}

bool TfrmPosEstoqueRel::outputAllowed(OutputCommand command)
{
    if (command == OutputCommand::Edit)
        PanFilial->Vd_CdFilial(false);
    else
        outputGate();
    return true;
}

void TfrmPosEstoqueRel::rpddPadraoBeforeGetQueryParams(TParams &params, bool &)
{
    if (Qrddlgs::ExistParam(params, QStringLiteral("P_CDFILIAL")))
        params.ParamByName(QStringLiteral("P_CDFILIAL")).setValue(branch());
    if (Qrddlgs::ExistParam(params, QStringLiteral("P_DTPOSICAO")))
        params.ParamByName(QStringLiteral("P_DTPOSICAO")).setAsDate(position());
}

QList<TfrmDadosGerRel::Choice> TfrmPosEstoqueRel::parameterChoices() const
{
    return {{QStringLiteral("medCdFilial"), QStringLiteral("Filial")}};
}

QStringList TfrmPosEstoqueRel::periodControls() const
{
    return {QStringLiteral("depDtPosicao")};
}

QDate TfrmPosEstoqueRel::periodToday() const
{
    return Zelmora::DataProc(medCdFilial->Text());
}

QStringList TfrmPosEstoqueRel::saveFileParts() const
{
    return SaveLocation::branchAndPeriod(branch(), position(), position());
}
