#include "uPathSequence.h"

#include "uColorMap.h"
#include "uDeepDive.h"
#include "uDeepTarget.h"
#include "uFormat.h"
#include "uFractalPointFinder.h"
#include "uLog.h"
#include "uPathBase.h"
#include "uRandom.h"
#include "uViewProbe.h"
#include "uZoomPlan.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace {

constexpr int64_t kDaysFrom1899To1970 = 25569;
constexpr int64_t kDayCycle = 8;
constexpr int64_t kStepsPerDay = 99;

/// A dive covers the octaves of a huge zoom in its time: depth units and
/// seconds of tPathSequence's kinds 4.
constexpr extended kDiveSpan = 400;
constexpr extended kDiveSeconds = 270;
/// The zoom-kind list of deep zooming starts its dives here.
constexpr int kFirstDiveEntry = 3;
/// The magnification a dive's search starts at, around the finder's point.
constexpr extended kSearchStart = 1e4L;

/// Mixed into the process-wide state to seed the replacements' generator.
constexpr uint32_t kReplacementSalt = 0x9E3779B9u;

} // namespace

int64_t TodayDayNumber()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::chrono::year_month_day date{std::chrono::year{local.tm_year + 1900},
                                           std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                           std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
    return std::chrono::sys_days{date}.time_since_epoch().count() + kDaysFrom1899To1970;
}

tPathSequence::tPathSequence(tFractalPointFinder& finder) : finder_(finder) {}

tPathSequence::~tPathSequence() = default;

void tPathSequence::ResetSequences()
{
    colorMaps_.Clear();
    for (int i = 1; i <= 13; ++i)
        colorMaps_.Add(i);
    colorMaps_.Shuffle();

    zoomKinds_.Clear();
    if (deepZooming)
        zoomKinds_.AddArray({kPan, kShortZoom, kLongZoom, kHugeZoom, kShortZoom});
    else
        zoomKinds_.AddArray({kPan, kShortZoom, kLongZoom, kShortZoom});
    // A run with deep dives starts with one.
    if (Diving())
        while (zoomKinds_.Cursor() != kFirstDiveEntry)
            zoomKinds_.Next();
    search_.reset();
    deepestSearch_.reset();
    searchAttempts_ = 0;

    tilts_.Clear();
    tilts_.AddArray({1, 2, 4, 3, 4, 1, 4, 4, 3});

    // Start the looks at a place that depends on the day and varies a little
    // from run to run; the zoom kinds always start with a pan.
    const int64_t day = ((today() % kDayCycle) + kDayCycle) % kDayCycle;
    startSteps_ = static_cast<int64_t>(Random(4)) + day * kStepsPerDay;
    for (int64_t i = 0; i < startSteps_; ++i) {
        tilts_.Next();
        colorMaps_.Next();
    }
}

void tPathSequence::PlanPath(tPathBase& path)
{
    const bool deep = deepZooming;
    const int32_t deepest = deep ? kDeepestDepth : kDeepestShallowDepth;
    // A dive's point comes from its search, not from the finder.
    const bool dive = Diving() && zoomKinds_.IntValue(zoomKinds_.Cursor()) == kHugeZoom;

    tZoomPlan plan;
    if (!dive) {
        finder_.FindPoint(plan.target);
        LogNote(1, "Zoom point = " + VectorText(plan.target));
    }

    path.scaleDivisor = 1.0f;
    path.singleKeyframe = false;
    path.deepDive.reset();
    path.tiltMode = static_cast<int32_t>(tilts_.NextInt());
    path.params.colorMap = ColorMapGenerator().GetPreset(static_cast<int>(colorMaps_.NextInt()));

    plan.kind = static_cast<int32_t>(zoomKinds_.NextInt());
    if (plan.kind == kHugeZoom && !deep) {
        LogNote(1, "Huge zooms not supported with current settings, reverting to long zoom");
        plan.kind = kLongZoom;
    }

    path.SetSmoothing(1.5f);
    path.ClearPoints();
    plan.rotationSpeed = rotationSpeed;
    if (dive) {
        PlanDive(path, plan.rotationSpeed);
    } else {
        if (!DrawZoomShape(plan, deepest, [](uint32_t n) { return Random(n); })) {
            LogWarning(1, "Unknown zoom kind " + IntToStr(plan.kind));
            return;
        }
        WriteZoomPlan(plan, path);
        // Replacements draw from a generator of their own, seeded from the
        // process-wide one without drawing from it. A dive's search has
        // looked at its views already.
        if (viewProbe)
            SearchViewsWithStructure(plan, path, *viewProbe, deepest, RandSeed() ^ kReplacementSalt);
    }
    if (framing) {
        path.scaleDivisor = CoveringScaleDivisor(path, path.params.resolution, *framing);
        if (path.scaleDivisor > 1)
            LogNote(3, "Keyframes widened " + FormatFixed(path.scaleDivisor, 3) + " times to cover the window");
    }
}

// ---------------------------------------------------------------------------
// Deep dives

void tPathSequence::StartSearch()
{
    tVector2 start;
    finder_.FindPoint(start);
    // The finder's point is worth a trip at its own scale: the descent starts
    // there, so dives spread over the set as the finder's points do.
    search_ = std::make_unique<tDeepTargetSearch>(start, kSearchStart, deepestDive);
    ++searchAttempts_;
}

bool tPathSequence::SearchSettled()
{
    if (search_ && !search_->Done())
        return false;
    if (search_) {
        if (!deepestSearch_ || search_->Magnification() > deepestSearch_->Magnification())
            deepestSearch_ = std::move(search_);
        search_.reset();
    }
    if (deepestSearch_ && (deepestSearch_->Magnification() >= diveGoal || searchAttempts_ >= kDiveAttempts))
        return true;
    StartSearch();
    return false;
}

bool tPathSequence::Searching() const { return search_ != nullptr; }

int64_t tPathSequence::PrepareStep(int64_t budget)
{
    if (!search_ || budget < 1)
        return 0;
    search_->Advance(budget * kSearchIterationsPerPixel);
    SearchSettled();
    return budget;
}

void tPathSequence::PlanDive(tPathBase& path, extended rotation)
{
    if (!search_ && !deepestSearch_)
        StartSearch();
    while (!SearchSettled())
        search_->Run();
    const std::unique_ptr<tDeepTargetSearch> found = std::move(deepestSearch_);
    searchAttempts_ = 0;

    auto dive = std::make_shared<tDeepDive>();
    dive->target = found->Target();
    dive->samples = found->Samples();
    const extended end = found->Magnification();
    const extended start = std::max(ZoomDepth(2), end / std::exp2(kDiveSpan / 10));
    const extended duration = kDiveSeconds * std::log2(end / start) / (kDiveSpan / 10);
    LogNote(1, "Zoom point = " + VectorText(dive->target.ToVector()));
    LogNote(1, "Deep dive to " + FloatToStr(end) + " at " + dive->target.ToString(static_cast<int>(std::log10(end)) + 5));

    extended q = start, r = end;
    if (Random(2) == 0)
        std::swap(q, r); // zoom out instead of in
    path.deepDive = std::move(dive);
    path.AddPoint(1, 0, 0, q, 0, 0);
    path.AddPoint(1, 0, 0, r, duration * rotation, duration);

    // The next dive's target is looked for from now on.
    StartSearch();
}
