// What zoom-frames measures in a frame: the near-black share, quantiles, and
// the detector of a keyframe disc's hard rim, on drawn frames: a bright disc
// ending on black is found; a rim that lies outside the frame or over
// another keyframe's picture, a dark picture, a soft vignette and a ragged
// fractal edge are not.
#include "uFrameMeasures.h"

#include "uColor.h"
#include "uPage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 180;

/// A frame whose pixels come from a function of their position.
void Paint(tPage& frame, const std::function<tPackedColor(double, double)>& colour)
{
    frame.SetSize(kWidth, kHeight, pfRGBA);
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x)
            frame.SetPixel(x, y, colour(x + 0.5, y + 0.5));
}

/// Samples around a circle as zoom-frames takes them: 3 pixels within the
/// rim and 3 beyond, one a degree.
std::vector<tRimSample> Rim(double cx, double cy, double radius)
{
    std::vector<tRimSample> rim;
    for (int k = 0; k < 360; ++k) {
        const double a = k * std::numbers::pi / 180;
        rim.push_back({{cx + (radius - 3) * std::cos(a), cy + (radius - 3) * std::sin(a)},
                       {cx + (radius + 3) * std::cos(a), cy + (radius + 3) * std::sin(a)},
                       true});
    }
    return rim;
}

tPackedColor Grey(double luma)
{
    const auto v = static_cast<uint8_t>(std::clamp(luma, 0.0, 255.0));
    return PackRGBA(v, v, v);
}

} // namespace

TEST(FrameMeasures, NearBlackShareAndQuantiles)
{
    tPage frame;
    Paint(frame, [](double x, double) { return x < kWidth / 4.0 ? Grey(15) : Grey(16); });
    EXPECT_DOUBLE_EQ(NearBlackShare(frame), 0.25);
    // Luma weighs green most: pure blue of 130 is still near black.
    Paint(frame, [](double, double) { return PackRGBA(0, 0, 130); });
    EXPECT_DOUBLE_EQ(NearBlackShare(frame), 1);

    EXPECT_EQ(Quantile({}, 0.5), 0);
    EXPECT_EQ(Quantile({0.3, 0.1, 0.2}, 0.5), 0.2);
    std::vector<double> tenth;
    for (int i = 1; i <= 10; ++i)
        tenth.push_back(i / 10.0);
    EXPECT_EQ(Quantile(tenth, 0.9), 0.9);
    EXPECT_EQ(Quantile(tenth, 0), 0.1);
    EXPECT_EQ(Quantile(tenth, 1), 1.0);
}

TEST(FrameMeasures, FindsAHardRimAndNothingElse)
{
    const double cx = kWidth / 2.0;
    const double cy = kHeight / 2.0;
    const double r = 150; // the rim crosses the frame near its corners
    const auto disc = [&](double brightness) {
        return [=](double x, double y) { return std::hypot(x - cx, y - cy) < r ? Grey(brightness) : Grey(0); };
    };
    tPage frame;

    Paint(frame, disc(120));
    const tDiscEdge hard = FindDiscEdge(frame, Rim(cx, cy, r));
    EXPECT_TRUE(hard.Visible());
    EXPECT_GT(hard.longestRun, 20);
    // Only the arcs inside the frame count.
    EXPECT_LT(hard.hardSamples, 360);

    // The rim of the deeper keyframe over the shallower one's picture is no
    // edge of the picture, however dark the picture is beyond it.
    std::vector<tRimSample> overPicture = Rim(cx, cy, r);
    for (tRimSample& sample : overPicture)
        sample.pictureEnds = false;
    EXPECT_EQ(FindDiscEdge(frame, overPicture).hardSamples, 0);

    // Dimmed below luma 10 by the vignette, the rim does not show.
    Paint(frame, disc(9));
    EXPECT_FALSE(FindDiscEdge(frame, Rim(cx, cy, r)).Visible());

    // A rim beyond the frame on every side is not seen.
    Paint(frame, disc(120));
    EXPECT_EQ(FindDiscEdge(frame, Rim(cx, cy, 400)).hardSamples, 0);

    // Picture beyond the rim (the larger keyframe under a smaller one).
    Paint(frame, [](double, double) { return Grey(120); });
    EXPECT_EQ(FindDiscEdge(frame, Rim(cx, cy, r)).hardSamples, 0);

    // A soft fade to black (the vignette) crosses the circle without a step.
    Paint(frame, [&](double x, double y) { return Grey(255 * std::max(0.0, 1 - std::hypot(x - cx, y - cy) / 140)); });
    EXPECT_FALSE(FindDiscEdge(frame, Rim(cx, cy, r)).Visible());

    // A ragged boundary of bright and black that only crosses the circle
    // here and there: single samples, no arc.
    Paint(frame, [&](double x, double y) {
        const double a = std::atan2(y - cy, x - cx);
        return std::sin(a * 90) > 0.7 && std::hypot(x - cx, y - cy) < r ? Grey(200) : Grey(0);
    });
    const tDiscEdge ragged = FindDiscEdge(frame, Rim(cx, cy, r));
    EXPECT_GT(ragged.hardSamples, 0);
    EXPECT_FALSE(ragged.Visible());
}

TEST(FrameMeasures, RunsWrapAroundTheCircle)
{
    // Bright only on the right of the frame: the hard arc spans angle 0,
    // the end and the start of the samples.
    tPage frame;
    const double cx = kWidth / 2.0;
    const double cy = kHeight / 2.0;
    Paint(frame, [&](double x, double y) {
        return std::hypot(x - cx, y - cy) < 100 && x > cx + 95 ? Grey(200) : Grey(0);
    });
    const tDiscEdge edge = FindDiscEdge(frame, Rim(cx, cy, 100));
    EXPECT_TRUE(edge.Visible());
    EXPECT_EQ(edge.longestRun, edge.hardSamples);
    EXPECT_GE(edge.hardSamples, 2 * tDiscEdge::kVisibleRun);
}
