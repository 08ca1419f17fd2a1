#include "uMutex.h"

#include "uLog.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

tMutex::~tMutex() { Release(); }

std::string tMutex::LockFolder()
{
    for (const char* var : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
        const char* v = std::getenv(var);
        if (v && *v && ::access(v, W_OK) == 0)
            return std::string(v) + "/";
    }
    return "/tmp/";
}

bool tMutex::Acquire(const std::string& name)
{
    Release();
    const std::string path = LockFolder() + name + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        // Without a lock file we cannot tell other instances apart; running
        // unguarded is better than a screen saver that never starts.
        LogWarning(1, "Could not open lock file \"" + path + "\"");
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
