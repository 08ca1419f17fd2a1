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

uint64_t tX11Client::CreateWindow(uint64_t parent, int x, int y, int width, int height)
{
    Display* d = D(display_);
    const Window in = parent ? parent : DefaultRootWindow(d);
    const Window w = XCreateSimpleWindow(d, in, x, y, width, height, 0, 0, 0xC0C0C0);
    XMapWindow(d, w);
    XSync(d, False);
    return w;
}

void tX11Client::DestroyWindow(uint64_t window)
{
    XDestroyWindow(D(display_), window);
    XSync(D(display_), False);
}

std::string tX11Client::Property(uint64_t window, const char* name, unsigned long type)
{
    Display* d = D(display_);
    Atom actual = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(d, window, XInternAtom(d, name, False), 0, 1024, False, type, &actual, &format, &items,
                           &after, &data) == Success &&
        data) {
        value.assign(reinterpret_cast<char*>(data), items * (format == 32 ? sizeof(long) : format / 8));
        XFree(data);
    }
    return value;
}

std::optional<uint64_t> tX11Client::FindWindow(int pid, const std::string& title, std::chrono::milliseconds timeout)
{
    Display* d = D(display_);
    const long ownerPid = pid;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        std::optional<uint64_t> found;
        if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && !found; ++i)
                if (Property(children[i], "_NET_WM_NAME", XInternAtom(d, "UTF8_STRING", False)) == title &&
                    Property(children[i], "_NET_WM_PID", XA_CARDINAL) ==
                        std::string(reinterpret_cast<const char*>(&ownerPid), sizeof ownerPid) &&
                    IsMapped(children[i]))
                    found = children[i];
            XFree(children);
        }
        if (found)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

bool tX11Client::IsMapped(uint64_t window)
{
    XWindowAttributes a;
    return XGetWindowAttributes(D(display_), window, &a) && a.map_state == IsViewable;
}

bool tX11Client::WaitForFocus(uint64_t window, std::chrono::milliseconds timeout)
{
    Display* d = D(display_);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(d, &focus, &revert);
        // The focus may lie on a child of the window: walk up to the root.
        for (Window w = focus; w != 0 && w != PointerRoot;) {
            if (w == window)
                return true;
            Window root = 0, parent = 0;
            Window* children = nullptr;
            unsigned int count = 0;
            if (!XQueryTree(d, w, &root, &parent, &children, &count))
                break;
            XFree(children);
            w = parent == root ? 0 : parent;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::optional<std::pair<int, int>> tX11Client::Position(uint64_t window)
{
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(D(display_), window, DefaultRootWindow(D(display_)), 0, 0, &x, &y, &child))
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
    const std::string atoms = Property(window, "_NET_WM_STATE", XA_ATOM);
    const Atom wanted = XInternAtom(D(display_), state.c_str(), False);
    for (size_t at = 0; at + sizeof(long) <= atoms.size(); at += sizeof(long))
        if (*reinterpret_cast<const long*>(atoms.data() + at) == static_cast<long>(wanted))
            return true;
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
    XSendEvent(d, window, False, NoEventMask, &e);
    XSync(d, False);
}

void tX11Client::SendKey(uint64_t window, const std::string& keysym)
{
    Display* d = D(display_);
    XKeyEvent e{};
    e.window = window;
    e.root = DefaultRootWindow(d);
    e.same_screen = True;
    e.keycode = XKeysymToKeycode(d, XStringToKeysym(keysym.c_str()));
    for (const int type : {KeyPress, KeyRelease}) {
        e.type = type;
        XSendEvent(d, window, True, type == KeyPress ? KeyPressMask : KeyReleaseMask, reinterpret_cast<XEvent*>(&e));
    }
    XSync(d, False);
}
