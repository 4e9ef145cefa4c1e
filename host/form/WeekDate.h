#pragma once

#include "suite_export.h"

#include <QObject>
#include <QString>

class QLineEdit;
class QWidget;
class TDateEditPlus;
class TSpinEdit;

// A week box and a date box kept in step, with the weekday beside the date. Typing a week
// puts its first day (side 'I') or its last day (side 'F') into the date; a date, once the
// person leaves it, puts its week into the week box. Which of the two the person is typing
// is told by the keyboard focus alone, so neither overwrites the other while it is typed.
// Leaving a date far from the processing year asks whether to keep it.
//
// The boxes are made here, with the screen's names; the screen places them in its layout.
class SUITE_EXPORT WeekDate : public QObject
{
    Q_OBJECT
public:
    struct Names
    {
        QString week;    // "speSemIni"
        QString date;    // "depDataIni"
        QString weekday; // "edtDataIni"
    };

    WeekDate(const Names &names, QChar side, QWidget *parent);

    TSpinEdit *week() const { return m_week; }
    TDateEditPlus *date() const { return m_date; }
    QLineEdit *weekday() const { return m_weekday; }

    // The title of the question about a distant year ("Validade", "Posição em").
    void setTitle(const QString &title) { m_title = title; }

    // Puts the week and weekday of the date box in, as an opening does (no box holds the
    // focus then).
    void follow();

signals:
    // The date box changed, and the week and weekday followed it.
    void dateMoved();
    // The person left the date box and it was taken.
    void dateLeft();

private:
    void weekChanged();
    void dateChanged();
    void leftDate();
    // A date far from the processing year is kept only when the person confirms it.
    void confirmDistantYear();

    QChar m_side;
    QString m_title;
    TSpinEdit *m_week;
    TDateEditPlus *m_date;
    QLineEdit *m_weekday;
};
