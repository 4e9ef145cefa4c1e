// Edit masks: the first line is a mask, the rest a value. Parsing, laying out, formatting,
// extracting and normalising never fail, whatever the mask and the value.
#include "FuzzTarget.h"
#include "validation/Tabvalid.h"
#include "text/DelphiMask.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = fuzz::text(data, size);
    const qsizetype cut = input.indexOf(QLatin1Char('\n'));
    const QString maskText = cut < 0 ? input : input.left(cut);
    const QString value = cut < 0 ? QString() : input.mid(cut + 1);

    const DelphiMask mask = DelphiMask::parse(maskText);
    (void)mask.toQtInputMask();
    const QString shown = mask.layout(value);
    (void)mask.extract(shown);
    (void)mask.extract(mask.format(value));
    (void)mask.stripLiterals(value);

    QString code = value;
    (void)Tabvalid::normalise(maskText, code);
    return 0;
}
