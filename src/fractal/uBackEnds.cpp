// The scalar ("FPU") back ends, the portable 3DNow! back end, the back-end
// table with the choice from it, and EscapeCount. The SSE back ends live in
// uBackEndsSse.cpp, the AVX2 and AVX-512 ones in uBackEndsAvx2.cpp and
// uBackEndsAvx512.cpp.
#include "uBackEnds.h"

#include "uBackEndKernels.h"

#include <array>

using namespace backend_detail;

namespace {

using ld = long double;
constexpr ld kBound = 4.0L;
constexpr int kFpuLanes = 4;

/// The scalar family: four lanes in lock step until the first lane escapes,
/// then each remaining lane on its own. t, x^2, y^2 and the updates are
/// computed in long double (the x87's 64-bit precision); between steps each
/// lane's z is held in T, the element type of the block.
///
/// A lane whose x^2 + y^2 is exactly 4 in the step that ends the lock-step
/// phase is counted as escaped in that step (>= where the lone phase tests
/// > 4). That is the established behaviour of these routines and is kept.
template <typename T>
int32_t ScalarKernel(tFractalPackedData& block)
{
    const int32_t limit = block.iterationLimit;
    T x[kFpuLanes], y[kFpuLanes];
    // c comes from the block as a double (ReadValue) and stays one: the x87
    // adds a double straight from memory, exactly, which spares registers.
    double cr[kFpuLanes], ci[kFpuLanes];
    for (int i = 0; i < kFpuLanes; ++i) {
        x[i] = static_cast<T>(block.ReadValue(i, kRowZRe));
        y[i] = static_cast<T>(block.ReadValue(i, kRowZIm));
        cr[i] = block.ReadValue(i, kRowCRe);
        ci[i] = block.ReadValue(i, kRowCIm);
    }

    ld t[kFpuLanes], xx[kFpuLanes], yy[kFpuLanes];
    int32_t n = 0;
    for (;;) {
        ++n;
        bool escaped = false;
        for (int i = 0; i < kFpuLanes; ++i) {
            const ld lx = x[i], ly = y[i];
            t[i] = lx * ly;
            xx[i] = lx * lx;
            yy[i] = ly * ly;
            escaped |= xx[i] + yy[i] > kBound;
        }
        if (escaped)
            break;
        for (int i = 0; i < kFpuLanes; ++i) {
            x[i] = static_cast<T>(xx[i] - yy[i] + cr[i]);
            y[i] = static_cast<T>(t[i] + t[i] + ci[i]);
        }
        if (n >= limit)
            break;
    }

    int32_t counts[kFpuLanes];
    if (n >= limit) {
        for (int32_t& c : counts)
            c = n;
    } else {
        for (int i = 0; i < kFpuLanes; ++i) {
            if (xx[i] + yy[i] >= kBound) {
                counts[i] = n;
                continue;
            }
            T lx = static_cast<T>(xx[i] - yy[i] + cr[i]);
            T ly = static_cast<T>(t[i] + t[i] + ci[i]);
            int32_t j = n;
            do {
                ++j;
                const ld ax = lx, ay = ly;
                const ld at = ax * ay, axx = ax * ax, ayy = ay * ay;
                if (axx + ayy > kBound)
                    break;
                lx = static_cast<T>(axx - ayy + cr[i]);
                ly = static_cast<T>(at + at + ci[i]);
            } while (j < limit);
            counts[i] = j;
        }
    }
    for (int i = 0; i < kFpuLanes; ++i) {
        block.SetCount(i, counts[i]);
        block.MarkEscaped(i);
    }
    return n;
}

/// Limits the 16-bit counters cannot count run here: the same arithmetic and
/// count convention as the SIMD routine of that precision, with wide counters.
template <typename T, int kLanes, tMaskKind kKind>
int32_t WideLimitKernel(tFractalPackedData& block, int32_t limit)
{
    return PortableLockStep<T, kLanes, kKind, tWideCounters<kLanes>>(block, limit);
}

constexpr auto kScalar = tBackEndFamily::kScalar;
constexpr auto kSimd = tBackEndFamily::kSimd;

constexpr std::array kBackEnds = {
    tBackEnd{"FLT32 FPU", IterateFpu32, 4, kElementSingle, 2, kScalar, tCpuNeed::kNothing, 0},
    tBackEnd{"FLT32 3DN", Iterate3DNow32, 4, kElementSingle, 2, kSimd, tCpuNeed::k3DNow, 64},
#ifdef QX_HAVE_SSE_BACKENDS
    tBackEnd{"FLT32 SSE", IterateSse32, 8, kElementSingle, 2, kSimd, tCpuNeed::kSSE, 128},
    tBackEnd{"FLT32 AVX2", IterateAvx2_32, 32, kElementSingle, 2, kSimd, tCpuNeed::kAVX2, 256},
    tBackEnd{"FLT32 AVX-512", IterateAvx512_32, 64, kElementSingle, 2, kSimd, tCpuNeed::kAVX512, 512},
#endif
    tBackEnd{"FLT64 FPU", IterateFpu64, 4, kElementDouble, 3, kScalar, tCpuNeed::kNothing, 0},
#ifdef QX_HAVE_SSE_BACKENDS
    tBackEnd{"FLT64 SSE2", IterateSse2_64, 4, kElementDouble, 3, kSimd, tCpuNeed::kSSE2, 128},
    tBackEnd{"FLT64 AVX2", IterateAvx2_64, 16, kElementDouble, 3, kSimd, tCpuNeed::kAVX2, 256},
    tBackEnd{"FLT64 AVX-512", IterateAvx512_64, 32, kElementDouble, 3, kSimd, tCpuNeed::kAVX512, 512},
#endif
    tBackEnd{"FLT80 FPU", IterateFpu80, 4, kElementExtended, 4, kScalar, tCpuNeed::kNothing, 0},
};

} // namespace

