// Plans and the search for views with structure, through the path sequence:
// a plan whose views pass stays exactly as drawn, a failing one is re-drawn
// from a generator of its own (so the process-wide sequence and every later
// plan stay as they were), the opening pan stays a pan of its depth, and
// keyframes are widened for the screen they are framed for.
#include "uZoomPlan.h"

#include "uKeyframeFraming.h"
#include "uPathSequence.h"
#include "uRandom.h"
#include "uViewProbe.h"

#include "TestUtil.h"
#include "ZoomTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

/// A picture of varied, colourful escape counts: structure.
void Varied(int32_t edge, int32_t iterations, std::span<int32_t> counts)
{
    for (int32_t i = 0; i < edge * edge; ++i)
        counts[static_cast<size_t>(i)] = iterations / 10 + (i * 37) % (iterations * 8 / 10);
}

/// Every view centred within `radius` of `target` lies in the set's
/// interior; every other view has structure.
tProbeRenderer InteriorAround(tVector2 target, extended radius)
{
    return [target, radius](const tProbeView& view, int32_t edge, int32_t iterations, std::span<int32_t> counts) {
        if (std::hypot(view.x - target.x, view.y - target.y) < radius)
            std::fill_n(counts.begin(), edge * edge, iterations);
        else
            Varied(edge, iterations, counts);
        return true;
    };
}

/// What a plan put into the path, and where the process-wide generator
/// stood afterwards.
struct tPlanned {
    std::vector<tPathPoint> points;
    float scaleDivisor = 0;
    bool singleKeyframe = false;
    uint32_t randomAfter = 0;
};

class ZoomPlanTest : public ::testing::Test {
protected:
    /// A run of plans from a fixed seed, every path coloured with preset 5.
    std::vector<tPlanned> PlanRun(tPathSequence& sequence, int plans)
    {
        sequence.today = [] { return int64_t{46000}; };
        SetRandSeed(2024);
        sequence.ResetSequences();
        sequence.ColorMapSequence().Clear();
        sequence.ColorMapSequence().Add(5);
        std::vector<tPlanned> run;
        for (int i = 0; i < plans; ++i) {
            tPathBase path;
            path.params.iterations = 512;
            sequence.PlanPath(path);
            tPlanned& p = run.emplace_back();
            for (int32_t j = 0; j < path.PointCount(); ++j)
                p.points.push_back(path.Point(j));
            p.scaleDivisor = path.scaleDivisor;
            p.singleKeyframe = path.singleKeyframe;
            p.randomAfter = RandSeed();
        }
        return run;
    }

    /// The run as the sequence plans it without a probe.
    std::vector<tPlanned> Unprobed(int plans)
    {
        tFractalPointFinder finder = CheapFinder();
        tPathSequence sequence(finder);
        return PlanRun(sequence, plans);
    }

    /// The run with a probe through the renderer.
    std::vector<tPlanned> Probed(int plans, tProbeRenderer renderer)
    {
        tFractalPointFinder finder = CheapFinder();
        tPathSequence sequence(finder);
        sequence.viewProbe = std::make_unique<tViewProbe>(std::move(renderer));
        return PlanRun(sequence, plans);
    }

    static void ExpectSamePoints(const tPlanned& a, const tPlanned& b, int plan)
    {
        ASSERT_EQ(a.points.size(), b.points.size()) << plan;
        for (size_t j = 0; j < a.points.size(); ++j) {
            EXPECT_EQ(a.points[j].x, b.points[j].x) << plan << " point " << j;
            EXPECT_EQ(a.points[j].y, b.points[j].y) << plan << " point " << j;
            EXPECT_EQ(a.points[j].scale, b.points[j].scale) << plan << " point " << j;
            EXPECT_EQ(a.points[j].angle, b.points[j].angle) << plan << " point " << j;
            EXPECT_EQ(a.points[j].time, b.points[j].time) << plan << " point " << j;
        }
    }
};

} // namespace

TEST_F(ZoomPlanTest, PlansWhoseViewsHaveStructureStayExactlyAsDrawn)
{
    tCapturedLog log;
    LogFileLevel = 3;
    const auto unprobed = Unprobed(5);
    const auto probed = Probed(5, [](const tProbeView&, int32_t edge, int32_t iterations, std::span<int32_t> counts) {
        Varied(edge, iterations, counts);
        return true;
    });
    for (int i = 0; i < 5; ++i) {
        ExpectSamePoints(probed[static_cast<size_t>(i)], unprobed[static_cast<size_t>(i)], i);
        EXPECT_EQ(probed[static_cast<size_t>(i)].randomAfter, unprobed[static_cast<size_t>(i)].randomAfter) << i;
    }
    EXPECT_EQ(log.FileCount("View probe: 0 candidates drawn, kept the planned views"), 5);
}

