// The package unit: the module's declaration, from which the kit makes its entries and
// its registration with the suite.
#include "Pkg_Lpr07731.h"
#include "Cli_Lpr07731.h"

#include <Lpr07731Version.h>

namespace {

constexpr PackageUnitEntry units[] = {
    {"Pkg_Lpr07731", nullptr, nullptr},
    {"Cli_Lpr07731", &Cli_Lpr07731::initialization, nullptr},
};

constexpr ModuleScreen screens[] = {
    {"LPR07731", "Emissão da &Lista de Preços", "&Compras", &CriaRelLista},
};

} // namespace

SUITE_MODULE({.name = "Lpr07731",
              .version = LPR07731_VERSION,
              .screens = screens,
              .units = units,
              .messages = "messages.txt",
              .reportFolder = ""})
