#pragma once

#include <QString>

// Text as searches compare it: accents removed and case folded, so "ACUCAR" finds
// "Açúcar" and "joão" finds "JOÃO".
namespace TextFold {
QString fold(const QString &text);
}
