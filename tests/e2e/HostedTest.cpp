// Hosted runs and the options of one run, seen from outside: the window to
// draw in from the switches or the host's variable, several hosted savers at
// once, bad windows and bad values, settings that are not stored.
#include "ProgramRunner.h"

#include "HostWindow.h"
#include "X11Session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <thread>

namespace {
const std::string kHosted = " -Starting in \"Hosted\" mode";

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

bool WaitForCount(const tProgramFolder& folder, const std::string& text, int n)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Count(folder.Log(), text) >= n)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}
} // namespace

TEST(Hosted, TwoSaversAtOnceInWindowsGivenInHexAndDecimal)
{
    tHostWindow first, second;
    ASSERT_TRUE(first.Valid() && second.Valid()) << "needs a display";
    tProgramFolder folder;
    tRunningProgram a(folder, {"--window-id", first.HexId()});
    tRunningProgram b(folder, {"-window-id", second.Id()});
    ASSERT_TRUE(WaitForCount(folder, kHosted, 2)) << folder.Log() << folder.Output();
    EXPECT_TRUE(a.Running() && b.Running()) << "no one-instance rule for hosted savers";
    // A host that already lowered the priority (a suite run under nice) is
    // left as it set it; otherwise the hosted saver lowers itself to 10.
    errno = 0;
    const int inherited = ::getpriority(PRIO_PROCESS, 0);
    if (inherited > 0) {
        EXPECT_EQ(Count(folder.Log(), " -Priority kept at nice " + std::to_string(inherited) + " as the host set it"), 2);
        EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(a.Pid())), inherited);
    } else {
        EXPECT_EQ(Count(folder.Log(), " -Priority lowered to nice 10"), 2);
        EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(a.Pid())), 10);
    }
    EXPECT_EQ(a.Terminate(), 0);
    EXPECT_EQ(b.Terminate(), 0);
    EXPECT_EQ(folder.Log().find("previous instance detected"), std::string::npos);
}

TEST(Hosted, TwoSaversBothDraw)
{
    tHostWindow left(0, 0), right(400, 0);
    ASSERT_TRUE(left.Valid() && right.Valid()) << "needs a display";
    tProgramFolder folder;
    tRunningProgram a(folder, {"--window-id", left.HexId()});
    tRunningProgram b(folder, {"--window-id", right.Id()});
    const tX11Session x;
    for (const int left_edge : {0, 400}) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        tScreenShot shot;
        while (std::chrono::steady_clock::now() < deadline && shot.Colours() < 50) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            shot = x.Shot(left_edge, 0, tHostWindow::kWidth, tHostWindow::kHeight);
        }
        EXPECT_GE(shot.Colours(), 50) << "the window at " << left_edge << "\n" << folder.Log();
    }
    EXPECT_EQ(a.Terminate(), 0);
    EXPECT_EQ(b.Terminate(), 0);
}

TEST(Hosted, TheHostsVariableNamesTheWindow)
{
    tHostWindow host;
    ASSERT_TRUE(host.Valid()) << "needs a display";
    // As xscreensaver starts its hacks, as desktop savers do, and by hand.
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> runs = {
        {{"--root"}, {"XSCREENSAVER_WINDOW=" + host.HexId()}},
        {{}, {"XSCREENSAVER_WINDOW=" + host.Id()}},
        {{"-root"}, {}},
    };
    for (const auto& [args, env] : runs) {
        tProgramFolder folder;
        tRunningProgram p(folder, args, env);
        ASSERT_TRUE(WaitForCount(folder, kHosted, 1)) << folder.Log() << folder.Output();
        EXPECT_EQ(p.Terminate(), 0);
    }
}

TEST(Hosted, BadWindowsEndWithAClearMessage)
{
    tHostWindow host;
    ASSERT_TRUE(host.Valid()) << "needs a display";
    const std::vector<std::tuple<std::vector<std::string>, std::vector<std::string>, std::string>> cases = {
        {{"--window-id", "junk"}, {}, "--window-id: \"junk\" is not a window id"},
        {{"-window-id", "0"}, {}, "--window-id: \"0\" is not a window id"},
        {{"--window-id", "0x7ffffff0"}, {}, "there is no window 0x7ffffff0 to draw in (from --window-id)"},
        {{"--root"}, {"XSCREENSAVER_WINDOW=nonsense"}, "XSCREENSAVER_WINDOW: \"nonsense\" is not a window id"},
        {{}, {"XSCREENSAVER_WINDOW=0x7ffffff0"}, "there is no window 0x7ffffff0 to draw in (from XSCREENSAVER_WINDOW)"},
    };
    for (const auto& [args, env, message] : cases) {
        tProgramFolder folder;
        tRunningProgram p(folder, args, env);
        EXPECT_EQ(p.Wait(std::chrono::seconds(30)), 42) << message;
        EXPECT_NE(folder.Output().find("quorex: " + message), std::string::npos) << folder.Output();
        EXPECT_NE(folder.Log().find(message), std::string::npos) << folder.Log();
        EXPECT_EQ(folder.Log().find(kHosted), std::string::npos);
    }
}

