#pragma once
// What an end-to-end test does on the X display as a user would: look at the
// screen, move the mouse, press keys, and run a display of its own. Kept
// apart from the tests because Xlib's macros clash with GoogleTest.
#include "ScreenShot.h"

#include <cstdint>
#include <string>
#include <vector>

class tX11Session {
public:
    /// The display DISPLAY names, or the given one.
    explicit tX11Session(const std::string& display = "");
    ~tX11Session();
    tX11Session(const tX11Session&) = delete;
    tX11Session& operator=(const tX11Session&) = delete;

    bool Valid() const { return display_ != nullptr; }
    int Width() const;
    int Height() const;

    tScreenShot Shot(int x, int y, int width, int height) const;
    tScreenShot Shot() const { return Shot(0, 0, Width(), Height()); }

    /// Input as the XTest extension makes it: indistinguishable from a user's.
    void MoveMouse(int x, int y);
    /// A key by its keysym name ("a", "Shift_L", "Return").
    void Key(const std::string& name, bool down);
    void Tap(const std::string& name);
    /// A press and release of a mouse button where the pointer is.
    void Click(unsigned button = 1);

    /// A mapped top-level window of the given size with a black background.
    uint64_t CreateWindow(int x, int y, int width, int height);
    /// A mapped top-level window that takes input only (nothing can draw in it).
    uint64_t CreateInputOnlyWindow(int x, int y, int width, int height);
    void DestroyWindow(uint64_t window);
    /// The top-level windows that are mapped, as (x, y, width, height).
    std::vector<std::vector<int>> MappedWindows() const;
    /// The titles of the mapped top-level windows.
    std::vector<std::string> MappedWindowTitles() const;
    /// True while a mapped window covers the whole screen.
    bool ScreenCovered() const;
    /// A window filled with one colour (0xRRGGBB).
    uint64_t CreateColouredWindow(int x, int y, int width, int height, uint32_t colour);

private:
    void* display_ = nullptr;
};

/// An X server of the test's own (Xvfb with the given screen arguments,
/// for example "-screen 0 1280x1024x24 +xinerama"); its name is ":N".
class tPrivateDisplay {
public:
    explicit tPrivateDisplay(const std::string& arguments);
    ~tPrivateDisplay();
    tPrivateDisplay(const tPrivateDisplay&) = delete;
    tPrivateDisplay& operator=(const tPrivateDisplay&) = delete;

    bool Valid() const { return !name_.empty(); }
    const std::string& Name() const { return name_; }

private:
    void Start(const std::string& name, const std::string& arguments);
    void Stop();

    int pid_ = -1;
    std::string name_;
};
