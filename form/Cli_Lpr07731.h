#pragma once

#include "lpr_export.h"

#include <QVariant>

class TfrmListaPrecRel;

// The form unit's exports: the single form instance, whether it exists, and the entries
// that open the screen. A null variant is QVariant::fromValue(nullptr); an invalid
// (never assigned) QVariant is "empty", not null.
extern "C" {
LPR_EXPORT extern TfrmListaPrecRel *frmListaPrecRel;
LPR_EXPORT extern bool boIdCriado;

// Opens the screen: as a child window for a null variant, modally for anything else
// (defined by the module's declaration, Pkg_Lpr07731).
LPR_EXPORT void IniProc(QVariant value);
// Creates the form once and shows it modally (true) or as a child window (false).
LPR_EXPORT void CriaRelLista(bool boModal);
}

namespace Cli_Lpr07731 {
// The unit's initialization, run once by the module's Initialize.
void initialization();
} // namespace Cli_Lpr07731
