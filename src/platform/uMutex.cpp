#include "uMutex.h"

#include "uLog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Empty when the folder is fit for lock files: a real folder (not a link to
// one), owned by this user, that nobody else can write to. Anyone who can
// plant a file there could hold the lock for us or point it elsewhere.
std::string PrivateFolderProblem(const std::string& folder)
{
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0)
        return std::strerror(errno);
    if (S_ISLNK(st.st_mode))
        return "it is a symbolic link";
    if (!S_ISDIR(st.st_mode))
        return "it is not a folder";
    if (st.st_uid != ::geteuid())
        return "it belongs to another user";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return "others can write to it";
    return {};
}

void RefuseFolder(const std::string& folder, const std::string& why)
{
    LogWarning(1, "Not using the lock folder \"" + folder + "\": " + why);
}
} // namespace

tMutex::~tMutex() { Release(); }

std::string tMutex::LockFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        const std::string folder = WithoutTrailingSlashes(runtime);
        const std::string problem = PrivateFolderProblem(folder);
        if (problem.empty())
            return folder == "/" ? folder : folder + "/";
        RefuseFolder(folder, problem);
    }
    // The temporary folder is shared by every user: only a subfolder of our
    // own, made private when it is created, holds the lock files.
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = WithoutTrailingSlashes(tmp && tmp[0] == '/' ? tmp : "/tmp");
    const std::string folder = (base == "/" ? "" : base) + "/quorex-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        RefuseFolder(folder, std::strerror(errno));
        return {};
    }
    if (const std::string problem = PrivateFolderProblem(folder); !problem.empty()) {
        RefuseFolder(folder, problem);
        return {};
    }
    return folder + "/";
}

bool tMutex::Acquire(const std::string& name)
{
    Release();
    // Without a lock file we cannot tell other instances apart; running
    // unguarded is better than a screen saver that never starts.
    const std::string folder = LockFolder();
    if (folder.empty())
        return true;
    const std::string path = folder + name + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const std::string why = fd < 0 ? (errno == ELOOP ? "it is a symbolic link" : std::strerror(errno))
                                       : "it is not a regular file";
        if (fd >= 0)
            ::close(fd);
        LogWarning(1, "Could not open lock file \"" + path + "\": " + why);
        return true;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void tMutex::Release()
{
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}
