#pragma once
// Numbers of any precision for views deeper than a long double can place:
// tBigFloat owns one MPFR number (binary floating point with a precision in
// bits chosen per number, rounding to nearest), tBigComplex is a point of
// the complex plane made of two. They hold reference points and zoom
// targets; the bulk arithmetic of a picture stays in doubles (see
// uReferenceOrbit.h).
//
// Decimal text is read and written with a point as the separator whatever
// the locale.
#include "uMath.h"

#include <mpfr.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// Bits a coordinate needs so that a view of this magnification, size pixels
/// wide, can still tell its pixels apart with guard bits to spare: at least
/// 64 (a long double's mantissa), else log2(magnification x size) + 64.
long BitsForView(extended magnification, int32_t size);

class tBigFloat {
public:
    /// Zero with the given precision in bits (at least MPFR's minimum).
    explicit tBigFloat(long bits = 64);
    tBigFloat(extended value, long bits);
    tBigFloat(const tBigFloat& other);
    tBigFloat(tBigFloat&& other) noexcept;
    tBigFloat& operator=(const tBigFloat& other);
    tBigFloat& operator=(tBigFloat&& other) noexcept;
    ~tBigFloat();

    /// A decimal number ("-1.25", "3e-40", "+.5") read exactly to the
    /// precision; none for anything else (empty, spaces, trailing text, NaN,
    /// infinities).
    static std::optional<tBigFloat> Parse(std::string_view text, long bits);

    long Bits() const;
    /// Rounds the value to a new precision.
    void SetBits(long bits);

    extended ToExtended() const;
    double ToDouble() const;
    /// Decimal text with the given significant digits, "0" for zero, in
    /// plain notation while the exponent allows, else with an exponent
    /// ("1.5e-40").
    std::string ToString(int digits) const;

    /// this + value, with this number's precision.
    tBigFloat Plus(extended value) const;
    /// this - other, rounded to a long double: the offset between two
    /// nearby points, exact to the long double's precision.
    extended Minus(const tBigFloat& other) const;

    /// The same value with the same precision.
    friend bool operator==(const tBigFloat& a, const tBigFloat& b);

    mpfr_ptr get() { return value_; }
    mpfr_srcptr get() const { return value_; }

private:
    mpfr_t value_;
};

struct tBigComplex {
    tBigFloat re;
    tBigFloat im;

    explicit tBigComplex(long bits = 64) : re(bits), im(bits) {}
    tBigComplex(tBigFloat r, tBigFloat i) : re(std::move(r)), im(std::move(i)) {}
    tBigComplex(extended r, extended i, long bits) : re(r, bits), im(i, bits) {}

    /// "RE,IM" with any number of decimal digits each; none otherwise.
    static std::optional<tBigComplex> Parse(std::string_view text, long bits);

    long Bits() const { return re.Bits(); }
    void SetBits(long bits)
    {
        re.SetBits(bits);
        im.SetBits(bits);
    }
    /// The point shifted by a small offset, with this point's precision.
    tBigComplex Plus(const tVector2& offset) const { return {re.Plus(offset.x), im.Plus(offset.y)}; }
    /// this - other as long doubles.
    tVector2 Minus(const tBigComplex& other) const { return {re.Minus(other.re), im.Minus(other.im)}; }
    tVector2 ToVector() const { return {re.ToExtended(), im.ToExtended()}; }
    /// "[re,im]" with the given significant digits each.
    std::string ToString(int digits) const;
    friend bool operator==(const tBigComplex& a, const tBigComplex& b) { return a.re == b.re && a.im == b.im; }
};
