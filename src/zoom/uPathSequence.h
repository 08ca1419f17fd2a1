#pragma once
// tPathSequence decides what the next zoom will be: the target point (from
// the interesting-point finder), the kind of move (pan, short, long or huge
// zoom), its depths and direction, its rotation, its preset colour map and
// its tilt animation, and writes that into a path as two or three points.
//
// Depth d counts tenths of an octave: ZoomDepth(d) = 10 × 2^(d / 10 − 2), so
// depth 0 is magnification 2.5 and every 10 units double it.
//
// With deep dives (deep zooming and the setting deepDive), every huge zoom is
// a dive (uDeepDive.h): its target comes from a deep-target search that
// descends from a finder point to 2 × 10^100, and the zoom covers the 40
// octaves of a huge zoom in its 270 seconds ending (or, zooming out,
// starting) at the deepest view of the search. The run starts with a dive.
// The search for the next dive starts as soon as a dive is planned and runs
// in the frame loop's spare time (PrepareStep); a dive planned before its
// search is done finishes it at once.
#include "uKeyframeFraming.h"
#include "uMath.h"
#include "uSequence.h"
#include "uZoomPlan.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class tDeepTargetSearch;
class tFractalPointFinder;
class tPathBase;
class tViewProbe;

/// Today's local date as a whole day number counted from 30 December 1899.
int64_t TodayDayNumber();

class tPathSequence {
public:
    enum ZoomKind : int32_t { kPan = zkPan, kShortZoom = zkShortZoom, kLongZoom = zkLongZoom, kHugeZoom = zkHugeZoom };
    /// Deepest depth of a plan with and without deep zooming.
    static constexpr int32_t kDeepestDepth = kDeepestZoomDepth;
    static constexpr int32_t kDeepestShallowDepth = 130;
    /// How deep a dive's search descends.
    static constexpr extended kDeepestDive = 2e100L;
    /// A search that ends shallower than this is tried again from another
    /// finder point, up to kDiveAttempts searches in all (the deepest wins).
    static constexpr extended kDiveGoal = 1e100L;
    static constexpr int kDiveAttempts = 6;
    /// Reference-orbit iterations of a search per pixel of a render budget.
    static constexpr int64_t kSearchIterationsPerPixel = 16;

    /// Three empty sequences; zoom points come from the finder (not owned).
    explicit tPathSequence(tFractalPointFinder& finder);
    ~tPathSequence();
    tPathSequence(const tPathSequence&) = delete;
    tPathSequence& operator=(const tPathSequence&) = delete;

    /// Fills the colour-map (1 … 13, shuffled), zoom-kind and tilt sequences
    /// and moves the tilt and colour-map cursors on by Random(4) plus 99 for
    /// every day of today's day number mod 8. The zoom kinds include huge
    /// zooms only with deep zooming on.
    void ResetSequences();
    /// Plans the next zoom into the path: points, smoothing, colour map, tilt
    /// mode, scale divisor, single-keyframe flag and deep dive. Logs the
    /// zoom point.
    /// With a view probe, views without structure are re-drawn (uZoomPlan.h);
    /// with a screen to frame for, the keyframes are widened until their
    /// discs cover what the vignette leaves visible (uKeyframeFraming.h).
    void PlanPath(tPathBase& path);
    /// Works on the search for the next dive with a render budget (in pixel
    /// writes); returns the work done in the same unit, 0 when there is none.
    int64_t PrepareStep(int64_t budget);
    /// True while a search for the next dive is under way.
    bool Searching() const;
    /// Deep zooming and deep dives both on.
    bool Diving() const { return deepZooming && deepDiving; }

    /// 10 × 2^(d / 10 − 2) in extended precision.
    static extended ZoomDepth(float depth) { return ::ZoomDepth(depth); }

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
    /// Deep dives (the settings' deepDive): with deep zooming on, every huge
    /// zoom dives to a view a search found, down to deepestDive.
    bool deepDiving = false;
    /// How deep dives go and the depth a search must reach before it is not
    /// tried again (tests make them shallower).
    extended deepestDive = kDeepestDive;
    extended diveGoal = kDiveGoal;
    /// Probes the views of every plan; none plans as drawn.
    std::unique_ptr<tViewProbe> viewProbe;
    /// The screen keyframes are framed for; none keeps the divisor at 1.
    std::optional<tFramingScreen> framing;

private:
    /// Plans a dive into the path from the finished search (finishing it now
    /// if need be), then starts the search for the next one.
    void PlanDive(tPathBase& path, extended rotation);
    /// A new search from a finder point.
    void StartSearch();
    /// The search is complete: a deep enough one, or the deepest of the
    /// attempts. False while a search or a retry is under way.
    bool SearchSettled();

    tFractalPointFinder& finder_;
    tSequence colorMaps_;
    tSequence zoomKinds_;
    tSequence tilts_;
    int64_t startSteps_ = 0;
    std::unique_ptr<tDeepTargetSearch> search_;     ///< under way
    std::unique_ptr<tDeepTargetSearch> deepestSearch_; ///< the deepest finished attempt
    int searchAttempts_ = 0;
};