TEST(Hosted, AWindowThatTakesInputOnlyIsRefused)
{
    tPrivateDisplay server("-screen 0 640x480x24");
    tX11Session x(server.Name());
    ASSERT_TRUE(x.Valid()) << "needs Xvfb";
    const std::string id = std::to_string(x.CreateInputOnlyWindow(0, 0, 200, 100));
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%llx", std::stoull(id));
    const std::string message = std::string("the window ") + hex + " takes input only and cannot be drawn in";
    for (const auto& args : std::vector<std::vector<std::string>>{{"--window-id", id}, {"/p", id}}) {
        tProgramFolder folder;
        tRunningProgram p(folder, args, {"DISPLAY=" + server.Name()});
        EXPECT_EQ(p.Wait(), 42) << args[0];
        if (args[0] == "/p") {
            EXPECT_NE(folder.Log().find("Invalid Preivew Handle \"" + id + "\""), std::string::npos) << folder.Log();
        } else {
            EXPECT_NE(folder.Output().find("quorex: " + message + " (from --window-id)"), std::string::npos)
                << folder.Output();
        }
        EXPECT_TRUE(x.MappedWindows().size() == 1) << "no window of the saver's own";
    }
}

TEST(Hosted, EveryConnectionIsToTheDisplayTheToolkitUses)
{
    // The host's window exists only on the display -display names; the one
    // DISPLAY names, if any, holds a window of the same id (the first window
    // of the first client of a fresh server).
    tPrivateDisplay named("-screen 0 640x480x24"), other("-screen 0 640x480x24");
    tX11Session x(named.Name()), elsewhere(other.Name());
    ASSERT_TRUE(x.Valid() && elsewhere.Valid()) << "needs Xvfb";
    const uint64_t host = x.CreateWindow(0, 0, 320, 240);
    elsewhere.CreateWindow(0, 0, 320, 240);
    const std::string id = std::to_string(host);
    const struct {
        std::vector<std::string> args;
        std::string display;
        std::string mode;
    } cases[] = {
        {{"-display", named.Name(), "--window-id", id}, "", "Hosted"},
        {{"-display", named.Name(), "/p", id}, "", "Preview"},
        {{"-display", named.Name(), "--root"}, "", "Hosted"},
        {{"-display", named.Name(), "--window-id", id}, other.Name(), "Hosted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[2] + " with DISPLAY " + (c.display.empty() ? "unset" : c.display));
        tProgramFolder folder;
        tRunningProgram p(folder, c.args, {c.display.empty() ? "DISPLAY" : "DISPLAY=" + c.display});
        ASSERT_TRUE(WaitForText(folder.LogPath(), "Fractal running...", std::chrono::seconds(90)))
            << folder.Log() << folder.Output();
        EXPECT_NE(folder.Log().find(" -Starting in \"" + c.mode + "\" mode"), std::string::npos);
        EXPECT_EQ(elsewhere.MappedWindows().size(), 1u) << "nothing appears on the other display";
        if (c.args[2] == "--root") {
            EXPECT_EQ(p.Terminate(), 0);
            continue;
        }
        // Drawn inside the host's window: no window of its own beside it.
        EXPECT_EQ(x.MappedWindows().size(), 1u) << "a stray window appeared";
        if (c.display.empty()) {
            EXPECT_EQ(p.Terminate(), 0);
            continue;
        }
        // The watcher watches the window on the toolkit's display: its end
        // ends the run, though a window of that id lives on elsewhere.
        x.DestroyWindow(host);
        EXPECT_EQ(p.Wait(ResponseLimit(std::chrono::seconds(10))), 0) << folder.Log();
    }
}

TEST(Options, BadValuesEndWith2AndStoreNothing)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--detail", "9"}, {"/s", "--detail", "high"}, {"--seed", "x"}, {"--seed"}, {"--fps=2"}}) {
        tProgramFolder folder;
        EXPECT_EQ(RunProgram(folder, args), 2) << args[0];
        EXPECT_NE(folder.Output().find("quorex: --"), std::string::npos) << folder.Output();
        EXPECT_FALSE(std::filesystem::exists(folder.Folder() + "/config/quorex/settings")) << "nothing stored";
    }
    tProgramFolder folder;
    EXPECT_EQ(RunProgram(folder, {"--detial", "3"}), 24);
    EXPECT_NE(folder.Output().find("unknown option --detial"), std::string::npos) << folder.Output();
}

TEST(Options, HelpAndVersionPrintAndEnd)
{
    tProgramFolder folder;
    EXPECT_EQ(RunProgram(folder, {"--help"}), 0);
    EXPECT_NE(folder.Output().find("GL: quorex --root"), std::string::npos) << folder.Output();
    EXPECT_EQ(RunProgram(folder, {"--version"}), 0);
    EXPECT_NE(folder.Output().find("Quorex V1.4.0 (24/10/2007)\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder.LogPath())) << "nothing to log";
}

TEST(Options, SettingsOverrideTheStoreForOneRun)
{
    tProgramFolder folder;
    std::filesystem::create_directories(folder.Folder() + "/config/quorex");
    const std::string store = folder.Folder() + "/config/quorex/settings";
    WriteTextFile(store, "DetailLevel=dword:2\nZoomDeep=dword:0\n");
    {
        tRunningProgram demo(folder, {"/d", "--detail", "4", "--seed", "5"});
        ASSERT_TRUE(WaitForCount(folder, "Applying detail level: 4", 1)) << folder.Log();
        EXPECT_EQ(demo.Terminate(), 0);
    }
    const std::string log = folder.Log();
    EXPECT_NE(log.find("Settings from the command line: --detail 4 --seed 5"), std::string::npos) << log;
    EXPECT_LT(log.find("Applying detail level: 2"), log.find("Applying detail level: 4")) << "after the load";
    EXPECT_EQ(ReadTextFile(store), "DetailLevel=dword:2\nZoomDeep=dword:0\n");

    tRunningProgram options(folder, {"/c", "--detail", "5"});
    ASSERT_TRUE(WaitForCount(folder, "not used in Configure mode", 1)) << folder.Log();
    EXPECT_EQ(options.Terminate(), 0);
    EXPECT_EQ(Count(folder.Log(), "Applying detail level: 5"), 0);
}
