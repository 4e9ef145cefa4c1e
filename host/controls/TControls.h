#pragma once

#include "suite_export.h"

#include <QCheckBox>
#include <QFrame>
#include <QRadioButton>
#include <QToolButton>
#include <functional>

// Windows virtual-key code of a Qt key (F9 gives 120); 0 when it has none.
SUITE_EXPORT quint16 virtualKeyCode(int qtKey);

// A radio button whose Click fires only when it becomes checked, by the person or by
// the program; OnKeyDown receives the virtual-key code by reference and the modifiers.
class SUITE_EXPORT TRadioButton : public QRadioButton
{
    Q_OBJECT
public:
    explicit TRadioButton(const QString &caption, QWidget *parent = nullptr);
    std::function<void(QObject *sender, quint16 &key, Qt::KeyboardModifiers shift)> OnKeyDown;

signals:
    void Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// A check box whose Click fires whenever its checked state changes.
class SUITE_EXPORT TCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit TCheckBox(const QString &caption, QWidget *parent = nullptr);

signals:
    void Click();
};

// A flat push button with a glyph; never takes the focus.
class SUITE_EXPORT TButtonFlat : public QToolButton
{
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget *parent = nullptr);
};

// A panel; its exit event is bound through FocusTracker.
class SUITE_EXPORT TPanel : public QFrame
{
    Q_OBJECT
public:
    explicit TPanel(QWidget *parent = nullptr);
};
