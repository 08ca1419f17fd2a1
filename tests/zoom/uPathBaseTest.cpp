// The plain side of a zoom path: the camera between the points (clamping,
// easing, smoothing, Lerp2), the keyframe plan, A and B, rendering one
// keyframe at a time from the shared pool, passed keyframes giving their
// pages back, the upload cooldown, the blend factor and the placement of a
// keyframe on screen.
#include "uPathBase.h"

#include "uAssert.h"
#include "uFractal.h"
#include "uLog.h"

#include "TestUtil.h"
#include "ZoomTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr extended kPi = std::numbers::pi_v<extended>;

/// Renders until the path has nothing more to do; returns the calls made.
int RenderUntilIdle(tPathBase& path, int64_t budget = 4096)
{
    int calls = 0;
    while (path.RenderStep(budget) > 0)
        ++calls;
    return calls;
}

/// A path that records what it would upload to its textures.
class tRecordingPath : public tPathBase {
public:
    using tPathBase::tPathBase;
    struct tUpload {
        int slot;
        const tPage* page;
    };
    std::vector<tUpload> uploads;

protected:
    void UploadToSlot(int slot, const tPage& page) override { uploads.push_back({slot, &page}); }
};

} // namespace

// ---------------------------------------------------------------------------
// Points and Evaluate
// ---------------------------------------------------------------------------

TEST(PathEvaluate, OnePointPathHasNoDurationAndEvaluatesToMinusOne)
{
    tPathBase path;
    PlanZoom(path, 4, 64, 10);
    path.GenerateKeyframes();
    const int32_t planned = path.KeyframeCount();
    ASSERT_GT(planned, 1);

    path.ClearPoints();
    EXPECT_EQ(path.Duration(), 0);
    path.AddPoint(1, 0.25L, 0.5L, 8, 10, 0);
    EXPECT_EQ(path.Duration(), 0);

    path.SetSmoothing(0);
    for (extended t : {-1.0L, 0.0L, 3.0L}) {
        const tPathPoint p = path.Evaluate(t);
        EXPECT_EQ(p.x, -1);
        EXPECT_EQ(p.y, -1);
        EXPECT_EQ(p.scale, -1);
        EXPECT_EQ(p.angle, -1);
        EXPECT_EQ(p.time, -1);
    }
    path.SetSmoothing(1.5f);
    const tPathPoint smoothed = path.Evaluate(0);
    EXPECT_EQ(smoothed.x, -1);
    EXPECT_EQ(smoothed.scale, -1);
    EXPECT_EQ(smoothed.angle, -1);

    path.GenerateKeyframes(); // the old plan stays
    EXPECT_EQ(path.KeyframeCount(), planned);
}

TEST(PathEvaluate, ClampsToTheEndsAndBlendsScaleGeometrically)
{
    tPathBase path;
    path.AddPoint(1, 0, 1, 1, 0, 0);
    path.AddPoint(1, 10, -1, 1024, 30, 10);
    EXPECT_EQ(path.Duration(), 10);

    const tPathPoint before = path.Evaluate(-3);
    EXPECT_EQ(before.x, 0);
    EXPECT_EQ(before.y, 1);
    EXPECT_EQ(before.scale, 1);
    EXPECT_EQ(before.time, 0);
    const tPathPoint after = path.Evaluate(25);
    EXPECT_EQ(after.x, 10);
    EXPECT_EQ(after.y, -1);
    EXPECT_NEAR(static_cast<double>(after.scale), 1024, 1e-12);
    EXPECT_EQ(after.angle, 30);
    EXPECT_EQ(after.time, 10);

    const tPathPoint middle = path.Evaluate(5);
    EXPECT_NEAR(static_cast<double>(middle.x), 5, 1e-15);
    EXPECT_NEAR(static_cast<double>(middle.y), 0, 1e-15);
    EXPECT_NEAR(static_cast<double>(middle.scale), 32, 1e-12); // constant factor per second
    EXPECT_NEAR(static_cast<double>(middle.angle), 15, 1e-15);
    EXPECT_NEAR(static_cast<double>(path.Evaluate(2).scale), 4, 1e-14);
}

