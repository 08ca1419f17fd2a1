#include "uViewProbe.h"

#include "uColor.h"
#include "uFractal.h"

#include <algorithm>
#include <array>
#include <tuple>
#include <vector>

namespace {

/// The vignette halves the picture's brightness over much of the window, so
/// a colour darker than this looks black there.
constexpr double kNearBlackLuma = 32;

/// The centre of pixel index of an edge × edge grid over the view.
tVector2 GridPoint(const tProbeView& view, int32_t edge, int64_t index)
{
    const extended step = 1 / (view.scale * edge);
    const extended middle = edge / 2.0L;
    return {view.x + (static_cast<extended>(index % edge) + 0.5L - middle) * step,
            view.y + (static_cast<extended>(index / edge) + 0.5L - middle) * step};
}

} // namespace

tProbeRenderer BackEndProbeRenderer(uint8_t precision)
{
    return [precision](const tProbeView& view, int32_t edge, int32_t iterations, std::span<int32_t> counts) {
        tFractalMandelBrot generator;
        generator.zoom = static_cast<double>(view.scale);
        // Chosen here, so the automatic choice is not logged for every probe.
        const tBackEnd* b = MandelbrotBackEnd(precision, generator.zoom);
        const int64_t n = static_cast<int64_t>(edge) * edge;
        if (!b || edge <= 0 || static_cast<int64_t>(counts.size()) < n)
            return false;
        generator.SetBackEnd(b->routine, b->lanes, b->elementType, b->name);
        generator.SetMaxIterations(iterations);

        std::array<double, tFractal::kBatch> re{};
        std::array<double, tFractal::kBatch> im{};
        std::array<int32_t, tFractal::kBatch> batch{};
        for (int64_t start = 0; start < n; start += tFractal::kBatch) {
            const auto k = static_cast<int32_t>(std::min<int64_t>(tFractal::kBatch, n - start));
            for (int32_t j = 0; j < k; ++j) {
                const tVector2 c = GridPoint(view, edge, start + j);
                re[static_cast<size_t>(j)] = static_cast<double>(c.x);
                im[static_cast<size_t>(j)] = static_cast<double>(c.y);
            }
            generator.IteratePoints(re, im, k, batch);
            std::copy_n(batch.begin(), k, counts.begin() + start);
        }
        return true;
    };
}

float tViewVerdict::Shortfall() const
{
    return std::max(blackShare - kMaxBlack, 0.0f) + std::max(flatShare - kMaxFlat, 0.0f);
}

tViewVerdict tViewVerdict::Worst(const tViewVerdict& other) const
{
    return {std::max(blackShare, other.blackShare), std::max(flatShare, other.flatShare)};
}

tViewProbe::tViewProbe(tProbeRenderer renderer)
    : renderer_(std::move(renderer)), colours_(std::make_unique<tFractalMandelBrot>())
{
}

tViewProbe::~tViewProbe() = default;

std::optional<tViewVerdict> tViewProbe::Probe(const tProbeView& view, int32_t iterations, const tColorMap* colorMap)
{
    std::array<int32_t, kEdge * kEdge> counts{};
    if (!renderer_ || !renderer_(view, kEdge, iterations, counts))
        return std::nullopt;
    return Judge(counts, iterations, colorMap);
}

std::optional<tVector2> tViewProbe::Scout(const tProbeView& view, int32_t iterations, const tColorMap* colorMap,
                                          const std::function<uint32_t(uint32_t)>& pick)
{
    std::array<int32_t, kScoutEdge * kScoutEdge> counts{};
    if (!renderer_ || !renderer_(view, kScoutEdge, iterations, counts))
        return std::nullopt;
    const auto pixel = PixelToZoomInto(counts, kScoutEdge, iterations, colorMap, pick);
    if (!pixel)
        return std::nullopt;
    return PixelPoint(view, kScoutEdge, *pixel);
}

tVector2 tViewProbe::PixelPoint(const tProbeView& view, int32_t edge, int32_t index)
{
    return GridPoint(view, edge, index);
}

