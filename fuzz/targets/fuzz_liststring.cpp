// The picked-list string: whatever text reaches the report as a list parameter is read
// without failing, and a list the dialog writes reads back as the same keys.
#include "FuzzTarget.h"
#include "text/ListString.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList keys = ListString::decode(fuzz::text(data, size));
    if (ListString::decode(ListString::encode(keys)) != keys)
        fuzz::violated("encode/decode não devolve as mesmas chaves");
    return 0;
}
