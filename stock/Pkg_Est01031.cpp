// The package unit of the stock module: its declaration, from which the kit makes its
// entries and its registration with the suite, and the function that opens its screen.
#include "TfrmPosEstoqueRel.h"

#include "module/ModuleKit.h"
#include "module/ScreenOpener.h"

namespace {

void CriaRelPosEstoque(bool modal)
{
    openScreenOnce(TfrmPosEstoqueRel::frmPosEstoqueRel, TfrmPosEstoqueRel::boIdCriado, modal);
}

constexpr PackageUnitEntry units[] = {{"Pkg_Est01031", nullptr, nullptr}};

constexpr ModuleScreen screens[] = {
    {"EST01031", "&Posição de Estoque por Filial", "&Estoque", &CriaRelPosEstoque},
};

} // namespace

SUITE_MODULE({.name = "Est01031",
              .version = EST01031_VERSION,
              .screens = screens,
              .units = units,
              .messages = "messages.txt",
              .reportFolder = ""})
