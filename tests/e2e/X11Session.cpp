#include "X11Session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {
Display* D(void* d) { return static_cast<Display*>(d); }
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }
} // namespace

tX11Session::tX11Session(const std::string& display)
{
    display_ = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (display_)
        XSetErrorHandler(IgnoreErrors);
}

tX11Session::~tX11Session()
{
    if (display_)
        XCloseDisplay(D(display_));
}

int tX11Session::Width() const { return DisplayWidth(D(display_), DefaultScreen(D(display_))); }
int tX11Session::Height() const { return DisplayHeight(D(display_), DefaultScreen(D(display_))); }

tScreenShot tX11Session::Shot(int x, int y, int width, int height) const
{
    tScreenShot shot;
    XImage* image = XGetImage(D(display_), DefaultRootWindow(D(display_)), x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image)
        return shot;
    shot.width = width;
    shot.height = height;
    shot.pixels.reserve(static_cast<size_t>(width) * height);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i)
            shot.pixels.push_back(static_cast<uint32_t>(XGetPixel(image, i, j)) & 0xFFFFFFu);
    XDestroyImage(image);
    return shot;
}

void tX11Session::MoveMouse(int x, int y)
{
    XTestFakeMotionEvent(D(display_), DefaultScreen(D(display_)), x, y, CurrentTime);
    XSync(D(display_), False);
}

void tX11Session::Key(const std::string& name, bool down)
{
    const KeySym sym = XStringToKeysym(name.c_str());
    const KeyCode code = XKeysymToKeycode(D(display_), sym);
    XTestFakeKeyEvent(D(display_), code, down ? True : False, CurrentTime);
    XSync(D(display_), False);
}

void tX11Session::Tap(const std::string& name)
{
    Key(name, true);
    Key(name, false);
}

void tX11Session::Click(unsigned button)
{
    XTestFakeButtonEvent(D(display_), button, True, CurrentTime);
    XTestFakeButtonEvent(D(display_), button, False, CurrentTime);
    XSync(D(display_), False);
}

uint64_t tX11Session::CreateWindow(int x, int y, int width, int height)
{
    Display* d = D(display_);
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(width),
                                         static_cast<unsigned>(height), 0, 0, 0);
    XMapWindow(d, w);
    XSync(d, False);
    return w;
}

uint64_t tX11Session::CreateInputOnlyWindow(int x, int y, int width, int height)
{
    Display* d = D(display_);
    XSetWindowAttributes attributes{};
    const Window w = XCreateWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, 0, InputOnly, CopyFromParent, 0, &attributes);
    XMapWindow(d, w);
    XSync(d, False);
    return w;
}

void tX11Session::DestroyWindow(uint64_t window)
{
    XDestroyWindow(D(display_), static_cast<Window>(window));
    XSync(D(display_), False);
}

namespace {

/// Calls visit for every mapped top-level window with its attributes.
template <class F>
void ForEachMappedWindow(Display* d, F&& visit)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
        return;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable)
            visit(children[i], a);
    }
    if (children)
        XFree(children);
}

} // namespace

std::vector<std::vector<int>> tX11Session::MappedWindows() const
{
    std::vector<std::vector<int>> found;
    ForEachMappedWindow(D(display_), [&](Window, const XWindowAttributes& a) {
        found.push_back({a.x, a.y, a.width, a.height});
    });
    return found;
}

std::vector<std::string> tX11Session::MappedWindowTitles() const
{
    std::vector<std::string> titles;
    Display* d = D(display_);
    ForEachMappedWindow(d, [&](Window w, const XWindowAttributes&) {
        char* name = nullptr;
        if (XFetchName(d, w, &name) && name) {
            titles.emplace_back(name);
            XFree(name);
        }
    });
    return titles;
}

bool tX11Session::ScreenCovered() const
{
    for (const auto& w : MappedWindows())
        if (w[0] <= 0 && w[1] <= 0 && w[0] + w[2] >= Width() && w[1] + w[3] >= Height())
            return true;
    return false;
}

uint64_t tX11Session::CreateColouredWindow(int x, int y, int width, int height, uint32_t colour)
{
    Display* d = D(display_);
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(width),
                                         static_cast<unsigned>(height), 0, 0, colour);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    XChangeWindowAttributes(d, w, CWOverrideRedirect, &attributes);
    XMapWindow(d, w);
    XSync(d, False);
    return w;
}

tPrivateDisplay::tPrivateDisplay(const std::string& arguments)
{
    // Test programs running side by side start servers at the same moments;
    // numbers far above the usual ones, spread by process, keep them apart,
    // and a server that cannot be reached is ended and another number tried.
    for (int attempt = 0; attempt < 10 && name_.empty(); ++attempt) {
        const int number = 100 + (static_cast<int>(::getpid()) * 7 + attempt * 131) % 800;
        Start(":" + std::to_string(number), arguments);
    }
}

void tPrivateDisplay::Start(const std::string& name, const std::string& arguments)
{
    pid_ = ::fork();
    if (pid_ == 0) {
        const std::string command = "exec Xvfb " + name + " -nolisten tcp -noreset " + arguments + " >/dev/null 2>&1";
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid_ < 0)
        return;
    // Ready once it accepts a connection; gone when the number was taken.
    for (int i = 0; i < 200; ++i) {
        if (Display* d = XOpenDisplay(name.c_str())) {
            XCloseDisplay(d);
            // Still running: the server answering is ours, not another's
            // that held the number already.
            ::usleep(100000);
            if (::waitpid(pid_, nullptr, WNOHANG) == 0) {
                name_ = name;
                return;
            }
            pid_ = -1;
            return;
        }
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        ::usleep(50000);
    }
    Stop();
}

void tPrivateDisplay::Stop()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
}

tPrivateDisplay::~tPrivateDisplay() { Stop(); }
