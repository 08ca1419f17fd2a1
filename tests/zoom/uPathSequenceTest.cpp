// The path sequence: zoom kinds in their order with and without deep
// zooming, depths and durations of each kind, in and out, rotation, the
// pinned colour map, and the day-dependent start of the looks.
#include "uPathSequence.h"

#include "uColorMap.h"
#include "uDeepDive.h"
#include "uFractalPointFinder.h"
#include "uPathBase.h"
#include "uRandom.h"

#include "TestUtil.h"
#include "ZoomTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

namespace {

extended DepthOf(extended scale) { return (std::log2(scale / 10) + 2) * 10; }

/// Depth of a point's magnification, which is stored through a single float.
void ExpectDepth(extended scale, float depth)
{
    EXPECT_EQ(scale, static_cast<float>(tPathSequence::ZoomDepth(depth))) << "depth " << depth;
}

const std::vector<int> kTilts{1, 2, 4, 3, 4, 1, 4, 4, 3};

class PathSequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetRandSeed(12345);
        sequence.today = [this] { return day; };
    }

    tFractalPointFinder finder = CheapFinder();
    tPathSequence sequence{finder};
    tPathBase path;
    int64_t day = 46000; // 46000 mod 8 = 0
};

} // namespace

TEST(PathSequenceDepth, ZoomDepthDoublesEveryTenUnits)
{
    EXPECT_EQ(tPathSequence::ZoomDepth(0), 2.5L);
    EXPECT_EQ(tPathSequence::ZoomDepth(10), 5);
    EXPECT_EQ(tPathSequence::ZoomDepth(-20), 0.625L);
    EXPECT_NEAR(static_cast<double>(tPathSequence::ZoomDepth(2)), 2.8717458874925875, 1e-14);
    EXPECT_NEAR(static_cast<double>(tPathSequence::ZoomDepth(132)), 23525.342310339278, 1e-9);
}

TEST_F(PathSequenceTest, WithoutDeepZoomingKindsCyclePanShortLongShort)
{
    tCapturedLog log;
    sequence.ResetSequences(); // no settings yet: deep zooming counts as off
    const std::vector<extended> durations{20, 35, 90, 35, 20, 35, 90, 35};
    int outward = 0;
    for (size_t i = 0; i < durations.size(); ++i) {
        sequence.PlanPath(path);
        EXPECT_EQ(path.Duration(), durations[i]) << i;
        EXPECT_EQ(path.Smoothing(), 1.5f);
        EXPECT_EQ(path.scaleDivisor, 1.0f);
        EXPECT_EQ(path.singleKeyframe, durations[i] == 20) << i;
        EXPECT_EQ(path.PointCount(), durations[i] == 20 ? 3 : 2) << i;
        for (int32_t j = 0; j < path.PointCount(); ++j)
            EXPECT_EQ(path.Point(j).easing, 1);
        if (durations[i] == 90) {
            // A long zoom always spans depth 2 to 132, in or out.
            const extended a = path.Point(0).scale;
            const extended b = path.Point(1).scale;
            ExpectDepth(std::min(a, b), 2);
            ExpectDepth(std::max(a, b), 132);
        }
        if (durations[i] == 35) {
            const extended a = path.Point(0).scale;
            const extended b = path.Point(1).scale;
            EXPECT_NEAR(static_cast<double>(std::fabs(DepthOf(b) - DepthOf(a))), 40, 1e-4) << i;
            EXPECT_GE(std::min(a, b), static_cast<float>(tPathSequence::ZoomDepth(1)));
            EXPECT_LE(std::max(a, b), static_cast<float>(tPathSequence::ZoomDepth(130)));
            outward += b < a;
        }
    }
    EXPECT_EQ(log.FileCount("Zoom point = ["), 8);
    for (int seed = 0; seed < 12; ++seed) {
        SetRandSeed(static_cast<uint32_t>(seed));
        sequence.ResetSequences();
        for (int k = 0; k < 3; ++k)
            sequence.PlanPath(path);
        outward += path.Point(1).scale < path.Point(0).scale;
    }
    EXPECT_GT(outward, 0);
    EXPECT_LT(outward, 16);
}

