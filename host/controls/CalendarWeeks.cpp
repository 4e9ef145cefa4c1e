#include "controls/CalendarWeeks.h"
#include "validation/Consiste.h"

#include <QCalendarWidget>
#include <QPainter>
#include <QStyle>
#include <QTableView>

CalendarWeeks::CalendarWeeks(QCalendarWidget *calendar, QAbstractItemDelegate *original)
    : QStyledItemDelegate(calendar), m_calendar(calendar), m_original(original)
{ }

void CalendarWeeks::install(QCalendarWidget *calendar)
{
    calendar->setFirstDayOfWeek(Qt::Monday);
    calendar->setVerticalHeaderFormat(QCalendarWidget::ISOWeekNumbers);
    auto *view = calendar->findChild<QTableView *>();
    if (!view || qobject_cast<CalendarWeeks *>(view->itemDelegate()))
        return;
    view->setItemDelegate(new CalendarWeeks(calendar, view->itemDelegate()));
}

int CalendarWeeks::weekOfRow(int row) const
{
    auto *view = m_calendar->findChild<QTableView *>();
    if (!view || row < 1 || row >= view->model()->rowCount())
        return 0;
    // The first day column holds a day of the month; a high day in the first row is of
    // the month before, a low day in the last rows of the month after.
    const int day = view->model()->index(row, 1).data(Qt::DisplayRole).toInt();
    if (day < 1)
        return 0;
    QDate shown(m_calendar->yearShown(), m_calendar->monthShown(), 1);
    if (row == 1 && day > 7)
        shown = shown.addMonths(-1);
    else if (row >= 4 && day < 15)
        shown = shown.addMonths(1);
    const QDate monday(shown.year(), shown.month(), day);
    // The row that holds the turn of the year takes the number of the month shown.
    const QDate sunday = monday.addDays(6);
    const bool sundayShown = sunday.month() == m_calendar->monthShown() && monday.month() != m_calendar->monthShown();
    return Consiste::NumeroSemana(sundayShown ? sunday : monday);
}

void CalendarWeeks::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (m_original && (index.column() != 0 || index.row() < 1)) {
        m_original->paint(painter, option, index);
        return;
    }
    // The week column: the calendar's own header look, the suite's number.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const int week = weekOfRow(index.row());
    opt.text = week > 0 ? QString::number(week) : QString();
    opt.displayAlignment = Qt::AlignCenter;
    opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    const QVariant background = index.data(Qt::BackgroundRole);
    if (background.canConvert<QBrush>())
        painter->fillRect(option.rect, background.value<QBrush>());
    QStyle *style = opt.widget ? opt.widget->style() : m_calendar->style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
}

QSize CalendarWeeks::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return m_original ? m_original->sizeHint(option, index) : QStyledItemDelegate::sizeHint(option, index);
}
