#include "uAssert.h"
#include "uLog.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct tFixedClock {
    explicit tFixedClock(std::string text) { SetLogClockText([text] { return text; }); }
    ~tFixedClock() { SetLogClockText({}); }
};
} // namespace

TEST(Log, FileAndListLevelsAreSeparate)
{
    tCapturedLog log;
    tFixedClock clock("01:02:03");
    LogFileLevel = 2;
    LogListLevel = 3;
    LogNote(3, "summary");
    EXPECT_FALSE(log.FileContains("summary"));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "01:02:03     [3] summary");

    LogFileLevel = 3; // as after the settings are applied
    LogNote(3, "summary");
    EXPECT_EQ(log.FileLines(), std::vector<std::string>{"01:02:03     summary"});

    LogNote(4, "duration");
    EXPECT_FALSE(log.FileContains("duration"));
    EXPECT_EQ(log.lines.size(), 2u);
}

TEST(Log, WarningsAlwaysReachTheFileWithoutTimeStamp)
{
    tCapturedLog log;
    LogFileLevel = 0;
    LogWarning(5, "Could not release invalid page");
    EXPECT_EQ(log.FileLines(), std::vector<std::string>{"Could not release invalid page"});
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "[5] Could not release invalid page");
}

TEST(Log, TimeStampIsPaddedToTwelveButNeverCut)
{
    tCapturedLog log;
    {
        tFixedClock clock("12:34:56");
        EXPECT_EQ(LogTimeStamp(), "12:34:56    ");
        LogNote(1, "x");
    }
    {
        tFixedClock clock("12:34:56 AM Central Time");
        LogNote(1, "y");
    }
    const auto lines = log.FileLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "12:34:56     x"); // four spaces of padding, then the separator
    EXPECT_EQ(lines[1], "12:34:56 AM Central Time y");
    EXPECT_GE(LogTimeStamp().size(), 12u);
}

namespace {
class tDetachedList : public tLogList {
public:
    bool parent = false;
    bool enabled = false;
    int received = 0;
    bool HasParent() const override { return parent; }
    bool IsEnabled() const override { return enabled; }
    void AddLine(const std::string&) override { ++received; }
};
} // namespace

TEST(Log, ListsWithoutParentOrDisabledReceiveNothing)
{
    tCapturedLog log;
    tDetachedList list;
    SetLogNotesList(&list);
    SetLogWarningsList(&list);
    LogNote(1, "note");
    LogWarning(1, "warning");
    EXPECT_EQ(list.received, 0);
    list.parent = true;
    list.enabled = true;
    LogNote(1, "note");
    LogWarning(1, "warning");
    EXPECT_EQ(list.received, 2);
    EXPECT_EQ(log.FileCount("note"), 2);
}

TEST(Log, EachLineStandsAloneAndFileErrorsAreSwallowed)
{
    tCapturedLog log;
    LogNote(1, "first");
    std::remove(LogFilePath().c_str());
    LogNote(1, "second"); // recreates the file
    const auto lines = log.FileLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("second"), std::string::npos);

    SetLogFilePath("/nonexistent-folder/for/sure/fractal.log");
    EXPECT_NO_THROW(LogNote(1, "lost"));
    EXPECT_NO_THROW(LogWarning(1, "lost"));
}

TEST(Log, ARunningLogMovesAsideAtItsLimitInsteadOfGrowingForEver)
{
    tCapturedLog log;
    SetRunningLogLimit(200);
    for (int i = 0; i < 10; ++i)
        LogWarning(1, std::string(45, static_cast<char>('a' + i))); // 46 bytes a line
    SetRunningLogLimit(0);
    // Lines a-e filled the first file (230 bytes); f moved it aside.
    const std::string older = ReadTextFile(LogFilePath() + ".old");
    const std::string newer = ReadTextFile(LogFilePath());
    EXPECT_EQ(older.size(), 5u * 46);
    EXPECT_EQ(older.substr(0, 45), std::string(45, 'a'));
    EXPECT_EQ(newer.size(), 5u * 46);
    EXPECT_EQ(newer.substr(0, 45), std::string(45, 'f'));
    std::remove((LogFilePath() + ".old").c_str());
}

TEST(Log, ALinkOrFifoAtTheLogPathIsNotWrittenThrough)
{
    tCapturedLog log;
    tTempDir dir;
    const std::string target = dir.File("target");
    WriteTextFile(target, "keep\n");
    ASSERT_EQ(::symlink(target.c_str(), dir.File("fractal.log").c_str()), 0);
    testing::internal::CaptureStderr();
    StartLogFile(dir.File("fractal.log"), 1); // a link is not deleted, whatever its target's size
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("fractal.log")));
    LogNote(1, "note");
    LogWarning(1, "warning");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadTextFile(target), "keep\n");
    EXPECT_NE(err.find("Not writing the log to \"" + dir.File("fractal.log") + "\": it is a symbolic link"),
              std::string::npos)
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "warned once: " << err;

    // A FIFO without a reader would block every line.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    SetLogFilePath(dir.File("fifo"));
    testing::internal::CaptureStderr();
    LogNote(1, "note");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("is not a regular file"), std::string::npos);
}

TEST(Log, AnUnusableLogPathIsNamedOnceOnStandardErrorWithTheReason)
{
    tTempDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    WriteTextFile(dir.File("locked"), "");
    ::chmod(dir.File("locked").c_str(), 0);
    ::chmod(dir.Path().c_str(), 0755); // the ordinary user may look inside
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir.File("folder"), "it is a folder"},
        {dir.File("missing/fractal.log"), std::strerror(ENOENT)},
        {dir.File("locked"), std::strerror(EACCES)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        // As an ordinary user: file permissions do not bind the superuser.
        const std::string err = RunUnprivileged([&] {
            SetLogFilePath(c.path);
            testing::internal::CaptureStderr();
            LogNote(1, "first");
            LogWarning(1, "second");
            LogNote(1, "third");
            return testing::internal::GetCapturedStderr();
        });
        EXPECT_EQ(err, "Not writing the log to \"" + c.path + "\": " + c.reason + "\n");
    }
}

TEST(Assert, CarriesUnitAndLine)
{
    EXPECT_NO_THROW(Assert(true, "uFractal", 729));
    try {
        Assert(false, "uFractal", 729);
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uFractal");
        EXPECT_EQ(e.Line(), 729);
        EXPECT_EQ(e.Message(), "Assertion failure");
        EXPECT_STREQ(e.what(), "Assertion failure (uFractal, line 729)");
    }
    EXPECT_THROW(Assert(false, "uPage", 803, "NIY"), std::exception);
}
