#include "uFiles.h"

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
