#include "uZoomPlan.h"

#include "uClock.h"
#include "uFormat.h"
#include "uLog.h"
#include "uPathBase.h"
#include "uRandom.h"
#include "uViewProbe.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace {

/// A pan dips this many depth units deeper at its middle point.
constexpr float kPanDip = 3;
/// Replacement plans drawn at most before the best of them is kept.
constexpr int kMaxCandidates = 16;
/// The probe looks at this share of the window's width around its centre.
constexpr extended kProbedWidth = 0.9L;
/// A keyframe at the camera's magnification is drawn 1.1 window widths wide.
constexpr extended kKeyframeWidths = 1.1L;

/// Random(n) for a count that may come out below 1: Random(0) gives 0 (and
/// still draws, like every Random call).
uint32_t DrawBelow(const tDraw& draw, int32_t n) { return draw(n > 0 ? static_cast<uint32_t>(n) : 0u); }

/// Start depths a replacement zoom may draw from at least, where its kind
/// leaves no choice (a long zoom without deep zooming always starts at
/// depth 2): four octaves, as long as the zoom ends no deeper than deep
/// zooming goes.
constexpr int32_t kLeastReplacementRoom = 40;

/// The deepest depth replacements of a plan of this kind draw their start
/// depth against.
int32_t ReplacementDeepest(int32_t kind, int32_t deepest)
{
    const auto shape = ZoomKindShape(kind);
    if (!shape)
        return deepest;
    const int32_t room = std::min(kLeastReplacementRoom, kDeepestZoomDepth - shape->span);
    return std::max(deepest, shape->span + room);
}

/// A view of the whole set.
constexpr tVector2 kWholeSet{-0.5L, 0};
constexpr extended kWholeSetScale = 0.3L;
/// Each step of the descent to a target goes this much deeper (two octaves).
constexpr extended kDescentStep = 4;

/// The view the probe looks at for the camera cur.
tProbeView ProbedView(const tPathPoint& cur) { return {cur.x, cur.y, cur.scale * kKeyframeWidths / kProbedWidth}; }

/// The smallest and the largest magnification of the path's points.
std::pair<extended, extended> ScaleRange(const tPathBase& path)
{
    extended widest = path.Point(0).scale;
    extended deepest = widest;
    for (int32_t i = 1; i < path.PointCount(); ++i) {
        widest = std::min(widest, path.Point(i).scale);
        deepest = std::max(deepest, path.Point(i).scale);
    }
    return {widest, deepest};
}

/// A target near from whose views keep structure from the widest
/// magnification down to the deepest: from the widest view inwards, two
/// octaves at a time, the view moves to a point of its own picture that lies
/// close to the set but off its interior. Stops where no such point is left.
tVector2 DescendToStructure(tVector2 from, extended widest, extended deepest, const tPathBase& path,
                            tViewProbe& probe, const tDraw& draw)
{
    for (extended scale = widest;; scale = std::min(scale * kDescentStep, deepest)) {
        const auto next = probe.Scout(ProbedView({from.x, from.y, scale, 0, 0, 0}), path.params.iterations,
                                      path.params.colorMap, draw);
        if (!next)
            return from;
        from = *next;
        if (scale >= deepest)
            return from;
    }
}

std::string VerdictText(const tViewVerdict& v)
{
    return "black " + FormatFixed(v.blackShare, 2) + ", flat " + FormatFixed(v.flatShare, 2);
}

} // namespace

extended ZoomDepth(float depth) { return 10 * std::exp2(static_cast<extended>(depth) / 10 - 2); }

std::optional<tZoomKindShape> ZoomKindShape(int32_t kind)
{
    switch (kind) {
    case zkPan:
        return tZoomKindShape{20, 1, 1};
    case zkShortZoom:
        return tZoomKindShape{35, 40, 1};
    case zkLongZoom:
        return tZoomKindShape{90, 130, 2};
    case zkHugeZoom:
        return tZoomKindShape{270, 400, 2};
    default:
        return std::nullopt;
    }
}

bool DrawZoomShape(tZoomPlan& plan, int32_t deepest, const tDraw& draw)
{
    const auto shape = ZoomKindShape(plan.kind);
    if (!shape)
        return false;
    plan.depth = static_cast<float>(DrawBelow(draw, deepest - shape->span) + shape->depthOffset);
    if (plan.kind == zkPan)
        plan.driftAngle = draw(360);
    else
        plan.zoomOut = draw(2) == 0;
    return true;
}

