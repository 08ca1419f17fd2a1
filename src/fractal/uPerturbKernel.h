#pragma once
// The perturbation kernel, written once over an operations type that wraps
// one instruction set's double-precision intrinsics (or plain doubles for the
// scalar back end). See uReferenceOrbit.h for the arithmetic.
//
// Like uBackEndWide.h, this header is included inside a region compiled for
// its instruction set and everything in it has internal linkage; it works on
// raw rows and hands counts back, never touching the lane block itself.
//
// Pixels are iterated in groups. A group is a vector of Ops::kWidth lanes
// with a mask of the lanes it iterates; they share their reference index m
// and iteration n, so every step reads one reference iterate (or one bilinear
// step) for the whole group. Each vector of loaded pixels starts as one group
// (m = 1, n = 1, d = dc). When some lanes of a group rebase and others do not,
// the rebased ones leave as a group of their own (m = 0) with a copy of the
// vector. Neighbouring pixels mostly rebase together, so groups rarely split.
//
// Two loops share the work:
//   - the fast loop advances kDepth groups interleaved by plain steps, so
//     that one group's multiplications fill the latency of the others, and
//     stops at the first event in any of them: a lane escaping or due to
//     rebase, the limit, the end of the reference, a bilinear step to look for;
//   - Settle handles a group's events one at a time until its next step is a
//     plain one again.
//
// Counts follow the SIMD family: e - 1 for a pixel whose iterate z_e is the
// first with |z_e|^2 > 4 (z_1 = c), the limit for a pixel that stays.
#include "uReferenceOrbit.h"

#include <cstdint>

namespace {

#define QX_PERTURB_INLINE inline __attribute__((always_inline))

// Not std::max and std::min: their instances would be made inside the
// instruction set's region (see above).
template <typename T>
QX_PERTURB_INLINE T Larger(T a, T b)
{
    return a < b ? b : a;
}
template <typename T>
QX_PERTURB_INLINE T Smaller(T a, T b)
{
    return b < a ? b : a;
}

template <class Ops, int kDepth>
class tPerturbKernel {
public:
    using Reg = typename Ops::Reg;
    static constexpr int kWidth = Ops::kWidth;
    static constexpr int kMaxLanes = 64;

    /// Iterates `lanes` lanes (a multiple of kWidth, at most 64) whose dc is
    /// at cre / cim; bit i of live marks lane i as loaded. Writes the counts
    /// of the live lanes and returns the largest n reached.
    static int32_t Run(const double* cre, const double* cim, uint64_t live, int32_t lanes, int32_t limit,
                       const tPerturbationData& ref, uint32_t* counts)
    {
        tRun run{ref, counts, limit, {}, 0, 0, 0};
        for (int32_t v = 0; v + kWidth <= lanes && v < kMaxLanes; v += kWidth) {
            const auto vectorLive = static_cast<uint32_t>((live >> v) & kVectorLanes);
            if (!vectorLive)
                continue;
            tGroup& g = run.groups[run.count++];
            g.cx = g.dx = Ops::Load(cre + v);
            g.cy = g.dy = Ops::Load(cim + v);
            g.lanes = vectorLive;
            g.first = v;
            g.m = 1;
            g.n = 1;
            g.nextSearch = 1;
            g.pause = kFirstPause;
        }
        // Settle every group once; then, while any remain, advance the last
        // kDepth of them together and settle those again. A group that is
        // done is replaced by the last one; one that splits appends the new
        // group at the end.
        for (int32_t i = run.count - 1; i >= 0; --i)
            if (!Settle(run, run.groups[i]))
                run.groups[i] = run.groups[--run.count];
        while (run.count > 0) {
            const int32_t k = Smaller<int32_t>(kDepth, run.count);
            const int32_t start = run.count - k;
            const uint32_t due = Dispatch<kDepth>(k, run.groups + start, run.limit, ref);
            for (int32_t i = start + k - 1; i >= start; --i)
                if (((due >> (i - start)) & 1u) && !Settle(run, run.groups[i]))
                    run.groups[i] = run.groups[--run.count];
        }
        if (ref.glitches)
            *ref.glitches += static_cast<uint64_t>(__builtin_popcountll(run.glitched));
        return run.rounds;
    }

private:
    static constexpr uint64_t kVectorLanes = (uint64_t{1} << kWidth) - 1;
    /// Plain steps between two searches for a bilinear step after a failed
    /// one, doubling up to kLastPause while they keep failing: |d| mostly
    /// grows until a rebase, so searching every step would cost more than it
    /// finds.
    static constexpr int32_t kFirstPause = 4;
    static constexpr int32_t kLastPause = 128;

