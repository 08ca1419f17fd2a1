#pragma once
// Numeric helpers shared by every layer:
//   - Round: to the nearest integer, ties to even
//   - SinDeg / CosDeg: the 1/64-degree sine table
//   - tVector2 / tVector3: vectors of 80-bit floats, with rotation by degrees
//   - tRect: integer rectangle (left, top, right, bottom)
#include <cstdint>

using extended = long double;

/// Nearest integer, halves to the even neighbour.
int64_t Round(extended x);

/// Sine of an angle in degrees from the table sin(k/64 deg), k = 0 .. 23039:
/// for a >= 0 the entry round(64a) mod 23040, and sin(-a) = -sin(a).
extended SinDeg(extended degrees);
/// cos(a) = sin(a + 90).
extended CosDeg(extended degrees);

struct tVector2 {
    extended x = 0;
    extended y = 0;

    friend tVector2 operator+(tVector2 a, tVector2 b) { return {a.x + b.x, a.y + b.y}; }
    friend tVector2 operator-(tVector2 a, tVector2 b) { return {a.x - b.x, a.y - b.y}; }
    friend tVector2 operator*(tVector2 a, extended s) { return {a.x * s, a.y * s}; }
    friend tVector2 operator*(extended s, tVector2 a) { return {a.x * s, a.y * s}; }
    friend bool operator==(tVector2 a, tVector2 b) = default;
    tVector2& operator+=(tVector2 b) { x += b.x; y += b.y; return *this; }

    /// x' = x cos a - y sin a, y' = x sin a + y cos a (a in degrees, table sines).
    tVector2 Rotated(extended degrees) const;
    extended LengthSquared() const { return x * x + y * y; }
};

struct tVector3 {
    extended x = 0;
    extended y = 0;
    extended z = 0;

    friend tVector3 operator+(tVector3 a, tVector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    friend tVector3 operator-(tVector3 a, tVector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend tVector3 operator*(tVector3 a, extended s) { return {a.x * s, a.y * s, a.z * s}; }
    friend bool operator==(tVector3 a, tVector3 b) = default;
};

struct tRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const tRect&, const tRect&) = default;
};