void WriteZoomPlan(const tZoomPlan& plan, tPathBase& path)
{
    path.ClearPoints();
    const auto shape = ZoomKindShape(plan.kind);
    if (!shape)
        return;
    const extended duration = shape->duration;
    const extended rotation = plan.rotationSpeed;
    const tVector2 z = plan.target;
    const float d = plan.depth;
    if (plan.kind == zkPan) {
        const float q = static_cast<float>(ZoomDepth(d));
        const float r = static_cast<float>(ZoomDepth(d + kPanDip));
        const tVector2 o = tVector2{0.1L / q, 0}.Rotated(plan.driftAngle);
        path.singleKeyframe = true;
        path.AddPoint(1, z.x + o.x, z.y + o.y, q, 0, 0);
        path.AddPoint(1, z.x, z.y, r, duration * rotation * 0.5L, duration * 0.3L);
        path.AddPoint(1, z.x - 0.3L * o.Rotated(45).x, z.y - 0.3L * o.Rotated(95).y, q,
                      duration * rotation * 0.25L, duration);
        return;
    }
    float q = static_cast<float>(ZoomDepth(d));
    float r = static_cast<float>(ZoomDepth(d + static_cast<float>(shape->span)));
    if (plan.zoomOut)
        std::swap(q, r);
    path.AddPoint(1, z.x, z.y, q, 0, 0);
    path.AddPoint(1, z.x, z.y, r, duration * rotation, duration);
}

bool tPathViewsVerdict::HasStructure() const { return worst.HasStructure(); }

std::optional<tPathViewsVerdict> ProbePathViews(const tPathBase& path, tViewProbe& probe, float enough)
{
    std::optional<tPathViewsVerdict> result;
    for (const extended share : {0.0L, 1.0L, 0.5L, 0.25L, 0.75L}) {
        const tPathPoint cur = path.Evaluate(path.Duration() * share);
        const auto verdict = probe.Probe(ProbedView(cur), path.params.iterations, path.params.colorMap);
        if (!verdict)
            return std::nullopt;
        if (!result)
            result = tPathViewsVerdict{*verdict, 0};
        result->worst = result->worst.Worst(*verdict);
        result->shortfall += verdict->Shortfall();
        if (result->shortfall >= enough)
            break;
    }
    return result;
}

void SearchViewsWithStructure(tZoomPlan& plan, tPathBase& path, tViewProbe& probe, int32_t deepest, uint32_t seed)
{
    const extended started = HighResTime();
    const auto first = ProbePathViews(path, probe);
    if (!first) {
        LogNote(3, "View probe could not render; the planned views stand");
        return;
    }
    int candidates = 0;
    bool replaced = false;

    tZoomPlan best = plan;
    tPathViewsVerdict bestVerdict = *first;
    if (!first->HasStructure()) {
        tRandom stream(seed);
        const tDraw draw = [&stream](uint32_t n) { return stream.Next(n); };
        const int32_t replacementDeepest = ReplacementDeepest(plan.kind, deepest);
        while (candidates < kMaxCandidates) {
            ++candidates;
            // A pan keeps its magnifications: every run opens with one.
            tZoomPlan candidate = plan;
            DrawZoomShape(candidate, replacementDeepest, draw);
            if (plan.kind == zkPan)
                candidate.depth = plan.depth;
            WriteZoomPlan(candidate, path);
            const auto [wideScale, deepScale] = ScaleRange(path);
            // Every second candidate looks for a new region, starting from a
            // view of the whole set.
            const bool anew = candidates % 2 == 0;
            candidate.target = anew ? DescendToStructure(kWholeSet, kWholeSetScale, wideScale, path, probe, draw)
                                    : plan.target;
            candidate.target = DescendToStructure(candidate.target, wideScale, deepScale, path, probe, draw);
            WriteZoomPlan(candidate, path);
            // A candidate that already misses by more than the best is done.
            const auto verdict = ProbePathViews(path, probe, bestVerdict.shortfall);
            if (!verdict)
                continue;
            if (verdict->shortfall < bestVerdict.shortfall) {
                best = candidate;
                bestVerdict = *verdict;
                replaced = true;
            }
            if (verdict->HasStructure())
                break;
        }
        WriteZoomPlan(best, path);
        plan = best;
    }

    std::string kept =
        replaced ? "kept " + VectorText(plan.target) + " at depth " + FloatToStr(plan.depth) : "kept the planned views";
    if (!bestVerdict.HasStructure())
        kept += ", which still lack structure";
    LogNote(3, "View probe: " + IntToStr(candidates) + " candidates drawn, " + kept + " (" +
                   VerdictText(bestVerdict.worst) + ") in " + Format3(HighResTime() - started) + " sec");
}
