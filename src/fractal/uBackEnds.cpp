// The scalar ("FPU") back ends, the portable 3DNow! back end, the back-end
// table and EscapeCount. The SSE back ends live in uBackEndsSse.cpp.
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

constexpr std::array kBackEnds = {
    tBackEnd{"FLT32 FPU", IterateFpu32, 4, kElementSingle, 2, tBackEndFamily::kScalar, tCpuNeed::kNothing},
    tBackEnd{"FLT32 3DN", Iterate3DNow32, 4, kElementSingle, 2, tBackEndFamily::kSimd, tCpuNeed::k3DNow},
#ifdef QX_HAVE_SSE_BACKENDS
    tBackEnd{"FLT32 SSE", IterateSse32, 8, kElementSingle, 2, tBackEndFamily::kSimd, tCpuNeed::kSSE},
#endif
    tBackEnd{"FLT64 FPU", IterateFpu64, 4, kElementDouble, 3, tBackEndFamily::kScalar, tCpuNeed::kNothing},
#ifdef QX_HAVE_SSE_BACKENDS
    tBackEnd{"FLT64 SSE2", IterateSse2_64, 4, kElementDouble, 3, tBackEndFamily::kSimd, tCpuNeed::kSSE2},
#endif
    tBackEnd{"FLT80 FPU", IterateFpu80, 4, kElementExtended, 4, tBackEndFamily::kScalar, tCpuNeed::kNothing},
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
    for (const tBackEnd& b : kBackEnds)
        if (name == b.name)
            return &b;
    return nullptr;
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
