#include "uForeignWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

int gErrors = 0;
int CountXErrors(Display*, XErrorEvent*)
{
    ++gErrors;
    return 0;
}

/// Runs requests whose errors (a window that does not exist) must not end
/// the process, as Xlib's default handler would; true when none failed.
template <class F>
bool WithoutXErrors(Display* display, F&& requests)
{
    XSync(display, False);
    gErrors = 0;
    auto previous = XSetErrorHandler(CountXErrors);
    const bool ok = requests();
    XSync(display, False);
    XSetErrorHandler(previous);
    return ok && gErrors == 0;
}

} // namespace

struct tForeignWindow::tImpl {
    Display* display = nullptr;
    bool alive = false;
    int width = 0;
    int height = 0;
};

tForeignWindow::tForeignWindow(uint64_t id) : id_(id), impl_(std::make_unique<tImpl>())
{
    if (id == 0)
        return;
    impl_->display = XOpenDisplay(nullptr);
    if (!impl_->display)
        return;
    Display* display = impl_->display;
    const auto window = static_cast<Window>(id);
    XWindowAttributes attributes{};
    impl_->alive = WithoutXErrors(display, [&] {
        if (!XGetWindowAttributes(display, window, &attributes))
            return false;
        XSelectInput(display, window, StructureNotifyMask);
        return true;
    });
    impl_->width = attributes.width;
    impl_->height = attributes.height;
}

tForeignWindow::~tForeignWindow()
{
    if (impl_->display)
        XCloseDisplay(impl_->display);
}

bool tForeignWindow::Exists()
{
    Display* display = impl_->display;
    if (!display || !impl_->alive)
        return false;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == DestroyNotify && event.xdestroywindow.window == static_cast<Window>(id_)) {
            impl_->alive = false;
        } else if (event.type == ConfigureNotify && event.xconfigure.window == static_cast<Window>(id_)) {
            impl_->width = event.xconfigure.width;
            impl_->height = event.xconfigure.height;
        }
    }
    return impl_->alive;
}

std::optional<tScreenPoint> tForeignWindow::TopLeft()
{
    Display* display = impl_->display;
    if (!Exists())
        return std::nullopt;
    int x = 0;
    int y = 0;
    Window child = 0;
    const bool ok = WithoutXErrors(display, [&] {
        return XTranslateCoordinates(display, static_cast<Window>(id_), DefaultRootWindow(display), 0, 0, &x, &y,
                                     &child) != 0;
    });
    if (!ok)
        return std::nullopt;
    return tScreenPoint{x, y};
}

void tForeignWindow::Activate()
{
    Display* display = impl_->display;
    if (!Exists())
        return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(id_);
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2; // from a pager-like tool, which window managers honour
    event.xclient.data.l[1] = CurrentTime;
    WithoutXErrors(display, [&] {
        XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
        return true;
    });
}

int tForeignWindow::Width() const { return impl_->width; }
int tForeignWindow::Height() const { return impl_->height; }
