#pragma once

#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QString>

// The entry point every target defines: libFuzzer calls it with each input it makes;
// ReplayMain.cpp calls it with the files of a corpus.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fuzz {
inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline QString text(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A broken invariant: stop here, so the fuzzer keeps the input and the replay fails.
[[noreturn]] inline void violated(const char *what)
{
    qFatal("invariante violada: %s", what);
}
} // namespace fuzz
