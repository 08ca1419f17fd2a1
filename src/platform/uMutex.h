#pragma once
// A named, process-wide lock: one instance per mode family. It is an
// exclusive flock on a lock file named after the mutex in a folder only this
// user can write to: $XDG_RUNTIME_DIR, else the private subfolder
// quorex-<uid> of the temporary folder. The system releases the lock when
// the process ends, however it ends.
#include <string>

class tMutex {
public:
    tMutex() = default;
    ~tMutex();
    tMutex(const tMutex&) = delete;
    tMutex& operator=(const tMutex&) = delete;

    /// False when another process holds the name; true when this object now
    /// holds it, or when no lock file can be had at all (logged; the program
    /// then runs unguarded rather than not at all). A lock file that is a
    /// symbolic link or not a regular file is never opened.
    bool Acquire(const std::string& name);
    bool Held() const { return fd_ >= 0; }
    void Release();

    /// Folder of the lock files, with a trailing separator: $XDG_RUNTIME_DIR
    /// when it is a real folder of this user that no one else can write to,
    /// else $TMPDIR (or /tmp) + "/quorex-<uid>", made with mode 0700 when
    /// missing and checked the same way. Empty (with a warning in the log)
    /// when no such folder can be had.
    static std::string LockFolder();

private:
    int fd_ = -1;
};
