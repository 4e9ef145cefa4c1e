#include "controls/TControls.h"
#include "errors/ExceptionGuard.h"
#include "controls/Glyphs.h"

#include <QKeyEvent>

quint16 virtualKeyCode(int qtKey)
{
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return quint16(0x70 + (qtKey - Qt::Key_F1));
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return quint16(qtKey); // same codes: 'A' .. 'Z'
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return quint16(qtKey); // '0' .. '9'
    switch (qtKey) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Shift: return 0x10;
    case Qt::Key_Control: return 0x11;
    case Qt::Key_Alt: return 0x12;
    case Qt::Key_Pause: return 0x13;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    default: return 0;
    }
}

TRadioButton::TRadioButton(const QString &caption, QWidget *parent) : QRadioButton(caption, parent)
{
    connect(this, &QAbstractButton::toggled, this, [this](bool checked) {
        if (checked)
            emit Click();
    });
}

void TRadioButton::keyPressEvent(QKeyEvent *event)
{
    quint16 key = virtualKeyCode(event->key());
    if (OnKeyDown && key != 0) {
        const Qt::KeyboardModifiers shift = event->modifiers();
        guarded([&] { OnKeyDown(this, key, shift); });
    }
    QRadioButton::keyPressEvent(event);
}

TCheckBox::TCheckBox(const QString &caption, QWidget *parent) : QCheckBox(caption, parent)
{
    connect(this, &QAbstractButton::toggled, this, [this] { emit Click(); });
}

TButtonFlat::TButtonFlat(QWidget *parent) : QToolButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setIcon(Glyphs::search());
    setToolTip(QStringLiteral("Pesquisar"));
}

TPanel::TPanel(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
}
