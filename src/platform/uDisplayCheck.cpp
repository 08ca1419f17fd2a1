#include "uDisplayCheck.h"

// The toolkit's headers come before Xlib's, whose macros clash with them.
#include <QDir>
#include <QLibraryInfo>
#include <QString>
#include <QStringList>

#include "uX11Display.h"

#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> SplitPlatforms(const std::string& list)
{
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(';', start), list.size());
        // A platform may carry options ("xcb:..."): the name comes first.
        const std::string item = list.substr(start, end - start);
        const std::string name = item.substr(0, item.find(':'));
        if (!name.empty())
            names.push_back(name);
        start = end + 1;
    }
    return names;
}

/// The platforms the toolkit tries, in its order.
std::vector<std::string> PlatformsTried(const std::string& switchValue)
{
    if (!switchValue.empty())
        return SplitPlatforms(switchValue);
    if (const std::string chosen = Environment("QT_QPA_PLATFORM"); !chosen.empty())
        return SplitPlatforms(chosen);
    // A Wayland session is preferred, except on GNOME, which the toolkit
    // leaves to X11 unless told otherwise.
    const std::string desktops = Environment("XDG_CURRENT_DESKTOP") + ":" + Environment("XDG_SESSION_DESKTOP");
    if (Environment("XDG_SESSION_TYPE") == "wayland" && QString::fromStdString(desktops).toLower().indexOf("gnome") < 0)
        return {"wayland", "xcb"};
    return {"xcb"};
}

bool WaylandSupportInstalled()
{
    QStringList folders;
    for (const char* variable : {"QT_QPA_PLATFORM_PLUGIN_PATH", "QT_PLUGIN_PATH"})
        for (const QString& folder : QString::fromStdString(Environment(variable)).split(':', Qt::SkipEmptyParts))
            folders << (std::strcmp(variable, "QT_PLUGIN_PATH") == 0 ? folder + "/platforms" : folder);
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms";
    for (const QString& folder : folders)
        if (!QDir(folder).entryList({"libqwayland*.so"}, QDir::Files).isEmpty())
            return true;
    return false;
}

std::optional<tDisplayProblem> WaylandProblem()
{
    // A socket handed over by the compositor is taken as working.
    if (!Environment("WAYLAND_SOCKET").empty())
        return std::nullopt;
    std::string name = Environment("WAYLAND_DISPLAY");
    if (name.empty())
        name = "wayland-0";
    if (!WaylandSupportInstalled())
        return tDisplayProblem{name, "the toolkit's Wayland support is not installed"};
    std::string path = name;
    if (name[0] != '/') {
        const std::string runtime = Environment("XDG_RUNTIME_DIR");
        if (runtime.empty())
            return tDisplayProblem{name, "XDG_RUNTIME_DIR is not set"};
        path = runtime + "/" + name;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return tDisplayProblem{name, "its socket's path is too long"};
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!connected)
        return tDisplayProblem{name, ""};
    return std::nullopt;
}

std::optional<tDisplayProblem> X11Problem(const std::string& display)
{
    if (tX11Connection(display))
        return std::nullopt;
    return tDisplayProblem{display, display.empty() ? "DISPLAY is not set" : ""};
}

} // namespace

std::optional<tDisplayProblem> UnreachableDisplay(int argc, const char* const* argv)
{
    std::string platform;
    std::string display = Environment("DISPLAY");
    // The toolkit's own switches, spelt with one dash or two, anywhere.
    for (int i = 1; i + 1 < argc; ++i) {
        const char* arg = argv[i];
        if (std::strncmp(arg, "--", 2) == 0)
            ++arg;
        if (std::strcmp(arg, "-platform") == 0)
            platform = argv[++i];
        else if (std::strcmp(arg, "-display") == 0)
            display = argv[++i];
    }
    std::optional<tDisplayProblem> first;
    for (const std::string& name : PlatformsTried(platform)) {
        std::optional<tDisplayProblem> problem;
        if (name == "xcb")
            problem = X11Problem(display);
        else if (name.rfind("wayland", 0) == 0)
            problem = WaylandProblem();
        if (!problem)
            return std::nullopt;
        // The toolkit goes on to the next platform; the first one's display
        // is the one the user meant.
        if (!first)
            first = problem;
    }
    return first;
}
