// The zoom-target search: weighted regions, the redraw rule, the two
// escape-count tests at their boundaries, and the log of a search.
#include "uFractalPointFinder.h"

#include "uAssert.h"
#include "uBackEnds.h"
#include "uFormat.h"
#include "uRandom.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>

namespace {

// Escape counts handed out in order (0, a rejection, once they run out),
// remembering every point asked about.
struct tScriptedCounts {
    std::deque<int32_t> counts;
    std::vector<tVector2> asked;

    tEscapeCountFunction Function()
    {
        return [this](int32_t limit, extended re, extended im) {
            EXPECT_EQ(limit, 1024);
            asked.push_back({re, im});
            if (counts.empty())
                return 0;
            const int32_t c = counts.front();
            counts.pop_front();
            return c;
        };
    }
};

bool Inside(const tVector2& p, const tFractalRegion& r)
{
    return p.x >= r.cornerA.x && p.x <= r.cornerB.x && p.y >= r.cornerA.y && p.y <= r.cornerB.y;
}

// The draws of the process-wide generator from a seed, without consuming them.
std::vector<double> DrawsFrom(uint32_t seed, int n)
{
    SetRandSeed(seed);
    std::vector<double> v;
    for (int i = 0; i < n; ++i)
        v.push_back(Random());
    SetRandSeed(seed);
    return v;
}

// The number of draws between two generator states.
int DrawsBetween(uint32_t from, uint32_t to)
{
    SetRandSeed(from);
    for (int n = 0; n < 100; ++n) {
        if (RandSeed() == to)
            return n;
        Random();
    }
    return -1;
}

} // namespace

TEST(PointFinder, TheFifteenRegions)
{
    const tFractalPointFinder finder;
    ASSERT_EQ(finder.RegionCount(), 15u);
    EXPECT_EQ(finder.Region(0).weight, 10.0f);
    EXPECT_EQ(finder.Region(0).cornerA.x, -2.1190178508792901L);
    EXPECT_EQ(finder.Region(14).cornerB.y, -0.64854159952500301L);
    for (size_t i = 0; i < finder.RegionCount(); ++i) {
        const tFractalRegion& r = finder.Region(i);
        EXPECT_LT(r.cornerA.x, r.cornerB.x) << i;
        EXPECT_LT(r.cornerA.y, r.cornerB.y) << i;
        if (i > 0) {
            EXPECT_EQ(r.weight, 0.15f) << i;
        }
    }
    EXPECT_THROW(finder.Region(15), std::out_of_range);

    // Single-precision sum in list order: not the double sum 12.1.
    const float total = finder.TotalWeight();
    EXPECT_NEAR(total, 12.1f, 1e-5f);
    EXPECT_NE(static_cast<double>(total), 10.0 + 14 * static_cast<double>(0.15f));
    float expected = 10.0f;
    for (int i = 0; i < 14; ++i)
        expected += 0.15f;
    EXPECT_EQ(total, expected);
}

TEST(PointFinder, RegionTextIsTheSameInEveryLocale)
{
    const tFractalPointFinder finder;
    tDecimalCommaLocale comma;
    EXPECT_TRUE(comma.Active()) << "the test wants a decimal-comma locale";
    EXPECT_EQ(tFractalPointFinder::RegionText(finder.Region(0)), "[-2.119,-1.138] - [1.106,1.177]");
    EXPECT_EQ(tFractalPointFinder::RegionText(finder.Region(9)), "[0.346,0.089] - [0.354,0.095]");
    tFractalRegion tiny{1.0f, {0.0L, 0.0L}, {0.0004L, -0.0004L}};
    EXPECT_EQ(tFractalPointFinder::RegionText(tiny), "[0.000,0.000] - [0.000,-0.000]");
}

TEST(PointFinder, PickingFromAnEmptyListIsAProgrammingError)
{
    tFractalPointFinder finder([](int32_t, extended, extended) { return 0; }, false);
    EXPECT_EQ(finder.RegionCount(), 0u);
    try {
        finder.PickRegion();
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uFractalPointFinder");
        EXPECT_EQ(e.Line(), 109);
    }
}

