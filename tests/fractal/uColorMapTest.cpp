// Colour maps and presets. Expected entries are computed here from the
// definition in exact integer arithmetic: entry first + i of a gradient over n
// entries is round((A × (n − i) + B × i) ÷ n), ties to even, clamped to 0..255.
#include "uAssert.h"
#include "uColorMap.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

int64_t RoundHalfEven(int64_t numerator, int64_t denominator)
{
    int64_t q = numerator / denominator;
    int64_t r = numerator % denominator;
    if (r < 0) {
        r += denominator;
        q -= 1;
    }
    if (2 * r > denominator || (2 * r == denominator && (q & 1)))
        ++q;
    return q;
}

int Clamp255(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, 0, 255)); }

struct tRgb {
    int r = 0, g = 0, b = 0;
};

// The model map: three integer channels per entry, written the way the
// definition says, with its own index rounding.
struct tModel {
    std::array<tRgb, 4096> e{};
    int count = 4096;

    static int Index(double position) { return static_cast<int>(std::nearbyint(4096.0 * position)); }

    void Gradient(int first, int last, tRgb a, tRgb b, bool add)
    {
        first = std::max(first, 0);
        last = std::min(last, count - 1);
        const int n = last - first + 1;
        for (int i = 0; i < n; ++i) {
            auto mix = [&](int x, int y) { return RoundHalfEven(int64_t{x} * (n - i) + int64_t{y} * i, n); };
            tRgb& t = e[static_cast<size_t>(first + i)];
            t = add ? tRgb{Clamp255(t.r + mix(a.r, b.r)), Clamp255(t.g + mix(a.g, b.g)), Clamp255(t.b + mix(a.b, b.b))}
                    : tRgb{Clamp255(mix(a.r, b.r)), Clamp255(mix(a.g, b.g)), Clamp255(mix(a.b, b.b))};
        }
    }
    void Stops(const std::vector<std::pair<double, tRgb>>& stops)
    {
        for (size_t i = 0; i + 1 < stops.size(); ++i)
            Gradient(Index(stops[i].first), Index(stops[i + 1].first), stops[i].second, stops[i + 1].second, false);
    }
    void Band(float centre, float halfWidth, tRgb c)
    {
        const double lo = double{centre} - double{halfWidth}, mid = centre, hi = double{centre} + double{halfWidth};
        Gradient(Index(lo), Index(mid), {}, c, true);
        Gradient(Index(mid), Index(hi), c, {}, true);
    }
    tPackedColor Packed(int i) const
    {
        const tRgb& t = e[static_cast<size_t>(i)];
        return PackRGBA(static_cast<uint8_t>(t.r), static_cast<uint8_t>(t.g), static_cast<uint8_t>(t.b), 255);
    }
};

tModel BlackToWhite()
{
    tModel m;
    m.Gradient(0, 4096, {0, 0, 0}, {255, 255, 255}, false);
    return m;
}

void ExpectSameEntries(const tColorMap& map, const tModel& model)
{
    int mismatches = 0;
    for (int i = 0; i < 4096 && mismatches < 5; ++i) {
        if (map.Entry(i) != model.Packed(i)) {
            ++mismatches;
            ADD_FAILURE() << "entry " << i << ": " << std::hex << map.Entry(i) << " expected " << model.Packed(i);
        }
    }
}

template <typename F> void ExpectColorMapAssertion(F&& f, int line) { ExpectAssertion(f, "uColorMap", line); }

constexpr tFloatColor kBlack{0, 0, 0, 255};

} // namespace

TEST(ColorMap, ANewMapRunsFromBlackToWhite)
{
    const tColorMap map;
    EXPECT_EQ(map.EntryCount(), 4096);
    EXPECT_EQ(map.Entry(0), PackRGBA(0, 0, 0, 255));
    EXPECT_EQ(map.Entry(4095), PackRGBA(255, 255, 255, 255)) << "t = 4095/4096 gives 254.94, rounded to 255";
    EXPECT_EQ(map.Entry(2048), PackRGBA(128, 128, 128, 255)) << "255 × 2048/4096 = 127.5: ties go to even";
    ExpectSameEntries(map, BlackToWhite());
}

