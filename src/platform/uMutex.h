#pragma once
// A named, process-wide lock: one instance per mode family. It is an
// exclusive flock on a lock file named after the mutex in $XDG_RUNTIME_DIR
// (else the temporary folder); the system releases it when the process ends,
// however it ends.
#include <string>

class tMutex {
public:
    tMutex() = default;
    ~tMutex();
    tMutex(const tMutex&) = delete;
    tMutex& operator=(const tMutex&) = delete;

    /// False when another process holds the name; true when this object now
    /// holds it, or when no lock file can be made at all (logged; the
    /// program then runs unguarded rather than not at all).
    bool Acquire(const std::string& name);
    bool Held() const { return fd_ >= 0; }
    void Release();

    /// Folder of the lock files.
    static std::string LockFolder();

private:
    int fd_ = -1;
};
