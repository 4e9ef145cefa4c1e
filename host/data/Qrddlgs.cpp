#include "data/Qrddlgs.h"

namespace Qrddlgs {
bool ExistParam(const TParams &params, const QString &name)
{
    return params.FindParam(name.left(255)) != nullptr;
}
} // namespace Qrddlgs
