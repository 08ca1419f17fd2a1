// The program's entry block seen from outside: switches, exit codes, log
// lines and the one-instance rule.
#include "ProgramRunner.h"

#include "HostWindow.h"
#include "X11Session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {
const std::string kStartedIn = " -Starting in \"";

std::string StartLine(const std::string& mode) { return kStartedIn + mode + "\" mode"; }

} // namespace

TEST(Entry, UnrecognisedSwitchesEndWith24AfterTheStartLines)
{
    for (const char* sw : {"/x", "/a", "s"}) {
        tProgramFolder folder;
        EXPECT_EQ(RunProgram(folder, {sw}), 24) << sw;
        const std::string log = folder.Log();
        EXPECT_NE(log.find("Starting Quorex V1.4.0 (24/10/2007)"), std::string::npos);
        EXPECT_NE(log.find(" -Parameters: \"" + std::string(sw) + " \""), std::string::npos) << log;
        EXPECT_EQ(log.find(kStartedIn), std::string::npos) << "nothing more is logged";
        EXPECT_NE(log.find(std::string(55, '-')), std::string::npos);
    }
}

TEST(Entry, EveryRefusalSaysWhatWasWrongAndWhereHelpIs)
{
    struct tCase {
        std::vector<std::string> args;
        int code;
        std::string said; // the one line on standard error, or the start of what --help/--version print
    };
    const tCase cases[] = {
        {{"/x"}, 24, "quorex: unknown switch \"/x\" (see quorex --help)\n"},
        {{"help"}, 24, "quorex: unknown switch \"help\" (see quorex --help)\n"},
        {{"--bogus"}, 24, "quorex: unknown option --bogus (see quorex --help)\n"},
        {{"-fps", "-xyz"}, 24, "quorex: unknown switch \"-xyz\" (see quorex --help)\n"},
        {{"--detail", "9"}, 2, "quorex: --detail: \"9\" is not a detail level (1 to 5, or auto) (see quorex --help)\n"},
        {{"-root", "/s"}, 2, "quorex: \"/s\" cannot be used with --root (see quorex --help)\n"},
        {{"/p"}, 42, "quorex: /p needs the X11 window to draw in, as 0x hex or decimal digits, not \"\" (see quorex --help)\n"},
        {{"/p", "abc"}, 42, "quorex: /p needs the X11 window to draw in, as 0x hex or decimal digits, not \"abc\" (see quorex --help)\n"},
        {{"-window-id", "junk"}, 42, "quorex: --window-id: \"junk\" is not a window id (0x hex or decimal, not 0) (see quorex --help)\n"},
        {{"-h"}, 0, "Quorex V1.4.0 (24/10/2007) - an endless, smooth zoom"},
        {{"-?"}, 0, "Quorex V1.4.0 (24/10/2007) - an endless, smooth zoom"},
        {{"/?"}, 0, "Quorex V1.4.0 (24/10/2007) - an endless, smooth zoom"},
        {{"-help"}, 0, "Quorex V1.4.0 (24/10/2007) - an endless, smooth zoom"},
        {{"-v"}, 0, "Quorex V1.4.0 (24/10/2007)\n"},
    };
    for (const tCase& c : cases) {
        tProgramFolder folder;
        // None of these needs a display.
        EXPECT_EQ(RunProgram(folder, c.args, {"DISPLAY"}), c.code) << c.args[0];
        const std::string output = folder.Output();
        if (c.code != 0)
            EXPECT_EQ(output, c.said) << c.args[0];
        else
            EXPECT_EQ(output.rfind(c.said, 0), 0u) << c.args[0] << "\n" << output;
    }
    // A preview window that does not exist is found so once the display is open.
    tHostWindow host;
    ASSERT_TRUE(host.Valid()) << "needs a display";
    tProgramFolder folder;
    EXPECT_EQ(RunProgram(folder, {"/p", "0x7ffffff0"}), 42);
    EXPECT_NE(folder.Output().find("quorex: there is no window 0x7ffffff0 to draw in (from /p) (see quorex --help)\n"),
              std::string::npos)
        << folder.Output();
    EXPECT_NE(folder.Log().find("Invalid Preivew Handle \"0x7ffffff0\""), std::string::npos);
}

TEST(Entry, HexWindowIdsAndTheHostsOwnOptionsAreAccepted)
{
    tHostWindow host;
    ASSERT_TRUE(host.Valid()) << "needs a display";
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(std::stoull(host.Id())));
    {
        tProgramFolder folder;
        tRunningProgram preview(folder, {"/p", hex});
        EXPECT_TRUE(WaitForText(folder.LogPath(), StartLine("Preview"))) << folder.Log() << folder.Output();
        EXPECT_EQ(preview.Terminate(), 0);
    }
    {
        // A line of ~/.xscreensaver with the hack options xscreensaver knows.
        tProgramFolder folder;
        tRunningProgram hosted(folder, {"-root", "-fps", "-delay", "10000", "-install", "-visual", "default",
                                        "-window-id", hex, "-detail", "1"});
        EXPECT_TRUE(WaitForText(folder.LogPath(), StartLine("Hosted"))) << folder.Log() << folder.Output();
        const std::string log = folder.Log();
        for (const char* option : {"-delay 10000", "-install"})
            EXPECT_NE(log.find(" -Ignoring the screen-saver host's option " + std::string(option)), std::string::npos)
                << option << "\n" << log;
        EXPECT_EQ(hosted.Terminate(), 0);
    }
}

