#pragma once

#include "suite_export.h"
#include "controls/EditEntry.h"

#include <QAbstractSpinBox>

// A spin edit whose text may be blank: Value() reads the text (a text that is not a
// whole number reads as MinValue, no clamping on read); setValue clamps to the range.
class SUITE_EXPORT TSpinEdit : public QAbstractSpinBox
{
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget *parent = nullptr);

    int MinValue = 0;
    int MaxValue = 100;

    int Value() const;
    void setValue(int value);
    QString Text() const;
    void setText(const QString &text);

    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The boxes that Esc puts back with the edit's text (a code's name, a week's date).
    void setEntryCompanions(const QList<QWidget *> &companions) { m_entry.setCompanions(companions); }

signals:
    // The text changed (typed, stepped or written).
    void Change();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

private:
    EditEntry m_entry;
};