TEST(PointFinder, TheSameRegionTwiceInARowIsRedrawnOnce)
{
    tFractalPointFinder single([](int32_t, extended, extended) { return 0; }, false);
    single.AddRegion({0, 0}, {1, 1}, 1.0f);
    SetRandSeed(12345);
    uint32_t before = RandSeed();
    single.PickRegion();
    EXPECT_EQ(DrawsBetween(before, RandSeed()), 1);
    for (int i = 0; i < 3; ++i) {
        before = RandSeed();
        const tFractalRegion& r = single.PickRegion();
        EXPECT_EQ(&r, &single.Region(0)) << "the redraw stands even when it is the same region";
        EXPECT_EQ(DrawsBetween(before, RandSeed()), 2) << "exactly one redraw";
    }

    // Two equal regions: draws below one half pick the first.
    tFractalPointFinder two([](int32_t, extended, extended) { return 0; }, false);
    two.AddRegion({0, 0}, {1, 1}, 1.0f);
    two.AddRegion({2, 2}, {3, 3}, 1.0f);
    auto first = [](double v) { return std::fabs(v - 0.5) > 0.01 && v < 0.5; };
    auto second = [](double v) { return std::fabs(v - 0.5) > 0.01 && v > 0.5; };
    bool checked = false;
    for (uint32_t seed = 1; seed < 1000 && !checked; ++seed) {
        const auto v = DrawsFrom(seed, 3);
        if (!(first(v[0]) && first(v[1]) && second(v[2])))
            continue;
        EXPECT_EQ(&two.PickRegion(), &two.Region(0));
        EXPECT_EQ(&two.PickRegion(), &two.Region(1)) << "first again, so redrawn: second";
        EXPECT_EQ(DrawsBetween(seed, RandSeed()), 3);
        checked = true;
    }
    EXPECT_TRUE(checked);

    // A remainder that never reaches zero takes the last region (a NaN
    // weight stands in for rounding here); r = 0 stops at the first.
    tFractalPointFinder odd([](int32_t, extended, extended) { return 0; }, false);
    odd.AddRegion({0, 0}, {1, 1}, 1.0f);
    odd.AddRegion({2, 2}, {3, 3}, std::nanf(""));
    odd.AddRegion({4, 4}, {5, 5}, 1.0f);
    EXPECT_EQ(&odd.PickRegion(), &odd.Region(2));
    tFractalPointFinder zero([](int32_t, extended, extended) { return 0; }, false);
    zero.AddRegion({0, 0}, {1, 1}, 0.0f);
    zero.AddRegion({2, 2}, {3, 3}, 0.0f);
    EXPECT_EQ(&zero.PickRegion(), &zero.Region(0));
}

TEST(PointFinder, AcceptanceAtTheBoundaries)
{
    struct tCase {
        std::deque<int32_t> counts;
        int expectedTries;     // 0: no point in the script
        size_t expectedCalls;
    };
    const tCase cases[] = {
        {{1024, 501, 601}, 2, 3},     // inside the set: rejected without a jitter test
        {{500, 501, 401}, 2, 3},      // too fast; then 401 is 100 below
        {{501, 601}, 1, 2},           // exactly 100 above
        {{501, 600, 1023, 923}, 2, 4},// 99 rejected; 100 below accepted
        {{501, 502, 700, 601}, 0, 0}, // neither differs by 100
    };
    for (const tCase& c : cases) {
        tCapturedLog log;
        tScriptedCounts script;
        script.counts = c.counts;
        tFractalPointFinder finder(script.Function());
        SetRandSeed(777);
        tVector2 point;
        if (c.expectedTries == 0) {
            EXPECT_FALSE(finder.FindPoint(point));
            EXPECT_FALSE(log.FileContains("found zoom point"));
            continue;
        }
        ASSERT_TRUE(finder.FindPoint(point));
        EXPECT_EQ(script.asked.size(), c.expectedCalls);
        EXPECT_EQ(log.FileCount(") took " + std::to_string(c.expectedTries) + " goes"), 1);
        // The point is the last candidate, not its jittered neighbour.
        const tVector2 candidate = script.asked[c.expectedCalls - 2];
        const tVector2 jittered = script.asked[c.expectedCalls - 1];
        EXPECT_EQ(point, candidate);
        EXPECT_GE(jittered.x - candidate.x, 0.0L);
        EXPECT_LT(jittered.x - candidate.x, 1e-11L);
        EXPECT_GE(jittered.y - candidate.y, 0.0L);
        EXPECT_LT(jittered.y - candidate.y, 1e-11L);
        EXPECT_TRUE(log.FileContains("found zoom point (" + VectorText(point) + ") took "));
    }
}

