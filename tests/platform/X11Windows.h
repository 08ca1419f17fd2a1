#pragma once
// Two nested X11 windows made by the test (kept apart from GoogleTest code,
// whose names clash with Xlib's macros).
#include <cstdint>

class tX11WindowPair {
public:
    tX11WindowPair();
    ~tX11WindowPair();
    bool Valid() const { return display_ != nullptr; }
    uint64_t Parent() const { return parent_; }
    uint64_t Child() const { return child_; }

private:
    void* display_ = nullptr;
    uint64_t parent_ = 0;
    uint64_t child_ = 0;
};

/// A window of the test and a pixmap of the screen's depth holding a
/// picture whose left half is 0x204080 and right half 0xC0E010 (RGB), to
/// stand in for a screen-saver host's screenshot of the desktop.
class tX11Screenshot {
public:
    tX11Screenshot(int width, int height);
    ~tX11Screenshot();
    bool Valid() const { return display_ != nullptr; }
    uint64_t Window() const { return window_; }
    uint64_t Pixmap() const { return pixmap_; }
    /// Names the pixmap in _SCREENSAVER_SCREENSHOT of the window or of the
    /// root window (removed again on destruction).
    void Announce(bool onRoot);
    /// Frees the pixmap; the property keeps naming it.
    void FreePixmap();

private:
    void* display_ = nullptr;
    uint64_t window_ = 0;
    uint64_t pixmap_ = 0;
    bool onRoot_ = false;
};
