#pragma once

#include "../suite_export.h"

#include <Qt>

class QKeyEvent;

// The keyboard habits that the suite's masked, spin and date edits share: entering an
// edit by the keyboard selects its whole text, so what is typed replaces it; Esc puts
// back the text the edit had when it was entered.
namespace EditEntry {
// Tab, Shift+Tab, Enter used as Tab, a mnemonic, and the program putting the focus back
// on a refused value select the whole text; a mouse click, a closing pop-up and the
// window coming back do not.
SUITE_EXPORT bool selectsAll(Qt::FocusReason reason);
// Whether a focus-in for this reason starts a new entry (the text Esc puts back): a
// closing pop-up and the window coming back only resume the entry under way.
SUITE_EXPORT bool startsEntry(Qt::FocusReason reason);
// A plain Esc.
SUITE_EXPORT bool isUndo(const QKeyEvent *event);
// After a refusal: selects the whole text of the edit holding the focus, which may be the
// edit at fault already (a command pressed in it), so that what is typed next replaces it.
SUITE_EXPORT void selectFocused();
}