TEST(PathEvaluate, EasingKindsShapeTheSegment)
{
    // x runs 0 -> 1 over one second, so x is the eased fraction w.
    auto eased = [](int32_t easing, extended u) {
        tPathBase path;
        path.AddPoint(1, 0, 0, 1, 0, 0);
        path.AddPoint(easing, 1, 0, 16, 0, 1);
        const tPathPoint p = path.Evaluate(u);
        EXPECT_NEAR(static_cast<double>(p.scale), std::pow(16.0, static_cast<double>(p.x)), 1e-12);
        return static_cast<double>(p.x);
    };
    for (int32_t linear : {0, 1, 6, -3}) {
        EXPECT_NEAR(eased(linear, 0.25L), 0.25, 1e-15) << linear;
        EXPECT_NEAR(eased(linear, 0.81L), 0.81, 1e-15) << linear;
    }
    EXPECT_NEAR(eased(2, 0.25L), 0.5, 1e-15);
    EXPECT_NEAR(eased(2, 0.81L), 0.9, 1e-15);
    EXPECT_NEAR(eased(3, 0.5L), 0.25, 1e-15);
    EXPECT_NEAR(eased(3, 0.9L), 0.81, 1e-15);
    EXPECT_NEAR(eased(4, 0.5L), 0.5, 1e-15);
    EXPECT_NEAR(eased(4, 0.25L), 0.14644660940672624, 1e-15); // (1 - cos 45°) / 2
    EXPECT_NEAR(eased(4, 1.0L / 3), 0.25, 1e-15);             // (1 - cos 60°) / 2
    EXPECT_NEAR(eased(5, 0.5L), 0.5, 1e-15);
    EXPECT_NEAR(eased(5, 1.0L / 3), 0.14644660940672624, 1e-15); // the ease of 1/4
    EXPECT_NEAR(eased(5, 0.25L), 0.051990532036596704, 1e-14);
    for (int32_t kind = 2; kind <= 5; ++kind) {
        EXPECT_NEAR(eased(kind, 0), 0, 1e-15) << kind;
        EXPECT_NEAR(eased(kind, 1), 1, 1e-15) << kind;
    }
}

TEST(PathEvaluate, SmoothingWindowIsTheMeanOf64PlainEvaluations)
{
    tPathBase smoothed;
    tPathBase plain;
    for (tPathBase* path : {&smoothed, &plain}) {
        path->AddPoint(1, 0, 0, 1, 0, 0);
        path->AddPoint(1, 2, -1, 64, 40, 4);
        path->AddPoint(1, -1, 0.5L, 8, -20, 9);
    }
    smoothed.SetSmoothing(1.5f);

    // Away from the ends every sample time lies inside the path.
    for (extended t : {1.5L, 3.9L, 4.0L, 6.2L, 7.5L}) {
        tPathPoint mean{};
        for (int k = 0; k < 64; ++k) {
            const tPathPoint p = plain.Evaluate(t + (k - 31.5L) * 0.046875L);
            mean.x += p.x / 64;
            mean.y += p.y / 64;
            mean.scale += p.scale / 64;
            mean.angle += p.angle / 64;
        }
        const tPathPoint s = smoothed.Evaluate(t);
        EXPECT_NEAR(static_cast<double>(s.x), static_cast<double>(mean.x), 1e-15) << t;
        EXPECT_NEAR(static_cast<double>(s.y), static_cast<double>(mean.y), 1e-15) << t;
        EXPECT_NEAR(static_cast<double>(s.scale / mean.scale), 1, 1e-15) << t;
        EXPECT_NEAR(static_cast<double>(s.angle), static_cast<double>(mean.angle), 1e-13) << t;
        EXPECT_EQ(s.time, t);
    }
    // Near the ends each level of the window is clamped to the path before it
    // is split, so the samples pile up on the end points and the camera eases
    // in and out: the result is the mean of the two half windows around the
    // clamped time.
    tPathBase half;
    half.AddPoint(1, 0, 0, 1, 0, 0);
    half.AddPoint(1, 2, -1, 64, 40, 4);
    half.AddPoint(1, -1, 0.5L, 8, -20, 9);
    half.SetSmoothing(0.75f);
    for (extended t : {-2.0L, 0.0L, 0.3L, 8.8L, 9.0L}) {
        const extended c = std::clamp(t, 0.0L, 9.0L);
        const tPathPoint s = smoothed.Evaluate(t);
        const tPathPoint e1 = half.Evaluate(c - 0.75L);
        const tPathPoint e2 = half.Evaluate(c + 0.75L);
        EXPECT_EQ(s.x, (e1.x + e2.x) * 0.5L) << t;
        EXPECT_EQ(s.scale, (e1.scale + e2.scale) * 0.5L) << t;
        EXPECT_EQ(s.time, c);
    }
    EXPECT_GT(smoothed.Evaluate(0).x, plain.Evaluate(0).x);
    EXPECT_LT(smoothed.Evaluate(0).x, plain.Evaluate(0.75L).x);
    // The corners are rounded: at the middle point the camera has not yet
    // reached the point's magnification.
    EXPECT_LT(smoothed.Evaluate(4).scale, 60);
    EXPECT_GT(smoothed.Evaluate(4).scale, plain.Evaluate(3.4L).scale);
}

