// The toolkit on a Wayland desktop of the test's own: the OpenGL surface
// tests that Wayland makes different, and the desktop capture.
#include "ChildProcess.h"
#include "WaylandSession.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

/// Runs the tests of the program that the filter names on the toolkit's
/// Wayland client; true when all passed.
::testing::AssertionResult RunOnWayland(const tWaylandSession& session, const std::string& program,
                                        const std::string& filter)
{
    tTempDir dir;
    std::filesystem::create_directories(dir.File("runtime"));
    std::filesystem::permissions(dir.File("runtime"), std::filesystem::perms::owner_all);
    std::vector<std::string> env = session.Environment();
    env.insert(env.end(), {"PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=wayland", "FRACTAL_NO_DIALOGS=1",
                           "XDG_RUNTIME_DIR=" + dir.File("runtime")});
    const std::vector<std::string> sanitizer = SanitizerEnvironment();
    env.insert(env.end(), sanitizer.begin(), sanitizer.end());
    tChildProcess test({program, "--gtest_filter=" + filter}, env, dir.File("output"));
    const int code = test.Wait(std::chrono::seconds(60));
    const std::string output = ReadTextFile(dir.File("output"));
    if (code != 0 || output.find("[  PASSED  ]") == std::string::npos || output.find("SKIPPED") != std::string::npos)
        return ::testing::AssertionFailure() << "exit code " << code << " (139: it crashed)\n" << output;
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(GLSurfaceOnWayland, SwapsSurviveAWindowResizedBetweenFrames)
{
    tWaylandSession session(1);
    ASSERT_TRUE(session.Valid()) << session.Log();
    EXPECT_TRUE(RunOnWayland(session, PLATFORM_GL_TESTS, "GLSurface.SwapsSurviveAWindowResizedBetweenFrames"));
}

TEST(GLSurfaceOnWayland, TheDesktopCaptureAsksTheCompositor)
{
    tWaylandSession session(2, "output HEADLESS-1 bg #C8285A solid_color\noutput HEADLESS-2 bg #208080 solid_color");
    ASSERT_TRUE(session.Valid()) << session.Log();
    // The backgrounds are drawn by a client of sway's that takes a moment.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return session.Shot("HEADLESS-1").Count(0xC8285A, 0) > 1280 * 700 &&
                   session.Shot("HEADLESS-2").Count(0x208080, 0) > 1280 * 700;
        },
        std::chrono::seconds(10)));
    EXPECT_TRUE(RunOnWayland(session, TOOLKIT_CHECKS, "DesktopCapture.OnAWaylandDesktopTheCompositorCopiesTheOutputs"));
}
