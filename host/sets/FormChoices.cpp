#include "sets/FormChoices.h"

#include "form/ControlInput.h"
#include "errors/EAbort.h"
#include "text/ListString.h"
#include "form/ReportScreen.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QSet>

namespace {

// Whether the person can choose this control's value on the form as it stands.
bool choosable(const ReportScreen &form, const QWidget *w)
{
    return w && w->isEnabled() && !w->isHidden() && w->isVisibleTo(form.widget());
}

QString withValue(const QString &caption, const QWidget *w, const QString &value)
{
    // A picker's refusal names its keys; other values are said with their caption.
    if (ControlInput::isPicker(w) || value.isEmpty())
        return caption;
    return QStringLiteral("%1 %2").arg(caption, value);
}

void applyReport(ReportScreen &form, const ParameterSet &set, QStringList &lines)
{
    if (set.report.isEmpty())
        return;
    if (!form.chooseReport(set.report))
        lines << QStringLiteral("Relatório \"%1\": não existe mais; ficou \"%2\".")
                     .arg(set.report, form.currentReportName());
}

// Whether entering value would leave the control as it is (then nothing is left out when
// it cannot be entered: a set saved where an option is shown keeps it unchecked).
bool holds(const QWidget *w, const QString &value, const QString &current)
{
    if (ControlInput::isPicker(w))
        return ListString::decode(value).isEmpty();
    bool ok = false;
    bool currentOk = false;
    if (qobject_cast<const QAbstractButton *>(w))
        return ControlInput::yesNo(value, &ok) == ControlInput::yesNo(current, &currentOk) && ok && currentOk;
    return value == current;
}

// Enters one value; a refusal is reported and the control gets back what it held. A value
// for a control the person could not reach on the form as it stands is reported too.
void applyValue(ReportScreen &form, ControlInput &input, const ReportScreen::Choice &choice, const QString &value,
                QStringList &lines)
{
    QWidget *w = form.widget()->findChild<QWidget *>(choice.control);
    if (!w)
        return;
    const QString previous = ControlInput::valueOf(w);
    if (const QString why = input.unreachable(w); !why.isEmpty()) {
        if (holds(w, value, previous))
            return;
        QString line = QStringLiteral("%1: %2").arg(withValue(choice.caption, w, value), why);
        if (!ControlInput::isPicker(w))
            line += QStringLiteral("; ficou %1").arg(previous.isEmpty() ? QStringLiteral("em branco") : previous);
        lines << line + QLatin1Char('.');
        return;
    }
    QStringList refused;
    try {
        refused = input.enter(choice.control, value);
    } catch (const ESuiteError &e) {
        refused << e.message();
    }
    if (refused.isEmpty())
        return;
    lines << QStringLiteral("%1: %2").arg(withValue(choice.caption, w, value), refused.join(QLatin1Char(' ')));
    if (!ControlInput::isPicker(w))
        input.enter(choice.control, previous);
}

} // namespace

namespace FormChoices {

ParameterSet capture(const ReportScreen &form, const QString &name)
{
    ParameterSet set;
    set.name = ParameterSet::cleanName(name);
    set.screen = form.screenCode();
    set.report = form.currentReportName();
    for (const ReportScreen::Choice &choice : form.parameterChoices()) {
        const QWidget *w = form.widget()->findChild<QWidget *>(choice.control);
        if (!choosable(form, w))
            continue;
        if (auto *radio = qobject_cast<const TRadioButton *>(w); radio && !radio->isChecked())
            continue;
        set.values.insert(choice.control, form.choiceValue(choice.control));
    }
    const QStringList period = form.periodControls();
    auto date = [&](const QString &control) {
        const auto *d = form.widget()->findChild<const TDateEditPlus *>(control);
        return d ? d->GetDate() : QDate();
    };
    if (period.size() == 2)
        set.period = RelativePeriod::infer(date(period[0]), date(period[1]), form.periodToday());
    else if (period.size() == 1)
        set.period = RelativePeriod::inferDate(date(period[0]), form.periodToday());
    return set;
}

QStringList apply(ReportScreen &form, const ParameterSet &set)
{
    QStringList lines;
    for (const QString &s : set.skipped)
        lines << QStringLiteral("Arquivo do conjunto: %1.").arg(s);
    if (set.screen != form.screenCode())
        throw ESuiteError(QStringLiteral("O conjunto \"%1\" é da tela %2, não desta (%3).")
                              .arg(set.name, set.screen, form.screenCode()));
    QPointer<QWidget> focused = form.widget()->focusWidget();
    applyReport(form, set, lines);

    QSet<QString> known;
    ControlInput input(form.widget());
    for (const ReportScreen::Choice &choice : form.parameterChoices()) {
        known.insert(choice.control);
        if (set.values.contains(choice.control))
            applyValue(form, input, choice, set.values.value(choice.control), lines);
    }
    for (auto it = set.values.keyBegin(); it != set.values.keyEnd(); ++it)
        if (!known.contains(*it))
            lines << QStringLiteral("Arquivo do conjunto: '%1' não é uma escolha desta tela.").arg(*it);
    if (set.period)
        lines << applyPeriod(form, *set.period);
    if (focused && focused->isEnabled() && focused->isVisible())
        focused->setFocus(Qt::OtherFocusReason);
    return lines;
}

QStringList applyPeriod(ReportScreen &form, const RelativePeriod &period)
{
    const QStringList controls = form.periodControls();
    if (controls.isEmpty() || controls.size() > 2)
        return {QStringLiteral("Período %1: esta tela não tem período.").arg(period.text())};
    // A day fills both ends of a period; a period does not fit a single date.
    if (controls.size() == 1 && !period.single())
        return {QStringLiteral("Período %1: esta tela tem uma data só, não um período.").arg(period.text())};
    const QDate today = form.periodToday();
    const QDate dates[2] = {period.resolvedFrom(today), period.resolvedTo(today)};
    ControlInput input(form.widget());
    QStringList lines;
    for (int i = 0; i < int(controls.size()); ++i) {
        const QString text = dates[i].isValid() ? dates[i].toString(QStringLiteral("dd/MM/yyyy")) : QString();
        QStringList refused;
        try {
            refused = input.enter(controls[i], text);
        } catch (const ESuiteError &e) {
            refused << e.message();
        }
        if (!refused.isEmpty())
            lines << QStringLiteral("Período %1 (%2): %3").arg(period.text(), text, refused.join(QLatin1Char(' ')));
    }
    return lines;
}

QString leftOutMessage(const QString &setName, const QStringList &lines)
{
    QString text = QStringLiteral("O conjunto \"%1\" foi aplicado, mas ficou de fora:").arg(setName);
    for (const QString &line : lines)
        text += QStringLiteral("\n• ") + line;
    return text;
}

} // namespace FormChoices
