#pragma once
// How the platform files talk to the X server themselves (for what the
// toolkit does not offer: foreign windows, the host's screenshot, DPMS, a
// window's parent): a connection of their own to the display the toolkit
// uses, and requests whose X errors (a window that has gone, an id from the
// command line that names nothing) are counted instead of ending the
// process, as Xlib's default error handler would. Only platform
// implementation files include this header.
#include <X11/Xlib.h>

#include <string>

/// The X11 display the toolkit is connected to (as it was opened); before
/// the toolkit starts, or when it does not use X11, $DISPLAY.
std::string ToolkitDisplayName();

class tX11Connection {
public:
    /// Opens the toolkit's display.
    tX11Connection();
    /// Opens the named display ("" for $DISPLAY).
    explicit tX11Connection(const std::string& displayName);
    ~tX11Connection();
    tX11Connection(const tX11Connection&) = delete;
    tX11Connection& operator=(const tX11Connection&) = delete;

    /// None when the display could not be opened.
    Display* Get() const { return display_; }
    explicit operator bool() const { return display_ != nullptr; }

    /// Runs requests (a callable returning bool) with X errors counted:
    /// true when they returned true and the server reported no error.
    template <class F>
    bool Checked(F&& requests)
    {
        BeginChecking();
        const bool ok = requests();
        return EndChecking() && ok;
    }

private:
    void BeginChecking();
    bool EndChecking();

    Display* display_ = nullptr;
    XErrorHandler previous_ = nullptr;
};
