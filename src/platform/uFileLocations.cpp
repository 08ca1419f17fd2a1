#include "uFileLocations.h"

#include "uFiles.h"
#include "uPlatform.h"
#include "uRegistry.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef QX_DATA_DIR_FROM_BIN
#define QX_DATA_DIR_FROM_BIN "../share/quorex"
#endif

namespace {
constexpr char kProgramFolderName[] = "quorex";

std::string HomeFolder()
{
    if (const char* h = std::getenv("HOME"); h && h[0] == '/')
        return h;
    struct passwd pw {};
    struct passwd* result = nullptr;
    std::vector<char> buf(16384);
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && pw.pw_dir &&
        pw.pw_dir[0] == '/')
        return pw.pw_dir;
    return {};
}

// Creates the folder and its missing parents; the last one private.
bool MakeFolders(const std::string& path)
{
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
        ::mkdir(path.substr(0, at).c_str(), 0755);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

std::string StateHome()
{
    if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && xdg[0] == '/')
        return xdg;
    const std::string home = HomeFolder();
    return home.empty() ? home : home + "/.local/state";
}

std::string ConfigHome() { return tRegistry::ConfigHome(); }

bool FolderWritable(const std::string& folder)
{
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

std::string LogFileLocation(const std::string& programFolder, bool programFolderWritable)
{
    if (!programFolderWritable) {
        const std::string state = StateHome();
        if (!state.empty()) {
            const std::string folder = state + "/" + kProgramFolderName;
            if (MakeFolders(folder))
                return folder + "/fractal.log";
        }
    }
    return programFolder + "fractal.log";
}

std::string LogFileLocation()
{
    const std::string folder = ExecutableFolder();
    return LogFileLocation(folder, FolderWritable(folder));
}

std::string IniFileLocation(const std::string& programFolder)
{
    const std::string beside = programFolder + "fractal.ini";
    if (FileExists(beside))
        return beside;
    const std::string config = ConfigHome();
    if (!config.empty()) {
        const std::string user = config + "/" + kProgramFolderName + "/fractal.ini";
        if (FileExists(user))
            return user;
    }
    return beside;
}

std::string IniFileLocation() { return IniFileLocation(ExecutableFolder()); }

std::string DataFilePath(const std::string& programFolder, const std::string& name)
{
    const std::string beside = programFolder + name;
    if (FileExists(beside))
        return beside;
    const std::string installed =
        std::filesystem::path(programFolder + QX_DATA_DIR_FROM_BIN + "/" + name).lexically_normal().string();
    if (FileExists(installed))
        return installed;
    return beside;
}

std::string DataFilePath(const std::string& name) { return DataFilePath(ExecutableFolder(), name); }
