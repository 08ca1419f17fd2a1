#pragma once
// One zoom as the path sequence decides it, before and after it is written
// into a path, and the search for views with structure.
//
// The sequence draws a plan from the process-wide generator, writes it into
// the path, and probes the views the camera will show (start, end and three
// moments between). When the set's interior or one flat colour would fill
// most of one of them, replacement plans are drawn, from a generator of
// their own so the process-wide sequence goes on exactly as if the first
// plan had passed. A zoom's replacements take a new depth and direction for
// the same target, then a new target too, alternately; a pan keeps its
// magnifications and takes a new target and drift each time. A kind whose
// start depth leaves no choice (a long zoom without deep zooming) may start
// up to four octaves deeper in a replacement. The first
// replacement whose views all pass is kept; when none does, the one that
// missed least.
#include "uMath.h"
#include "uViewProbe.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>

class tPathBase;

/// The kinds of zoom, as the path sequence numbers them.
enum tZoomKind : int32_t { zkPan = 1, zkShortZoom = 2, zkLongZoom = 3, zkHugeZoom = 4 };
/// The deepest depth a plan reaches, with deep zooming.
constexpr int32_t kDeepestZoomDepth = 400;
/// Magnification of depth d (tenths of an octave): 10 × 2^(d / 10 − 2), in
/// extended precision, so depth 0 is 2.5 and every 10 units double it.
extended ZoomDepth(float depth);

/// A whole number below n drawn from some generator (Random(n)).
using tDraw = std::function<uint32_t(uint32_t)>;

struct tZoomPlan {
    int32_t kind = 0; ///< tPathSequence::ZoomKind
    tVector2 target;
    float depth = 0;             ///< start depth
    bool zoomOut = false;        ///< zooms: from the deep end out
    uint32_t driftAngle = 0;     ///< pan: degrees the drift is turned by
    extended rotationSpeed = 0;  ///< degrees per second
};

/// Duration, depth span and depth offset of a zoom kind; none for an
/// unknown kind.
struct tZoomKindShape {
    extended duration = 0;
    int32_t span = 0;
    uint32_t depthOffset = 0;
};
std::optional<tZoomKindShape> ZoomKindShape(int32_t kind);

/// Draws the plan's start depth and then its direction (a zoom's in or out,
/// a pan's drift angle), in the order the sequence has always drawn them.
/// False for an unknown kind, which draws nothing.
bool DrawZoomShape(tZoomPlan& plan, int32_t deepest, const tDraw& draw);

/// Clears the path's points and writes the plan's: a pan drifts across the
/// target by a tenth of the view width, dips 2^0.3 deeper and back and turns
/// a little, shown from a single keyframe; a zoom goes straight in or out.
void WriteZoomPlan(const tZoomPlan& plan, tPathBase& path);

/// What the probe saw of a path's views.
struct tPathViewsVerdict {
    tViewVerdict worst;  ///< field by field the worst of the views
    float shortfall = 0; ///< how far the views miss, summed over them
    bool HasStructure() const;
};

/// The verdict on the path's camera at its start, its end and three moments
/// between, each view probed over the central 90 % of the window's width
/// (the vignette hides the rest); none when the probe cannot render. Stops
/// early once the views miss by enough.
std::optional<tPathViewsVerdict> ProbePathViews(const tPathBase& path, tViewProbe& probe,
                                                float enough = std::numeric_limits<float>::infinity());

/// Probes the plan already written into the path; when its views lack
/// structure, draws replacements (targets from the finder) from a
/// generator seeded with seed and writes the kept plan into the path and
/// into plan. Logs how many candidates were drawn (level 3).
void SearchViewsWithStructure(tZoomPlan& plan, tPathBase& path, tViewProbe& probe, int32_t deepest, uint32_t seed);
