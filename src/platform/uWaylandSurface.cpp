// Sections: surfaces and their roles; the window the engine draws on; EGL
// contexts.
#include "uLog.h"
#include "uPlatformWindow.h"
#include "uWaylandState.h"

#include <wayland-egl.h>

#include <cmath>
#include <stdexcept>

// ---------------------------------------------------------------------------
// Surfaces and their roles
// ---------------------------------------------------------------------------

namespace {

using tSurfaceState = tWaylandSurface::tState;

/// A configure asked for a size; 0 leaves the side to us (the output's).
void AskSize(tSurfaceState& s, uint32_t width, uint32_t height)
{
    const tOutputRecord* output = s.client->Find(s.outputId);
    s.pendingWidth = width > 0 ? static_cast<int>(width) : (output ? output->facts.width : 0);
    s.pendingHeight = height > 0 ? static_cast<int>(height) : (output ? output->facts.height : 0);
}

const zwlr_layer_surface_v1_listener kLayerListener{
    [](void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height) {
        auto& s = *static_cast<tSurfaceState*>(data);
        AskSize(s, width, height);
        s.pendingSerial = serial;
        s.pending = s.configured = true;
    },
    [](void* data, zwlr_layer_surface_v1*) { static_cast<tSurfaceState*>(data)->closed = true; },
};

const xdg_surface_listener kXdgSurfaceListener{[](void* data, xdg_surface*, uint32_t serial) {
    auto& s = *static_cast<tSurfaceState*>(data);
    s.pendingSerial = serial;
    s.pending = s.configured = true;
}};

const xdg_toplevel_listener kToplevelListener{
    [](void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
        AskSize(*static_cast<tSurfaceState*>(data), static_cast<uint32_t>(std::max(width, 0)),
                static_cast<uint32_t>(std::max(height, 0)));
    },
    [](void* data, xdg_toplevel*) { static_cast<tSurfaceState*>(data)->closed = true; },
    [](void*, xdg_toplevel*, int32_t, int32_t) {},
    [](void*, xdg_toplevel*, wl_array*) {},
};

const wl_callback_listener kFrameListener{[](void* data, wl_callback* callback, uint32_t) {
    auto& s = *static_cast<tSurfaceState*>(data);
    wl_callback_destroy(callback);
    if (s.frameCallback == callback)
        s.frameCallback = nullptr;
}};

} // namespace

