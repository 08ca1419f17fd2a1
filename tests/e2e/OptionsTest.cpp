// The settings dialog seen from outside: its window, choosing a level with
// the keyboard, closing it every way a user can, and a host window it
// follows (the "/c:ID" switch).
#include "ProgramRunner.h"

#include "X11Client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace {
const std::string kTitle = "Quorex Screen Saver Options";
const std::string kLoaded = "Applying detail level: ";

// A store the program finds through XDG_CONFIG_HOME, with the given level.
void SeedStore(const tProgramFolder& folder, int level, bool withZoomDeep = true)
{
    std::filesystem::create_directories(std::filesystem::path(folder.StorePath()).parent_path());
    WriteTextFile(folder.StorePath(),
                  "DetailLevel=dword:" + std::to_string(level) + "\n" + (withZoomDeep ? "ZoomDeep=dword:0\n" : ""));
}
} // namespace

TEST(Options, ChoosingLowAndPressingOKStoresLevel1ForTheNextRun)
{
    tX11Client x;
    ASSERT_TRUE(x.Valid()) << "needs a display";
    tProgramFolder folder;
    SeedStore(folder, 4);
    {
        tRunningProgram options(folder, {"/c"});
        const auto dialog = x.FindWindow(options.Pid(), kTitle, std::chrono::seconds(30));
        ASSERT_TRUE(dialog) << folder.Log();
        ASSERT_TRUE(x.WaitForFocus(*dialog, std::chrono::seconds(30)));
        // The selected level has the focus; Up moves to the level above it
        // and stops at "Low"; Return presses the default button, "OK".
        for (int i = 0; i < 5; ++i)
            x.SendKey(*dialog, "Up");
        x.SendKey(*dialog, "Return");
        EXPECT_EQ(options.Wait(std::chrono::seconds(10)), 0);
    }
    EXPECT_NE(ReadTextFile(folder.StorePath()).find("DetailLevel=dword:1\n"), std::string::npos)
        << ReadTextFile(folder.StorePath());

    tRunningProgram demo(folder, {"/d"});
    ASSERT_TRUE(WaitForText(folder.LogPath(), " -Starting in \"Demo\" mode"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string demoLog;
    while (demoLog.find(kLoaded) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const std::string log = folder.Log();
        demoLog = log.substr(log.find(" -Starting in \"Demo\" mode"));
    }
    EXPECT_NE(demoLog.find(kLoaded + "1\n"), std::string::npos) << demoLog;
    EXPECT_EQ(demo.Terminate(), 0);
}

TEST(Options, EveryWayOfClosingEndsTheProgramAndSaves)
{
    tX11Client x;
    ASSERT_TRUE(x.Valid()) << "needs a display";
    // The store holds no deep-zooming choice; the dialog shows one (on, as
    // the processor can), and only saving writes it.
    for (const std::string how : {"close box", "Escape", "SIGTERM"}) {
        tProgramFolder folder;
        SeedStore(folder, 2, false);
        tRunningProgram options(folder, {"/c"});
        const auto dialog = x.FindWindow(options.Pid(), kTitle, std::chrono::seconds(30));
        ASSERT_TRUE(dialog) << how;
        int code = -1;
        if (how == "close box") {
            x.SendCloseRequest(*dialog);
            code = options.Wait(std::chrono::seconds(10));
        } else if (how == "Escape") {
            x.SendKey(*dialog, "Escape");
            code = options.Wait(std::chrono::seconds(10));
        } else {
            code = options.Terminate(std::chrono::seconds(10));
        }
        EXPECT_EQ(code, 0) << how;
        EXPECT_NE(ReadTextFile(folder.StorePath()).find("ZoomDeep=dword:1\n"), std::string::npos) << how;
        EXPECT_NE(ReadTextFile(folder.StorePath()).find("DetailLevel=dword:2\n"), std::string::npos) << how;
    }
}

TEST(Options, AForcedLevelIsShownButNeverSaved)
{
    tX11Client x;
    ASSERT_TRUE(x.Valid()) << "needs a display";
    // A valid level forced by fractal.ini, and an invalid one.
    for (const int forced : {3, 9}) {
        tProgramFolder folder;
        SeedStore(folder, 2);
        WriteTextFile(folder.Folder() + "/fractal.ini", "[ADVANCED]\nforceDetailLevel=" + std::to_string(forced) + "\n");
        tRunningProgram options(folder, {"/c"});
        ASSERT_TRUE(x.FindWindow(options.Pid(), kTitle, std::chrono::seconds(30)));
        EXPECT_EQ(options.Terminate(), 0);
        EXPECT_EQ(folder.Log().find("Invalid detail level.") != std::string::npos, forced == 9);
        EXPECT_NE(ReadTextFile(folder.StorePath()).find("DetailLevel=dword:2\n"), std::string::npos) << forced;
    }
}

TEST(Options, AHostWindowIsFollowedAndItsEndClosesTheDialog)
{
    tX11Client x;
    ASSERT_TRUE(x.Valid()) << "needs a display";
    tProgramFolder folder;
    SeedStore(folder, 2, false);
    // The switch names a window inside the host, as a control panel's does.
    const uint64_t host = x.CreateWindow(0, 300, 200, 400, 300);
    const uint64_t inner = x.CreateWindow(host, 10, 10, 40, 20);
    tRunningProgram options(folder, {"/c:" + std::to_string(inner)});
    const auto dialog = x.FindWindow(options.Pid(), kTitle, std::chrono::seconds(30));
    ASSERT_TRUE(dialog) << folder.Log();
    EXPECT_EQ(x.TransientFor(*dialog), host);
    EXPECT_TRUE(x.HasState(*dialog, "_NET_WM_STATE_MODAL")) << "stands in for disabling the host";
    const auto at = x.Position(*dialog);
    ASSERT_TRUE(at);
    EXPECT_EQ(*at, std::make_pair(310, 210));

    x.DestroyWindow(host);
    const auto gone = std::chrono::steady_clock::now();
    while (x.IsMapped(*dialog) && std::chrono::steady_clock::now() - gone < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto took = std::chrono::steady_clock::now() - gone;
    EXPECT_LT(took, std::chrono::milliseconds(500));
    EXPECT_EQ(options.Wait(std::chrono::seconds(10)), 0);
    EXPECT_NE(ReadTextFile(folder.StorePath()).find("ZoomDeep=dword:1\n"), std::string::npos) << "saved";
}
