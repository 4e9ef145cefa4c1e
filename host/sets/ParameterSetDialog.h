#pragma once

#include "suite_export.h"
#include "sets/ParameterSet.h"

#include <QDialog>
#include <QList>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

// Asks how to save a form's choices as a parameter set: its name (one of the user's sets
// is offered to be replaced), its period (fixed dates, the current week, the next week,
// a week counted from the current one, the current month) or, on a screen with one date,
// that date (fixed, today or days from it, the first or last day of the month, the last of
// the month before), with the dates it stands for today, and whether the screen applies it when it opens. The proposed
// name comes selected, so typing replaces it; until the person ticks or unticks "Aplicar ao abrir", the box says
// whether the set named is the one the screen applies now, so saving never moves the
// default unasked.
class SUITE_TEST_EXPORT ParameterSetDialog : public QDialog
{
    Q_OBJECT
public:
    ParameterSetDialog(const ParameterSetQuestion &question, QWidget *parent = nullptr);

    // The answers as they stand.
    ParameterSetQuestion answer() const;

    // Shows the dialog; false when cancelled, else the answers are in question.
    static bool run(QWidget *parent, ParameterSetQuestion &question);

private:
    // A choice of the period list: what it says, what it stands for (given the count of
    // the spin box when it is a counted row).
    struct Row
    {
        QString text;
        std::function<RelativePeriod(int)> make;
        bool counted;
    };
    static QList<Row> periodRows(const QDate &from, const QDate &to);
    static QList<Row> dateRows(const QDate &at);
    RelativePeriod chosenPeriod() const;
    void showDates();
    void selectPeriod(const RelativePeriod &period);

    ParameterSetQuestion m_question;
    QComboBox *m_name;
    QComboBox *m_period;
    QList<Row> m_rows;
    QSpinBox *m_weeks; // weeks, or days for a single date
    QLabel *m_dates;
    QCheckBox *m_default;
    bool m_defaultChosen = false; // the person ticked or unticked "Aplicar ao abrir"
};
