#include "uFileLocations.h"

#include "uFiles.h"
#include "uPlatform.h"

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
    std::string home;
    if (const char* h = std::getenv("HOME"); h && h[0] == '/') {
        home = h;
    } else {
        struct passwd pw {};
        struct passwd* result = nullptr;
        std::vector<char> buf(16384);
        if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && pw.pw_dir &&
            pw.pw_dir[0] == '/')
            home = pw.pw_dir;
    }
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home == "/" ? std::string() : home;
}

// An absolute folder from the environment variable, else the home's subfolder.
std::string BaseFolder(const char* variable, const char* underHome)
{
    if (const char* xdg = std::getenv(variable); xdg && xdg[0] == '/')
        return xdg;
    const std::string home = HomeFolder();
    return home.empty() ? home : home + underHome;
}

std::string Under(const std::string& base) { return base.empty() ? base : base + "/" + kProgramFolderName; }
} // namespace

std::string StateHome() { return BaseFolder("XDG_STATE_HOME", "/.local/state"); }
std::string ConfigHome() { return BaseFolder("XDG_CONFIG_HOME", "/.config"); }
std::string StateFolder() { return Under(StateHome()); }
std::string ConfigFolder() { return Under(ConfigHome()); }

bool MakePrivateFolders(const std::string& path)
{
    if (path.empty())
        return false;
    for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        const std::string folder = path.substr(0, at);
        if (!folder.empty() && folder.back() != '/') {
            // The mode is set again after mkdir: the umask may have taken bits
            // off, and may even have left the user without access.
            if (::mkdir(folder.c_str(), 0700) == 0)
                ::chmod(folder.c_str(), 0700);
            else if (errno != EEXIST)
                return false;
        }
        if (at == std::string::npos)
            break;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FolderWritable(const std::string& folder)
{
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

bool InstalledLayout(const std::string& programFolder)
{
    std::error_code ec;
    return std::filesystem::is_directory(programFolder + QX_DATA_DIR_FROM_BIN, ec);
}

std::string LogFileLocation(const std::string& programFolder, bool programFolderWritable)
{
    const bool installed = InstalledLayout(programFolder);
    if (!programFolderWritable || installed) {
        const std::string state = StateFolder();
        if (!state.empty() && MakePrivateFolders(state))
            return state + "/fractal.log";
        if (installed)
            return {}; // no log rather than one among the installed files
    }
    return programFolder + "fractal.log";
}

std::string LogFileLocation()
{
    const std::string folder = ExecutableFolder();
    return LogFileLocation(folder, FolderWritable(folder));
}

std::string KeyframeDumpFolder()
{
    const std::string state = StateFolder();
    if (state.empty())
        return {};
    const std::string folder = state + "/keyframes";
    return MakePrivateFolders(folder) ? folder : std::string();
}

std::string IniFileLocation(const std::string& programFolder)
{
    const bool installed = InstalledLayout(programFolder);
    const std::string beside = programFolder + "fractal.ini";
    if (!installed && FileExists(beside))
        return beside;
    const std::string config = ConfigFolder();
    if (!config.empty()) {
        const std::string user = config + "/fractal.ini";
        if (installed || FileExists(user))
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