TEST_F(PathSequenceTest, DeepZoomingMakesTheFourthPathAHugeZoom)
{
    sequence.deepZooming = true;
    std::set<bool> directions;
    for (uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        SetRandSeed(seed);
        sequence.ResetSequences();
        const std::vector<extended> durations{20, 35, 90, 270, 35, 20};
        for (size_t i = 0; i < durations.size(); ++i) {
            sequence.PlanPath(path);
            EXPECT_EQ(path.Duration(), durations[i]) << i;
            if (i == 2) {
                EXPECT_GE(std::min(path.Point(0).scale, path.Point(1).scale),
                          static_cast<float>(tPathSequence::ZoomDepth(2)));
                EXPECT_LE(std::max(path.Point(0).scale, path.Point(1).scale),
                          static_cast<float>(tPathSequence::ZoomDepth(400)));
            }
            if (i == 3) {
                const extended a = path.Point(0).scale;
                const extended b = path.Point(1).scale;
                ExpectDepth(std::min(a, b), 2);
                ExpectDepth(std::max(a, b), 402);
                EXPECT_EQ(path.Point(1).angle, 270 * 1.5L);
                directions.insert(b > a);
            }
        }
    }
    EXPECT_EQ(directions.size(), 2u); // in and out both occur
}

TEST_F(PathSequenceTest, AHugeZoomWithoutDeepZoomingBecomesALongOne)
{
    tCapturedLog log;
    sequence.deepZooming = true;
    sequence.ResetSequences();
    sequence.deepZooming = false;
    for (int i = 0; i < 4; ++i)
        sequence.PlanPath(path);
    EXPECT_EQ(path.Duration(), 90);
    EXPECT_TRUE(log.FileContains("Huge zooms not supported with current settings, reverting to long zoom"));
    ExpectDepth(std::min(path.Point(0).scale, path.Point(1).scale), 2);
}

TEST_F(PathSequenceTest, PanDriftsAcrossThePointAndDipsBack)
{
    sequence.ResetSequences();
    sequence.PlanPath(path);
    ASSERT_EQ(path.PointCount(), 3);
    const tPathPoint& p0 = path.Point(0);
    const tPathPoint& p1 = path.Point(1);
    const tPathPoint& p2 = path.Point(2);
    EXPECT_EQ(p0.time, 0);
    EXPECT_NEAR(static_cast<double>(p1.time), 6, 1e-15);
    EXPECT_EQ(p2.time, 20);
    EXPECT_EQ(p0.scale, p2.scale);
    EXPECT_NEAR(static_cast<double>(DepthOf(p1.scale) - DepthOf(p0.scale)), 3, 1e-4);
    EXPECT_EQ(p0.angle, 0);
    EXPECT_EQ(p1.angle, 15);
    EXPECT_EQ(p2.angle, 7.5L);
    // The drift is a tenth of the view width; the middle point is the target.
    const extended drift = std::hypot(p0.x - p1.x, p0.y - p1.y);
    EXPECT_NEAR(static_cast<double>(drift * p0.scale), 0.1, 1e-9);
    const extended back = std::hypot(p2.x - p1.x, p2.y - p1.y);
    EXPECT_LE(back * p0.scale, 0.03 * std::sqrt(2.0) + 1e-9);

    path.StartPath();
    EXPECT_EQ(path.KeyframeCount(), 1);
}

TEST_F(PathSequenceTest, NoRotationAtSpeedZero)
{
    sequence.deepZooming = true;
    sequence.rotationSpeed = 0;
    sequence.ResetSequences();
    for (int i = 0; i < 9; ++i) { // two rounds of five kinds, less the last short zoom
        sequence.PlanPath(path);
        for (int32_t j = 0; j < path.PointCount(); ++j)
            EXPECT_EQ(path.Point(j).angle, 0) << i;
    }
    sequence.rotationSpeed = 2;
    sequence.PlanPath(path); // a short zoom: 2 degrees per second throughout
    EXPECT_EQ(path.Point(1).angle, 70);
}

