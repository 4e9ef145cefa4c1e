#include "form/PeriodGroup.h"

#include "controls/TDateEditPlus.h"
#include "controls/TSpinEdit.h"
#include "controls/TitleNotice.h"
#include "form/FormWidgets.h"
#include "form/TMessages.h"
#include "form/WeekDate.h"
#include "validation/Consiste.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

using namespace FormWidgets;

PeriodGroup::PeriodGroup(TMessages *messages, const Names &names, QWidget *parent)
    : QGroupBox(names.caption, parent), m_messages(messages)
{
    setObjectName(names.group);
    setFont(boldOf(this));
    const QFont plain = plainFont(parent);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 0, 6, 2);
    row->setSpacing(3);
    QLabel *weekLabel = boldLabel(names.weekLabel, QStringLiteral("Semana"), this);
    QLabel *weekTo = boldLabel(names.weekTo, QStringLiteral("a"), this);
    QLabel *dateTo = boldLabel(names.dateTo, QStringLiteral("a"), this);
    m_first = new WeekDate({names.firstWeek, names.firstDate, names.firstWeekday}, QLatin1Char('I'), this);
    m_last = new WeekDate({names.lastWeek, names.lastDate, names.lastWeekday}, QLatin1Char('F'), this);
    m_first->setTitle(names.caption);
    m_last->setTitle(names.caption);
    m_notice = new TitleNotice(names.noticeText, this);
    m_notice->setObjectName(names.notice);
    m_notice->hide();
    row->addWidget(weekLabel);
    row->addWidget(m_first->week());
    row->addWidget(weekTo);
    row->addWidget(m_last->week());
    row->addSpacing(4);
    row->addWidget(m_first->date());
    row->addWidget(m_first->weekday());
    row->addWidget(dateTo);
    row->addWidget(m_last->date());
    row->addWidget(m_last->weekday());
    row->addStretch(1);
    normalFont(this, plain);

    for (WeekDate *side : {m_first, m_last}) {
        connect(side, &WeekDate::dateMoved, this, [this] {
            if (!m_first->date()->hasFocus() && !m_last->date()->hasFocus())
                showNotice();
        });
        connect(side, &WeekDate::dateLeft, this, &PeriodGroup::showNotice);
    }
}

bool PeriodGroup::holdsFocus() const
{
    return m_first->week()->hasFocus() || m_first->date()->hasFocus() || m_last->week()->hasFocus()
           || m_last->date()->hasFocus();
}

void PeriodGroup::follow()
{
    m_first->follow();
    m_last->follow();
}

void PeriodGroup::showNotice()
{
    const QDate from = m_first->date()->GetDate();
    const QDate to = m_last->date()->GetDate();
    m_notice->setVisible(from.isValid() && to.isValid() && to < from);
}

void PeriodGroup::Vd_Validade()
{
    TDateEditPlus *first = m_first->date();
    TDateEditPlus *last = m_last->date();
    bool inicial = Consiste::EmptyString(first->Text());
    try {
        if (inicial)
            Consiste::MensErro(m_messages->Msg(QStringLiteral("DtIni_N_Inf")), true);
        if (Consiste::EmptyString(last->Text()))
            Consiste::MensErro(m_messages->Msg(QStringLiteral("DtFin_N_Inf")), true);
        if (last->GetDate() < first->GetDate()) {
            inicial = true;
            Consiste::MensErro(m_messages->Msg(QStringLiteral("DtIniFin_Inv")), true);
        }
    } catch (...) {
        (inicial ? first : last)->setFocus();
        throw;
    }
}
