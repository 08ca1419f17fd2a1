#pragma once
// Kernel templates shared by the back-end sources (uBackEnds.cpp,
// uBackEndsSse.cpp, uBackEndsAvx2.cpp, uBackEndsAvx512.cpp); nothing outside
// the back ends includes this.
//
//   - lane-row access in the element type
//   - packed 16-bit lane counters (four lanes in a 64-bit word) and wide ones
//   - the lock-step loop of the SIMD family written portably
//   - what a wide kernel hands back, and the common end of a SIMD-family run
//     (write-back of rows 0-2, 5, 6, 15)
#include "uAssert.h"
#include "uPackedData.h"

#include <cstdint>
#include <cstring>

namespace backend_detail {

template <typename T>
inline void ReadRow(const tFractalPackedData& block, int row, T* out, int lanes)
{
    std::memcpy(out, block.Block() + block.RowOffset(row), sizeof(T) * static_cast<size_t>(lanes));
}

template <typename T>
inline void WriteRow(tFractalPackedData& block, int row, const T* in, int lanes)
{
    std::memcpy(block.Block() + block.RowOffset(row), in, sizeof(T) * static_cast<size_t>(lanes));
}

/// Four 16-bit counters in one 64-bit word, advanced with one add: the packed
/// word add of an MMX register. No carry crosses a lane while a counter stays
/// within 65 535, which the limit guarantees.
class tPackedCounters16 {
public:
    static constexpr int kLanes = 4;
    void SetIncrements(unsigned insideMask)
    {
        increments_ = 0;
        for (int i = 0; i < kLanes; ++i)
            if (insideMask & (1u << i))
                increments_ |= uint64_t{1} << (16 * i);
    }
    void ClearIncrements(unsigned escapedMask)
    {
        for (int i = 0; i < kLanes; ++i)
            if (escapedMask & (1u << i))
                increments_ &= ~(uint64_t{0xFFFF} << (16 * i));
    }
    void Add() { counters_ += increments_; }
    uint32_t Count(int lane) const { return static_cast<uint32_t>(counters_ >> (16 * lane)) & 0xFFFFu; }
    /// The counters, then the increments, as four 16-bit words each.
    void Store(uint8_t* dest) const
    {
        std::memcpy(dest, &counters_, 8);
        std::memcpy(dest + 8, &increments_, 8);
    }
    static constexpr bool kStores = true;

private:
    uint64_t counters_ = 0;
    uint64_t increments_ = 0;
};

/// 32-bit counters, for limits the 16-bit ones cannot count.
template <int kLaneCount>
class tWideCounters {
public:
    void SetIncrements(unsigned insideMask)
    {
        for (int i = 0; i < kLaneCount; ++i)
            increments_[i] = (insideMask >> i) & 1u;
    }
    void ClearIncrements(unsigned escapedMask)
    {
        for (int i = 0; i < kLaneCount; ++i)
            if (escapedMask & (1u << i))
                increments_[i] = 0;
    }
    void Add()
    {
        for (int i = 0; i < kLaneCount; ++i)
            counters_[i] += increments_[i];
    }
    uint32_t Count(int lane) const { return counters_[lane]; }
    void Store(uint8_t*) const {}
    static constexpr bool kStores = false;

private:
    uint32_t counters_[kLaneCount] = {};
    uint32_t increments_[kLaneCount] = {};
};

/// How a SIMD routine tracks its lanes: the SSE routines keep an inside mask
/// (x^2 + y^2 <= 4, recomputed every round), the 3DNow! routine an escaped
/// mask (x^2 + y^2 > 4). The escaped mask is sticky here: 3DNow! arithmetic
/// saturates instead of overflowing to NaN, so an escaped lane stayed
/// escaped on that hardware, and IEEE arithmetic must not let a lane that
/// overflowed to NaN count as back inside.
enum class tMaskKind { kInside, kEscaped };

/// What a wide kernel (AVX2, AVX-512) leaves for the common end of the run:
/// each lane's final z and t, its count, whether it was inside in its last
/// round (bit i for lane i) and the rounds run. The kernels compute on raw
/// rows and fill this, so that no code built for a wide instruction set
/// touches the lane block's own (shared, inline) functions.
template <typename T, int kLanes>
struct tWideResult {
    static_assert(kLanes <= 64, "one bit per lane in the inside mask");
    T x[kLanes];
    T y[kLanes];
    T t[kLanes];
    uint32_t counts[kLanes];
    uint64_t inside = 0;
    int32_t rounds = 0;
};

/// The common end of every SIMD-family run: the final z and t go back to rows
/// 0-2, the inside mask to int row 5, the counters are added to int row 6
/// (0 in a loaded lane, -1 in an empty one), escaped flags to int row 15 and
/// the rounds to int row 10, slot 3.
template <typename T>
inline void FinishSimdRun(tFractalPackedData& block, int lanes, const T* x, const T* y, const T* t,
                          uint64_t insideMask, const uint32_t* counts, int32_t rounds)
{
    WriteRow(block, kRowZRe, x, lanes);
    WriteRow(block, kRowZIm, y, lanes);
    WriteRow(block, kRowZProduct, t, lanes);
    // Row 15 is the last int row; one check covers every write below.
    Assert(lanes >= 4 && block.RowOffset(kRowEscaped) + 4 * static_cast<size_t>(lanes) <= tPackedData::kBlockBytes,
           "uBackEndKernels", __LINE__);
    uint8_t* masks = block.Row(kRowMasks);
    uint8_t* countRow = block.Row(kRowCount);
    uint8_t* escaped = block.Row(kRowEscaped);
    for (int i = 0; i < lanes; ++i) {
        const bool inside = (insideMask >> i) & 1u;
        const int32_t mask = inside ? -1 : 0, notMask = ~mask;
        int32_t count;
        std::memcpy(&count, countRow + 4 * i, 4);
        count += static_cast<int32_t>(counts[i]);
        std::memcpy(masks + 4 * i, &mask, 4);
        std::memcpy(countRow + 4 * i, &count, 4);
        std::memcpy(escaped + 4 * i, &notMask, 4);
    }
    block.SetInt(kSlotRounds, kRowSimdLimit, rounds);
}

/// The lock-step loop of the SIMD family in plain arithmetic of type T: every
/// round computes t, x^2, y^2 and the mask and updates every lane; only when
/// the mask changes does it branch (leave when no lane is inside, else reset
/// the increments); then every counter advances by its increment, until
/// limit rounds have been counted. Bit for bit the arithmetic of the SIMD
/// routines (IEEE operations in the same order, no contraction).
template <typename T, int kLanes, tMaskKind kKind, class tCounters>
int32_t PortableLockStep(tFractalPackedData& block, int32_t limit)
{
    T x[kLanes], y[kLanes], t[kLanes], cr[kLanes], ci[kLanes];
    ReadRow(block, kRowZRe, x, kLanes);
    ReadRow(block, kRowZIm, y, kLanes);
    ReadRow(block, kRowCRe, cr, kLanes);
    ReadRow(block, kRowCIm, ci, kLanes);
    const T bound = T(4);
    constexpr unsigned kAll = (1u << kLanes) - 1;

    tCounters counters;
    counters.SetIncrements(kAll);
    // The "previous" mask starts with every lane inside.
    unsigned previous = kKind == tMaskKind::kInside ? kAll : 0u;
    unsigned mask = previous;
    int32_t rounds = 0;
    for (;;) {
        ++rounds;
        unsigned m = 0;
        for (int i = 0; i < kLanes; ++i) {
            t[i] = x[i] * y[i];
            const T xx = x[i] * x[i];
            const T yy = y[i] * y[i];
            const T d = xx + yy;
            if constexpr (kKind == tMaskKind::kInside)
                m |= static_cast<unsigned>(d <= bound) << i;
            else
                m |= static_cast<unsigned>(d > bound) << i;
            x[i] = xx - yy + cr[i];
            y[i] = t[i] + t[i] + ci[i];
        }
        if constexpr (kKind == tMaskKind::kEscaped)
            m |= previous;
        mask = m;
        if (m != previous) {
            if (m == (kKind == tMaskKind::kInside ? 0u : kAll))
                break;
            previous = m;
            if constexpr (kKind == tMaskKind::kInside)
                counters.SetIncrements(m);
            else
                counters.ClearIncrements(m);
        }
        counters.Add();
        if (rounds >= limit)
            break;
    }

    uint32_t counts[kLanes];
    for (int i = 0; i < kLanes; ++i)
        counts[i] = counters.Count(i);
    if constexpr (tCounters::kStores)
        counters.Store(block.Block() + block.RowOffset(kRowCounters));
    const unsigned inside = kKind == tMaskKind::kInside ? mask : (~mask & kAll);
    FinishSimdRun(block, kLanes, x, y, t, inside, counts, rounds);
    return rounds;
}

/// The limit the SIMD routines read: int row 10, slot 2.
inline int32_t SimdLimit(const tFractalPackedData& block) { return block.Int(kSlotSimdLimit, kRowSimdLimit); }

} // namespace backend_detail
