#pragma once

#include "suite_export.h"

#include <QPointer>
#include <QStyledItemDelegate>

class QAbstractItemDelegate;
class QCalendarWidget;

// Numbers the rows of a calendar pop-up with the suite's weeks (Consiste::NumeroSemana,
// Monday first, the days of a neighbouring year folded into the year's first or last
// week) in place of Qt's ISO numbers, and starts its rows on Monday. Wraps the
// calendar's own delegate, which still paints every other cell.
class SUITE_TEST_EXPORT CalendarWeeks : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Installs itself on calendar (once).
    static void install(QCalendarWidget *calendar);

    // The number shown on a row of dates (1 to 6) of the month shown; 0 outside.
    int weekOfRow(int row) const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    CalendarWeeks(QCalendarWidget *calendar, QAbstractItemDelegate *original);

    QCalendarWidget *m_calendar;
    QPointer<QAbstractItemDelegate> m_original;
};
