#pragma once
// A virtual display of the test's own (for a screen-saver daemon that grabs
// input and covers the screen, which must not disturb other tests), the
// screen's pixels, and a coloured window on a desktop. Kept apart from the tests because Xlib's macros clash
// with GoogleTest.
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

class tXvfb {
public:
    /// Starts Xvfb on a free display number (1024 x 768, 24 bits).
    tXvfb();
    ~tXvfb();
    tXvfb(const tXvfb&) = delete;
    tXvfb& operator=(const tXvfb&) = delete;

    bool Valid() const { return !name_.empty(); }
    /// ":N"
    const std::string& Name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

struct tPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb; // 0xRRGGBB, rows top first

    /// Number of different colours.
    size_t Colours() const;
    /// Share of pixels that differ from the other shot's (1 when sizes differ).
    double ChangedShare(const tPixels& other) const;
};

/// The whole screen of the display, or one window's part of it; empty when
/// it cannot be reached.
tPixels GrabPixels(const std::string& display, uint64_t window = 0);

/// A plainly coloured window on the desktop of a display, for a picture of
/// the desktop to show.
class tColouredWindow {
public:
    tColouredWindow(const std::string& display, int x, int y, int width, int height, uint32_t rgb);
    ~tColouredWindow();
    tColouredWindow(const tColouredWindow&) = delete;
    tColouredWindow& operator=(const tColouredWindow&) = delete;
    bool Valid() const { return display_ != nullptr; }

private:
    void* display_ = nullptr;
};