TEST(ColorMap, LookupClampsMultipliesAndRoundsToEven)
{
    const tColorMap map;
    EXPECT_EQ(map.Lookup(0), map.Entry(0));
    EXPECT_EQ(map.Lookup(1), map.Entry(4095));
    ASSERT_NE(map.Entry(2047), map.Entry(2048));
    EXPECT_EQ(map.Lookup(0.5f), map.Entry(2048)) << "round(2047.5) is 2048";
    EXPECT_EQ(map.Lookup(-0.25f), map.Entry(0));
    EXPECT_EQ(map.Lookup(-std::numeric_limits<float>::infinity()), map.Entry(0));
    EXPECT_EQ(map.Lookup(std::numeric_limits<float>::quiet_NaN()), map.Entry(0));
    EXPECT_EQ(map.Lookup(1.5f), map.Entry(4095));
    EXPECT_EQ(map.Lookup(std::numeric_limits<float>::infinity()), map.Entry(4095));
    EXPECT_EQ(map.Lookup(100.0f / 4095), map.Entry(100));

    // Six entries, each different.
    tColorMap six;
    six.SetEntryCount(6);
    six.Gradient(0, 5, {0, 0, 0, 255}, {240, 240, 240, 255});
    for (int i = 1; i < 6; ++i)
        ASSERT_NE(six.Entry(i), six.Entry(i - 1));
    EXPECT_EQ(six.Lookup(0.5f), six.Entry(2)) << "5 × 0.5 = 2.5 goes to the even 2";
    // The product is taken exactly: rounded to single first, 5 × 0.7f (3.49999994)
    // would become the tie 3.5 and go to 4, and 5 × 0.1f (0.50000000745) would become 0.5 and go to 0.
    EXPECT_EQ(six.Lookup(0.7f), six.Entry(3));
    EXPECT_EQ(six.Lookup(0.1f), six.Entry(1));
    EXPECT_EQ(six.Lookup(1), six.Entry(5));
}

TEST(ColorMap, EntryCountIsLimited)
{
    tColorMap map;
    try {
        map.SetEntryCount(4097);
        FAIL() << "4097 entries must be refused";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Color map is limited to 4096 entries");
    }
    EXPECT_EQ(map.EntryCount(), 4096) << "the count is unchanged";
    map.SetEntryCount(100);
    EXPECT_EQ(map.EntryCount(), 100);
    EXPECT_EQ(map.Entry(4095), PackRGBA(255, 255, 255, 255)) << "entries are not touched";
    map.SetEntryCount(4096);
    EXPECT_EQ(map.EntryCount(), 4096);
    EXPECT_THROW(map.SetEntryCount(0), std::length_error) << "a map without entries cannot be looked up";
    EXPECT_THROW(map.SetEntryCount(-5), std::length_error);
    EXPECT_EQ(map.EntryCount(), 4096);
}

TEST(ColorMap, GradientStopsOneStepShortAndClamps)
{
    tColorMap map;
    const tPackedColor before = map.Entry(14);
    map.Gradient(10, 13, {0, 0, 0, 255}, {100, 200, 40, 255});
    // Four entries: t = 0, 1/4, 2/4, 3/4; the end colour itself is never written.
    EXPECT_EQ(map.Entry(10), PackRGBA(0, 0, 0));
    EXPECT_EQ(map.Entry(11), PackRGBA(25, 50, 10));
    EXPECT_EQ(map.Entry(12), PackRGBA(50, 100, 20));
    EXPECT_EQ(map.Entry(13), PackRGBA(75, 150, 30));
    EXPECT_EQ(map.Entry(14), before);

    // Components outside 0..255 interpolate unclamped and are clamped when packed.
    map.Gradient(-50, 1, {-100, 300, 1000, 0}, {-100, 300, 1000, 0});
    EXPECT_EQ(map.Entry(0), PackRGBA(0, 255, 255, 255)) << "alpha is always 255";
    EXPECT_EQ(map.Entry(1), PackRGBA(0, 255, 255, 255));
    map.Gradient(4090, 9999, {0, 0, 0, 255}, {60, 60, 60, 255}); // clamped to 4090 .. 4095: six entries
    EXPECT_EQ(map.Entry(4091), PackRGBA(10, 10, 10));
    EXPECT_EQ(map.Entry(4095), PackRGBA(50, 50, 50));

    // With a smaller entry count the map ends earlier.
    map.SetEntryCount(8);
    map.GradientAll({0, 0, 0, 255}, {80, 80, 80, 255});
    EXPECT_EQ(map.Entry(7), PackRGBA(70, 70, 70));
    EXPECT_EQ(map.Entry(8), PackRGBA(0, 0, 0)) << "beyond the count: still the black-to-white value";
}

