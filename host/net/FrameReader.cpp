#include "net/FrameReader.h"
#include "net/Frame.h"

#include <QIODevice>
#include <QtEndian>

FrameReader::Status FrameReader::read(QIODevice *device)
{
    while (m_headerRead < Frame::HeaderSize) {
        const qint64 n =
            device->read(reinterpret_cast<char *>(m_header) + m_headerRead, Frame::HeaderSize - m_headerRead);
        if (n <= 0)
            return Status::Incomplete;
        m_headerRead += int(n);
    }
    if (m_size < 0)
        m_size = qint64(qFromBigEndian<quint32>(m_header));
    if (m_size > m_max)
        return Status::TooLarge;
    while (m_payload.size() < m_size) {
        const qint64 want = qMin<qint64>(m_size - m_payload.size(), device->bytesAvailable());
        if (want <= 0)
            return Status::Incomplete;
        const qsizetype old = m_payload.size();
        m_payload.resize(old + qsizetype(want));
        const qint64 n = device->read(m_payload.data() + old, want);
        if (n < want)
            m_payload.resize(old + qsizetype(qMax<qint64>(n, 0)));
        if (n <= 0)
            return Status::Incomplete;
    }
    return Status::Complete;
}

QByteArray FrameReader::takePayload()
{
    QByteArray payload = std::move(m_payload);
    reset();
    return payload;
}

void FrameReader::reset()
{
    m_headerRead = 0;
    m_size = -1;
    m_payload = QByteArray();
}
