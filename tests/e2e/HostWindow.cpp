#include "HostWindow.h"

#include <X11/Xlib.h>

tHostWindow::tHostWindow(int x, int y)
{
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return;
    display_ = d;
    window_ = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, kWidth, kHeight, 0, 0, 0);
    XMapWindow(d, window_);
    XFlush(d);
}

tHostWindow::~tHostWindow()
{
    if (auto* d = static_cast<Display*>(display_)) {
        XDestroyWindow(d, window_);
        XCloseDisplay(d);
    }
}

std::string tHostWindow::HexId() const
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window_);
    return text;
}
