#include "uFiles.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool FileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int64_t FileSize(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

bool DeleteFileAt(const std::string& path) { return ::unlink(path.c_str()) == 0; }

namespace {
// A name beside path that no other writer uses: process id and a counter,
// created exclusively (with the usual permissions, as the umask has them).
int CreateTempBeside(const std::string& path, std::string& temp)
{
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}
} // namespace

std::string CannotCreateFileAt(const std::string& path)
{
    if (path.empty() || path.back() == '/')
        return "no file name";
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return "it is a folder";
    std::string temp;
    const int fd = CreateTempBeside(path, temp);
    if (fd < 0)
        return std::strerror(errno);
    ::close(fd);
    ::unlink(temp.c_str());
    return {};
}

std::string SaveTarget(const std::string& path, std::string& reason)
{
    // The kernel follows at most 40 links in one lookup; so does a save.
    std::string target = path;
    for (int hops = 0; hops <= 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return target;
        std::string next(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4095) + 1, '\0');
        const ssize_t n = ::readlink(target.c_str(), next.data(), next.size());
        if (n < 0 || static_cast<size_t>(n) >= next.size()) {
            reason = n < 0 ? std::strerror(errno) : "a symbolic link changed while it was read";
            return {};
        }
        next.resize(static_cast<size_t>(n));
        if (next.empty() || next[0] != '/') {
            const auto slash = target.rfind('/');
            next = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + next;
        }
        target = next;
    }
    reason = std::strerror(ELOOP);
    return {};
}

namespace {

using tWriter = std::function<bool(std::FILE* file, std::string& reason)>;

bool StepAllowed(const tReplaceRules& rules, tReplaceStep step) { return !rules.faultHook || rules.faultHook(step); }

// Writes the open descriptor through write; the descriptor is closed. Sets
// reason on failure.
bool WriteThrough(int fd, const tWriter& write, bool sync, const tReplaceRules& rules, std::string& reason)
{
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        reason = std::strerror(errno);
        ::close(fd);
        return false;
    }
    bool ok = StepAllowed(rules, tReplaceStep::WriteTemp);
    if (!ok)
        reason = std::strerror(ENOSPC);
    ok = ok && write(file, reason);
    if (ok && std::fflush(file) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (ok && sync && !StepAllowed(rules, tReplaceStep::SyncTemp)) {
        ok = false;
        reason = std::strerror(EIO);
    }
    if (ok && sync && ::fsync(fd) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (!ok && reason.empty())
        reason = "write error";
    return ok;
}

// A FIFO or character device is written in place: opened without waiting
// for a reader (a FIFO nobody reads would block the program for ever) and
// checked to be the node that was examined.
std::string WriteIntoDevice(const std::string& target, const struct stat& seen, const tWriter& write,
                            const tReplaceRules& rules)
{
    const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENXIO && S_ISFIFO(seen.st_mode) ? "no program reads from the FIFO" : std::strerror(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino) {
        ::close(fd);
        return "the file changed while it was opened";
    }
    // From here on a slow reader slows the save down instead of failing it.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::string reason;
    return WriteThrough(fd, write, false, rules, reason) ? std::string() : reason;
}

std::string ReplaceRegularFile(const std::string& target, const struct stat* old, const tWriter& write,
                               const tReplaceRules& rules)
{
    std::string temp;
    const int fd = CreateTempBeside(target, temp);
    if (fd < 0)
        return std::strerror(errno);
    if (old) {
        // Only the owner may change these; a file of another user that the
        // folder lets us replace becomes ours, as with any editor.
        [[maybe_unused]] const int owned = ::fchown(fd, old->st_uid, old->st_gid);
        ::fchmod(fd, old->st_mode & 07777);
    }
    std::string reason;
    bool ok = WriteThrough(fd, write, true, rules, reason);
    if (ok && !StepAllowed(rules, tReplaceStep::Rename)) {
        ok = false;
        reason = std::strerror(EIO);
    }
    // Whatever came to the path meanwhile must be a file we may replace.
    struct stat now {};
    if (ok && ::lstat(target.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
        ok = false;
        reason = "the file changed while it was written";
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return reason;
    }
    return {};
}

} // namespace

std::string WriteFileReplacing(const std::string& path, const tWriter& write, const tReplaceRules& rules)
{
    std::string reason;
    struct stat st {};
    if (!rules.throughLinks && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return "it is a symbolic link";
    const std::string target = SaveTarget(path, reason);
    if (target.empty())
        return reason;
    if (::lstat(target.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return std::strerror(errno);
        return ReplaceRegularFile(target, nullptr, write, rules);
    }
    if (S_ISREG(st.st_mode))
        return ReplaceRegularFile(target, &st, write, rules);
    if (S_ISDIR(st.st_mode))
        return "it is a folder";
    if (rules.intoDevices && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)))
        return WriteIntoDevice(target, st, write, rules);
    return "it is not a regular file";
}
