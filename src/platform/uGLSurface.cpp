#include "uGLSurface.h"

#include "uGuiApplication.h"
#include "uPlatformWindow.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QPointer>
#include <QScreen>
#include <QSurfaceFormat>
#include <QWidget>
#include <QWindow>

#include <GL/gl.h>

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

/// A toolkit window: a top-level window, a foreign window's child, or the
/// OpenGL child of a widget.
class tQtWindow : public tPlatformWindow {
public:
    ~tQtWindow() override
    {
        // Only windows made here are ours; a child window dies with its parent
        // anyway, so the guard tells whether it is still there.
        if (owned)
            delete owned.data();
    }

    bool Exists() const override { return !target.isNull(); }
    tRect Rect() const override;
    int ScreenDepth() const override;
    int ScreenRefreshRate() const override;
    bool ShowFullScreen() override;
    void ShowNormal() override;
    bool IsFullScreen() const override;
    std::unique_ptr<tGLContextImpl> CreateContext() override;
    uint64_t DrawableId() const override { return target ? static_cast<uint64_t>(target->winId()) : 0; }

    /// The window OpenGL draws on.
    QPointer<QWindow> target;
    /// The form, when the handle was made for a widget.
    QPointer<QWidget> widget;
    /// A window made by this module (test window, or a widget's GL child).
    QPointer<QWindow> owned;

private:
    QWindow* TopLevel() const;
    QScreen* Screen() const;
};

namespace {

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
    auto handle = std::make_shared<tQtWindow>();
    if (window && window->surfaceType() != QSurface::OpenGLSurface && !window->handle()) {
        window->setSurfaceType(QSurface::OpenGLSurface);
        window->setFormat(EngineFormat());
    }
    handle->target = window;
    return handle;
}

