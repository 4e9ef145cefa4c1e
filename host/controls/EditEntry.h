#pragma once

#include "suite_export.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <Qt>
#include <functional>

class QKeyEvent;
class QWidget;

// The keyboard habits that the suite's masked, spin and date edits share: entering an
// edit by the keyboard selects its whole text, so what is typed replaces it; Esc puts
// back the state the edit had when it was entered: its text and the text of the boxes
// that go with it (a code's name, a week's date). Each edit keeps one and calls it from
// its focus-in and key handlers.
class SUITE_EXPORT EditEntry
{
public:
    // Tab, Shift+Tab, Enter used as Tab, a mnemonic, and the program putting the focus
    // back on a refused value select the whole text; a mouse click, a closing pop-up and
    // the window coming back do not.
    static bool selectsAll(Qt::FocusReason reason);
    // Whether a focus-in for this reason starts a new entry (the state Esc puts back): a
    // closing pop-up and the window coming back only resume the entry under way.
    static bool startsEntry(Qt::FocusReason reason);
    // After a refusal: selects the whole text of the edit holding the focus, which may be
    // the edit at fault already (a command pressed in it), so what is typed next replaces it.
    static void selectFocused();
    // The text of a line, masked, spin or date edit, and its writing (raising the edit's
    // change events as typing would).
    static QString textOf(const QWidget *box);
    static void writeText(QWidget *box, const QString &text);

    // The boxes whose text belongs to the edit's state: kept on entry, put back by Esc
    // after the edit's own text (whose change handlers may have cleared them).
    void setCompanions(const QList<QWidget *> &companions);

    // After the edit's own focus-in handling: remembers the state, selects as the reason
    // says. The focus put back on the edit by a refusal of its own exit goes on with the
    // entry under way, so Esc still puts back what the edit held before the refused text.
    void focusIn(const QWidget *edit, Qt::FocusReason reason, const QString &text,
                 const std::function<void()> &selectAll);
    // A plain Esc while the state differs from the entry's: writes the entry's text and
    // the companions' back and selects the text; true when the key was used so.
    bool escape(const QKeyEvent *event, const QString &text, const std::function<void(const QString &)> &write,
                const std::function<void()> &selectAll);

private:
    void keep(const QString &text);
    bool companionsChanged() const;

    QString m_text;
    QList<QPointer<QWidget>> m_companions;
    QStringList m_companionTexts;
    // No key pressed since the entry began.
    bool m_fresh = false;
    bool m_entered = false;
};
