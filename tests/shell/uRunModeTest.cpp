#include "uRunMode.h"

#include <gtest/gtest.h>

TEST(RunMode, SecondCharacterOfTheFirstArgumentSelects)
{
    EXPECT_EQ(RunModeFromArguments({}), rmScreenSaver);
    for (const char* s : {"/s", "/S", "-s", "qs", "/s:1234", "xSaver"})
        EXPECT_EQ(RunModeFromArguments({s}), rmScreenSaver) << s;
    EXPECT_EQ(RunModeFromArguments({"/d"}), rmDemo);
    EXPECT_EQ(RunModeFromArguments({"/c:4711"}), rmConfigure);
    EXPECT_EQ(RunModeFromArguments({"/b"}), rmBenchmark);
    EXPECT_EQ(RunModeFromArguments({"/p", "42"}), rmPreview);
    for (const char* s : {"/x", "/a", "s", "", "/"})
        EXPECT_EQ(RunModeFromArguments({s}), 0) << '"' << s << '"';
}

TEST(RunMode, NamesAndMutexFamilies)
{
    EXPECT_EQ(RunModeName(rmDemo), "Demo");
    EXPECT_EQ(RunModeName(rmScreenSaver), "Screen Saver");
    EXPECT_EQ(RunModeName(rmFreeZoom), "Free Zoom");
    EXPECT_EQ(RunModeName(rmPreview), "Preview");
    EXPECT_EQ(RunModeName(rmHosted), "Hosted");
    EXPECT_EQ(RunModeName(8), "");
    EXPECT_EQ(RunModeName(0), "");
    EXPECT_EQ(RunModeMutexName(rmDemo), "FractalRUN");
    EXPECT_EQ(RunModeMutexName(rmBenchmark), "FractalRUN");
    EXPECT_EQ(RunModeMutexName(rmScreenSaver), "FractalRUN");
    EXPECT_EQ(RunModeMutexName(rmConfigure), "FractalCONF");
    EXPECT_EQ(RunModeMutexName(rmPreview), "FractalPREV");
    EXPECT_EQ(RunModeMutexName(rmFreeZoom), "");
    EXPECT_EQ(RunModeMutexName(rmHosted), "") << "one hosted saver per monitor";
}

TEST(RunMode, WindowIdsInHexAndDecimal)
{
    EXPECT_EQ(WindowIdFromText("0x400008"), 0x400008u);
    EXPECT_EQ(WindowIdFromText("0X1aB"), 0x1abu);
    EXPECT_EQ(WindowIdFromText("4194312"), 4194312u);
    EXPECT_EQ(WindowIdFromText("0xFFFFFFFF"), 0xFFFFFFFFu);
    for (const char* bad : {"", "0", "0x0", "0x", "-5", "+5", "12abc", " 12", "0x1G", "4294967296", "0x100000000",
                            "99999999999999999999999"})
        EXPECT_EQ(WindowIdFromText(bad), 0u) << '"' << bad << '"';
}

TEST(RunMode, WindowHandlesFromTheCommandLine)
{
    EXPECT_EQ(ConfigureHandleFromArgument("/c:4711"), 4711u);
    EXPECT_EQ(ConfigureHandleFromArgument("/c"), 0u);
    EXPECT_EQ(ConfigureHandleFromArgument("/c:abc"), 0u);
    EXPECT_EQ(ConfigureHandleFromArgument("/c:-5"), 0u);
    EXPECT_EQ(ConfigureHandleFromArgument("/c:" + std::string(120, '1')), 0u); // 99 digits overflow
    EXPECT_EQ(ConfigureHandleFromArgument("/c:0x6003de"), 0x6003deu) << "hex, as xwininfo prints ids";
    EXPECT_EQ(PreviewHandleFromArgument("0x4003DE"), 0x4003deu);
    EXPECT_EQ(PreviewHandleFromArgument("123"), 123u);
    EXPECT_EQ(PreviewHandleFromArgument("0"), 0u);
    EXPECT_EQ(PreviewHandleFromArgument(""), 0u);
    EXPECT_EQ(PreviewHandleFromArgument("abc"), 0u);
    EXPECT_EQ(JoinArguments({"/p", "12"}), "/p 12 ");
    EXPECT_EQ(JoinArguments({}), "");
}
