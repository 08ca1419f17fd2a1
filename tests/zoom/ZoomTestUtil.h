#pragma once
// Helpers of the zoom tests: a path whose keyframes render quickly, and a
// zoom path planned by hand.
#include "uPathBase.h"

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
