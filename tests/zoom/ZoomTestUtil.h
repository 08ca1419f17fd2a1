#pragma once
// Helpers of the zoom tests: a settings object for the test's lifetime, a
// path whose keyframes render quickly, and a zoom path planned by hand.
#include "uGlobalSettings.h"
#include "uPathBase.h"

#include <memory>

/// Makes GlobalSettings point at fresh default settings; restores the
/// previous object on destruction.
class tScopedSettings {
public:
    tScopedSettings() : old_(GlobalSettings) { GlobalSettings = &settings; }
    ~tScopedSettings() { GlobalSettings = old_; }
    tScopedSettings(const tScopedSettings&) = delete;
    tScopedSettings& operator=(const tScopedSettings&) = delete;

    tGlobalSettings settings;

private:
    tGlobalSettings* old_;
};

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
