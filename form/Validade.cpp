// Validity period: week boxes and date boxes kept in step through the keyboard focus.
#include "TfrmListaPrecRel.h"

#include "validation/Consiste.h"
#include "errors/EAbort.h"
#include "app/Interaction.h"
#include "validation/Zelmora.h"
#include "controls/EditEntry.h"
#include "controls/TDateEditPlus.h"
#include "controls/TSpinEdit.h"
#include "FormWidgets.h"
#include "form/TMessages.h"
#include "TitleNotice.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

using namespace FormWidgets;

void TfrmListaPrecRel::semanaParaData(TSpinEdit *week, TDateEditPlus *date, QChar which)
{
    if (!week->hasFocus())
        return;
    const QDate base = Consiste::EmptyString(date->Text()) ? QDate::currentDate() : date->GetDate();
    // A half-typed date has no year of its own: the current year serves.
    const int year = base.isValid() ? base.year() : QDate::currentDate().year();
    const QDate dezembro31(year, 12, 31);
    if (week->Value() > 53)
        week->setValue(53);
    if (week->Value() == 53 && Consiste::NumeroSemana(dezembro31) == 52)
        week->setValue(52);
    date->SetDate(Consiste::DataSemana(week->Value(), which, year));
    if (Consiste::EmptyString(week->Text()))
        date->Clear();
}

void TfrmListaPrecRel::dataParaSemana(TDateEditPlus *date, TSpinEdit *week, QLineEdit *weekday)
{
    weekday->setText(Consiste::NomeSemana(date->GetDate()).left(3));
    if (!depDataIni->hasFocus() && !depDataFin->hasFocus())
        mostraAvisoValidade();
    if (date->hasFocus()) {
        week->setText(QString());
        return;
    }
    if (Consiste::EmptyString(date->Text())) {
        week->setText(QString());
        return;
    }
    if (!week->hasFocus())
        week->setValue(Consiste::NumeroSemana(date->GetDate()));
}

void TfrmListaPrecRel::saidaData(TDateEditPlus *date, TSpinEdit *week)
{
    date->CheckValidDate();
    if (!Consiste::EmptyString(date->Text())) {
        confirmaAnoDistante(date);
        week->setValue(Consiste::NumeroSemana(date->GetDate()));
    }
    mostraAvisoValidade();
}

void TfrmListaPrecRel::confirmaAnoDistante(TDateEditPlus *date)
{
    // More than this many years from the processing year is most likely a slip of the
    // keyboard (a year typed over another), rarely a price list's validity.
    constexpr int kAnosPlausiveis = 20;
    const QDate data = date->GetDate();
    const char *const confirmada = "dataConfirmada";
    const QDate processamento = Zelmora::DataProc(Zelmora::FiliProc());
    if (qAbs(data.year() - processamento.year()) <= kAnosPlausiveis || date->property(confirmada).toDate() == data)
        return;
    const QString pergunta = QStringLiteral("A data %1 está a mais de %2 anos do ano de processamento (%3).\n"
                                            "Manter esta data?")
                                 .arg(data.toString(QStringLiteral("dd/MM/yyyy")))
                                 .arg(kAnosPlausiveis)
                                 .arg(processamento.year());
    if (Interaction::instance()->confirm(this, QStringLiteral("Validade"), pergunta)) {
        date->setProperty(confirmada, data);
        return;
    }
    date->setFocus();
    EditEntry::selectFocused();
    throw EAbort();
}

void TfrmListaPrecRel::mostraAvisoValidade()
{
    if (!lblAvisoValidade)
        return;
    const QDate inicial = depDataIni->GetDate();
    const QDate final = depDataFin->GetDate();
    lblAvisoValidade->setVisible(inicial.isValid() && final.isValid() && final < inicial);
}

void TfrmListaPrecRel::speSemIniChange(QObject *)
{
    semanaParaData(speSemIni, depDataIni, QLatin1Char('I'));
}

void TfrmListaPrecRel::speSemFinChange(QObject *)
{
    semanaParaData(speSemFin, depDataFin, QLatin1Char('F'));
}

void TfrmListaPrecRel::depDataIniDateChange(QObject *)
{
    dataParaSemana(depDataIni, speSemIni, edtDataIni);
}

void TfrmListaPrecRel::depDataFinDateChange(QObject *)
{
    dataParaSemana(depDataFin, speSemFin, edtDataFin);
}