TEST(Entry, ScreenSaverIsTheDefaultAndTheSwitchIsForgiving)
{
    const std::vector<std::vector<std::string>> variants = {{}, {"/s"}, {"-s"}, {"qs"}};
    for (const auto& args : variants) {
        tProgramFolder folder;
        tRunningProgram p(folder, args);
        ASSERT_TRUE(WaitForText(folder.LogPath(), StartLine("Screen Saver"))) << folder.Log();
        EXPECT_EQ(p.Terminate(), 0);
        if (args.empty()) {
            EXPECT_NE(folder.Log().find(" -Parameters: \"\""), std::string::npos) << folder.Log();
        }
    }
}

TEST(Entry, InvalidPreviewHandlesEndWith42)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"/p"}, ""}, {{"/p", "0"}, "0"}, {{"/p", "abc"}, "abc"}};
    for (const auto& [args, shown] : cases) {
        tProgramFolder folder;
        EXPECT_EQ(RunProgram(folder, args), 42);
        EXPECT_NE(folder.Log().find("Invalid Preivew Handle \"" + shown + "\""), std::string::npos) << folder.Log();
    }
}

TEST(Entry, OneInstancePerModeFamily)
{
    tHostWindow host;
    ASSERT_TRUE(host.Valid()) << "needs a display";
    tProgramFolder folder;
    tRunningProgram saver(folder, {"/s"});
    ASSERT_TRUE(WaitForText(folder.LogPath(), StartLine("Screen Saver")));

    EXPECT_EQ(RunProgram(folder, {"/d"}), 20);
    EXPECT_NE(folder.Log().find("previous instance detected"), std::string::npos);
    EXPECT_NE(folder.Output().find("quorex: Quorex runs already"), std::string::npos) << folder.Output();
    EXPECT_EQ(folder.Log().find(StartLine("Demo")), std::string::npos);
    EXPECT_EQ(RunProgram(folder, {"/b"}), 20);

    tRunningProgram preview(folder, {"/p", host.Id()});
    EXPECT_TRUE(WaitForText(folder.LogPath(), StartLine("Preview")));
    tRunningProgram configure(folder, {"/c"});
    EXPECT_TRUE(WaitForText(folder.LogPath(), StartLine("Configure")));

    EXPECT_EQ(preview.Terminate(), 0);
    EXPECT_EQ(configure.Terminate(), 0);
    EXPECT_EQ(saver.Terminate(), 0);

    // The lock goes with the process: a new Demo may start now.
    tRunningProgram demo(folder, {"/d"});
    EXPECT_TRUE(WaitForText(folder.LogPath(), StartLine("Demo")));
    EXPECT_EQ(demo.Terminate(), 0);
}

TEST(Entry, TheLockIsReleasedWhenAnInstanceIsKilled)
{
    tProgramFolder folder;
    {
        tRunningProgram saver(folder, {"/s"});
        ASSERT_TRUE(WaitForText(folder.LogPath(), StartLine("Screen Saver")));
    } // killed with SIGKILL, no clean-up of its own
    tRunningProgram demo(folder, {"/d"});
    EXPECT_TRUE(WaitForText(folder.LogPath(), StartLine("Demo")));
    EXPECT_EQ(demo.Terminate(), 0);
}

TEST(Entry, ALogPastSixtyFourKilobytesIsReplaced)
{
    for (const size_t size : {size_t{65536}, size_t{65537}}) {
        tProgramFolder folder;
        const std::string old = "old line\n" + std::string(size - 9, 'x');
        WriteTextFile(folder.LogPath(), old);
        EXPECT_EQ(RunProgram(folder, {"/x"}), 24);
        const std::string log = folder.Log();
        if (size == 65536)
            EXPECT_EQ(log.rfind("old line\n", 0), 0u) << "appended to";
        else
            EXPECT_EQ(log.find("old line"), std::string::npos) << "replaced";
        EXPECT_NE(log.find("Starting Quorex"), std::string::npos);
    }
}

TEST(Entry, EveryModeStartsAndEndsCleanly)
{
    for (const auto& [sw, name] : std::vector<std::pair<std::string, std::string>>{
             {"/d", "Demo"}, {"/c", "Configure"}, {"/c:abc", "Configure"}, {"/b", "Benchmark"}}) {
        tProgramFolder folder;
        tRunningProgram p(folder, {sw});
        ASSERT_TRUE(WaitForText(folder.LogPath(), StartLine(name))) << sw;
        EXPECT_EQ(p.Terminate(), 0) << sw;
    }
}

