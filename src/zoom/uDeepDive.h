#pragma once
// A deep dive: a zoom that goes on past the reach of long doubles, to 10^100.
//
// Its camera cannot hold the centre in a long double: the path's points keep
// x and y as offsets from a target known to any precision (the offsets are
// long doubles, and stay tiny where the view is tiny), and every keyframe
// renders from the target plus its offset. Deep keyframes render by
// perturbation; their escape counts sit in a band far above the detail
// level's iteration limit, so the dive carries what the descent to its target
// saw at each magnification (uDeepTarget.h) and derives from it each
// keyframe's iteration limit and the band of counts its colour map spans.
#include "uBigFloat.h"
#include "uDeepTarget.h"
#include "uMath.h"

#include <cstdint>
#include <vector>

/// How a keyframe of a dive is rendered.
struct tKeyframeLook {
    int32_t iterations = 0;
    int32_t colourFloor = 0;
    int32_t colourSpan = 0; ///< 0: colours by the fraction of the limit
    bool perturbation = false;
};

struct tDeepDive {
    tBigComplex target;
    /// The descent's views, shallowest first.
    std::vector<tDepthSample> samples;

    /// From this magnification on, keyframes render by perturbation: 64-bit
    /// pixels would soon lose digits (at 2^40 a 1024-pixel keyframe has four
    /// steps of a double per pixel).
    static constexpr extended kPerturbationFrom = 0x1p32L;

    /// The look of a keyframe at this magnification for a path that renders
    /// with `iterations` by default: the counts the descent saw there (between
    /// its samples interpolated in the logarithm of the magnification) set the
    /// band the colours span, from the lowest count over their spread; the
    /// limit covers the band and the descent's limit.
    tKeyframeLook LookAt(extended magnification, int32_t iterations) const;
    /// The point at an offset from the target, as long doubles (for the log).
    tVector2 Approximately(const tVector2& offset) const { return target.Plus(offset).ToVector(); }
};
