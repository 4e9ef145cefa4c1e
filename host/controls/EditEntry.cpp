#include "controls/EditEntry.h"
#include "controls/FocusTracker.h"
#include "controls/TSpinEdit.h"

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

QString EditEntry::textOf(const QWidget *box)
{
    if (auto *spin = qobject_cast<const TSpinEdit *>(box))
        return spin->Text();
    if (auto *line = qobject_cast<const QLineEdit *>(box))
        return line->text();
    return QString();
}

void EditEntry::writeText(QWidget *box, const QString &text)
{
    if (auto *spin = qobject_cast<TSpinEdit *>(box))
        spin->setText(text);
    else if (auto *line = qobject_cast<QLineEdit *>(box))
        line->setText(text);
}

void EditEntry::setCompanions(const QList<QWidget *> &companions)
{
    m_companions.clear();
    m_companionTexts.clear();
    for (QWidget *w : companions) {
        m_companions << w;
        m_companionTexts << textOf(w);
    }
}

void EditEntry::focusIn(const QWidget *edit, Qt::FocusReason reason, const QString &text,
                        const std::function<void()> &selectAll)
{
    // The first field of a window gets its first focus as the window comes up: that too
    // begins an entry.
    if (!m_entered || (startsEntry(reason) && !FocusTracker::returningTo(edit))) {
        keep(text);
        m_fresh = true;
        m_entered = true;
    }
    if (selectsAll(reason))
        selectAll();
}

void EditEntry::keep(const QString &text)
{
    m_text = text;
    for (int i = 0; i < m_companions.size(); ++i)
        m_companionTexts[i] = textOf(m_companions.at(i));
}

bool EditEntry::companionsChanged() const
{
    for (int i = 0; i < m_companions.size(); ++i)
        if (m_companions.at(i) && textOf(m_companions.at(i)) != m_companionTexts.at(i))
            return true;
    return false;
}

bool EditEntry::escape(const QKeyEvent *event, const QString &text, const std::function<void(const QString &)> &write,
                       const std::function<void()> &selectAll)
{
    const bool plainEsc =
        event->key() == Qt::Key_Escape && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    // The state is the one the person starts from: what the program wrote into the edit
    // after it got the focus (the screen's defaults, filled while the first field already
    // held it) is part of it.
    if (m_fresh && !plainEsc) {
        keep(text);
        m_fresh = false;
    }
    if (!plainEsc || (text == m_text && !companionsChanged()))
        return false;
    write(m_text);
    for (int i = 0; i < m_companions.size(); ++i)
        if (m_companions.at(i))
            writeText(m_companions.at(i), m_companionTexts.at(i));
    selectAll();
    return true;
}
