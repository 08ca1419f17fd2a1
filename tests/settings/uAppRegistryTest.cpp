// The program's stored choices and their fallbacks.
#include "uAppRegistry.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {
int CountLines(const std::vector<std::string>& lines, const std::string& text)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}
} // namespace

TEST(AppRegistry, AFreshStoreGivesAutoDetectAndDeepZoom)
{
    tTempDir dir;
    tScopedEnv over("FRACTAL_REGISTRY", nullptr);
    tScopedEnv xdg("XDG_CONFIG_HOME", dir.Path().c_str());
    tCapturedLog log;
    tAppRegistry reg;
    EXPECT_EQ(reg.ReadDetailLevel(), 6);
    EXPECT_TRUE(reg.ReadZoomDeep());
    EXPECT_TRUE(log.lines.empty());

    reg.WriteDetailLevel(3);
    EXPECT_EQ(reg.ReadDetailLevel(), 3);
    EXPECT_TRUE(reg.ReadZoomDeep()) << "writing one value leaves the other absent, not false";
    reg.WriteZoomDeep(false);
    EXPECT_FALSE(reg.ReadZoomDeep());
    EXPECT_EQ(reg.ReadDetailLevel(), 3);
    EXPECT_EQ(ReadTextFile(dir.File("quorex/settings")),
              "# Quorex settings store: one value per line, name=type:data\nDetailLevel=dword:3\nZoomDeep=dword:0\n");

    reg.WriteDetailLevel(255);
    EXPECT_EQ(reg.ReadDetailLevel(), 255) << "the byte is zero-extended";

    // Deep dives: off until chosen, then what was stored.
    EXPECT_FALSE(reg.ReadDeepDive());
    reg.WriteDeepDive(true);
    EXPECT_TRUE(reg.ReadDeepDive());
    EXPECT_FALSE(reg.ReadZoomDeep()) << "a value of its own";
    EXPECT_NE(ReadTextFile(dir.File("quorex/settings")).find("DeepDive=dword:1\n"), std::string::npos);
    reg.WriteDeepDive(false);
    EXPECT_FALSE(reg.ReadDeepDive());
}

TEST(AppRegistry, StoredValuesOfOddFormsReadAsSpecified)
{
    tTempDir dir;
    tScopedEnv over("FRACTAL_REGISTRY", dir.File("registry").c_str());
    WriteTextFile(dir.File("registry"), "ZoomDeep=dword:5\nDetailLevel=string:3\nDeepDive=dword:9\n");
    tAppRegistry reg;
    EXPECT_TRUE(reg.ReadZoomDeep()) << "any non-zero value is true";
    EXPECT_TRUE(reg.ReadDeepDive()) << "any non-zero value is true";
    EXPECT_EQ(reg.ReadDetailLevel(), 6) << "a string is not a DWORD";
    reg.WriteDetailLevel(2);
    EXPECT_EQ(reg.ReadDetailLevel(), 2);
    EXPECT_TRUE(reg.ReadZoomDeep());
    EXPECT_NE(ReadTextFile(dir.File("registry")).find("ZoomDeep=dword:5"), std::string::npos);
}

TEST(AppRegistry, AnUncreatableKeyWarnsOnceFallsBackAndRefusesWrites)
{
    tTempDir dir;
    WriteTextFile(dir.File("file"), "x");
    tScopedEnv over("FRACTAL_REGISTRY", nullptr);
    tScopedEnv xdg("XDG_CONFIG_HOME", dir.File("file").c_str());
    tCapturedLog log;
    tAppRegistry reg;
    EXPECT_TRUE(log.lines.empty()) << "the log may have no file yet when the store is made";
    EXPECT_EQ(reg.ReadDetailLevel(), 6);
    EXPECT_TRUE(reg.ReadZoomDeep());
    EXPECT_THROW(reg.WriteDetailLevel(3), ERegistryException);
    EXPECT_THROW(reg.WriteZoomDeep(true), ERegistryException);
    EXPECT_EQ(reg.ReadDetailLevel(), 6);
    EXPECT_EQ(CountLines(log.lines, "[2] Could not create registry key"), 1);
    EXPECT_EQ(log.FileCount("Could not create registry key"), 1);
}

