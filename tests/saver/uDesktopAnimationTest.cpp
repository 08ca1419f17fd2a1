#include "uDesktopAnimation.h"

#include "DesktopPictures.h"
#include "GLTestUtil.h"
#include "TestUtil.h"
#include "uCoreGraphics.h"
#include "uSprite.h"
#include "uViewPort.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr tPackedColor kBlack = PackRGBA(0, 0, 0);
constexpr tPackedColor kMagenta = PackRGBA(255, 0, 255);

class DesktopAnimation : public tGLTest {
protected:
    void SetUp() override
    {
        tGLTest::SetUp();
        viewport = std::make_unique<tViewPortGL>(gl.get(), "mainGui");
        picture = GradientPicture(windowWidth, windowHeight);
        page = Uploaded(*gl, *picture);
        w = viewport->IntWidth();
        h = viewport->IntHeight();
    }
    void TearDown() override
    {
        page.reset();
        viewport.reset();
        tGLTest::TearDown();
    }

    /// Advances in steps of dt until the elapsed time reaches t, the
    /// keyframes standing at the given progress.
    static void RunUntil(tDesktopAnimation& animation, double t, float keyframes, double dt = 0.01)
    {
        while (animation.elapsed < t - dt / 2)
            animation.Advance(dt, keyframes);
    }

    std::unique_ptr<tViewPortGL> viewport;
    std::unique_ptr<tPage> picture;
    std::unique_ptr<tPageGLhw> page;
    int w = 0; // the viewport's size: the window's plus one
    int h = 0;
};

} // namespace

TEST_F(DesktopAnimation, TimingFollowsItsConstants)
{
    EXPECT_THROW(tDesktopAnimation(gl.get(), nullptr, page.get(), nullptr), EAssertionFailed);
    EXPECT_THROW(tDesktopAnimation(gl.get(), viewport.get(), nullptr, nullptr), EAssertionFailed);

    tDesktopAnimation animation(gl.get(), viewport.get(), page.get(), nullptr);
    float keyframes = 0.5f;
    EXPECT_EQ(animation.closingFade, 1.0);
    EXPECT_EQ(animation.TurnAmount(), 0);
    EXPECT_EQ(animation.OverlayAlpha(), 0);

    // The bar and the logo fade in over the first second.
    RunUntil(animation, 0.5, keyframes);
    EXPECT_NEAR(animation.OverlayAlpha(), 0.5, 1e-4);
    RunUntil(animation, 2.24, keyframes);
    EXPECT_NEAR(animation.TurnAmount(), 0, 1e-3);
    EXPECT_EQ(animation.OverlayAlpha(), 1);
    RunUntil(animation, 3.84, keyframes);
    EXPECT_NEAR(animation.TurnAmount(), 0.5, 1e-3);

    // The slide speed reaches 500 after 5 s, at position 1,250 (less the
    // lag of the speed before each step's increase: 50 × t × dt).
    RunUntil(animation, 5.0, keyframes);
    EXPECT_NEAR(animation.slideSpeed, 500, 1e-3);
    EXPECT_NEAR(animation.slidePosition, 1250 - 50 * 5.0 * 0.01, 0.1);
    RunUntil(animation, 5.44, keyframes);
    EXPECT_NEAR(animation.TurnAmount(), 1, 1e-3);
    RunUntil(animation, 6.0, keyframes);
    EXPECT_EQ(animation.slideSpeed, 500);
    EXPECT_EQ(animation.TurnAmount(), 1);

    // The picture passes the depth of 3,600 at about 9.7 s.
    while (animation.slidePosition < tDesktopAnimation::kPictureDepthLimit)
        animation.Advance(0.01, keyframes);
    EXPECT_NEAR(animation.elapsed, 9.7, 0.02);

    // The final fade waits for the keyframes, then lasts one second.
    EXPECT_EQ(animation.closingFade, 1.0);
    EXPECT_FALSE(animation.Finished());
    keyframes = 1;
    RunUntil(animation, animation.elapsed + 0.5, keyframes, 0.05);
    EXPECT_NEAR(animation.closingFade, 0.5, 1e-6);
    EXPECT_FALSE(animation.Finished());
    keyframes = 0.9f; // a slower path again: the fade starts over
    animation.Advance(0.05, keyframes);
    EXPECT_EQ(animation.closingFade, 1.0);
    keyframes = 1;
    for (int i = 0; i < 19; ++i)
        animation.Advance(0.05, keyframes);
    EXPECT_GT(animation.closingFade, 0);
    EXPECT_FALSE(animation.Finished());
    animation.Advance(0.05, keyframes);
    EXPECT_TRUE(animation.Finished());
    EXPECT_NEAR(animation.normalisedTime, animation.elapsed / 16, 1e-6);
    RunUntil(animation, 17, keyframes, 0.1);
    EXPECT_EQ(animation.normalisedTime, 1);

    // Keyframes complete from the start: only the final fade is left.
    tDesktopAnimation alone(gl.get(), viewport.get(), page.get(), nullptr);
    alone.Advance(0.5, 1);
    alone.Advance(0.5, 1);
    EXPECT_EQ(alone.progress, 1);
    EXPECT_TRUE(alone.Finished());
}

