#pragma once

#include "sets/ParameterSet.h"
#include "suite_export.h"

#include <QString>
#include <QStringList>

class ReportScreen;

// A report form's choices as a parameter set, and a set put back into the form. The form
// says which controls make up its choices and how its period is kept (its hooks); the
// values go in through ControlInput, each through the control's own validation, exactly
// as if typed.
namespace FormChoices {

// The form's current choices under name: the report, each choice that is shown and
// enabled (a radio button only when it is the one marked), and the period as what its
// dates are today (the current week, a week counted from it, the month, or fixed dates).
SUITE_EXPORT ParameterSet capture(const ReportScreen &form, const QString &name);

// Puts a set into the form: the report, then the choices in the form's order, then the
// period resolved against the form's processing date. A value the form refuses is left
// out (the control gets back what it held) and a picker keeps the keys its list still
// has. Returns one line per value left out ("Filial 0004: Filial com contrato
// rescindido.") and per part of the file that was skipped; empty when all went in.
SUITE_EXPORT QStringList apply(ReportScreen &form, const ParameterSet &set);

// Puts a period into the form's date controls, resolved against the form's processing
// date; the week boxes follow by the form's own rules. Returns what was refused.
SUITE_EXPORT QStringList applyPeriod(ReportScreen &form, const RelativePeriod &period);

// The one message that tells a person what apply() left out.
SUITE_EXPORT QString leftOutMessage(const QString &setName, const QStringList &lines);

} // namespace FormChoices