tWindowHandle WindowHandleFor(QWidget* widget)
{
    auto handle = std::make_shared<tQtWindow>();
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
    auto handle = std::make_shared<tQtWindow>();
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

QWindow* tQtWindow::TopLevel() const
{
    if (widget)
        return widget->window()->windowHandle();
    if (!target)
        return nullptr;
    QWindow* w = target;
    while (w->parent())
        w = w->parent();
    return w;
}

QScreen* tQtWindow::Screen() const
{
    if (QWindow* top = TopLevel(); top && top->screen())
        return top->screen();
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
}

tRect tQtWindow::Rect() const
{
    if (!target)
        return {};
    const QPoint origin = target->mapToGlobal(QPoint(0, 0));
    const qreal ratio = target->devicePixelRatio();
    const int width = static_cast<int>(std::lround(target->width() * ratio));
    const int height = static_cast<int>(std::lround(target->height() * ratio));
    return {origin.x(), origin.y(), origin.x() + width, origin.y() + height};
}

int tQtWindow::ScreenDepth() const
{
    QScreen* screen = Screen();
    return screen ? screen->depth() : 0;
}

int tQtWindow::ScreenRefreshRate() const
{
    QScreen* screen = Screen();
    return screen ? static_cast<int>(std::lround(screen->refreshRate())) : 0;
}

bool tQtWindow::ShowFullScreen()
{
    if (!target)
        return false;
    if (widget) {
        widget->window()->showFullScreen();
        return true;
    }
    QWindow* top = TopLevel();
    if (!top)
        return false;
    top->showFullScreen();
    return true;
}

void tQtWindow::ShowNormal()
{
    if (!target)
        return;
    if (widget)
        widget->window()->showNormal();
    else if (QWindow* top = TopLevel())
        top->showNormal();
}

bool tQtWindow::IsFullScreen() const
{
    if (!target)
        return false;
    if (widget)
        return widget->window()->isFullScreen();
    QWindow* top = TopLevel();
    return top && top->windowStates().testFlag(Qt::WindowFullScreen);
}

// ---------------------------------------------------------------------------
// Window facts, for either kind of window
// ---------------------------------------------------------------------------

bool WindowExists(const tWindowHandle& window) { return window && window->Exists(); }

tRect WindowRect(const tWindowHandle& window) { return WindowExists(window) ? window->Rect() : tRect{}; }

int ScreenDepth(const tWindowHandle& window)
{
    if (window)
        return window->ScreenDepth();
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && QGuiApplication::primaryScreen()
               ? QGuiApplication::primaryScreen()->depth()
               : 0;
}

int ScreenRefreshRate(const tWindowHandle& window)
{
    if (window)
        return window->ScreenRefreshRate();
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && QGuiApplication::primaryScreen()
               ? static_cast<int>(std::lround(QGuiApplication::primaryScreen()->refreshRate()))
               : 0;
}

bool ShowWindowFullScreen(const tWindowHandle& window) { return WindowExists(window) && window->ShowFullScreen(); }

void ShowWindowNormal(const tWindowHandle& window)
{
    if (WindowExists(window))
        window->ShowNormal();
}

bool IsWindowFullScreen(const tWindowHandle& window) { return WindowExists(window) && window->IsFullScreen(); }

// ---------------------------------------------------------------------------
// OpenGL contexts
// ---------------------------------------------------------------------------

namespace {

class tQtGLContext : public tGLContextImpl {
public:
    explicit tQtGLContext(QWindow* target) : target_(target)
    {
        if (!target->supportsOpenGL())
            throw std::runtime_error("The window has no OpenGL surface");
        if (!target->handle())
            target->create();
        context_.setFormat(EngineFormat());
        if (!context_.create())
            throw std::runtime_error("The OpenGL context could not be created");
    }
    ~tQtGLContext() override { tQtGLContext::DoneCurrent(); }

    bool MakeCurrent() override { return target_ && context_.makeCurrent(target_); }
    bool IsCurrent() const override
    {
        return target_ && QOpenGLContext::currentContext() == &context_ && context_.surface() == target_.data();
    }
    void DoneCurrent() override
    {
        if (QOpenGLContext::currentContext() == &context_)
            context_.doneCurrent();
    }
    bool Swap(std::string& reason) override
    {
        if (!context_.isValid()) {
            reason = "The rendering context was lost";
            return false;
        }
        // Swapping an unexposed window is undefined in the toolkit; there is
        // nothing to show, which is not a failure.
        if (!target_->isExposed())
            return true;
        const QSize size = target_->size() * target_->devicePixelRatio();
        if (swappedSize_.isValid() && size != swappedSize_ && MakeCurrent())
            TakeNewDrawableSize();
        swappedSize_ = size;
        context_.swapBuffers(target_);
        return true;
    }
    uint64_t Id() const override { return reinterpret_cast<uintptr_t>(&context_); }

private:
    QPointer<QWindow> target_;
    QOpenGLContext context_;
    /// The window's size in device pixels when the last frame was swapped.
    QSize swappedSize_;
};

} // namespace

std::unique_ptr<tGLContextImpl> tQtWindow::CreateContext() { return std::make_unique<tQtGLContext>(target); }

void TakeNewDrawableSize()
{
    uint32_t pixel = 0;
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
}

tGLContext::tGLContext(tWindowHandle window) : window_(std::move(window))
{
    if (!WindowExists(window_))
        throw std::runtime_error("The window to draw on does not exist");
    impl_ = window_->CreateContext();
}

tGLContext::~tGLContext() = default;

bool tGLContext::MakeCurrent() { return WindowExists(window_) && impl_->MakeCurrent(); }

bool tGLContext::IsCurrent() const { return WindowExists(window_) && impl_->IsCurrent(); }

void tGLContext::DoneCurrent() { impl_->DoneCurrent(); }

bool tGLContext::SwapBuffers(std::string& reason)
{
    if (!simulatedFailure_.empty()) {
        reason = simulatedFailure_;
        return false;
    }
    if (!WindowExists(window_)) {
        reason = "The window no longer exists";
        return false;
    }
    return impl_->Swap(reason);
}

void tGLContext::SimulateSwapFailure(std::string reason) { simulatedFailure_ = std::move(reason); }

uint64_t tGLContext::ContextId() const { return impl_->Id(); }

uint64_t tGLContext::DrawableId() const { return WindowExists(window_) ? window_->DrawableId() : 0; }

uint64_t tGLContext::CurrentContextId()
{
    if (const uint64_t egl = CurrentEGLContextId())
        return egl;
    return reinterpret_cast<uintptr_t>(QOpenGLContext::currentContext());
}

uint64_t tGLContext::CurrentDrawableId()
{
    if (const uint64_t egl = CurrentEGLDrawableId())
        return egl;
    QOpenGLContext* current = QOpenGLContext::currentContext();
    if (!current || !current->surface() || current->surface()->surfaceClass() != QSurface::Window)
        return 0;
    return static_cast<uint64_t>(static_cast<QWindow*>(current->surface())->winId());
}
