#include "uForeignWindow.h"

#include "uX11Display.h"

#include <X11/Xatom.h>

struct tForeignWindow::tImpl {
    tX11Connection connection;
    Display* display = connection.Get();
    bool alive = false;
    int width = 0;
    int height = 0;
};

tForeignWindow::tForeignWindow(uint64_t id) : id_(id), impl_(std::make_unique<tImpl>())
{
    if (id == 0 || !impl_->display)
        return;
    Display* display = impl_->display;
    const auto window = static_cast<Window>(id);
    XWindowAttributes attributes{};
    impl_->alive = impl_->connection.Checked([&] {
        if (!XGetWindowAttributes(display, window, &attributes))
            return false;
        XSelectInput(display, window, StructureNotifyMask);
        return true;
    });
    impl_->width = attributes.width;
    impl_->height = attributes.height;
}

tForeignWindow::~tForeignWindow() = default;

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
    const bool ok = impl_->connection.Checked([&] {
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
    impl_->connection.Checked([&] {
        XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
        return true;
    });
}

int tForeignWindow::Width() const { return impl_->width; }
int tForeignWindow::Height() const { return impl_->height; }
