#include "uCommandLine.h"

#include "uGlobalSettings.h"
#include "uRunMode.h"

#include <gtest/gtest.h>

namespace {
tCommandLine Parse(const std::vector<std::string>& args, const char* env = nullptr)
{
    return ParseCommandLine(args, env);
}
} // namespace

TEST(CommandLine, TheHostWindowComesFromTheSwitchThenTheEnvironmentThenTheRoot)
{
    // -window-id wins over everything.
    auto line = Parse({"-root", "-window-id", "0x10"}, "0x20");
    EXPECT_EQ(line.hostSource, tHostSource::WindowIdSwitch);
    EXPECT_EQ(line.hostWindow, 0x10u);
    line = Parse({"--window-id=17"});
    EXPECT_EQ(line.hostWindow, 17u);
    // --root draws in the host's window when it names one, as xscreensaver does.
    line = Parse({"--root"}, "0x400008");
    EXPECT_EQ(line.hostSource, tHostSource::Environment);
    EXPECT_EQ(line.hostWindow, 0x400008u);
    line = Parse({"--root"}, "");
    EXPECT_EQ(line.hostSource, tHostSource::Root);
    EXPECT_EQ(line.hostWindow, 0u);
    // The variable alone selects hosted mode; a classic switch keeps its mode.
    line = Parse({"--fps"}, "4194312");
    EXPECT_EQ(line.hostSource, tHostSource::Environment);
    EXPECT_TRUE(line.showFramesPerSecond);
    line = Parse({"/c:55"}, "0x400008");
    EXPECT_FALSE(line.Hosted());
    EXPECT_EQ(line.classicArgs, (std::vector<std::string>{"/c:55"}));
    // Without host switches the classic rules read what is left, in order.
    line = Parse({"--detail", "2", "/p", "--seed", "7", "123"});
    EXPECT_FALSE(line.Hosted());
    EXPECT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(line.classicArgs, (std::vector<std::string>{"/p", "123"}));
}

TEST(CommandLine, BadWindowsAndValuesNameTheirSourceAndCode)
{
    const std::vector<std::tuple<std::vector<std::string>, const char*, tCommandLineError, std::string>> cases = {
        {{"--window-id", "junk"}, nullptr, tCommandLineError::BadWindow, "--window-id: \"junk\""},
        {{"-window-id", "0"}, nullptr, tCommandLineError::BadWindow, "--window-id: \"0\""},
        {{"--window-id"}, nullptr, tCommandLineError::BadWindow, "--window-id needs a value"},
        {{"--root"}, "zz", tCommandLineError::BadWindow, "XSCREENSAVER_WINDOW: \"zz\""},
        {{}, "0", tCommandLineError::BadWindow, "XSCREENSAVER_WINDOW: \"0\""},
        {{"--detail", "9"}, nullptr, tCommandLineError::BadValue, "--detail: \"9\""},
        {{"--detail", "0"}, nullptr, tCommandLineError::BadValue, "--detail: \"0\""},
        {{"--detail"}, nullptr, tCommandLineError::BadValue, "--detail needs a value"},
        {{"--seed", "-1"}, nullptr, tCommandLineError::BadValue, "--seed: \"-1\""},
        {{"--seed", "4294967296"}, nullptr, tCommandLineError::BadValue, "--seed: \"4294967296\""},
        {{"--threads", "65"}, nullptr, tCommandLineError::BadValue, "--threads: \"65\" is not a number of render threads (0 to 64)"},
        {{"--threads", "-1"}, nullptr, tCommandLineError::BadValue, "--threads: \"-1\""},
        {{"--fps=1"}, nullptr, tCommandLineError::BadValue, "--fps takes no value"},
        {{"--root", "/s"}, nullptr, tCommandLineError::BadValue, "\"/s\" cannot be used with --root"},
        {{"--window-id", "5", "/d"}, nullptr, tCommandLineError::BadValue, "\"/d\" cannot be used with --window-id"},
        {{"--detial", "3"}, nullptr, tCommandLineError::Unknown, "unknown option --detial"},
        {{"/x"}, nullptr, tCommandLineError::Unknown, "unknown switch \"/x\""},
        {{"s"}, nullptr, tCommandLineError::Unknown, "unknown switch \"s\""},
        {{"-fps", "/q"}, nullptr, tCommandLineError::Unknown, "unknown switch \"/q\""},
        {{"/p"}, nullptr, tCommandLineError::BadWindow, "/p needs the X11 window to draw in"},
        {{"/p", "0"}, nullptr, tCommandLineError::BadWindow, "not \"0\""},
        {{"/p", "12abc"}, nullptr, tCommandLineError::BadWindow, "not \"12abc\""},
        {{"-detail", "7"}, nullptr, tCommandLineError::BadValue, "--detail: \"7\""},
        {{"-root", "-fps", "/s"}, nullptr, tCommandLineError::BadValue, "\"/s\" cannot be used with --root"},
    };
    for (const auto& [args, env, failure, text] : cases) {
        const auto line = Parse(args, env);
        EXPECT_EQ(line.failure, failure) << text;
        EXPECT_NE(line.error.find(text), std::string::npos) << line.error;
    }
}

