#pragma once
// The lock-step kernel of the wide back ends (AVX2, AVX-512), written once
// over an operations type that wraps one instruction set's intrinsics.
//
// Include uBackEndKernels.h first, outside the region, and this header only
// inside a region compiled for the wide instruction set (see
// uBackEndsAvx2.cpp). Everything here has internal linkage: an inline
// function with external linkage built for a wide instruction set could be
// the copy the linker keeps for every caller, including those that run on a
// plain x86-64 processor. That is also why the kernels work on raw rows and
// hand their results back in a tWideResult instead of using the lane block.
//
// A kernel holds kDepth vectors of Ops::kWidth lanes and advances them
// interleaved, so that the multiplications and additions of one vector fill
// the latency of the others. Per lane and round it computes what the SSE
// routines compute, in the same order and in the element type:
//     t := x*y;  xx := x*x;  yy := y*y;  inside := xx + yy <= 4;
//     x := (xx - yy) + c re;  y := (t + t) + c im
// and adds 1 to a lane's counter in every round in which it is inside, which
// is what the SSE routines add up with their 16-bit increments. A lane that
// has left the circle of radius 2 never comes back (|z| > 2 and |c| <= 2 give
// |z^2 + c| >= |z|^2 - 2 > |z|; with |c| > 2 the lane is outside from the
// start and |z| >= |c| grows), so a lane's count is e - 1 or the limit, the
// same whichever lanes share its vector. A vector whose lanes are all outside
// therefore leaves the loop, and the others go on one vector less deep.
// Counters are 32 or 64 bits wide, so no limit needs another routine.
#include <cstddef>
#include <cstdint>

namespace {

#define QX_WIDE_INLINE inline __attribute__((always_inline))

template <class Ops, int kDepth>
class tWideKernel {
public:
    using Reg = typename Ops::Reg;
    using Elem = typename Ops::Elem;
    using Counter = typename Ops::Counter;
    static constexpr int kWidth = Ops::kWidth;
    static constexpr int kLanes = kWidth * kDepth;
    using tResult = backend_detail::tWideResult<Elem, kLanes>;

    /// Iterates the kLanes lanes whose z and c start in rows 0, 1, 3 and 4
    /// (rows rowBytes apart from base) for at most limit rounds; at least one
    /// round runs, as in the SSE routines.
    static void Run(const uint8_t* base, size_t rowBytes, int32_t limit, tResult& out)
    {
        tVector v[kDepth];
        for (int d = 0; d < kDepth; ++d) {
            const size_t offset = sizeof(Elem) * static_cast<size_t>(d * kWidth);
            v[d].x = Ops::Load(base + offset);
            v[d].y = Ops::Load(base + rowBytes + offset);
            v[d].cr = Ops::Load(base + 3 * rowBytes + offset);
            v[d].ci = Ops::Load(base + 4 * rowBytes + offset);
            v[d].t = Ops::Set1(0.0);
            v[d].n = Ops::ZeroCounter();
            v[d].inside = kAllInside;
            v[d].lane = d * kWidth;
        }
        out.inside = 0;
        int active = kDepth;
        int32_t round = 0;
        for (;;) {
            round = Dispatch<kDepth>(active, v, round, limit);
            for (int i = active - 1; i >= 0; --i) {
                if (v[i].inside == 0) {
                    Retire(v[i], out);
                    v[i] = v[--active];
                }
            }
            if (active == 0 || round >= limit)
                break;
        }
        for (int i = 0; i < active; ++i)
            Retire(v[i], out);
        out.rounds = round;
    }

private:
    static constexpr uint32_t kAllInside = (uint32_t{1} << kWidth) - 1;

    struct tVector {
        Reg x, y, cr, ci, t;
        Counter n;
        uint32_t inside; ///< one bit per lane: inside in the last round
        int lane;        ///< the block lane of the vector's first lane
    };

    /// Runs the first D vectors until one of them has no lane inside or the
    /// limit is reached; returns the round reached.
    template <int D>
    static QX_WIDE_INLINE int32_t Rounds(tVector* v, int32_t round, int32_t limit)
    {
        Reg x[D], y[D], cr[D], ci[D], t[D];
        Counter n[D];
        uint32_t inside[D];
#pragma GCC unroll 8
        for (int i = 0; i < D; ++i) {
            x[i] = v[i].x;
            y[i] = v[i].y;
            cr[i] = v[i].cr;
            ci[i] = v[i].ci;
            n[i] = v[i].n;
        }
        const Reg bound = Ops::Set1(4.0);
        for (;;) {
            ++round;
            bool emptied = false;
#pragma GCC unroll 8
            for (int i = 0; i < D; ++i) {
                t[i] = Ops::Mul(x[i], y[i]);
                const Reg xx = Ops::Mul(x[i], x[i]);
                const Reg yy = Ops::Mul(y[i], y[i]);
                const auto mask = Ops::Inside(Ops::Add(xx, yy), bound);
                x[i] = Ops::Add(Ops::Sub(xx, yy), cr[i]);
                y[i] = Ops::Add(Ops::Add(t[i], t[i]), ci[i]);
                n[i] = Ops::CountInside(n[i], mask);
                inside[i] = Ops::Bits(mask);
                emptied |= inside[i] == 0;
            }
            if (__builtin_expect(emptied, 0) || round >= limit)
                break;
        }
#pragma GCC unroll 8
        for (int i = 0; i < D; ++i) {
            v[i].x = x[i];
            v[i].y = y[i];
            v[i].t = t[i];
            v[i].n = n[i];
            v[i].inside = inside[i];
        }
        return round;
    }

    template <int D>
    static int32_t Dispatch(int active, tVector* v, int32_t round, int32_t limit)
    {
        if (active == D)
            return Rounds<D>(v, round, limit);
        if constexpr (D > 1)
            return Dispatch<D - 1>(active, v, round, limit);
        return round;
    }

    static void Retire(const tVector& v, tResult& out)
    {
        Ops::Store(out.x + v.lane, v.x);
        Ops::Store(out.y + v.lane, v.y);
        Ops::Store(out.t + v.lane, v.t);
        Ops::StoreCounts(out.counts + v.lane, v.n);
        out.inside |= static_cast<uint64_t>(v.inside) << v.lane;
    }
};

} // namespace
