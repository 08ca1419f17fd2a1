// The zoom as a user meets it: the built program on the virtual display,
// looked at through screenshots and driven with the mouse and keys.
#include "ProgramRunner.h"
#include "X11Session.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;

/// The lowest detail level and a fixed seed keep the runs short and alike.
void WriteQuickSettings(const tProgramFolder& folder, const std::string& extra = "")
{
    WriteTextFile(folder.Folder() + "/fractal.ini",
                  "[ADVANCED]\nforceDetailLevel=1\nPatternSeed=3\n" + extra);
}

bool WaitRunning(const tProgramFolder& folder)
{
    return WaitForText(folder.LogPath(), "Fractal running...", 90s);
}

/// Polls until the area shows a varied picture (the zoom, not a fade).
tScreenShot WaitForPicture(const tX11Session& x, int left, int top, int width, int height,
                           std::chrono::seconds timeout = 60s)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    tScreenShot shot;
    do {
        shot = x.Shot(left, top, width, height);
        if (shot.Colours() > 200)
            return shot;
        std::this_thread::sleep_for(250ms);
    } while (std::chrono::steady_clock::now() < end);
    return shot;
}

/// Waits for the exit; -1 when the program still runs after the timeout.
int ExitWithin(tRunningProgram& program, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (program.Running() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);
    return program.Running() ? -1 : program.Wait(1s);
}

/// Each test has a display of its own: tests running side by side must not
/// see each other's windows or take each other's keys.
struct tOwnDisplay {
    tPrivateDisplay server{"-screen 0 1280x1024x24"};
    tX11Session x{server.Name()};
    std::vector<std::string> Env(std::vector<std::string> more = {}) const
    {
        more.push_back("DISPLAY=" + server.Name());
        return more;
    }
};

bool InOrder(const std::string& log, const std::vector<std::string>& lines)
{
    size_t at = 0;
    for (const std::string& line : lines) {
        const size_t found = log.find(line, at);
        if (found == std::string::npos) {
            ADD_FAILURE() << "missing or out of order: " << line;
            return false;
        }
        at = found;
    }
    return true;
}

} // namespace

TEST(Demo, ShowsAMovingZoomIgnoresInputAndEndsCleanlyOnSigterm)
{
    tOwnDisplay own;
    tX11Session& x = own.x;
    ASSERT_TRUE(x.Valid()) << "needs Xvfb";
    tProgramFolder folder;
    WriteQuickSettings(folder);
    tRunningProgram demo(folder, {"/d"}, own.Env());
    ASSERT_TRUE(WaitRunning(folder)) << folder.Log();

    // The Demo window (876 x 824) opens in the middle of the screen.
    const int left = (x.Width() - 876) / 2;
    bool centred = false;
    for (const auto& w : x.MappedWindows())
        centred = centred || (w[0] == left && w[1] == (x.Height() - 824) / 2 && w[2] == 876 && w[3] == 824);
    EXPECT_TRUE(centred) << "no 876 x 824 window in the middle of the screen";
    const tScreenShot first = WaitForPicture(x, left + 200, 320, 476, 300);
    ASSERT_GT(first.Colours(), 200) << "no zoom on the screen";
    std::this_thread::sleep_for(3s);
    const tScreenShot later = x.Shot(left + 200, 320, 476, 300);
    EXPECT_GT(Difference(first, later), 0.01) << "the picture does not move";

    // Mouse and keys do not end a Demo.
    x.MoveMouse(left + 100, 300);
    x.MoveMouse(left + 400, 500);
    x.Tap("a");
    x.Tap("space");
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(demo.Running());

    EXPECT_EQ(demo.Terminate(), 0);
    const std::string log = folder.Log();
    InOrder(log, {"Initilizing", " [1/2] Open OpenGL interface", " [2/2] Setup graphics engine",
                  "Creating scene objects", "Placing forms", "Applying Settings", "Setting up zoom path",
                  "Initilization completed in ", "Generating scene textures", " render method",
                  "Fractal rendering parameters:", " -resolution 640x640", " -itterations ", "Screen refresh rate: ",
                  "Fractal running...", "Starting shutdown process", "Fractal closing...", "Releasing GUI",
                  "Releasing Paths", "Releasing openGL interface"});
    EXPECT_EQ(log.find("stop event triggered"), std::string::npos);
}

