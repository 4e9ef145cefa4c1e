#include "report/DecimalSum.h"

#include <charconv>
#include <cmath>
#include <algorithm>
#include <cstring>

int DecimalSum::decimalsOf(double value)
{
    if (!std::isfinite(value) || value == std::trunc(value))
        return 0;
    char text[512];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (r.ec != std::errc())
        return 0;
    const char *dot = static_cast<const char *>(std::memchr(text, '.', size_t(r.ptr - text)));
    return dot ? int(r.ptr - dot - 1) : 0;
}

namespace {
// Whether value is the double nearest a number of that many decimals: then dividing the
// whole number of its scaled digits gives it back exactly. Far cheaper than writing it out,
// and most values of a column have no more decimals than those before them.
bool fitsIn(double value, int decimals)
{
    static const double scale[] = {1,    1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7, 1e8,
                                   1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};
    const double scaled = value * scale[decimals];
    return std::fabs(scaled) < 4e15 && std::round(scaled) / scale[decimals] == value;
}
} // namespace

void DecimalSum::add(double value)
{
    m_sum += value;
    ++m_count;
    // Past 16 decimals nothing is left to round: the value is binary noise already.
    if (m_decimals < 17 && !fitsIn(value, std::min(m_decimals, 16)))
        m_decimals = std::max(m_decimals, decimalsOf(value));
}

double DecimalSum::value() const
{
    if (!std::isfinite(m_sum) || m_decimals >= 17)
        return m_sum;
    // Written with those decimals and read back: the double nearest the decimal sum.
    char text[512];
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, m_sum, std::chars_format::fixed, m_decimals);
    double rounded = m_sum;
    if (r.ec != std::errc() || std::from_chars(text, r.ptr, rounded).ec != std::errc())
        return m_sum;
    return rounded == 0 ? 0.0 : rounded; // never -0
}