TEST(PathEvaluate, Lerp2FailureKeepsTheSegmentStartScale)
{
    tCapturedLog log;
    tPathBase path;
    path.AddPoint(1, 0, 0, 5, 0, 0);
    path.AddPoint(1, 1, 0, 0, 0, 2);
    path.AddPoint(1, 2, 0, -4, 0, 4);
    EXPECT_EQ(path.Evaluate(1).scale, 5);
    EXPECT_EQ(path.Evaluate(3).scale, 0);
    EXPECT_EQ(log.FileCount("Error on Lerp2"), 2);
    EXPECT_NEAR(static_cast<double>(path.Evaluate(1).x), 0.5, 1e-15);

    EXPECT_FALSE(Lerp2(0.5L, 4, -1).has_value());
    EXPECT_FALSE(Lerp2(0.5L, 0, 4).has_value());
    EXPECT_NEAR(static_cast<double>(*Lerp2(0.25L, 16, 1)), 2, 1e-15);
}

TEST(PathEvaluate, NeighbouringPointsWithTheSameTimeAreAProgrammingError)
{
    tPathBase path;
    path.AddPoint(1, 0, 0, 1, 0, 0);
    path.AddPoint(1, 1, 0, 2, 0, 0);
    path.AddPoint(1, 2, 0, 4, 0, 5);
    try {
        path.Evaluate(0);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uPath");
        EXPECT_EQ(e.Line(), 668);
        EXPECT_EQ(e.Message(), "Points in path have identical times");
    }
}

TEST(PathEvaluate, TheHundredthPointIsDroppedWithAWarning)
{
    tCapturedLog log;
    tPathBase path;
    for (int i = 0; i < 99; ++i)
        path.AddPoint(1, i, 0, 1, 0, i);
    EXPECT_EQ(log.FileCount("Too many points in path"), 0);
    path.AddPoint(1, 99, 0, 1, 0, 99);
    EXPECT_EQ(log.FileCount("Too many points in path"), 1);
    EXPECT_EQ(path.PointCount(), 99);
    EXPECT_EQ(path.Duration(), 98);
}

// ---------------------------------------------------------------------------
// The keyframe plan
// ---------------------------------------------------------------------------

namespace {

/// Checks the rule that placed keyframes 1 … n-2: the first 0.1 s sample
/// whose magnification differs from the previous keyframe's by more than
/// the ratio.
void ExpectPlacedByRatio(const tPathBase& path, extended ratio)
{
    for (int32_t i = 1; i + 1 < path.KeyframeCount(); ++i) {
        const tPathPoint& prev = path.Keyframe(i - 1).view;
        const tPathPoint& here = path.Keyframe(i).view;
        const extended change = std::max(here.scale / prev.scale, prev.scale / here.scale);
        EXPECT_GT(change, ratio) << "keyframe " << i;
        const tPathPoint before = path.Evaluate(here.time - 0.1L);
        const extended changeBefore = std::max(before.scale / prev.scale, prev.scale / before.scale);
        EXPECT_LE(changeBefore, ratio) << "keyframe " << i;
        EXPECT_NEAR(static_cast<double>(here.time * 10), std::round(static_cast<double>(here.time * 10)), 1e-9);
    }
}

} // namespace

TEST(PathPlan, NinetySecondZoomOverThirteenOctaves)
{
    tCapturedLog log;
    LogFileLevel = 4;
    tPathBase path;
    PlanZoom(path, 2.5L, 2.5L * 8192, 90);
    path.GenerateKeyframes();

    // Keyframe 0 at point 0, one per doubling, and a final one near the end.
    ASSERT_EQ(path.KeyframeCount(), 14);
    EXPECT_EQ(path.Keyframe(0).view.time, 0);
    EXPECT_EQ(path.Keyframe(0).view.scale, 2.5L);
    ExpectPlacedByRatio(path, 2);
    const tPathPoint& last = path.Keyframe(13).view;
    EXPECT_GT(last.time, 89.8L);
    EXPECT_LT(last.time, 90);
    EXPECT_GT(last.scale / path.Keyframe(12).view.scale, 1);
    // About every 7 s in the middle, later near the smoothed ends.
    const extended middleGap = path.Keyframe(7).view.time - path.Keyframe(6).view.time;
    EXPECT_NEAR(static_cast<double>(middleGap), 90.0 / 13, 0.15);

    EXPECT_EQ(log.FileCount(" -keyframe at scale "), 12);
    EXPECT_EQ(log.FileCount(" -final keyframe at scale "), 1);
    EXPECT_TRUE(log.FileContains("Generated 14 key frames over 90 seconds ("));
    EXPECT_TRUE(log.FileContains(" at position [-0.744,0.132]"));
}

