#pragma once
// What a saver that an X11 screen-saver daemon hosts (xscreensaver, and the
// desktop savers that follow its conventions) needs from the system: the
// host's window, the picture the host took of the desktop, and a lower CPU
// priority. Windows are looked up on the display the toolkit uses.
#include "uBitmap.h"

#include <cstdint>
#include <optional>

/// Root window of the display's default screen; 0 without a display.
uint64_t RootWindowId();
/// True when the id names an existing window; false for 0, for an id of
/// another kind of resource, and without a display.
bool WindowExists(uint64_t windowId);
/// True when the id names an existing window that can be drawn in (an
/// input-only window cannot).
bool WindowDrawable(uint64_t windowId);

/// The desktop as the host saw it before covering it: the pixmap named by
/// the _SCREENSAVER_SCREENSHOT property of the window or, when the window
/// has none, of its root window, as an opaque picture. None when neither
/// carries one, the pixmap is gone, or its depth is not 24 or 32 bits.
std::optional<tBitmap> HostScreenshot(uint64_t windowId);

/// The nice value of the calling thread (0 when it cannot be read).
int ProcessNiceness();
/// Sets the nice value of every thread of the process; false when the
/// system refused it for any of them.
bool SetProcessNiceness(int nice);
