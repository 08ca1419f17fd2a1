// The desktop transitions frame by frame, as the runner drives them: the
// capture, the fade-out with its one-second final fade and a stop's close
// fade, the fade-in and its course, and the fade-out's share of keyframe
// rendering.
#include "uDesktopTransitions.h"

#include "DesktopPictures.h"
#include "GLTestUtil.h"
#include "TestUtil.h"
#include "uClock.h"
#include "uDesktopAnimation.h"
#include "uFrameLoop.h"
#include "uPathBase.h"
#include "uPlatform.h"
#include "uViewPort.h"

#include <cmath>
#include <functional>

namespace {

constexpr tPackedColor kBlack = PackRGBA(0, 0, 0);

bool NotBlack(tPackedColor c) { return !ColorNear(c, kBlack, 0); }

class DesktopTransitions : public tGLTest {
protected:
    void SetUp() override
    {
        tGLTest::SetUp();
        viewport = std::make_unique<tViewPortGL>(gl.get(), "mainGui");
        capture = GradientPicture(windowWidth, windowHeight);
    }
    void TearDown() override
    {
        viewport.reset();
        tGLTest::TearDown();
    }

    /// Pixels of the frame further than the tolerance from the capture, not
    /// counting the margin at the window's edges.
    int PixelsOff(const tFrame& frame, const tPage& picture, int tolerance, int margin = 0) const
    {
        int off = 0;
        for (int y = margin; y < windowHeight - margin; ++y)
            for (int x = margin; x < windowWidth - margin; ++x)
                off += !ColorNear(frame.At(x, y), picture.GetPixel(x, y), tolerance);
        return off;
    }

    /// The fade-out as the runner drives it, a frame every frameTime seconds
    /// (the first after none): the close fade of a stop steps on, the frame
    /// is drawn, the transition moves on with the keyframes' progress and is
    /// darkened while closing. onFrame sees each drawn frame with its number.
    /// Returns the seconds until it finished or the stop came.
    double RunFadeOut(tDesktopFadeOut& fadeOut, tSaverStatus& status, double frameTime,
                      const std::function<float(double dt)>& progress, const std::function<void(int frame)>& onFrame)
    {
        double took = 0;
        for (int frame = 0; frame < 2000; ++frame) {
            const double dt = frame == 0 ? 0 : frameTime;
            took += dt;
            status.CloseFadeStep(dt);
            fadeOut.Draw();
            fadeOut.Advance(dt, progress(dt));
            if (status.state == ssClosing)
                fadeOut.Darken(status.closeFade);
            onFrame(frame);
            if (fadeOut.Finished() || status.stop)
                return took;
        }
        ADD_FAILURE() << "the transition did not end";
        return took;
    }

    std::unique_ptr<tViewPortGL> viewport;
    std::unique_ptr<tPage> capture;
};

} // namespace

TEST_F(DesktopTransitions, TheCaptureIsAnOpaqueRgbaPageOfTheScreen)
{
    // The fixture's window shows a colour whose red and blue differ, so a
    // swapped byte order cannot pass.
    const tPackedColor shown = PackRGBA(230, 120, 20);
    const tRect r = WindowRect(window);
    std::unique_ptr<tPage> page;
    for (int attempt = 0; attempt < 200; ++attempt) {
        gl->Clear(shown);
        gl->Present();
        ProcessMessages();
        page = CaptureDesktopPage(r);
        if (page && ColorNear(page->GetPixel(10, 10), shown, 0))
            break;
        SleepMs(10);
    }
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Format(), pfRGBA);
    EXPECT_EQ(page->Width(), windowWidth);
    EXPECT_EQ(page->Height(), windowHeight);
    EXPECT_EQ(page->GetPixel(10, 10), shown) << ColorText(page->GetPixel(10, 10));
    EXPECT_EQ(page->GetPixel(windowWidth - 1, windowHeight - 1), shown);
}