TEST(PathPlan, ZoomingOutIsPlannedLikeZoomingIn)
{
    tPathBase in;
    tPathBase out;
    PlanZoom(in, 2.5L, 2.5L * 8192, 90);
    PlanZoom(out, 2.5L * 8192, 2.5L, 90);
    in.GenerateKeyframes();
    out.GenerateKeyframes();
    ASSERT_EQ(out.KeyframeCount(), in.KeyframeCount());
    ExpectPlacedByRatio(out, 2);
    for (int32_t i = 1; i < out.KeyframeCount(); ++i)
        EXPECT_LT(out.Keyframe(i).view.scale, out.Keyframe(i - 1).view.scale) << i;
}

TEST(PathPlan, TheScaleDivisorWidensEveryKeyframeTheFirstOneToo)
{
    tPathBase plain;
    tPathBase wide;
    PlanZoom(plain, 2.5L, 2.5L * 8192, 90);
    PlanZoom(wide, 2.5L, 2.5L * 8192, 90);
    wide.scaleDivisor = 1.25f;
    plain.GenerateKeyframes();
    wide.GenerateKeyframes();
    ASSERT_EQ(wide.KeyframeCount(), plain.KeyframeCount());
    for (int32_t i = 0; i < wide.KeyframeCount(); ++i) {
        EXPECT_EQ(wide.Keyframe(i).view.time, plain.Keyframe(i).view.time) << i;
        EXPECT_NEAR(static_cast<double>(wide.Keyframe(i).view.scale * 1.25L / plain.Keyframe(i).view.scale), 1, 1e-15)
            << i;
    }
}

TEST(PathPlan, FinalKeyframeUnlessTheLastSampleIsCloseEnough)
{
    tCapturedLog log;
    LogFileLevel = 4;
    tPathBase path;
    // With ratio 2 the final test compares against 1: a constant
    // magnification needs no final keyframe, the smallest change does.
    path.AddPoint(1, 0, 0, 1, 0, 0);
    path.AddPoint(1, 1, 0, 1, 0, 10);
    path.GenerateKeyframes();
    EXPECT_EQ(path.KeyframeCount(), 1);
    EXPECT_EQ(log.FileCount(" -no final keyframe required"), 1);

    path.ClearPoints();
    path.AddPoint(1, 0, 0, 1, 0, 0);
    path.AddPoint(1, 1, 0, 1.001L, 0, 10);
    path.GenerateKeyframes();
    ASSERT_EQ(path.KeyframeCount(), 2);
    EXPECT_NEAR(static_cast<double>(path.Keyframe(1).view.time), 9.9, 1e-9);

    // With ratio 4 the final keyframe needs a change of more than 2.
    path.params.keyframeRatio = 4;
    path.ClearPoints();
    path.AddPoint(1, 0, 0, 4, 0, 0);
    path.AddPoint(1, 0, 0, 7.5L, 0, 10);
    path.GenerateKeyframes();
    EXPECT_EQ(path.KeyframeCount(), 1);
    path.ClearPoints();
    path.AddPoint(1, 0, 0, 4, 0, 0);
    path.AddPoint(1, 0, 0, 9, 0, 10);
    path.GenerateKeyframes();
    EXPECT_EQ(path.KeyframeCount(), 2);
}

TEST(PathPlan, SingleKeyframePlanShowsTheWidestViewThroughout)
{
    tPathBase path;
    path.singleKeyframe = true;
    path.scaleDivisor = 2;
    path.SetSmoothing(1.5f);
    path.AddPoint(1, 0.1L, 0.2L, 16, 0, 0);
    path.AddPoint(1, 0.3L, 0.4L, 20, 15, 6);
    path.AddPoint(1, 0.5L, 0.6L, 16, 7.5L, 20);
    path.StartPath();
    ASSERT_EQ(path.KeyframeCount(), 1);
    const tPathPoint& view = path.Keyframe(0).view;
    EXPECT_EQ(view.x, 0.1L); // the first of the two widest points
    EXPECT_EQ(view.time, 0);
    EXPECT_EQ(view.scale, 8);
    for (extended t : {0.0L, 6.0L, 19.0L, 25.0L}) {
        path.SetTime(t);
        EXPECT_EQ(path.A(), &path.Keyframe(0));
        EXPECT_EQ(path.B(), &path.Keyframe(0));
        EXPECT_EQ(path.BlendFactor(), 0);
    }
}

TEST(PathPlan, TheHundredthKeyframeIsDroppedWithAWarning)
{
    tCapturedLog log;
    tPathBase path;
    path.params.keyframeRatio = 1.01f;
    PlanZoom(path, 2.5L, 2.5L * 8192, 90);
    path.GenerateKeyframes();
    EXPECT_EQ(path.KeyframeCount(), 99);
    EXPECT_GE(log.FileCount("Too many keyframes in path"), 1);
}

