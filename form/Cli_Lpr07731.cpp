#include "Cli_Lpr07731.h"
#include "TfrmListaPrecRel.h"

#include "module/ScreenOpener.h"

extern "C" {
TfrmListaPrecRel *frmListaPrecRel = nullptr;
bool boIdCriado = false;

void CriaRelLista(bool boModal)
{
    openScreenOnce(frmListaPrecRel, boIdCriado, boModal);
}
}

namespace Cli_Lpr07731 {

void initialization()
{
    boIdCriado = false;
}

} // namespace Cli_Lpr07731
