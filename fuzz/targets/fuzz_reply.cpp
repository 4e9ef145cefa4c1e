// What the screen reads from the application server: a reply frame's payload, and the
// data packet it carries (or the input itself taken as a packet). A packet that decodes
// is encoded again and must decode to the same fields and rows; the client data set, which
// reads packets in place, refuses what decode refuses and holds the values decode gives.
#include "errors/EAbort.h"
#include "FuzzTarget.h"
#include "net/DataPacket.h"
#include "net/Frame.h"
#include "net/TClientDataSet.h"

namespace {
void checkPacket(const QByteArray &bytes)
{
    DataPacket packet;
    try {
        packet = DataPacket::decode(bytes);
    } catch (const ESuiteError &) {
        TClientDataSet refused;
        try {
            refused.setData(bytes);
        } catch (const ESuiteError &) {
            return;
        }
        fuzz::violated("pacote inválido aceito pelo conjunto de dados");
    }
    DataPacket back;
    try {
        back = DataPacket::decode(packet.encode());
    } catch (const ESuiteError &) {
        fuzz::violated("pacote regravado não é lido de volta");
    }
    if (back.fields.size() != packet.fields.size() || back.rows != packet.rows)
        fuzz::violated("pacote regravado difere do original");
    for (qsizetype i = 0; i < packet.fields.size(); ++i)
        if (back.fields[i].name != packet.fields[i].name || back.fields[i].size != packet.fields[i].size)
            fuzz::violated("campo regravado difere do original");

    TClientDataSet cds;
    try {
        cds.setData(bytes);
    } catch (const ESuiteError &) {
        fuzz::violated("pacote válido recusado pelo conjunto de dados");
    }
    if (cds.RecordCount() != int(packet.rows.size()))
        fuzz::violated("conjunto de dados com outro número de linhas");
    for (int r = 0; r < cds.RecordCount(); ++r)
        for (int c = 0; c < int(packet.fields.size()); ++c) {
            const QVariant held = cds.rowValue(r, c);
            const QVariant &decoded = packet.rows[size_t(r)][c];
            if (held.metaType() != decoded.metaType() || held.toString() != decoded.toString())
                fuzz::violated("conjunto de dados com outro valor que o pacote");
        }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::bytes(data, size);
    try {
        const Frame::Reply reply = Frame::parseReply(bytes);
        if (reply.ok && reply.result.metaType().id() == QMetaType::QByteArray)
            checkPacket(reply.result.toByteArray());
    } catch (const ESuiteError &) {
    }
    checkPacket(bytes);
    return 0;
}
