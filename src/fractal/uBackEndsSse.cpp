// The SSE back ends: "FLT32 SSE" (eight single lanes, two 4-wide registers
// per quantity) and "FLT64 SSE2" (four double lanes, two 2-wide registers).
// Plain x86-64 baseline intrinsics; nothing here needs more than SSE2.
#include "uBackEnds.h"

#ifdef QX_HAVE_SSE_BACKENDS

#include "uBackEndKernels.h"
#include "uReferenceOrbit.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include "uPerturbKernel.h"

namespace backend_detail {
int32_t WideLimitSingle8(tFractalPackedData& block, int32_t limit);
int32_t WideLimitDouble4(tFractalPackedData& block, int32_t limit);
} // namespace backend_detail

using namespace backend_detail;

namespace {

#define QX_INLINE inline __attribute__((always_inline))

struct tSingleOps {
    using Reg = __m128;
    using Elem = float;
    static constexpr int kWidth = 4;
    static QX_INLINE Reg Load(const uint8_t* p) { return _mm_load_ps(reinterpret_cast<const float*>(p)); }
    static QX_INLINE void Store(uint8_t* p, Reg v) { _mm_store_ps(reinterpret_cast<float*>(p), v); }
    static QX_INLINE Reg Set1(double v) { return _mm_set1_ps(static_cast<float>(v)); }
    static QX_INLINE Reg Add(Reg a, Reg b) { return _mm_add_ps(a, b); }
    static QX_INLINE Reg Sub(Reg a, Reg b) { return _mm_sub_ps(a, b); }
    static QX_INLINE Reg Mul(Reg a, Reg b) { return _mm_mul_ps(a, b); }
    /// One bit per lane: x^2 + y^2 <= bound (false for NaN).
    static QX_INLINE unsigned InsideBits(Reg d, Reg bound) { return static_cast<unsigned>(_mm_movemask_ps(_mm_cmple_ps(d, bound))); }
};

struct tDoubleOps {
    using Reg = __m128d;
    using Elem = double;
    static constexpr int kWidth = 2;
    static QX_INLINE Reg Load(const uint8_t* p) { return _mm_load_pd(reinterpret_cast<const double*>(p)); }
    static QX_INLINE void Store(uint8_t* p, Reg v) { _mm_store_pd(reinterpret_cast<double*>(p), v); }
    static QX_INLINE Reg Set1(double v) { return _mm_set1_pd(v); }
    static QX_INLINE Reg Add(Reg a, Reg b) { return _mm_add_pd(a, b); }
    static QX_INLINE Reg Sub(Reg a, Reg b) { return _mm_sub_pd(a, b); }
    static QX_INLINE Reg Mul(Reg a, Reg b) { return _mm_mul_pd(a, b); }
    static QX_INLINE unsigned InsideBits(Reg d, Reg bound) { return static_cast<unsigned>(_mm_movemask_pd(_mm_cmple_pd(d, bound))); }
};

/// 16-bit increments: 1 in every lane whose bit is set in the mask, 0 in the
/// others and in 16-bit slots beyond the lanes.
template <int kLanes>
QX_INLINE __m128i IncrementsFor(unsigned mask)
{
    static_assert(kLanes == 4 || kLanes == 8);
    const __m128i bits = kLanes == 8 ? _mm_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128)
                                     : _mm_setr_epi16(1, 2, 4, 8, 0, 0, 0, 0);
    const __m128i picked = _mm_and_si128(_mm_set1_epi16(static_cast<short>(mask)), bits);
    const __m128i outside = _mm_cmpeq_epi16(picked, _mm_setzero_si128());
    return _mm_andnot_si128(outside, _mm_set1_epi16(1));
}