TEST(Entry, WithoutADisplayTheProgramSaysSoAndEndsWith101)
{
    // Whichever display the toolkit would use: X11 by default, Wayland when
    // asked for (this toolkit has no Wayland support installed, or the
    // socket is missing), whatever WAYLAND_DISPLAY says meanwhile.
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> env;
        std::string shown;
    } cases[] = {
        {{"/d"}, {"DISPLAY"}, "\"\" (DISPLAY is not set)"},
        {{"-display", ":999", "/d"}, {}, "\":999\""},
        {{"--display", ":999", "/s"}, {}, "\":999\""},
        {{"/s"}, {"DISPLAY", "WAYLAND_DISPLAY=wayland-9"}, "\"\" (DISPLAY is not set)"},
        {{"--root"}, {"DISPLAY", "WAYLAND_DISPLAY=wayland-9"}, "\"\" (DISPLAY is not set)"},
        {{"/d"}, {"DISPLAY=:999", "WAYLAND_DISPLAY=wayland-9"}, "\":999\""},
        {{"/s"}, {"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=wayland-9"}, "\"wayland-9\""},
        {{"-platform", "wayland", "/s"}, {"WAYLAND_DISPLAY"}, "\"wayland-0\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.env.empty() ? "" : c.env.back()));
        tProgramFolder folder;
        // The session the tests run in chooses nothing.
        std::vector<std::string> env = {"XDG_SESSION_TYPE", "QT_QPA_PLATFORM", "WAYLAND_SOCKET"};
        env.insert(env.end(), c.env.begin(), c.env.end());
        EXPECT_EQ(RunProgram(folder, c.args, env), 101);
        EXPECT_NE(folder.Output().find("Cannot open the display " + c.shown), std::string::npos) << folder.Output();
        EXPECT_NE(folder.Log().find("Cannot open the display " + c.shown), std::string::npos) << folder.Log();
        EXPECT_EQ(folder.Log().find(kStartedIn), std::string::npos);
    }
    // With a Wayland session the toolkit falls back to X11, which works.
    tProgramFolder folder;
    tRunningProgram p(folder, {"/d"},
                      {"QT_QPA_PLATFORM", "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "XDG_SESSION_TYPE=wayland",
                       "WAYLAND_DISPLAY=wayland-9"});
    ASSERT_TRUE(WaitForText(folder.LogPath(), StartLine("Demo"))) << folder.Log() << folder.Output();
    EXPECT_EQ(p.Terminate(), 0);
}

TEST(Entry, AScreenOfFewerThan24BitsEndsTheZoomWith105AndSaysWhy)
{
    tPrivateDisplay shallow("-screen 0 640x480x16");
    ASSERT_TRUE(shallow.Valid());
    for (const char* sw : {"/s", "/d"}) {
        tProgramFolder folder;
        EXPECT_EQ(RunProgram(folder, {sw}, {"DISPLAY=" + shallow.Name()}), 105) << sw;
        const std::string message = "INIT-FAIL: 32Bit color is required, please change desktop settings";
        EXPECT_NE(folder.Output().find(message), std::string::npos) << folder.Output();
        EXPECT_NE(folder.Log().find(message), std::string::npos) << folder.Log();
        EXPECT_EQ(folder.Log().find("Fractal running..."), std::string::npos);
    }
}

TEST(Entry, TheToolkitsOwnSwitchesDoNotChooseTheMode)
{
    tProgramFolder folder;
    tRunningProgram p(folder, {"-platform", "offscreen", "/d"}, {"DISPLAY"});
    ASSERT_TRUE(WaitForText(folder.LogPath(), StartLine("Demo"))) << folder.Log() << folder.Output();
    EXPECT_NE(folder.Log().find(" -Parameters: \"-platform offscreen /d \""), std::string::npos)
        << "the log shows every argument given";
    EXPECT_EQ(p.Terminate(), 0);
}

TEST(Entry, ATerminationRightAfterTheStartIsACleanEnd)
{
    // The log's first line is written after the handler is in place, so a
    // signal sent as soon as the log exists must end the run cleanly.
    for (const char* sw : {"/s", "/d", "/c", "/b"}) {
        tProgramFolder folder;
        tRunningProgram p(folder, {sw});
        ASSERT_TRUE(WaitForText(folder.LogPath(), " ")) << sw;
        EXPECT_EQ(p.Terminate(), 0) << sw << "\n" << folder.Log();
    }
}

TEST(Entry, ALogThatIsALinkIsNotFollowed)
{
    tProgramFolder folder;
    const std::string target = folder.Folder() + "/elsewhere";
    WriteTextFile(target, "someone else's file\n");
    std::filesystem::create_symlink(target, folder.LogPath());
    EXPECT_EQ(RunProgram(folder, {"/x"}), 24);
    EXPECT_EQ(ReadTextFile(target), "someone else's file\n");
    EXPECT_TRUE(std::filesystem::is_symlink(folder.LogPath()));
    EXPECT_NE(folder.Output().find("is a symbolic link"), std::string::npos) << folder.Output();
}