TEST(AppRegistry, OneProcessWideInstance)
{
    tTempDir dir;
    tScopedEnv over("FRACTAL_REGISTRY", dir.File("registry").c_str());
    CreateAppRegistry();
    tAppRegistry* first = &AppRegistry();
    AppRegistry().WriteDetailLevel(4);
    EXPECT_EQ(&AppRegistry(), first);
    FreeAppRegistry();
    EXPECT_EQ(AppRegistry().ReadDetailLevel(), 4) << "made again on first use";
    FreeAppRegistry();
}

TEST(AppRegistry, AStoreAtTheOldPlaceMovesOnceAndKeepsEveryValue)
{
    constexpr char kHeader[] = "# Quorex settings store: one value per line, name=type:data\n";
    struct tCase {
        const char* name;
        const char* oldStore;  // null: none; "/": a folder in its place, which cannot be read
        const char* newStore;  // null: none
        int32_t level;
        bool deep;
        bool oldStays;
        const char* logged;
    };
    const tCase cases[] = {
        {"moved whole", "# hand-written\nDetailLevel=dword:4\nZoomDeep=dword:0\n", nullptr, 4, false, false,
         "Moved the settings store"},
        {"merged: the new store wins", "DetailLevel=dword:2\nZoomDeep=dword:0\n", "DetailLevel=dword:5\n", 5, false,
         false, "Added the settings"},
        {"unreadable: left in place", "/", nullptr, 6, true, true, "Could not move the settings store"},
        {"nothing to move", nullptr, "DetailLevel=dword:3\n", 3, true, false, nullptr},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.name);
        tTempDir dir;
        tScopedEnv over("FRACTAL_REGISTRY", nullptr);
        tScopedEnv xdg("XDG_CONFIG_HOME", dir.Path().c_str());
        const std::string old = dir.File("Halvornet/Fractal/registry");
        const std::string now = dir.File("quorex/settings");
        if (c.oldStore) {
            std::filesystem::create_directories(dir.File("Halvornet/Fractal"));
            if (std::string(c.oldStore) == "/")
                std::filesystem::create_directory(old);
            else
                WriteTextFile(old, c.oldStore);
        }
        if (c.newStore) {
            std::filesystem::create_directories(dir.File("quorex"));
            WriteTextFile(now, std::string(kHeader) + c.newStore);
        }
        tCapturedLog log;
        {
            tAppRegistry reg;
            EXPECT_EQ(reg.StorePath(), now);
            EXPECT_TRUE(log.lines.empty()) << "reported at the first use, when the log has its file";
            EXPECT_EQ(reg.ReadDetailLevel(), c.level);
            EXPECT_EQ(reg.ReadZoomDeep(), c.deep);
        }
        EXPECT_EQ(std::filesystem::exists(old), c.oldStays);
        EXPECT_EQ(std::filesystem::exists(dir.File("Halvornet")), c.oldStays) << "emptied folders go";
        if (c.logged)
            EXPECT_EQ(log.FileCount(c.logged), 1);
        else
            EXPECT_TRUE(log.FileLines().empty());
        // Made again, the store finds nothing more to move.
        tAppRegistry again;
        EXPECT_EQ(again.ReadDetailLevel(), c.level);
        if (c.logged) {
            EXPECT_EQ(log.FileCount(c.logged), c.oldStays ? 2 : 1);
        }
    }
    // The old store's own lines come along unchanged, comments included.
    tTempDir dir;
    tScopedEnv over("FRACTAL_REGISTRY", nullptr);
    tScopedEnv xdg("XDG_CONFIG_HOME", dir.Path().c_str());
    std::filesystem::create_directories(dir.File("Halvornet/Fractal"));
    WriteTextFile(dir.File("Halvornet/Fractal/registry"), "# mine\nDetailLevel=dword:1\nOther=string:kept\n");
    tAppRegistry reg;
    EXPECT_EQ(ReadTextFile(dir.File("quorex/settings")), "# mine\nDetailLevel=dword:1\nOther=string:kept\n");
}
