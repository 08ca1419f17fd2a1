#include "uFileLocations.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

TEST(FileLocations, TheLogMovesToTheStateFolderWhenTheProgramFolderIsReadOnly)
{
    tTempDir dir;
    const std::string program = dir.File("bin/");
    tScopedEnv state("XDG_STATE_HOME", dir.File("state").c_str());
    EXPECT_EQ(LogFileLocation(program, true), program + "fractal.log") << "beside the program as before";
    EXPECT_EQ(LogFileLocation(program, false), dir.File("state/quorex/fractal.log"));
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("state/quorex").c_str(), &st), 0) << "made when missing";
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    {
        // A relative XDG_STATE_HOME is ignored, as the base-directory rules say.
        tScopedEnv relative("XDG_STATE_HOME", "state");
        tScopedEnv home("HOME", dir.File("home").c_str());
        EXPECT_EQ(StateHome(), dir.File("home/.local/state"));
        EXPECT_EQ(LogFileLocation(program, false), dir.File("home/.local/state/quorex/fractal.log"));
    }
    // A state folder that cannot be made leaves the log beside the program.
    WriteTextFile(dir.File("plain"), "a file, not a folder");
    tScopedEnv blocked("XDG_STATE_HOME", dir.File("plain/state").c_str());
    EXPECT_EQ(LogFileLocation(program, false), program + "fractal.log");

    EXPECT_TRUE(FolderWritable(dir.Path()));
    EXPECT_FALSE(FolderWritable(dir.File("missing")));
}

TEST(FileLocations, TheIniBesideTheProgramComesBeforeTheUsersOne)
{
    tTempDir dir;
    const std::string program = dir.File("");
    tScopedEnv config("XDG_CONFIG_HOME", dir.File("config").c_str());
    EXPECT_EQ(IniFileLocation(program), program + "fractal.ini") << "neither exists";
    fs::create_directories(dir.File("config/quorex"));
    WriteTextFile(dir.File("config/quorex/fractal.ini"), "[ADVANCED]\n");
    EXPECT_EQ(IniFileLocation(program), dir.File("config/quorex/fractal.ini"));
    WriteTextFile(program + "fractal.ini", "[ADVANCED]\n");
    EXPECT_EQ(IniFileLocation(program), program + "fractal.ini");
}

TEST(FileLocations, DataFilesBesideTheProgramOrInTheInstallation)
{
    tTempDir dir;
    const std::string program = dir.File("prefix/bin/");
    fs::create_directories(program);
    EXPECT_EQ(DataFilePath(program, "gfxdata.dat"), program + "gfxdata.dat") << "where it is expected";
    fs::create_directories(dir.File("prefix/share/quorex"));
    WriteTextFile(dir.File("prefix/share/quorex/gfxdata.dat"), "installed");
    EXPECT_EQ(DataFilePath(program, "gfxdata.dat"), dir.File("prefix/share/quorex/gfxdata.dat"));
    WriteTextFile(program + "gfxdata.dat", "beside");
    EXPECT_EQ(DataFilePath(program, "gfxdata.dat"), program + "gfxdata.dat");
}

TEST(FileLocations, AnInstalledProgramNeverWritesIntoItsOwnFolder)
{
    tTempDir dir;
    const std::string program = dir.File("prefix/bin/");
    fs::create_directories(program);
    fs::create_directories(dir.File("prefix/share/quorex"));
    WriteTextFile(program + "fractal.ini", "[ADVANCED]\n");
    tScopedEnv state("XDG_STATE_HOME", dir.File("state").c_str());
    tScopedEnv config("XDG_CONFIG_HOME", dir.File("config").c_str());
    EXPECT_TRUE(InstalledLayout(program));
    EXPECT_FALSE(InstalledLayout(dir.File("")));
    EXPECT_EQ(LogFileLocation(program, true), dir.File("state/quorex/fractal.log")) << "even a folder root can write";
    EXPECT_EQ(IniFileLocation(program), dir.File("config/quorex/fractal.ini")) << "where the user's goes";
    WriteTextFile(dir.File("plain"), "a file, not a folder");
    tScopedEnv blocked("XDG_STATE_HOME", dir.File("plain/state").c_str());
    EXPECT_EQ(LogFileLocation(program, true), "") << "no log rather than one among the installed files";
}

TEST(FileLocations, FoldersAreMadePrivateWhateverTheUmask)
{
    tTempDir dir;
    for (const mode_t mask : {0000, 0022, 0777}) {
        const std::string folder = dir.File("m" + std::to_string(mask) + "/a/b");
        const mode_t old = ::umask(mask);
        const bool made = MakePrivateFolders(folder);
        ::umask(old);
        ASSERT_TRUE(made) << mask;
        for (const std::string& f : {folder, dir.File("m" + std::to_string(mask))}) {
            struct stat st {};
            ASSERT_EQ(::stat(f.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0700u) << f;
        }
    }
    // A folder that exists keeps its mode.
    fs::create_directories(dir.File("open"));
    fs::permissions(dir.File("open"), fs::perms(0755));
    EXPECT_TRUE(MakePrivateFolders(dir.File("open")));
    EXPECT_EQ(fs::status(dir.File("open")).permissions(), fs::perms(0755));
    WriteTextFile(dir.File("file"), "x");
    EXPECT_FALSE(MakePrivateFolders(dir.File("file/below")));
}
