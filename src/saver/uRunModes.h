#pragma once
// The run modes. The entry block chooses one from the command line; the
// running zoom and its input rules behave by it (quarter resolution in
// Preview, no screen checks in a window another program owns, the desktop
// fade-in and stopping on input only in Screen Saver mode).

enum tRunModeValue : int {
    rmDemo = 1,
    rmScreenSaver = 2,
    rmFreeZoom = 3,
    rmConfigure = 4,
    rmBenchmark = 5,
    rmPreview = 6,
    /// Drawing into a window that an X11 screen-saver host made (or the root
    /// window), chosen by -window-id, XSCREENSAVER_WINDOW or -root.
    rmHosted = 7,
};