TEST(PathPlan, CurrentKeyframesBracketThePathTime)
{
    tPathBase path;
    path.SetTime(3);
    EXPECT_EQ(path.A(), nullptr);
    EXPECT_EQ(path.B(), nullptr);

    PlanZoom(path, 4, 64, 20);
    path.StartPath();
    ASSERT_GE(path.KeyframeCount(), 4);
    EXPECT_EQ(path.A(), &path.Keyframe(0));
    EXPECT_EQ(path.B(), &path.Keyframe(1));
    const extended t2 = path.Keyframe(2).view.time;
    path.SetTime(t2 + 0.05L);
    EXPECT_EQ(path.A(), &path.Keyframe(2));
    EXPECT_EQ(path.B(), &path.Keyframe(3));
    path.SetTime(t2); // at a keyframe's own time the earlier one is still A
    EXPECT_EQ(path.A(), &path.Keyframe(1));
    path.SetTime(-5);
    EXPECT_EQ(path.A(), &path.Keyframe(0));
    path.SetTime(100);
    const int32_t last = path.KeyframeCount() - 1;
    EXPECT_EQ(path.A(), &path.Keyframe(last));
    EXPECT_EQ(path.B(), &path.Keyframe(last));

    path.ClearKeyframes();
    EXPECT_EQ(path.KeyframeCount(), 0);
    EXPECT_EQ(path.A(), nullptr);
}

// ---------------------------------------------------------------------------
// Rendering
// ---------------------------------------------------------------------------

TEST(PathRender, KeyframesRenderOneAtATimeInOrderFromA)
{
    tCapturedLog log;
    LogFileLevel = 4;
    tPathBase path;
    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    PlanZoom(path, 4, 32, 12);
    path.StartPath();
    const int32_t n = path.KeyframeCount();
    ASSERT_GE(n, 4);
    ASSERT_LE(n, 5);
    // Before keyframe 0 starts: the back end it will choose.
    EXPECT_EQ(tPathBase().RenderMethodName(), "?") << "nothing planned";
    EXPECT_EQ(path.RenderMethodName().substr(0, 5), "FLT32");
    EXPECT_EQ(path.Keyframe(0).Generator(), nullptr);
    EXPECT_EQ(path.RenderProgress(), 0);

    int64_t writes = 0;
    int64_t step = 0;
    while ((step = path.RenderStep(128)) > 0) {
        writes += step;
        EXPECT_EQ(step % 64, 0);
        const int32_t r = path.RenderingIndex();
        for (int32_t i = 0; i < n; ++i) {
            if (i < r) {
                EXPECT_TRUE(path.Keyframe(i).Complete()) << i;
            } else if (i > r) {
                EXPECT_EQ(path.Keyframe(i).Generator(), nullptr) << i;
            }
        }
        EXPECT_NEAR(path.RenderProgress(), (path.Keyframe(r).Progress() + r) / n, 1e-6);
    }
    EXPECT_EQ(path.RenderingIndex(), -1);
    EXPECT_GE(path.RenderProgress(), 1.0f);
    for (int32_t i = 0; i < n; ++i)
        EXPECT_TRUE(path.Keyframe(i).Complete()) << i;
    EXPECT_EQ(path.RenderMethodName().substr(0, 5), "FLT32");
    EXPECT_EQ(log.FileCount("Completed key-frame ["), n);
    EXPECT_TRUE(log.FileContains("Completed key-frame [1/" + std::to_string(n) + "]"));
    EXPECT_EQ(log.FileCount("Keyframe rendered in "), n);
    EXPECT_TRUE(path.BothKeyframesReady());
}

TEST(PathRender, KeyframesBeforeAAreNeverRendered)
{
    tPathBase path;
    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    PlanZoom(path, 4, 64, 15);
    path.StartPath();
    ASSERT_GE(path.KeyframeCount(), 4);
    path.SetTime(path.Keyframe(2).view.time + 0.05L);
    RenderUntilIdle(path);
    EXPECT_EQ(path.Keyframe(0).Generator(), nullptr);
    EXPECT_EQ(path.Keyframe(1).Generator(), nullptr);
    EXPECT_TRUE(path.Keyframe(2).Complete());
    EXPECT_TRUE(path.Keyframe(path.KeyframeCount() - 1).Complete());
}

