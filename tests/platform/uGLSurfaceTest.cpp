#include "uGLSurface.h"

#include "WidgetApplication.h"

#include <GL/gl.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {
[[maybe_unused]] auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new tWidgetApplication("platform_gl_tests"));

void Pump(int ms = 100)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

uint32_t PixelAt(int x, int y)
{
    uint32_t p = 0;
    glFinish();
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &p);
    return p;
}

} // namespace

TEST(GLSurface, TestWindowRectangleAndScreen)
{
    tWindowHandle window = CreateTestWindow(200, 120);
    ASSERT_TRUE(WindowExists(window));
    const tRect r = WindowRect(window);
    EXPECT_EQ(r.right - r.left, 200) << "right is exclusive, as in a Windows window rectangle";
    EXPECT_EQ(r.bottom - r.top, 120);
    EXPECT_EQ(ScreenDepth(window), 24);
    EXPECT_EQ(ScreenDepth(nullptr), 24) << "no window: the primary screen";
    EXPECT_GT(ScreenRefreshRate(window), 0);

    EXPECT_FALSE(IsWindowFullScreen(window));
    EXPECT_TRUE(ShowWindowFullScreen(window));
    EXPECT_TRUE(IsWindowFullScreen(window));
    ShowWindowNormal(window);
    EXPECT_FALSE(IsWindowFullScreen(window));
}

TEST(GLSurface, ContextDrawsAndSwaps)
{
    tWindowHandle window = CreateTestWindow(64, 64);
    tGLContext context(window);
    EXPECT_FALSE(context.IsCurrent());
    ASSERT_TRUE(context.MakeCurrent());
    EXPECT_TRUE(context.IsCurrent());
    EXPECT_EQ(tGLContext::CurrentContextId(), context.ContextId());
    EXPECT_EQ(tGLContext::CurrentDrawableId(), context.DrawableId());
    EXPECT_NE(context.DrawableId(), 0u);

    GLint depthBits = -1, stencilBits = -1, alphaBits = -1, doubleBuffered = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    glGetIntegerv(GL_DOUBLEBUFFER, &doubleBuffered);
    EXPECT_EQ(depthBits, 0);
    EXPECT_EQ(stencilBits, 0);
    EXPECT_EQ(alphaBits, 8);
    EXPECT_TRUE(doubleBuffered);

    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(PixelAt(10, 10), 0xFF0000FFu);

    std::string reason;
    EXPECT_TRUE(context.SwapBuffers(reason));
    context.SimulateSwapFailure("no device");
    EXPECT_FALSE(context.SwapBuffers(reason));
    EXPECT_EQ(reason, "no device");
    context.SimulateSwapFailure("");
    EXPECT_TRUE(context.SwapBuffers(reason));

    context.DoneCurrent();
    EXPECT_FALSE(context.IsCurrent());
    EXPECT_EQ(tGLContext::CurrentContextId(), 0u);
}

TEST(GLSurface, AWidgetGetsAnOpenGLChildThatFollowsItsSize)
{
    QWidget widget;
    widget.setGeometry(50, 60, 160, 100);
    widget.show();
    Pump();
    tWindowHandle window = WindowHandleFor(&widget);
    ASSERT_TRUE(WindowExists(window));
    tRect r = WindowRect(window);
    EXPECT_EQ(r.right - r.left, 160);
    EXPECT_EQ(r.bottom - r.top, 100);
    EXPECT_EQ(r.left, widget.mapToGlobal(QPoint(0, 0)).x());

    tGLContext context(window);
    ASSERT_TRUE(context.MakeCurrent());
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(PixelAt(5, 5), 0xFFFF0000u);
    std::string reason;
    EXPECT_TRUE(context.SwapBuffers(reason)) << reason;

    widget.resize(220, 130);
    Pump();
    r = WindowRect(window);
    EXPECT_EQ(r.right - r.left, 220);
    EXPECT_EQ(r.bottom - r.top, 130);

    EXPECT_TRUE(ShowWindowFullScreen(window));
    Pump();
    EXPECT_TRUE(IsWindowFullScreen(window));
    EXPECT_TRUE(widget.isFullScreen());
    ShowWindowNormal(window);
    EXPECT_FALSE(widget.isFullScreen());
    context.DoneCurrent();
}

// A compositor that tiles the saver's window while it starts up may shrink
// it after one frame was swapped and before anything of the next is drawn.
// On Wayland with Mesa's software renderer the next swap then overran the
// new, smaller buffers (SIGSEGV in eglSwapBuffers). Each round here swaps a
// frame, shrinks or widens the window, swaps with nothing drawn, then draws
// at the new size.
TEST(GLSurface, SwapsSurviveAWindowResizedBetweenFrames)
{
    QWindow top;
    top.setFlags(Qt::Window | Qt::FramelessWindowHint);
    top.setGeometry(0, 0, 1000, 600);
    tWindowHandle window = WindowHandleFor(&top);
    top.show();
    Pump(300);
    tGLContext context(window);
    ASSERT_TRUE(context.MakeCurrent());
    std::string reason;
    // The first frame maps the window; a compositor then says its size.
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(context.SwapBuffers(reason)) << reason;
    Pump(300);
    for (const QSize size : {QSize(500, 600), QSize(900, 600), QSize(16, 580), QSize(300, 200)}) {
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_TRUE(context.SwapBuffers(reason)) << reason;
        top.resize(size);
        Pump(50);
        const tRect r = WindowRect(window);
        EXPECT_EQ(r.right - r.left, size.width());
        EXPECT_EQ(r.bottom - r.top, size.height());
        EXPECT_TRUE(context.SwapBuffers(reason)) << reason;
        ASSERT_TRUE(context.MakeCurrent());
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_EQ(PixelAt(size.width() - 1, size.height() - 1), 0xFF00FF00u) << "drawn at the new size";
        EXPECT_TRUE(context.SwapBuffers(reason)) << reason;
    }
    context.DoneCurrent();
}

TEST(GLSurface, AWindowWithoutOpenGLSurfaceGetsOneBeforeItIsShown)
{
    QWindow plain;
    plain.resize(40, 30);
    tWindowHandle window = WindowHandleFor(&plain);
    EXPECT_EQ(plain.surfaceType(), QSurface::OpenGLSurface);
    plain.show();
    Pump();
    tGLContext context(window);
    EXPECT_TRUE(context.MakeCurrent());
    context.DoneCurrent();
}

TEST(GLSurface, VanishedWindowsAreReportedNotUsed)
{
    auto* qwindow = new QWindow();
    tWindowHandle window = WindowHandleFor(qwindow);
    EXPECT_TRUE(WindowExists(window));
    delete qwindow;
    EXPECT_FALSE(WindowExists(window));
    const tRect r = WindowRect(window);
    EXPECT_EQ(r.right - r.left, 0);
    EXPECT_FALSE(ShowWindowFullScreen(window));
    EXPECT_FALSE(IsWindowFullScreen(window));
    EXPECT_THROW(tGLContext context(window), std::runtime_error);
    EXPECT_THROW(tGLContext context(nullptr), std::runtime_error);
    EXPECT_FALSE(WindowExists(nullptr));

    // A context outliving nothing: the test window stays while a context holds it.
    tWindowHandle test = CreateTestWindow(16, 16);
    auto context = std::make_unique<tGLContext>(test);
    test.reset();
    EXPECT_TRUE(WindowExists(context->Window()));
    EXPECT_TRUE(context->MakeCurrent());
    context->DoneCurrent();
}