TEST(ScreenSaver, CoversTheScreenAndAMouseMoveEndsIt)
{
    tOwnDisplay own;
    tX11Session& x = own.x;
    ASSERT_TRUE(x.Valid()) << "needs Xvfb";
    x.MoveMouse(10, 10);
    tProgramFolder folder;
    WriteQuickSettings(folder);
    tRunningProgram saver(folder, {"/s"}, own.Env());
    ASSERT_TRUE(WaitRunning(folder)) << folder.Log();

    bool covered = false;
    for (const auto& w : x.MappedWindows())
        covered = covered || (w[0] <= 0 && w[1] <= 0 && w[0] + w[2] >= x.Width() && w[1] + w[3] >= x.Height());
    EXPECT_TRUE(covered) << "no window covers the screen";
    EXPECT_GT(WaitForPicture(x, 0, 0, x.Width(), x.Height()).Colours(), 200);

    x.MoveMouse(200, 200);
    EXPECT_EQ(ExitWithin(saver, ResponseLimit(2s)), 0);
    EXPECT_NE(folder.Log().find("Mouse move... stop event triggered"), std::string::npos);
}

TEST(ScreenSaver, ShiftAClickAndTheSamePlaceDoNotEndItOtherKeysDo)
{
    tOwnDisplay own;
    tX11Session& x = own.x;
    ASSERT_TRUE(x.Valid()) << "needs Xvfb";
    x.MoveMouse(30, 30);
    tProgramFolder folder;
    WriteQuickSettings(folder);
    tRunningProgram saver(folder, {"/s"}, own.Env());
    ASSERT_TRUE(WaitForText(folder.LogPath(), "Initilizing", 30s));
    // While it starts, a move only tells the saver where the mouse is.
    x.MoveMouse(300, 300);
    ASSERT_TRUE(WaitRunning(folder)) << folder.Log();
    x.MoveMouse(300, 300);
    x.Key("Shift_L", true);
    std::this_thread::sleep_for(1500ms);
    x.Key("Shift_L", false);
    EXPECT_TRUE(saver.Running()) << folder.Log();

    x.Click();
    x.Click(3);
    std::this_thread::sleep_for(1500ms);
    EXPECT_TRUE(saver.Running()) << "a click without moving is no stop\n" << folder.Log();

    x.Tap("q");
    EXPECT_EQ(ExitWithin(saver, ResponseLimit(3s)), 0);
    EXPECT_NE(folder.Log().find("Fractal closing..."), std::string::npos);

    // Keys that type nothing end it as well.
    for (const char* key : {"Escape", "Left", "F5"}) {
        tProgramFolder again;
        WriteQuickSettings(again);
        tRunningProgram next(again, {"/s"}, own.Env());
        ASSERT_TRUE(WaitRunning(again)) << again.Log();
        if (key[0] == 'E') {
            // The mouse has not moved since the window appeared: a click is
            // its first event, and no move.
            x.Click();
            std::this_thread::sleep_for(1s);
            EXPECT_TRUE(next.Running()) << again.Log();
        }
        x.Tap(key);
        EXPECT_EQ(ExitWithin(next, ResponseLimit(3s)), 0) << key;
    }
}

TEST(ScreenSaver, AKeyWhileItStartsStillEndsIt)
{
    tOwnDisplay own;
    tX11Session& x = own.x;
    ASSERT_TRUE(x.Valid()) << "needs Xvfb";
    tProgramFolder folder;
    WriteQuickSettings(folder);
    tRunningProgram saver(folder, {"/s"}, own.Env());
    ASSERT_TRUE(WaitForText(folder.LogPath(), "Initilizing", 30s));
    x.Tap("k");
    EXPECT_EQ(ExitWithin(saver, 30s), 0) << folder.Log();
    EXPECT_NE(folder.Log().find("Fractal closing..."), std::string::npos);
}

