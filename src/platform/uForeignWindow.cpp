#include "uForeignWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

// Xlib reports a request on a vanished window through the error handler,
// which by default ends the process. The handler is process-wide, so it is
// swapped only around our own requests, which are synchronous (XSync) and
// therefore report their errors inside the guard.
int gErrors = 0;
int CountError(Display*, XErrorEvent*)
{
    ++gErrors;
    return 0;
}

class tErrorGuard {
public:
    explicit tErrorGuard(Display* d) : display_(d), previous_(XSetErrorHandler(CountError)) { gErrors = 0; }
    ~tErrorGuard() { XSetErrorHandler(previous_); }
    /// Waits for the server's answers; true when none of them was an error.
    bool Succeeded()
    {
        XSync(display_, False);
        return gErrors == 0;
    }

private:
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*);
};

} // namespace

tForeignWindow::tForeignWindow(uint64_t id) : id_(id)
{
    if (id != 0)
        display_ = XOpenDisplay(nullptr);
}

tForeignWindow::~tForeignWindow()
{
    if (display_)
        XCloseDisplay(static_cast<Display*>(display_));
}

bool tForeignWindow::Exists() const
{
    auto* d = static_cast<Display*>(display_);
    if (!d)
        return false;
    tErrorGuard guard(d);
    XWindowAttributes attributes;
    const Status ok = XGetWindowAttributes(d, static_cast<Window>(id_), &attributes);
    return guard.Succeeded() && ok != 0;
}

std::optional<tScreenPoint> tForeignWindow::TopLeft() const
{
    auto* d = static_cast<Display*>(display_);
    if (!d)
        return std::nullopt;
    tErrorGuard guard(d);
    int x = 0, y = 0;
    Window child = 0;
    const Bool ok =
        XTranslateCoordinates(d, static_cast<Window>(id_), DefaultRootWindow(d), 0, 0, &x, &y, &child);
    if (!guard.Succeeded() || !ok)
        return std::nullopt;
    return tScreenPoint{x, y};
}

void tForeignWindow::Activate() const
{
    auto* d = static_cast<Display*>(display_);
    if (!d || !Exists())
        return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(id_);
    event.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // the request comes from a pager-like tool, which window managers honour
    event.xclient.data.l[1] = CurrentTime;
    tErrorGuard guard(d);
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    guard.Succeeded();
}
