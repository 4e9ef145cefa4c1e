#pragma once

#include "suite_export.h"

#include <QByteArray>
#include <QCborStreamReader>
#include <QString>
#include <QVariant>

// Reading CBOR that came from the other end of a link, which may be broken or hostile.
// Only QCborStreamReader touches the bytes: QCborValue is never built from them (Qt 6.4's
// QCborValue::toString crashes on a text string that is not valid UTF-8). Texts are
// decoded, and so validated, as they are read; tags are stepped over; nesting is
// limited; and what a value may cost in memory is limited before it is built.
namespace CborRead {

// Deepest nesting of arrays and maps accepted.
constexpr int MaxDepth = 32;

// What went wrong, in Portuguese ("texto que não é UTF-8 válido", "dados truncados" ...).
SUITE_TEST_EXPORT QString describe(QCborError error);

// Steps over the tags in front of the current item.
SUITE_TEST_EXPORT void skipTags(QCborStreamReader &reader);

// Whole-string reads (QCborStreamReader hands strings out in chunks), tags in front
// stepped over. False when the item is not of that kind or the stream is broken (a text
// that is not valid UTF-8 included); the reader has then stopped on the error or
// advanced past the string.
SUITE_TEST_EXPORT bool readText(QCborStreamReader &reader, QString &out);
SUITE_TEST_EXPORT bool readBytes(QCborStreamReader &reader, QByteArray &out);

// Steps over one whole item, containers and tags included, without decoding any of
// it. False when the stream is broken or nested deeper than MaxDepth.
SUITE_TEST_EXPORT bool skip(QCborStreamReader &reader);

// Reads one item into a QVariant: integers as qint64 (quint64 above its range), floats
// as double, texts as QString, byte strings as QByteArray, arrays as QVariantList, maps
// with text keys as QVariantMap, booleans as bool, null and undefined as an invalid
// QVariant. Raises ESuiteError naming the fault when the stream is broken, nested
// deeper than MaxDepth, holds a map key that is not text, or when building the value
// would take more than budgetBytes of memory.
SUITE_TEST_EXPORT QVariant readValue(QCborStreamReader &reader, qint64 budgetBytes);

} // namespace CborRead
