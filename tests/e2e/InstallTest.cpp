// `cmake --install` into a temporary prefix: the files a Linux desktop and
// xscreensaver look for, checked with the tools that read them, and the
// installed program run from a copy that nobody may write to.
#include "ProgramRunner.h"

#include "HostWindow.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {
namespace fs = std::filesystem;

class InstallTest : public ::testing::Test {
protected:
    tTempDir dir;
    std::string prefix = dir.File("prefix");

    void SetUp() override
    {
        const tCommandResult install = RunCommand("cmake --install '" QX_BUILD_DIR "' --prefix '" + prefix + "'");
        ASSERT_EQ(install.exitCode, 0) << install.output;
    }
};
} // namespace

TEST_F(InstallTest, APrefixHoldsWhatDesktopsAndXScreenSaverLookFor)
{
    EXPECT_EQ(fs::status(prefix + "/bin/quorex").permissions() & fs::perms::others_exec, fs::perms::others_exec);
    EXPECT_TRUE(fs::equivalent(prefix + "/libexec/xscreensaver/quorex", prefix + "/bin/quorex"));

    for (const char* entry : {"applications/screensavers/quorex.desktop", "applications/quorex.desktop",
                              "applications/quorex-settings.desktop"}) {
        const tCommandResult check = RunCommand("desktop-file-validate '" + prefix + "/share/" + entry + "'");
        EXPECT_EQ(check.exitCode, 0) << entry << "\n" << check.output;
        EXPECT_EQ(check.output.find("error"), std::string::npos) << check.output;
    }
    EXPECT_NE(ReadTextFile(prefix + "/share/applications/screensavers/quorex.desktop").find("\nExec=quorex --root\n"),
              std::string::npos);
    EXPECT_NE(ReadTextFile(prefix + "/share/applications/quorex.desktop").find("\nExec=quorex /d\n"), std::string::npos);
    EXPECT_NE(ReadTextFile(prefix + "/share/applications/quorex-settings.desktop").find("\nExec=quorex /c\n"),
              std::string::npos);

    const std::string form = prefix + "/share/xscreensaver/config/quorex.xml";
    const tCommandResult xml = RunCommand("xmllint --noout '" + form + "'");
    EXPECT_EQ(xml.exitCode, 0) << xml.output;
    for (const char* arg : {"gl=\"yes\"", "<command arg=\"--root\"/>", "arg-set=\"--detail auto\"",
                            "arg-set=\"--detail 5\"", "arg-set=\"--deep-zoom\"", "arg-set=\"--no-deep-zoom\"",
                            "arg-set=\"--deep-dive\"", "arg-set=\"--no-deep-dive\"", "arg-set=\"--fps\""})
        EXPECT_NE(ReadTextFile(form).find(arg), std::string::npos) << arg;

    const tCommandResult man = RunCommand("MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l -P cat '" + prefix +
                                          "/share/man/man6/quorex.6.gz'");
    EXPECT_EQ(man.exitCode, 0) << man.output;
    EXPECT_EQ(man.output.find("warning"), std::string::npos) << man.output;
    for (const char* text : {"QUOREX(6)", "GL: quorex --root", "--window-id ID", "--detail 1..5|auto", "--deep-dive", "--seed N",
                             "XSCREENSAVER_WINDOW", "$XDG_STATE_HOME/quorex/fractal.log", "EXIT STATUS"})
        EXPECT_NE(man.output.find(text), std::string::npos) << text << "\n" << man.output;

    if (fs::exists(QX_BUILD_DIR "/bin/gfxdata.dat")) {
        EXPECT_TRUE(fs::exists(prefix + "/share/quorex/gfxdata.dat"));
    }
}

TEST_F(InstallTest, TheInstalledProgramRunsFromAReadOnlyCopy)
{
    tHostWindow host;
    ASSERT_TRUE(host.Valid()) << "needs a display";
    const std::string copy = dir.File("copy");
    ASSERT_EQ(RunCommand("cp -a '" + prefix + "' '" + copy + "' && chmod -R a-w '" + copy + "'").exitCode, 0);
    for (const char* folder : {"state", "config", "runtime"})
        fs::create_directories(dir.File(folder));
    fs::permissions(dir.File("runtime"), fs::perms::owner_all);
    for (const char* folder : {"state", "config", "runtime"})
        GiveToUnprivileged(dir.File(folder));
    fs::permissions(dir.Path(), fs::perms::others_exec, fs::perm_options::add);

    const char* display = std::getenv("DISPLAY");
    std::vector<std::string> env = {"PATH=/usr/bin:/bin", "FRACTAL_NO_DIALOGS=1",
                                    std::string("DISPLAY=") + (display ? display : ""),
                                    "HOME=" + dir.File("state"), "XDG_STATE_HOME=" + dir.File("state"),
                                    "XDG_CONFIG_HOME=" + dir.File("config"),
                                    "XDG_RUNTIME_DIR=" + dir.File("runtime")};
    for (const std::string& e : SanitizerEnvironment())
        env.push_back(e);
    // Started as xscreensaver starts its hacks: through the link beside them.
    tRunningProgram saver(Unprivileged({copy + "/libexec/xscreensaver/quorex", "--window-id", host.Id()}), env,
                          dir.File("output.txt"));
    const std::string log = dir.File("state/quorex/fractal.log");
    EXPECT_TRUE(WaitForText(log, " -Starting in \"Hosted\" mode")) << ReadTextFile(dir.File("output.txt"));
    EXPECT_TRUE(WaitForText(log, "Applying detail level: "));
    // The data file comes from share/quorex/ (the program's folder holds none).
    if (fs::exists(QX_BUILD_DIR "/bin/gfxdata.dat")) {
        EXPECT_TRUE(fs::exists(copy + "/share/quorex/gfxdata.dat"));
        if (WaitForText(log, "Loading core graphics", std::chrono::seconds(20)))
            EXPECT_EQ(ReadTextFile(log).find("Could not load resource file"), std::string::npos) << ReadTextFile(log);
        else
            std::cout << "the saver did not load its core graphics: the data file was not looked for\n";
    }
    EXPECT_EQ(saver.Terminate(), 0);
    EXPECT_FALSE(fs::exists(copy + "/bin/fractal.log"));
    RunCommand("chmod -R u+w '" + copy + "'"); // so that the folder can be removed
}
