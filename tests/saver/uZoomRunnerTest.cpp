// The running zoom on a real window under the virtual display, with a
// made-up clock that moves only when the loop sleeps, a frame is done or a
// test says so: the start-up, the frames, the phases of a whole run, the
// failures, and two runners in two windows of one process.
#include "uZoomRunner.h"

#include "DesktopPictures.h"
#include "GLTestUtil.h"
#include "TestUtil.h"
#include "ZoomTestHost.h"
#include "uDesktopTransitions.h"
#include "uGLSurface.h"
#include "uGlobalSettings.h"
#include "uGraphicsFailure.h"
#include "uGUI.h"
#include "uKeyframeFraming.h"
#include "uOpenGL.h"
#include "uParticle.h"
#include "uPath.h"
#include "uPathSequence.h"
#include "uPlatform.h"
#include "uRenderWorkers.h"
#include "uRunModes.h"
#include "uUniverse.h"
#include "uViewPort.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace {

class ZoomRunner : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetGLErrorChecking(true);
        QuickZoomSettings(settings);
    }
    void TearDown() override { SetGLErrorChecking(false); }

    double RunFrames(tZoomRunner& runner, double most) { return host.RunFrames(runner, most); }

    tGlobalSettings settings;
    tZoomTestHost host;
    tCapturedLog log;
};

/// Index of the first file line containing the text, -1 when none does.
int LineOf(const std::vector<std::string>& lines, const std::string& text, int from = 0)
{
    for (int i = from; i < static_cast<int>(lines.size()); ++i)
        if (lines[static_cast<size_t>(i)].find(text) != std::string::npos)
            return i;
    return -1;
}

/// The phases a run went through, each once in the order it was entered.
struct tPhaseLog {
    std::vector<tRunPhase> seen;
    /// Ticks spent in each phase (the phase the tick started in).
    std::vector<int> ticks;

    void Tick(tRunPhase before)
    {
        if (seen.empty() || seen.back() != before) {
            seen.push_back(before);
            ticks.push_back(0);
        }
        ++ticks.back();
    }
    int TicksIn(tRunPhase phase) const
    {
        const auto at = std::find(seen.begin(), seen.end(), phase);
        return at == seen.end() ? 0 : ticks[static_cast<size_t>(at - seen.begin())];
    }
    std::string Text() const
    {
        std::string text;
        for (tRunPhase p : seen)
            text += std::string(text.empty() ? "" : " ") + RunPhaseName(p);
        return text;
    }
};

/// Runs to the end at 60 ticks a second of the host's clock, handling
/// events after each tick; onTick sees the phase each tick starts in.
tPhaseLog RunToTheEnd(tZoomRunner& runner, tZoomTestHost& host, const std::function<void(tRunPhase)>& onTick = {})
{
    tPhaseLog phases;
    for (int tick = 0; tick < 5000; ++tick) {
        const tRunPhase before = runner.Phase();
        phases.Tick(before);
        if (onTick)
            onTick(before);
        const extended tickStart = host.now;
        if (!runner.Tick()) {
            phases.Tick(runner.Phase());
            return phases;
        }
        host.ProcessMessages();
        host.now = std::max(host.now, tickStart + 1.0L / 60);
    }
    ADD_FAILURE() << "the run did not end";
    return phases;
}

} // namespace

TEST_F(ZoomRunner, StartsUpInOrderAndRunsFrames)
{
    LogFileLevel = 4;
    tZoomRunner runner(settings, host, rmDemo);
    ASSERT_TRUE(host.RunUntil(runner, tRunPhase::Zooming));
    EXPECT_EQ(runner.Status().state, ssRunning);
    EXPECT_EQ(host.placed, 1);
    EXPECT_FALSE(host.debugShown);
    EXPECT_EQ(LogFileLevel, 3); // DebugMode off
    EXPECT_EQ(host.eventRounds, 4) << "events after each start-up step";

    const auto lines = log.FileLines();
    int at = 0;
    for (const char* step : {"Initilizing", " [1/2] Open OpenGL interface", " [2/2] Setup graphics engine", " -took ",
                             "Loading core graphics", " -took ", "Creating scene objects", "Placing forms",
                             "Applying Settings", "Setting up zoom path", "Initilization completed in ",
                             "Initilizing desktop fade out transition", "Generating scene textures",
                             "Using FLT32", " render method", "Fractal rendering parameters:", " -resolution 64x64",
                             " -itterations 64", "Screen refresh rate: 100"}) {
        const int found = LineOf(lines, step, at);
        EXPECT_GE(found, at) << "missing or out of order: " << step;
        at = std::max(found, at);
    }
    EXPECT_EQ(LineOf(lines, "Random Pattern Seed"), -1) << "a fixed seed is not logged";
    EXPECT_EQ(LineOf(lines, "Fractal running..."), -1) << "not before the first frame";

    // The viewports cover the whole window: the engine's inclusive sizes;
    // the paths place their keyframes on the window.
    EXPECT_EQ(runner.MainGui()->Scene()->Viewport()->IntWidth(), 161);
    EXPECT_EQ(runner.Gui()->Scene()->Viewport()->IntHeight(), 121);
    EXPECT_NEAR(static_cast<double>(runner.MaskParticle()->aspect), 160.0 / 120, 1e-9);
    for (const tPath* path : {runner.CurrentPath(), runner.NextPath()}) {
        EXPECT_EQ(path->Screen().clientWidth, 160);
        EXPECT_EQ(path->Screen().viewportSize, (tVector2{161, 121}));
    }
}