std::optional<int32_t> tViewProbe::PixelToZoomInto(std::span<const int32_t> counts, int32_t edge,
                                                   int32_t iterations, const tColorMap* colorMap,
                                                   const std::function<uint32_t(uint32_t)>& pick)
{
    constexpr int32_t kReach = 2; // the 5 × 5 neighbourhood
    if (edge <= 2 * kReach || counts.size() < static_cast<size_t>(edge * edge))
        return std::nullopt;
    // A pixel's colour, or 0 where it looks black or lies in the set.
    std::vector<tPackedColor> lit = Looks(counts.first(static_cast<size_t>(edge * edge)), iterations, colorMap);
    for (size_t i = 0; i < lit.size(); ++i)
        if (counts[i] >= iterations)
            lit[i] = 0;
    // (colours around, count, index): the most varied colourful
    // neighbourhoods first, then the slowest escapes, which lie closest to
    // the set.
    std::vector<std::tuple<int32_t, int32_t, int32_t>> open;
    std::vector<tPackedColor> around;
    for (int32_t y = kReach; y < edge - kReach; ++y)
        for (int32_t x = kReach; x < edge - kReach; ++x) {
            around.clear();
            bool escapes = true;
            for (int32_t dy = -kReach; dy <= kReach; ++dy)
                for (int32_t dx = -kReach; dx <= kReach; ++dx) {
                    const auto i = static_cast<size_t>((y + dy) * edge + x + dx);
                    if (lit[i] != 0)
                        around.push_back(lit[i]);
                    escapes = escapes && counts[i] < iterations;
                }
            std::sort(around.begin(), around.end());
            const auto colours = static_cast<int32_t>(std::unique(around.begin(), around.end()) - around.begin());
            if (escapes)
                open.emplace_back(colours, counts[static_cast<size_t>(y * edge + x)], y * edge + x);
        }
    if (open.empty())
        return std::nullopt;
    std::sort(open.begin(), open.end(), std::greater<>());
    const auto quarter = static_cast<uint32_t>(std::max<size_t>(open.size() / 4, 1));
    return std::get<2>(open[pick(quarter)]);
}

std::vector<tPackedColor> tViewProbe::Looks(std::span<const int32_t> counts, int32_t iterations,
                                            const tColorMap* colorMap)
{
    colours_->colorMap = colorMap;
    std::vector<tPackedColor> looks(counts.size());
    for (size_t i = 0; i < counts.size(); ++i) {
        const tPackedColor c = colours_->ColourOf(counts[i] / static_cast<double>(std::max(iterations, 1)));
        looks[i] = Luma(c) < kNearBlackLuma ? 0 : (c | 0xFF000000u);
    }
    return looks;
}

tViewVerdict tViewProbe::Judge(std::span<const int32_t> counts, int32_t iterations, const tColorMap* colorMap)
{
    if (counts.size() < static_cast<size_t>(kEdge * kEdge))
        return {};
    const std::vector<tPackedColor> looks = Looks(counts.first(kEdge * kEdge), iterations, colorMap);
    const auto at = [&](int32_t x, int32_t y) { return looks[static_cast<size_t>(y * kEdge + x)]; };
    int32_t black = 0;
    int32_t flat = 0;
    int32_t pixels = 0;
    const extended middle = kEdge / 2.0L;
    for (int32_t y = 0; y < kEdge; ++y)
        for (int32_t x = 0; x < kEdge; ++x) {
            const extended dx = x + 0.5L - middle;
            const extended dy = y + 0.5L - middle;
            if (dx * dx + dy * dy > middle * middle)
                continue;
            ++pixels;
            black += at(x, y) == 0;
            // Flat: it looks like each of its neighbours in the picture.
            bool same = true;
            for (const auto& [nx, ny] : {std::pair{x - 1, y}, std::pair{x + 1, y}, std::pair{x, y - 1}, std::pair{x, y + 1}})
                if (nx >= 0 && ny >= 0 && nx < kEdge && ny < kEdge)
                    same = same && at(nx, ny) == at(x, y);
            flat += same;
        }
    if (pixels == 0)
        return {};
    return {static_cast<float>(black) / static_cast<float>(pixels), static_cast<float>(flat) / static_cast<float>(pixels)};
}
