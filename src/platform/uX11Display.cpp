// The toolkit's headers come before Xlib's, whose macros clash with them.
#include <QGuiApplication>

#include "uX11Display.h"

#include <cstdlib>

namespace {
int gErrors = 0;
int CountXErrors(Display*, XErrorEvent*)
{
    ++gErrors;
    return 0;
}
} // namespace

std::string ToolkitDisplayName()
{
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>())
            if (Display* display = x11->display())
                return DisplayString(display);
    const char* name = std::getenv("DISPLAY");
    return name ? name : "";
}

tX11Connection::tX11Connection() : tX11Connection(ToolkitDisplayName()) {}

tX11Connection::tX11Connection(const std::string& displayName)
    : display_(XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str()))
{
}

tX11Connection::~tX11Connection()
{
    if (display_)
        XCloseDisplay(display_);
}

void tX11Connection::BeginChecking()
{
    // Errors of earlier requests are not this group's.
    XSync(display_, False);
    gErrors = 0;
    previous_ = XSetErrorHandler(CountXErrors);
}

bool tX11Connection::EndChecking()
{
    XSync(display_, False);
    XSetErrorHandler(previous_);
    return gErrors == 0;
}
