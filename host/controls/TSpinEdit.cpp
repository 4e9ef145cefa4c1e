#include "controls/TSpinEdit.h"
#include "controls/EditEntry.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

#include <algorithm>

TSpinEdit::TSpinEdit(QWidget *parent) : QAbstractSpinBox(parent)
{
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] {
        update(); // the arrows' enabled state follows the text
        emit Change();
    });
}

int TSpinEdit::Value() const
{
    bool ok = false;
    const int value = lineEdit()->text().trimmed().toInt(&ok);
    return ok ? value : MinValue;
}

void TSpinEdit::setValue(int value)
{
    setText(QString::number(std::clamp(value, MinValue, qMax(MinValue, MaxValue))));
}

QString TSpinEdit::Text() const
{
    return lineEdit()->text();
}

void TSpinEdit::setText(const QString &text)
{
    if (lineEdit()->text() != text)
        lineEdit()->setText(text);
}

void TSpinEdit::stepBy(int steps)
{
    bool ok = false;
    const int current = lineEdit()->text().trimmed().toInt(&ok);
    // From a blank (or unreadable) text the first step lands on the minimum.
    setValue(ok ? current + steps : MinValue);
    lineEdit()->selectAll();
}

void TSpinEdit::focusInEvent(QFocusEvent *event)
{
    QAbstractSpinBox::focusInEvent(event);
    m_entry.focusIn(this, event->reason(), Text(), [this] { selectAll(); });
}

void TSpinEdit::keyPressEvent(QKeyEvent *event)
{
    if (!m_entry.escape(
            event, Text(), [this](const QString &text) { setText(text); }, [this] { selectAll(); }))
        QAbstractSpinBox::keyPressEvent(event);
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    bool ok = false;
    const int current = lineEdit()->text().trimmed().toInt(&ok);
    if (!ok)
        return StepUpEnabled | StepDownEnabled;
    StepEnabled enabled = StepNone;
    if (current < MaxValue)
        enabled |= StepUpEnabled;
    if (current > MinValue)
        enabled |= StepDownEnabled;
    return enabled;
}

QValidator::State TSpinEdit::validate(QString &input, int &) const
{
    // Blank, a lone minus sign, or a whole number of up to nine digits; the range is not
    // enforced while typing (the form corrects values above the maximum itself).
    const int start = input.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (input.size() - start > 9)
        return QValidator::Invalid;
    for (int i = start; i < input.size(); ++i)
        if (!input.at(i).isDigit() || input.at(i).unicode() > 127)
            return QValidator::Invalid;
    return QValidator::Acceptable;
}

void TSpinEdit::fixup(QString &) const { }

QSize TSpinEdit::sizeHint() const
{
    ensurePolished();
    const QFontMetrics fm(font());
    const QString widest = QString::number(qAbs(MinValue) > qAbs(MaxValue) ? MinValue : MaxValue);
    const int w = qMax(fm.horizontalAdvance(widest), fm.horizontalAdvance(QStringLiteral("99"))) + 4;
    const int h = lineEdit()->sizeHint().height();
    QStyleOptionSpinBox opt;
    initStyleOption(&opt);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &opt, QSize(w, h), this);
}

QSize TSpinEdit::minimumSizeHint() const
{
    return sizeHint();
}
