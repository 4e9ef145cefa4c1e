#include "EditEntry.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace EditEntry {

bool selectsAll(Qt::FocusReason reason)
{
    switch (reason) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        return true;
    default:
        return false;
    }
}

bool startsEntry(Qt::FocusReason reason)
{
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

bool isUndo(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Escape && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

void selectFocused()
{
    QWidget *focus = QApplication::focusWidget();
    if (auto *line = qobject_cast<QLineEdit *>(focus); line && !line->isReadOnly())
        line->selectAll();
    else if (auto *spin = qobject_cast<QAbstractSpinBox *>(focus))
        spin->selectAll();
}

} // namespace EditEntry