int32_t IterateFpu32(tFractalPackedData& block) { return ScalarKernel<float>(block); }
int32_t IterateFpu64(tFractalPackedData& block) { return ScalarKernel<double>(block); }
int32_t IterateFpu80(tFractalPackedData& block) { return ScalarKernel<long double>(block); }

/// 3DNow! has left current processors, so this routine keeps its shape in
/// plain single-precision arithmetic: four lanes (two pairs on the original
/// hardware), an escaped mask, 16-bit counters packed into one word.
int32_t Iterate3DNow32(tFractalPackedData& block)
{
    const int32_t limit = SimdLimit(block);
    if (limit > kSimdCounterLimit)
        return WideLimitKernel<float, 4, tMaskKind::kEscaped>(block, limit);
    return PortableLockStep<float, 4, tMaskKind::kEscaped, tPackedCounters16>(block, limit);
}

namespace backend_detail {
// Used by the SSE routines for limits beyond their counters.
int32_t WideLimitSingle8(tFractalPackedData& block, int32_t limit)
{
    return WideLimitKernel<float, 8, tMaskKind::kInside>(block, limit);
}
int32_t WideLimitDouble4(tFractalPackedData& block, int32_t limit)
{
    return WideLimitKernel<double, 4, tMaskKind::kInside>(block, limit);
}
} // namespace backend_detail

std::span<const tBackEnd> BackEnds() { return kBackEnds; }

const tBackEnd* FindBackEnd(std::string_view name)
{
    for (std::span<const tBackEnd> table : {BackEnds(), PerturbationBackEnds()})
        for (const tBackEnd& b : table)
            if (name == b.name)
                return &b;
    return nullptr;
}

bool ProcessorRuns(const tBackEnd& backEnd, const tCpuFeatures& features)
{
    switch (backEnd.needs) {
    case tCpuNeed::kNothing: return true;
    case tCpuNeed::kSSE: return features.sse;
    case tCpuNeed::kSSE2: return features.sse2;
    case tCpuNeed::k3DNow: return features.amd3DNow;
    case tCpuNeed::kAVX2: return features.avx2;
    case tCpuNeed::kAVX512: return features.avx512;
    }
    return false;
}

const tBackEnd* WidestBackEnd(uint8_t precision, const tCpuFeatures& features)
{
    const tBackEnd* best = nullptr;
    const std::span<const tBackEnd> table = precision == kPrecisionPerturbation ? PerturbationBackEnds() : BackEnds();
    for (const tBackEnd& b : table)
        if (b.precision == precision && ProcessorRuns(b, features) && (!best || b.vectorBits > best->vectorBits))
            best = &b;
    return best;
}

int32_t EscapeCount(int32_t limit, long double re, long double im)
{
    ld x = re, y = im;
    int32_t i = 0;
    for (;;) {
        ++i;
        const ld t = x * y;
        const ld xx = x * x, yy = y * y;
        x = xx - yy + re;
        y = t + t + im;
        if (i >= limit || x * x + y * y > kBound)
            return i;
    }
}
