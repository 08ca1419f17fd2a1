#include "X11Windows.h"

#include <X11/Xlib.h>

tX11WindowPair::tX11WindowPair()
{
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return;
    display_ = d;
    parent_ = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 200, 100, 0, 0, 0);
    child_ = XCreateSimpleWindow(d, parent_, 10, 10, 50, 50, 0, 0, 0);
    XSync(d, False);
}

tX11WindowPair::~tX11WindowPair()
{
    if (auto* d = static_cast<Display*>(display_)) {
        XDestroyWindow(d, parent_);
        XCloseDisplay(d);
    }
}
