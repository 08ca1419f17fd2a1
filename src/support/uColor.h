#pragma once
// Packed colours (R in bits 0-7, G 8-15, B 16-23, A 24-31; alpha 255 opaque)
// and float colours (four floats on the scale 0..255, unclamped until packed).
#include <cstdint>

using tPackedColor = uint32_t;

struct tFloatColor {
    float r = 0;
    float g = 0;
    float b = 0;
    float a = 0;
    friend bool operator==(const tFloatColor&, const tFloatColor&) = default;
};

constexpr tPackedColor PackRGBA(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
{
    return static_cast<tPackedColor>(r) | (static_cast<tPackedColor>(g) << 8) |
           (static_cast<tPackedColor>(b) << 16) | (static_cast<tPackedColor>(a) << 24);
}
constexpr uint8_t RedOf(tPackedColor c) { return c & 0xFF; }
constexpr uint8_t GreenOf(tPackedColor c) { return (c >> 8) & 0xFF; }
constexpr uint8_t BlueOf(tPackedColor c) { return (c >> 16) & 0xFF; }
constexpr uint8_t AlphaOf(tPackedColor c) { return (c >> 24) & 0xFF; }
constexpr tPackedColor WithAlpha(tPackedColor c, uint8_t a) { return (c & 0x00FFFFFFu) | (static_cast<tPackedColor>(a) << 24); }
/// Exchanges the R and B bytes (packed <-> BGRA memory order).
constexpr tPackedColor SwapRedBlue(tPackedColor c)
{
    return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
}

/// Brightness of a colour as a viewer sees it (Rec. 601 weights), 0 … 255;
/// exact for greys.
constexpr double Luma(tPackedColor c) { return (299.0 * RedOf(c) + 587.0 * GreenOf(c) + 114.0 * BlueOf(c)) / 1000; }

/// Each byte as a float.
tFloatColor PackedToFloat(tPackedColor c);
/// Each component clamped to 0..255 and truncated towards zero (NaN packs as 0).
tPackedColor FloatToPacked(const tFloatColor& c);
/// Clamps a single component the way FloatToPacked does.
uint8_t PackComponent(float v);

/// Linear mix with t clamped to 0..1; each component rounded to the nearest
/// integer (ties to even) and kept as an unclamped float.
tFloatColor Lerp(const tFloatColor& a, const tFloatColor& b, double t);
