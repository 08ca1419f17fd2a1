// Sections: the session; the connection and its globals; outputs; keyboard
// and pointer; desktop capture (screen copy); EGL on the connection.
#include "uKeyCodes.h"
#include "uLog.h"
#include "uWaylandState.h"

#include <EGL/eglext.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <type_traits>
#include <sys/mman.h>
#include <unistd.h>

// ---------------------------------------------------------------------------
// The session
// ---------------------------------------------------------------------------

std::optional<std::string> WaylandSessionDisplay()
{
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (!display || !*display)
        return std::nullopt;
    // A session of another kind can still have a compositor around (a nested
    // one, say); the session's own kind decides.
    const char* type = std::getenv("XDG_SESSION_TYPE");
    if (type && *type && std::strcmp(type, "wayland") != 0)
        return std::nullopt;
    return std::string(display);
}

// ---------------------------------------------------------------------------
// The connection and its globals
// ---------------------------------------------------------------------------

namespace {

using tState = tWaylandClient::tState;

template <class T>
T* Bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered, uint32_t wanted)
{
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

void AddOutput(tState& state, wl_registry* registry, uint32_t name, uint32_t version);
void WatchPlace(tState& state, tOutputRecord& record);
void RemoveOutput(tState& state, uint32_t name);
void SeatCapabilities(void* data, wl_seat* seat, uint32_t capabilities);

const wl_seat_listener kSeatListener{SeatCapabilities, [](void*, wl_seat*, const char*) {}};

const xdg_wm_base_listener kWmBaseListener{
    [](void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }};

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto& state = *static_cast<tState*>(data);
    const std::string which = interface;
    if (which == wl_compositor_interface.name) {
        state.compositor = Bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    } else if (which == wl_shm_interface.name) {
        state.shm = Bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (which == wl_seat_interface.name && !state.seat) {
        // The first seat is the user's; compositors with several are rare.
        state.seat = Bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
        wl_seat_add_listener(state.seat, &kSeatListener, &state);
    } else if (which == wl_output_interface.name) {
        AddOutput(state, registry, name, version);
    } else if (which == zwlr_layer_shell_v1_interface.name) {
        state.layerShell = Bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 4);
    } else if (which == xdg_wm_base_interface.name) {
        state.wmBase = Bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 1);
        xdg_wm_base_add_listener(state.wmBase, &kWmBaseListener, &state);
    } else if (which == zxdg_output_manager_v1_interface.name) {
        state.outputPlaces = Bind<zxdg_output_manager_v1>(registry, name, &zxdg_output_manager_v1_interface, version, 3);
        for (auto& [id, record] : state.outputs)
            WatchPlace(state, record);
    } else if (which == zwlr_screencopy_manager_v1_interface.name) {
        state.screenCopy =
            Bind<zwlr_screencopy_manager_v1>(registry, name, &zwlr_screencopy_manager_v1_interface, version, 1);
    }
}

void GlobalRemoved(void* data, wl_registry*, uint32_t name) { RemoveOutput(*static_cast<tState*>(data), name); }

const wl_registry_listener kRegistryListener{Global, GlobalRemoved};

} // namespace

const tOutputRecord* tWaylandClient::tState::Find(uint32_t id) const
{
    const auto found = outputs.find(id);
    return found == outputs.end() ? nullptr : &found->second;
}

tWaylandClient::tWaylandClient(const std::string& display) : state_(std::make_unique<tState>())
{
    tState& s = *state_;
    s.owner = this;
    s.display = wl_display_connect(display.empty() ? nullptr : display.c_str());
    if (!s.display)
        throw std::runtime_error("No Wayland compositor answers at \"" + display + "\"");
    s.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    s.registry = wl_display_get_registry(s.display);
    wl_registry_add_listener(s.registry, &kRegistryListener, &s);
    // The first round trip lists the globals, the second brings what the
    // bound ones say at once (outputs' modes and names, the seat's devices).
    if (wl_display_roundtrip(s.display) < 0 || wl_display_roundtrip(s.display) < 0)
        throw std::runtime_error("The Wayland compositor broke the connection");
    if (!s.compositor)
        throw std::runtime_error("The Wayland compositor offers no wl_compositor");
}

