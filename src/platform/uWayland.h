#pragma once
// The saver's own Wayland client, for desktops whose compositor draws every
// window itself (sway, Hyprland, KDE, GNOME and the others). The toolkit's
// Wayland client has no way to put a surface above or below all windows on
// every output, so the saver talks to the compositor itself:
//   - WaylandSessionDisplay: whether the program runs in a Wayland session
//   - tWaylandClient: the connection, the outputs as they come and go, the
//     keyboard and the pointer, and copies of what the outputs show
//   - tWaylandSurface: one surface covering one output, above all windows
//     (overlay) or below them (background), drawn with OpenGL through EGL
// Everything runs on the calling thread; handlers run inside Dispatch.
#include "uBitmap.h"
#include "uGLSurface.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/// The compositor this process should talk to: WAYLAND_DISPLAY when the
/// session is a Wayland one (XDG_SESSION_TYPE unset or "wayland"), else none.
std::optional<std::string> WaylandSessionDisplay();

/// An output (monitor) of the compositor.
struct tWaylandOutput {
    /// The compositor's number for it; stays while the output exists.
    uint32_t id = 0;
    /// Connector name such as "DP-1" or "HEADLESS-2" (empty from compositors
    /// that do not say).
    std::string name;
    /// Place in the desktop's layout and current mode, in pixels.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    /// Refresh rate in millihertz (0 when unknown).
    int refreshMilliHz = 0;
    int scale = 1;
};

/// A key going down or up.
struct tWaylandKey {
    /// Windows virtual-key code (0 for keys without one).
    uint32_t virtualKey = 0;
    bool down = false;
    /// The key only modifies others or switches a lock (Shift, Control, Alt,
    /// the Windows and level keys, Caps, Num and Scroll Lock).
    bool modifier = false;
    bool altHeld = false;
};

enum class tSurfaceLayer {
    /// Above every window; takes the keyboard; the pointer's image is hidden
    /// over it.
    Overlay,
    /// Below every window; no input reaches it.
    Background,
};

class tWaylandClient {
public:
    /// Connects to the named compositor (empty: WAYLAND_DISPLAY) and learns
    /// its globals and outputs. Raises std::runtime_error when there is no
    /// compositor or it lacks what every surface needs (wl_compositor).
    explicit tWaylandClient(const std::string& display = "");
    ~tWaylandClient();
    tWaylandClient(const tWaylandClient&) = delete;
    tWaylandClient& operator=(const tWaylandClient&) = delete;

    /// The connection's file descriptor, readable when events arrive.
    int Fd() const;
    /// Reads what has arrived (without waiting), runs the handlers and sends
    /// what is queued. False once the connection is lost.
    bool Dispatch();
    /// The same after waiting at most timeoutMs for something to arrive.
    bool DispatchWaiting(int timeoutMs);
    bool Connected() const;

    /// What the compositor offers.
    bool HasLayerShell() const;
    /// Acts as on desktops without layer-shell (GNOME): surfaces made from
    /// now on are full-screen windows. For tests.
    void IgnoreLayerShell();
    bool HasXdgShell() const;
    bool HasScreenCopy() const;

    /// The outputs the compositor has fully described, in the order they came.
    std::vector<tWaylandOutput> Outputs() const;
    std::optional<tWaylandOutput> Output(uint32_t id) const;

    /// An output was described for the first time.
    std::function<void(const tWaylandOutput&)> onOutputAdded;
    /// An output went away (its surfaces are closed as well).
    std::function<void(uint32_t id)> onOutputRemoved;
    /// A key on a surface that has the keyboard.
    std::function<void(const tWaylandKey&)> onKey;
    /// The pointer is over one of our surfaces, at a position in layout
    /// pixels: moved over it (moved), or only came onto it because the
    /// surface appeared under it or the pointer crossed from another output.
    std::function<void(int x, int y, bool moved)> onPointer;

    /// What the output shows now, through the compositor's screen-copy
    /// protocol, as an opaque picture. None when the compositor offers no
    /// screen copy, refuses, or has not answered within timeoutMs.
    std::optional<tBitmap> CaptureOutput(uint32_t outputId, int timeoutMs);

    /// The connection's internals, for the surfaces (uWaylandSurface.cpp).
    struct tState;
    tState& State() { return *state_; }

private:
    std::unique_ptr<tState> state_;
};

class tWaylandSurface {
public:
    /// A surface that covers the output: on the layer where the compositor
    /// offers layer-shell, else a full-screen window on that output (above
    /// windows only, so only for the overlay). Raises std::runtime_error when
    /// the output is unknown or the compositor offers neither.
    tWaylandSurface(tWaylandClient& client, uint32_t outputId, tSurfaceLayer layer);
    ~tWaylandSurface();
    tWaylandSurface(const tWaylandSurface&) = delete;
    tWaylandSurface& operator=(const tWaylandSurface&) = delete;

    /// True once the compositor has told the surface its size.
    bool Configured() const;
    /// True once the compositor will not show it any more (its output went
    /// away); the owner should destroy it.
    bool Closed() const;
    /// The size frames are drawn at, in pixels.
    int Width() const;
    int Height() const;

    /// What the engine draws on (tGLContext makes an EGL context for it).
    tWindowHandle Window() const;

    /// Takes on a size the compositor asked for since the last frame. Call
    /// before a frame's first drawing; true when the size changed.
    bool BeginFrame();
    /// False from the swap of a frame until the compositor says it is a
    /// good time to draw the next one; frames drawn sooner would not be seen.
    bool FrameDue() const;

    struct tState;

private:
    std::shared_ptr<tState> state_;
};
