#pragma once
// The stand-in for a registry key: a small text file of typed values, one
// value per line as name=type:data, for example
//     DetailLevel=dword:3
//     Comment=string:any text
// A key's file follows the key's path under $XDG_CONFIG_HOME (the key
// "\Software\Halvornet\Fractal\" is $XDG_CONFIG_HOME/Halvornet/Fractal/registry,
// where earlier versions kept the program's store); the environment variable
// FRACTAL_REGISTRY, a full file path, replaces it (tests and portable
// installations). Folders made for a store are private (0700).
//
// Reads go to the file every time (no caching), so what one process writes
// the next read sees. Writes are read-modify-write under a lock file, to a
// temporary file in the same folder that is flushed to disk and renamed over
// the store: a crash or a full disk leaves either the old or the new store,
// never a half-written one. A write changes only the line of its value;
// every other byte (other writers' values, comments, lines this program
// cannot parse) stays as it was.
#include "uFiles.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

/// A registry operation that could not be carried out (key not open, value
/// missing or of another type, store unreadable, write failed).
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class tRegistry {
public:
    tRegistry() = default;
    tRegistry(const tRegistry&) = delete;
    tRegistry& operator=(const tRegistry&) = delete;

    /// The store file of a key: FRACTAL_REGISTRY when set, else the config
    /// folder + the key's path without a leading "Software" + "/registry".
    /// Empty when no config folder can be found.
    static std::string StoreFileFor(const std::string& key);

    /// Opens the key with full access. With canCreate its folder is created
    /// when missing. False (and the key stays closed) when there is no such
    /// folder and it cannot be made. A folder that cannot be written is
    /// opened: reads work, writes raise.
    bool OpenKey(const std::string& key, bool canCreate);
    /// Opens a store file directly (same checks as OpenKey).
    bool OpenStore(const std::string& storePath, bool canCreate);
    void CloseKey();
    bool IsOpen() const { return open_; }
    const std::string& StorePath() const { return path_; }

    /// Never raises: false when the key is closed or the store unreadable.
    bool ValueExists(const std::string& name) const;
    /// A DWORD value as a signed 32-bit integer. Raises ERegistryException
    /// when the key is closed, the store cannot be read, or the value is
    /// missing, of another type or garbled.
    int32_t ReadInteger(const std::string& name) const;
    /// A string value; raises like ReadInteger.
    std::string ReadString(const std::string& name) const;

    /// Stores a DWORD value (the 32 bits of value). Raises ERegistryException
    /// when the key is closed or the store could not be replaced; the old
    /// store is then untouched.
    void WriteInteger(const std::string& name, int32_t value);
    /// Stores a string value; raises like WriteInteger.
    void WriteString(const std::string& name, const std::string& value);

    /// Stores larger than this are read only up to their last complete line
    /// within the limit, and never rewritten: a write raises instead of
    /// dropping what it could not read.
    static constexpr size_t kMaxStoreBytes = 8 << 20;

private:
    void WriteLine(const std::string& name, const std::string& line);

    bool open_ = false;
    std::string path_;
};

/// The accessor the program uses: reads that never raise and give a fallback.
class tRegistryEx : public tRegistry {
public:
    /// The DWORD value, or the fallback on any failure.
    int32_t ReadIntegerDef(const std::string& name, int32_t fallback) const noexcept;
    /// The DWORD value != 0, or the fallback on any failure.
    bool ReadBoolDef(const std::string& name, bool fallback) const noexcept;
};

/// Steps of a store write, for the fault seam below.
using tRegistryWriteStep = tReplaceStep;

/// Tests: the hook is asked before each step of every store write; when it
/// returns false the step fails as if the disk had refused it. An empty
/// function removes the hook.
void SetRegistryWriteFaultHook(std::function<bool(tRegistryWriteStep)> hook);

enum class tStoreMove {
    /// There was no store at the old place.
    NothingToMove,
    /// The old store is now at the new place and gone from the old one.
    Moved,
    /// Both existed: the values only the old one held were added to the new
    /// one, and the old one is gone.
    Merged,
    /// The old store could not be read; it stays where it is, untouched.
    Unreadable,
    /// The new store could not be written; the old one stays.
    Failed,
};
struct tStoreMoveResult {
    tStoreMove what;
    /// Why, for Unreadable and Failed.
    std::string reason;
};

/// Moves the store file `from` to `to` (its folder made when missing),
/// under both stores' locks. The new store is written whole (temporary file,
/// flushed, renamed) before the old one is removed, so no stored value is
/// lost at any moment.
tStoreMoveResult MoveStore(const std::string& from, const std::string& to);
