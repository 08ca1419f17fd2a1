#pragma once
// Helpers of the zoom tests: a quick point finder, a path whose keyframes
// render quickly, and a zoom path planned by hand.
#include "uFractalPointFinder.h"
#include "uPathBase.h"

#include <memory>

/// A finder that accepts its first candidate: the escape counts alternate
/// 600, 800, so the jittered neighbour always differs by 200.
inline tFractalPointFinder CheapFinder()
{
    auto calls = std::make_shared<int>(0);
    return tFractalPointFinder([calls](int32_t, extended, extended) { return ++*calls % 2 ? 600 : 800; });
}

/// Keyframes of resolution × resolution pixels, 64 iterations, single precision.
inline tPathRenderParams SmallParams(int32_t resolution = 32)
{
    tPathRenderParams p;
    p.resolution = resolution;
    p.iterations = 64;
    p.precision = 2;
    p.aa = tAASettings{};
    return p;
}

/// A zoom from magnification `from` to `to` over `seconds` at a point near
/// the set's boundary, smoothed like the program's paths.
inline void PlanZoom(tPathBase& path, extended from, extended to, extended seconds, extended angle = 0)
{
    path.ClearPoints();
    path.SetSmoothing(1.5f);
    path.AddPoint(1, -0.7436L, 0.1318L, from, 0, 0);
    path.AddPoint(1, -0.7436L, 0.1318L, to, angle, seconds);
}