TEST_F(DesktopAnimation, StartsOnTheDesktopOverAFoggedFloor)
{
    tDesktopAnimation animation(gl.get(), viewport.get(), page.get(), nullptr);
    animation.Draw();
    const tFrame start = Frame();
    int off = 0;
    for (int y = 0; y < windowHeight; ++y)
        for (int x = 0; x < windowWidth; ++x)
            off += !ColorNear(start.At(x, y), picture->GetPixel(x, y), 3);
    EXPECT_EQ(off, 0) << "the picture covers the screen exactly as the desktop did";

    // Without the picture: black sky, and a floor whose colour mixes its
    // corner colours and fades into the fog with distance.
    animation.slidePosition = tDesktopAnimation::kPictureDepthLimit;
    animation.Draw();
    const tFrame floor = Frame();
    EXPECT_TRUE(PixelIs(floor, windowWidth / 2, windowHeight / 4, kBlack, 0));
    // Bottom row: the perspective puts it at depth 1000 × (0.5 H ÷ (row − H/2 + ½) − 1).
    const double scale = (windowHeight - 0.5 - h / 2.0) / (h / 2.0);
    const double fog = std::exp(-0.0015 * (1000 / scale - 1000));
    const auto fogged = [&](double c) { return static_cast<uint8_t>(std::lround(c * fog)); };
    EXPECT_TRUE(PixelIs(floor, windowWidth / 2, windowHeight - 1, PackRGBA(fogged(122), fogged(142), fogged(137)), 3));
    const tPackedColor nearer = floor.At(windowWidth / 2, windowHeight - 1);
    const tPackedColor farther = floor.At(windowWidth / 2, windowHeight - 60);
    EXPECT_LT(GreenOf(farther), GreenOf(nearer) / 3) << ColorText(farther) << " vs " << ColorText(nearer);
    EXPECT_GT(GreenOf(farther), 0);

    // The final fade darkens everything, then leaves black.
    animation.closingFade = 0.5;
    animation.Draw();
    const tPackedColor half = Frame().At(windowWidth / 2, windowHeight - 1);
    EXPECT_NEAR(GreenOf(half), GreenOf(nearer) / 2.0, 2);
    animation.closingFade = 0;
    animation.Draw();
    EXPECT_EQ(CountPixels(Frame(), [](tPackedColor c) { return !ColorNear(c, kBlack, 0); }), 0);
}

TEST_F(DesktopAnimation, ProgressBarAndLogoSitAboveTheBottomEdge)
{
    // A logo file whose first sprite is one opaque colour.
    tTempDir dir;
    tPage file;
    file.SetSize(256, 128, pfRGBA);
    file.FillRect(1, 1, PackedToFloat(kMagenta), 72, 250);
    ASSERT_TRUE(file.SaveToPngFile(dir.File("gfxdata.dat")));
    const std::unique_ptr<tSpritePage> graphics = LoadCoreGraphics(*gl, dir.File("gfxdata.dat"));

    tDesktopAnimation animation(gl.get(), viewport.get(), page.get(), nullptr);
    animation.slidePosition = tDesktopAnimation::kPictureDepthLimit;
    animation.Draw();
    const tFrame bare = Frame();

    // The bar: 177 × 11 pixels, its left end 92 pixels left of the centre
    // line, 68 to 79 pixels above the bottom edge; light grey over grey.
    const tPackedColor light = PackRGBA(204, 204, 204);
    const int left = static_cast<int>(std::lround(w / 2.0 - 92));
    animation.elapsed = 2; // fully faded in
    for (const float progress : {1.02f, 1.0f, 0.5f, 0.0f}) {
        animation.progress = progress;
        animation.Draw();
        const tFrame frame = Frame();
        const tRect bar = BoundingBoxOf(frame, light, 1);
        const int length = std::clamp(static_cast<int>(std::lround(progress * 185 - 8)), 0, 177);
        SCOPED_TRACE("progress " + std::to_string(progress) + ", bar " + RectText(bar));
        EXPECT_EQ(std::max(0, bar.right - bar.left + 1), length);
        if (length == 0)
            continue;
        EXPECT_NEAR(bar.left, left, 1);
        EXPECT_EQ(bar.bottom - bar.top + 1, 11);
        EXPECT_NEAR(h - bar.top, 79, 1);
        // Right of the bar, the grey background at half opacity.
        const int x = left + 170;
        const int y = (bar.top + bar.bottom) / 2;
        if (progress < 1) {
            const tPackedColor behind = bare.At(x, y);
            EXPECT_TRUE(PixelIs(frame, x, y, PackRGBA((RedOf(behind) + 102) / 2, (GreenOf(behind) + 102) / 2,
                                                      (BlueOf(behind) + 102) / 2), 2));
        }
    }

    // The logo: 250 × 72 on the centre line, 136 to 64 pixels above the
    // bottom edge, drawn over the bar.
    ASSERT_NE(CoreGraphicsLogo(graphics.get()), nullptr);
    animation.logo = CoreGraphicsLogo(graphics.get());
    animation.progress = 1;
    animation.Draw();
    const tRect logo = BoundingBoxOf(Frame(), kMagenta, 2);
    SCOPED_TRACE("logo " + RectText(logo));
    EXPECT_NEAR(logo.right - logo.left + 1, 250, 1);
    EXPECT_NEAR(logo.bottom - logo.top + 1, 72, 1);
    EXPECT_NEAR((logo.left + logo.right + 1) / 2.0, w / 2.0, 1);
    EXPECT_NEAR(h - logo.top, 136, 1);
    EXPECT_NEAR(h - (logo.bottom + 1), 64, 1);
    EXPECT_EQ(CountPixels(Frame(), [&](tPackedColor c) { return ColorNear(c, light, 1); }), 0);

    // Half faded in, the logo is half as strong over what lies behind it.
    animation.elapsed = 0.5f;
    animation.Draw();
    const int cx = w / 2;
    const int cy = h - 120;
    EXPECT_NEAR(RedOf(Frame().At(cx, cy)), (255 + RedOf(bare.At(cx, cy))) / 2.0, 3);
}
