#pragma once
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <concepts>

// A number from the wire as a whole number in [low, high]: the fraction is dropped, finite values
// beyond the range (1e300) stop at its ends, NaN and infinities read as 0 like any unreadable
// number. Converting a double that does not fit the integer type is undefined behaviour, so every
// wire count goes through here.
template<std::integral Int> Int clampedWhole(double value, Int low, Int high)
{
    if (!std::isfinite(value))
        return std::clamp<Int>(0, low, high);
    const double whole = std::trunc(value);
    if (whole <= double(low))
        return low;
    if (whole >= double(high))
        return high;
    return Int(whole);
}
