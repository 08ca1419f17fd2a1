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

std::string WriteFileReplacing(const std::string& path,
                               const std::function<bool(std::FILE* file, std::string& reason)>& write)
{
    std::string temp;
    const int fd = CreateTempBeside(path, temp);
    if (fd < 0)
        return std::strerror(errno);
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        const std::string reason = std::strerror(errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return reason;
    }
    std::string reason;
    bool ok = write(file, reason);
    if (ok && (std::fflush(file) != 0 || ::fsync(fd) != 0)) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return reason.empty() ? "write error" : reason;
    }
    return {};
}