TEST_F(ZoomRunner, FramesDrawTheWholeWindowAndFadeInFromTheFrameColour)
{
    tZoomRunner runner(settings, host, rmDemo);
    ASSERT_TRUE(host.RunUntil(runner, tRunPhase::Zooming));
    GLint viewport[4] = {};
    runner.beforePresent = [&] { glGetIntegerv(GL_VIEWPORT, viewport); };
    int frames = 0;
    runner.onFrame = [&](const tFrameReport&) { ++frames; };
    RunFrames(runner, 0.5);
    EXPECT_GE(frames, 25);
    EXPECT_TRUE(log.FileContains("Fractal running..."));
    EXPECT_EQ(viewport[2], 160);
    EXPECT_EQ(viewport[3], 120);
    // Half a second into the first path the overlay is still three quarters
    // opaque: paths fade in from the frame colour over two seconds.
    const double t = static_cast<double>(runner.CurrentPath()->Time());
    EXPECT_GT(t, 0);
    EXPECT_NEAR(runner.FadeParticle()->opacity, 1 - t / 2, 0.05);
    // The sections are timed on the host's clock: the idle one paces a frame
    // to 1/110 s of it, unless the display paces the host's ticks.
    EXPECT_NEAR(runner.Sections()[fsIdle].LastDuration(), 1.0 / 110, 0.0011);
    host.pacedByDisplay = true;
    RunFrames(runner, 0.1);
    EXPECT_EQ(runner.Sections()[fsIdle].LastDuration(), 0);
}

TEST_F(ZoomRunner, PlansProbeTheirViewsAndFrameKeyframesForTheVignette)
{
    LogFileLevel = 3;
    settings.frameScale = 1.25f;
    tZoomRunner runner(settings, host, rmDemo);
    ASSERT_TRUE(host.RunUntil(runner, tRunPhase::Zooming));
    EXPECT_EQ(log.FileCount("View probe: "), 2);
    EXPECT_GT(runner.CurrentPath()->scaleDivisor, 1.0f);

    // The ellipse the keyframes cover is where the runner's own vignette
    // lets 4 % of the picture through, across and along.
    const auto framing = runner.Sequence()->framing;
    ASSERT_TRUE(framing.has_value());
    EXPECT_EQ(framing->width, 160);
    EXPECT_EQ(framing->height, 120);
    const tVector2 axes = VisibleSemiAxes(*framing);
    const tParticle* mask = runner.MaskParticle();
    const extended down = axes.y / mask->scale;
    const extended across = axes.x / (mask->scale * mask->aspect);
    EXPECT_NEAR(static_cast<double>(across), static_cast<double>(down), 1e-6);
    EXPECT_NEAR(VignetteAlpha(down, settings.frameRes, 0), 255 * (1 - kVisibleTransmission), 1);
}

