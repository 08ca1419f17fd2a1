// The view probe: its verdict on pictures of escape counts (near black and
// flat colours, with and without a colour map), its decision on real views
// through the back ends (inside a big component rejected, on the boundary
// kept), and the pixel it would zoom into.
#include "uColorMap.h"
#include "uFractal.h"
#include "uViewProbe.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int32_t kEdge = tViewProbe::kEdge;
constexpr int32_t kPixels = kEdge * kEdge;

using tCounts = std::array<int32_t, kPixels>;

/// A probe that never renders: only its judgement and pixel choice are used.
tViewProbe Judge() { return tViewProbe(nullptr); }

tCounts Filled(int32_t count)
{
    tCounts c{};
    c.fill(count);
    return c;
}

/// Counts that rise across the picture from `low` to `high`, one step a pixel.
tCounts Ramp(int32_t low, int32_t high)
{
    tCounts c{};
    for (int32_t i = 0; i < kPixels; ++i)
        c[static_cast<size_t>(i)] = low + (high - low) * i / (kPixels - 1);
    return c;
}

/// The left half of the picture in the set, the right half escaping slowly.
tCounts HalfInterior()
{
    tCounts c = Ramp(200, 500);
    for (int32_t y = 0; y < kEdge; ++y)
        for (int32_t x = 0; x < kEdge / 2; ++x)
            c[static_cast<size_t>(y * kEdge + x)] = 512;
    return c;
}

/// Points escaping after 2 steps on the left, after 3 on the right.
tCounts TwoBands()
{
    tCounts c{};
    for (int32_t i = 0; i < kPixels; ++i)
        c[static_cast<size_t>(i)] = i % kEdge < kEdge / 2 ? 2 : 3;
    return c;
}

/// Takes the first of the offered choices.
uint32_t First(uint32_t) { return 0; }

} // namespace

TEST(ViewProbe, JudgesNearBlackAndFlatColourAsAViewerSeesThem)
{
    // Preset 1 colours the set white and the escapes from black over purple
    // to green; the generator's fallback colour is black at 0 and pale
    // yellow at the limit; preset 7 colours the set almost black; preset 8
    // starts white.
    const tColorMap* purple = ColorMapGenerator().GetPreset(1);
    const tColorMap* dim = ColorMapGenerator().GetPreset(7);
    const tColorMap* bright = ColorMapGenerator().GetPreset(8);
    struct tCase {
        std::string what;
        tCounts counts;
        const tColorMap* map;
        float black;
        float flat;
        bool structure;
    };
    const std::vector<tCase> cases = {
        {"the set's interior, white in preset 1: one flat colour", Filled(512), purple, 0, 1, false},
        {"the interior without a map: one flat pale colour", Filled(512), nullptr, 0, 1, false},
        {"fast escapes, near black in preset 1", Filled(3), purple, 1, 1, false},
        {"one escape band outside the set, not dark, still flat", Filled(300), purple, 0, 1, false},
        {"half the set's interior, near black in preset 7", HalfInterior(), dim, 0.5f, -1, false},
        {"two bright escape bands side by side, far from the set", TwoBands(), bright, 0, -1, false},
        {"counts spread over the map: structure", Ramp(100, 511), purple, 0, -1, true},
    };
    tViewProbe probe = Judge();
    for (const tCase& c : cases) {
        const tViewVerdict v = probe.Judge(c.counts, 512, c.map);
        if (c.black >= 0) {
            EXPECT_FLOAT_EQ(v.blackShare, c.black) << c.what;
        }
        if (c.flat >= 0) {
            EXPECT_FLOAT_EQ(v.flatShare, c.flat) << c.what;
        }
        EXPECT_EQ(v.HasStructure(), c.structure) << c.what << ": black " << v.blackShare << " flat " << v.flatShare;
        if (!c.structure) {
            EXPECT_GT(std::max(v.blackShare - tViewVerdict::kMaxBlack, v.flatShare - tViewVerdict::kMaxFlat), 0.1f)
                << c.what << ": clearly, not narrowly";
        }
        EXPECT_EQ(v.Shortfall() == 0, c.structure) << c.what;
    }
}

TEST(ViewProbe, LooksOnlyAtTheDiscInscribedInThePicture)
{
    // Interior in the corners, outside the inscribed disc, is not judged.
    tCounts counts = Ramp(100, 511);
    const float middle = kEdge / 2.0f;
    for (int32_t y = 0; y < kEdge; ++y)
        for (int32_t x = 0; x < kEdge; ++x)
            if (std::hypot(x + 0.5f - middle, y + 0.5f - middle) > middle)
                counts[static_cast<size_t>(y * kEdge + x)] = 512;
    tViewProbe probe = Judge();
    EXPECT_EQ(probe.Judge(counts, 512, ColorMapGenerator().GetPreset(1)).flatShare,
              probe.Judge(Ramp(100, 511), 512, ColorMapGenerator().GetPreset(1)).flatShare);
}

