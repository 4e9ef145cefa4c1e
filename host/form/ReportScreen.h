#pragma once

#include "suite_export.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class ParameterSetStore;
class QWidget;
class TParams;

// What the suite's services ask of a report screen: the parameter sets, the display-less
// run and whatever else works on "the screen" without knowing its form. The base report
// form implements it; a screen fills in the choices through the base form's hooks.
class SUITE_EXPORT ReportScreen
{
public:
    virtual ~ReportScreen();

    // The screen's window: its controls are found there by their object names.
    virtual QWidget *widget() = 0;
    virtual const QWidget *widget() const = 0;
    // The report screen a window is, or null.
    static ReportScreen *of(QWidget *window);

    // The screen's code ("EST01001"): the key of its parameter sets and recent values.
    virtual QString screenCode() const = 0;
    // The titles of the report list, the chosen one, and choosing one by its title; false
    // when the list has no such title.
    virtual QStringList reportNames() const = 0;
    virtual QString currentReportName() const = 0;
    virtual bool chooseReport(const QString &title) = 0;
    // The report list's definitions that cannot be read, each with why (as loading it says).
    virtual QStringList unreadableReports() const { return {}; }

    // What the screen's parameter sets are made of: the controls of its choices in the order
    // they are entered, each with the caption a person knows it by; the period's date
    // controls are not among them (periodControls).
    struct Choice
    {
        QString control;
        QString caption;
    };
    virtual QList<Choice> parameterChoices() const = 0;
    // The value a set keeps of a choice (ControlInput::valueOf the control, or a picker's keys).
    virtual QString choiceValue(const QString &control) const = 0;
    // The date controls of the screen's first and last day, or its one date; none: no period.
    virtual QStringList periodControls() const = 0;
    // The day a relative period counts from (the processing date).
    virtual QDate periodToday() const = 0;
    // The screen's saved parameter sets.
    virtual ParameterSetStore &parameterSets() const = 0;

    // The parameters the report engine handed the last report run.
    virtual TParams lastReportParams() const = 0;
    // A run without a person: save-as writes this file without asking, and the report
    // engine shows no dialog. Empty: a person is there.
    virtual void setBatchSaveFile(const QString &file) = 0;
    virtual QString batchSaveFile() const = 0;
    virtual bool Close() = 0;

    // Whether a screen applies its default parameter set after its first activation (a
    // display-less run applies only the set it is given).
    static void setApplyDefaultSets(bool on);
    static bool applyDefaultSets();
};