tWaylandClient::~tWaylandClient()
{
    tState& s = *state_;
    if (s.egl != EGL_NO_DISPLAY)
        eglTerminate(s.egl);
    if (s.keyState)
        xkb_state_unref(s.keyState);
    if (s.keymap)
        xkb_keymap_unref(s.keymap);
    if (s.xkb)
        xkb_context_unref(s.xkb);
    if (s.keyboard)
        wl_keyboard_destroy(s.keyboard);
    if (s.pointer)
        wl_pointer_destroy(s.pointer);
    if (s.seat)
        wl_seat_destroy(s.seat);
    for (auto& [id, record] : s.outputs) {
        if (record.place)
            zxdg_output_v1_destroy(record.place);
        wl_output_destroy(record.output);
    }
    if (s.outputPlaces)
        zxdg_output_manager_v1_destroy(s.outputPlaces);
    if (s.screenCopy)
        zwlr_screencopy_manager_v1_destroy(s.screenCopy);
    if (s.layerShell)
        zwlr_layer_shell_v1_destroy(s.layerShell);
    if (s.wmBase)
        xdg_wm_base_destroy(s.wmBase);
    if (s.shm)
        wl_shm_destroy(s.shm);
    if (s.compositor)
        wl_compositor_destroy(s.compositor);
    if (s.registry)
        wl_registry_destroy(s.registry);
    wl_display_disconnect(s.display);
}

int tWaylandClient::Fd() const { return wl_display_get_fd(state_->display); }

bool tWaylandClient::Dispatch() { return DispatchWaiting(0); }

bool tWaylandClient::DispatchWaiting(int timeoutMs)
{
    tState& s = *state_;
    if (s.lost)
        return false;
    while (wl_display_prepare_read(s.display) != 0)
        if (wl_display_dispatch_pending(s.display) < 0)
            break;
    wl_display_flush(s.display);
    pollfd fd{wl_display_get_fd(s.display), POLLIN, 0};
    if (::poll(&fd, 1, std::max(timeoutMs, 0)) > 0)
        wl_display_read_events(s.display);
    else
        wl_display_cancel_read(s.display);
    if (wl_display_dispatch_pending(s.display) < 0 || wl_display_get_error(s.display) != 0) {
        if (!s.lost)
            LogWarning(1, "The connection to the Wayland compositor was lost");
        s.lost = true;
        return false;
    }
    wl_display_flush(s.display);
    return true;
}

bool tWaylandClient::Connected() const { return !state_->lost; }

bool tWaylandClient::HasLayerShell() const { return state_->layerShell != nullptr; }
void tWaylandClient::IgnoreLayerShell()
{
    if (state_->layerShell)
        zwlr_layer_shell_v1_destroy(state_->layerShell);
    state_->layerShell = nullptr;
}

bool tWaylandClient::HasXdgShell() const { return state_->wmBase != nullptr; }
bool tWaylandClient::HasScreenCopy() const { return state_->screenCopy != nullptr && state_->shm != nullptr; }

// ---------------------------------------------------------------------------
// Outputs
// ---------------------------------------------------------------------------

