#include "uRunOptions.h"

#include "uHosting.h"
#include "uPlatform.h"
#include "uRunMode.h"
#include "uWayland.h"

#include <cstdio>

namespace {

std::string HostSourceText(tHostSource source)
{
    switch (source) {
    case tHostSource::WindowIdSwitch:
        return "--window-id";
    case tHostSource::Environment:
        return "XSCREENSAVER_WINDOW";
    default:
        return "--root";
    }
}

} // namespace

std::string WindowIdText(uint64_t id)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(id));
    return text;
}

tRunRequest RunRequestFrom(const tCommandLine& line)
{
    tRunRequest request;
    tRunOptions& options = request.options;
    options.showFramesPerSecond = line.showFramesPerSecond;
    options.overrides = line.settings;
    const std::optional<std::string> wayland = WaylandSessionDisplay();
    if (line.Hosted()) {
        options.mode = rmHosted;
        if (line.hostSource == tHostSource::Root && wayland) {
            options.waylandDisplay = *wayland;
            return request;
        }
        options.hostWindow = line.hostSource == tHostSource::Root ? RootWindowId() : line.hostWindow;
        const std::string from = " (from " + HostSourceText(line.hostSource) + ")";
        if (!WindowExists(options.hostWindow)) {
            request.failure = tCommandLineError::BadWindow;
            request.message = "there is no window " + WindowIdText(options.hostWindow) + " to draw in" + from;
        } else if (!WindowDrawable(options.hostWindow)) {
            request.failure = tCommandLineError::BadWindow;
            request.message =
                "the window " + WindowIdText(options.hostWindow) + " takes input only and cannot be drawn in" + from;
        }
        return request;
    }
    options.mode = RunModeFromArguments(line.classicArgs);
    if (options.mode == rmScreenSaver && wayland)
        options.waylandDisplay = *wayland;
    if (options.mode == rmConfigure) {
        if (const uint64_t handle = ConfigureHandleFromArgument(line.classicArgs[0]))
            options.optionsHost = ParentWindowOf(handle);
    } else if (options.mode == rmPreview) {
        options.previewArgument = line.previewArgument;
        options.hostWindow = PreviewHandleFromArgument(line.previewArgument);
    }
    return request;
}
