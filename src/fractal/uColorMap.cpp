// tColorMap: gradients, additive gradients and bands.
// tColorMapGenerator: the preset recipes and the process-wide instance.
#include "uColorMap.h"

#include "uAssert.h"
#include "uFormat.h"
#include "uLog.h"
#include "uMath.h"
#include "uProfileTimer.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {
constexpr tFloatColor kOpaqueBlack{0, 0, 0, 255};
constexpr tFloatColor kOpaqueWhite{255, 255, 255, 255};

// Entry i of a gradient over n entries: each component is
// round(A × (1 − t) + B × t), ties to even, with t = i ÷ n. It is evaluated as
// (A × (n − i) + B × i) ÷ n, which is exact up to the one division: t itself
// is rarely representable, and rounding it first would decide exact halves
// (225 × 1/6 = 37.5) by the representation error of t instead of by the
// ties-to-even rule.
tFloatColor GradientColor(const tFloatColor& a, const tFloatColor& b, int32_t i, int32_t n)
{
    const extended wa = n - i;
    const extended wb = i;
    auto mix = [&](float x, float y) {
        return static_cast<float>(Round((static_cast<extended>(x) * wa + static_cast<extended>(y) * wb) / n));
    };
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), 255};
}

// Round(entry count × position) as an entry index; positions far outside the
// map saturate instead of overflowing (Gradient clamps them to the map).
int32_t EntryAt(int32_t entryCount, double position)
{
    const int64_t index = Round(static_cast<extended>(entryCount) * position);
    return static_cast<int32_t>(std::clamp<int64_t>(index, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}
} // namespace

tColorMap::tColorMap()
{
    SetEntryCount(kMaxEntries);
    GradientAll(kOpaqueBlack, kOpaqueWhite);
}

void tColorMap::SetEntryCount(int32_t count)
{
    if (count > kMaxEntries)
        throw std::length_error("Color map is limited to " + IntToStr(kMaxEntries) + " entries");
    // Lookup reads entry count − 1: an empty map would read before the table.
    if (count < 1)
        throw std::length_error("Color map needs at least 1 entry");
    entryCount_ = count;
}

void tColorMap::Gradient(int32_t first, int32_t last, const tFloatColor& a, const tFloatColor& b)
{
    first = std::max(first, 0);
    last = std::min(last, entryCount_ - 1);
    Assert(first <= last, "uColorMap", 98);
    const int32_t n = last - first + 1;
    for (int32_t j = first; j <= last; ++j) {
        const tFloatColor c = GradientColor(a, b, j - first, n);
        entries_[static_cast<size_t>(j)] = PackRGBA(PackComponent(c.r), PackComponent(c.g), PackComponent(c.b), 255);
    }
}

void tColorMap::AddGradient(int32_t first, int32_t last, const tFloatColor& a, const tFloatColor& b)
{
    first = std::max(first, 0);
    last = std::min(last, entryCount_ - 1);
    Assert(first <= last, "uColorMap", 115);
    const int32_t n = last - first + 1;
    for (int32_t j = first; j <= last; ++j) {
        const tFloatColor c = GradientColor(a, b, j - first, n);
        const tPackedColor old = entries_[static_cast<size_t>(j)];
        entries_[static_cast<size_t>(j)] = PackRGBA(PackComponent(RedOf(old) + c.r), PackComponent(GreenOf(old) + c.g),
                                                    PackComponent(BlueOf(old) + c.b), 255);
    }
}

void tColorMap::GradientAll(const tFloatColor& a, const tFloatColor& b)
{
    Gradient(0, entryCount_, a, b);
}

void tColorMap::MultiGradient(const std::vector<double>& positions, const std::vector<tFloatColor>& colors)
{
    Assert(positions.size() == colors.size(), "uColorMap", 137);
    Assert(positions.size() >= 2, "uColorMap", 138);
    for (size_t i = 0; i + 1 < positions.size(); ++i)
        Gradient(EntryAt(entryCount_, positions[i]), EntryAt(entryCount_, positions[i + 1]), colors[i], colors[i + 1]);
}

void tColorMap::MultiAddGradient(const std::vector<double>& positions, const std::vector<tFloatColor>& colors)
{
    Assert(positions.size() == colors.size(), "uColorMap", 147);
    Assert(positions.size() >= 2, "uColorMap", 148);
    for (size_t i = 0; i + 1 < positions.size(); ++i)
        AddGradient(EntryAt(entryCount_, positions[i]), EntryAt(entryCount_, positions[i + 1]), colors[i],
                    colors[i + 1]);
}

void tColorMap::AddBand(const tFloatColor& color, float centre, float halfWidth)
{
    // The edges are formed from the singles exactly (their difference fits a
    // double); only Round(entry count × position) rounds.
    const double c = centre;
    const double w = halfWidth;
    MultiAddGradient({c - w, c, c + w}, {kOpaqueBlack, color, kOpaqueBlack});
}

// ---------------------------------------------------------------------------
// Presets

namespace {

struct tStop {
    double position;
    float r, g, b;
};

struct tBand {
    float centre;
    float halfWidth;
    float r, g, b;
};

struct tRecipe {
    std::vector<tStop> stops;
    std::vector<tBand> bands;
};

// Most presets end in a stop at 0.99 and a different one at 1: entry 4 095
// colours the set itself, the stops below 0.99 the escaping points.
const std::vector<tRecipe>& Recipes()
{
    static const std::vector<tRecipe> recipes = {
        {}, // no preset 0
        {{{0, 0, 0, 0}, {0.5, 128, 0, 378}, {0.99, 128, 512, 128}, {1, 255, 255, 255}}, {}},
        {{{0, 0, 0, 0}, {0.99, 225, 225, 225}, {1, 255, 255, 255}}, {}},
        {{{0, 255, 255, 255},
          {0.01, 0, 0, 0},
          {0.2, 255, 255, 280},
          {0.4, 0, 0, 0},
          {0.6, 255, 300, 255},
          {0.8, 0, 0, 0},
          {0.99, 300, 244, 244},
          {1, 0, 0, 0}},
         {}},
        {{{0, 0, 0, 0}, {0.5, 200, 220, 200}, {0.99, 225, 225, 245}, {1, 115, 125, 95}}, {}},
        {{{0, 0, 0, 0},
          {0.02, 200, 0, 0},
          {0.04, 100, 200, 0},
          {0.1, 20, 100, 200},
          {0.2, 100, 20, 200},
          {0.4, 20, 200, 100},
          {0.6, 100, 100, 100},
          {0.7, 200, 200, 20},
          {0.8, 0, 250, 0},
          {0.99, 225, 225, 245},
          {1, 0, 0, 0}},
         {}},
        {{{0, 0, 0, 0}, {0.3, 12, 142, 241}, {0.6, 0, 0, 400}, {0.9, 512, 512, 512}, {1, 0, 0, 0}},
         {{0.61f, 0.04f, 25, 25, 25}, {0.6f, 0.03f, -25, -25, -25}}},
        {{{0, 0, 0, 0}, {0.3, 200, 0, 0}, {0.5, 241, 142, 12}, {0.7, 255, 255, 0}, {0.95, 512, 240, 200}, {1, 25, 5, 2}},
         {}},
        {{{0, 255, 255, 255},
          {0.05, 255, 0, 0},
          {0.1, 255, 200, 0},
          {0.2, 255, 255, 0},
          {0.3, 0, 255, 0},
          {0.5, 0, 255, 255},
          {0.7, 0, 0, 255},
          {0.95, 255, 0, 255},
          {1, 0, 0, 0}},
         {}},
        {{{0, 177, 172, 210}, {0.01, 177, 205, 192}, {0.5, 255, 255, 255}, {0.99, 248, 252, 69}, {1, 0, 0, 0}}, {}},
        {{{0, 0, 0, 0},
          {0.01, 248, 216, 86},
          {0.1, 163, 106, 22},
          {0.2, 177, 128, 16},
          {0.29, 119, 86, 11},
          {0.3, 177, 128, 16},
          {0.39, 119, 86, 11},
          {0.4, 177, 128, 16},
          {0.69, 119, 86, 11},
          {0.7, 235, 237, 228},
          {0.91, 255, 255, 255},
          {1, 105, 96, 88}},
         {}},
        {{{0, 0, 0, 0}, {1, 0, 0, 0}},
         {{0.4f, 0.01f, 255, 255, 255},
          {0.4f, 0.5f, 100, 100, 200},
          {0.6f, 0.007f, 255, 255, 255},
          {0.6f, 0.3f, 200, 200, 10},
          {0.8f, 0.002f, 255, 255, 255},
          {0.8f, 0.05f, 100, 100, 100}}},
        {{{0, 0, 0, 0},
          {0.1, 40, 50, 30},
          {0.2, 1000, 1000, 1000},
          {0.3, 0, 0, 0},
          {0.4, 35, 35, 35},
          {0.5, 0, 0, 50},
          {0.6, 255, 0, 1000},
          {0.7, 0, 50, 50},
          {0.99, 0, 0, 50},
          {1, 0, 0, 0}},
         {}},
        {{{0, 0, 0, 0},
          {0.05, 229, 144, 144},
          {0.1, 229, 188, 144},
          {0.2, 229, 229, 144},
          {0.3, 150, 229, 129},
          {0.5, 130, 130, 230},
          {0.7, 200, 130, 232},
          {0.95, 232, 131, 188},
          {1, 0, 0, 0}},
         {}},
        // 14: the plain black-to-white map.
    };
    return recipes;
}

} // namespace

tColorMap* tColorMapGenerator::GetPreset(int n)
{
    if (n < 1 || n > kPresetCount)
        return nullptr;
    auto& slot = slots_[static_cast<size_t>(n)];
    if (!slot)
        slot = BuildPreset(n);
    return slot.get();
}

std::unique_ptr<tColorMap> tColorMapGenerator::BuildPreset(int n)
{
    LogNote(2, "Creating Preset Colormap " + IntToStr(n));
    tProfileTimer timer; // timed like every build step; the time is not reported
    timer.Start();
    auto map = std::make_unique<tColorMap>();
    const auto& recipes = Recipes();
    if (n >= 1 && static_cast<size_t>(n) < recipes.size()) {
        const tRecipe& recipe = recipes[static_cast<size_t>(n)];
        std::vector<double> positions;
        std::vector<tFloatColor> colors;
        for (const tStop& s : recipe.stops) {
            positions.push_back(s.position);
            colors.push_back({s.r, s.g, s.b, 255});
        }
        map->MultiGradient(positions, colors);
        for (const tBand& band : recipe.bands)
            map->AddBand({band.r, band.g, band.b, 255}, band.centre, band.halfWidth);
    }
    timer.End();
    return map;
}

tColorMapGenerator& ColorMapGenerator()
{
    static tColorMapGenerator generator;
    return generator;
}