TEST_F(ZoomPlanTest, AFailingPlanIsRedrawnFromAGeneratorOfItsOwn)
{
    tCapturedLog log;
    LogFileLevel = 3;
    const auto unprobed = Unprobed(4);
    // Around the first plan's target (a pan that drifts a tenth of its view
    // across it) lies the set's interior.
    const tVector2 target{unprobed[0].points[1].x, unprobed[0].points[1].y};
    const auto probed = Probed(4, InteriorAround(target, 0.2L / unprobed[0].points[0].scale));

    // The opening pan got a new target; its course stays: times,
    // magnifications and turns, and the drift of a tenth of the view.
    const tPlanned& pan = probed[0];
    ASSERT_EQ(pan.points.size(), 3u);
    EXPECT_TRUE(pan.singleKeyframe);
    EXPECT_NE(pan.points[1].x, target.x);
    for (size_t j = 0; j < 3; ++j) {
        EXPECT_EQ(pan.points[j].scale, unprobed[0].points[j].scale) << j;
        EXPECT_EQ(pan.points[j].time, unprobed[0].points[j].time) << j;
        EXPECT_EQ(pan.points[j].angle, unprobed[0].points[j].angle) << j;
    }
    const extended drift = std::hypot(pan.points[0].x - pan.points[1].x, pan.points[0].y - pan.points[1].y);
    EXPECT_NEAR(static_cast<double>(drift * pan.points[0].scale), 0.1, 1e-9);

    // The process-wide generator stands where it stands after the unprobed
    // plan, and every later plan is the unprobed one.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(probed[static_cast<size_t>(i)].randomAfter, unprobed[static_cast<size_t>(i)].randomAfter) << i;
    for (int i = 1; i < 4; ++i)
        ExpectSamePoints(probed[static_cast<size_t>(i)], unprobed[static_cast<size_t>(i)], i);

    EXPECT_EQ(log.FileCount("View probe: 0 candidates drawn"), 3);
    const auto lines = log.FileLines();
    const auto first = std::find_if(lines.begin(), lines.end(),
                                    [](const std::string& l) { return l.find("View probe: ") != std::string::npos; });
    ASSERT_NE(first, lines.end());
    EXPECT_EQ(first->find("View probe: 0 candidates"), std::string::npos) << *first;
    EXPECT_NE(first->find(" candidates drawn, kept ["), std::string::npos) << *first;
}

TEST_F(ZoomPlanTest, WhenNoCandidatePassesTheLeastBadStays)
{
    tCapturedLog log;
    LogFileLevel = 3;
    const auto unprobed = Unprobed(2);
    const auto probed = Probed(2, [](const tProbeView&, int32_t edge, int32_t iterations, std::span<int32_t> counts) {
        std::fill_n(counts.begin(), edge * edge, iterations);
        return true;
    });
    // Every candidate misses as much as the plan: the plan stands.
    for (int i = 0; i < 2; ++i) {
        ExpectSamePoints(probed[static_cast<size_t>(i)], unprobed[static_cast<size_t>(i)], i);
        EXPECT_EQ(probed[static_cast<size_t>(i)].randomAfter, unprobed[static_cast<size_t>(i)].randomAfter) << i;
    }
    EXPECT_EQ(log.FileCount("View probe: 16 candidates drawn, kept the planned views, which still lack structure"), 2);
}

TEST_F(ZoomPlanTest, ALongZoomWithoutDeepZoomingMayStartDeeperWhenItsWideViewsFail)
{
    // Without deep zooming a long zoom always starts at depth 2; where views
    // that wide show nothing but the interior, a replacement starts up to
    // four octaves deeper and still zooms thirteen octaves in 90 s.
    const auto unprobed = Unprobed(3);
    ASSERT_EQ(unprobed[2].points.back().time, 90);
    const extended wide = tPathSequence::ZoomDepth(12);
    const auto probed = Probed(3, [wide](const tProbeView& view, int32_t edge, int32_t iterations,
                                         std::span<int32_t> counts) {
        if (view.scale < wide)
            std::fill_n(counts.begin(), edge * edge, iterations);
        else
            Varied(edge, iterations, counts);
        return true;
    });
    const tPlanned& zoom = probed[2];
    ASSERT_EQ(zoom.points.size(), 2u);
    EXPECT_EQ(zoom.points[1].time, 90);
    const extended start = std::min(zoom.points[0].scale, zoom.points[1].scale);
    const extended end = std::max(zoom.points[0].scale, zoom.points[1].scale);
    EXPECT_GT(start, tPathSequence::ZoomDepth(2));
    EXPECT_LE(start, tPathSequence::ZoomDepth(42));
    EXPECT_NEAR(static_cast<double>(std::log2(end / start)), 13, 1e-5);
    EXPECT_EQ(zoom.randomAfter, unprobed[2].randomAfter);
}

TEST_F(ZoomPlanTest, TheFirstPlanOfARunIsThePanWhateverTheProbeSays)
{
    // The first kind is always the 20 s pan from one keyframe: drift, a dip
    // of 2^0.3 and back, at the depth the process-wide generator drew.
    for (const bool fails : {false, true}) {
        const auto unprobed = Unprobed(1);
        const tVector2 target{unprobed[0].points[1].x, unprobed[0].points[1].y};
        const auto probed =
            Probed(1, InteriorAround(fails ? target : tVector2{9, 9}, 0.2L / unprobed[0].points[0].scale));
        const tPlanned& first = probed[0];
        ASSERT_EQ(first.points.size(), 3u) << fails;
        EXPECT_TRUE(first.singleKeyframe);
        EXPECT_EQ(first.points[2].time, 20);
        EXPECT_EQ(first.points[0].scale, first.points[2].scale);
        EXPECT_NEAR(static_cast<double>(first.points[1].scale / first.points[0].scale), std::exp2(0.3), 1e-6);
        EXPECT_EQ(first.points[0].scale, unprobed[0].points[0].scale);
        EXPECT_EQ(first.points[1].x == target.x, !fails);
    }
}

TEST_F(ZoomPlanTest, KeyframesAreWidenedForTheScreenTheSequenceFramesFor)
{
    tFractalPointFinder finder = CheapFinder();
    tPathSequence sequence(finder);
    sequence.framing = tFramingScreen{1280, 720, 1, 1};
    const auto run = PlanRun(sequence, 2);
    // The drifting pan needs wider keyframes than the centred zoom, and both
    // more than the plain ones.
    EXPECT_GT(run[0].scaleDivisor, run[1].scaleDivisor);
    EXPECT_GT(run[1].scaleDivisor, 1.0f);
    EXPECT_EQ(Unprobed(1)[0].scaleDivisor, 1.0f);
}
