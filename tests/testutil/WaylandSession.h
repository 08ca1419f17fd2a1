#pragma once
// A Wayland desktop of the test's own: a headless sway with its outputs side
// by side, run as an ordinary user (sway refuses root) with a runtime folder
// of its own, and what a user does there: look at an output (grim), type
// (wtype) and move the pointer (a virtual pointer of ours, as headless sway
// has no pointer device).
#include "ScreenShot.h"
#include "TestUtil.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class tChildProcess;

/// An output's name and its place in the layout, in layout pixels.
struct tOutputPlace {
    std::string name;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class tWaylandSession {
public:
    /// Starts sway with the given number of 1280 × 720 outputs and extra
    /// configuration lines, and waits until it answers (at most 30 s).
    explicit tWaylandSession(int outputs = 2, const std::string& config = "");
    ~tWaylandSession();
    tWaylandSession(const tWaylandSession&) = delete;
    tWaylandSession& operator=(const tWaylandSession&) = delete;

    bool Valid() const { return !socket_.empty(); }
    /// The compositor's log (for failure messages).
    std::string Log() const;

    /// WAYLAND_DISPLAY for clients: the socket's full path, which any user
    /// the socket's folder lets in can connect to.
    const std::string& Display() const { return socket_; }
    /// Entries a client's environment needs (WAYLAND_DISPLAY, and
    /// XDG_SESSION_TYPE=wayland as a desktop session sets it).
    std::vector<std::string> Environment() const;

    /// A sway command (swaymsg); true when sway accepted it.
    bool Command(const std::string& command) const;
    /// The enabled outputs as sway reports them, in its order.
    std::vector<tOutputPlace> Outputs() const;
    /// Polls until the number of enabled outputs is n (at most 10 s).
    bool WaitForOutputs(size_t n) const;

    /// What the output shows now (empty when grim fails).
    tScreenShot Shot(const std::string& output) const;
    /// wtype with these arguments ("a" types a; "-P", "Shift_L" presses
    /// Shift, "-p", "Shift_L" releases it); true when it ran to its end. Headless sway has no keyboard
    /// of its own: wtype's virtual keyboard appears when wtype starts and
    /// goes when it ends, so it waits a moment before typing, for clients to
    /// take the new keyboard.
    bool Type(const std::vector<std::string>& arguments) const;
    /// The same without waiting for the end, for a test that must dispatch
    /// its own client's events meanwhile.
    std::unique_ptr<tChildProcess> StartTyping(const std::vector<std::string>& arguments) const;
    /// Moves the pointer to the layout position (x, y); true once sway has
    /// handled the motion.
    bool MovePointer(int x, int y);

private:
    struct tPointer;

    tTempDir dir_;
    std::unique_ptr<tChildProcess> sway_;
    std::string socket_;
    std::string ipcSocket_;
    std::unique_ptr<tPointer> pointer_;
};

/// Polls the condition every 20 ms until it holds; false after the timeout.
template <class F>
bool WaitUntil(F&& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
