#include "module/ScreenOpener.h"

#include "form/TfrmDadosGerRel.h"

void showScreen(TfrmDadosGerRel &form, bool modal)
{
    form.setFormStyle(modal ? TFormStyle::fsNormal : TFormStyle::fsMDIChild);
    form.setWindowStateNormal();
    form.setMinimizeButton(!modal);
    if (modal)
        form.ShowModal();
    else
        form.Show();
}
