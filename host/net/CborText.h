#pragma once

#include <QByteArray>
#include <QCborStreamReader>
#include <QString>

// Whole-string reads from a QCborStreamReader, which hands strings out in chunks.
// Each returns false when the stream is broken; the reader has then advanced past the
// string (or stopped on the error).
inline bool readCborText(QCborStreamReader &reader, QString &out)
{
    out.clear();
    if (!reader.isString())
        return false;
    auto chunk = reader.readString();
    while (chunk.status == QCborStreamReader::Ok) {
        out += chunk.data;
        chunk = reader.readString();
    }
    return chunk.status == QCborStreamReader::EndOfString;
}

inline bool readCborBytes(QCborStreamReader &reader, QByteArray &out)
{
    out.clear();
    if (!reader.isByteArray())
        return false;
    auto chunk = reader.readByteArray();
    while (chunk.status == QCborStreamReader::Ok) {
        out += chunk.data;
        chunk = reader.readByteArray();
    }
    return chunk.status == QCborStreamReader::EndOfString;
}