TEST(ColorMap, AddGradientAddsAndSaturates)
{
    tColorMap map;
    map.Gradient(0, 3, {200, 10, 100, 255}, {200, 10, 100, 255});
    map.AddGradient(0, 3, {0, -40, 0, 255}, {100, -40, 0, 255});
    EXPECT_EQ(map.Entry(0), PackRGBA(200, 0, 100));
    EXPECT_EQ(map.Entry(1), PackRGBA(225, 0, 100));
    EXPECT_EQ(map.Entry(2), PackRGBA(250, 0, 100));
    EXPECT_EQ(map.Entry(3), PackRGBA(255, 0, 100)) << "200 + 75 saturates";

    // A band: 0 at both edges, its colour twice at the shared centre entry.
    tColorMap band;
    band.MultiGradient({0, 1}, {kBlack, kBlack});
    band.AddBand({100, 60, 20, 255}, 0.5f, 0.25f);
    tModel m;
    m.Band(0.5f, 0.25f, {100, 60, 20});
    ExpectSameEntries(band, m);
    // Entries 1024 .. 2048 rise with t = i/1025, so 2048 gets round(100 × 1024/1025) = 100
    // from the first pair and 100 again from the second.
    EXPECT_EQ(band.Entry(2048), PackRGBA(200, 120, 40));
    EXPECT_EQ(band.Entry(1024), PackRGBA(0, 0, 0));
    EXPECT_EQ(band.Entry(3072), PackRGBA(0, 0, 0));
}

TEST(ColorMap, ReversedRangesAndBadStopArraysFailAssertions)
{
    tColorMap map;
    const tFloatColor w{255, 255, 255, 255};
    ExpectColorMapAssertion([&] { map.Gradient(10, 5, kBlack, w); }, 98);
    ExpectColorMapAssertion([&] { map.Gradient(5000, 6000, kBlack, w); }, 98); // empty after clamping
    ExpectColorMapAssertion([&] { map.AddGradient(10, 5, kBlack, w); }, 115);
    ExpectColorMapAssertion([&] { map.AddGradient(-9, -1, kBlack, w); }, 115);
    ExpectColorMapAssertion([&] { map.MultiGradient({0, 0.5, 1}, {kBlack, w}); }, 137);
    ExpectColorMapAssertion([&] { map.MultiGradient({0}, {kBlack}); }, 138);
    ExpectColorMapAssertion([&] { map.MultiAddGradient({0, 1}, {kBlack}); }, 147);
    ExpectColorMapAssertion([&] { map.MultiAddGradient({}, {}); }, 148);
    ExpectColorMapAssertion([&] { map.MultiGradient({0.5, 0.25}, {kBlack, w}); }, 98);
    map.Gradient(7, 7, w, kBlack); // a single entry is a valid range
    EXPECT_EQ(map.Entry(7), PackRGBA(255, 255, 255));
}

namespace {
// Preset 6 as a model: the stops, then the two bands.
tModel PresetSixModel()
{
    tModel m = BlackToWhite();
    m.Stops({{0, {0, 0, 0}}, {0.3, {12, 142, 241}}, {0.6, {0, 0, 400}}, {0.9, {512, 512, 512}}, {1, {0, 0, 0}}});
    m.Band(0.61f, 0.04f, {25, 25, 25});
    m.Band(0.6f, 0.03f, {-25, -25, -25});
    return m;
}
} // namespace