TEST(PathRender, FullPoolStopsRenderingUntilAPassedKeyframeIsCleaned)
{
    tCapturedLog log;
    LogFileLevel = 3;
    tPathBase path;
    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    PlanZoom(path, 4, 4 * 256, 30);
    path.StartPath();
    ASSERT_GE(path.KeyframeCount(), 7);

    RenderUntilIdle(path);
    for (int32_t i = 0; i < 5; ++i)
        EXPECT_TRUE(path.Keyframe(i).Complete()) << i;
    EXPECT_EQ(path.Keyframe(5).Generator(), nullptr);
    EXPECT_EQ(path.Keyframe(5).Progress(), 0);
    EXPECT_EQ(path.ScratchPool()->FreeCount(), 0);
    EXPECT_EQ(path.RenderStep(128), 0);
    EXPECT_LT(path.RenderProgress(), 1);

    // Moving past keyframe 0 is not enough until CleanBuffers runs.
    path.SetTime(path.Keyframe(1).view.time + 0.05L);
    EXPECT_EQ(path.RenderStep(128), 0);
    path.Advance(0);
    EXPECT_TRUE(log.FileContains("Cleaned buffer \"0\""));
    EXPECT_EQ(path.Keyframe(0).Generator(), nullptr);
    EXPECT_EQ(path.RenderStep(128), 128);
    EXPECT_NE(path.Keyframe(5).Generator(), nullptr);
    EXPECT_EQ(path.RenderingIndex(), 5);
}

TEST(PathRender, TwoPathsShareOnePoolAndMayGoInEitherOrder)
{
    auto first = std::make_unique<tPathBase>();
    auto second = std::make_unique<tPathBase>(first->SharedScratchPool());
    EXPECT_TRUE(first->OwnsScratch());
    EXPECT_FALSE(second->OwnsScratch());
    ASSERT_EQ(first->ScratchPool(), second->ScratchPool());
    for (tPathBase* p : {first.get(), second.get()}) {
        p->SetParams(SmallParams(32));
        PlanZoom(*p, 4, 4 * 256, 30);
    }
    first->ApplyResolution();
    first->StartPath();
    second->StartPath();

    // Three keyframes of the first path leave two pages for the second.
    for (int k = 0; k < 3; ++k)
        while (!first->Keyframe(k).Complete())
            first->RenderStep(4096);
    RenderUntilIdle(*second);
    EXPECT_TRUE(second->Keyframe(1).Complete());
    EXPECT_EQ(second->Keyframe(2).Generator(), nullptr);
    EXPECT_EQ(first->RenderStep(4096), 0);

    tScratchPageArray* pool = first->ScratchPool();
    first.reset(); // the owner goes first; its pages go back
    EXPECT_EQ(pool->FreeCount(), 3);
    EXPECT_EQ(second->RenderStep(128), 128);
    second.reset();
}

TEST(PathRender, NewPlanReleasesTheOldKeyframes)
{
    tPathBase path;
    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    PlanZoom(path, 4, 64, 15);
    path.StartPath();
    RenderUntilIdle(path);
    EXPECT_LT(path.ScratchPool()->FreeCount(), 5);
    PlanZoom(path, 8, 16, 10);
    path.StartPath();
    EXPECT_EQ(path.ScratchPool()->FreeCount(), 5);
    EXPECT_EQ(path.RenderProgress(), 0);
    EXPECT_EQ(path.Keyframe(0).view.scale, 8);
}

TEST(PathRender, ReadinessAndProgressOfTheCurrentKeyframes)
{
    tPathBase path;
    EXPECT_TRUE(path.BothKeyframesReady());
    EXPECT_EQ(path.KeyframesProgress(), 0);

    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    PlanZoom(path, 4, 64, 15);
    path.StartPath();
    EXPECT_FALSE(path.BothKeyframesReady());
    while (!path.Keyframe(0).Complete())
        path.RenderStep(128);
    path.RenderStep(256);
    EXPECT_FALSE(path.BothKeyframesReady());
    const float pa = path.A()->Progress();
    const float pb = path.B()->Progress();
    EXPECT_GE(pa, 1.0f);
    EXPECT_GT(pb, 0.0f);
    EXPECT_LT(pb, 1.0f);
    EXPECT_FLOAT_EQ(path.KeyframesProgress(), (pa + pb) * 0.5f);
    while (!path.Keyframe(1).Complete())
        path.RenderStep(128);
    EXPECT_TRUE(path.BothKeyframesReady());
}

TEST(PathRender, LogRenderParamsWritesThreeLines)
{
    tCapturedLog log;
    tPathRenderParams p;
    p.resolution = 640;
    p.iterations = 1200;
    tPathBase::LogRenderParams(p);
    EXPECT_TRUE(log.FileContains("Fractal rendering parameters:"));
    EXPECT_TRUE(log.FileContains(" -resolution 640x640"));
    EXPECT_TRUE(log.FileContains(" -itterations 1200"));
}

// ---------------------------------------------------------------------------
// Uploads, blend factor, placement, tilt
// ---------------------------------------------------------------------------

