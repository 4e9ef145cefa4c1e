// Branch selection: validation against the branch table, lookup and exit events.
#include "TfrmListaPrecRel.h"

#include "TDataSet.h"
#include "Consiste.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TControls.h"
#include "controls/TMaskEdit.h"
#include "FormWidgets.h"
#include "TADOIBQuery.h"
#include "TMessages.h"
#include "Zelmora.h"

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

// The group's queries and lookup, built once by buildQueries.
void TfrmListaPrecRel::buildBranchQueries()
{
    qryFilial = query(QStringLiteral("qryFilial"), this);
    qryFilial->SQL =
        QStringList{QStringLiteral("SELECT CDFILIAL, NMFILIAL, NMREGIAO, IDCNTRRESC, CDFILCENTCMP, FILIAL.CDREGIAO"),
                    QStringLiteral("FROM FILIAL, REGIAO"),
                    QStringLiteral("WHERE (CDFILIAL = :P_CDFILIAL OR :P_TCDFILIAL = 'T') AND"),
                    QStringLiteral("FILIAL.CDREGIAO = REGIAO.CDREGIAO"), QStringLiteral("ORDER BY FILIAL.CDREGIAO")};
    qryFilial->DeclareParam(QStringLiteral("P_CDFILIAL"), TFieldType::ftString);
    qryFilial->DeclareParam(QStringLiteral("P_TCDFILIAL"), TFieldType::ftString);
    qryFilial->AddField(QStringLiteral("CDFILIAL"), 4, QStringLiteral("Código"), 8);
    qryFilial->AddField(QStringLiteral("NMFILIAL"), 30, QStringLiteral("Nome"));
    qryFilial->AddField(QStringLiteral("NMREGIAO"), 30, QStringLiteral("Região"));
    qryFilial->AddField(QStringLiteral("IDCNTRRESC"), 1, QString(), 0, false);
    qryFilial->AddField(QStringLiteral("CDFILCENTCMP"), 4, QString(), 0, false);
    qryFilial->AddField(QStringLiteral("CDREGIAO"), 3, QStringLiteral("Código"), 0, false);
    dtsFilial = new TDataSource(this, qryFilial);
    dtsFilial->setObjectName(QStringLiteral("__dtsFilial"));

    qryCentComp = query(QStringLiteral("qryCentComp"), this);
    qryCentComp->SQL = QStringList{
        QStringLiteral("SELECT"),
        QStringLiteral("  CAST(NVLSTR(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS VARCHAR(4)) AS CDFILCENTCMP,"),
        QStringLiteral("  FILCENT.NMFILIAL AS NMFILIAL"),
        QStringLiteral("FROM "),
        QStringLiteral("  FILIAL FILCENT,"),
        QStringLiteral("  FILIAL "),
        QStringLiteral("WHERE"),
        QStringLiteral("  FILIAL.CDFILIAL = :P_CDFILIAL AND"),
        QStringLiteral("  NVLSTR(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL")};
    qryCentComp->SQL_IB = qryCentComp->SQL;
    qryCentComp->SQL_IB << QString();
    qryCentComp->SQL_ORACLE =
        QStringList{QStringLiteral("SELECT"),
                    QStringLiteral("  NVL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS CDFILCENTCMP,"),
                    QStringLiteral("  FILCENT.NMFILIAL AS NMFILIAL"),
                    QStringLiteral("FROM"),
                    QStringLiteral("  FILIAL FILCENT,"),
                    QStringLiteral("  FILIAL"),
                    QStringLiteral("WHERE"),
                    QStringLiteral("  FILIAL.CDFILIAL = :P_CDFILIAL AND"),
                    QStringLiteral("  NVL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL")};
    qryCentComp->SQL_MSSQL =
        QStringList{QStringLiteral("SELECT"),
                    QStringLiteral("  ISNULL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS CDFILCENTCMP,"),
                    QStringLiteral("  FILCENT.NMFILIAL AS NMFILIAL"),
                    QStringLiteral("FROM"),
                    QStringLiteral("  FILIAL FILCENT,"),
                    QStringLiteral("  FILIAL"),
                    QStringLiteral("WHERE"),
                    QStringLiteral("  FILIAL.CDFILIAL = :P_CDFILIAL AND"),
                    QStringLiteral("  ISNULL(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL"),
                    QString(),
                    QStringLiteral(" ")};
    // The databases we run: COALESCE in place of the InterBase function.
    qryCentComp->SQL_SQLITE = QStringList{
        QStringLiteral("SELECT"),
        QStringLiteral("  CAST(COALESCE(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) AS VARCHAR(4)) AS CDFILCENTCMP,"),
        QStringLiteral("  FILCENT.NMFILIAL AS NMFILIAL"),
        QStringLiteral("FROM"),
        QStringLiteral("  FILIAL FILCENT,"),
        QStringLiteral("  FILIAL"),
        QStringLiteral("WHERE"),
        QStringLiteral("  FILIAL.CDFILIAL = :P_CDFILIAL AND"),
        QStringLiteral("  COALESCE(FILIAL.CDFILCENTCMP, FILIAL.CDFILIAL) = FILCENT.CDFILIAL")};
    qryCentComp->SQL_PG = qryCentComp->SQL_SQLITE;
    qryCentComp->DeclareParam(QStringLiteral("P_CDFILIAL"), TFieldType::ftString);
    qryCentComp->AddField(QStringLiteral("CDFILCENTCMP"), 4, QStringLiteral("Código"), 8);

    // The lookup button.
    sbtFilial->Associate = medCdFilial;
    sbtFilial->Title = QStringLiteral("Filial");
    sbtFilial->DataSource = dtsFilial;
    sbtFilial->EmptyError = QStringLiteral("Não há filial cadastrada.");
    sbtFilial->KeyField = QStringLiteral("CDFILIAL");
}