/// The lock-step loop of the SSE routines. Rows 0-4 live in registers for the
/// whole run; a round is t, x^2, y^2, the inside mask and the update of both
/// register halves, then one packed 16-bit add of the increments. The only
/// branch taken inside the loop is the one when the inside set changes.
template <class Ops>
int32_t SseKernel(tFractalPackedData& block, int32_t limit)
{
    using Reg = typename Ops::Reg;
    constexpr int W = Ops::kWidth;
    constexpr int kLanes = 2 * W;
    constexpr unsigned kAll = (1u << kLanes) - 1;
    constexpr size_t kHalf = 16;

    uint8_t* base = block.Block();
    const size_t rowBytes = block.RowOffset(1);
    const auto row = [&](int r) { return base + static_cast<size_t>(r) * rowBytes; };

    Reg x0 = Ops::Load(row(kRowZRe)), x1 = Ops::Load(row(kRowZRe) + kHalf);
    Reg y0 = Ops::Load(row(kRowZIm)), y1 = Ops::Load(row(kRowZIm) + kHalf);
    const Reg cr0 = Ops::Load(row(kRowCRe)), cr1 = Ops::Load(row(kRowCRe) + kHalf);
    const Reg ci0 = Ops::Load(row(kRowCIm)), ci1 = Ops::Load(row(kRowCIm) + kHalf);
    const Reg bound = Ops::Set1(4.0);
    Reg t0 = Ops::Set1(0.0), t1 = t0;

    __m128i counters = _mm_setzero_si128();
    __m128i increments = IncrementsFor<kLanes>(kAll);
    unsigned previous = kAll;
    unsigned mask = kAll;
    int32_t rounds = 0;
    for (;;) {
        ++rounds;
        t0 = Ops::Mul(x0, y0);
        t1 = Ops::Mul(x1, y1);
        const Reg xx0 = Ops::Mul(x0, x0), xx1 = Ops::Mul(x1, x1);
        const Reg yy0 = Ops::Mul(y0, y0), yy1 = Ops::Mul(y1, y1);
        mask = Ops::InsideBits(Ops::Add(xx0, yy0), bound) | (Ops::InsideBits(Ops::Add(xx1, yy1), bound) << W);
        x0 = Ops::Add(Ops::Sub(xx0, yy0), cr0);
        x1 = Ops::Add(Ops::Sub(xx1, yy1), cr1);
        y0 = Ops::Add(Ops::Add(t0, t0), ci0);
        y1 = Ops::Add(Ops::Add(t1, t1), ci1);
        if (__builtin_expect(mask != previous, 0)) {
            if (mask == 0)
                break;
            previous = mask;
            increments = IncrementsFor<kLanes>(mask);
        }
        counters = _mm_add_epi16(counters, increments);
        if (rounds >= limit)
            break;
    }

    alignas(16) typename Ops::Elem x[kLanes], y[kLanes], t[kLanes];
    Ops::Store(reinterpret_cast<uint8_t*>(x), x0);
    Ops::Store(reinterpret_cast<uint8_t*>(x) + kHalf, x1);
    Ops::Store(reinterpret_cast<uint8_t*>(y), y0);
    Ops::Store(reinterpret_cast<uint8_t*>(y) + kHalf, y1);
    Ops::Store(reinterpret_cast<uint8_t*>(t), t0);
    Ops::Store(reinterpret_cast<uint8_t*>(t) + kHalf, t1);
    alignas(16) uint16_t lanes16[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes16), counters);
    uint32_t counts[kLanes];
    for (int i = 0; i < kLanes; ++i)
        counts[i] = lanes16[i];
    // Row 9 keeps the counters followed by the increments, 16 bits per lane.
    uint8_t* counterRow = row(kRowCounters);
    std::memcpy(counterRow, lanes16, 2 * kLanes);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes16), increments);
    std::memcpy(counterRow + 2 * kLanes, lanes16, 2 * kLanes);
    FinishSimdRun(block, kLanes, x, y, t, mask, counts, rounds);
    return rounds;
}

/// Two double lanes for the perturbation kernel.
struct tPerturbSse2Ops {
    using Reg = __m128d;
    static constexpr int kWidth = 2;
    static QX_INLINE Reg Load(const double* p) { return _mm_loadu_pd(p); }
    static QX_INLINE void Store(double* p, Reg v) { _mm_storeu_pd(p, v); }
    static QX_INLINE Reg Set1(double v) { return _mm_set1_pd(v); }
    static QX_INLINE Reg Add(Reg a, Reg b) { return _mm_add_pd(a, b); }
    static QX_INLINE Reg Sub(Reg a, Reg b) { return _mm_sub_pd(a, b); }
    static QX_INLINE Reg Mul(Reg a, Reg b) { return _mm_mul_pd(a, b); }
    static QX_INLINE uint32_t InsideBits(Reg d, Reg bound) { return static_cast<uint32_t>(_mm_movemask_pd(_mm_cmple_pd(d, bound))); }
    static QX_INLINE uint32_t LessBits(Reg a, Reg b) { return static_cast<uint32_t>(_mm_movemask_pd(_mm_cmplt_pd(a, b))); }
};

} // namespace

namespace backend_detail {
int32_t PerturbLanesSse2(const double* cre, const double* cim, uint64_t live, int32_t lanes, int32_t limit,
                         const tPerturbationData& ref, uint32_t* counts)
{
    return PerturbLanes<tPerturbSse2Ops, 4>(cre, cim, live, lanes, limit, ref, counts);
}
} // namespace backend_detail

int32_t IterateSse32(tFractalPackedData& block)
{
    const int32_t limit = SimdLimit(block);
    if (limit > kSimdCounterLimit)
        return WideLimitSingle8(block, limit);
    return SseKernel<tSingleOps>(block, limit);
}

int32_t IterateSse2_64(tFractalPackedData& block)
{
    const int32_t limit = SimdLimit(block);
    if (limit > kSimdCounterLimit)
        return WideLimitDouble4(block, limit);
    return SseKernel<tDoubleOps>(block, limit);
}

#endif
