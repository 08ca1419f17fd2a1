#include "uDisplayPower.h"

// The toolkit's headers come before Xlib's, whose macros clash with them.
#include <QGuiApplication>

#include "uX11Display.h"

#include <X11/extensions/dpms.h>

namespace {

/// One connection for the life of the process: the question is asked every
/// second while the zoom runs.
Display* Connection()
{
    static const tX11Connection connection;
    return connection.Get();
}

} // namespace

bool MonitorPoweredOff()
{
    if (QGuiApplication::platformName() != "xcb")
        return false;
    Display* display = Connection();
    int eventBase = 0;
    int errorBase = 0;
    if (!display || !DPMSQueryExtension(display, &eventBase, &errorBase) || !DPMSCapable(display))
        return false;
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    if (!DPMSInfo(display, &level, &enabled))
        return false;
    return enabled && level != DPMSModeOn;
}
