// The program on a Wayland desktop of the test's own: headless sway with two
// outputs side by side, looked at through screenshots of each output and
// driven with keys and a virtual pointer.
#include "ProgramRunner.h"
#include "WaylandSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <iostream>

namespace {

using namespace std::chrono_literals;

/// The desktop's own picture: a plain background of this colour.
constexpr uint32_t kBackground = 0xC8285A;

/// Share of the shot that shows the background dimmed (as the desktop's copy
/// is while it recedes and fades), not at its full brightness.
double DimmedBackgroundShare(const tScreenShot& shot)
{
    size_t dimmed = 0;
    for (const uint32_t p : shot.pixels) {
        const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
        const double k = r / 200.0;
        dimmed += k > 0.15 && k < 0.95 && std::abs(g - 40 * k) <= 4 && std::abs(b - 90 * k) <= 4;
    }
    return shot.pixels.empty() ? 0 : static_cast<double>(dimmed) / static_cast<double>(shot.pixels.size());
}

/// A program in the session: it finds the compositor, and no X server, as
/// in a Wayland session without XWayland. The outputs are 800 × 600: the
/// compositor draws them on the processor, beside the zooms.
struct tWaylandRun {
    tWaylandSession session;
    tProgramFolder folder;

    /// config: more of sway's configuration (a wallpaper, say).
    explicit tWaylandRun(const std::string& config = "") : session(2, "output * mode 800x600\n" + config)
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

    /// Both outputs show a zoom, and a different picture a moment later.
    void ExpectZoomsOnBothOutputs() const
    {
        for (const char* output : {"HEADLESS-1", "HEADLESS-2"}) {
            const tScreenShot first = WaitForZoom(output);
            EXPECT_GT(first.Colours(), 200) << output << " shows a zoom";
            EXPECT_TRUE(WaitUntil([&] { return session.Shot(output).ChangedShare(first) > 0.05; }, 10s))
                << output << "'s picture moves";
        }
    }

    /// Where the output lies in the layout.
    tOutputPlace Place(const std::string& output) const
    {
        for (const tOutputPlace& place : session.Outputs())
            if (place.name == output)
                return place;
        return {};
    }

    /// Every output's zoom is running.
    bool WaitRunning() const
    {
        return WaitUntil([&] { return Count(folder.Log(), "Fractal running...") >= 2; }, 90s);
    }

    static int Count(const std::string& text, const std::string& what)
    {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
};

/// After a stop by input (named in the log line the program writes for it),
/// the program ends with 0 within two seconds and leaves nothing running.
void ExpectQuickEnd(tRunningProgram& program, const tWaylandRun& run, const std::string& logLine)
{
    const auto since = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitUntil([&] { return !program.Running(); }, 10s)) << "still running 10 s later\n" << run.folder.Log();
    const int code = program.Wait(1s);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since);
    std::cout << "the saver ended " << took.count() << " ms after: " << logLine << "\n";
    EXPECT_LE(took, ResponseLimit(2000ms));
    EXPECT_EQ(code, 0) << run.folder.Output();
    EXPECT_NE(run.folder.Log().find(logLine), std::string::npos) << run.folder.Log();
    EXPECT_TRUE(ProcessesOf(run.folder.Binary()).empty()) << "nothing is left running";
}

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

TEST(Wayland, ScreenSaverModeZoomsOnEveryOutputAndAKeyEndsIt)
{
    tWaylandRun run("output * bg #C8285A solid_color");
    ASSERT_TRUE(run.session.Valid()) << run.session.Log();
    ASSERT_TRUE(WaitUntil([&] { return run.session.Shot("HEADLESS-1").Count(kBackground, 0) > 800 * 590; }, 10s))
        << "the desktop shows its background";
    const auto saver = run.Start({"/s"});
    // The copy of the desktop recedes and darkens while the first keyframes
    // render, as the compositor let the saver copy the output.
    EXPECT_TRUE(WaitUntil([&] { return DimmedBackgroundShare(run.session.Shot("HEADLESS-1")) > 0.5; }, 60s))
        << "the desktop never receded\n" << run.folder.Log();
    ASSERT_TRUE(run.WaitRunning()) << run.folder.Log() << run.folder.Output();
    EXPECT_NE(run.folder.Log().find("above all windows (Wayland overlay layer)"), std::string::npos);
    run.ExpectZoomsOnBothOutputs();

    // Shift speeds the zoom up and leaves it running; a letter ends it.
    ASSERT_TRUE(run.session.Type({"-P", "Shift_L", "-s", "200", "-p", "Shift_L"}));
    EXPECT_TRUE(saver->Running());
    ASSERT_TRUE(run.session.Type({"x"}));
    ExpectQuickEnd(*saver, run, "Key press... stop event triggered");
}

TEST(Wayland, APointerMoveEndsScreenSaverMode)
{
    tWaylandRun run;
    ASSERT_TRUE(run.session.Valid()) << run.session.Log();
    // Where the pointer is when the saver covers the outputs.
    const tOutputPlace second = run.Place("HEADLESS-2");
    ASSERT_GT(second.width, 0);
    ASSERT_TRUE(run.session.MovePointer(second.x + 600, 300));
    const auto saver = run.Start({"/s"});
    ASSERT_TRUE(run.WaitRunning()) << run.folder.Log() << run.folder.Output();
    ASSERT_TRUE(run.WaitForZoom("HEADLESS-2").Colours() > 200);
    EXPECT_TRUE(saver->Running()) << "the surfaces appearing under the pointer is no move";

    ASSERT_TRUE(run.session.MovePointer(second.x + 610, 305));
    ExpectQuickEnd(*saver, run, "Mouse move... stop event triggered");
}

TEST(Wayland, TheBackgroundRoleZoomsBelowWindowsUntilSigterm)
{
    tWaylandRun run;
    ASSERT_TRUE(run.session.Valid()) << run.session.Log();
    const auto background = run.Start({"--root"});
    ASSERT_TRUE(run.WaitRunning()) << run.folder.Log() << run.folder.Output();
    EXPECT_NE(run.folder.Log().find("below all windows (Wayland background layer)"), std::string::npos);
    run.ExpectZoomsOnBothOutputs();
    ASSERT_TRUE(run.session.MovePointer(300, 300));
    ASSERT_TRUE(run.session.MovePointer(320, 310));
    ASSERT_TRUE(run.session.Type({"x"}));
    EXPECT_TRUE(background->Running()) << "input belongs to the windows above";
    EXPECT_EQ(background->Terminate(), 0) << run.folder.Output();
    EXPECT_TRUE(ProcessesOf(run.folder.Binary()).empty()) << "nothing is left running";
}

TEST(Wayland, SigtermEndsScreenSaverMode)
{
    tWaylandRun run;
    ASSERT_TRUE(run.session.Valid()) << run.session.Log();
    const auto saver = run.Start({"/s"});
    ASSERT_TRUE(run.WaitRunning()) << run.folder.Log() << run.folder.Output();
    EXPECT_EQ(saver->Terminate(), 0) << run.folder.Output();
    EXPECT_TRUE(ProcessesOf(run.folder.Binary()).empty()) << "nothing is left running";
}
