// A stop asked for while the program does something slow or waits for
// someone: settings at the top of their ranges, an open message box, the
// desktop transition. Each run ends promptly and cleanly.
#include "ProgramRunner.h"
#include "X11Session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

using namespace std::chrono_literals;

/// Waits for the exit; -1 when the program still runs after the limit.
int ExitWithin(tRunningProgram& program, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (program.Running() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(10ms);
    return program.Running() ? -1 : program.Wait(1s);
}

} // namespace

TEST(Stop, ASignalEndsTheRunWhateverItIsDoing)
{
    // A 16-bit display makes Screen Saver mode stop at its start with a
    // message box, which waits for a user.
    tPrivateDisplay deep("-screen 0 800x600x24"), shallow("-screen 0 800x600x16");
    ASSERT_TRUE(deep.Valid() && shallow.Valid()) << "needs Xvfb";
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::string ini;
        bool shallowDisplay;
        bool dialogs;
        bool storeUnwritable;
        std::string waitFor; // the log line after which the signal comes
        int code;
        std::chrono::milliseconds limit; // from the signal to the end
    } table[] = {
        {"the throttle at its top", {"/d"}, "cpuThrottle=1000\n", false, false, false, "Fractal running...", 0, 2s},
        {"a throttle past its top", {"/d"}, "cpuThrottle=30000\n", false, false, false, "Fractal running...", 0, 2s},
        {"the iterations at their top",
         {"/d"},
         "fractalItterations=100000\naaSamples=9\naaThreshold=0\n",
         false,
         false,
         false,
         "Fractal running...",
         0,
         2s},
        {"the desktop receding", {"/s"}, "fractalItterations=100000\n", false, false, false,
         "Initilizing desktop fade out transition", 0, 3s},
        {"iterations past their top", {"/s"}, "fractalItterations=2147483647\n", false, false, false,
         "Initilizing desktop fade out transition", 0, 3s},
        {"the benchmark", {"/b"}, "fractalItterations=100000\n", false, false, false, "Initilation sucessful", 0, 2s},
        {"a box at the start", {"/s"}, "", true, true, false, "INIT-FAIL", 105, 2s},
        {"the settings that cannot be saved", {"/c"}, "", false, true, true, "Loading setings...", 0, 2s},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        tProgramFolder folder;
        WriteTextFile(folder.Folder() + "/fractal.ini", "[ADVANCED]\nforceDetailLevel=1\n" + row.ini);
        if (row.storeUnwritable)
            std::filesystem::create_directories(folder.StorePath()); // a folder where the file should be
        std::vector<std::string> env = {"DISPLAY=" + (row.shallowDisplay ? shallow : deep).Name()};
        if (row.dialogs)
            env.push_back("FRACTAL_NO_DIALOGS=0");
        tRunningProgram p(folder, row.args, env);
        ASSERT_TRUE(WaitForText(folder.LogPath(), row.waitFor, 90s)) << folder.Log() << folder.Output();
        // Whatever comes on screen meanwhile (a box) is up before the signal.
        std::this_thread::sleep_for(300ms);
        ::kill(p.Pid(), SIGTERM);
        // A second request while the first is handled changes nothing.
        std::this_thread::sleep_for(100ms);
        ::kill(p.Pid(), SIGTERM);
        EXPECT_EQ(ExitWithin(p, ResponseLimit(row.limit)), row.code) << folder.Log();
    }
}

TEST(Stop, AMessageBoxOverTheFullScreenSaverTakesTheKeys)
{
    tPrivateDisplay shallow("-screen 0 800x600x16");
    tX11Session x(shallow.Name());
    ASSERT_TRUE(x.Valid()) << "needs Xvfb";
    tProgramFolder folder;
    tRunningProgram p(folder, {"/s"}, {"DISPLAY=" + shallow.Name(), "FRACTAL_NO_DIALOGS=0"});
    ASSERT_TRUE(WaitForText(folder.LogPath(), "INIT-FAIL", 90s)) << folder.Log();
    // Return dismisses the box once it has the keyboard; the program then
    // ends with the failure's code.
    const auto end = std::chrono::steady_clock::now() + ResponseLimit(10s);
    while (p.Running() && std::chrono::steady_clock::now() < end) {
        x.Tap("Return");
        std::this_thread::sleep_for(200ms);
    }
    EXPECT_EQ(ExitWithin(p, 1s), 105) << folder.Log();
}