TEST_F(PathSequenceTest, ColourMapsRunThroughTheThirteenPresetsOrStayPinned)
{
    sequence.ResetSequences();
    std::set<const tColorMap*> seen;
    for (int i = 0; i < 13; ++i) {
        sequence.PlanPath(path);
        seen.insert(path.params.colorMap);
    }
    std::set<const tColorMap*> presets;
    for (int n = 1; n <= 13; ++n)
        presets.insert(ColorMapGenerator().GetPreset(n));
    EXPECT_EQ(seen, presets);

    // The setting FractalColorMap = 5 leaves the sequence holding only 5.
    sequence.ColorMapSequence().Clear();
    sequence.ColorMapSequence().Add(5);
    for (int i = 0; i < 6; ++i) {
        sequence.PlanPath(path);
        EXPECT_EQ(path.params.colorMap, ColorMapGenerator().GetPreset(5));
    }
    sequence.ColorMapSequence().Clear();
    sequence.ColorMapSequence().Add(20); // no such preset: the fallback colour
    sequence.PlanPath(path);
    EXPECT_EQ(path.params.colorMap, nullptr);
}

TEST_F(PathSequenceTest, TheLooksStartByTheDayAndARandomStep)
{
    // Two runs on the same day start at most three steps apart.
    std::set<int64_t> offsets;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SetRandSeed(seed);
        day = 46003; // mod 8 = 3
        sequence.ResetSequences();
        const int64_t n = sequence.StartSteps();
        offsets.insert(n - 3 * 99);
        sequence.PlanPath(path);
        EXPECT_EQ(path.tiltMode, kTilts[static_cast<size_t>(n % 9)]) << seed;
    }
    EXPECT_EQ(offsets, (std::set<int64_t>{0, 1, 2, 3}));

    // A day later, with the same seed, everything starts 99 steps further on.
    auto looks = [&](int64_t whichDay, int skip) {
        SetRandSeed(777);
        day = whichDay;
        sequence.ResetSequences();
        for (int i = 0; i < skip; ++i) {
            sequence.TiltSequence().Next();
            sequence.ColorMapSequence().Next();
        }
        std::vector<int64_t> v;
        for (int i = 0; i < 30; ++i) {
            v.push_back(sequence.TiltSequence().NextInt());
            v.push_back(sequence.ColorMapSequence().NextInt());
        }
        return std::make_pair(sequence.StartSteps(), v);
    };
    const auto today = looks(46001, 99);
    const auto tomorrow = looks(46002, 0);
    EXPECT_EQ(tomorrow.first - today.first, 99);
    EXPECT_EQ(tomorrow.second, today.second);
    // The day number counts modulo 8: day 8 starts like day 0.
    EXPECT_EQ(looks(46000, 0), looks(46008, 0));

    // The zoom kinds always start with a pan.
    sequence.PlanPath(path);
    EXPECT_EQ(path.Duration(), 20);
}

namespace {

/// A finder whose candidates all come from a tiny square around a point
/// near the boundary (in the seahorse valley), accepted at once.
tFractalPointFinder BoundaryFinder()
{
    tFractalPointFinder finder([](int32_t, extended, extended) { return 700; }, false);
    finder.AddRegion({-0.74364388703716L, 0.13182590420531L}, {-0.74364388703715L, 0.13182590420532L}, 1);
    return finder;
}

class DeepDiveSequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetRandSeed(4242);
        sequence.deepZooming = true;
        sequence.deepDiving = true;
        // Shallow dives keep the searches short.
        sequence.deepestDive = 1e24L;
        sequence.diveGoal = 1e24L;
    }

    tFractalPointFinder finder = BoundaryFinder();
    tPathSequence sequence{finder};
    tPathBase path;
};

} // namespace