TEST_F(ZoomRunner, StopsAfterTheCloseFadeAndSwapsPathsAtTheirEnd)
{
    tZoomRunner runner(settings, host, rmDemo);
    ASSERT_TRUE(host.RunUntil(runner, tRunPhase::Zooming));
    tPath* first = runner.CurrentPath();
    tPath* second = runner.NextPath();
    RunFrames(runner, 0.2);
    // Jump to the end of the first path: the next frame swaps in the other.
    first->SetTime(first->Duration());
    bool swapped = false;
    runner.onFrame = [&](const tFrameReport& report) { swapped = swapped || report.pathSwapped; };
    RunFrames(runner, 0.05);
    EXPECT_TRUE(swapped);
    EXPECT_EQ(runner.CurrentPath(), second);
    EXPECT_EQ(runner.NextPath(), first);
    EXPECT_GT(first->Duration(), 0) << "the spare path holds a new zoom";

    runner.BeginStop();
    EXPECT_EQ(runner.Phase(), tRunPhase::Closing);
    double opacity = 0;
    runner.onFrame = [&](const tFrameReport&) { opacity = runner.FadeParticle()->opacity; };
    EXPECT_NEAR(RunFrames(runner, 3), 0.5, 0.05);
    EXPECT_TRUE(runner.Status().stop);
    EXPECT_EQ(runner.Phase(), tRunPhase::Done);
    EXPECT_GT(opacity, 0.95) << "the picture has faded to the frame colour";
}

TEST_F(ZoomRunner, RenderThreadsTakeTheKeyframesOffTheFrameLoopAndAStopWhileTheyRenderEndsCleanly)
{
    settings.FractalResolution = 256;
    settings.fractalItterations = 4000;
    struct tCase {
        int32_t setting;
        int32_t threads;
    };
    for (const tCase c : {tCase{0, 0}, tCase{2, 2}}) {
        SCOPED_TRACE(c.setting);
        settings.renderThreads = c.setting;
        tZoomRunner runner(settings, host, rmDemo);
        ASSERT_TRUE(host.RunUntil(runner, tRunPhase::Zooming));
        EXPECT_EQ(runner.RenderThreads(), c.threads);
        EXPECT_TRUE(log.FileContains("Render threads: " + std::to_string(c.threads)));
        int calls = 0;
        runner.onFrame = [&](const tFrameReport& report) { calls += report.generationCalls; };
        RunFrames(runner, 0.1);
        EXPECT_EQ(calls > 0, c.threads == 0) << "the frame loop renders only without render threads";
        if (const tRenderWorkers* workers = runner.Workers()) {
            // Wait until the workers are at it, then stop the run.
            while (workers->Slices() == 0)
                RunFrames(runner, 1.0 / 60);
        }
        runner.RequestClose();
        RunFrames(runner, 1);
        EXPECT_EQ(runner.Phase(), tRunPhase::Done);
    } // the runner goes while its workers render into the paths' pages
}

TEST_F(ZoomRunner, ACloseRequestEndsTheRunAfterTheCurrentFrame)
{
    tZoomRunner runner(settings, host, rmDemo);
    ASSERT_TRUE(host.RunUntil(runner, tRunPhase::Zooming));
    int frames = 0;
    runner.onFrame = [&](const tFrameReport&) {
        if (++frames == 3)
            runner.RequestClose();
    };
    RunFrames(runner, 10);
    EXPECT_EQ(frames, 3);
    EXPECT_TRUE(log.FileContains("Starting shutdown process"));
    EXPECT_TRUE(log.FileContains("Fractal closing..."));
}

TEST_F(ZoomRunner, PreviewRendersAQuarterOfTheResolutionAndSkipsTheScreenChecks)
{
    settings.FractalResolution = 256;
    host.refreshRate = 0;
    host.depth = 16;
    tZoomRunner runner(settings, host, rmPreview);
    ASSERT_TRUE(host.RunUntil(runner, tRunPhase::Zooming));
    EXPECT_EQ(runner.Resolution(), 64);
    EXPECT_EQ(runner.RefreshRate(), 60);
    EXPECT_TRUE(log.FileContains(" -resolution 64x64"));
    EXPECT_FALSE(log.FileContains("Using ? render method")) << "the back end is known before rendering";
    // Without a desktop picture the fade-out logs its line and takes no tick.
    EXPECT_TRUE(log.FileContains("Initilizing desktop fade out transition"));
    EXPECT_EQ(host.eventRounds, 4) << "the four start-up steps only";
}

// ---------------------------------------------------------------------------
// The phases of a whole run
// ---------------------------------------------------------------------------

