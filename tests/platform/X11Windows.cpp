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

#include <X11/Xatom.h>

tX11Screenshot::tX11Screenshot(int width, int height)
{
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return;
    display_ = d;
    const int screen = DefaultScreen(d);
    window_ = XCreateSimpleWindow(d, RootWindow(d, screen), 0, 0, 64, 48, 0, 0, 0);
    pixmap_ = XCreatePixmap(d, window_, static_cast<unsigned>(width), static_cast<unsigned>(height),
                            static_cast<unsigned>(DefaultDepth(d, screen)));
    GC gc = XCreateGC(d, pixmap_, 0, nullptr);
    XSetForeground(d, gc, 0x204080);
    XFillRectangle(d, pixmap_, gc, 0, 0, static_cast<unsigned>(width / 2), static_cast<unsigned>(height));
    XSetForeground(d, gc, 0xC0E010);
    XFillRectangle(d, pixmap_, gc, width / 2, 0, static_cast<unsigned>(width - width / 2),
                   static_cast<unsigned>(height));
    XFreeGC(d, gc);
    XSync(d, False);
}

void tX11Screenshot::Announce(bool onRoot)
{
    auto* d = static_cast<Display*>(display_);
    onRoot_ = onRoot_ || onRoot;
    const ::Window target = onRoot ? DefaultRootWindow(d) : window_;
    const ::Pixmap p = pixmap_;
    XChangeProperty(d, target, XInternAtom(d, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&p), 1);
    XSync(d, False);
}

void tX11Screenshot::FreePixmap()
{
    auto* d = static_cast<Display*>(display_);
    XFreePixmap(d, pixmap_);
    XSync(d, False);
}

tX11Screenshot::~tX11Screenshot()
{
    if (auto* d = static_cast<Display*>(display_)) {
        if (onRoot_)
            XDeleteProperty(d, DefaultRootWindow(d), XInternAtom(d, "_SCREENSAVER_SCREENSHOT", False));
        XDestroyWindow(d, window_);
        XCloseDisplay(d); // frees the pixmap too
    }
}
