// Every file the program or a developer tool writes, against whatever may
// already be at its path: nothing, a file with private permissions, a
// symbolic link, a FIFO (with and without a reader), a character device and
// a folder. Nothing but a regular file is ever replaced, a replaced file
// keeps its permissions, and each writer either writes where it may or
// refuses without harm.
#include "uFileLocations.h"
#include "uKeyFrame.h"
#include "uLog.h"
#include "uPage.h"
#include "uRegistry.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>

namespace {

enum class tKind { Absent, PrivateFile, Link, DanglingLink, Fifo, FifoNobodyReads, Device, Folder };
enum class tOutcome { Written, Refused };

const char* KindName(tKind kind)
{
    static const std::map<tKind, const char*> names = {
        {tKind::Absent, "nothing"},          {tKind::PrivateFile, "a 0600 file"},
        {tKind::Link, "a symbolic link"},    {tKind::DanglingLink, "a link to nothing"},
        {tKind::Fifo, "a FIFO with a reader"},
        {tKind::FifoNobodyReads, "a FIFO"}, {tKind::Device, "a character device"},
        {tKind::Folder, "a folder"}};
    return names.at(kind);
}

constexpr char kOld[] = "old content\n";

struct tWriter {
    const char* name;
    /// The file name the writer uses in the test folder.
    std::string fileName;
    /// Writes dir/fileName.
    std::function<void(const std::string& dir)> write;
    /// Text a written file starts with or contains.
    std::string marker;
    /// The file that shows whether the writer wrote, when not its own.
    std::string evidence;
    std::map<tKind, tOutcome> expected;
};

std::unique_ptr<tPage> SmallPage()
{
    auto page = std::make_unique<tPage>();
    page->SetSize(4, 4, pfRGBA);
    page->Clear(tFloatColor{10, 20, 30, 255});
    return page;
}

void WriteStoreValue(const std::string& dir)
{
    tRegistry store;
    ASSERT_TRUE(store.OpenStore(dir + "/registry", false));
    try {
        store.WriteInteger("DetailLevel", 4);
    } catch (const ERegistryException&) {
    }
}

std::vector<tWriter> Writers()
{
    using enum tKind;
    constexpr tOutcome W = tOutcome::Written;
    constexpr tOutcome R = tOutcome::Refused;
    const std::map<tKind, tOutcome> kOnlyRegularFiles = {{Absent, W}, {PrivateFile, W},   {Link, R},
                                                         {DanglingLink, R}, {Fifo, R}, {FifoNobodyReads, R},
                                                         {Device, R},      {Folder, R}};
    return {
        // fractal-render, zoom-frames and path-frames save their pictures so.
        {"tool picture", "out.png", [](const std::string& dir) { SmallPage()->SaveToPngFile(dir + "/out.png"); },
         "\x89PNG",
         "",
         {{Absent, W},
          {PrivateFile, W},
          {Link, W},
          {DanglingLink, W},
          {Fifo, W},
          {FifoNobodyReads, R},
          {Device, W},
          {Folder, R}}},
        {"keyframe dump", "Fractal 1-1.bmp",
         [](const std::string& dir) {
             tScopedEnv state("XDG_STATE_HOME", dir.c_str());
             SetKeyframeDumpLimit(0);
             DumpKeyframe(*SmallPage(), "Fractal 1-1.bmp");
         },
         "BM",
         "",
         kOnlyRegularFiles},
        {"settings store", "registry",
         WriteStoreValue,
         "DetailLevel=dword:4",
         "",
         {{Absent, W},
          {PrivateFile, W},
          {Link, W},
          {DanglingLink, W},
          {Fifo, R},
          {FifoNobodyReads, R},
          {Device, R},
          {Folder, R}}},
        {"settings store lock", "registry.lock",
         WriteStoreValue,
         "DetailLevel=dword:4",
         "registry", // the lock holds nothing: the store shows whether it was taken
         kOnlyRegularFiles},
        {"log", "fractal.log",
         [](const std::string& dir) {
             const std::string old = LogFilePath();
             SetLogFilePath(dir + "/fractal.log");
             testing::internal::CaptureStderr();
             LogWarning(1, "a logged line");
             testing::internal::GetCapturedStderr();
             SetLogFilePath(old);
         },
         "a logged line",
         "",
         kOnlyRegularFiles},
    };
}

/// Where a writer of dir/name writes: the keyframe dumps have a folder of
/// their own under the state folder.
std::string PathIn(const std::string& dir, const tWriter& writer)
{
    if (writer.fileName.rfind("Fractal ", 0) == 0)
        return dir + "/quorex/keyframes/" + writer.fileName;
    return dir + "/" + writer.fileName;
}

mode_t TypeOf(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

} // namespace

TEST(SavedFiles, NothingButARegularFileIsReplacedAndEachWriterWritesOnlyWhereItMay)
{
    for (const tWriter& writer : Writers()) {
        for (const auto& [kind, outcome] : writer.expected) {
            SCOPED_TRACE(std::string(writer.name) + " over " + KindName(kind));
            tTempDir dir;
            // The store's lock test puts the kind at the lock's path; the
            // store itself then starts absent.
            const std::string path = PathIn(dir.Path(), writer);
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            const std::string target = dir.File("elsewhere");
            int reader = -1;
            switch (kind) {
            case tKind::Absent:
                break;
            case tKind::PrivateFile:
                WriteTextFile(path, kOld);
                ::chmod(path.c_str(), 0600);
                break;
            case tKind::Link:
                WriteTextFile(target, kOld);
                ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
                break;
            case tKind::DanglingLink:
                ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
                break;
            case tKind::Fifo:
            case tKind::FifoNobodyReads:
                ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
                if (kind == tKind::Fifo)
                    reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
                break;
            case tKind::Device:
                // The null device, made here: only the superuser may.
                if (::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                    continue;
                break;
            case tKind::Folder:
                std::filesystem::create_directory(path);
                break;
            }
            const mode_t typeBefore = TypeOf(path);

            writer.write(dir.Path());

            // The node at the path is what it was.
            if (kind != tKind::Absent) {
                EXPECT_EQ(TypeOf(path), typeBefore) << "the path was replaced";
            }
            const auto textOf = [](const std::string& file) {
                return std::filesystem::exists(file) ? ReadTextFile(file) : std::string();
            };
            std::string written;
            switch (kind) {
            case tKind::Absent:
                written = textOf(path);
                EXPECT_EQ(std::filesystem::exists(path), outcome == tOutcome::Written);
                break;
            case tKind::PrivateFile:
                written = textOf(path);
                EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
                          std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
                break;
            case tKind::Link:
            case tKind::DanglingLink:
                written = textOf(target);
                if (outcome == tOutcome::Refused) {
                    EXPECT_EQ(written, kind == tKind::Link ? kOld : "") << "the link's target was touched";
                }
                break;
            case tKind::Fifo: {
                char buf[4096];
                const ssize_t n = ::read(reader, buf, sizeof buf);
                written.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
                ::close(reader);
                break;
            }
            case tKind::FifoNobodyReads:
            case tKind::Device:
            case tKind::Folder:
                break;
            }
            if (!writer.evidence.empty())
                written = textOf(dir.File(writer.evidence));
            else if (kind == tKind::FifoNobodyReads || kind == tKind::Device || kind == tKind::Folder)
                continue; // nothing to read back: the node's kind was checked
            if (outcome == tOutcome::Written)
                EXPECT_NE(written.find(writer.marker), std::string::npos) << "not written: " << written;
            else
                EXPECT_EQ(written.find(writer.marker), std::string::npos) << "written: " << written;
        }
    }
    SetKeyframeDumpLimit(0);
}