TEST_F(ZoomRunner, AScreenSaverRunGoesThroughEveryPhaseOnTheHostsClock)
{
    // A desktop to fade from; the user stops the saver after a second.
    const std::unique_ptr<tPage> desktop = GradientPicture(160, 120);
    tZoomRunner runner(settings, host, rmScreenSaver);
    runner.SetDesktopCapture(desktop.get());
    int zoomTicks = 0;
    int rounds = 0;
    const tPhaseLog phases = RunToTheEnd(runner, host, [&](tRunPhase phase) {
        if (phase == tRunPhase::Zooming && ++zoomTicks == 60)
            runner.BeginStop();
        EXPECT_EQ(host.eventRounds, rounds++) << "events after every tick";
    });
    EXPECT_EQ(phases.Text(), "Starting DesktopFadeOut Zooming Closing DesktopFadeIn Done");
    EXPECT_EQ(phases.TicksIn(tRunPhase::Starting), 4);
    // The keyframes are complete at once on this clock: what is left of the
    // fade-out is its one-second final fade, at 60 ticks a second.
    EXPECT_GE(phases.TicksIn(tRunPhase::DesktopFadeOut), 60);
    EXPECT_LE(phases.TicksIn(tRunPhase::DesktopFadeOut), 63);
    // The close fade lasts half a second; the desktop comes back in 0.85 s.
    EXPECT_NEAR(phases.TicksIn(tRunPhase::Closing), 30, 2);
    EXPECT_NEAR(phases.TicksIn(tRunPhase::DesktopFadeIn), 51, 2);

    const auto lines = log.FileLines();
    int at = 0;
    for (const char* step : {"Initilizing", "Initilizing desktop fade out transition", "Fractal running...",
                             "Fractal closing...", "Initilizing desktop fade in transition"}) {
        const int found = LineOf(lines, step, at);
        EXPECT_GE(found, at) << "missing or out of order: " << step;
        at = std::max(found, at);
    }
    EXPECT_FALSE(runner.Tick()) << "a run that is over stays over";
}

TEST_F(ZoomRunner, StopsBeforeTheFrameLoopEndTheRunWithoutAFrame)
{
    struct tCase {
        const char* name;
        int runMode;
        /// The request comes with the events after this tick of the phase.
        tRunPhase during;
        int afterTick;
        bool close; // a close request rather than a stop by the user
        bool desktop; // a desktop picture to fade from and back to
        const char* phases;
        double closingSeconds; // how long the close fade kept it going
    };
    const tCase cases[] = {
        {"close while starting", rmDemo, tRunPhase::Starting, 2, true, true, "Starting Done", 0},
        {"close while starting, Screen Saver", rmScreenSaver, tRunPhase::Starting, 1, true, true,
         "Starting DesktopFadeIn Done", 0},
        // Without a desktop picture the fade-in logs its line and takes no tick.
        {"close while starting, Screen Saver, no desktop", rmScreenSaver, tRunPhase::Starting, 1, true, false,
         "Starting Done", 0},
        // A key pressed while graphics start keeps the state closing: the
        // desktop recedes under the close fade, which ends the run.
        {"key while starting", rmScreenSaver, tRunPhase::Starting, 1, false, true,
         "Starting DesktopFadeOut Closing DesktopFadeIn Done", 0.5},
        {"key during the fade-out", rmScreenSaver, tRunPhase::DesktopFadeOut, 10, false, true,
         "Starting DesktopFadeOut Closing DesktopFadeIn Done", 0.5},
    };
    const std::unique_ptr<tPage> desktop = GradientPicture(160, 120);
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.name);
        tCapturedLog caseLog;
        tZoomTestHost caseHost;
        tZoomRunner runner(settings, caseHost, c.runMode);
        runner.SetDesktopCapture(c.desktop ? desktop.get() : nullptr);
        int ticks = 0;
        extended requestedAt = 0;
        extended fadeOutEnd = 0;
        const tPhaseLog phases = RunToTheEnd(runner, caseHost, [&](tRunPhase phase) {
            if (phase == c.during && ++ticks == c.afterTick) {
                caseHost.onMessages = [&] {
                    requestedAt = caseHost.now;
                    c.close ? runner.RequestClose() : runner.BeginStop();
                    caseHost.onMessages = nullptr;
                };
            }
            if (phase == tRunPhase::DesktopFadeOut)
                fadeOutEnd = caseHost.now;
        });
        EXPECT_EQ(phases.Text(), c.phases);
        EXPECT_EQ(runner.FrameCount(), 0u);
        EXPECT_FALSE(caseLog.FileContains("Fractal running..."));
        EXPECT_TRUE(caseLog.FileContains("Fractal closing..."));
        EXPECT_EQ(caseLog.FileContains("Initilizing desktop fade in transition"), c.runMode == rmScreenSaver);
        if (c.closingSeconds > 0) {
            // Counted from the request; the start-up ticks before the
            // fade-out's first frame take up to 0.05 s.
            EXPECT_GE(fadeOutEnd - requestedAt, c.closingSeconds);
            EXPECT_LE(fadeOutEnd - requestedAt, c.closingSeconds + 0.1);
        }
    }
}

