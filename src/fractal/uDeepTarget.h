#pragma once
// Targets for deep zooms. A point that the finder keeps (uFractalPointFinder)
// lies near the set's boundary at the finder's scale, but a dive to 10^100 can
// end in a flat colour long before. The search here descends from such a
// point by probing: it looks at a grid of points around the current centre,
// moves the centre to a probe that escapes late, zooms in by kStepFactor and
// looks again. Every view on the way down therefore has the boundary near its
// centre; the descent stops at the deepest magnification asked for, or
// earlier at the last view whose probes still differ (when the centre fell
// into the set or the counts went flat).
//
// "Late" is kAim of the way from the lowest count of the probes to the
// highest, not the highest itself: that one lies in the densest tangle of
// the boundary, which shows as noise at any resolution, costs the most
// iterations, and draws each step deeper into the same.
//
// The probes are perturbation counts against a reference at the centre, so
// each step costs one reference orbit in arbitrary precision and a few
// hundred perturbed points; the orbit is computed a slice at a time
// (Advance), so that a search can run in the frame loop's spare time.
#include "uBackEnds.h"
#include "uBigFloat.h"
#include "uReferenceOrbit.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

/// Escape counts of points given as offsets from a reference, through a
/// perturbation back end.
std::vector<int32_t> PerturbationCounts(const tBackEnd& backEnd, const tPerturbationData& reference, int32_t limit,
                                        std::span<const double> re, std::span<const double> im);

/// What the descent saw at one magnification.
struct tDepthSample {
    extended magnification = 0;
    int32_t lowest = 0;  ///< the lowest probe count
    int32_t highest = 0; ///< the highest count of a probe that escaped
    int32_t limit = 0;   ///< the iteration limit the probes ran with
};

class tDeepTargetSearch {
public:
    static constexpr int32_t kGrid = 16;
    /// Magnification gained per step.
    static constexpr extended kStepFactor = 16;
    /// Probes cover the central part of the view, this fraction of its width.
    static constexpr extended kProbeSpan = 0.5L;
    /// Where between the probes' lowest and highest counts the next centre's
    /// count lies.
    static constexpr double kAim = 0.7;
    /// Fewer different counts than this among the probes is a flat picture.
    static constexpr int32_t kMinimumSpread = 8;
    static constexpr int32_t kFirstLimit = 1024;
    /// The descent stops where the probes need more iterations than this:
    /// keyframes there would cost too much for the frame loop (a 896-pixel
    /// keyframe at 10^100 whose counts reach 15 000 takes about 2 s of one
    /// core here; from one finder point in three the counts stay so low).
    static constexpr int32_t kLargestLimit = 1 << 15;

    /// Starts at a point and magnification; descends to `deepest`.
    tDeepTargetSearch(const tVector2& start, extended magnification, extended deepest);
    ~tDeepTargetSearch();
    tDeepTargetSearch(const tDeepTargetSearch&) = delete;
    tDeepTargetSearch& operator=(const tDeepTargetSearch&) = delete;

    /// Works on the search: up to `budget` iterations of a reference orbit,
    /// and once that is complete its probes and the step down. True once the
    /// search is over.
    bool Advance(int64_t budget);
    /// One whole descent step; true once the search is over.
    bool Step() { return Advance(int64_t{1} << 40); }
    bool Done() const { return done_; }
    /// Runs every remaining step.
    void Run();

    /// The point nearest the boundary in the deepest view that had structure.
    const tBigComplex& Target() const { return target_; }
    /// That view's magnification.
    extended Magnification() const { return magnification_; }
    /// What each step saw, shallowest first.
    const std::vector<tDepthSample>& Samples() const { return samples_; }

private:
    tBigComplex centre_;
    tBigComplex target_;
    extended magnification_;
    extended next_;
    extended deepest_;
    int32_t limit_ = kFirstLimit;
    std::vector<tDepthSample> samples_;
    std::unique_ptr<tPerturbationReference> reference_; ///< of the step under way
    bool done_ = false;
};
