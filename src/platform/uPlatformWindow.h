#pragma once
// Inside the platform layer: the two kinds of window the engine can draw on
// behind one interface. Toolkit windows (uGLSurface.cpp) draw through the
// toolkit's OpenGL contexts; the saver's own Wayland surfaces
// (uWaylandSurface.cpp) through EGL. Not for use outside platform/.
#include "uMath.h"

#include <cstdint>
#include <memory>
#include <string>

/// One OpenGL context bound to one window, as the window's kind makes it.
class tGLContextImpl {
public:
    virtual ~tGLContextImpl() = default;
    virtual bool MakeCurrent() = 0;
    virtual bool IsCurrent() const = 0;
    virtual void DoneCurrent() = 0;
    /// Shows the back buffer; false with the reason when it failed.
    virtual bool Swap(std::string& reason) = 0;
    virtual uint64_t Id() const = 0;
};

class tPlatformWindow {
public:
    virtual ~tPlatformWindow() = default;

    virtual bool Exists() const = 0;
    /// Drawable area in screen pixels, right and bottom exclusive.
    virtual tRect Rect() const = 0;
    virtual int ScreenDepth() const = 0;
    virtual int ScreenRefreshRate() const = 0;
    virtual bool ShowFullScreen() = 0;
    virtual void ShowNormal() = 0;
    virtual bool IsFullScreen() const = 0;
    /// Raises std::runtime_error when no context can be made.
    virtual std::unique_ptr<tGLContextImpl> CreateContext() = 0;
    /// A number that identifies the drawable in log lines.
    virtual uint64_t DrawableId() const = 0;
};

/// Whatever context of either kind is current on this thread, and its
/// drawable (0 for none).
uint64_t CurrentEGLContextId();
uint64_t CurrentEGLDrawableId();

/// Reads one pixel of the current context's back buffer. Mesa's software
/// renderer on Wayland sizes a frame's buffer when the frame is first drawn
/// on, but its swap copies into buffers of the window's present size; when a
/// window shrinks after one swap and nothing is drawn before the next, that
/// copy overruns the smaller buffers and the process dies in eglSwapBuffers.
/// Reading a pixel first makes the renderer take the new size. Call it
/// before a swap whenever the window's size changed since the last one.
void TakeNewDrawableSize();
