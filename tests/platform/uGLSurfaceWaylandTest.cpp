// The OpenGL surface tests that Wayland makes different, run again by the
// toolkit's Wayland client on a Wayland desktop of the test's own.
#include "ChildProcess.h"
#include "WaylandSession.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(GLSurfaceOnWayland, SwapsSurviveAWindowResizedBetweenFrames)
{
    tWaylandSession session(1);
    ASSERT_TRUE(session.Valid()) << session.Log();
    tTempDir dir;
    std::filesystem::create_directories(dir.File("runtime"));
    std::filesystem::permissions(dir.File("runtime"), std::filesystem::perms::owner_all);
    std::vector<std::string> env = session.Environment();
    env.insert(env.end(), {"PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=wayland", "FRACTAL_NO_DIALOGS=1",
                           "XDG_RUNTIME_DIR=" + dir.File("runtime")});
    tChildProcess test({PLATFORM_GL_TESTS, "--gtest_filter=GLSurface.SwapsSurviveAWindowResizedBetweenFrames"}, env,
                       dir.File("output"));
    EXPECT_EQ(test.Wait(std::chrono::seconds(60)), 0) << "139: the swap crashed\n" << ReadTextFile(dir.File("output"));
    EXPECT_NE(ReadTextFile(dir.File("output")).find("[  PASSED  ] 1 test"), std::string::npos)
        << ReadTextFile(dir.File("output"));
}
