#include "uForeignWindow.h"

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

int tForeignWindow::Width() const { return impl_->width; }
int tForeignWindow::Height() const { return impl_->height; }

bool WindowIdExists(uint64_t id)
{
    if (id == 0)
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XWindowAttributes attributes{};
    const bool ok = WithoutXErrors(
        display, [&] { return XGetWindowAttributes(display, static_cast<Window>(id), &attributes) != 0; });
    XCloseDisplay(display);
    return ok;
}
