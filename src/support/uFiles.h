#pragma once
// File helpers of the support library.
#include <cstdint>
#include <string>

bool FileExists(const std::string& path);
/// Size in bytes, or -1 when the file cannot be examined.
int64_t FileSize(const std::string& path);
bool DeleteFileAt(const std::string& path);