    struct tGroup {
        Reg dx, dy; ///< d
        Reg cx, cy; ///< dc
        uint32_t lanes;
        int32_t first; ///< block lane of the vector's lane 0
        int32_t m;
        int32_t n;
        int32_t nextSearch; ///< n of the next search for a bilinear step
        int32_t pause;
    };
    struct tRun {
        const tPerturbationData& ref;
        uint32_t* counts;
        int32_t limit;
        tGroup groups[kMaxLanes];
        int32_t count;
        uint64_t glitched; ///< block lanes
        int32_t rounds;
    };

    /// Plain steps the group may take before it needs Settle again (at
    /// least 1 after Settle).
    static QX_PERTURB_INLINE int32_t StepsAllowed(const tGroup& g, int32_t limit, const tPerturbationData& ref)
    {
        int32_t steps = Smaller(limit - g.n, ref.length - g.m);
        if (!ref.rebase)
            return Smaller(steps, 1); // every step is checked for glitches
        if (ref.levelCount >= 2)
            steps = Smaller(steps, g.m >= 1 ? g.nextSearch - g.n : Larger(1, g.nextSearch - g.n));
        return steps;
    }

    /// Advances the k = 1 .. kDepth groups at g by plain steps until one of
    /// them has an event or needs Settle; returns which of them (bit i for
    /// g[i]) need Settle now. The others may go on as they are.
    template <int D>
    static uint32_t Dispatch(int32_t k, tGroup* g, int32_t limit, const tPerturbationData& ref)
    {
        if (k == D)
            return FastRounds<D>(g, limit, ref);
        if constexpr (D > 1)
            return Dispatch<D - 1>(k, g, limit, ref);
        return 0;
    }

    template <int D>
    static uint32_t FastRounds(tGroup* g, int32_t limit, const tPerturbationData& ref)
    {
        int32_t allowed[D];
        int32_t budget = StepsAllowed(g[0], limit, ref);
        for (int i = 0; i < D; ++i) {
            allowed[i] = StepsAllowed(g[i], limit, ref);
            budget = Smaller(budget, allowed[i]);
        }
        uint32_t events[D] = {};
        Reg dx[D], dy[D], cx[D], cy[D];
        int32_t m[D];
#pragma GCC unroll 8
        for (int i = 0; i < D; ++i) {
            dx[i] = g[i].dx;
            dy[i] = g[i].dy;
            cx[i] = g[i].cx;
            cy[i] = g[i].cy;
            m[i] = g[i].m;
        }
        const Reg four = Ops::Set1(4.0);
        // Without rebasing (a test of glitches) a lane with |z| < |d| goes on.
        const uint32_t rebasing = ref.rebase ? ~0u : 0u;
        int32_t steps = 0;
        for (; steps < budget; ++steps) {
            Reg zrx[D], zry[D], xx[D], yy[D];
            uint32_t event = 0;
#pragma GCC unroll 8
            for (int i = 0; i < D; ++i) {
                zrx[i] = Ops::Set1(ref.zRe[m[i]]);
                zry[i] = Ops::Set1(ref.zIm[m[i]]);
                const Reg zx = Ops::Add(zrx[i], dx[i]);
                const Reg zy = Ops::Add(zry[i], dy[i]);
                const Reg z2 = Ops::Add(Ops::Mul(zx, zx), Ops::Mul(zy, zy));
                xx[i] = Ops::Mul(dx[i], dx[i]);
                yy[i] = Ops::Mul(dy[i], dy[i]);
                const Reg d2 = Ops::Add(xx[i], yy[i]);
                events[i] = g[i].lanes & (~Ops::InsideBits(z2, four) | (Ops::LessBits(z2, d2) & rebasing));
                event |= events[i];
            }
            if (__builtin_expect(event != 0, 0))
                break;
#pragma GCC unroll 8
            for (int i = 0; i < D; ++i) {
                // d := 2 Z d + d^2 + dc
                const Reg tx = Ops::Sub(Ops::Mul(zrx[i], dx[i]), Ops::Mul(zry[i], dy[i]));
                const Reg ty = Ops::Add(Ops::Mul(zrx[i], dy[i]), Ops::Mul(zry[i], dx[i]));
                const Reg nx = Ops::Add(Ops::Add(Ops::Add(tx, tx), Ops::Sub(xx[i], yy[i])), cx[i]);
                const Reg ny = Ops::Add(Ops::Add(Ops::Add(ty, ty), Ops::Mul(Ops::Add(dx[i], dx[i]), dy[i])), cy[i]);
                dx[i] = nx;
                dy[i] = ny;
                ++m[i];
            }
        }
        uint32_t due = 0;
#pragma GCC unroll 8
        for (int i = 0; i < D; ++i) {
            g[i].dx = dx[i];
            g[i].dy = dy[i];
            g[i].m = m[i];
            g[i].n += steps;
            if (events[i] != 0 || steps == allowed[i])
                due |= 1u << i;
        }
        return due;
    }

