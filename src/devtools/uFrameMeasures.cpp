#include "uFrameMeasures.h"

#include "uColor.h"
#include "uPage.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kBrightInside = 10;
constexpr double kBlackBeyond = 4;

bool InFrame(const tPage& frame, int32_t x, int32_t y)
{
    return x >= 0 && y >= 0 && x < frame.Width() && y < frame.Height();
}

int32_t PixelOf(extended v) { return static_cast<int32_t>(std::floor(v)); }

/// Luma of the pixel at p; none outside the frame.
bool LumaAt(const tPage& frame, const tVector2& p, double& luma)
{
    const int32_t x = PixelOf(p.x);
    const int32_t y = PixelOf(p.y);
    if (!InFrame(frame, x, y))
        return false;
    luma = Luma(frame.GetPixel(x, y));
    return true;
}

/// Brightest luma of the 3 × 3 patch around p, so a lone dark pixel of the
/// vignette's dithering does not pass for black beyond a rim.
bool PatchLuma(const tPage& frame, const tVector2& p, double& luma)
{
    const int32_t cx = PixelOf(p.x);
    const int32_t cy = PixelOf(p.y);
    if (!InFrame(frame, cx, cy))
        return false;
    luma = 0;
    for (int32_t y = cy - 1; y <= cy + 1; ++y)
        for (int32_t x = cx - 1; x <= cx + 1; ++x)
            if (InFrame(frame, x, y))
                luma = std::max(luma, Luma(frame.GetPixel(x, y)));
    return true;
}

} // namespace

double NearBlackShare(const tPage& frame)
{
    const int64_t n = static_cast<int64_t>(frame.Width()) * frame.Height();
    if (n == 0)
        return 0;
    int64_t dark = 0;
    for (int32_t y = 0; y < frame.Height(); ++y) {
        const uint32_t* row = frame.Words() + static_cast<size_t>(y) * (frame.Stride() / 4);
        for (int32_t x = 0; x < frame.Width(); ++x)
            dark += Luma(row[x]) < kNearBlackLuma;
    }
    return static_cast<double>(dark) / static_cast<double>(n);
}

double Quantile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(std::clamp(p, 0.0, 1.0) * static_cast<double>(values.size()));
    const size_t index = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
    return values[std::min(index, values.size() - 1)];
}

tDiscEdge FindDiscEdge(const tPage& frame, std::span<const tRimSample> rim)
{
    tDiscEdge edge;
    std::vector<bool> hard(rim.size(), false);
    for (size_t i = 0; i < rim.size(); ++i) {
        double inside = 0;
        double beyond = 0;
        hard[i] = rim[i].pictureEnds && LumaAt(frame, rim[i].inside, inside) &&
                  PatchLuma(frame, rim[i].outside, beyond) && inside >= kBrightInside && beyond < kBlackBeyond;
        edge.hardSamples += hard[i];
    }
    if (edge.hardSamples == static_cast<int>(rim.size())) {
        edge.longestRun = edge.hardSamples;
        return edge;
    }
    // Runs may wrap from the last sample to the first: walk twice round.
    int run = 0;
    for (size_t k = 0; k < 2 * rim.size(); ++k) {
        run = hard[k % rim.size()] ? run + 1 : 0;
        edge.longestRun = std::max(edge.longestRun, std::min(run, static_cast<int>(rim.size())));
    }
    return edge;
}
