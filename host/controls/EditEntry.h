#pragma once

#include "suite_export.h"

#include <QString>
#include <Qt>
#include <functional>

class QKeyEvent;

// The keyboard habits that the suite's masked, spin and date edits share: entering an
// edit by the keyboard selects its whole text, so what is typed replaces it; Esc puts
// back the text the edit had when it was entered. Each edit keeps one and calls it from
// its focus-in and key handlers.
class SUITE_EXPORT EditEntry
{
public:
    // Tab, Shift+Tab, Enter used as Tab, a mnemonic, and the program putting the focus
    // back on a refused value select the whole text; a mouse click, a closing pop-up and
    // the window coming back do not.
    static bool selectsAll(Qt::FocusReason reason);
    // Whether a focus-in for this reason starts a new entry (the text Esc puts back): a
    // closing pop-up and the window coming back only resume the entry under way.
    static bool startsEntry(Qt::FocusReason reason);
    // After a refusal: selects the whole text of the edit holding the focus, which may be
    // the edit at fault already (a command pressed in it), so what is typed next replaces it.
    static void selectFocused();

    // After the edit's own focus-in handling: remembers text, selects as the reason says.
    void focusIn(Qt::FocusReason reason, const QString &text, const std::function<void()> &selectAll);
    // A plain Esc while the text differs from the entry's: writes the entry's text back
    // and selects it; true when the key was used so.
    bool escape(const QKeyEvent *event, const QString &text, const std::function<void(const QString &)> &write,
                const std::function<void()> &selectAll);

private:
    QString m_text;
};
