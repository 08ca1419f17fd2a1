#pragma once
// File helpers of the support library.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

bool FileExists(const std::string& path);
/// Size in bytes, or -1 when the file cannot be examined.
int64_t FileSize(const std::string& path);
bool DeleteFileAt(const std::string& path);

/// Empty when a new file can be made at path: its folder exists and takes a
/// new file (tried by making and removing a temporary one), and path names
/// no folder. Otherwise the reason.
std::string CannotCreateFileAt(const std::string& path);

/// Steps of a save through a temporary file, for the fault seam of
/// tReplaceRules.
enum class tReplaceStep { WriteTemp, SyncTemp, Rename };

/// What a save does with what it finds at its path.
struct tReplaceRules {
    /// A symbolic link: true saves the file it leads to (the link stays),
    /// false refuses the save.
    bool throughLinks = true;
    /// A FIFO or a character device (a terminal, /dev/null): true writes
    /// straight into it, false refuses the save. Block devices, sockets and
    /// folders are always refused.
    bool intoDevices = true;
    /// Tests: asked before each step of a save through a temporary file; a
    /// step it refuses fails as if the disk had refused it.
    std::function<bool(tReplaceStep)> faultHook;
};

/// The file a save of path writes: path itself, or where its chain of
/// symbolic links ends (which may not exist yet). Empty, with the reason,
/// when the chain is broken (a loop, an unreadable link).
std::string SaveTarget(const std::string& path, std::string& reason);

/// Saves the file at path. A regular file, or none, is written through a
/// temporary file in the same folder that is flushed to disk and renamed
/// over it only when write returned true: on any failure (a full disk, an
/// error of write) the file that was there is untouched and the temporary
/// file is gone; a replaced file keeps its permissions (and, where the
/// system allows, its owner). Links and devices are handled as the rules
/// say; nothing but a regular file is ever renamed over. write receives the
/// open file and fills reason when it fails. Returns the reason of a
/// failure, or an empty string.
std::string WriteFileReplacing(const std::string& path,
                               const std::function<bool(std::FILE* file, std::string& reason)>& write,
                               const tReplaceRules& rules = {});