TEST(Preview, DrawsInsideTheHostWindowAndEndsWithIt)
{
    tOwnDisplay own;
    tX11Session& x = own.x;
    ASSERT_TRUE(x.Valid()) << "needs Xvfb";
    const uint64_t host = x.CreateWindow(40, 60, 320, 240);
    tProgramFolder folder;
    WriteQuickSettings(folder, "FractalResolution=400\n");
    tRunningProgram preview(folder, {"/p", std::to_string(host)}, own.Env());
    ASSERT_TRUE(WaitRunning(folder)) << folder.Log();
    EXPECT_NE(folder.Log().find(" -resolution 100x100"), std::string::npos) << "a quarter of the resolution";
    EXPECT_GT(WaitForPicture(x, 40 + 60, 60 + 40, 200, 160).Colours(), 200) << "no zoom inside the host window";
    // Outside the host window the screen stays as it was.
    EXPECT_LT(x.Shot(400, 400, 100, 100).Colours(), 5);

    x.DestroyWindow(host);
    EXPECT_EQ(ExitWithin(preview, 5s), 0) << folder.Log();

    // A number that names no window is an invalid handle.
    tProgramFolder other;
    tRunningProgram invalid(other, {"/p", "123"}, own.Env());
    EXPECT_EQ(invalid.Wait(), 42);
}

TEST(ScreenSaver, BlacksOutTheOtherScreens)
{
    tPrivateDisplay twoScreens("-retro -screen 0 800x600x24 -screen 1 640x480x24");
    ASSERT_TRUE(twoScreens.Valid());
    tX11Session x(twoScreens.Name() + ".0");
    tX11Session secondScreen(twoScreens.Name() + ".1");
    ASSERT_TRUE(x.Valid() && secondScreen.Valid());
    // Before, the second screen shows the server's woven background.
    ASSERT_GT(secondScreen.Shot().Colours(), 1);

    tProgramFolder folder;
    WriteQuickSettings(folder);
    tRunningProgram saver(folder, {"/s"}, {"DISPLAY=" + twoScreens.Name()});
    ASSERT_TRUE(WaitRunning(folder)) << folder.Log();
    EXPECT_GT(WaitForPicture(x, 0, 0, 800, 600).Colours(), 200) << "the zoom is on the primary screen";
    const tScreenShot second = secondScreen.Shot();
    EXPECT_EQ(second.Colours(), 1);
    EXPECT_EQ(second.At(10, 10), 0u) << "the second screen is black";
    EXPECT_EQ(saver.Terminate(), 0);
}

TEST(Demo, DrawsInDevicePixelsOnAScaledScreen)
{
    tOwnDisplay own;
    tX11Session& x = own.x;
    ASSERT_TRUE(x.Valid()) << "needs Xvfb";
    tProgramFolder folder;
    WriteQuickSettings(folder);
    tRunningProgram demo(folder, {"/d"}, own.Env({"QT_SCALE_FACTOR=2"}));
    ASSERT_TRUE(WaitRunning(folder)) << folder.Log();
    // Level 1 is half the screen's width in device pixels, not in scaled ones.
    EXPECT_NE(folder.Log().find(" -resolution " + std::to_string(x.Width() / 2) + "x"), std::string::npos)
        << folder.Log();
    // The window now fills the screen; the zoom reaches its right and top
    // parts too (an OpenGL viewport in scaled pixels would cover only the
    // lower left quarter).
    EXPECT_GT(WaitForPicture(x, x.Width() * 3 / 4 - 100, x.Height() / 4 - 100, 200, 200).Colours(), 100);
    EXPECT_EQ(demo.Terminate(), 0);
}

namespace {

constexpr uint32_t kMagenta = 0xE010C0;

/// A copy of the program with its picture file beside it.
void AddGraphics(const tProgramFolder& folder)
{
    std::filesystem::copy_file(std::filesystem::path(FRACTAL_BINARY).parent_path() / "gfxdata.dat",
                               folder.Folder() + "/gfxdata.dat");
}

} // namespace

