#pragma once
// Inside the platform layer: the state behind tWaylandClient and
// tWaylandSurface, shared by their two source files. Not for use outside
// platform/.
#include "uWayland.h"

#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <EGL/egl.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <map>

/// One wl_output and what the compositor said of it so far.
struct tOutputRecord {
    wl_output* output = nullptr;
    /// Where the output lies in the layout (wl_output does not say on every
    /// compositor).
    zxdg_output_v1* place = nullptr;
    tWaylandOutput facts;
    /// wl_output said "done" once, and (where the compositor tells places)
    /// the place is known.
    bool outputDone = false;
    bool placeKnown = false;
    /// Both came: the facts are complete.
    bool described = false;
};

struct tWaylandClient::tState {
    tWaylandClient* owner = nullptr;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    xdg_wm_base* wmBase = nullptr;
    zwlr_screencopy_manager_v1* screenCopy = nullptr;
    zxdg_output_manager_v1* outputPlaces = nullptr;
    /// Outputs by the compositor's global name, in the order they came.
    std::map<uint32_t, tOutputRecord> outputs;
    std::vector<uint32_t> outputOrder;

    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* keyState = nullptr;

    /// Our surfaces by their wl_surface, for the pointer's enter events.
    std::map<wl_surface*, tWaylandSurface::tState*> surfaces;
    wl_surface* pointerFocus = nullptr;

    /// EGL on this connection, made when the first surface needs it.
    EGLDisplay egl = EGL_NO_DISPLAY;
    EGLConfig eglConfig = nullptr;

    bool lost = false;

    /// The output of the record, or none.
    const tOutputRecord* Find(uint32_t id) const;
    /// Makes the EGL display and config; raises std::runtime_error on failure.
    void EnsureEGL();
};

struct tWaylandSurface::tState {
    tWaylandClient::tState* client = nullptr;
    uint32_t outputId = 0;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layerSurface = nullptr;
    xdg_surface* xdgSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    wl_callback* frameCallback = nullptr;

    /// What the last configure asked for, and whether it is applied yet.
    uint32_t pendingSerial = 0;
    int pendingWidth = 0;
    int pendingHeight = 0;
    bool pending = false;
    bool configured = false;
    bool closed = false;

    int width = 0;
    int height = 0;
    struct wl_egl_window* eglWindow = nullptr;
    EGLSurface eglSurface = EGL_NO_SURFACE;

    /// Acknowledges the pending configure and gives the EGL window its size
    /// (making it the first time). True when the size changed.
    bool ApplyConfigure();
    void Destroy();
};
