// The registry stand-in: typed values in a text file, reads that fall back,
// writes that are atomic and keep every other value.
#include "uRegistry.h"

#include "TestUtil.h"
#include "uFileLocations.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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
        EXPECT_EQ(ConfigHome(), dir.Path() + "/.config");
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
    // The folders are the user's alone whatever the umask lets through.
    const mode_t umask = ::umask(0);
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    ::umask(umask);
    for (const char* folder : {"Halvornet", "Halvornet/Fractal"}) {
        struct stat st {};
        ASSERT_EQ(::stat(dir.File(folder).c_str(), &st), 0) << folder;
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0700u) << folder;
    }
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

TEST(Registry, AStoreOfAnySizeLosesNothingAnotherWriterPutThere)
{
    tTempDir dir;
    const std::string store = dir.File("registry");
    const std::string head = "# someone's note\nZoomDeep=dword:0\n";
    const std::string tail = "\nOther=hex:00\r\nnot a value line\n\nDetailLevel=dword:3\nLast=dword:1";
    const std::string big = std::string(3 << 19, 'x'); // 1.5 MiB on one line
    WriteTextFile(store, head + big + tail);
    tRegistryEx reg;
    ASSERT_TRUE(reg.OpenStore(store, true));
    EXPECT_EQ(reg.ReadIntegerDef("DetailLevel", 6), 3) << "a value past the first MiB";
    reg.WriteInteger("DetailLevel", 4);
    reg.WriteInteger("New", 7);
    const std::string expected =
        head + big + "\nOther=hex:00\r\nnot a value line\n\nDetailLevel=dword:4\nLast=dword:1\nNew=dword:7\n";
    const std::string written = ReadTextFile(store);
    EXPECT_TRUE(written == expected) << "every other byte kept; " << written.size() << " bytes, "
                                     << expected.size() << " expected, ending in: "
                                     << written.substr(written.size() - std::min<size_t>(written.size(), 80));
    EXPECT_EQ(reg.ReadInteger("New"), 7);
    EXPECT_EQ(reg.ReadInteger("Last"), 1);

    // Past the limit the store is read as far as it goes but never rewritten.
    const std::string huge = head + std::string(tRegistry::kMaxStoreBytes, 'y') + tail;
    WriteTextFile(store, huge);
    EXPECT_FALSE(reg.ReadBoolDef("ZoomDeep", true));
    EXPECT_EQ(reg.ReadIntegerDef("DetailLevel", 6), 6);
    try {
        reg.WriteInteger("DetailLevel", 2);
        ADD_FAILURE() << "a store too large to read whole was rewritten";
    } catch (const ERegistryException& e) {
        EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
    }
    EXPECT_EQ(std::filesystem::file_size(store), huge.size());
    EXPECT_TRUE(ReadTextFile(store) == huge) << "unchanged";
}

TEST(Registry, AStoreInAFolderThatCannotBeWrittenIsStillRead)
{
    tTempDir dir;
    const std::string folder = dir.File("ro");
    std::filesystem::create_directory(folder);
    WriteTextFile(folder + "/registry", "DetailLevel=dword:3\n");
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod((folder + "/registry").c_str(), 0644);
    ::chmod(folder.c_str(), 0555);
    // Run as an ordinary user: permissions do not bind the superuser.
    const std::string seen = RunUnprivileged([&] {
        tRegistryEx reg;
        std::string out = reg.OpenStore(folder + "/registry", true) ? "open" : "closed";
        out += " level=" + std::to_string(reg.ReadIntegerDef("DetailLevel", 6));
        try {
            reg.WriteInteger("DetailLevel", 4);
            out += " written";
        } catch (const ERegistryException&) {
            out += " refused";
        }
        return out;
    });
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(seen, "open level=3 refused");
    EXPECT_EQ(ReadTextFile(folder + "/registry"), "DetailLevel=dword:3\n");
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

namespace {
// A process that writes name = start, start + 1, ... into the store without
// end and reports each completed write as 4 bytes on a pipe.
struct tWriter {
    std::string name;
    pid_t pid = -1;
    int pipe = -1;
    int32_t done = 0; // last value reported as completed

    void Start(const std::string& store, int32_t from)
    {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            try {
                tRegistry reg;
                if (!reg.OpenStore(store, false))
                    ::_exit(2);
                for (int32_t v = from;; ++v) {
                    reg.WriteInteger(name, v);
                    if (::write(fds[1], &v, sizeof v) != sizeof v)
                        ::_exit(3);
                }
            } catch (...) {
                ::_exit(4);
            }
        }
        ::close(fds[1]);
        pipe = fds[0];
        ::fcntl(pipe, F_SETFL, O_NONBLOCK);
    }
    void Drain()
    {
        int32_t v = 0;
        while (::read(pipe, &v, sizeof v) == sizeof v)
            done = v;
    }
    void Kill()
    {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        Drain();
        ::close(pipe);
    }
};
} // namespace

// Two processes write their own value without pause and are killed with
// SIGKILL at random moments, one at a time; the survivor keeps writing. After
// every kill the store must parse line by line, hold what a third party put
// there, and hold each writer's last completed value (or the one it was
// writing when it died). QX_STORE_KILLS sets the number of kills (default 40;
// tools/store-kill-check runs 500).
TEST(Registry, WritersKilledAtRandomMomentsNeverBreakTheStoreOrLoseACompletedWrite)
{
    const char* env = std::getenv("QX_STORE_KILLS");
    const int kills = env ? std::atoi(env) : 40;
    tTempDir dir;
    const std::string store = dir.File("registry");
    const std::string foreign = "# kept by hand\nBlob=hex:00,ff\n";
    WriteTextFile(store, foreign + "Keep=string:left alone\n");

    tWriter writers[2] = {{"WriterA"}, {"WriterB"}};
    for (auto& w : writers)
        w.Start(store, 1);
    const std::regex valueLine("[^=#][^=]*=[a-z]+:.*");
    std::mt19937 random(20071024);
    int torn = 0; // kills that came between a write's rename and its report
    for (int k = 0; k < kills; ++k) {
        tWriter& victim = writers[random() % 2];
        tWriter& other = &victim == &writers[0] ? writers[1] : writers[0];
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        victim.Kill();
        other.Drain();

        const std::string text = ReadTextFile(store);
        ASSERT_EQ(text.rfind(foreign, 0), 0u) << "kill " << k << ":\n" << text;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);)
            ASSERT_TRUE(line[0] == '#' || std::regex_match(line, valueLine)) << "kill " << k << ": " << line;
        tRegistryEx reg;
        ASSERT_TRUE(reg.OpenStore(store, false));
        EXPECT_EQ(reg.ReadString("Keep"), "left alone");
        const int32_t kept = reg.ReadIntegerDef(victim.name, 0);
        ASSERT_TRUE(kept == victim.done || kept == victim.done + 1)
            << "kill " << k << ": " << victim.name << " completed " << victim.done << ", store holds " << kept;
        torn += kept != victim.done;
        EXPECT_GE(reg.ReadIntegerDef(other.name, 0), other.done) << "kill " << k;
        victim.done = kept; // what the store holds now counts as done
        victim.Start(store, kept + 1);
    }
    for (auto& w : writers)
        w.Kill();
    std::printf("%d kills, %d between a rename and its report; last values %d and %d\n", kills, torn,
                writers[0].done, writers[1].done);
}