TEST(ViewProbe, RejectsAViewInsideABigComponentAndKeepsABoundaryView)
{
    tViewProbe probe(BackEndProbeRenderer(2));
    const tColorMap* map = ColorMapGenerator().GetPreset(5);
    // The middle of the main cardioid, a tenth of a unit across: all interior.
    const auto inside = probe.Probe({-0.2L, 0, 10}, 512, map);
    ASSERT_TRUE(inside.has_value());
    EXPECT_FALSE(inside->HasStructure());
    EXPECT_FLOAT_EQ(inside->flatShare, 1.0f);
    // Seahorse valley between the cardioid and the period-2 bulb.
    const auto boundary = probe.Probe({-0.7436L, 0.1318L, 100}, 512, map);
    ASSERT_TRUE(boundary.has_value());
    EXPECT_TRUE(boundary->HasStructure()) << "black " << boundary->blackShare << " flat " << boundary->flatShare;
}

TEST(ViewProbe, RendersAGridOverTheViewThroughTheBackEnds)
{
    const tProbeView view{-1.75L, 0.125L, 2};
    tCounts counts{};
    ASSERT_TRUE(BackEndProbeRenderer(3)(view, kEdge, 100, counts));
    // Pixel centres: the view spans 1 / 2 each way around its centre.
    const tVector2 corner = tViewProbe::PixelPoint(view, kEdge, 0);
    EXPECT_NEAR(static_cast<double>(corner.x), -1.75 - 0.25 + 0.5 / (2 * kEdge), 1e-15);
    EXPECT_NEAR(static_cast<double>(corner.y), 0.125 - 0.25 + 0.5 / (2 * kEdge), 1e-15);
    // Each count is the generator's own for that pixel's point.
    tFractalMandelBrot generator;
    generator.precision = 3;
    generator.SetMaxIterations(100);
    generator.SelectBackEnd();
    for (const int32_t pixel : {0, 37, kPixels / 2 + kEdge / 2, kPixels - 1}) {
        const tVector2 p = tViewProbe::PixelPoint(view, kEdge, pixel);
        const std::array<double, 1> re{static_cast<double>(p.x)};
        const std::array<double, 1> im{static_cast<double>(p.y)};
        std::array<int32_t, 1> count{};
        generator.IteratePoints(re, im, 1, count);
        EXPECT_EQ(counts[static_cast<size_t>(pixel)], count[0]) << "pixel " << pixel;
    }

    // Without a back end for the precision there is no picture and no verdict.
    tViewProbe unsupported(BackEndProbeRenderer(9));
    EXPECT_FALSE(unsupported.Probe({0, 0, 1}, 100, nullptr).has_value());
    tViewProbe none(nullptr);
    EXPECT_FALSE(none.Probe({0, 0, 1}, 100, nullptr).has_value());
}

TEST(ViewProbe, ZoomsIntoVariedColoursOffTheInterior)
{
    const tColorMap* map = ColorMapGenerator().GetPreset(5);
    tViewProbe probe = Judge();
    // Left half interior, right half a ramp of counts: the chosen pixel is at
    // least three pixels from the interior and inside the picture's margin.
    tCounts counts = Ramp(20, 500);
    for (int32_t y = 0; y < kEdge; ++y)
        for (int32_t x = 0; x < kEdge / 2; ++x)
            counts[static_cast<size_t>(y * kEdge + x)] = 512;
    for (uint32_t choice : {0u, 1u, 5u}) {
        const auto pixel =
            probe.PixelToZoomInto(counts, kEdge, 512, map, [choice](uint32_t n) { return std::min(choice, n - 1); });
        ASSERT_TRUE(pixel.has_value());
        const int32_t x = *pixel % kEdge;
        const int32_t y = *pixel / kEdge;
        EXPECT_GE(x, kEdge / 2 + 2) << choice;
        EXPECT_GE(y, 2);
        EXPECT_LT(y, kEdge - 2);
        EXPECT_LT(x, kEdge - 2);
    }
    // A flat bright colour is no structure to zoom into: the varied part wins.
    tCounts flatAndRamp = Ramp(20, 500);
    for (int32_t y = 0; y < kEdge; ++y)
        for (int32_t x = 0; x < kEdge / 2; ++x)
            flatAndRamp[static_cast<size_t>(y * kEdge + x)] = 300;
    const auto varied = probe.PixelToZoomInto(flatAndRamp, kEdge, 512, map, First);
    ASSERT_TRUE(varied.has_value());
    EXPECT_GE(*varied % kEdge, kEdge / 2 - 2);
    // Nothing but interior: nothing to zoom into.
    EXPECT_FALSE(probe.PixelToZoomInto(Filled(512), kEdge, 512, map, First).has_value());

    // Scouting renders a smaller picture and gives the chosen pixel's point.
    tViewProbe scout([](const tProbeView&, int32_t edge, int32_t iterations, std::span<int32_t> out) {
        EXPECT_EQ(edge, tViewProbe::kScoutEdge);
        for (int32_t i = 0; i < edge * edge; ++i)
            out[static_cast<size_t>(i)] = i % edge < edge / 2 ? iterations : 20 + i * 3;
        return true;
    });
    const tProbeView view{0.25L, -0.5L, 40};
    const auto point = scout.Scout(view, 512, map, First);
    ASSERT_TRUE(point.has_value());
    EXPECT_GT(point->x, view.x) << "in the right half, off the interior";
    EXPECT_FALSE(tViewProbe(nullptr).Scout(view, 512, map, First).has_value());
}