TEST_F(DeepDiveSequenceTest, RunsStartWithADiveAndEveryHugeZoomIsOne)
{
    tCapturedLog log;
    sequence.ResetSequences();
    const std::vector<extended> durations{0, 35, 20, 35, 90, 0, 35};
    for (size_t i = 0; i < durations.size(); ++i) {
        sequence.PlanPath(path);
        if (durations[i] != 0) {
            EXPECT_EQ(path.Duration(), durations[i]) << i;
            EXPECT_EQ(path.deepDive, nullptr) << i;
            continue;
        }
        // A dive: 40 octaves in 270 s into the search's deepest view, at
        // offset 0 from its target.
        ASSERT_NE(path.deepDive, nullptr) << i;
        ASSERT_EQ(path.PointCount(), 2);
        const extended a = path.Point(0).scale, b = path.Point(1).scale;
        EXPECT_EQ(std::max(a, b), 1e24L);
        EXPECT_NEAR(static_cast<double>(std::log2(std::max(a, b) / std::min(a, b))), 40, 1e-9);
        EXPECT_NEAR(static_cast<double>(path.Duration()), 270, 1e-9);
        EXPECT_NEAR(static_cast<double>(path.Point(1).angle), 270 * 1.5, 1e-9);
        for (int32_t j = 0; j < 2; ++j) {
            EXPECT_EQ(path.Point(j).x, 0);
            EXPECT_EQ(path.Point(j).y, 0);
        }
        EXPECT_FALSE(path.deepDive->samples.empty());
        EXPECT_EQ(path.deepDive->samples.back().magnification, 1e24L);
        // The dive's target lies near the finder's point, with every digit
        // the depth needs.
        const tVector2 target = path.deepDive->target.ToVector();
        EXPECT_NEAR(static_cast<double>(target.x), -0.7436438870371, 1e-4);
        EXPECT_NEAR(static_cast<double>(target.y), 0.1318259042053, 1e-4);
        EXPECT_GE(path.deepDive->target.Bits(), BitsForView(1e24L, 4096));
        // The next dive's target is looked for at once.
        EXPECT_TRUE(sequence.Searching()) << i;
    }
    EXPECT_EQ(log.FileCount("Deep dive to 1e+24 at ["), 2);
    EXPECT_EQ(log.FileCount("Zoom point = ["), 7);
}

TEST_F(DeepDiveSequenceTest, SpareTimeFindsTheNextTargetBeforeItsDive)
{
    sequence.ResetSequences();
    sequence.PlanPath(path); // the first dive, searched for at once
    ASSERT_TRUE(sequence.Searching());
    int64_t steps = 0;
    while (sequence.PrepareStep(128) > 0)
        ++steps;
    EXPECT_GT(steps, 10) << "the search takes slices of the frame loop's budget";
    EXPECT_FALSE(sequence.Searching());
    EXPECT_EQ(sequence.PrepareStep(128), 0) << "nothing left to do";

    for (int i = 0; i < 4; ++i)
        sequence.PlanPath(path); // short, pan, short, long
    sequence.PlanPath(path);
    ASSERT_NE(path.deepDive, nullptr);
    EXPECT_EQ(std::max(path.Point(0).scale, path.Point(1).scale), 1e24L);
    EXPECT_TRUE(sequence.Searching()) << "and the one after it";
}

TEST_F(DeepDiveSequenceTest, NeedsDeepZooming)
{
    sequence.deepZooming = false;
    sequence.ResetSequences();
    for (int i = 0; i < 5; ++i) {
        sequence.PlanPath(path);
        EXPECT_EQ(path.deepDive, nullptr);
    }
    EXPECT_FALSE(sequence.Searching());
    // With deep zooming alone, huge zooms stay huge zooms to 2^40.
    sequence.deepZooming = true;
    sequence.deepDiving = false;
    sequence.ResetSequences();
    for (int i = 0; i < 4; ++i)
        sequence.PlanPath(path);
    EXPECT_EQ(path.Duration(), 270);
    EXPECT_EQ(path.deepDive, nullptr);
}

TEST(PathSequenceToday, IsTheDayNumberSince1899)
{
    const int64_t today = TodayDayNumber();
    EXPECT_GT(today, 45000); // after 2023
    EXPECT_LT(today, 80000);
}