namespace {

/// The record that holds the object (its wl_output or its xdg-output).
template <class T>
tOutputRecord* RecordOf(void* data, T* object)
{
    auto& state = *static_cast<tState*>(data);
    for (auto& [id, record] : state.outputs)
        if constexpr (std::is_same_v<T, wl_output>) {
            if (record.output == object)
                return &record;
        } else if (record.place == object) {
            return &record;
        }
    return nullptr;
}

/// Announces the output once all of its facts are in.
void CompleteDescription(tState& state, tOutputRecord& record)
{
    if (record.described || !record.outputDone || (state.outputPlaces && !record.placeKnown))
        return;
    record.described = true;
    if (state.owner->onOutputAdded)
        state.owner->onOutputAdded(record.facts);
}

const wl_output_listener kOutputListener{
    // geometry: the place in the layout, where xdg-output does not tell it
    [](void* data, wl_output* output, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
       int32_t) {
        if (tOutputRecord* record = RecordOf(data, output); record && !record->place) {
            record->facts.x = x;
            record->facts.y = y;
        }
    },
    // mode: only the current one counts
    [](void* data, wl_output* output, uint32_t flags, int32_t width, int32_t height, int32_t refresh) {
        tOutputRecord* record = RecordOf(data, output);
        if (record && (flags & WL_OUTPUT_MODE_CURRENT)) {
            record->facts.width = width;
            record->facts.height = height;
            record->facts.refreshMilliHz = refresh;
        }
    },
    // done: the facts so far belong together
    [](void* data, wl_output* output) {
        if (tOutputRecord* record = RecordOf(data, output)) {
            record->outputDone = true;
            CompleteDescription(*static_cast<tState*>(data), *record);
        }
    },
    [](void* data, wl_output* output, int32_t factor) {
        if (tOutputRecord* record = RecordOf(data, output))
            record->facts.scale = std::max(factor, 1);
    },
    [](void* data, wl_output* output, const char* name) {
        if (tOutputRecord* record = RecordOf(data, output))
            record->facts.name = name ? name : "";
    },
    [](void*, wl_output*, const char*) {},
};

// Its position and name; wl_output's "done" closes the description.
const zxdg_output_v1_listener kPlaceListener{
    [](void* data, zxdg_output_v1* place, int32_t x, int32_t y) {
        if (tOutputRecord* record = RecordOf(data, place)) {
            record->facts.x = x;
            record->facts.y = y;
            record->placeKnown = true;
        }
    },
    [](void*, zxdg_output_v1*, int32_t, int32_t) {},
    // done (before version 3, which leaves it to wl_output)
    [](void* data, zxdg_output_v1* place) {
        if (tOutputRecord* record = RecordOf(data, place))
            CompleteDescription(*static_cast<tState*>(data), *record);
    },
    [](void* data, zxdg_output_v1* place, const char* name) {
        if (tOutputRecord* record = RecordOf(data, place); record && name && record->facts.name.empty())
            record->facts.name = name;
    },
    [](void*, zxdg_output_v1*, const char*) {},
};

void WatchPlace(tState& state, tOutputRecord& record)
{
    if (!state.outputPlaces || record.place)
        return;
    record.place = zxdg_output_manager_v1_get_xdg_output(state.outputPlaces, record.output);
    zxdg_output_v1_add_listener(record.place, &kPlaceListener, &state);
}

void AddOutput(tState& state, wl_registry* registry, uint32_t name, uint32_t version)
{
    tOutputRecord& record = state.outputs[name];
    record.facts.id = name;
    record.output = Bind<wl_output>(registry, name, &wl_output_interface, version, 4);
    state.outputOrder.push_back(name);
    wl_output_add_listener(record.output, &kOutputListener, &state);
    WatchPlace(state, record);
}

void RemoveOutput(tState& state, uint32_t name)
{
    const auto found = state.outputs.find(name);
    if (found == state.outputs.end())
        return;
    const bool described = found->second.described;
    if (found->second.place)
        zxdg_output_v1_destroy(found->second.place);
    if (wl_output_get_version(found->second.output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(found->second.output);
    else
        wl_output_destroy(found->second.output);
    state.outputs.erase(found);
    std::erase(state.outputOrder, name);
    if (described && state.owner->onOutputRemoved)
        state.owner->onOutputRemoved(name);
}

} // namespace

std::vector<tWaylandOutput> tWaylandClient::Outputs() const
{
    std::vector<tWaylandOutput> described;
    for (const uint32_t id : state_->outputOrder)
        if (const tOutputRecord* record = state_->Find(id); record && record->described)
            described.push_back(record->facts);
    return described;
}

std::optional<tWaylandOutput> tWaylandClient::Output(uint32_t id) const
{
    const tOutputRecord* record = state_->Find(id);
    if (!record || !record->described)
        return std::nullopt;
    return record->facts;
}

// ---------------------------------------------------------------------------
// Keyboard and pointer
// ---------------------------------------------------------------------------

namespace {

void Keymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size)
{
    auto& state = *static_cast<tState*>(data);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || !state.xkb) {
        ::close(fd);
        return;
    }
    void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (text == MAP_FAILED)
        return;
    xkb_keymap* keymap = xkb_keymap_new_from_string(state.xkb, static_cast<const char*>(text),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ::munmap(text, size);
    if (!keymap) {
        LogWarning(2, "The compositor's keyboard map could not be read");
        return;
    }
    if (state.keyState)
        xkb_state_unref(state.keyState);
    if (state.keymap)
        xkb_keymap_unref(state.keymap);
    state.keymap = keymap;
    state.keyState = xkb_state_new(keymap);
}

void Key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t keyState)
{
    auto& state = *static_cast<tState*>(data);
    if (!state.keyState || !state.owner->onKey)
        return;
    // Evdev numbers keys from 8 below XKB.
    const xkb_keycode_t code = key + 8;
    tWaylandKey event;
    const xkb_keysym_t symbol = xkb_state_key_get_one_sym(state.keyState, code);
    event.down = keyState == WL_KEYBOARD_KEY_STATE_PRESSED;
    event.virtualKey = VirtualKeyOfKeysym(symbol);
    event.modifier = IsModifierKeysym(symbol);
    event.altHeld = xkb_state_mod_name_is_active(state.keyState, XKB_MOD_NAME_ALT, XKB_STATE_MODS_EFFECTIVE) > 0;
    state.owner->onKey(event);
}

void Modifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
               uint32_t group)
{
    auto& state = *static_cast<tState*>(data);
    if (state.keyState)
        xkb_state_update_mask(state.keyState, depressed, latched, locked, 0, 0, group);
}

