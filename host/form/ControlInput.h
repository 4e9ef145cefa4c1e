#pragma once

#include "suite_export.h"

#include <QString>
#include <QStringList>

class QWidget;

// Enters values into a form's controls as a person would: the focus goes into the control,
// the value is written, and the focus moves on, so the control's own exit validations run
// and show their messages. Before that, what a person could not do is refused: a control
// hidden or disabled on the form as it stands (a picker whose group is not on "Lista"),
// a character the mask drops, a week outside the box's range, a date with other text
// after it, a yes/no value that is neither. A picker button takes the keys to
// mark (comma separated, or a JSON array) and the picker is answered with them; keys its
// list does not hold are refused and the others marked.
//
// One home for "set a control as if typed": the display-less run and the parameter sets
// both go through here.
class SUITE_EXPORT ControlInput
{
public:
    explicit ControlInput(QWidget *form);

    // Enters value into the control named name. Returns the messages the control refused
    // it with (its own validation's or the refusal above), empty when it was taken.
    // Raises ESuiteError when the form has no such control, or it is of a kind that cannot
    // be filled.
    QStringList enter(const QString &name, const QString &value);

    // Why a person could not fill the control on the form as it stands (it is hidden, or
    // disabled); empty when they could.
    QString unreachable(const QWidget *control) const;

    // The value of a control in the form enter() takes; empty for a picker button, whose
    // keys live in its form.
    static QString valueOf(const QWidget *control);
    // Whether the control is a picker: a button that opens a multi-selection list.
    static bool isPicker(const QWidget *control);
    // Reads a yes/no value: S/N, 1/0, T/F, Sim/Não, True/False (any case).
    static bool yesNo(const QString &value, bool *ok);

private:
    QWidget *m_form;
};
