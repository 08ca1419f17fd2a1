#include "uColor.h"

#include "uMath.h"

#include <cmath>

tFloatColor PackedToFloat(tPackedColor c)
{
    return {static_cast<float>(RedOf(c)), static_cast<float>(GreenOf(c)), static_cast<float>(BlueOf(c)),
            static_cast<float>(AlphaOf(c))};
}

uint8_t PackComponent(float v)
{
    if (!(v > 0))
        return 0;
    if (v >= 255)
        return 255;
    return static_cast<uint8_t>(v);
}

tPackedColor FloatToPacked(const tFloatColor& c)
{
    return PackRGBA(PackComponent(c.r), PackComponent(c.g), PackComponent(c.b), PackComponent(c.a));
}

tFloatColor Lerp(const tFloatColor& a, const tFloatColor& b, double t)
{
    if (!(t > 0))
        t = 0;
    if (t > 1)
        t = 1;
    const extended u = t;
    auto mix = [u](float x, float y) {
        return static_cast<float>(Round(static_cast<extended>(x) * (1 - u) + static_cast<extended>(y) * u));
    };
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a)};
}