const wl_keyboard_listener kKeyboardListener{
    Keymap,
    // enter: keys already down when the surface got the keyboard are no presses
    [](void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {},
    [](void*, wl_keyboard*, uint32_t, wl_surface*) {},
    Key,
    Modifiers,
    [](void*, wl_keyboard*, int32_t, int32_t) {},
};

void PointerAt(tState& state, wl_surface* surface, wl_fixed_t x, wl_fixed_t y, bool moved)
{
    const auto found = state.surfaces.find(surface);
    if (found == state.surfaces.end() || !state.owner->onPointer)
        return;
    const tOutputRecord* output = state.Find(found->second->outputId);
    const int left = output ? output->facts.x : 0;
    const int top = output ? output->facts.y : 0;
    state.owner->onPointer(left + wl_fixed_to_int(x), top + wl_fixed_to_int(y), moved);
}

const wl_pointer_listener kPointerListener{
    // enter: over a surface of ours the pointer shows no image
    [](void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
        auto& state = *static_cast<tState*>(data);
        state.pointerFocus = surface;
        if (state.surfaces.contains(surface))
            wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
        PointerAt(state, surface, x, y, false);
    },
    [](void* data, wl_pointer*, uint32_t, wl_surface*) { static_cast<tState*>(data)->pointerFocus = nullptr; },
    [](void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
        auto& state = *static_cast<tState*>(data);
        PointerAt(state, state.pointerFocus, x, y, true);
    },
    [](void*, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t) {},
    [](void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {},
    [](void*, wl_pointer*) {},
    [](void*, wl_pointer*, uint32_t) {},
    [](void*, wl_pointer*, uint32_t, uint32_t) {},
    [](void*, wl_pointer*, uint32_t, int32_t) {},
    [](void*, wl_pointer*, uint32_t, int32_t) {},
};

void SeatCapabilities(void* data, wl_seat* seat, uint32_t capabilities)
{
    auto& state = *static_cast<tState*>(data);
    const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (keyboard && !state.keyboard) {
        state.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(state.keyboard, &kKeyboardListener, &state);
    } else if (!keyboard && state.keyboard) {
        wl_keyboard_destroy(state.keyboard);
        state.keyboard = nullptr;
    }
    if (pointer && !state.pointer) {
        state.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(state.pointer, &kPointerListener, &state);
    } else if (!pointer && state.pointer) {
        wl_pointer_destroy(state.pointer);
        state.pointer = nullptr;
        state.pointerFocus = nullptr;
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Desktop capture
// ---------------------------------------------------------------------------

namespace {

struct tCopy {
    uint32_t format = 0;
    int width = 0;
    int height = 0;
    int stride = 0;
    uint32_t flags = 0;
    bool described = false;
    bool ready = false;
    bool failed = false;
};

const zwlr_screencopy_frame_v1_listener kCopyListener{
    [](void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height, uint32_t stride) {
        auto& copy = *static_cast<tCopy*>(data);
        copy.format = format;
        copy.width = static_cast<int>(width);
        copy.height = static_cast<int>(height);
        copy.stride = static_cast<int>(stride);
        copy.described = true;
    },
    [](void* data, zwlr_screencopy_frame_v1*, uint32_t flags) { static_cast<tCopy*>(data)->flags = flags; },
    [](void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) { static_cast<tCopy*>(data)->ready = true; },
    [](void* data, zwlr_screencopy_frame_v1*) { static_cast<tCopy*>(data)->failed = true; },
};

/// A shared-memory buffer the compositor can write into.
class tShmBuffer {
public:
    tShmBuffer(wl_shm* shm, const tCopy& copy) : size_(static_cast<size_t>(copy.stride) * copy.height)
    {
        const int fd = ::memfd_create("quorex-capture", MFD_CLOEXEC);
        if (fd < 0)
            return;
        if (::ftruncate(fd, static_cast<off_t>(size_)) == 0) {
            void* map = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (map != MAP_FAILED) {
                pixels_ = static_cast<uint8_t*>(map);
                wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size_));
                buffer_ = wl_shm_pool_create_buffer(pool, 0, copy.width, copy.height, copy.stride, copy.format);
                wl_shm_pool_destroy(pool);
            }
        }
        ::close(fd);
    }
    ~tShmBuffer()
    {
        if (buffer_)
            wl_buffer_destroy(buffer_);
        if (pixels_)
            ::munmap(pixels_, size_);
    }
    tShmBuffer(const tShmBuffer&) = delete;
    tShmBuffer& operator=(const tShmBuffer&) = delete;

    wl_buffer* Buffer() const { return buffer_; }
    const uint8_t* Pixels() const { return pixels_; }

private:
    size_t size_;
    uint8_t* pixels_ = nullptr;
    wl_buffer* buffer_ = nullptr;
};

/// The copy as B, G, R, A rows, top first, opaque; none for formats other
/// than the 32-bit ones every compositor offers.
std::optional<tBitmap> BitmapOf(const tCopy& copy, const uint8_t* pixels)
{
    bool swapRedBlue = false;
    switch (copy.format) {
    case WL_SHM_FORMAT_ARGB8888:
    case WL_SHM_FORMAT_XRGB8888:
        break; // little-endian words: B, G, R, A in memory
    case WL_SHM_FORMAT_ABGR8888:
    case WL_SHM_FORMAT_XBGR8888:
        swapRedBlue = true;
        break;
    default:
        return std::nullopt;
    }
    tBitmap bitmap;
    bitmap.width = copy.width;
    bitmap.height = copy.height;
    bitmap.pixels.resize(static_cast<size_t>(copy.width) * copy.height * 4);
    const bool flipped = copy.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
    for (int y = 0; y < copy.height; ++y) {
        const uint8_t* from = pixels + static_cast<size_t>(flipped ? copy.height - 1 - y : y) * copy.stride;
        uint8_t* to = bitmap.pixels.data() + static_cast<size_t>(y) * copy.width * 4;
        for (int x = 0; x < copy.width; ++x, from += 4, to += 4) {
            to[0] = swapRedBlue ? from[2] : from[0];
            to[1] = from[1];
            to[2] = swapRedBlue ? from[0] : from[2];
            to[3] = 255;
        }
    }
    return bitmap;
}

} // namespace

std::optional<tBitmap> tWaylandClient::CaptureOutput(uint32_t outputId, int timeoutMs)
{
    tState& s = *state_;
    const tOutputRecord* output = s.Find(outputId);
    if (!HasScreenCopy() || !output || s.lost)
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto waitFor = [&](const auto& done) {
        while (!done() && Connected()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            DispatchWaiting(static_cast<int>(left.count()));
        }
        return done();
    };

    tCopy copy;
    zwlr_screencopy_frame_v1* frame = zwlr_screencopy_manager_v1_capture_output(s.screenCopy, 0, output->output);
    zwlr_screencopy_frame_v1_add_listener(frame, &kCopyListener, &copy);
    std::optional<tBitmap> picture;
    if (waitFor([&] { return copy.described || copy.failed; }) && !copy.failed && copy.width > 0 && copy.height > 0 &&
        copy.stride >= copy.width * 4) {
        tShmBuffer buffer(s.shm, copy);
        if (buffer.Buffer()) {
            zwlr_screencopy_frame_v1_copy(frame, buffer.Buffer());
            if (waitFor([&] { return copy.ready || copy.failed; }) && copy.ready)
                picture = BitmapOf(copy, buffer.Pixels());
        }
    }
    zwlr_screencopy_frame_v1_destroy(frame);
    wl_display_flush(s.display);
    return picture;
}

// ---------------------------------------------------------------------------
// EGL on the connection
// ---------------------------------------------------------------------------

void tWaylandClient::tState::EnsureEGL()
{
    if (egl != EGL_NO_DISPLAY)
        return;
    EGLDisplay made = eglGetPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, display, nullptr);
    if (made == EGL_NO_DISPLAY || !eglInitialize(made, nullptr, nullptr))
        throw std::runtime_error("EGL does not start on the Wayland connection");
    if (!eglBindAPI(EGL_OPENGL_API)) {
        eglTerminate(made);
        throw std::runtime_error("EGL offers no desktop OpenGL");
    }
    // Opaque RGB: the buffers have no alpha channel, so the compositor never
    // lets the desktop show through the saver.
    const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                 EGL_RED_SIZE,     8,              EGL_GREEN_SIZE,      8,
                                 EGL_BLUE_SIZE,    8,              EGL_ALPHA_SIZE,      0,
                                 EGL_DEPTH_SIZE,   0,              EGL_STENCIL_SIZE,    0,
                                 EGL_NONE};
    EGLConfig configs[64];
    EGLint count = 0;
    if (!eglChooseConfig(made, attributes, configs, 64, &count) || count < 1) {
        eglTerminate(made);
        throw std::runtime_error("EGL offers no 24-bit window configuration");
    }
    // "At least 0 bits of alpha" admits configurations with alpha too.
    eglConfig = configs[0];
    for (EGLint i = 0; i < count; ++i) {
        EGLint alpha = -1;
        if (eglGetConfigAttrib(made, configs[i], EGL_ALPHA_SIZE, &alpha) && alpha == 0) {
            eglConfig = configs[i];
            break;
        }
    }
    egl = made;
}
