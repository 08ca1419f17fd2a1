#pragma once
// Windows the engine draws on with OpenGL, behind plain C++ declarations.
//   - tWindowHandle: a shared, non-owning reference to a toolkit window
//   - window facts: rectangle, screen depth and refresh rate, full screen
//   - tGLContext: one OpenGL context bound to a window
//   - CreateTestWindow: a window with nothing around it, for tests and tools
// The forms pass their toolkit windows in through WindowHandleFor; the Qt
// classes are only named here, never included.
#include "uMath.h"

#include <cstdint>
#include <memory>
#include <string>

class QWindow;
class QWidget;

/// The platform's record of a window the engine may draw on: a toolkit
/// window, or one of the saver's own Wayland surfaces (defined in the
/// platform sources).
class tPlatformWindow;
class tGLContextImpl;

/// Copies refer to the same window. A handle never keeps a form alive: when
/// the toolkit window is destroyed the handle reports WindowExists() false.
/// Test windows (CreateTestWindow) belong to their handles and close with the
/// last copy.
using tWindowHandle = std::shared_ptr<tPlatformWindow>;

/// A window whose surface already supports OpenGL, or any other top-level
/// window (then it is given an OpenGL surface before it is first shown).
tWindowHandle WindowHandleFor(QWindow* window);
/// A widget (a form): OpenGL draws into a native child window that covers the
/// widget's area, follows its size and lets mouse and keyboard input through
/// to the widget, so the widget's own painting never overwrites a frame.
tWindowHandle WindowHandleFor(QWidget* widget);

/// Makes sure the toolkit's graphical application object exists on a display
/// (tests and tools have none of their own; see EnsureGuiApplication).
/// Raises std::runtime_error when no display can be reached or a
/// non-graphical application object exists already.
void EnsureGLApplication();

/// A shown top-level window of the given client size with an OpenGL surface,
/// for tests and developer tools. Waits (at most two seconds) until the
/// window system has mapped it. Raises std::runtime_error without a display.
tWindowHandle CreateTestWindow(int width, int height);

/// False once the toolkit window behind the handle is gone (or for none).
bool WindowExists(const tWindowHandle& window);

/// The window's drawable area in screen pixels, as Windows reports a window
/// rectangle: right and bottom are exclusive (right = left + width), so
/// right − left + 1 is one more than the width. The engine's projections are
/// built on exactly that convention. All zero for a vanished window.
tRect WindowRect(const tWindowHandle& window);

/// Colour depth in bits of the screen the window is on (the primary screen
/// for none); 0 when there is no screen.
int ScreenDepth(const tWindowHandle& window);
/// Refresh rate in hertz of that screen, rounded; 0 when unknown.
int ScreenRefreshRate(const tWindowHandle& window);

/// Shows the window (for a widget: its top-level window) full screen, which
/// on X11 window managers removes the border and keeps it above other
/// windows. False for a vanished window.
bool ShowWindowFullScreen(const tWindowHandle& window);
/// Back to the normal window state.
void ShowWindowNormal(const tWindowHandle& window);
bool IsWindowFullScreen(const tWindowHandle& window);

/// One OpenGL context on a window: compatibility profile, double-buffered
/// RGBA with 8 bits per channel, no depth, stencil or accumulation buffers.
class tGLContext {
public:
    /// Creates the context; raises std::runtime_error when the window is gone
    /// or no context can be made. The context is not yet current.
    explicit tGLContext(tWindowHandle window);
    ~tGLContext();
    tGLContext(const tGLContext&) = delete;
    tGLContext& operator=(const tGLContext&) = delete;

    /// Makes the context current on its window on this thread.
    bool MakeCurrent();
    /// True when this context is current on its own window.
    bool IsCurrent() const;
    void DoneCurrent();

    /// Shows the back buffer. On failure returns false and puts the reason
    /// into reason; the frame is then lost. A window that is not exposed
    /// (hidden, minimised) shows nothing and counts as success.
    bool SwapBuffers(std::string& reason);
    /// Test seam: while the reason is not empty every swap fails with it.
    void SimulateSwapFailure(std::string reason);

    const tWindowHandle& Window() const { return window_; }

    /// Numbers that identify the context and its drawable in log lines.
    uint64_t ContextId() const;
    uint64_t DrawableId() const;
    /// The same for whatever context is current on this thread (0 for none).
    static uint64_t CurrentContextId();
    static uint64_t CurrentDrawableId();

private:
    tWindowHandle window_;
    std::unique_ptr<tGLContextImpl> impl_;
    std::string simulatedFailure_;
};
