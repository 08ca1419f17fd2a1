// The running zoom on a real window under the virtual display, with a
// made-up clock that moves only when the loop sleeps or a test says so.
#include "uZoomRunner.h"

#include "TestUtil.h"
#include "ZoomTestHost.h"
#include "uGLSurface.h"
#include "uGlobalSettings.h"
#include "uGUI.h"
#include "uOpenGL.h"
#include "uParticle.h"
#include "uPath.h"
#include "uPlatform.h"
#include "uRunModes.h"
#include "uUniverse.h"
#include "uViewPort.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

class ZoomRunner : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetGLErrorChecking(true);
        QuickZoomSettings(settings);
        GlobalSettings = &settings;
    }
    void TearDown() override
    {
        GlobalSettings = nullptr;
        SetGLErrorChecking(false);
    }

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

} // namespace

TEST_F(ZoomRunner, StartsUpInOrderAndRunsFrames)
{
    LogFileLevel = 4;
    tZoomRunner runner(settings, host, rmDemo);
    runner.Initialise();
    EXPECT_EQ(runner.Status().state, ssInitialised);
    EXPECT_EQ(host.placed, 1);
    EXPECT_FALSE(host.debugShown);
    EXPECT_EQ(LogFileLevel, 3); // DebugMode off

    const auto lines = log.FileLines();
    int at = 0;
    for (const char* step : {"Initilizing", " [1/2] Open OpenGL interface", " [2/2] Setup graphics engine", " -took ",
                             "Creating scene objects", "Placing forms", "Applying Settings", "Setting up zoom path",
                             "Initilization completed in ", "Generating scene textures", " render method",
                             "Fractal rendering parameters:", " -resolution 64x64", " -itterations 64",
                             "Screen refresh rate: 100"}) {
        const int found = LineOf(lines, step, at);
        EXPECT_GE(found, at) << "missing or out of order: " << step;
        at = std::max(found, at);
    }
    EXPECT_EQ(LineOf(lines, "Random Pattern Seed"), -1) << "a fixed seed is not logged";

    // The viewports cover the whole window: the engine's inclusive sizes.
    EXPECT_EQ(runner.MainGui()->Scene()->Viewport()->IntWidth(), 161);
    EXPECT_EQ(runner.Gui()->Scene()->Viewport()->IntHeight(), 121);
    EXPECT_NEAR(static_cast<double>(runner.MaskParticle()->aspect), 160.0 / 120, 1e-9);
}

TEST_F(ZoomRunner, FramesDrawTheWholeWindowAndFadeInFromTheFrameColour)
{
    tZoomRunner runner(settings, host, rmDemo);
    runner.Initialise();
    GLint viewport[4] = {};
    runner.beforePresent = [&] { glGetIntegerv(GL_VIEWPORT, viewport); };
    int frames = 0;
    runner.onFrame = [&](const tFrameReport&) { ++frames; };
    RunFrames(runner, 0.5);
    EXPECT_GE(frames, 25);
    EXPECT_EQ(viewport[2], 160);
    EXPECT_EQ(viewport[3], 120);
    // Half a second into the first path the overlay is still three quarters
    // opaque: paths fade in from the frame colour over two seconds.
    const double t = static_cast<double>(runner.CurrentPath()->Time());
    EXPECT_GT(t, 0);
    EXPECT_NEAR(runner.FadeParticle()->opacity, 1 - t / 2, 0.05);
}

TEST_F(ZoomRunner, StopsAfterTheCloseFadeAndSwapsPathsAtTheirEnd)
{
    tZoomRunner runner(settings, host, rmDemo);
    runner.Initialise();
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
    EXPECT_NEAR(RunFrames(runner, 3), 0.5, 0.05);
    EXPECT_TRUE(runner.Status().stop);
    EXPECT_GT(runner.FadeParticle()->opacity, 0.95) << "the picture has faded to the frame colour";
}

TEST_F(ZoomRunner, AStopDuringStartUpEndsTheLoopAfterTheCloseFade)
{
    tZoomRunner runner(settings, host, rmScreenSaver);
    // A key pressed while graphics start: the state must stay closing.
    host.onMessages = [&] {
        if (runner.Status().state == ssInitialising)
            runner.BeginStop();
    };
    runner.Initialise();
    host.onMessages = nullptr;
    EXPECT_EQ(runner.Status().state, ssClosing);
    const extended start = host.now;
    runner.RunFrameLoop();
    EXPECT_NEAR(static_cast<double>(host.now - start), 0.5, 0.1);
}

TEST_F(ZoomRunner, ACloseRequestEndsTheLoopAfterTheCurrentFrame)
{
    tZoomRunner runner(settings, host, rmDemo);
    runner.Initialise();
    int frames = 0;
    runner.onFrame = [&](const tFrameReport&) {
        if (++frames == 3)
            runner.RequestClose();
    };
    runner.RunFrameLoop();
    EXPECT_EQ(frames, 3);
    EXPECT_TRUE(log.FileContains("Starting shutdown process"));
}

TEST_F(ZoomRunner, PreviewRendersAQuarterOfTheResolutionAndSkipsTheScreenChecks)
{
    settings.FractalResolution = 256;
    host.refreshRate = 0;
    tZoomRunner runner(settings, host, rmPreview);
    runner.Initialise();
    EXPECT_EQ(runner.Resolution(), 64);
    EXPECT_EQ(runner.RefreshRate(), 60);
    EXPECT_TRUE(log.FileContains(" -resolution 64x64"));
}
