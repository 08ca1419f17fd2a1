// The settings load seen from outside: the system details, the first start
// that measures the machine and stores the level, the starts after it, the
// ini file beside the program, and a store that cannot be written.
#include "ProgramRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sys/stat.h>
#include <thread>

namespace {
const std::string kApplying = "Applying detail level: ";

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Polls the log until the text occurs at least n times.
bool WaitForCount(const tProgramFolder& folder, const std::string& text, int n,
                  std::chrono::milliseconds timeout = std::chrono::seconds(60))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Count(folder.Log(), text) >= n)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string StoreOf(const tProgramFolder& folder)
{
    return ReadTextFile(folder.Folder() + "/config/quorex/settings");
}
} // namespace

TEST(Settings, TheFirstStartMeasuresTheMachineAndTheNextOnesDoNot)
{
    tProgramFolder folder;
    {
        tRunningProgram options(folder, {"/c"});
        ASSERT_TRUE(WaitForCount(folder, kApplying, 1)) << folder.Log();
        EXPECT_EQ(options.Terminate(), 0);
    }
    const std::string first = folder.Log();
    for (const char* line : {"SYSTEM DETAILS:", "CPU: ", "MEMORY: ", "PLATFORM: Linux V", "Loading setings...",
                             "Auto detecting settings...", " -CPU score = ", " -Total RAM = ", "Auto detection complete"})
        EXPECT_NE(first.find(line), std::string::npos) << line << "\n" << first;
    EXPECT_LT(first.find("PLATFORM: "), first.find("Loading setings...")) << "details come first";

    std::smatch level;
    const std::string store = StoreOf(folder);
    ASSERT_TRUE(std::regex_search(store, level, std::regex("DetailLevel=dword:([1-5])\n"))) << store;
    EXPECT_NE(store.find("ZoomDeep=dword:0\n"), std::string::npos) << store;
    EXPECT_NE(first.find(kApplying + level[1].str()), std::string::npos);

    {
        // Each run applies the level when it loads and again when the dialog closes.
        tRunningProgram again(folder, {"/c"});
        ASSERT_TRUE(WaitForCount(folder, kApplying, 3)) << folder.Log();
        EXPECT_EQ(again.Terminate(), 0);
    }
    const std::string both = folder.Log();
    EXPECT_EQ(Count(both, "Auto detecting settings..."), 1) << both;
    EXPECT_EQ(Count(both, kApplying + level[1].str()), 4);
    EXPECT_EQ(Count(both, "Loading setings..."), 2);
}

TEST(Settings, TheIniFileBesideTheProgramForcesALevel)
{
    tProgramFolder folder;
    WriteTextFile(folder.Folder() + "/fractal.ini", "[advanced]\nforceDetailLevel = 2\n");
    tRunningProgram options(folder, {"/c"});
    ASSERT_TRUE(WaitForCount(folder, kApplying, 1)) << folder.Log();
    EXPECT_FALSE(std::filesystem::exists(folder.Folder() + "/config/quorex/settings"))
        << "nothing to store while loading";
    EXPECT_EQ(options.Terminate(), 0);
    EXPECT_NE(folder.Log().find(kApplying + "2"), std::string::npos);
    EXPECT_EQ(folder.Log().find("Auto detecting settings..."), std::string::npos);
    // Closing saves what the user chose: deep zooming, not the forced level.
    EXPECT_EQ(StoreOf(folder).find("DetailLevel="), std::string::npos) << StoreOf(folder);
    EXPECT_NE(StoreOf(folder).find("ZoomDeep=dword:"), std::string::npos) << StoreOf(folder);
}

TEST(Settings, AStoreThatCannotBeWrittenIsAWarningAndTheRunGoesOn)
{
    // A folder, a FIFO and a folder that is a file where the store should be.
    for (const std::string kind : {"folder", "fifo", "blocked"}) {
        tProgramFolder folder;
        std::string store = folder.Folder() + "/store";
        if (kind == "folder") {
            std::filesystem::create_directory(store);
        } else if (kind == "fifo") {
            ASSERT_EQ(::mkfifo(store.c_str(), 0600), 0);
        } else {
            WriteTextFile(store, "not a folder");
            store += "/registry";
        }
        tRunningProgram saver(folder, {"/s"}, {"FRACTAL_REGISTRY=" + store});
        ASSERT_TRUE(WaitForText(folder.LogPath(), kApplying)) << kind << "\n" << folder.Log();
        EXPECT_TRUE(saver.Running()) << kind << "\n" << folder.Log();
        EXPECT_EQ(saver.Terminate(), 0) << kind;
        const std::string log = folder.Log();
        EXPECT_NE(log.find("Auto detection complete"), std::string::npos) << log;
        EXPECT_NE(log.find("Could not save the settings to \"" + store + "\""), std::string::npos) << log;
        EXPECT_EQ(log.find(" - error loading settings"), std::string::npos) << log;
    }
}