TEST(CommandLine, SettingsForOneRun)
{
    auto line = Parse({"--detail", "auto", "--deep-zoom", "--seed", "4294967295", "--no-deep-zoom", "--threads", "0"});
    ASSERT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(line.settings.detailLevel, kAutoDetectDetailLevel);
    EXPECT_EQ(line.settings.zoomDeep, false) << "the last one wins";
    EXPECT_EQ(line.settings.patternSeed, -1) << "the 32 bits of the seed";
    EXPECT_EQ(line.settings.renderThreads, 0);
    EXPECT_EQ(line.settings.Text(), "--detail auto --no-deep-zoom --seed 4294967295 --threads 0");
    EXPECT_EQ(Parse({"-threads=64"}).settings.renderThreads, 64);
    line = Parse({"--detail=5", "/s"});
    EXPECT_EQ(line.settings.detailLevel, 5);
    EXPECT_FALSE(line.settings.zoomDeep.has_value());
    EXPECT_FALSE(line.settings.deepDive.has_value());
    line = Parse({"--deep-dive", "/d"});
    EXPECT_EQ(line.settings.deepDive, true);
    EXPECT_FALSE(line.settings.zoomDeep.has_value()) << "the overrides bring deep zooming";
    EXPECT_EQ(line.settings.Text(), "--deep-dive");
    EXPECT_EQ(Parse({"-deep-dive", "--no-deep-dive"}).settings.deepDive, false) << "one dash too; the last one wins";
    EXPECT_FALSE(Parse({"--deep-dive=1"}).error.empty()) << "takes no value";
    EXPECT_FALSE(Parse({"/s"}).settings.Any());
}

TEST(CommandLine, HelpAndVersionWinOverMistakes)
{
    EXPECT_TRUE(Parse({"--detail", "9", "--help"}).help);
    EXPECT_TRUE(Parse({"--detail", "9", "--help"}).error.empty());
    EXPECT_TRUE(Parse({"--version", "/x"}).version);
    for (const char* option : {"--window-id", "--root", "--detail", "--deep-zoom", "--no-deep-zoom", "--seed", "--fps",
                               "--threads", "--version", "GL: quorex --root"})
        EXPECT_NE(UsageText().find(option), std::string::npos) << option;
}

TEST(CommandLine, SingleDashSpellingsShortFormsAndTheHostsOwnOptions)
{
    // xscreensaver's hand-edited lines: our options with one dash, its
    // hacks' options taken out and ignored.
    auto line = Parse({"-root", "-fps", "-delay", "10000", "-window", "-install", "-visual", "default", "-detail", "2",
                       "-seed=9", "-no-fps"},
                      "0x400008");
    ASSERT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(line.hostSource, tHostSource::Environment);
    EXPECT_TRUE(line.showFramesPerSecond);
    EXPECT_EQ(line.settings.detailLevel, 2);
    EXPECT_EQ(line.settings.patternSeed, 9);
    EXPECT_EQ(line.ignored, (std::vector<std::string>{"-delay 10000", "-window", "-install", "-visual default",
                                                      "-no-fps"}));
    line = Parse({"-fps", "/d"});
    ASSERT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(line.classicArgs, (std::vector<std::string>{"/d"}));
    for (const char* help : {"-h", "-?", "/?", "-help", "--help"})
        EXPECT_TRUE(Parse({"/d", help}).help) << help;
    for (const char* version : {"-v", "-version", "--version"})
        EXPECT_TRUE(Parse({version}).version) << version;
    // Window ids in hex and decimal wherever one is taken.
    line = Parse({"/p", "0x4003de"});
    ASSERT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(PreviewHandleFromArgument(line.previewArgument), 0x4003deu);
}

TEST(CommandLine, HostedNicenessKeepsWhatTheHostLowered)
{
    EXPECT_EQ(HostedNiceness(0), 10);
    EXPECT_EQ(HostedNiceness(-5), 10);
    EXPECT_EQ(HostedNiceness(10), std::nullopt);
    EXPECT_EQ(HostedNiceness(4), std::nullopt);
}

TEST(CommandLine, TheToolkitsOwnOptionsAreLeftToIt)
{
    const std::vector<std::string> args = {"-display", ":3", "/d", "--platform=xcb", "-reverse", "--fps", "-style", "x"};
    EXPECT_EQ(WithoutToolkitOptions(args), (std::vector<std::string>{"/d", "--fps"}));
    const tCommandLine line = ParseCommandLine(WithoutToolkitOptions(args), nullptr);
    EXPECT_TRUE(line.error.empty()) << line.error;
    EXPECT_TRUE(line.showFramesPerSecond);
}