TEST_F(DesktopTransitions, FadeOutStartsOnTheDesktopAndEndsWithItsOneSecondFade)
{
    for (const double ready : {0.0, 0.6}) {
        SCOPED_TRACE("keyframes complete after " + std::to_string(ready) + " s");
        const tVector3 camera = viewport->cameraPosition;
        double keyframeTime = 0;
        int firstOff = -1;
        tPackedColor last = PackRGBA(1, 1, 1);
        double took = 0;
        {
            tDesktopFadeOut fadeOut(*gl, *viewport, *capture, nullptr);
            tSaverStatus status;
            took = RunFadeOut(
                fadeOut, status, 0.02,
                [&](double dt) {
                    keyframeTime += dt;
                    return keyframeTime >= ready - 1e-9 ? 1.0f : static_cast<float>(keyframeTime / ready);
                },
                [&](int frame) {
                    const tFrame shown = Frame();
                    if (frame == 0)
                        firstOff = PixelsOff(shown, *capture, 3);
                    last = shown.At(windowWidth / 2, windowHeight / 2);
                });
            EXPECT_EQ(fadeOut.Animation().progress, 1);
        }
        EXPECT_EQ(firstOff, 0) << "the first frame is the desktop as it was";
        // The final fade's first step is the frame the keyframes are done in.
        EXPECT_GE(took, ready + 1.0 - 0.02 - 1e-9);
        EXPECT_LE(took, ready + 1.0 + 2 * 0.02);
        EXPECT_TRUE(ColorNear(last, kBlack, 5)) << "it ends almost black: " << ColorText(last);
        EXPECT_EQ(viewport->cameraPosition, camera) << "the camera is put back";
    }
}

TEST_F(DesktopTransitions, AStopDuringTheFadeOutDarkensAndEndsItAfterHalfASecond)
{
    tDesktopFadeOut fadeOut(*gl, *viewport, *capture, nullptr);
    tSaverStatus status;
    status.state = ssInitialised;
    const int cx = windowWidth / 2;
    const int cy = windowHeight / 2;
    tPackedColor centre = 0;
    double stoppedAt = 0;
    double now = 0;
    const double took = RunFadeOut(
        fadeOut, status, 0.02, [](double) { return 0.3f; }, // never complete
        [&](int frame) {
            // The picture recedes towards the screen's centre: that pixel
            // keeps its colour, darkened by the close fade.
            now = frame * 0.02;
            const tPackedColor got = Frame().At(cx, cy);
            if (frame < 10) {
                centre = got;
            } else {
                const double keep = 1 - PackComponent(static_cast<float>((1 - status.closeFade) * 255)) / 255.0;
                EXPECT_NEAR(GreenOf(got), GreenOf(centre) * keep, 3) << "frame " << frame;
            }
            if (frame == 9) {
                status.BeginStop(); // a key press
                stoppedAt = now;
            }
        });
    EXPECT_TRUE(status.stop);
    EXPECT_GE(took - stoppedAt, 0.5);
    EXPECT_LE(took - stoppedAt, 0.5 + 3 * 0.02);
    EXPECT_LT(status.closeFade, 0);
    EXPECT_GT(GreenOf(centre), 100);
}

TEST_F(DesktopTransitions, FadeInBringsTheDesktopBackInLessThanASecond)
{
    int frames = 0;
    int firstLit = -1;
    int lastOff = -1;
    const tVector3 camera = viewport->cameraPosition;
    {
        tDesktopFadeIn fadeIn(*gl, *viewport, *capture);
        bool complete = false;
        while (!complete && frames < 1000) {
            complete = fadeIn.Frame(frames == 0 ? 0 : 0.02);
            const tFrame shown = Frame();
            if (frames++ == 0)
                firstLit = CountPixels(shown, NotBlack);
            // The drawn page is one pixel short of the viewport on each side.
            lastOff = PixelsOff(shown, *capture, 3, 1);
        }
        EXPECT_EQ(fadeIn.Course(), 1);
    }
    EXPECT_EQ(firstLit, 0) << "it starts dark";
    EXPECT_EQ(lastOff, 0) << "and ends on the desktop";
    EXPECT_NEAR((frames - 1) * 0.02, kDesktopFadeInSeconds, 0.02);
    EXPECT_EQ(viewport->cameraPosition, camera) << "the camera is put back";

    // While the start-up runs the window shows the desktop as it was.
    gl->ClearBlack();
    ShowDesktopCapture(*gl, *viewport, *capture);
    EXPECT_EQ(PixelsOff(Frame(), *capture, 3, 1), 0);
    EXPECT_EQ(viewport->cameraPosition, camera);
}

