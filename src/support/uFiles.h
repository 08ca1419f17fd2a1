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

/// Writes the file at path through a temporary file in the same folder that
/// is flushed to disk and renamed over path only when write returned true:
/// on any failure (a full disk, an error of write) the file that was there
/// is untouched and the temporary file is gone. write receives the open
/// temporary file and fills reason when it fails. Returns the reason of a
/// failure, or an empty string.
std::string WriteFileReplacing(const std::string& path,
                               const std::function<bool(std::FILE* file, std::string& reason)>& write);
