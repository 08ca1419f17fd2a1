#pragma once
// Windows that other programs made: a host's preview box, the window a
// screen-saver daemon made for its hack, the settings dialog's host. The
// program learns from the window system when such a window changes size or
// goes away; no X error about a window that has gone reaches the program.
#include <cstdint>
#include <memory>
#include <optional>

struct tScreenPoint {
    int x = 0;
    int y = 0;
};

class tForeignWindow {
public:
    /// Starts watching the window with this X11 id (no display: nothing is
    /// watched and Exists() is false).
    explicit tForeignWindow(uint64_t id);
    ~tForeignWindow();
    tForeignWindow(const tForeignWindow&) = delete;
    tForeignWindow& operator=(const tForeignWindow&) = delete;

    /// Reads what the window system reported since the last call; false once
    /// the window is gone (or when it never existed).
    bool Exists();
    /// The window's size as last reported, in pixels.
    int Width() const;
    int Height() const;
    uint64_t Id() const { return id_; }
    /// The window's top-left corner in screen coordinates; none when gone.
    std::optional<tScreenPoint> TopLeft();
    /// Asks the window manager to bring the window to the front and give it
    /// the focus (_NET_ACTIVE_WINDOW). Nothing happens without a window
    /// manager or when the window has gone.
    void Activate();

private:
    struct tImpl;
    uint64_t id_;
    std::unique_ptr<tImpl> impl_;
};
