// The path sequence: zoom kinds in their order with and without deep
// zooming, depths and durations of each kind, in and out, rotation, the
// pinned colour map, and the day-dependent start of the looks.
#include "uPathSequence.h"

#include "uColorMap.h"
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

/// A finder that accepts its first candidate: the escape counts alternate
/// 600, 800, so the jittered neighbour always differs by 200.
tFractalPointFinder CheapFinder()
{
    auto calls = std::make_shared<int>(0);
    return tFractalPointFinder([calls](int32_t, extended, extended) { return ++*calls % 2 ? 600 : 800; });
}

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

TEST(PathSequenceToday, IsTheDayNumberSince1899)
{
    const int64_t today = TodayDayNumber();
    EXPECT_GT(today, 45000); // after 2023
    EXPECT_LT(today, 80000);
}
