#pragma once
// tPathSequence decides what the next zoom will be: the target point (from
// the interesting-point finder), the kind of move (pan, short, long or huge
// zoom), its depths and direction, its rotation, its preset colour map and
// its tilt animation, and writes that into a path as two or three points.
//
// Depth d counts tenths of an octave: ZoomDepth(d) = 10 × 2^(d / 10 − 2), so
// depth 0 is magnification 2.5 and every 10 units double it.
#include "uMath.h"
#include "uSequence.h"

#include <cstdint>
#include <functional>

class tFractalPointFinder;
class tPathBase;

/// Today's local date as a whole day number counted from 30 December 1899.
int64_t TodayDayNumber();

class tPathSequence {
public:
    enum ZoomKind : int32_t { kPan = 1, kShortZoom = 2, kLongZoom = 3, kHugeZoom = 4 };
    /// Deepest depth of a plan with and without deep zooming.
    static constexpr int32_t kDeepestDepth = 400;
    static constexpr int32_t kDeepestShallowDepth = 130;

    /// Three empty sequences; zoom points come from the finder (not owned).
    explicit tPathSequence(tFractalPointFinder& finder);

    /// Fills the colour-map (1 … 13, shuffled), zoom-kind and tilt sequences
    /// and moves the tilt and colour-map cursors on by Random(4) plus 99 for
    /// every day of today's day number mod 8. The zoom kinds include huge
    /// zooms only with deep zooming on.
    void ResetSequences();
    /// Plans the next zoom into the path: points, smoothing, colour map, tilt
    /// mode, scale divisor and single-keyframe flag. Logs the zoom point.
    void PlanPath(tPathBase& path);

    /// 10 × 2^(d / 10 − 2) in extended precision.
    static extended ZoomDepth(float depth);

    tSequence& ColorMapSequence() { return colorMaps_; }
    tSequence& ZoomKindSequence() { return zoomKinds_; }
    tSequence& TiltSequence() { return tilts_; }
    /// The steps the last ResetSequences moved the tilt and colour-map
    /// cursors on by.
    int64_t StartSteps() const { return startSteps_; }

    /// Where ResetSequences takes today's day number from (tests replace it).
    std::function<int64_t()> today = TodayDayNumber;
    /// Deep zooming (the settings' zoomDeep): huge zooms, and depths down to
    /// kDeepestDepth instead of kDeepestShallowDepth.
    bool deepZooming = false;
    /// Degrees per second that a zoom turns the view (zoomRotationSpeed).
    float rotationSpeed = 1.5f;

private:
    tFractalPointFinder& finder_;
    tSequence colorMaps_;
    tSequence zoomKinds_;
    tSequence tilts_;
    int64_t startSteps_ = 0;
};
