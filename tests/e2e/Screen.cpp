#include "Screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_set>

tXvfb::tXvfb()
{
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                 "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    // Xvfb writes the display number once it accepts clients.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (pid_ > 0 && ::poll(&p, 1, 30000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(fds[0]);
    if (!number.empty() && c == '\n')
        name_ = ":" + number;
}

tXvfb::~tXvfb()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

size_t tPixels::Colours() const { return std::unordered_set<uint32_t>(rgb.begin(), rgb.end()).size(); }

double tPixels::ChangedShare(const tPixels& other) const
{
    if (rgb.empty() || rgb.size() != other.rgb.size())
        return 1.0;
    size_t changed = 0;
    for (size_t i = 0; i < rgb.size(); ++i)
        changed += rgb[i] != other.rgb[i];
    return static_cast<double>(changed) / static_cast<double>(rgb.size());
}

tPixels GrabPixels(const std::string& display, uint64_t window)
{
    tPixels shot;
    Display* d = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!d)
        return shot;
    const Window source = window != 0 ? static_cast<Window>(window) : DefaultRootWindow(d);
    XWindowAttributes a{};
    XGetWindowAttributes(d, source, &a);
    if (XImage* image = XGetImage(d, source, 0, 0, static_cast<unsigned>(a.width), static_cast<unsigned>(a.height),
                                  AllPlanes, ZPixmap)) {
        shot.width = a.width;
        shot.height = a.height;
        shot.rgb.reserve(static_cast<size_t>(a.width) * static_cast<size_t>(a.height));
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x)
                shot.rgb.push_back(static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
        XDestroyImage(image);
    }
    XCloseDisplay(d);
    return shot;
}

tColouredWindow::tColouredWindow(const std::string& display, int x, int y, int width, int height, uint32_t rgb)
{
    Display* d = XOpenDisplay(display.c_str());
    if (!d)
        return;
    display_ = d;
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True; // placed exactly, with no window manager
    attributes.background_pixel = rgb;
    const Window w = XCreateWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                   CWOverrideRedirect | CWBackPixel, &attributes);
    XMapWindow(d, w);
    XSync(d, False);
}

tColouredWindow::~tColouredWindow()
{
    if (auto* d = static_cast<Display*>(display_))
        XCloseDisplay(d);
}
