#include "uGLSurface.h"

#include "uGuiApplication.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPointer>
#include <QScreen>
#include <QSurfaceFormat>
#include <QWidget>
#include <QWindow>

#include <cmath>
#include <stdexcept>

// ---------------------------------------------------------------------------
// Application object
// ---------------------------------------------------------------------------

namespace {

QSurfaceFormat EngineFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(8);
    format.setDepthBufferSize(0);
    format.setStencilBufferSize(0);
    return format;
}

} // namespace

void EnsureGLApplication()
{
    if (!EnsureGuiApplication())
        throw std::runtime_error("A non-graphical application object exists");
    // Without a display the application runs on the windowless platform,
    // which has no OpenGL windows.
    if (QGuiApplication::platformName() == "offscreen")
        throw std::runtime_error("No display can be reached");
}

// ---------------------------------------------------------------------------
// Window handles
// ---------------------------------------------------------------------------

namespace {

/// Keeps a widget's GL child window at the widget's size.
class tSizeFollower : public QObject {
public:
    tSizeFollower(QWidget* widget, QWindow* child) : QObject(widget), widget_(widget), child_(child) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == widget_ && event->type() == QEvent::Resize && child_)
            child_->setGeometry(0, 0, widget_->width(), widget_->height());
        return false;
    }

private:
    QPointer<QWidget> widget_;
    QPointer<QWindow> child_;
};

} // namespace

class tPlatformWindow {
public:
    ~tPlatformWindow()
    {
        // Only windows made here are ours; a child window dies with its parent
        // anyway, so the guard tells whether it is still there.
        if (owned)
            delete owned.data();
    }

    /// The window OpenGL draws on.
    QPointer<QWindow> target;
    /// The form, when the handle was made for a widget.
    QPointer<QWidget> widget;
    /// A window made by this module (test window, or a widget's GL child).
    QPointer<QWindow> owned;
};

