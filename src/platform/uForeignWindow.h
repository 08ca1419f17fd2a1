#pragma once
// A window of another program, named by its X11 id: the host window of the
// settings dialog. The dialog asks whether it still exists, where it is, and
// hands the focus back to it at the end. Everything is answered from the X
// server, so an id that was never valid or whose window has gone simply
// reports "gone"; no X error reaches the program.
#include <cstdint>
#include <optional>

struct tScreenPoint {
    int x = 0;
    int y = 0;
};

class tForeignWindow {
public:
    /// Opens its own connection to the display; without a display the window
    /// counts as gone.
    explicit tForeignWindow(uint64_t id);
    ~tForeignWindow();
    tForeignWindow(const tForeignWindow&) = delete;
    tForeignWindow& operator=(const tForeignWindow&) = delete;

    uint64_t Id() const { return id_; }
    /// False once the window has been destroyed (or for an id that names none).
    bool Exists() const;
    /// The window's top-left corner in screen coordinates; none when gone.
    std::optional<tScreenPoint> TopLeft() const;
    /// Asks the window manager to bring the window to the front and give it
    /// the focus (_NET_ACTIVE_WINDOW). Nothing happens without a window
    /// manager or when the window has gone.
    void Activate() const;

private:
    void* display_ = nullptr;
    uint64_t id_ = 0;
};
