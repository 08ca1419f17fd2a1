#include "uPackedData.h"

#include "uAssert.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace {

constexpr float kBound = 4.0f;

} // namespace

int32_t ElementSizeOf(uint8_t type)
{
    switch (type) {
    case kElementInt32:
    case kElementSingle:
        return 4;
    case kElementDouble:
        return 8;
    case kElementExtended:
        return 10;
    default:
        return 0;
    }
}

void EncodeExtended80Portable(long double value, void* dest)
{
    uint64_t mantissa = 0;
    uint16_t signExponent = std::signbit(value) ? 0x8000 : 0;
    if (std::isnan(value)) {
        signExponent |= 0x7FFF;
        mantissa = 0xC000000000000000ull;
    } else if (std::isinf(value)) {
        signExponent |= 0x7FFF;
        mantissa = 0x8000000000000000ull;
    } else if (value != 0) {
        int exponent = 0;
        const long double fraction = std::frexp(std::fabs(value), &exponent); // [0.5, 1)
        // value = fraction * 2^exponent = mantissa * 2^(biased - 16383 - 63)
        // with the integer bit (bit 63) explicit.
        const int biased = exponent - 1 + 16383;
        if (biased > 0) {
            mantissa = static_cast<uint64_t>(std::ldexp(fraction, 64));
            signExponent |= static_cast<uint16_t>(biased);
        }
        // else: below this format's normal range, which no double reaches: zero.
    }
    auto* out = static_cast<uint8_t*>(dest);
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<uint8_t>(mantissa >> (8 * i));
    out[8] = static_cast<uint8_t>(signExponent);
    out[9] = static_cast<uint8_t>(signExponent >> 8);
}

long double DecodeExtended80Portable(const void* src)
{
    const auto* in = static_cast<const uint8_t*>(src);
    uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa |= static_cast<uint64_t>(in[i]) << (8 * i);
    const int signExponent = in[8] | (in[9] << 8);
    const bool negative = (signExponent & 0x8000) != 0;
    const int exponent = signExponent & 0x7FFF;
    long double value;
    if (exponent == 0x7FFF)
        value = (mantissa << 1) != 0 ? std::numeric_limits<long double>::quiet_NaN()
                                     : std::numeric_limits<long double>::infinity();
    else
        value = std::ldexp(static_cast<long double>(mantissa), (exponent == 0 ? 1 : exponent) - 16383 - 63);
    return negative ? -value : value;
}

void EncodeExtended80(long double value, void* dest)
{
#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384
    std::memcpy(dest, &value, 10);
#else
    EncodeExtended80Portable(value, dest);
#endif
}

long double DecodeExtended80(const void* src)
{
#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384
    long double value = 0;
    std::memcpy(&value, src, 10);
    return value;
#else
    return DecodeExtended80Portable(src);
#endif
}

tPackedData::tPackedData()
    : template_(new uint8_t[kAllocationBytes]()), raw_(new uint8_t[kAllocationBytes]())
{
    const auto address = reinterpret_cast<uintptr_t>(raw_.get());
    block_ = raw_.get() + ((16 - address % 16) % 16);
}

tPackedData::~tPackedData() = default;

void tPackedData::SetLanes(int32_t n)
{
    lanes_ = n;
    ClearBlock();
}

void tPackedData::SetElementType(uint8_t t)
{
    elementType_ = t;
    elementSize_ = ElementSizeOf(t);
    ClearBlock();
}

void tPackedData::ClearBlock() { std::memset(block_, 0, kBlockBytes); }

void tPackedData::SaveTemplate()
{
    // A block of absurd size copies no more than the allocation holds.
    std::memcpy(template_.get(), block_, std::min(UsedBytes(), kBlockBytes));
    ++templateSaves_;
}

void tPackedData::RestoreTemplate()
{
    std::memcpy(block_, template_.get(), std::min(UsedBytes(), kBlockBytes));
}

uint8_t* tPackedData::ValueAddress(int32_t index)
{
    return const_cast<uint8_t*>(std::as_const(*this).ValueAddress(index));
}

const uint8_t* tPackedData::ValueAddress(int32_t index) const
{
    const size_t offset = static_cast<size_t>(index) * static_cast<size_t>(elementSize_);
    Assert(index >= 0 && offset + static_cast<size_t>(elementSize_) <= kBlockBytes, "uPackedData", __LINE__);
    return block_ + offset;
}

