#include "Cli_Lpr07731.h"
#include "TfrmListaPrecRel.h"

#include "app/TApplication.h"

extern "C" {
TfrmListaPrecRel *frmListaPrecRel = nullptr;
bool boIdCriado = false;

void IniProc(QVariant value)
{
    CriaRelLista(!Cli_Lpr07731::isNullVariant(value));
}

void CriaRelLista(bool boModal)
{
    if (!boIdCriado) {
        auto *form = Application().CreateForm<TfrmListaPrecRel>();
        try {
            form->DoCreate();
        } catch (...) {
            delete form;
            throw;
        }
        frmListaPrecRel = form;
        boIdCriado = true;
    }
    TfrmListaPrecRel *form = frmListaPrecRel;
    if (boModal) {
        form->setFormStyle(TFormStyle::fsNormal);
        form->setWindowStateNormal();
        form->setMinimizeButton(false);
        form->ShowModal();
    } else {
        form->setFormStyle(TFormStyle::fsMDIChild);
        form->setWindowStateNormal();
        form->setMinimizeButton(true);
        form->Show();
    }
}
}

namespace Cli_Lpr07731 {

void initialization()
{
    boIdCriado = false;
}

bool isNullVariant(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<std::nullptr_t>();
}

} // namespace Cli_Lpr07731
