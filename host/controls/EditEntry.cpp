#include "EditEntry.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

bool EditEntry::selectsAll(Qt::FocusReason reason)
{
    switch (reason) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason: return true;
    default: return false;
    }
}

bool EditEntry::startsEntry(Qt::FocusReason reason)
{
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

void EditEntry::selectFocused()
{
    QWidget *focus = QApplication::focusWidget();
    if (auto *line = qobject_cast<QLineEdit *>(focus); line && !line->isReadOnly())
        line->selectAll();
    else if (auto *spin = qobject_cast<QAbstractSpinBox *>(focus))
        spin->selectAll();
}

void EditEntry::focusIn(Qt::FocusReason reason, const QString &text, const std::function<void()> &selectAll)
{
    if (startsEntry(reason))
        m_text = text;
    if (selectsAll(reason))
        selectAll();
}

bool EditEntry::escape(const QKeyEvent *event, const QString &text, const std::function<void(const QString &)> &write,
                       const std::function<void()> &selectAll)
{
    const bool plainEsc =
        event->key() == Qt::Key_Escape && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!plainEsc || text == m_text)
        return false;
    write(m_text);
    selectAll();
    return true;
}
