// The program on a Wayland desktop of the test's own: headless sway with two
// outputs side by side, looked at through screenshots of each output and
// driven with keys and a virtual pointer.
#include "ProgramRunner.h"
#include "WaylandSession.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

/// A program in the session: it finds the compositor, and no X server, as
/// in a Wayland session without XWayland.
struct tWaylandRun {
    tWaylandSession session{2};
    tProgramFolder folder;

    tWaylandRun()
    {
        WriteTextFile(folder.Folder() + "/fractal.ini", "[ADVANCED]\nforceDetailLevel=1\nPatternSeed=3\n");
    }

    std::unique_ptr<tRunningProgram> Start(const std::vector<std::string>& args) const
    {
        std::vector<std::string> env = session.Environment();
        env.push_back("DISPLAY");
        return std::make_unique<tRunningProgram>(folder, args, env);
    }

    /// Polls the output until it shows a varied picture (a zoom, not a fade).
    tScreenShot WaitForZoom(const std::string& output) const
    {
        tScreenShot shot;
        WaitUntil(
            [&] {
                shot = session.Shot(output);
                return shot.Colours() > 200;
            },
            60s);
        return shot;
    }
};

} // namespace

TEST(Wayland, DemoDrawsInAWindowOfTheToolkitsWaylandClient)
{
    tWaylandRun run;
    ASSERT_TRUE(run.session.Valid()) << run.session.Log();
    const auto demo = run.Start({"/d"});
    ASSERT_TRUE(WaitForText(run.folder.LogPath(), "Fractal running...", 90s)) << run.folder.Log() << run.folder.Output();
    const tScreenShot first = run.WaitForZoom("HEADLESS-1");
    EXPECT_GT(first.Colours(), 200) << "the zoom shows on the first output";
    EXPECT_TRUE(WaitUntil([&] { return run.session.Shot("HEADLESS-1").ChangedShare(first) > 0.05; }, 10s))
        << "the picture moves";
    EXPECT_EQ(demo->Terminate(), 0) << run.folder.Output();
}
