#include "uMath.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace {
constexpr int kSineEntries = 23040; // 360 degrees in 1/64-degree steps

const std::vector<extended>& SineTable()
{
    static const std::vector<extended> table = [] {
        std::vector<extended> t(kSineEntries);
        const extended stepRadians = 3.14159265358979323846264338327950288L / 180.0L / 64.0L;
        for (int k = 0; k < kSineEntries; ++k)
            t[k] = std::sin(static_cast<extended>(k) * stepRadians);
        return t;
    }();
    return table;
}
} // namespace

int64_t Round(extended x)
{
    // Out-of-range inputs saturate instead of invoking undefined conversions.
    if (std::isnan(x))
        return 0;
    if (x >= 9.2e18L)
        return INT64_MAX;
    if (x <= -9.2e18L)
        return INT64_MIN;
    extended r = std::floor(x);
    extended diff = x - r;
    if (diff > 0.5L || (diff == 0.5L && std::fmod(r, 2.0L) != 0))
        r += 1;
    return static_cast<int64_t>(r);
}

extended SinDeg(extended degrees)
{
    if (!std::isfinite(degrees))
        return 0;
    if (degrees < 0)
        return -SinDeg(-degrees);
    extended index = std::fmod(static_cast<extended>(Round(degrees * 64)), static_cast<extended>(kSineEntries));
    return SineTable()[static_cast<size_t>(index)];
}

extended CosDeg(extended degrees) { return SinDeg(degrees + 90); }

tVector2 tVector2::Rotated(extended degrees) const
{
    const extended s = SinDeg(degrees);
    const extended c = CosDeg(degrees);
    return {x * c - y * s, x * s + y * c};
}
