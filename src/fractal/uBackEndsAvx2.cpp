// The AVX2 back ends: "FLT32 AVX2" (32 single lanes, four 8-wide registers
// per quantity) and "FLT64 AVX2" (16 double lanes, four 4-wide registers).
// AVX2 is used only inside the region below; the rest of this file, like the
// rest of the program, is plain x86-64, and the back ends run only where the
// processor reports AVX2 (uCpuFeatures).
#include "uBackEnds.h"

#ifdef QX_HAVE_SSE_BACKENDS

#include "uBackEndKernels.h"
#include "uReferenceOrbit.h"

#include <immintrin.h>

using namespace backend_detail;

// Four vectors deep: one vector's round is a dependent chain (multiply,
// subtract, add); four interleaved vectors keep the multipliers and adders
// busy. Measured on the benchmark view, one core of an AMD EPYC: single
// precision two deep 4.3-4.9 G, four deep 5.3-7.1 G, eight deep no faster
// (the sixteen YMM registers run out); double precision likewise. 32 and 16
// lanes divide the generator's batch of 64 points.
namespace {
constexpr int kDepth = 4;
constexpr int kSingleLanes = 8 * kDepth;
constexpr int kDoubleLanes = 4 * kDepth;
using tSingleResult = tWideResult<float, kSingleLanes>;
using tDoubleResult = tWideResult<double, kDoubleLanes>;
} // namespace

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "uBackEndWide.h"
#include "uPerturbKernel.h"

namespace {

struct tAvx2Single {
    using Reg = __m256;
    using Elem = float;
    using Counter = __m256i;
    using Mask = __m256; ///< all bits set in a lane that is inside
    static constexpr int kWidth = 8;
    static QX_WIDE_INLINE Reg Load(const uint8_t* p) { return _mm256_loadu_ps(reinterpret_cast<const float*>(p)); }
    static QX_WIDE_INLINE void Store(Elem* p, Reg v) { _mm256_storeu_ps(p, v); }
    static QX_WIDE_INLINE Reg Set1(double v) { return _mm256_set1_ps(static_cast<float>(v)); }
    static QX_WIDE_INLINE Reg Add(Reg a, Reg b) { return _mm256_add_ps(a, b); }
    static QX_WIDE_INLINE Reg Sub(Reg a, Reg b) { return _mm256_sub_ps(a, b); }
    static QX_WIDE_INLINE Reg Mul(Reg a, Reg b) { return _mm256_mul_ps(a, b); }
    /// x^2 + y^2 <= bound, false for NaN (the SSE routines' compare).
    static QX_WIDE_INLINE Mask Inside(Reg d, Reg bound) { return _mm256_cmp_ps(d, bound, _CMP_LE_OQ); }
    static QX_WIDE_INLINE uint32_t Bits(Mask m) { return static_cast<uint32_t>(_mm256_movemask_ps(m)); }
    static QX_WIDE_INLINE Counter ZeroCounter() { return _mm256_setzero_si256(); }
    /// An inside lane's mask is -1: subtracting it counts one.
    static QX_WIDE_INLINE Counter CountInside(Counter n, Mask m) { return _mm256_sub_epi32(n, _mm256_castps_si256(m)); }
    static QX_WIDE_INLINE void StoreCounts(uint32_t* p, Counter n) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), n); }
};

struct tAvx2Double {
    using Reg = __m256d;
    using Elem = double;
    using Counter = __m256i; ///< 64-bit counters, read back as 32 bits
    using Mask = __m256d;
    static constexpr int kWidth = 4;
    static QX_WIDE_INLINE Reg Load(const uint8_t* p) { return _mm256_loadu_pd(reinterpret_cast<const double*>(p)); }
    static QX_WIDE_INLINE void Store(Elem* p, Reg v) { _mm256_storeu_pd(p, v); }
    static QX_WIDE_INLINE Reg Set1(double v) { return _mm256_set1_pd(v); }
    static QX_WIDE_INLINE Reg Add(Reg a, Reg b) { return _mm256_add_pd(a, b); }
    static QX_WIDE_INLINE Reg Sub(Reg a, Reg b) { return _mm256_sub_pd(a, b); }
    static QX_WIDE_INLINE Reg Mul(Reg a, Reg b) { return _mm256_mul_pd(a, b); }
    static QX_WIDE_INLINE Mask Inside(Reg d, Reg bound) { return _mm256_cmp_pd(d, bound, _CMP_LE_OQ); }
    static QX_WIDE_INLINE uint32_t Bits(Mask m) { return static_cast<uint32_t>(_mm256_movemask_pd(m)); }
    static QX_WIDE_INLINE Counter ZeroCounter() { return _mm256_setzero_si256(); }
    static QX_WIDE_INLINE Counter CountInside(Counter n, Mask m) { return _mm256_sub_epi64(n, _mm256_castpd_si256(m)); }
    static QX_WIDE_INLINE void StoreCounts(uint32_t* p, Counter n)
    {
        alignas(32) uint64_t wide[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(wide), n);
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<uint32_t>(wide[i]);
    }
};

/// Four double lanes for the perturbation kernel: the 64-bit back end's
/// arithmetic, with loads of doubles and compares read as lane bits.
struct tPerturbAvx2Ops : tAvx2Double {
    static QX_WIDE_INLINE Reg Load(const double* p) { return _mm256_loadu_pd(p); }
    static QX_WIDE_INLINE uint32_t InsideBits(Reg d, Reg bound) { return Bits(Inside(d, bound)); }
    static QX_WIDE_INLINE uint32_t LessBits(Reg a, Reg b) { return Bits(_mm256_cmp_pd(a, b, _CMP_LT_OQ)); }
};

int32_t RunPerturb(const double* cre, const double* cim, uint64_t live, int32_t lanes, int32_t limit,
                   const tPerturbationData& ref, uint32_t* counts)
{
    return PerturbLanes<tPerturbAvx2Ops, 4>(cre, cim, live, lanes, limit, ref, counts);
}

void RunSingle(const uint8_t* base, size_t rowBytes, int32_t limit, tSingleResult& out)
{
    tWideKernel<tAvx2Single, kDepth>::Run(base, rowBytes, limit, out);
}

void RunDouble(const uint8_t* base, size_t rowBytes, int32_t limit, tDoubleResult& out)
{
    tWideKernel<tAvx2Double, kDepth>::Run(base, rowBytes, limit, out);
}

} // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace backend_detail {
int32_t PerturbLanesAvx2(const double* cre, const double* cim, uint64_t live, int32_t lanes, int32_t limit,
                       const tPerturbationData& ref, uint32_t* counts)
{
    return RunPerturb(cre, cim, live, lanes, limit, ref, counts);
}
} // namespace backend_detail

int32_t IterateAvx2_32(tFractalPackedData& block)
{
    tSingleResult r;
    RunSingle(block.Block(), block.RowOffset(1), SimdLimit(block), r);
    FinishSimdRun(block, kSingleLanes, r.x, r.y, r.t, r.inside, r.counts, r.rounds);
    return r.rounds;
}

int32_t IterateAvx2_64(tFractalPackedData& block)
{
    tDoubleResult r;
    RunDouble(block.Block(), block.RowOffset(1), SimdLimit(block), r);
    FinishSimdRun(block, kDoubleLanes, r.x, r.y, r.t, r.inside, r.counts, r.rounds);
    return r.rounds;
}

#endif