namespace {

QWindow* TopLevelOf(const tWindowHandle& window)
{
    if (!window)
        return nullptr;
    if (window->widget)
        return window->widget->window()->windowHandle();
    if (!window->target)
        return nullptr;
    QWindow* w = window->target;
    while (w->parent())
        w = w->parent();
    return w;
}

QScreen* ScreenOf(const tWindowHandle& window)
{
    if (QWindow* top = TopLevelOf(window); top && top->screen())
        return top->screen();
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
}

void WaitForExposure(QWindow* window)
{
    QElapsedTimer timer;
    timer.start();
    while (window && !window->isExposed() && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

tWindowHandle WindowHandleFor(QWindow* window)
{
    auto handle = std::make_shared<tPlatformWindow>();
    if (window && window->surfaceType() != QSurface::OpenGLSurface && !window->handle()) {
        window->setSurfaceType(QSurface::OpenGLSurface);
        window->setFormat(EngineFormat());
    }
    handle->target = window;
    return handle;
}

tWindowHandle WindowHandleFor(QWidget* widget)
{
    auto handle = std::make_shared<tPlatformWindow>();
    if (!widget)
        return handle;
    handle->widget = widget;
    widget->winId(); // creates the native window the child lives in
    QWindow* parent = widget->windowHandle();
    if (parent && parent->supportsOpenGL()) {
        handle->target = parent;
        return handle;
    }
    // A widget's own window is a raster surface that the toolkit repaints
    // from its backing store; a native child with an OpenGL surface keeps
    // the two apart. It ignores input, so events still reach the widget.
    auto* child = new QWindow(parent);
    child->setSurfaceType(QSurface::OpenGLSurface);
    child->setFormat(EngineFormat());
    child->setFlags(Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    child->setGeometry(0, 0, widget->width(), widget->height());
    widget->installEventFilter(new tSizeFollower(widget, child));
    child->show();
    handle->target = child;
    handle->owned = child;
    return handle;
}

tWindowHandle CreateTestWindow(int width, int height)
{
    EnsureGLApplication();
    auto handle = std::make_shared<tPlatformWindow>();
    auto* window = new QWindow();
    window->setSurfaceType(QSurface::OpenGLSurface);
    window->setFormat(EngineFormat());
    window->setFlags(Qt::Window | Qt::FramelessWindowHint);
    window->setTitle("Quorex GL test");
    window->setGeometry(0, 0, width, height);
    window->show();
    WaitForExposure(window);
    handle->target = window;
    handle->owned = window;
    return handle;
}

bool WindowExists(const tWindowHandle& window) { return window && !window->target.isNull(); }

tRect WindowRect(const tWindowHandle& window)
{
    if (!WindowExists(window))
        return {};
    QWindow* w = window->target;
    const QPoint origin = w->mapToGlobal(QPoint(0, 0));
    const qreal ratio = w->devicePixelRatio();
    const int width = static_cast<int>(std::lround(w->width() * ratio));
    const int height = static_cast<int>(std::lround(w->height() * ratio));
    return {origin.x(), origin.y(), origin.x() + width, origin.y() + height};
}

int ScreenDepth(const tWindowHandle& window)
{
    QScreen* screen = ScreenOf(window);
    return screen ? screen->depth() : 0;
}

int ScreenRefreshRate(const tWindowHandle& window)
{
    QScreen* screen = ScreenOf(window);
    return screen ? static_cast<int>(std::lround(screen->refreshRate())) : 0;
}

bool ShowWindowFullScreen(const tWindowHandle& window)
{
    if (!WindowExists(window))
        return false;
    if (window->widget) {
        window->widget->window()->showFullScreen();
        return true;
    }
    QWindow* top = TopLevelOf(window);
    if (!top)
        return false;
    top->showFullScreen();
    return true;
}

void ShowWindowNormal(const tWindowHandle& window)
{
    if (!WindowExists(window))
        return;
    if (window->widget)
        window->widget->window()->showNormal();
    else if (QWindow* top = TopLevelOf(window))
        top->showNormal();
}

bool IsWindowFullScreen(const tWindowHandle& window)
{
    if (!WindowExists(window))
        return false;
    if (window->widget)
        return window->widget->window()->isFullScreen();
    QWindow* top = TopLevelOf(window);
    return top && top->windowStates().testFlag(Qt::WindowFullScreen);
}

// ---------------------------------------------------------------------------
// OpenGL context
// ---------------------------------------------------------------------------

struct tGLContext::tImpl {
    QOpenGLContext context;
    std::string simulatedFailure;
    /// The window's size in device pixels when the last frame was swapped.
    QSize swappedSize;
};

namespace {

QSize DeviceSize(const QWindow& window) { return window.size() * window.devicePixelRatio(); }

} // namespace

tGLContext::tGLContext(tWindowHandle window) : window_(std::move(window)), impl_(std::make_unique<tImpl>())
{
    if (!WindowExists(window_))
        throw std::runtime_error("The window to draw on does not exist");
    QWindow* target = window_->target;
    if (!target->supportsOpenGL())
        throw std::runtime_error("The window has no OpenGL surface");
    if (!target->handle())
        target->create();
    impl_->context.setFormat(EngineFormat());
    if (!impl_->context.create())
        throw std::runtime_error("The OpenGL context could not be created");
}

tGLContext::~tGLContext()
{
    if (QOpenGLContext::currentContext() == &impl_->context)
        impl_->context.doneCurrent();
}

bool tGLContext::MakeCurrent()
{
    if (!WindowExists(window_))
        return false;
    return impl_->context.makeCurrent(window_->target);
}

bool tGLContext::IsCurrent() const
{
    return WindowExists(window_) && QOpenGLContext::currentContext() == &impl_->context &&
           impl_->context.surface() == window_->target.data();
}

void tGLContext::DoneCurrent()
{
    if (QOpenGLContext::currentContext() == &impl_->context)
        impl_->context.doneCurrent();
}

bool tGLContext::SwapBuffers(std::string& reason)
{
    if (!impl_->simulatedFailure.empty()) {
        reason = impl_->simulatedFailure;
        return false;
    }
    if (!WindowExists(window_)) {
        reason = "The window no longer exists";
        return false;
    }
    if (!impl_->context.isValid()) {
        reason = "The rendering context was lost";
        return false;
    }
    // Swapping an unexposed window is undefined in the toolkit; there is
    // nothing to show, which is not a failure.
    QWindow* target = window_->target;
    if (!target->isExposed())
        return true;
    // Mesa's software renderer on Wayland sizes a frame's buffer when the
    // frame is first drawn on, but its swap copies into buffers of the
    // window's present size. When the window shrinks after one swap and
    // nothing is drawn before the next (a compositor tiling the saver's
    // window while it starts up does this), that copy overruns the smaller
    // buffers and the process dies in eglSwapBuffers. Reading a pixel makes
    // the renderer take the new size first.
    const QSize size = DeviceSize(*target);
    if (impl_->swappedSize.isValid() && size != impl_->swappedSize && MakeCurrent()) {
        uint32_t pixel = 0;
        impl_->context.functions()->glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
    }
    impl_->swappedSize = size;
    impl_->context.swapBuffers(target);
    return true;
}

void tGLContext::SimulateSwapFailure(std::string reason) { impl_->simulatedFailure = std::move(reason); }

uint64_t tGLContext::ContextId() const { return reinterpret_cast<uintptr_t>(&impl_->context); }

uint64_t tGLContext::DrawableId() const
{
    return WindowExists(window_) ? static_cast<uint64_t>(window_->target->winId()) : 0;
}

uint64_t tGLContext::CurrentContextId() { return reinterpret_cast<uintptr_t>(QOpenGLContext::currentContext()); }

uint64_t tGLContext::CurrentDrawableId()
{
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (!current || !current->surface() || current->surface()->surfaceClass() != QSurface::Window)
        return 0;
    return static_cast<uint64_t>(static_cast<QWindow*>(current->surface())->winId());
}
