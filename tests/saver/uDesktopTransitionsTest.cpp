#include "uDesktopTransitions.h"

#include "DesktopPictures.h"
#include "GLTestUtil.h"
#include "TestUtil.h"
#include "uClock.h"
#include "uPathBase.h"
#include "uPlatform.h"
#include "uTimer.h"
#include "uViewPort.h"

#include <cmath>

namespace {

constexpr tPackedColor kBlack = PackRGBA(0, 0, 0);

bool NotBlack(tPackedColor c) { return !ColorNear(c, kBlack, 0); }

/// The screen-saver window as the transitions see it, on a fake clock that
/// moves on by one frame time with every frame shown.
struct tFakeSaver {
    extended now = 100;
    double frameTime = 0.02;
    int frames = 0;
    int eventRounds = 0;
    int state = 2;
    bool stop = false;
    double closeFade = 1;
    /// Called with each frame before it is shown.
    std::function<void(int frame)> onFrame;

    void BeginStop()
    {
        if (state != 4) {
            state = 4;
            closeFade = 1;
        }
    }

    tDesktopTransitionHooks Hooks(tOpenGLInterface* gl, tViewPortGL* viewport, const tPage* capture)
    {
        tDesktopTransitionHooks h;
        h.gl = gl;
        h.viewport = viewport;
        h.capture = capture;
        h.clock = [this] { return now; };
        h.present = [this] {
            if (onFrame)
                onFrame(frames);
            ++frames;
            now += frameTime;
            // A loop that never ends is stopped, not waited for.
            if (frames == 2000) {
                ADD_FAILURE() << "the transition did not end";
                stop = true;
            }
        };
        h.processMessages = [this] { ++eventRounds; };
        h.closeFadeStep = [this](double dt) {
            if (state == 4) {
                closeFade -= 2 * dt;
                if (closeFade < 0)
                    stop = true;
            }
        };
        h.closeFade = [this] { return closeFade; };
        h.closing = [this] { return state == 4; };
        h.stopRequested = [this] { return stop; };
        return h;
    }
};

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

TEST(DesktopTransitionsWithoutCapture, LogTheirLinesAndReturn)
{
    tCapturedLog log;
    tFakeSaver saver;
    const tDesktopTransitionHooks hooks = saver.Hooks(nullptr, nullptr, nullptr);
    RunDesktopFadeOut(hooks);
    RunDesktopFadeIn(hooks);
    EXPECT_TRUE(log.FileContains("Initilizing desktop fade out transition"));
    EXPECT_TRUE(log.FileContains("Initilizing desktop fade in transition"));
    EXPECT_EQ(saver.frames, 0);
    EXPECT_EQ(saver.eventRounds, 0);
}

TEST_F(DesktopTransitions, FadeOutStartsOnTheDesktopAndEndsWithItsOneSecondFade)
{
    for (const double ready : {0.0, 0.6}) {
        SCOPED_TRACE("keyframes complete after " + std::to_string(ready) + " s");
        tCapturedLog log;
        tFakeSaver saver;
        const extended start = saver.now;
        double callbackTime = 0;
        tDesktopTransitionHooks hooks = saver.Hooks(gl.get(), viewport.get(), capture.get());
        hooks.keyframeProgress = [&](double dt) {
            callbackTime += dt;
            return callbackTime >= ready - 1e-9 ? 1.0f : static_cast<float>(callbackTime / ready);
        };
        int firstOff = -1;
        tPackedColor last = PackRGBA(1, 1, 1);
        saver.onFrame = [&](int frame) {
            const tFrame shown = Frame();
            if (frame == 0)
                firstOff = PixelsOff(shown, *capture, 3);
            last = shown.At(windowWidth / 2, windowHeight / 2);
        };
        const tVector3 camera = viewport->cameraPosition;

        RunDesktopFadeOut(hooks);
        EXPECT_TRUE(log.FileContains("Initilizing desktop fade out transition"));
        EXPECT_EQ(firstOff, 0) << "the first frame is the desktop as it was";
        const double took = static_cast<double>(saver.now - start);
        EXPECT_GE(took, ready + 1.0);
        EXPECT_LE(took, ready + 1.0 + 3 * saver.frameTime);
        EXPECT_NEAR(callbackTime, took - saver.frameTime, 1e-6) << "the callback gets each frame's time";
        EXPECT_TRUE(ColorNear(last, kBlack, 5)) << "it ends almost black: " << ColorText(last);
        EXPECT_EQ(saver.eventRounds, saver.frames) << "window events after every frame";
        EXPECT_EQ(viewport->cameraPosition, camera) << "the camera is put back";
    }
}

TEST_F(DesktopTransitions, AStopDuringTheFadeOutDarkensAndEndsItAfterHalfASecond)
{
    tFakeSaver saver;
    tDesktopTransitionHooks hooks = saver.Hooks(gl.get(), viewport.get(), capture.get());
    hooks.keyframeProgress = [](double) { return 0.3f; }; // never complete
    hooks.processMessages = [&] {
        if (saver.frames == 10)
            saver.BeginStop(); // a key press
    };
    const int cx = windowWidth / 2;
    const int cy = windowHeight / 2;
    tPackedColor centre = 0;
    int stopFrames = 0;
    extended stoppedAt = 0;
    saver.onFrame = [&](int frame) {
        // The picture recedes towards the screen's centre: that pixel keeps
        // its colour, darkened by the close fade.
        const tPackedColor got = Frame().At(cx, cy);
        if (frame < 10) {
            centre = got;
            return;
        }
        if (stopFrames++ == 0)
            stoppedAt = saver.now;
        const double keep = 1 - PackComponent(static_cast<float>((1 - saver.closeFade) * 255)) / 255.0;
        EXPECT_NEAR(GreenOf(got), GreenOf(centre) * keep, 3) << "frame " << frame;
    };
    RunDesktopFadeOut(hooks);
    EXPECT_TRUE(saver.stop);
    const double closing = static_cast<double>(saver.now - stoppedAt);
    EXPECT_GE(closing, 0.5);
    EXPECT_LE(closing, 0.5 + 3 * saver.frameTime);
    EXPECT_LT(saver.closeFade, 0);
    EXPECT_GT(GreenOf(centre), 100);
}

TEST_F(DesktopTransitions, FadeInBringsTheDesktopBackInLessThanASecond)
{
    tCapturedLog log;
    tFakeSaver saver;
    const extended start = saver.now;
    const tDesktopTransitionHooks hooks = saver.Hooks(gl.get(), viewport.get(), capture.get());
    int firstLit = -1;
    int lastOff = -1;
    saver.onFrame = [&](int frame) {
        const tFrame shown = Frame();
        if (frame == 0)
            firstLit = CountPixels(shown, NotBlack);
        // The drawn page is one pixel short of the viewport on each side.
        lastOff = PixelsOff(shown, *capture, 3, 1);
    };
    RunDesktopFadeIn(hooks);
    EXPECT_TRUE(log.FileContains("Initilizing desktop fade in transition"));
    EXPECT_EQ(firstLit, 0) << "it starts dark";
    EXPECT_EQ(lastOff, 0) << "and ends on the desktop";
    EXPECT_NEAR(static_cast<double>(saver.now - start), kDesktopFadeInSeconds + saver.frameTime, saver.frameTime);
    EXPECT_EQ(saver.eventRounds, 0) << "no window events meanwhile";
}

TEST_F(DesktopTransitions, FadeInStartsLargerAndTurnedAndTakesStallsAsATenthOfASecond)
{
    // A white square in the middle of a black desktop.
    tPage square;
    square.SetSize(windowWidth, windowHeight, pfRGBA);
    square.Clear(PackedToFloat(kBlack));
    square.FillRect(windowWidth / 2 - 50, windowHeight / 2 - 50, PackedToFloat(PackRGBA(255, 255, 255)),
                    windowHeight / 2 + 49, windowWidth / 2 + 49);
    tFakeSaver saver;
    saver.frameTime = 0.5; // every frame stalls
    const tDesktopTransitionHooks hooks = saver.Hooks(gl.get(), viewport.get(), &square);
    tFrame second;
    saver.onFrame = [&](int frame) {
        if (frame == 1)
            second = Frame();
    };
    RunDesktopFadeIn(hooks);
    // 0.85 s in steps of at most 0.1 s: the first frame and nine more.
    EXPECT_EQ(saver.frames, 10);

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
    EXPECT_EQ(FadeOutKeyframeProgress(nullptr), 0) << "no path yet";

    CreateGlobalTimer();
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
    EXPECT_EQ(FadeOutKeyframeProgress(&path), 1);
    EXPECT_EQ(path.KeyframesProgress(), 0);
    for (tPage* page : taken)
        pool.ReleasePage(page);

    float progress = 0;
    for (int call = 0; call < 1000 && progress < 1; ++call) {
        const float before = path.KeyframesProgress();
        progress = FadeOutKeyframeProgress(&path);
        if (pool.FreeCount() > 0) {
            EXPECT_EQ(progress, path.KeyframesProgress());
        }
        EXPECT_GT(progress, before) << "every call renders";
    }
    EXPECT_GE(progress, 1) << "a complete keyframe may count a little over 1";
    EXPECT_TRUE(path.A()->Complete());
    EXPECT_TRUE(path.B()->Complete());
    FreeGlobalTimer();
}