TEST(PointFinder, GivingUpLogsEveryRegionAndKeepsTheLastCandidate)
{
    tCapturedLog log;
    size_t calls = 0;
    tVector2 last;
    tFractalPointFinder finder([&](int32_t, extended re, extended im) {
        ++calls;
        last = {re, im};
        return 0;
    });
    SetRandSeed(4242);
    tVector2 point{99, 99};
    EXPECT_FALSE(finder.FindPoint(point));
    EXPECT_EQ(calls, 6u * 65536u);
    EXPECT_EQ(point, last);
    const auto lines = log.FileLines();
    ASSERT_EQ(lines.size(), 7u);
    for (int i = 0; i < 6; ++i) {
        const std::string prefix = "No point found in region ";
        const auto at = lines[i].find(prefix);
        ASSERT_NE(at, std::string::npos) << lines[i];
        const std::string text = lines[i].substr(at + prefix.size());
        bool known = false;
        for (size_t r = 0; r < finder.RegionCount(); ++r)
            known = known || text == tFractalPointFinder::RegionText(finder.Region(r));
        EXPECT_TRUE(known) << text;
    }
    EXPECT_EQ(lines[6].substr(13), "Giving up on finding an interesting point in the mandelbrot set :( ");
}

TEST(PointFinder, TheRealSearchIsRepeatableAndItsPointPassesBothTests)
{
    tVector2 found[2];
    std::vector<std::string> logged[2];
    for (int run = 0; run < 2; ++run) {
        tCapturedLog log;
        tFractalPointFinder finder;
        SetRandSeed(20071024);
        ASSERT_TRUE(finder.FindPoint(found[run]));
        logged[run] = log.FileLines();
    }
    EXPECT_EQ(found[0], found[1]);
    ASSERT_EQ(logged[0].size(), logged[1].size());
    for (size_t i = 0; i < logged[0].size(); ++i)
        EXPECT_EQ(logged[0][i].substr(13), logged[1][i].substr(13));

    const int32_t d = EscapeCount(1024, found[0].x, found[0].y);
    EXPECT_GT(d, 500);
    EXPECT_LT(d, 1024);
    const tFractalPointFinder finder;
    bool inRegion = false;
    for (size_t r = 0; r < finder.RegionCount(); ++r)
        inRegion = inRegion || Inside(found[0], finder.Region(r));
    EXPECT_TRUE(inRegion);
}

TEST(PointFinder, TheFoundLineWritesAPointInEveryLocale)
{
    tDecimalCommaLocale comma;
    tCapturedLog log;
    tScriptedCounts script;
    script.counts = {600, 800};
    tFractalPointFinder finder(script.Function());
    SetRandSeed(1);
    tVector2 point;
    ASSERT_TRUE(finder.FindPoint(point));
    const auto lines = log.FileLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string line = lines[0].substr(13);
    EXPECT_EQ(line, "found zoom point ([" + FloatToStr(point.x) + "," + FloatToStr(point.y) + "]) took 1 goes");
    EXPECT_NE(line.find('.'), std::string::npos);
    EXPECT_EQ(std::count(line.begin(), line.end(), ','), 1) << line;
}
