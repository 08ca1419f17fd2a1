#include "uKeyframeFraming.h"

#include "uPathBase.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

/// The vignette texture is drawn 2 × 1.35 window heights tall (and as many
/// window widths wide), times its size factor.
constexpr extended kVignetteSpan = 2.7L;
/// Covers the vignette's dithering (its alpha may come out one step lower),
/// the 0.1 s between the samples of a drifting camera, and the last
/// moments of a zoom out, whose camera passes its final keyframe slightly.
constexpr extended kCoverMargin = 0.03L;
/// Keyframe pixels over which the disc's rim fades out.
constexpr int32_t kRimPixels = 8;
constexpr int kEllipseSamples = 1024;

/// Distance from the vignette's centre, in vignette widths, at which it
/// lets `transmission` of the picture through: its alpha there,
/// √(1 − cos(π r)) × 510, is 255 × (1 − transmission).
extended VisibleVignetteRadius(extended transmission)
{
    const extended half = (1 - transmission) / 2;
    return std::acos(1 - half * half) / std::numbers::pi_v<extended>;
}

/// Directions around the unit circle, for walking an ellipse's boundary.
const std::array<tVector2, kEllipseSamples>& UnitCircle()
{
    static const std::array<tVector2, kEllipseSamples> circle = [] {
        std::array<tVector2, kEllipseSamples> c{};
        for (int k = 0; k < kEllipseSamples; ++k) {
            const extended a = 2 * std::numbers::pi_v<extended> * k / kEllipseSamples;
            c[static_cast<size_t>(k)] = {std::cos(a), std::sin(a)};
        }
        return c;
    }();
    return circle;
}

} // namespace

tVector2 VisibleSemiAxes(const tFramingScreen& screen)
{
    const extended r = VisibleVignetteRadius(kVisibleTransmission) * kVignetteSpan * screen.vignetteScale;
    return {r * screen.width, r * screen.height};
}

extended VisibleReach(const tFramingScreen& screen, const tVector2& from)
{
    const tVector2 axes = VisibleSemiAxes(screen);
    extended farthest = 0;
    for (const tVector2& u : UnitCircle()) {
        const tVector2 boundary{axes.x * u.x - from.x, axes.y * u.y - from.y};
        farthest = std::max(farthest, boundary.LengthSquared());
    }
    return std::sqrt(farthest);
}

tScreenDisc KeyframeDisc(const tPathPoint& view, int32_t size, const tPathPoint& cur, const tFramingScreen& screen)
{
    // As the keyframe's generator has it: centre and magnification as doubles.
    const tVector2 centre{static_cast<extended>(static_cast<double>(view.x)),
                          static_cast<extended>(static_cast<double>(view.y))};
    const tKeyframePlacement placement = PlaceKeyframeView(centre, static_cast<double>(view.scale), size, cur,
                                                           screen.width, {0, 0}, screen.displayScale);
    const int32_t radius = (size + 1) / 2;
    return {placement.position, placement.scale * std::max(radius - kRimPixels, 0)};
}

float CoveringScaleDivisor(const tPathBase& path, int32_t resolution, const tFramingScreen& screen)
{
    if (path.PointCount() < 2)
        return 1;
    extended needed = 0;
    const auto cover = [&](const tPathPoint& view, const tPathPoint& cur) {
        const tScreenDisc disc = KeyframeDisc(view, resolution, cur, screen);
        if (disc.radius > 0)
            needed = std::max(needed, VisibleReach(screen, disc.centre) / disc.radius);
    };
    if (path.singleKeyframe) {
        const tPathPoint& view = path.WidestPoint();
        const extended duration = path.Duration();
        const auto samples = static_cast<int64_t>(std::ceil(duration / tPathBase::kSampleStep));
        for (int64_t i = 0; i <= samples; ++i)
            cover(view, path.Evaluate(std::min(static_cast<extended>(i) * tPathBase::kSampleStep, duration)));
    } else {
        const tPathPoint cur = path.Evaluate(0);
        cover(cur, cur);
    }
    return static_cast<float>(std::max<extended>(1, needed * (1 + kCoverMargin)));
}