TEST(ColorMapPreset, OneRisesToSaturatedBlue)
{
    tCapturedLog log; // building a preset writes a note
    const auto map = tColorMapGenerator::BuildPreset(1);
    // The first pair covers entries 0 .. 2048 with t = j / 2049; entry 2048 then starts the second pair.
    for (int j = 0; j <= 2047; ++j) {
        const int blue = Clamp255(RoundHalfEven(378 * j, 2049));
        const int red = Clamp255(RoundHalfEven(128 * j, 2049));
        ASSERT_EQ(map->Entry(j), PackRGBA(static_cast<uint8_t>(red), 0, static_cast<uint8_t>(blue))) << j;
    }
    EXPECT_EQ(BlueOf(map->Entry(1379)), 254);
    EXPECT_EQ(BlueOf(map->Entry(1380)), 255) << "378 × 1380 / 2049 = 254.6";
    EXPECT_EQ(BlueOf(map->Entry(2047)), 255);
    EXPECT_EQ(map->Entry(2048), PackRGBA(128, 0, 255)) << "the second pair starts with its own colour";

    tModel m = BlackToWhite();
    m.Stops({{0, {0, 0, 0}}, {0.5, {128, 0, 378}}, {0.99, {128, 512, 128}}, {1, {255, 255, 255}}});
    ExpectSameEntries(*map, m);
}

TEST(ColorMapPreset, SixDarkensAroundTheBandWithoutWrapping)
{
    tCapturedLog log; // building a preset writes a note
    const auto map = tColorMapGenerator::BuildPreset(6);
    ExpectSameEntries(*map, PresetSixModel());
    // Entry 2458 = Round(4096 × 0.6f) starts the (0, 0, 400) stop; the bright band lifts
    // it by round(25 × 123/165) = 19, the dark band's two halves take 25 and 25 away:
    // R and G go below 0 and stay at 0, blue goes from 255 to 205.
    EXPECT_EQ(map->Entry(2458), PackRGBA(0, 0, 205));
    const auto plain = [] {
        tColorMap m;
        m.MultiGradient({0, 0.3, 0.6, 0.9, 1}, {kBlack, {12, 142, 241, 255}, {0, 0, 400, 255}, {512, 512, 512, 255}, kBlack});
        return m;
    }();
    int darker = 0;
    for (int i = 2335; i <= 2580; ++i)
        darker += BlueOf(map->Entry(i)) < BlueOf(plain.Entry(i));
    EXPECT_GT(darker, 100);
}

