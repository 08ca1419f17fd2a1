#include "uDisplayCheck.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>

std::optional<std::string> UnreachableDisplay(int argc, const char* const* argv)
{
    const char* platformEnv = std::getenv("QT_QPA_PLATFORM");
    std::string platform = platformEnv ? platformEnv : "";
    const char* displayEnv = std::getenv("DISPLAY");
    std::string display = displayEnv ? displayEnv : "";
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
    // A list of platforms ("xcb;offscreen") or one with options ("xcb:...").
    const std::string first = platform.substr(0, platform.find_first_of(";:"));
    if (!first.empty() && first != "xcb")
        return std::nullopt;
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); first.empty() && wayland && *wayland)
        return std::nullopt;
    Display* connection = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!connection)
        return display;
    XCloseDisplay(connection);
    return std::nullopt;
}
