#pragma once

#include "suite_export.h"

#include <QDate>
#include <QString>

enum class TPictType { ptProduto = 0, ptFornecedor, ptFilial };

// Session values of the user.
namespace Zelmora {
SUITE_EXPORT QString FiliProc();
SUITE_EXPORT bool ModuFili();
// Processing date of a branch (read from the database); today when the branch has none.
SUITE_EXPORT QDate DataProc(const QString &branch);
// Edit mask of a picture type (read from the database; a free mask when none is stored).
SUITE_EXPORT QString DBPict(TPictType pictType);
SUITE_EXPORT QString WebURL();
SUITE_EXPORT int WebPort();
} // namespace Zelmora

namespace Geral {
SUITE_EXPORT quint8 ModuloAtiv();
}