TEST_F(ZoomRunner, MissingGraphicsAreRaisedAndOtherFailuresEndTheRun)
{
    // Too few colours for the saver; Preview and Hosted runs do not check.
    host.depth = 16;
    tZoomRunner shallow(settings, host, rmScreenSaver);
    try {
        shallow.Tick();
        ADD_FAILURE() << "no failure";
    } catch (const EGraphicsFailure& e) {
        EXPECT_EQ(e.Kind(), EGraphicsFailure::tKind::ColourDepth);
        EXPECT_STREQ(e.what(), "INIT-FAIL: 32Bit color is required, please change desktop settings");
    }
    EXPECT_EQ(shallow.Phase(), tRunPhase::Done);

    // Any other failure is logged and ends the run like a close request:
    // here the graphics never start, and the scene cannot be made.
    struct tBrokenHost : tZoomTestHost {
        std::unique_ptr<tOpenGLInterface> OpenGL() override { throw std::runtime_error("no graphics today"); }
    } broken;
    tZoomRunner runner(settings, broken, rmScreenSaver);
    const tPhaseLog phases = RunToTheEnd(runner, broken);
    EXPECT_EQ(phases.Text(), "Starting Done");
    EXPECT_TRUE(log.FileContains("Initilization failed!"));
    EXPECT_TRUE(log.FileContains(" -no graphics today"));
    EXPECT_TRUE(log.FileContains("The zoom stopped: "));
}

// ---------------------------------------------------------------------------
// Two runners in one process
// ---------------------------------------------------------------------------

TEST_F(ZoomRunner, TwoRunnersInTwoWindowsDrawTheirOwnZooms)
{
    // Each zoom fades in from a frame colour of its own, plans from a seed
    // of its own, and has a window of its own size: each must show in its
    // own window only.
    const tPackedColor red = PackRGBA(220, 30, 30);
    const tPackedColor blue = PackRGBA(30, 30, 220);
    settings.frameColor = red;
    tGlobalSettings other = settings;
    other.frameColor = blue;
    other.PatternSeed = 8;
    tZoomTestHost hostB(200, 150);
    tZoomRunner a(settings, host, rmDemo);
    tZoomRunner b(other, hostB, rmDemo);
    struct tSeen {
        GLint viewport[4] = {};
        tPackedColor fadingCentre = 0;
    } seenA, seenB;
    const auto watch = [](tZoomRunner& runner, tZoomTestHost& h, tSeen& seen) {
        runner.beforePresent = [&runner, &h, &seen] {
            EXPECT_TRUE(runner.GL()->Context().IsCurrent());
            glGetIntegerv(GL_VIEWPORT, seen.viewport);
            // The scene's new particles show from the second frame on.
            if (runner.FrameCount() == 2)
                seen.fadingCentre = ReadFrame(h.width, h.height).At(h.width / 2, h.height / 2);
        };
    };
    watch(a, host, seenA);
    watch(b, hostB, seenB);

    // Their ticks interleave, start-up included, as two windows' timers would.
    bool runningA = true;
    bool runningB = true;
    for (int tick = 0; tick < 200 && (runningA || runningB); ++tick) {
        runningA = runningA && a.Tick();
        runningB = runningB && b.Tick();
        host.ProcessMessages();
        host.now += 1.0L / 60;
        hostB.now += 1.0L / 60;
        if (tick == 100) {
            a.RequestClose();
            b.RequestClose();
        }
    }
    EXPECT_FALSE(runningA || runningB) << "both runs end";
    EXPECT_GT(a.FrameCount(), 90u);
    EXPECT_GT(b.FrameCount(), 90u);

    EXPECT_TRUE(ColorNear(seenA.fadingCentre, red, 12)) << ColorText(seenA.fadingCentre);
    EXPECT_TRUE(ColorNear(seenB.fadingCentre, blue, 12)) << ColorText(seenB.fadingCentre);
    EXPECT_EQ(seenA.viewport[2], 160);
    EXPECT_EQ(seenA.viewport[3], 120);
    EXPECT_EQ(seenB.viewport[2], 200);
    EXPECT_EQ(seenB.viewport[3], 150);
    EXPECT_EQ(a.CurrentPath()->Screen().clientWidth, 160);
    EXPECT_EQ(b.CurrentPath()->Screen().clientWidth, 200);
    EXPECT_NE(a.CurrentPath()->Point(0).x, b.CurrentPath()->Point(0).x) << "different zooms";
}
