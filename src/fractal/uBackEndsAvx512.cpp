// The AVX-512 back ends: "FLT32 AVX-512" (64 single lanes, four 16-wide
// registers per quantity) and "FLT64 AVX-512" (32 double lanes, four 8-wide
// registers). Only AVX-512F is used, and only inside the region below; the
// rest of this file, like the rest of the program, is plain x86-64, and the
// back ends run only where the processor reports AVX-512F (uCpuFeatures).
#include "uBackEnds.h"

#ifdef QX_HAVE_SSE_BACKENDS

#include "uBackEndKernels.h"
#include "uReferenceOrbit.h"

#include <immintrin.h>

using namespace backend_detail;

// Four vectors deep: one vector's round is a dependent chain (multiply,
// subtract, add) that leaves the multipliers and adders idle most of the
// time; four interleaved vectors keep them busy. Measured on the benchmark
// view, one core of an AMD EPYC, single precision: 16 lanes alone 4.8 G, two
// deep 7.7 G, four deep 10-13 G iterations per second; in double precision
// eight deep (64 lanes) was no faster than four. 64 and 32 lanes divide the
// generator's batch of 64 points, so no batch leaves lanes empty.
namespace {
constexpr int kDepth = 4;
constexpr int kSingleLanes = 16 * kDepth;
constexpr int kDoubleLanes = 8 * kDepth;
using tSingleResult = tWideResult<float, kSingleLanes>;
using tDoubleResult = tWideResult<double, kDoubleLanes>;
} // namespace

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f")
#endif

#include "uBackEndWide.h"
#include "uPerturbKernel.h"

namespace {

struct tAvx512Single {
    using Reg = __m512;
    using Elem = float;
    using Counter = __m512i;
    using Mask = __mmask16;
    static constexpr int kWidth = 16;
    static QX_WIDE_INLINE Reg Load(const uint8_t* p) { return _mm512_loadu_ps(p); }
    static QX_WIDE_INLINE void Store(Elem* p, Reg v) { _mm512_storeu_ps(p, v); }
    static QX_WIDE_INLINE Reg Set1(double v) { return _mm512_set1_ps(static_cast<float>(v)); }
    static QX_WIDE_INLINE Reg Add(Reg a, Reg b) { return _mm512_add_ps(a, b); }
    static QX_WIDE_INLINE Reg Sub(Reg a, Reg b) { return _mm512_sub_ps(a, b); }
    static QX_WIDE_INLINE Reg Mul(Reg a, Reg b) { return _mm512_mul_ps(a, b); }
    /// x^2 + y^2 <= bound, false for NaN (the SSE routines' compare).
    static QX_WIDE_INLINE Mask Inside(Reg d, Reg bound) { return _mm512_cmp_ps_mask(d, bound, _CMP_LE_OQ); }
    static QX_WIDE_INLINE uint32_t Bits(Mask m) { return m; }
    static QX_WIDE_INLINE Counter ZeroCounter() { return _mm512_setzero_si512(); }
    static QX_WIDE_INLINE Counter CountInside(Counter n, Mask m) { return _mm512_mask_add_epi32(n, m, n, _mm512_set1_epi32(1)); }
    static QX_WIDE_INLINE void StoreCounts(uint32_t* p, Counter n) { _mm512_storeu_si512(p, n); }
};

struct tAvx512Double {
    using Reg = __m512d;
    using Elem = double;
    using Counter = __m512i; ///< 64-bit counters: counted with the compare's own 8-bit mask
    using Mask = __mmask8;
    static constexpr int kWidth = 8;
    static QX_WIDE_INLINE Reg Load(const uint8_t* p) { return _mm512_loadu_pd(p); }
    static QX_WIDE_INLINE void Store(Elem* p, Reg v) { _mm512_storeu_pd(p, v); }
    static QX_WIDE_INLINE Reg Set1(double v) { return _mm512_set1_pd(v); }
    static QX_WIDE_INLINE Reg Add(Reg a, Reg b) { return _mm512_add_pd(a, b); }
    static QX_WIDE_INLINE Reg Sub(Reg a, Reg b) { return _mm512_sub_pd(a, b); }
    static QX_WIDE_INLINE Reg Mul(Reg a, Reg b) { return _mm512_mul_pd(a, b); }
    static QX_WIDE_INLINE Mask Inside(Reg d, Reg bound) { return _mm512_cmp_pd_mask(d, bound, _CMP_LE_OQ); }
    static QX_WIDE_INLINE uint32_t Bits(Mask m) { return m; }
    static QX_WIDE_INLINE Counter ZeroCounter() { return _mm512_setzero_si512(); }
    static QX_WIDE_INLINE Counter CountInside(Counter n, Mask m) { return _mm512_mask_add_epi64(n, m, n, _mm512_set1_epi64(1)); }
    static QX_WIDE_INLINE void StoreCounts(uint32_t* p, Counter n)
    {
        alignas(64) uint64_t wide[8];
        _mm512_store_si512(wide, n);
        for (int i = 0; i < 8; ++i)
            p[i] = static_cast<uint32_t>(wide[i]);
    }
};

/// Eight double lanes for the perturbation kernel: the 64-bit back end's
/// arithmetic, with loads of doubles and compares read as lane bits.
struct tPerturbAvx512Ops : tAvx512Double {
    static QX_WIDE_INLINE Reg Load(const double* p) { return _mm512_loadu_pd(p); }
    static QX_WIDE_INLINE uint32_t InsideBits(Reg d, Reg bound) { return Bits(Inside(d, bound)); }
    static QX_WIDE_INLINE uint32_t LessBits(Reg a, Reg b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
};

int32_t RunPerturb(const double* cre, const double* cim, uint64_t live, int32_t lanes, int32_t limit,
                   const tPerturbationData& ref, uint32_t* counts)
{
    return PerturbLanes<tPerturbAvx512Ops, 4>(cre, cim, live, lanes, limit, ref, counts);
}

void RunSingle(const uint8_t* base, size_t rowBytes, int32_t limit, tSingleResult& out)
{
    tWideKernel<tAvx512Single, kDepth>::Run(base, rowBytes, limit, out);
}

void RunDouble(const uint8_t* base, size_t rowBytes, int32_t limit, tDoubleResult& out)
{
    tWideKernel<tAvx512Double, kDepth>::Run(base, rowBytes, limit, out);
}

} // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace backend_detail {
int32_t PerturbLanesAvx512(const double* cre, const double* cim, uint64_t live, int32_t lanes, int32_t limit,
                       const tPerturbationData& ref, uint32_t* counts)
{
    return RunPerturb(cre, cim, live, lanes, limit, ref, counts);
}
} // namespace backend_detail

int32_t IterateAvx512_32(tFractalPackedData& block)
{
    tSingleResult r;
    RunSingle(block.Block(), block.RowOffset(1), SimdLimit(block), r);
    FinishSimdRun(block, kSingleLanes, r.x, r.y, r.t, r.inside, r.counts, r.rounds);
    return r.rounds;
}

int32_t IterateAvx512_64(tFractalPackedData& block)
{
    tDoubleResult r;
    RunDouble(block.Block(), block.RowOffset(1), SimdLimit(block), r);
    FinishSimdRun(block, kDoubleLanes, r.x, r.y, r.t, r.inside, r.counts, r.rounds);
    return r.rounds;
}

#endif