    /// The bilinear step at reference index m for a group whose largest |d|^2
    /// is d2, or none: the longest that is valid and does not run past the
    /// limit. Level 0 is never taken.
    static QX_PERTURB_INLINE const tBlaStep* FindStep(const tPerturbationData& ref, int32_t m, int32_t n, double d2,
                                                      int32_t limit)
    {
        const uint32_t offset = static_cast<uint32_t>(m - 1);
        int top = ref.levelCount - 1;
        if (offset != 0)
            top = Smaller(top, __builtin_ctz(offset));
        for (int k = top; k >= 1; --k) {
            const int32_t j = static_cast<int32_t>(offset >> k);
            if (j >= ref.levelSizes[k])
                continue;
            const tBlaStep& step = ref.levels[k][j];
            if (d2 < step.radiusSquared && step.length <= limit - n)
                return &step;
        }
        return nullptr;
    }

    static QX_PERTURB_INLINE double MaxOver(Reg v, uint32_t lanes)
    {
        alignas(64) double values[kWidth];
        Ops::Store(values, v);
        double m = 0;
        for (int i = 0; i < kWidth; ++i)
            if ((lanes >> i) & 1u)
                m = Larger(m, values[i]);
        return m;
    }

    static QX_PERTURB_INLINE void SetCounts(tRun& run, const tGroup& g, uint32_t lanes, int32_t value)
    {
        for (int i = 0; i < kWidth; ++i)
            if ((lanes >> i) & 1u)
                run.counts[g.first + i] = static_cast<uint32_t>(value);
    }