tWaylandSurface::tWaylandSurface(tWaylandClient& client, uint32_t outputId, tSurfaceLayer layer)
    : state_(std::make_shared<tState>())
{
    tState& s = *state_;
    s.client = &client.State();
    s.outputId = outputId;
    const tOutputRecord* output = s.client->Find(outputId);
    if (!output)
        throw std::runtime_error("There is no output " + std::to_string(outputId));
    if (!s.client->layerShell && (layer == tSurfaceLayer::Background || !s.client->wmBase))
        throw std::runtime_error(layer == tSurfaceLayer::Background
                                     ? "The compositor has no desktop layers (layer-shell) to draw a background in"
                                     : "The compositor offers neither layer-shell nor xdg-shell");

    s.surface = wl_compositor_create_surface(s.client->compositor);
    s.client->surfaces[s.surface] = &s;
    if (output->facts.scale > 1)
        wl_surface_set_buffer_scale(s.surface, output->facts.scale);
    if (s.client->layerShell) {
        const bool overlay = layer == tSurfaceLayer::Overlay;
        s.layerSurface = zwlr_layer_shell_v1_get_layer_surface(
            s.client->layerShell, s.surface, output->output,
            overlay ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY : ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND, "quorex");
        zwlr_layer_surface_v1_add_listener(s.layerSurface, &kLayerListener, &s);
        zwlr_layer_surface_v1_set_anchor(s.layerSurface,
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(s.layerSurface, 0, 0);
        // Over panels and docks too, whatever room they keep for themselves.
        zwlr_layer_surface_v1_set_exclusive_zone(s.layerSurface, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(
            s.layerSurface, overlay ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE
                                    : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    } else {
        s.xdgSurface = xdg_wm_base_get_xdg_surface(s.client->wmBase, s.surface);
        xdg_surface_add_listener(s.xdgSurface, &kXdgSurfaceListener, &s);
        s.toplevel = xdg_surface_get_toplevel(s.xdgSurface);
        xdg_toplevel_add_listener(s.toplevel, &kToplevelListener, &s);
        xdg_toplevel_set_title(s.toplevel, "Quorex");
        xdg_toplevel_set_app_id(s.toplevel, "quorex");
        xdg_toplevel_set_fullscreen(s.toplevel, output->output);
    }
    if (layer == tSurfaceLayer::Background) {
        // Clicks and the pointer go to the desktop behind.
        wl_region* nothing = wl_compositor_create_region(s.client->compositor);
        wl_surface_set_input_region(s.surface, nothing);
        wl_region_destroy(nothing);
    }
    // The first commit carries no buffer; the compositor answers with the size.
    wl_surface_commit(s.surface);
}

tWaylandSurface::~tWaylandSurface() { state_->Destroy(); }

void tWaylandSurface::tState::Destroy()
{
    if (!surface)
        return;
    if (eglSurface != EGL_NO_SURFACE) {
        if (eglGetCurrentSurface(EGL_DRAW) == eglSurface)
            eglMakeCurrent(client->egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroySurface(client->egl, eglSurface);
        eglSurface = EGL_NO_SURFACE;
    }
    if (eglWindow)
        wl_egl_window_destroy(eglWindow);
    eglWindow = nullptr;
    if (frameCallback)
        wl_callback_destroy(frameCallback);
    frameCallback = nullptr;
    if (layerSurface)
        zwlr_layer_surface_v1_destroy(layerSurface);
    if (toplevel)
        xdg_toplevel_destroy(toplevel);
    if (xdgSurface)
        xdg_surface_destroy(xdgSurface);
    layerSurface = nullptr;
    toplevel = nullptr;
    xdgSurface = nullptr;
    client->surfaces.erase(surface);
    if (client->pointerFocus == surface)
        client->pointerFocus = nullptr;
    wl_surface_destroy(surface);
    surface = nullptr;
    closed = true;
    wl_display_flush(client->display);
}

bool tWaylandSurface::tState::ApplyConfigure()
{
    if (!pending || !surface)
        return false;
    pending = false;
    if (layerSurface)
        zwlr_layer_surface_v1_ack_configure(layerSurface, pendingSerial);
    else if (xdgSurface)
        xdg_surface_ack_configure(xdgSurface, pendingSerial);
    const tOutputRecord* output = client->Find(outputId);
    const int scale = output ? output->facts.scale : 1;
    const int newWidth = std::max(pendingWidth, 1) * scale;
    const int newHeight = std::max(pendingHeight, 1) * scale;
    const bool changed = newWidth != width || newHeight != height;
    width = newWidth;
    height = newHeight;
    if (!eglWindow) {
        client->EnsureEGL();
        eglWindow = wl_egl_window_create(surface, width, height);
        eglSurface = eglCreatePlatformWindowSurface(client->egl, client->eglConfig, eglWindow, nullptr);
        if (eglSurface == EGL_NO_SURFACE)
            throw std::runtime_error("EGL makes no surface on the Wayland surface");
    } else if (changed) {
        wl_egl_window_resize(eglWindow, width, height, 0, 0);
    }
    return changed;
}

bool tWaylandSurface::Configured() const { return state_->configured; }
bool tWaylandSurface::Closed() const { return state_->closed; }
int tWaylandSurface::Width() const { return state_->pending ? state_->pendingWidth : state_->width; }
int tWaylandSurface::Height() const { return state_->pending ? state_->pendingHeight : state_->height; }
bool tWaylandSurface::BeginFrame() { return state_->ApplyConfigure(); }
bool tWaylandSurface::FrameDue() const { return state_->frameCallback == nullptr; }

// ---------------------------------------------------------------------------
// The window the engine draws on
// ---------------------------------------------------------------------------

namespace {

class tEGLContext;
/// The context of ours that was made current last on this thread.
thread_local const tEGLContext* gCurrent = nullptr;

class tEGLContext : public tGLContextImpl {
public:
    explicit tEGLContext(std::shared_ptr<tSurfaceState> surface) : surface_(std::move(surface))
    {
        tWaylandClient::tState& client = *surface_->client;
        client.EnsureEGL();
        display_ = client.egl;
        context_ = eglCreateContext(display_, client.eglConfig, EGL_NO_CONTEXT, nullptr);
        if (context_ == EGL_NO_CONTEXT)
            throw std::runtime_error("EGL makes no OpenGL context");
    }
    ~tEGLContext() override
    {
        tEGLContext::DoneCurrent();
        eglDestroyContext(display_, context_);
    }

    bool MakeCurrent() override
    {
        tSurfaceState& s = *surface_;
        if (s.closed || !s.configured)
            return false;
        // The first frame waits for the first configure's size.
        if (s.eglSurface == EGL_NO_SURFACE)
            s.ApplyConfigure();
        if (!eglMakeCurrent(display_, s.eglSurface, s.eglSurface, context_))
            return false;
        gCurrent = this;
        if (!intervalSet_) {
            // The frame loop paces itself; a swap that waited for the
            // compositor would stall on an output nobody looks at.
            eglSwapInterval(display_, 0);
            intervalSet_ = true;
        }
        return true;
    }
    bool IsCurrent() const override
    {
        return !surface_->closed && eglGetCurrentContext() == context_ &&
               eglGetCurrentSurface(EGL_DRAW) == surface_->eglSurface;
    }
    void DoneCurrent() override
    {
        if (eglGetCurrentContext() == context_)
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (gCurrent == this)
            gCurrent = nullptr;
    }
    bool Swap(std::string& reason) override
    {
        tSurfaceState& s = *surface_;
        if (s.closed || s.eglSurface == EGL_NO_SURFACE) {
            reason = "The surface is closed";
            return false;
        }
        if ((s.width != swappedWidth_ || s.height != swappedHeight_) && swappedWidth_ > 0 && MakeCurrent())
            TakeNewDrawableSize();
        swappedWidth_ = s.width;
        swappedHeight_ = s.height;
        if (!s.frameCallback) {
            s.frameCallback = wl_surface_frame(s.surface);
            wl_callback_add_listener(s.frameCallback, &kFrameListener, &s);
        }
        if (!eglSwapBuffers(display_, s.eglSurface)) {
            reason = "eglSwapBuffers failed with EGL error " + std::to_string(eglGetError());
            return false;
        }
        return true;
    }
    uint64_t Id() const override { return reinterpret_cast<uintptr_t>(context_); }

    uint64_t SurfaceId() const { return reinterpret_cast<uintptr_t>(surface_->surface); }
    EGLContext Context() const { return context_; }

private:
    std::shared_ptr<tSurfaceState> surface_;
    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLContext context_ = EGL_NO_CONTEXT;
    bool intervalSet_ = false;
    int swappedWidth_ = 0;
    int swappedHeight_ = 0;
};

class tWaylandWindow : public tPlatformWindow {
public:
    explicit tWaylandWindow(std::weak_ptr<tSurfaceState> surface) : surface_(std::move(surface)) {}

    bool Exists() const override
    {
        const auto s = surface_.lock();
        return s && !s->closed;
    }
    tRect Rect() const override
    {
        const auto s = surface_.lock();
        if (!s)
            return {};
        const tOutputRecord* output = s->client->Find(s->outputId);
        const int left = output ? output->facts.x : 0;
        const int top = output ? output->facts.y : 0;
        const int width = s->pending ? s->pendingWidth : s->width;
        const int height = s->pending ? s->pendingHeight : s->height;
        return {left, top, left + width, top + height};
    }
    // The surfaces' buffers hold 8 bits per colour.
    int ScreenDepth() const override { return 24; }
    int ScreenRefreshRate() const override
    {
        const auto s = surface_.lock();
        const tOutputRecord* output = s ? s->client->Find(s->outputId) : nullptr;
        return output ? static_cast<int>(std::lround(output->facts.refreshMilliHz / 1000.0)) : 0;
    }
    // The surface always covers its output.
    bool ShowFullScreen() override { return Exists(); }
    void ShowNormal() override {}
    bool IsFullScreen() const override { return Exists(); }
    std::unique_ptr<tGLContextImpl> CreateContext() override
    {
        auto s = surface_.lock();
        if (!s || s->closed)
            throw std::runtime_error("The surface to draw on is gone");
        return std::make_unique<tEGLContext>(std::move(s));
    }
    uint64_t DrawableId() const override
    {
        const auto s = surface_.lock();
        return s ? reinterpret_cast<uintptr_t>(s->surface) : 0;
    }

private:
    std::weak_ptr<tSurfaceState> surface_;
};

} // namespace

tWindowHandle tWaylandSurface::Window() const { return std::make_shared<tWaylandWindow>(state_); }

uint64_t CurrentEGLContextId()
{
    return gCurrent && eglGetCurrentContext() == gCurrent->Context() ? gCurrent->Id() : 0;
}

uint64_t CurrentEGLDrawableId() { return CurrentEGLContextId() != 0 ? gCurrent->SurfaceId() : 0; }
