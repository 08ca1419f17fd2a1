#include "uMutex.h"
#include "uPlatform.h"

#include "TestUtil.h"
#include "X11Windows.h"

#include <gtest/gtest.h>

#include <filesystem>

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

TEST(Mutex, AnUnusableLockFolderFallsBackToTheTemporaryFolder)
{
    tCapturedLog log;
    tScopedEnv runtime("XDG_RUNTIME_DIR", "/nonexistent/runtime/dir");
    tScopedEnv tmp("TMPDIR", nullptr);
    EXPECT_EQ(tMutex::LockFolder(), "/tmp/");
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