TEST(PathDisplay, PartialKeyframesAreReuploadedAtMostEveryFifthOfASecond)
{
    tRecordingPath path;
    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    PlanZoom(path, 4, 64, 15);
    path.StartPath();

    path.UploadKeyframes(); // nothing rendered: nothing to upload
    EXPECT_TRUE(path.uploads.empty());
    EXPECT_EQ(path.ShownA(), nullptr);

    path.RenderStep(128);
    path.UploadKeyframes();
    ASSERT_EQ(path.uploads.size(), 1u);
    EXPECT_EQ(path.uploads[0].slot, 0);
    EXPECT_EQ(path.uploads[0].page, path.A()->Page());
    EXPECT_EQ(path.ShownA(), path.A());
    EXPECT_TRUE(path.PartialA());
    EXPECT_FLOAT_EQ(path.UploadCooldown(), 0.2f);

    path.RenderStep(128);
    path.UploadKeyframes();
    path.Advance(0.1L);
    path.UploadKeyframes();
    EXPECT_EQ(path.uploads.size(), 1u);
    path.Advance(-0.1L); // the cooldown counts |dt|
    EXPECT_EQ(path.UploadCooldown(), 0);
    path.UploadKeyframes();
    EXPECT_EQ(path.uploads.size(), 2u);

    // A finished keyframe is uploaded once more, then never again.
    while (!path.Keyframe(0).Complete())
        path.RenderStep(128);
    path.Advance(0.3L);
    path.SetTime(0);
    path.UploadKeyframes();
    ASSERT_EQ(path.uploads.size(), 3u);
    EXPECT_FALSE(path.PartialA());
    path.Advance(0.3L);
    path.SetTime(0);
    path.UploadKeyframes();
    EXPECT_EQ(path.uploads.size(), 3u);
}

TEST(PathDisplay, AChangeOfKeyframeUploadsAtOnce)
{
    tRecordingPath path;
    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    PlanZoom(path, 4, 4 * 256, 30);
    path.StartPath();
    while (!path.Keyframe(0).Complete())
        path.RenderStep(128);
    path.RenderStep(128); // keyframe 1 partial

    path.UploadKeyframes(); // A complete, B partial: both new, both uploaded
    ASSERT_EQ(path.uploads.size(), 2u);
    EXPECT_EQ(path.uploads[1].slot, 1);
    EXPECT_TRUE(path.PartialB());
    EXPECT_FALSE(path.PartialA());

    // The camera moves on: slot A shows keyframe 1 now, slot B would show
    // keyframe 2, which has no generator yet and keeps the old picture.
    path.SetTime(path.Keyframe(1).view.time + 0.05L);
    path.UploadKeyframes();
    ASSERT_EQ(path.uploads.size(), 3u);
    EXPECT_EQ(path.uploads[2].slot, 0);
    EXPECT_EQ(path.ShownA(), &path.Keyframe(1));
    EXPECT_EQ(path.ShownB(), &path.Keyframe(1));

    // Slot B changes to keyframe 2 as soon as it renders, cooldown or not.
    while (!path.Keyframe(1).Complete())
        path.RenderStep(128);
    path.RenderStep(128);
    ASSERT_NE(path.Keyframe(2).Generator(), nullptr);
    EXPECT_GT(path.UploadCooldown(), 0);
    path.UploadKeyframes();
    ASSERT_EQ(path.uploads.size(), 4u);
    EXPECT_EQ(path.uploads[3].slot, 1);
    EXPECT_EQ(path.uploads[3].page, path.Keyframe(2).Page());
    EXPECT_EQ(path.ShownB(), &path.Keyframe(2));
}

TEST(PathDisplay, BothSlotsShareOneCooldown)
{
    tRecordingPath path;
    path.SetParams(SmallParams(32));
    path.ApplyResolution();
    PlanZoom(path, 4, 16, 10);
    path.StartPath();
    ASSERT_EQ(path.KeyframeCount(), 3);
    const tFractalKeyFrame* last = &path.Keyframe(2);
    while (!path.Keyframe(1).Complete())
        path.RenderStep(128);
    path.RenderStep(128);
    path.SetTime(path.Keyframe(1).view.time + 0.05L);
    path.UploadKeyframes();
    ASSERT_EQ(path.ShownB(), last);
    EXPECT_TRUE(path.PartialB());

    // Past the last keyframe A and B are both the partial last one: A's
    // upload starts the cooldown and holds back B's re-upload.
    path.Advance(0.25L);
    path.SetTime(100);
    size_t before = path.uploads.size();
    path.UploadKeyframes();
    ASSERT_EQ(path.uploads.size(), before + 1);
    EXPECT_EQ(path.uploads.back().slot, 0);
    EXPECT_TRUE(path.PartialA());

    // Once complete, A is uploaded a last time, then B gets its turn.
    while (!last->Complete())
        path.RenderStep(128);
    path.Advance(0.25L);
    path.SetTime(100);
    before = path.uploads.size();
    path.UploadKeyframes();
    ASSERT_EQ(path.uploads.size(), before + 1);
    EXPECT_EQ(path.uploads.back().slot, 0);
    EXPECT_FALSE(path.PartialA());
    EXPECT_TRUE(path.PartialB());
    path.Advance(0.25L);
    path.SetTime(100);
    path.UploadKeyframes();
    ASSERT_EQ(path.uploads.size(), before + 2);
    EXPECT_EQ(path.uploads.back().slot, 1);
    EXPECT_FALSE(path.PartialB());
    path.Advance(0.25L);
    path.UploadKeyframes();
    EXPECT_EQ(path.uploads.size(), before + 2);
}

