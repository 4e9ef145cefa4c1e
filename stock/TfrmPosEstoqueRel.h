#pragma once

#include "form/TfrmDadosGerRel.h"

#include <QDate>
#include <QString>

class BranchField;
class QGroupBox;
class TMaskEdit;
class TParams;
class WeekDate;

// "Posição de estoque por filial" (screen EST01031, report EST010): the stock of each
// product of a branch at one date, the sum of its movements up to that day. Built only from
// the shared pieces: the branch field, a week and date kept in step, the base form's report
// commands and parameter sets.
class TfrmPosEstoqueRel : public TfrmDadosGerRel
{
    Q_OBJECT
public:
    explicit TfrmPosEstoqueRel(QWidget *parent = nullptr);

    // The module's one instance, and whether it exists (cleared when it closes).
    static inline TfrmPosEstoqueRel *frmPosEstoqueRel = nullptr;
    static inline bool boIdCriado = false;

    QString branch() const;
    QDate position() const;

    void FormClose(QObject *Sender, TCloseAction &Action) override;

    QList<Choice> parameterChoices() const override;
    QStringList periodControls() const override;
    QDate periodToday() const override;
    QStringList saveFileParts() const override;

protected:
    // Branch and date before every output; the edit command needs only a branch that exists.
    bool outputAllowed(OutputCommand command) override;
    // The session's branch and its processing date.
    void firstActivation() override;

private:
    QWidget *buildPositionGroup();
    // Branch and date, both required; the control that holds the focus is checked first.
    void outputGate();
    void Vd_DtPosicao();
    void rpddPadraoBeforeGetQueryParams(TParams &params, bool &flag);

    BranchField *PanFilial;
    TMaskEdit *medCdFilial;
    QGroupBox *grbPosicao;
    WeekDate *posicao;
};
