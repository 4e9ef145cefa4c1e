// What the application server reads from a link: frames reassembled from a stream, each
// parsed as a request, its arguments decoded as the server does for an identified peer.
// The first byte picks the frame cap (the small one of a link that has not identified
// itself, or the full one); the rest is the stream.
#include "errors/EAbort.h"
#include "FuzzTarget.h"
#include "net/Frame.h"
#include "net/FrameReader.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qint64 cap = (data[0] & 1) ? Frame::MaxHelloSize : Frame::MaxRequestSize;
    QByteArray stream = fuzz::bytes(data + 1, size - 1);
    QBuffer device(&stream);
    device.open(QIODevice::ReadOnly);
    FrameReader reader(cap);
    for (int frames = 0; frames < 64; ++frames) {
        const FrameReader::Status status = reader.read(&device);
        if (status != FrameReader::Status::Complete)
            break;
        const QByteArray payload = reader.takePayload();
        if (payload.size() > cap)
            fuzz::violated("quadro maior que o limite");
        try {
            const Frame::Request request = Frame::parseRequest(payload);
            if (request.kind == Frame::Request::Call) {
                const QVariantList args = Frame::parseArgs(payload, request);
                // What the server would send back must be a frame it can read again.
                const QByteArray again = Frame::callFrame(request.method, {});
                if (Frame::parseRequest(again.mid(Frame::HeaderSize)).method != request.method)
                    fuzz::violated("nome do método não sobrevive à ida e volta");
                (void)args;
            }
        } catch (const ESuiteError &) {
        }
    }
    return 0;
}