TEST(DesktopTransitions, TheDesktopRecedesWithTheBarAndLogoAndComesBackAtTheEnd)
{
    tOwnDisplay own;
    tX11Session& x = own.x;
    ASSERT_TRUE(x.Valid()) << "needs Xvfb";
    // A distinctive desktop: a magenta block in the middle of the screen.
    x.CreateColouredWindow(440, 312, 400, 400, kMagenta);
    tProgramFolder folder;
    AddGraphics(folder);
    // The slowest back ends and a high iteration limit keep the first
    // keyframes, and so the transition, busy for a while.
    WriteQuickSettings(folder, "fractalItterations=20000\n");
    tRunningProgram saver(folder, {"/s"}, own.Env({"FRACTAL_CPU=none"}));

    // The first picture once the saver covers the screen is the desktop.
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (!x.ScreenCovered() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(x.ScreenCovered());
    const tScreenShot start = x.Shot();
    EXPECT_GT(start.Count(kMagenta), 150000) << "the desktop, not black";

    // A few seconds into the fade-out the picture has receded; the progress
    // bar and the logo stand over the floor. Fog darkens the picture with
    // distance, so pixels of a magenta hue are counted.
    ASSERT_TRUE(WaitForText(folder.LogPath(), "Initilizing desktop fade out transition", 60s)) << folder.Log();
    const auto magentaHue = [](const tScreenShot& shot) {
        return static_cast<int>(std::count_if(shot.pixels.begin(), shot.pixels.end(), [](uint32_t c) {
            const uint32_t r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
            return r > 3 * g + 30 && b > 3 * g + 30;
        }));
    };
    tScreenShot receding = x.Shot();
    const auto recedeBy = std::chrono::steady_clock::now() + 30s;
    while (magentaHue(receding) >= start.Count(kMagenta) * 3 / 4 && std::chrono::steady_clock::now() < recedeBy) {
        std::this_thread::sleep_for(250ms);
        receding = x.Shot();
    }
    EXPECT_LT(magentaHue(receding), start.Count(kMagenta) * 3 / 4) << "the picture has receded";
    EXPECT_GT(magentaHue(receding), 2000);
    const int w = x.Width();
    const int h = x.Height();
    // The bar's background, 92 pixels left of the centre line and 74 above the bottom.
    const uint32_t bar = receding.At(w / 2 - 90, h - 74);
    EXPECT_GT(bar & 0xFF, 40u) << std::hex << bar;
    EXPECT_GT(receding.Part(w / 2 - 125, h - 136, 250, 55).Colours(), 20) << "the logo";
    EXPECT_FALSE(folder.Log().find("Could not load resource file") != std::string::npos);

    // Stopped by a key, the desktop comes back before the window goes.
    EXPECT_EQ(folder.Log().find("Fractal running..."), std::string::npos) << "the transition was still running";
    x.Tap("x");
    bool desktopShown = false;
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (saver.Running() && std::chrono::steady_clock::now() < end) {
        if (!x.ScreenCovered())
            break;
        const tScreenShot shot = x.Shot(540, 412, 200, 200);
        if (x.ScreenCovered() && shot.Count(kMagenta, 24) > 35000)
            desktopShown = true;
    }
    EXPECT_TRUE(desktopShown) << "the last frames show the desktop";
    EXPECT_EQ(saver.Wait(10s), 0);
    EXPECT_NE(folder.Log().find("Initilizing desktop fade in transition"), std::string::npos);
}

TEST(DesktopTransitions, WithoutThePictureFileTheSaverRunsWithoutTheLogo)
{
    tOwnDisplay own;
    ASSERT_TRUE(own.x.Valid()) << "needs Xvfb";
    tProgramFolder folder; // the program alone, no gfxdata.dat
    WriteQuickSettings(folder);
    tRunningProgram saver(folder, {"/s"}, own.Env());
    ASSERT_TRUE(WaitRunning(folder)) << folder.Log();
    EXPECT_NE(folder.Log().find("Could not load resource file " + folder.Folder() + "/gfxdata.dat"),
              std::string::npos)
        << folder.Log();
    EXPECT_NE(folder.Log().find("Initilizing desktop fade out transition"), std::string::npos);
    EXPECT_EQ(saver.Terminate(), 0);
}

TEST(Demo, DebugModeShowsTheDebugWindow)
{
    tOwnDisplay own;
    ASSERT_TRUE(own.x.Valid()) << "needs Xvfb";
    tProgramFolder folder;
    WriteQuickSettings(folder, "DebugMode=1\n");
    tRunningProgram demo(folder, {"/d"}, own.Env());
    ASSERT_TRUE(WaitRunning(folder)) << folder.Log();
    const auto titles = own.x.MappedWindowTitles();
    EXPECT_NE(std::find(titles.begin(), titles.end(), "Debuging"), titles.end());
    EXPECT_EQ(demo.Terminate(), 0);
}
