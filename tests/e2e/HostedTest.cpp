// Hosted runs and the options of one run, seen from outside: the window to
// draw in from the switches or the host's variable, several hosted savers at
// once, bad windows and bad values, settings that are not stored.
#include "ProgramRunner.h"

#include "HostWindow.h"
#include "X11Session.h"

#include <gtest/gtest.h>

#include <filesystem>
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
    EXPECT_EQ(Count(folder.Log(), " -Priority lowered to nice 10"), 2);
    errno = 0;
    EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(a.Pid())), 10);
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
