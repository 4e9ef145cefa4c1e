#pragma once

#include "app/TApplication.h"
#include "suite_export.h"

class TfrmDadosGerRel;

// Shows a screen modally (normal window without a minimize button; returns when it has
// closed) or as a child window of the shell with a minimize button (returns at once). A
// screen already shown comes back to normal size and to the front.
SUITE_EXPORT void showScreen(TfrmDadosGerRel &form, bool modal);

// A module's one instance of a screen: created (and its FormCreate run) on the first call
// and again after it has closed, then shown. `created` is the screen's own flag, which its
// FormClose clears; when the creation raises, nothing is kept and the next call tries again.
template <class Form>
void openScreenOnce(Form *&instance, bool &created, bool modal)
{
    if (!created) {
        auto *form = Application().template CreateForm<Form>();
        try {
            form->DoCreate();
        } catch (...) {
            delete form;
            throw;
        }
        instance = form;
        created = true;
    }
    showScreen(*instance, modal);
}
