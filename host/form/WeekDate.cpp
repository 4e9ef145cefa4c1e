#include "form/WeekDate.h"

#include "app/Interaction.h"
#include "controls/EditEntry.h"
#include "controls/FocusTracker.h"
#include "controls/TDateEditPlus.h"
#include "controls/TSpinEdit.h"
#include "errors/EAbort.h"
#include "errors/ExceptionGuard.h"
#include "form/FormWidgets.h"
#include "validation/Consiste.h"
#include "validation/Zelmora.h"

#include <QLineEdit>
#include <QLocale>

using namespace FormWidgets;

WeekDate::WeekDate(const Names &names, QChar side, QWidget *parent)
    : QObject(parent), m_side(side), m_title(QStringLiteral("Data"))
{
    m_week = inputBox(new TSpinEdit(parent), names.week);
    m_week->MinValue = 1;
    m_week->MaxValue = 53;
    m_week->setValue(1);
    m_week->setFixedWidth(40);
    m_date = inputBox(new TDateEditPlus(parent), names.date);
    m_date->NomeSemana = {QStringLiteral("Domingo"), QStringLiteral("Segunda"), QStringLiteral("Terça"),
                          QStringLiteral("Quarta"),  QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                          QStringLiteral("Sábado")};
    m_date->SaveTime = false;
    m_date->ValidDateColor = Qt::blue;
    m_date->setFixedWidth(104);
    m_weekday = displayBox(names.weekday, parent);
    m_weekday->setFixedWidth(34);
    // Esc puts back both halves: a week with the date that went with it (which need not be
    // the week's first or last day), a date with its week.
    m_week->setEntryCompanions({m_date});
    m_date->setEntryCompanions({m_week});

    connect(m_week, &TSpinEdit::Change, this, [this] { guarded([this] { weekChanged(); }); });
    connect(m_date, &TDateEditPlus::DateChange, this, [this] { guarded([this] { dateChanged(); }); });
    OnExit(m_date, [this] { leftDate(); });
}

void WeekDate::weekChanged()
{
    if (!m_week->hasFocus())
        return;
    const QDate base = Consiste::EmptyString(m_date->Text()) ? QDate::currentDate() : m_date->GetDate();
    // A half-typed date has no year of its own: the current year serves.
    const int year = base.isValid() ? base.year() : QDate::currentDate().year();
    const QDate dezembro31(year, 12, 31);
    if (m_week->Value() > 53)
        m_week->setValue(53);
    if (m_week->Value() == 53 && Consiste::NumeroSemana(dezembro31) == 52)
        m_week->setValue(52);
    m_date->SetDate(Consiste::DataSemana(m_week->Value(), m_side, year));
    if (Consiste::EmptyString(m_week->Text()))
        m_date->Clear();
}

void WeekDate::dateChanged()
{
    m_weekday->setText(Consiste::NomeSemana(m_date->GetDate()).left(3));
    if (m_date->hasFocus() || Consiste::EmptyString(m_date->Text()))
        m_week->setText(QString());
    else if (!m_week->hasFocus())
        m_week->setValue(Consiste::NumeroSemana(m_date->GetDate()));
    emit dateMoved();
}

void WeekDate::leftDate()
{
    m_date->CheckValidDate();
    if (!Consiste::EmptyString(m_date->Text())) {
        confirmDistantYear();
        m_week->setValue(Consiste::NumeroSemana(m_date->GetDate()));
    }
    emit dateLeft();
}

void WeekDate::confirmDistantYear()
{
    // More than this many years from the processing year is most likely a slip of the
    // keyboard (a year typed over another), rarely a date a report is asked for.
    constexpr int kAnosPlausiveis = 20;
    const QDate data = m_date->GetDate();
    const char *const confirmada = "dataConfirmada";
    const QDate processamento = Zelmora::DataProc(Zelmora::FiliProc());
    if (qAbs(data.year() - processamento.year()) <= kAnosPlausiveis || m_date->property(confirmada).toDate() == data)
        return;
    const QString pergunta = QStringLiteral("A data %1 está a mais de %2 anos do ano de processamento (%3).\n"
                                            "Manter esta data?")
                                 .arg(data.toString(QStringLiteral("dd/MM/yyyy")))
                                 .arg(kAnosPlausiveis)
                                 .arg(processamento.year());
    if (Interaction::instance()->confirm(screenOf(m_date), m_title, pergunta)) {
        m_date->setProperty(confirmada, data);
        return;
    }
    m_date->setFocus();
    EditEntry::selectFocused();
    throw EAbort();
}

void WeekDate::follow()
{
    m_week->setValue(Consiste::NumeroSemana(m_date->GetDate()));
    m_weekday->setText(QLocale().toString(m_date->GetDate(), QStringLiteral("dddd")).left(3));
    dateChanged();
}
