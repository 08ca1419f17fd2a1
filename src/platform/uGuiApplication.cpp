#include "uGuiApplication.h"

#include <QGuiApplication>

#include <X11/Xlib.h>

#include <cstdlib>

namespace {
bool DisplayReachable()
{
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland)
        return true;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        return false;
    // A DISPLAY that names a dead server would make the toolkit abort, so try it first.
    Display* display = XOpenDisplay(name);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}
} // namespace

bool EnsureGuiApplication()
{
    if (QCoreApplication::instance())
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;

    // The toolkit keeps references to argc and argv for the application's life.
    static int argc = 1;
    static char program[] = "quorex";
    static char platformSwitch[] = "-platform";
    static char offscreen[] = "offscreen";
    static char* argv[] = {program, platformSwitch, offscreen, nullptr};
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if ((!chosen || !*chosen) && !DisplayReachable())
        argc = 3;
    // Deliberately never freed: tearing the application down during static
    // destruction would run after the toolkit's own globals are gone. The
    // pointer keeps it reachable for leak checkers.
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    return application != nullptr;
}
