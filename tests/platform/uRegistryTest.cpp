// The registry stand-in: typed values in a text file, reads that fall back,
// writes that are atomic and keep every other value.
#include "uRegistry.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <thread>

namespace {
const std::string kKey = "\\Software\\Halvornet\\Fractal\\";

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct tFaultHookScope {
    explicit tFaultHookScope(std::function<bool(tRegistryWriteStep)> hook) { SetRegistryWriteFaultHook(std::move(hook)); }
    ~tFaultHookScope() { SetRegistryWriteFaultHook({}); }
};
} // namespace

TEST(Registry, TheKeyLivesUnderTheConfigFolderUnlessRedirected)
{
    tTempDir dir;
    tScopedEnv over("FRACTAL_REGISTRY", nullptr);
    {
        tScopedEnv xdg("XDG_CONFIG_HOME", dir.Path().c_str());
        EXPECT_EQ(tRegistry::StoreFileFor(kKey), dir.Path() + "/Halvornet/Fractal/registry");
    }
    {
        tScopedEnv xdg("XDG_CONFIG_HOME", "relative/is/ignored");
        tScopedEnv home("HOME", dir.Path().c_str());
        EXPECT_EQ(tRegistry::StoreFileFor(kKey), dir.Path() + "/.config/Halvornet/Fractal/registry");
        tScopedEnv xdgUnset("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(tRegistry::ConfigHome(), dir.Path() + "/.config");
    }
    tScopedEnv redirect("FRACTAL_REGISTRY", dir.File("elsewhere.txt").c_str());
    EXPECT_EQ(tRegistry::StoreFileFor(kKey), dir.File("elsewhere.txt"));
}

TEST(Registry, OpeningCreatesTheFolderAndAFreshKeyHasNoValues)
{
    tTempDir dir;
    tScopedEnv over("FRACTAL_REGISTRY", nullptr);
    tScopedEnv xdg("XDG_CONFIG_HOME", dir.Path().c_str());
    tRegistryEx reg;
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("Halvornet/Fractal")));
    EXPECT_FALSE(reg.ValueExists("DetailLevel"));
    EXPECT_THROW(reg.ReadInteger("DetailLevel"), ERegistryException);
    EXPECT_EQ(reg.ReadIntegerDef("DetailLevel", 6), 6);
    EXPECT_TRUE(reg.ReadBoolDef("ZoomDeep", true));
    EXPECT_FALSE(std::filesystem::exists(reg.StorePath())) << "reading creates no store";

    tRegistryEx noCreate;
    tScopedEnv xdg2("XDG_CONFIG_HOME", dir.File("missing").c_str());
    EXPECT_FALSE(noCreate.OpenKey(kKey, false));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

