#include "validation/Tabvalid.h"
#include "validation/Consiste.h"
#include "text/DelphiMask.h"

namespace Tabvalid {

QString normalise(const QString &delphiMask, QString &code)
{
    // The masked edit's own reading of the mask, so that the code validated is the
    // code the edit shows.
    return DelphiMask::parse(delphiMask).normalise(code);
}

void ValidEx(TDataSource *, TPictType pictType, QString &code, int, const QString &, bool)
{
    const QString error = normalise(Zelmora::DBPict(pictType), code);
    if (!error.isEmpty())
        Consiste::MensErro(error, true);
}

} // namespace Tabvalid
