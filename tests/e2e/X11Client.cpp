#include "X11Client.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <thread>

namespace {
Display* D(void* d) { return static_cast<Display*>(d); }
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }
} // namespace

tX11Client::tX11Client()
{
    display_ = XOpenDisplay(nullptr);
    if (display_)
        XSetErrorHandler(IgnoreErrors); // windows of the program may vanish under us
}

tX11Client::~tX11Client()
{
    if (display_)
        XCloseDisplay(D(display_));
}

uint64_t tX11Client::CreateWindow(int x, int y, int width, int height)
{
    Display* d = D(display_);
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, width, height, 0, 0, 0xC0C0C0);
    XMapWindow(d, w);
    XSync(d, False);
    return w;
}

uint64_t tX11Client::CreateChild(uint64_t parent)
{
    Display* d = D(display_);
    const Window w = XCreateSimpleWindow(d, parent, 10, 10, 40, 20, 0, 0, 0x808080);
    XMapWindow(d, w);
    XSync(d, False);
    return w;
}

void tX11Client::DestroyWindow(uint64_t window)
{
    XDestroyWindow(D(display_), window);
    XSync(D(display_), False);
}

std::optional<uint64_t> tX11Client::FindWindow(const std::string& title, std::chrono::milliseconds timeout)
{
    Display* d = D(display_);
    const Atom name = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
            std::optional<uint64_t> found;
            for (unsigned int i = 0; i < count && !found; ++i) {
                Atom type = 0;
                int format = 0;
                unsigned long items = 0, after = 0;
                unsigned char* data = nullptr;
                if (XGetWindowProperty(d, children[i], name, 0, 1024, False, utf8, &type, &format, &items, &after,
                                       &data) == Success &&
                    data) {
                    if (std::string(reinterpret_cast<char*>(data), items) == title && IsMapped(children[i]))
                        found = children[i];
                    XFree(data);
                }
            }
            if (children)
                XFree(children);
            if (found)
                return found;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

bool tX11Client::IsMapped(uint64_t window)
{
    XWindowAttributes a;
    return XGetWindowAttributes(D(display_), window, &a) && a.map_state == IsViewable;
}

std::optional<std::pair<int, int>> tX11Client::Position(uint64_t window)
{
    Display* d = D(display_);
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child))
        return std::nullopt;
    return std::make_pair(x, y);
}

uint64_t tX11Client::TransientFor(uint64_t window)
{
    Window owner = 0;
    return XGetTransientForHint(D(display_), window, &owner) ? owner : 0;
}

bool tX11Client::HasState(uint64_t window, const std::string& state)
{
    Display* d = D(display_);
    const Atom wanted = XInternAtom(d, state.c_str(), False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(d, window, XInternAtom(d, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM, &type, &format,
                           &items, &after, &data) == Success &&
        data) {
        for (unsigned long i = 0; i < items; ++i)
            found = found || reinterpret_cast<Atom*>(data)[i] == wanted;
        XFree(data);
    }
    return found;
}

void tX11Client::WatchWindowManagerRequests()
{
    XSelectInput(D(display_), DefaultRootWindow(D(display_)), SubstructureNotifyMask);
    XSync(D(display_), False);
}

bool tX11Client::ActivationRequested(uint64_t window, std::chrono::milliseconds timeout)
{
    Display* d = D(display_);
    const Atom active = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        XEvent e;
        while (XCheckTypedEvent(d, ClientMessage, &e))
            if (e.xclient.message_type == active && e.xclient.window == window)
                return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

void tX11Client::SendCloseRequest(uint64_t window)
{
    Display* d = D(display_);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, window, False, NoEventMask, &e);
    XSync(d, False);
}

void tX11Client::SendKey(uint64_t window, const std::string& keysym)
{
    Display* d = D(display_);
    XKeyEvent e{};
    e.display = d;
    e.window = window;
    e.root = DefaultRootWindow(d);
    e.time = CurrentTime;
    e.same_screen = True;
    e.keycode = XKeysymToKeycode(d, XStringToKeysym(keysym.c_str()));
    for (const int type : {KeyPress, KeyRelease}) {
        e.type = type;
        XSendEvent(d, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, reinterpret_cast<XEvent*>(&e));
    }
    XSync(d, False);
}
