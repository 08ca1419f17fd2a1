// The program's two stored choices and their fallbacks.
#include "uAppRegistry.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    EXPECT_EQ(ReadTextFile(dir.File("Halvornet/Fractal/registry")),
              "# Quorex settings store: one value per line, name=type:data\nDetailLevel=dword:3\nZoomDeep=dword:0\n");

    reg.WriteDetailLevel(255);
    EXPECT_EQ(reg.ReadDetailLevel(), 255) << "the byte is zero-extended";
}

TEST(AppRegistry, StoredValuesOfOddFormsReadAsSpecified)
{
    tTempDir dir;
    tScopedEnv over("FRACTAL_REGISTRY", dir.File("registry").c_str());
    WriteTextFile(dir.File("registry"), "ZoomDeep=dword:5\nDetailLevel=string:3\n");
    tAppRegistry reg;
    EXPECT_TRUE(reg.ReadZoomDeep()) << "any non-zero value is true";
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