void TfrmListaPrecRel::depDataIniExit(QObject *)
{
    saidaData(depDataIni, speSemIni);
}

void TfrmListaPrecRel::depDataFinExit(QObject *)
{
    saidaData(depDataFin, speSemFin);
}

void TfrmListaPrecRel::Vd_Validade()
{
    bool inicial = Consiste::EmptyString(depDataIni->Text());
    const bool finalVazia = Consiste::EmptyString(depDataFin->Text());
    try {
        if (inicial)
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DtIni_N_Inf")), true);
        if (finalVazia)
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DtFin_N_Inf")), true);
        if (!Consiste::EmptyString(depDataIni->Text()) && !Consiste::EmptyString(depDataFin->Text())
            && depDataFin->GetDate() < depDataIni->GetDate()) {
            inicial = true;
            Consiste::MensErro(msgPadrao->Msg(QStringLiteral("DtIniFin_Inv")), true);
        }
    } catch (...) {
        if (inicial)
            depDataIni->setFocus();
        else
            depDataFin->setFocus();
        throw;
    }
}

// The group's controls, built once by buildControls.
QWidget *TfrmListaPrecRel::buildValidityGroup(const QFont &plain)
{
    // Validity group: "Semana" [ini] "a" [fin], [date ini] (day) "a" [date fin] (day).
    GroupBox3 = group(QStringLiteral("GroupBox3"), QStringLiteral("Validade"), grbDadosRel);
    auto *val = new QHBoxLayout(GroupBox3);
    val->setContentsMargins(6, 0, 6, 2);
    val->setSpacing(3);
    lblValFin = boldLabel(QStringLiteral("lblValFin"), QStringLiteral("Semana"), GroupBox3);
    speSemIni = inputBox(new TSpinEdit(GroupBox3), QStringLiteral("speSemIni"));
    Label1 = boldLabel(QStringLiteral("Label1"), QStringLiteral("a"), GroupBox3);
    speSemFin = inputBox(new TSpinEdit(GroupBox3), QStringLiteral("speSemFin"));
    for (TSpinEdit *s : {speSemIni, speSemFin}) {
        s->MinValue = 1;
        s->MaxValue = 53;
        s->setValue(1);
        s->setFixedWidth(40);
    }
    const QStringList dayNames = {QStringLiteral("Domingo"), QStringLiteral("Segunda"), QStringLiteral("Terça"),
                                  QStringLiteral("Quarta"),  QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                                  QStringLiteral("Sábado")};
    depDataIni = inputBox(new TDateEditPlus(GroupBox3), QStringLiteral("depDataIni"));
    edtDataIni = displayBox(QStringLiteral("edtDataIni"), GroupBox3);
    Label2 = boldLabel(QStringLiteral("Label2"), QStringLiteral("a"), GroupBox3);
    depDataFin = inputBox(new TDateEditPlus(GroupBox3), QStringLiteral("depDataFin"));
    edtDataFin = displayBox(QStringLiteral("edtDataFin"), GroupBox3);
    for (TDateEditPlus *d : {depDataIni, depDataFin}) {
        d->NomeSemana = dayNames;
        d->SaveTime = false;
        d->ValidDateColor = Qt::blue;
        d->setFixedWidth(104);
    }
    for (QLineEdit *e : {edtDataIni, edtDataFin})
        e->setFixedWidth(34);
    lblAvisoValidade = new TitleNotice(QStringLiteral("a validade final está antes da inicial"), GroupBox3);
    lblAvisoValidade->setObjectName(QStringLiteral("lblAvisoValidade"));
    lblAvisoValidade->hide();
    // Esc puts back both halves of a side: a week with the date that went with it (which
    // need not be the week's first or last day), a date with its week.
    speSemIni->setEntryCompanions({depDataIni});
    speSemFin->setEntryCompanions({depDataFin});
    depDataIni->setEntryCompanions({speSemIni});
    depDataFin->setEntryCompanions({speSemFin});
    val->addWidget(lblValFin);
    val->addWidget(speSemIni);
    val->addWidget(Label1);
    val->addWidget(speSemFin);
    val->addSpacing(4);
    val->addWidget(depDataIni);
    val->addWidget(edtDataIni);
    val->addWidget(Label2);
    val->addWidget(depDataFin);
    val->addWidget(edtDataFin);
    val->addStretch(1);
    normalFont(GroupBox3, plain);

    return GroupBox3;
}