double tPackedData::ReadValue(int32_t lane, int32_t row) const
{
    if (elementSize_ == 0)
        return 0;
    const uint8_t* p = ValueAddress(lane + row * lanes_);
    switch (elementType_) {
    case kElementInt32: {
        int32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    case kElementSingle: {
        float v;
        std::memcpy(&v, p, 4);
        return v;
    }
    case kElementDouble: {
        double v;
        std::memcpy(&v, p, 8);
        return v;
    }
    case kElementExtended:
        return static_cast<double>(DecodeExtended80(p));
    default:
        return 0;
    }
}

void tPackedData::StoreValue(int32_t index, double value)
{
    if (elementSize_ == 0)
        return;
    uint8_t* p = ValueAddress(index);
    switch (elementType_) {
    case kElementInt32: {
        // Truncation towards zero; out-of-range values saturate instead of
        // being undefined behaviour.
        int32_t v = 0;
        if (value >= 2147483647.0)
            v = std::numeric_limits<int32_t>::max();
        else if (value <= -2147483648.0)
            v = std::numeric_limits<int32_t>::min();
        else if (value == value)
            v = static_cast<int32_t>(value);
        std::memcpy(p, &v, 4);
        break;
    }
    case kElementSingle: {
        const float v = static_cast<float>(value);
        std::memcpy(p, &v, 4);
        break;
    }
    case kElementDouble:
        std::memcpy(p, &value, 8);
        break;
    case kElementExtended:
        EncodeExtended80(value, p);
        break;
    default:
        break;
    }
}

namespace {

template <typename T>
inline void StoreAs(uint8_t* p, double value)
{
    const T v = static_cast<T>(value);
    std::memcpy(p, &v, sizeof(T));
}

} // namespace

void tPackedData::StoreLane(int32_t lane, std::initializer_list<int32_t> rows, double value)
{
    switch (elementType_) {
    case kElementSingle:
        for (int32_t row : rows)
            StoreAs<float>(ValueAddress(lane + row * lanes_), value);
        break;
    case kElementDouble:
        for (int32_t row : rows)
            StoreAs<double>(ValueAddress(lane + row * lanes_), value);
        break;
    default:
        for (int32_t row : rows)
            StoreValue(lane + row * lanes_, value);
        break;
    }
}

void tPackedData::SetLaneDefaults(int32_t lane, double re, double im)
{
    StoreLane(lane, {kRowZRe, kRowCRe}, re);
    StoreLane(lane, {kRowZIm, kRowCIm}, im);
    StoreLane(lane, {kRowZProduct}, 0);
    SetInt(lane, kRowMasks, 0);
    SetInt(lane, kRowCount, 0);
    StoreLane(lane, {kRowBound, kRowCounters}, kBound);
}

void tPackedData::ClearLane(int32_t lane)
{
    StoreLane(lane, {kRowZRe, kRowZIm, kRowZProduct, kRowCRe, kRowCIm}, 0);
    SetInt(lane, kRowMasks, 0);
    SetInt(lane, kRowCount, -1);
}

namespace {

/// z := c := (re[j], im[j]) and count 0 in lanes 0 .. n - 1 of a single or
/// double block, with one bounds check for all of them (row 6 is the
/// highest row written).
template <typename T>
inline void LoadPointsAs(uint8_t* block, size_t rowBytes, int32_t n, const double* re, const double* im)
{
    Assert(n >= 0 && kRowCount * rowBytes + sizeof(T) * static_cast<size_t>(n) <= tPackedData::kBlockBytes &&
               sizeof(T) * static_cast<size_t>(n) <= rowBytes,
           "uPackedData", __LINE__);
    constexpr int32_t kLoaded = 0;
    for (int32_t j = 0; j < n; ++j) {
        const size_t at = sizeof(T) * static_cast<size_t>(j);
        const T r = static_cast<T>(re[j]), i = static_cast<T>(im[j]);
        std::memcpy(block + kRowZRe * rowBytes + at, &r, sizeof(T));
        std::memcpy(block + kRowCRe * rowBytes + at, &r, sizeof(T));
        std::memcpy(block + kRowZIm * rowBytes + at, &i, sizeof(T));
        std::memcpy(block + kRowCIm * rowBytes + at, &i, sizeof(T));
        std::memcpy(block + kRowCount * rowBytes + 4 * static_cast<size_t>(j), &kLoaded, 4);
    }
}

} // namespace

void tPackedData::LoadPoint(int32_t lane, double re, double im)
{
    StoreLane(lane, {kRowZRe, kRowCRe}, re);
    StoreLane(lane, {kRowZIm, kRowCIm}, im);
    SetInt(lane, kRowCount, 0);
}

void tPackedData::LoadPoints(int32_t n, const double* re, const double* im)
{
    // Runs once per chunk of every batch: the element types of the SIMD back
    // ends take the direct way.
    if (elementType_ == kElementSingle) {
        LoadPointsAs<float>(block_, RowOffset(1), n, re, im);
    } else if (elementType_ == kElementDouble) {
        LoadPointsAs<double>(block_, RowOffset(1), n, re, im);
    } else {
        for (int32_t j = 0; j < n; ++j)
            LoadPoint(j, re[j], im[j]);
    }
}
