#pragma once
// Windows that other programs made and the program draws into: a host's
// preview box, or the window a screen-saver daemon made for its hack. The
// program learns from the window system when such a window changes size or
// goes away.
#include <cstdint>
#include <memory>

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

private:
    struct tImpl;
    uint64_t id_;
    std::unique_ptr<tImpl> impl_;
};

/// True when the id names a window on the display.
bool WindowIdExists(uint64_t id);
