#pragma once
// The command line beyond the classic switches (/s /c /p /d /b): the
// switches of X11 screen-saver hosts and the options that change one run.
// They are taken out first; the classic rules see only what is left.
//
//   -window-id ID, --window-id ID  draw in that X11 window (0x hex or decimal)
//   -root, --root                  draw in XSCREENSAVER_WINDOW when it is set
//                                  (as xscreensaver does), else the root window
//   --detail 1..5|auto, --deep-zoom, --no-deep-zoom, --deep-dive, --no-deep-dive,
//   --seed N
//                                  settings for this run, never stored
//   --fps, --help (-h, -?), --version (-v)
// Each may be written with one dash as well. The common options of
// xscreensaver's hacks (-window, -delay N, -install, -visual V, ...) are
// taken out and ignored: a hand-edited ~/.xscreensaver line may carry them.
//
// The window comes from (in this order) -window-id, XSCREENSAVER_WINDOW and
// -root. XSCREENSAVER_WINDOW alone also selects hosted mode, unless a
// classic switch names another mode: desktop savers start their savers
// with only that variable set.
#include "uSettingsOverrides.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr char kProgramVersionText[] = "Quorex V1.4.0 (24/10/2007)";

/// What is wrong with a command line. The program's entry turns each kind
/// into its exit code.
enum class tCommandLineError {
    None,
    /// A bad option value, a missing value, or a classic switch beside a host switch.
    BadValue,
    /// A switch or an option this program does not know.
    Unknown,
    /// The window to draw in is missing, not a number, 0, or names no window.
    BadWindow,
};

enum class tHostSource { None, WindowIdSwitch, Environment, Root };

struct tCommandLine {
    /// The arguments the classic switch rules read, in their order.
    std::vector<std::string> classicArgs;
    tHostSource hostSource = tHostSource::None;
    /// The window to draw in; 0 with Root: the display's root window.
    uint64_t hostWindow = 0;
    tSettingsOverrides settings;
    bool showFramesPerSecond = false;
    bool help = false;
    bool version = false;
    /// Host options that were taken out and are ignored, for the log.
    std::vector<std::string> ignored;
    /// Preview: the argument that names the window.
    std::string previewArgument;
    /// What went wrong (for standard error and the log); empty when nothing
    /// did: a bad option or value, an unknown switch, a preview without a
    /// window id.
    std::string error;
    tCommandLineError failure = tCommandLineError::None;

    bool Hosted() const { return hostSource != tHostSource::None; }
};

/// Reads the arguments (without the program name). xscreensaverWindow is
/// the environment variable's value, or null when it is not set.
tCommandLine ParseCommandLine(const std::vector<std::string>& args, const char* xscreensaverWindow);

/// The arguments without the toolkit's own options (-display NAME,
/// -platform NAME, -style NAME, -reverse, ...), which it takes out itself
/// once it starts.
std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& args);

/// What --help prints.
std::string UsageText();

/// The nice value a hosted saver takes: 10, unless the host has already
/// lowered the priority (a nice value above 0), which is then kept.
std::optional<int> HostedNiceness(int current);