TEST(ColorMapPreset, EveryPresetFollowsItsRecipe)
{
    tCapturedLog log; // building a preset writes a note
    struct tBandRecipe {
        float centre, halfWidth;
        tRgb c;
    };
    struct tRecipe {
        int n;
        std::vector<std::pair<double, tRgb>> stops;
        std::vector<tBandRecipe> bands;
    };
    const std::vector<tRecipe> recipes = {
        {2, {{0, {0, 0, 0}}, {0.99, {225, 225, 225}}, {1, {255, 255, 255}}}, {}},
        {3,
         {{0, {255, 255, 255}}, {0.01, {0, 0, 0}}, {0.2, {255, 255, 280}}, {0.4, {0, 0, 0}}, {0.6, {255, 300, 255}},
          {0.8, {0, 0, 0}}, {0.99, {300, 244, 244}}, {1, {0, 0, 0}}},
         {}},
        {4, {{0, {0, 0, 0}}, {0.5, {200, 220, 200}}, {0.99, {225, 225, 245}}, {1, {115, 125, 95}}}, {}},
        {5,
         {{0, {0, 0, 0}}, {0.02, {200, 0, 0}}, {0.04, {100, 200, 0}}, {0.1, {20, 100, 200}}, {0.2, {100, 20, 200}},
          {0.4, {20, 200, 100}}, {0.6, {100, 100, 100}}, {0.7, {200, 200, 20}}, {0.8, {0, 250, 0}},
          {0.99, {225, 225, 245}}, {1, {0, 0, 0}}},
         {}},
        {7,
         {{0, {0, 0, 0}}, {0.3, {200, 0, 0}}, {0.5, {241, 142, 12}}, {0.7, {255, 255, 0}}, {0.95, {512, 240, 200}},
          {1, {25, 5, 2}}},
         {}},
        {8,
         {{0, {255, 255, 255}}, {0.05, {255, 0, 0}}, {0.1, {255, 200, 0}}, {0.2, {255, 255, 0}}, {0.3, {0, 255, 0}},
          {0.5, {0, 255, 255}}, {0.7, {0, 0, 255}}, {0.95, {255, 0, 255}}, {1, {0, 0, 0}}},
         {}},
        {9,
         {{0, {177, 172, 210}}, {0.01, {177, 205, 192}}, {0.5, {255, 255, 255}}, {0.99, {248, 252, 69}},
          {1, {0, 0, 0}}},
         {}},
        {10,
         {{0, {0, 0, 0}}, {0.01, {248, 216, 86}}, {0.1, {163, 106, 22}}, {0.2, {177, 128, 16}}, {0.29, {119, 86, 11}},
          {0.3, {177, 128, 16}}, {0.39, {119, 86, 11}}, {0.4, {177, 128, 16}}, {0.69, {119, 86, 11}},
          {0.7, {235, 237, 228}}, {0.91, {255, 255, 255}}, {1, {105, 96, 88}}},
         {}},
        {11,
         {{0, {0, 0, 0}}, {1, {0, 0, 0}}},
         {{0.4f, 0.01f, {255, 255, 255}}, {0.4f, 0.5f, {100, 100, 200}}, {0.6f, 0.007f, {255, 255, 255}},
          {0.6f, 0.3f, {200, 200, 10}}, {0.8f, 0.002f, {255, 255, 255}}, {0.8f, 0.05f, {100, 100, 100}}}},
        {12,
         {{0, {0, 0, 0}}, {0.1, {40, 50, 30}}, {0.2, {1000, 1000, 1000}}, {0.3, {0, 0, 0}}, {0.4, {35, 35, 35}},
          {0.5, {0, 0, 50}}, {0.6, {255, 0, 1000}}, {0.7, {0, 50, 50}}, {0.99, {0, 0, 50}}, {1, {0, 0, 0}}},
         {}},
        {13,
         {{0, {0, 0, 0}}, {0.05, {229, 144, 144}}, {0.1, {229, 188, 144}}, {0.2, {229, 229, 144}},
          {0.3, {150, 229, 129}}, {0.5, {130, 130, 230}}, {0.7, {200, 130, 232}}, {0.95, {232, 131, 188}},
          {1, {0, 0, 0}}},
         {}},
    };
    for (const auto& r : recipes) {
        SCOPED_TRACE("preset " + std::to_string(r.n));
        tModel m = BlackToWhite();
        m.Stops(r.stops);
        for (const auto& b : r.bands)
            m.Band(b.centre, b.halfWidth, b.c);
        ExpectSameEntries(*tColorMapGenerator::BuildPreset(r.n), m);
    }
    // The set's own colour, entry 4095, is 40/41 of the way from the 0.99 stop
    // (248, 252, 69) to black: one step short of black.
    const auto nine = tColorMapGenerator::BuildPreset(9);
    EXPECT_EQ(nine->Entry(4095), PackRGBA(6, 6, 2));
}

TEST(ColorMapGenerator, BuildsEachPresetOnceAndOnlyInRange)
{
    tCapturedLog log;
    LogFileLevel = 2;
    tColorMapGenerator generator;
    EXPECT_EQ(generator.GetPreset(0), nullptr);
    EXPECT_EQ(generator.GetPreset(15), nullptr);
    EXPECT_EQ(generator.GetPreset(-1), nullptr);
    EXPECT_EQ(log.FileCount("Creating Preset Colormap"), 0);

    tColorMap* first = generator.GetPreset(5);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(generator.GetPreset(5), first);
    EXPECT_EQ(log.FileCount("Creating Preset Colormap 5"), 1);
    EXPECT_NE(generator.GetPreset(6), first);

    tColorMap* plain = generator.GetPreset(14);
    ASSERT_NE(plain, nullptr);
    ExpectSameEntries(*plain, BlackToWhite());
    EXPECT_EQ(log.FileCount("Creating Preset Colormap 14"), 1);
}
