#pragma once

#include "suite_export.h"

#include <QByteArray>

class QIODevice;

// Reassembles one frame at a time from a socket (see Frame). Reads never go past the
// end of the current frame, so the bytes of the next one stay in the device. The
// declared length is checked against the cap as soon as the header is complete,
// before any room is made for the payload; the payload then grows only as bytes
// actually arrive.
class SUITE_EXPORT FrameReader
{
public:
    enum class Status { Incomplete, Complete, TooLarge };

    explicit FrameReader(qint64 maxPayload) : m_max(maxPayload) { }

    // Consumes what the device has of the current frame.
    Status read(QIODevice *device);

    // True once a byte of the current frame has arrived.
    bool started() const { return m_headerRead > 0; }
    // Length the header announces (valid after the header is complete).
    qint64 declaredSize() const { return m_size; }
    qint64 maxPayload() const { return m_max; }
    // A new cap, from the next frame on (the server raises it once a peer identifies).
    void setMaxPayload(qint64 max) { m_max = max; }

    // The payload of the completed frame; the reader is ready for the next one.
    QByteArray takePayload();
    void reset();

private:
    qint64 m_max;
    unsigned char m_header[4] = {};
    int m_headerRead = 0;
    qint64 m_size = -1;
    QByteArray m_payload;
};
