#pragma once
// Whether the toolkit will find its display. Started without one, the
// toolkit aborts the process with its own text; checked first, the program
// can say what is wrong and end with its own exit code.
#include <optional>
#include <string>

/// The name of the X11 display the toolkit would connect to when that
/// display cannot be opened ("" when none is named at all); nothing when it
/// can, or when the toolkit will not use X11: another platform chosen with
/// -platform (or --platform) NAME or QT_QPA_PLATFORM, or a Wayland session.
/// The display is the one of -display (or --display) NAME, else $DISPLAY.
/// argv is read, never changed.
std::optional<std::string> UnreachableDisplay(int argc, const char* const* argv);