    /// Handles the group's events at its current iterate until its next step
    /// is a plain one: escaped lanes and the limit end lanes, rebasing lanes
    /// restart on the reference (splitting the group when not all do), and a
    /// due search may take bilinear steps. False once no lane is left.
    static bool Settle(tRun& run, tGroup& g)
    {
        const tPerturbationData& ref = run.ref;
        const Reg four = Ops::Set1(4.0);
        for (;;) {
            const Reg zrx = Ops::Set1(ref.zRe[g.m]);
            const Reg zry = Ops::Set1(ref.zIm[g.m]);
            const Reg zx = Ops::Add(zrx, g.dx);
            const Reg zy = Ops::Add(zry, g.dy);
            const Reg z2 = Ops::Add(Ops::Mul(zx, zx), Ops::Mul(zy, zy));
            const uint32_t escaped = g.lanes & ~Ops::InsideBits(z2, four);
            if (escaped) {
                SetCounts(run, g, escaped, g.n - 1);
                g.lanes &= ~escaped;
            }
            if (g.lanes && g.n >= run.limit) {
                SetCounts(run, g, g.lanes, run.limit);
                g.lanes = 0;
            }
            if (!g.lanes) {
                run.rounds = Larger(run.rounds, g.n);
                return false;
            }

            const Reg d2 = Ops::Add(Ops::Mul(g.dx, g.dx), Ops::Mul(g.dy, g.dy));
            uint32_t rebase = g.m == ref.length ? g.lanes : g.lanes & Ops::LessBits(z2, d2);
            if (!ref.rebase) {
                const Reg reference2 = Ops::Add(Ops::Mul(zrx, zrx), Ops::Mul(zry, zry));
                const uint32_t glitched = g.lanes & Ops::LessBits(z2, Ops::Mul(reference2, Ops::Set1(kGlitchToleranceSquared)));
                run.glitched |= static_cast<uint64_t>(glitched) << g.first;
                if (g.m != ref.length)
                    rebase = 0;
            }
            if (rebase) {
                tGroup* target = &g;
                if (rebase != g.lanes) {
                    tGroup& split = run.groups[run.count++];
                    split = g;
                    split.lanes = rebase;
                    g.lanes &= ~rebase;
                    target = &split;
                }
                // d := Z_m + d, m := 0 (Z_0 = 0): the same iterate z.
                target->dx = zx;
                target->dy = zy;
                target->m = 0;
                target->nextSearch = target->n;
                target->pause = kFirstPause;
                if (target == &g) {
                    // z and d are now the same and Z_0 = 0: the step from the
                    // reference's start is d := d^2 + dc, taken here so that
                    // the search at m = 1 follows at once.
                    if (g.n >= run.limit)
                        continue;
                    const Reg nx = Ops::Add(Ops::Sub(Ops::Mul(g.dx, g.dx), Ops::Mul(g.dy, g.dy)), g.cx);
                    const Reg ny = Ops::Add(Ops::Mul(Ops::Add(g.dx, g.dx), g.dy), g.cy);
                    g.dx = nx;
                    g.dy = ny;
                    g.m = 1;
                    ++g.n;
                    continue;
                }
            }

            if (ref.levelCount >= 2 && g.m >= 1 && g.n >= g.nextSearch) {
                if (const tBlaStep* step = FindStep(ref, g.m, g.n, MaxOver(d2, g.lanes), run.limit)) {
                    const Reg ax = Ops::Set1(step->ax), ay = Ops::Set1(step->ay);
                    const Reg bx = Ops::Set1(step->bx), by = Ops::Set1(step->by);
                    const Reg nx = Ops::Add(Ops::Sub(Ops::Mul(ax, g.dx), Ops::Mul(ay, g.dy)),
                                            Ops::Sub(Ops::Mul(bx, g.cx), Ops::Mul(by, g.cy)));
                    const Reg ny = Ops::Add(Ops::Add(Ops::Mul(ax, g.dy), Ops::Mul(ay, g.dx)),
                                            Ops::Add(Ops::Mul(bx, g.cy), Ops::Mul(by, g.cx)));
                    g.dx = nx;
                    g.dy = ny;
                    g.m += step->length;
                    g.n += step->length;
                    g.nextSearch = g.n;
                    g.pause = kFirstPause;
                    continue;
                }
                // Beyond every radius of the table no search can succeed
                // before a rebase shrinks d again.
                g.nextSearch = MaxOver(d2, g.lanes) >= ref.largestRadiusSquared ? run.limit : g.n + g.pause;
                g.pause = Smaller(g.pause * 2, kLastPause);
            }
            return true;
        }
    }
};

/// The kernel over `lanes` lanes (a multiple of its width); returns the
/// largest n reached.
template <class Ops, int kDepth>
int32_t PerturbLanes(const double* cre, const double* cim, uint64_t live, int32_t lanes, int32_t limit,
                     const tPerturbationData& ref, uint32_t* counts)
{
    return tPerturbKernel<Ops, kDepth>::Run(cre, cim, live, lanes, limit, ref, counts);
}

} // namespace