TEST(PathDisplay, BlendFactorRunsFromTheDeepKeyframeToTheShallowOne)
{
    for (bool zoomIn : {true, false}) {
        tPathBase path;
        PlanZoom(path, zoomIn ? 4 : 256, zoomIn ? 256 : 4, 20);
        path.StartPath();
        path.SetTime(path.Keyframe(2).view.time + 0.05L);
        const extended sa = path.A()->view.scale;
        const extended sb = path.B()->view.scale;
        const extended deep = std::max(sa, sb);
        const extended shallow = std::min(sa, sb);
        tPathPoint cur;
        cur.scale = deep;
        EXPECT_NEAR(path.BlendFactor(cur), 0, 1e-6) << zoomIn;
        cur.scale = shallow;
        EXPECT_NEAR(path.BlendFactor(cur), 1, 1e-6) << zoomIn;
        cur.scale = std::sqrt(deep * shallow);
        EXPECT_NEAR(path.BlendFactor(cur), 0.5, 1e-6) << zoomIn;
        // The camera's own magnification lies between.
        const float now = path.BlendFactor();
        EXPECT_GT(now, 0.0f);
        EXPECT_LT(now, 1.0f);
    }
}

TEST(PathDisplay, PlacementScalesAndTurnsAKeyframeAboutTheScreenCentre)
{
    tPathBase path;
    path.SetParams(SmallParams(64));
    path.ApplyResolution();
    path.AddPoint(1, -0.5L, 0.25L, 4, 0, 0);
    path.AddPoint(1, -0.5L, 0.25L, 4.5L, 0, 10);
    path.StartPath();
    tFractalKeyFrame& keyframe = path.Keyframe(0);

    tPathPoint cur;
    cur.x = -0.49L;
    cur.y = 0.25L;
    cur.scale = 8;
    cur.angle = 90;
    EXPECT_FALSE(path.KeyframePlacement(keyframe, cur, 800, {800, 600}).has_value());

    path.RenderStep(128);
    ASSERT_NE(keyframe.Generator(), nullptr);
    auto placed = path.KeyframePlacement(keyframe, cur, 800, {800, 600});
    ASSERT_TRUE(placed.has_value());
    // (800 / 1024) × 1.1 × (1024 / 64) × (8 / 4)
    EXPECT_NEAR(static_cast<double>(placed->scale), 27.5, 1e-12);
    EXPECT_EQ(placed->angle, 90);
    // The keyframe's centre lies 0.01 to the left of the camera, which turns
    // a quarter clockwise to above the screen centre.
    const double offset = 0.01 * 800.0 / 900 * 1024 * 8;
    EXPECT_NEAR(static_cast<double>(placed->position.x), 400, 1e-9);
    EXPECT_NEAR(static_cast<double>(placed->position.y), 300 - offset, 1e-9);

    path.params.displayScale = 2;
    cur.angle = 0;
    placed = path.KeyframePlacement(keyframe, cur, 1024, {1000, 700});
    EXPECT_NEAR(static_cast<double>(placed->scale), 1024.0 / 1024 * 2.2 * 16 * 2, 1e-12);
    EXPECT_NEAR(static_cast<double>(placed->position.x), 500 - 0.01 * 1024.0 / 900 * 1024 * 8, 1e-9);
    EXPECT_NEAR(static_cast<double>(placed->position.y), 350, 1e-9);
}

TEST(PathDisplay, TiltModes)
{
    EXPECT_EQ(tPathBase::TiltAngles(0, 7)->x, 0);
    EXPECT_EQ(tPathBase::TiltAngles(0, 7)->y, 0);
    const tTilt one = *tPathBase::TiltAngles(1, 5);
    const tTilt two = *tPathBase::TiltAngles(2, 5);
    EXPECT_EQ(two.x, one.y); // modes 1 and 2 swap the axes
    EXPECT_EQ(two.y, one.x);
    EXPECT_NEAR(static_cast<double>(tPathBase::TiltAngles(3, 3 * kPi)->x), 15, 1e-12);
    EXPECT_NEAR(static_cast<double>(tPathBase::TiltAngles(4, 18 * kPi)->x), -15, 1e-12);
    EXPECT_FALSE(tPathBase::TiltAngles(5, 1).has_value());
    EXPECT_FALSE(tPathBase::TiltAngles(-1, 1).has_value());
}
