#pragma once

#include "suite_export.h"

#include <QByteArrayView>
#include <QString>

// Text as searches compare it: accents removed and case folded, so "ACUCAR" finds
// "Açúcar" and "joão" finds "JOÃO".
namespace TextFold {
SUITE_EXPORT QString fold(const QString &text);
// The fold of a valid UTF-8 text written to out (room for utf8.size() characters), without
// making a QString: its length, or -1 when the text holds what only fold() folds (a character
// outside Latin-1, or a byte order mark, which decoding drops). The same characters as
// fold(QString::fromUtf8(utf8)) when not -1.
SUITE_EXPORT qsizetype foldUtf8(QByteArrayView utf8, char16_t *out);
}
