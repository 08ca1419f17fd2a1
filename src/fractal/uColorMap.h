#pragma once
// Colour maps turn an escape count, as a fraction of the iteration limit,
// into a packed colour. Maps are built from colour stops: gradients between
// stops, optionally with additive triangular bands on top. Stops are float
// colours that may lie outside 0..255; they are clamped only when an entry
// is packed. tColorMapGenerator builds the fourteen presets on first use.
#include "uColor.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class tColorMap {
public:
    static constexpr int32_t kMaxEntries = 4096;

    /// 4 096 entries from opaque black to opaque white.
    tColorMap();

    /// Raises std::length_error "Color map is limited to 4096 entries" above
    /// the limit (and for fewer than one entry); the entries are not touched.
    void SetEntryCount(int32_t count);
    int32_t EntryCount() const { return entryCount_; }
    tPackedColor Entry(int32_t index) const { return entries_[static_cast<size_t>(index)]; }

    /// Entry round((entry count − 1) × v), ties to even, with v taken as 0
    /// when it is not ≥ 0 (NaN included) and as 1 above 1. Needs the
    /// floating-point rounding mode "to nearest", which the program sets at
    /// start-up and never changes.
    tPackedColor Lookup(float v) const
    {
        if (!(v >= 0))
            v = 0;
        if (v > 1)
            v = 1;
        // The product is exact in double (a 12-bit count times a 24-bit
        // fraction); adding and removing 2^52 rounds it to an integer, ties to
        // even, without a library call.
        constexpr double kRoundingBias = 4503599627370496.0; // 2^52
        const double scaled = static_cast<double>(entryCount_ - 1) * static_cast<double>(v);
        const auto index = static_cast<int32_t>((scaled + kRoundingBias) - kRoundingBias); // 0 .. count − 1
        return entries_[static_cast<size_t>(index)];
    }

    /// Entries first … last (clamped to the map) get A … B with
    /// t = (j − first) ÷ (last − first + 1): the last entry stops one step
    /// short of B. Asserts that first ≤ last after clamping.
    void Gradient(int32_t first, int32_t last, const tFloatColor& a, const tFloatColor& b);
    /// Like Gradient, but adds the gradient's R, G, B to the entries.
    void AddGradient(int32_t first, int32_t last, const tFloatColor& a, const tFloatColor& b);
    /// Gradient over the whole map.
    void GradientAll(const tFloatColor& a, const tFloatColor& b);
    /// One Gradient per pair of neighbouring stops, from entry
    /// round(entry count × position i) to round(entry count × position i+1).
    /// Both arrays have the same length, at least 2 (assertions).
    void MultiGradient(const std::vector<double>& positions, const std::vector<tFloatColor>& colors);
    /// MultiGradient with AddGradient: the shared entry of two pairs gets both.
    void MultiAddGradient(const std::vector<double>& positions, const std::vector<tFloatColor>& colors);
    /// Adds a triangle that is 0 at centre ± halfWidth and the colour at the
    /// centre (where it lands twice, from both sides).
    void AddBand(const tFloatColor& color, float centre, float halfWidth);

private:
    std::array<tPackedColor, kMaxEntries> entries_{};
    int32_t entryCount_ = kMaxEntries;
};

/// The preset colour maps 1 … 14, each built the first time it is asked for
/// and kept (and owned) for the life of the generator.
class tColorMapGenerator {
public:
    static constexpr int kPresetCount = 14;

    /// Preset n, or none (nullptr) outside 1 … 14. Repeated calls return the same map.
    tColorMap* GetPreset(int n);
    /// A new map with the recipe of preset n; numbers without a recipe give
    /// the black-to-white map. Logs "Creating Preset Colormap n" (level 2).
    static std::unique_ptr<tColorMap> BuildPreset(int n);

private:
    std::array<std::unique_ptr<tColorMap>, kPresetCount + 1> slots_; // slot 0 unused
};

/// The process-wide preset generator, created at program initialisation.
tColorMapGenerator& ColorMapGenerator();
