#pragma once
// The test's own connection to the X server: host windows for the settings
// switch, the program's windows found by title, and what a window manager or
// a user sends them. Kept apart from the tests because Xlib's macros clash
// with GoogleTest.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

class tX11Client {
public:
    tX11Client();
    ~tX11Client();
    tX11Client(const tX11Client&) = delete;
    tX11Client& operator=(const tX11Client&) = delete;

    bool Valid() const { return display_ != nullptr; }

    /// A mapped window at (x, y) inside the parent (0: the screen).
    uint64_t CreateWindow(uint64_t parent, int x, int y, int width, int height);
    void DestroyWindow(uint64_t window);

    /// The first mapped top-level window of the process with this title,
    /// polled until the timeout (tests running side by side share the screen).
    std::optional<uint64_t> FindWindow(int pid, const std::string& title, std::chrono::milliseconds timeout);
    /// False once the window is gone or unmapped.
    bool IsMapped(uint64_t window);
    /// Polls until the keyboard focus is on the window or inside it; false
    /// after the timeout. Keys sent before would find no one to take them.
    bool WaitForFocus(uint64_t window, std::chrono::milliseconds timeout);
    /// Top-left corner in screen coordinates.
    std::optional<std::pair<int, int>> Position(uint64_t window);
    /// WM_TRANSIENT_FOR, 0 when unset.
    uint64_t TransientFor(uint64_t window);
    /// Whether _NET_WM_STATE holds the state (such as "_NET_WM_STATE_MODAL").
    bool HasState(uint64_t window, const std::string& state);

    /// What a window manager sends when the close box is clicked.
    void SendCloseRequest(uint64_t window);
    /// A key press and release (keysym name such as "Up", "Return", "Escape").
    void SendKey(uint64_t window, const std::string& keysym);

private:
    /// The raw data of a window property of the given type; empty when unset.
    std::string Property(uint64_t window, const char* name, unsigned long type);

    void* display_ = nullptr;
};
