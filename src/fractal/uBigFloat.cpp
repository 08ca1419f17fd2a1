#include "uBigFloat.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

long ClampBits(long bits) { return std::max<long>(bits, MPFR_PREC_MIN); }

/// Digits, an optional point and an optional exponent, after an optional
/// sign: the forms Parse accepts. mpfr_strtofr alone would also take
/// "inf", "nan", hexadecimal and leading blanks.
bool IsDecimal(std::string_view text)
{
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        size_t exponentDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i, ++exponentDigits;
        if (exponentDigits == 0 || exponentDigits > 9)
            return false;
    }
    return i == text.size();
}

} // namespace

long BitsForView(extended magnification, int32_t size)
{
    const extended pixels = magnification * std::max<int32_t>(size, 1);
    if (!(pixels > 1))
        return 64;
    return std::max<long>(64, static_cast<long>(std::ceil(std::log2(pixels))) + 64);
}

tBigFloat::tBigFloat(long bits)
{
    mpfr_init2(value_, ClampBits(bits));
    mpfr_set_zero(value_, 1);
}

tBigFloat::tBigFloat(extended value, long bits)
{
    mpfr_init2(value_, ClampBits(bits));
    mpfr_set_ld(value_, value, MPFR_RNDN);
}

tBigFloat::tBigFloat(const tBigFloat& other)
{
    mpfr_init2(value_, mpfr_get_prec(other.value_));
    mpfr_set(value_, other.value_, MPFR_RNDN);
}

tBigFloat::tBigFloat(tBigFloat&& other) noexcept
{
    // The moved-from number keeps a valid (minimal) value of its own.
    mpfr_init2(value_, MPFR_PREC_MIN);
    mpfr_swap(value_, other.value_);
}

tBigFloat& tBigFloat::operator=(const tBigFloat& other)
{
    if (this != &other) {
        mpfr_set_prec(value_, mpfr_get_prec(other.value_));
        mpfr_set(value_, other.value_, MPFR_RNDN);
    }
    return *this;
}

tBigFloat& tBigFloat::operator=(tBigFloat&& other) noexcept
{
    if (this != &other)
        mpfr_swap(value_, other.value_);
    return *this;
}

tBigFloat::~tBigFloat() { mpfr_clear(value_); }

std::optional<tBigFloat> tBigFloat::Parse(std::string_view text, long bits)
{
    if (!IsDecimal(text))
        return std::nullopt;
    const std::string copy(text);
    tBigFloat result(bits);
    char* end = nullptr;
    mpfr_strtofr(result.value_, copy.c_str(), &end, 10, MPFR_RNDN);
    if (end != copy.c_str() + copy.size() || !mpfr_number_p(result.value_))
        return std::nullopt;
    return result;
}

long tBigFloat::Bits() const { return static_cast<long>(mpfr_get_prec(value_)); }

void tBigFloat::SetBits(long bits) { mpfr_prec_round(value_, ClampBits(bits), MPFR_RNDN); }

extended tBigFloat::ToExtended() const { return mpfr_get_ld(value_, MPFR_RNDN); }

double tBigFloat::ToDouble() const { return mpfr_get_d(value_, MPFR_RNDN); }

std::string tBigFloat::ToString(int digits) const
{
    if (mpfr_zero_p(value_))
        return "0";
    digits = std::max(digits, 2);
    mpfr_exp_t exponent = 0;
    std::vector<char> buffer(static_cast<size_t>(digits) + 8);
    mpfr_get_str(buffer.data(), &exponent, 10, static_cast<size_t>(digits), value_, MPFR_RNDN);
    std::string mantissa = buffer.data();
    std::string sign;
    if (!mantissa.empty() && mantissa[0] == '-') {
        sign = "-";
        mantissa.erase(0, 1);
    }
    // Trailing zeros of the digits say nothing.
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();
    // The value is 0.<mantissa> x 10^exponent.
    const long e = static_cast<long>(exponent);
    const long count = static_cast<long>(mantissa.size());
    if (e > 0 && e <= 40) {
        if (e >= count)
            return sign + mantissa + std::string(static_cast<size_t>(e - count), '0');
        return sign + mantissa.substr(0, static_cast<size_t>(e)) + "." + mantissa.substr(static_cast<size_t>(e));
    }
    if (e <= 0 && e > -8)
        return sign + "0." + std::string(static_cast<size_t>(-e), '0') + mantissa;
    std::string text = sign + mantissa.substr(0, 1);
    if (count > 1)
        text += "." + mantissa.substr(1);
    return text + "e" + std::to_string(e - 1);
}

tBigFloat tBigFloat::Plus(extended value) const
{
    tBigFloat result(Bits());
    tBigFloat addend(value, 64);
    mpfr_add(result.value_, value_, addend.value_, MPFR_RNDN);
    return result;
}

extended tBigFloat::Minus(const tBigFloat& other) const
{
    tBigFloat difference(std::max(Bits(), other.Bits()));
    mpfr_sub(difference.value_, value_, other.value_, MPFR_RNDN);
    return difference.ToExtended();
}

bool operator==(const tBigFloat& a, const tBigFloat& b)
{
    return a.Bits() == b.Bits() && mpfr_equal_p(a.value_, b.value_) != 0;
}

std::optional<tBigComplex> tBigComplex::Parse(std::string_view text, long bits)
{
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    auto re = tBigFloat::Parse(text.substr(0, comma), bits);
    auto im = tBigFloat::Parse(text.substr(comma + 1), bits);
    if (!re || !im)
        return std::nullopt;
    return tBigComplex{std::move(*re), std::move(*im)};
}

std::string tBigComplex::ToString(int digits) const
{
    return "[" + re.ToString(digits) + "," + im.ToString(digits) + "]";
}