TEST(Registry, ValuesRoundTripAndEveryOtherValueSurvivesAWrite)
{
    tTempDir dir;
    const std::string store = dir.File("registry");
    // A value of a type this program does not know, a string and a comment.
    WriteTextFile(store, "# hand-written\nBlob=hex:01,02,03\nNote=string:keep me\nDetailLevel=dword:2\n");
    tRegistryEx reg;
    ASSERT_TRUE(reg.OpenStore(store, true));

    reg.WriteInteger("ZoomDeep", 1);
    reg.WriteInteger("detaillevel", 5); // names are case-insensitive
    EXPECT_EQ(reg.ReadInteger("DetailLevel"), 5);
    EXPECT_EQ(reg.ReadInteger("ZOOMDEEP"), 1);
    EXPECT_EQ(reg.ReadString("Note"), "keep me");
    const std::string text = ReadTextFile(store);
    EXPECT_NE(text.find("Blob=hex:01,02,03\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("DetailLevel="), std::string::npos) << "replaced in place, once: " << text;
    EXPECT_NE(text.find("detaillevel=dword:5\n"), std::string::npos) << text;

    // All 32 bits of a DWORD; a DWORD above 2^31 reads as a negative integer.
    reg.WriteInteger("Big", -1);
    EXPECT_NE(ReadTextFile(store).find("Big=dword:4294967295"), std::string::npos);
    EXPECT_EQ(reg.ReadInteger("Big"), -1);
    EXPECT_TRUE(reg.ReadBoolDef("Big", false));
    reg.WriteInteger("Zero", 0);
    EXPECT_FALSE(reg.ReadBoolDef("Zero", true));

    // Names and strings with the format's own characters.
    reg.WriteString("odd=name#1", "two\nlines \\ and = signs");
    EXPECT_EQ(reg.ReadString("odd=name#1"), "two\nlines \\ and = signs");
    EXPECT_EQ(reg.ReadInteger("DetailLevel"), 5);
    EXPECT_EQ(reg.ReadString("Note"), "keep me");
}

TEST(Registry, AValueOfAnotherTypeReadsAsTheFallbackAndAWriteReplacesIt)
{
    tTempDir dir;
    tRegistryEx reg;
    ASSERT_TRUE(reg.OpenStore(dir.File("registry"), true));
    reg.WriteString("DetailLevel", "3");
    EXPECT_THROW(reg.ReadInteger("DetailLevel"), ERegistryException);
    EXPECT_EQ(reg.ReadIntegerDef("DetailLevel", 6), 6);
    EXPECT_THROW(reg.ReadString("Missing"), ERegistryException);
    reg.WriteInteger("DetailLevel", 4);
    EXPECT_EQ(reg.ReadIntegerDef("DetailLevel", 6), 4);
    EXPECT_THROW(reg.ReadString("DetailLevel"), ERegistryException);
}

TEST(Registry, DamagedStoresReadAsFallbacksWithoutFailing)
{
    tTempDir dir;
    const std::string store = dir.File("registry");
    tRegistryEx reg;
    ASSERT_TRUE(reg.OpenStore(store, true));

    const std::vector<std::string> damaged = {
        "DetailLevel=dword:",            "DetailLevel=dword:x3",       "DetailLevel=dword:4294967296",
        "DetailLevel=dword:-1",          "DetailLevel=dword:99999999999", "DetailLevel",
        "DetailLevel=3",                 "=dword:3",                  std::string("\0\xff\x01=dword:3\n\0", 13),
        std::string(300, '\xff'),
    };
    for (const auto& text : damaged) {
        WriteTextFile(store, text);
        EXPECT_EQ(reg.ReadIntegerDef("DetailLevel", 6), 6) << text;
        EXPECT_TRUE(reg.ReadBoolDef("ZoomDeep", true)) << text;
    }

    // Binary junk around good lines: the good lines count, and a write
    // leaves a clean store.
    std::string junk(4096, '\0');
    for (size_t i = 0; i < junk.size(); ++i)
        junk[i] = static_cast<char>((i * 7919) % 251);
    WriteTextFile(store, junk + "\nZoomDeep=dword:5\r\n" + junk);
    EXPECT_TRUE(reg.ReadBoolDef("ZoomDeep", false)) << "5 reads as true, CRLF tolerated";
    reg.WriteInteger("DetailLevel", 2);
    EXPECT_EQ(reg.ReadInteger("DetailLevel"), 2);
    EXPECT_EQ(reg.ReadInteger("ZoomDeep"), 5);

    // A store that is not a regular file (a FIFO would block a plain read).
    std::filesystem::remove(store);
    ASSERT_EQ(::mkfifo(store.c_str(), 0600), 0);
    EXPECT_EQ(reg.ReadIntegerDef("DetailLevel", 6), 6);
    EXPECT_FALSE(reg.ValueExists("DetailLevel"));
    std::filesystem::remove(store);
    std::filesystem::create_directory(store);
    EXPECT_EQ(reg.ReadIntegerDef("DetailLevel", 6), 6);
    EXPECT_THROW(reg.WriteInteger("DetailLevel", 1), ERegistryException);
}

TEST(Registry, AHugeStoreIsReadOnlyUpToItsLimit)
{
    tTempDir dir;
    const std::string store = dir.File("registry");
    std::string text = "ZoomDeep=dword:0\n";
    text += std::string(tRegistry::kMaxStoreBytes, 'x') + "\nDetailLevel=dword:3\n";
    WriteTextFile(store, text);
    tRegistryEx reg;
    ASSERT_TRUE(reg.OpenStore(store, true));
    EXPECT_FALSE(reg.ReadBoolDef("ZoomDeep", true));
    EXPECT_EQ(reg.ReadIntegerDef("DetailLevel", 6), 6) << "beyond the limit";
    reg.WriteInteger("DetailLevel", 4);
    EXPECT_LT(std::filesystem::file_size(store), 1000u) << "the junk line is not kept";
    EXPECT_EQ(reg.ReadInteger("DetailLevel"), 4);
    EXPECT_FALSE(reg.ReadBoolDef("ZoomDeep", true));
}

TEST(Registry, AnInterruptedWriteLeavesTheOldStoreIntact)
{
    tTempDir dir;
    const std::string store = dir.File("registry");
    tRegistryEx reg;
    ASSERT_TRUE(reg.OpenStore(store, true));
    reg.WriteInteger("DetailLevel", 3);
    reg.WriteInteger("ZoomDeep", 1);
    const std::string before = ReadTextFile(store);
    const auto entriesBefore = FolderEntries(dir.Path());

    for (auto failing : {tRegistryWriteStep::WriteTemp, tRegistryWriteStep::SyncTemp, tRegistryWriteStep::Rename}) {
        std::vector<tRegistryWriteStep> seen;
        tFaultHookScope hook([&](tRegistryWriteStep step) {
            seen.push_back(step);
            return step != failing;
        });
        EXPECT_THROW(reg.WriteInteger("DetailLevel", 5), ERegistryException);
        EXPECT_EQ(ReadTextFile(store), before) << "step " << static_cast<int>(failing);
        EXPECT_EQ(FolderEntries(dir.Path()), entriesBefore) << "no temporary file is left behind";
        EXPECT_EQ(seen.back(), failing);
    }
    EXPECT_EQ(reg.ReadInteger("DetailLevel"), 3);
    EXPECT_EQ(reg.ReadInteger("ZoomDeep"), 1);

    // A temporary file left by a write that a crash cut short is never read
    // and goes with the next write.
    WriteTextFile(store + ".tmp-AbCdEf", "DetailLevel=dword:1\n");
    EXPECT_EQ(reg.ReadInteger("DetailLevel"), 3);
    reg.WriteInteger("DetailLevel", 2);
    EXPECT_FALSE(std::filesystem::exists(store + ".tmp-AbCdEf"));
    EXPECT_EQ(reg.ReadInteger("DetailLevel"), 2);
    EXPECT_EQ(reg.ReadInteger("ZoomDeep"), 1);
}

TEST(Registry, AKeyThatCannotBeOpenedFallsBackAndRefusesWrites)
{
    tTempDir dir;
    WriteTextFile(dir.File("plainfile"), "not a folder");
    tScopedEnv over("FRACTAL_REGISTRY", nullptr);
    tScopedEnv xdg("XDG_CONFIG_HOME", dir.File("plainfile").c_str());
    tRegistryEx reg;
    EXPECT_FALSE(reg.OpenKey(kKey, true));
    EXPECT_FALSE(reg.IsOpen());
    EXPECT_EQ(reg.ReadIntegerDef("DetailLevel", 6), 6);
    EXPECT_TRUE(reg.ReadBoolDef("ZoomDeep", true));
    EXPECT_THROW(reg.WriteInteger("DetailLevel", 3), ERegistryException);
    EXPECT_THROW(reg.WriteString("Name", "x"), ERegistryException);
}

TEST(Registry, ConcurrentWritersOfDifferentValuesLoseNeither)
{
    tTempDir dir;
    const std::string store = dir.File("registry");
    auto writer = [&](const std::string& name) {
        tRegistryEx reg;
        ASSERT_TRUE(reg.OpenStore(store, true));
        for (int i = 1; i <= 60; ++i)
            reg.WriteInteger(name, i);
    };
    std::thread a(writer, "DetailLevel");
    std::thread b(writer, "ZoomDeep");
    a.join();
    b.join();
    tRegistryEx reg;
    ASSERT_TRUE(reg.OpenStore(store, false));
    EXPECT_EQ(reg.ReadInteger("DetailLevel"), 60);
    EXPECT_EQ(reg.ReadInteger("ZoomDeep"), 60);
}