TEST_F(DesktopTransitions, FadeInStartsLargerAndTurnedAndTakesStallsAsATenthOfASecond)
{
    // A white square in the middle of a black desktop.
    tPage square;
    square.SetSize(windowWidth, windowHeight, pfRGBA);
    square.Clear(PackedToFloat(kBlack));
    square.FillRect(windowWidth / 2 - 50, windowHeight / 2 - 50, PackedToFloat(PackRGBA(255, 255, 255)),
                    windowHeight / 2 + 49, windowWidth / 2 + 49);
    tDesktopFadeIn fadeIn(*gl, *viewport, square);
    tFrame second;
    int frames = 0;
    bool complete = false;
    while (!complete && frames < 100) {
        complete = fadeIn.Frame(frames == 0 ? 0 : 0.5); // every frame after the first stalls
        if (frames++ == 1)
            second = Frame();
    }
    // 0.85 s in steps of at most 0.1 s: the first frame and nine more.
    EXPECT_EQ(frames, 10);

    // The second frame is 0.1 s ÷ 0.85 into the course: 11.8 % bright,
    // enlarged by 17.6 % and turned clockwise by 0.97 degrees.
    const double p = 0.1 / 0.85;
    const auto lit = [](tPackedColor c) { return GreenOf(c) >= 15; };
    const tRect box = BoundingBox(second, lit);
    const double side = 100 * (1 + 0.2 * (1 - p));
    const double turn = (1 - p) * 1.1 * 3.14159265 / 180;
    EXPECT_NEAR(box.right - box.left + 1, side * (std::cos(turn) + std::sin(turn)), 1.5) << RectText(box);
    EXPECT_NEAR(GreenOf(second.At(windowWidth / 2, windowHeight / 2)), 255 * p, 2);
    const auto topOf = [&](int x) {
        int y = 0;
        while (y < windowHeight && !lit(second.At(x, y)))
            ++y;
        return y;
    };
    const int drop = topOf(box.right - 10) - topOf(box.left + 10);
    EXPECT_NEAR(drop, (box.right - box.left - 20) * std::tan(turn), 1) << "the right end is lower";
}

TEST(FadeOutKeyframeProgress, RendersAndReportsTheCurrentKeyframes)
{
    // A clock that moves a millisecond with every reading: a dozen slices
    // fit in a call's 12 ms.
    extended now = 0;
    const std::function<extended()> clock = [&] { return now += 0.001L; };
    EXPECT_EQ(FadeOutKeyframeProgress(nullptr, clock), 0) << "no path yet";

    tPathBase path;
    tPathRenderParams params;
    params.resolution = 96;
    params.iterations = 64;
    params.precision = 2;
    path.SetParams(params);
    path.ApplyResolution();
    path.ClearPoints();
    path.AddPoint(1, -0.7436L, 0.1318L, 4, 0, 0);
    path.AddPoint(1, -0.7436L, 0.1318L, 64, 0, 15);
    path.StartPath();

    // With every scratch page taken no keyframe can start: done, as far as
    // the transition can tell.
    tScratchPageArray& pool = *path.ScratchPool();
    std::vector<tPage*> taken;
    while (tPage* page = pool.AcquirePage())
        taken.push_back(page);
    EXPECT_EQ(FadeOutKeyframeProgress(&path, clock), 1);
    EXPECT_EQ(path.KeyframesProgress(), 0);
    for (tPage* page : taken)
        pool.ReleasePage(page);

    float progress = 0;
    for (int call = 0; call < 1000 && progress < 1; ++call) {
        const float before = path.KeyframesProgress();
        progress = FadeOutKeyframeProgress(&path, clock);
        if (pool.FreeCount() > 0) {
            EXPECT_EQ(progress, path.KeyframesProgress());
        }
        EXPECT_GT(progress, before) << "every call renders";
    }
    EXPECT_GE(progress, 1) << "a complete keyframe may count a little over 1";
    EXPECT_TRUE(path.A()->Complete());
    EXPECT_TRUE(path.B()->Complete());
}
