#pragma once
// Whether the toolkit will find its display. Started without one, the
// toolkit aborts the process with its own text; checked first, the program
// can say what is wrong and end with its own exit code.
#include <optional>
#include <string>

/// The display the toolkit could not use, and why when the name alone does
/// not tell ("DISPLAY is not set").
struct tDisplayProblem {
    std::string name;
    std::string why;
};

/// What keeps the toolkit from its display; nothing when it can start. The
/// toolkit tries the platforms of -platform (or --platform) NAME, else of
/// QT_QPA_PLATFORM, else of the session type (XDG_SESSION_TYPE=wayland:
/// Wayland, then X11), else X11, in order, and starts on the first that
/// works: the check fails only when none would. X11 is reached at the
/// display of -display (or --display) NAME, else $DISPLAY; Wayland at the
/// socket WAYLAND_DISPLAY (default "wayland-0") names, and only when the
/// toolkit has its Wayland support installed. Other platforms (offscreen,
/// minimal, ...) need no display. argv is read, never changed.
std::optional<tDisplayProblem> UnreachableDisplay(int argc, const char* const* argv);
