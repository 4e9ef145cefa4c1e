#pragma once

#include "suite_export.h"

#include <QGroupBox>

class QLabel;
class TMessages;
class WeekDate;

// A period of a report screen: "Semana [first] a [last]  [first date] (day) a [last date]
// (day)", each week box kept in step with its date (WeekDate), and a notice in the title
// line while the last date is before the first (said, not refused, until output).
//
// Vd_Validade, before output, needs both dates and the last not before the first; its
// messages come from the screen's table: DtIni_N_Inf, DtFin_N_Inf, DtIniFin_Inv.
class SUITE_EXPORT PeriodGroup : public QGroupBox
{
    Q_OBJECT
public:
    struct Names
    {
        QString group = QStringLiteral("grbPeriodo");
        QString caption = QStringLiteral("Período");
        QString weekLabel = QStringLiteral("lblSemana");
        QString weekTo = QStringLiteral("lblSemanaA");
        QString dateTo = QStringLiteral("lblDataA");
        QString notice = QStringLiteral("lblAvisoPeriodo");
        QString noticeText = QStringLiteral("a data final está antes da inicial");
        QString firstWeek = QStringLiteral("speSemIni");
        QString lastWeek = QStringLiteral("speSemFin");
        QString firstDate = QStringLiteral("depDataIni");
        QString lastDate = QStringLiteral("depDataFin");
        QString firstWeekday = QStringLiteral("edtDataIni");
        QString lastWeekday = QStringLiteral("edtDataFin");
    };

    PeriodGroup(TMessages *messages, const Names &names, QWidget *parent);

    WeekDate *first() const { return m_first; }
    WeekDate *last() const { return m_last; }
    QLabel *notice() const { return m_notice; }

    // Whether one of its four boxes holds the keyboard focus.
    bool holdsFocus() const;

    // Puts the weeks and weekdays of both dates in, as an opening does.
    void follow();

    void Vd_Validade();

private:
    void showNotice();

    TMessages *m_messages;
    WeekDate *m_first;
    WeekDate *m_last;
    QLabel *m_notice;
};
