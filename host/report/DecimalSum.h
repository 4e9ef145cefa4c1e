#pragma once

#include "suite_export.h"

#include <QtGlobal>

// A sum as a person adds on paper: the decimals of the terms bound those of the sum, so
// 10.1 + 12.09 is 22.19, not the 22.189999999999998 that binary arithmetic leaves. Totals
// of prices and quantities keep the digits their values have.
class SUITE_TEST_EXPORT DecimalSum
{
public:
    void add(double value);
    void reset() { *this = DecimalSum(); }
    // The sum rounded to the most decimals a term was written with.
    double value() const;
    qint64 count() const { return m_count; }

    // The decimals of the shortest text that reads back as value (0.5 has 1, 12 none).
    static int decimalsOf(double value);

private:
    double m_sum = 0;
    int m_decimals = 0;
    qint64 m_count = 0;
};
