#pragma once
// The run options: what the command line asks of one run, with its windows
// looked up on the display. The program's entry owns them and hands the
// parts to the windows; nothing here is global.
#include "uCommandLine.h"
#include "uSettingsOverrides.h"

#include <cstdint>
#include <string>

/// What the command line asks of one run.
struct tRunOptions {
    int mode = 0;
    /// Hosted: the X11 window the zoom draws in (the root window for -root
    /// without XSCREENSAVER_WINDOW). Preview: the window of the second
    /// argument.
    uint64_t hostWindow = 0;
    /// Preview: the argument that names the window, as given.
    std::string previewArgument;
    /// Configure: the window the options dialog belongs to, the parent of
    /// the "/c:ID" window (0 for none).
    uint64_t optionsHost = 0;
    /// Screen Saver mode, and a hosted run asked to draw on the root
    /// (--root), in a Wayland session: the compositor whose outputs the run
    /// covers with surfaces of its own (empty otherwise).
    std::string waylandDisplay;
    /// --fps: the running zoom shows its frames per second.
    bool showFramesPerSecond = false;
    /// --detail, --deep-zoom, --seed: settings for this run, never stored.
    tSettingsOverrides overrides;
};

/// The options of a command line, or what is wrong with it.
struct tRunRequest {
    tRunOptions options;
    tCommandLineError failure = tCommandLineError::None;
    /// What is wrong, for the log and standard error.
    std::string message;
};

/// The run a parsed command line without errors asks for, its windows looked
/// up on the display: the mode (a host switch means Hosted mode), the window
/// a hosted saver draws in (it must exist, unless --root in a Wayland session
/// asks for the outputs' backgrounds), the preview's window, the options
/// dialog's host.
tRunRequest RunRequestFrom(const tCommandLine& line);

/// "0x400008": a window id as the messages write it.
std::string WindowIdText(uint64_t id);
