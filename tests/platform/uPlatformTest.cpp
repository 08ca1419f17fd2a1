#include "uMutex.h"
#include "uPlatform.h"

#include "TestUtil.h"
#include "X11Windows.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

TEST(Mutex, OneHolderPerNameAndReleaseOnDestruction)
{
    tTempDir dir;
    tScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path().c_str());
    tMutex first;
    ASSERT_TRUE(first.Acquire("FractalRUN"));
    EXPECT_TRUE(first.Held());
    EXPECT_TRUE(std::filesystem::exists(dir.File("FractalRUN.lock")));
    {
        tMutex second;
        EXPECT_FALSE(second.Acquire("FractalRUN"));
        EXPECT_FALSE(second.Held());
        tMutex other;
        EXPECT_TRUE(other.Acquire("FractalPREV")); // another family
    }
    first.Release();
    tMutex third;
    EXPECT_TRUE(third.Acquire("FractalRUN"));
}

TEST(Mutex, WithoutARuntimeFolderLocksLiveInAPrivateFolderOfTheUser)
{
    tCapturedLog log;
    tTempDir tmp;
    tScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
    tScopedEnv tmpdir("TMPDIR", tmp.Path().c_str());
    // Planted by someone else in the shared folder: neither is used.
    ASSERT_EQ(::symlink(tmp.File("victim").c_str(), tmp.File("FractalRUN.lock").c_str()), 0);
    WriteTextFile(tmp.File("FractalPREV.lock"), "");

    const std::string folder = tmp.File("quorex-" + std::to_string(::geteuid())) + "/";
    EXPECT_EQ(tMutex::LockFolder(), folder);
    tMutex run, prev, again;
    ASSERT_TRUE(run.Acquire("FractalRUN"));
    EXPECT_TRUE(run.Held());
    EXPECT_FALSE(again.Acquire("FractalRUN"));
    EXPECT_FALSE(std::filesystem::exists(tmp.File("victim"))) << "the planted link was followed";
    EXPECT_TRUE(std::filesystem::exists(folder + "FractalRUN.lock"));
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(st.st_uid, ::geteuid());

    // Inside the private folder too, a lock file that is a link is refused:
    // the run goes on unguarded, with a warning.
    ASSERT_EQ(::symlink(tmp.File("victim").c_str(), (folder + "FractalPREV.lock").c_str()), 0);
    EXPECT_TRUE(prev.Acquire("FractalPREV"));
    EXPECT_FALSE(prev.Held());
    EXPECT_FALSE(std::filesystem::exists(tmp.File("victim")));
    EXPECT_EQ(log.FileCount("Could not open lock file \"" + folder + "FractalPREV.lock\""), 1);
}

TEST(Mutex, AFolderOthersCanWriteOrOwnIsNotUsed)
{
    tCapturedLog log;
    tTempDir tmp;
    tTempDir other;
    tScopedEnv tmpdir("TMPDIR", tmp.Path().c_str());
    const std::string privateFolder = tmp.File("quorex-" + std::to_string(::geteuid()));

    // A runtime folder open to others is passed over for the private one.
    ::chmod(other.Path().c_str(), 0777);
    {
        tScopedEnv runtime("XDG_RUNTIME_DIR", other.Path().c_str());
        EXPECT_EQ(tMutex::LockFolder(), privateFolder + "/");
    }
    ::chmod(other.Path().c_str(), 0700);
    {
        tScopedEnv runtime("XDG_RUNTIME_DIR", other.Path().c_str());
        EXPECT_EQ(tMutex::LockFolder(), other.Path() + "/") << "a proper runtime folder is used";
    }
    std::filesystem::remove(privateFolder);

    tScopedEnv noRuntime("XDG_RUNTIME_DIR", nullptr);
    const auto refused = [&](const std::string& what) {
        EXPECT_EQ(tMutex::LockFolder(), "") << what;
        tMutex m;
        EXPECT_TRUE(m.Acquire("FractalRUN")) << "runs unguarded: " << what;
        EXPECT_FALSE(m.Held()) << what;
        EXPECT_TRUE(std::filesystem::is_empty(other.Path())) << what;
    };
    ASSERT_EQ(::symlink(other.Path().c_str(), privateFolder.c_str()), 0);
    refused("a link in place of the folder");
    std::filesystem::remove(privateFolder);
    std::filesystem::create_directory(privateFolder);
    ::chmod(privateFolder.c_str(), 0777);
    refused("a folder open to everyone");
    if (::geteuid() == 0) {
        ::chmod(privateFolder.c_str(), 0700);
        ASSERT_EQ(::chown(privateFolder.c_str(), 65534, 65534), 0);
        refused("a folder of another user");
    }
    EXPECT_GE(log.FileCount("Not using the lock folder \"" + privateFolder + "\""), 2);
}

TEST(Platform, ExecutableFolderEndsWithASeparator)
{
    const std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(Platform, ParentOfAnX11Window)
{
    tX11WindowPair windows;
    ASSERT_TRUE(windows.Valid()) << "needs a display";
    EXPECT_EQ(ParentWindowOf(windows.Child()), windows.Parent());
    EXPECT_EQ(ParentWindowOf(windows.Parent()), 0u) << "a top-level window's parent is the root";
    EXPECT_EQ(ParentWindowOf(0), 0u);
    EXPECT_EQ(ParentWindowOf(0x7ffffff0u), 0u) << "an unknown id must not end the process";
}

TEST(Platform, ProcessorBrandIsReadable)
{
    const std::string brand = ProcessorBrand();
    EXPECT_FALSE(brand.empty());
    for (char c : brand)
        EXPECT_TRUE(c >= 32 && c < 127) << "unprintable byte in " << brand;
}
