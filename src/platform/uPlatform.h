#pragma once
// Services of the operating system and the window toolkit behind plain C++
// declarations, so that no other layer includes a toolkit header.
#include <cstdint>
#include <string>

/// Folder of the running program, with a trailing separator.
std::string ExecutableFolder();

/// Sets the x87 control word (all exceptions masked, 64-bit precision,
/// rounding to nearest: 0x133F) and masks every SSE exception. No-op on
/// processors without an x87.
void SetFloatingPointControl();

/// True when the program may show modal message boxes. Setting the
/// environment variable FRACTAL_NO_DIALOGS=1 (automated runs) turns them into
/// lines on standard error.
bool DialogsAllowed();

/// A modal message box owned by the application window (or standard error
/// when no application exists, dialogs are off or EndMessageBoxes was
/// called). A keyboard or mouse grab is released first, so the box gets the
/// keys.
void ShowMessageBox(const std::string& text, const std::string& caption = "");
/// For a termination request: every open message box closes as if
/// dismissed, and later ones go to standard error, so nothing waits for a
/// user who is not there.
void EndMessageBoxes();

/// What a fatal error shows before the program ends: logs the message,
/// shows the mouse cursor, hides the program's windows and shows the message
/// without a caption.
void ShowFatalError(const std::string& message);

/// Handles pending window-system events (the frame loops pump these themselves).
void ProcessMessages();

/// Parent of an X11 window, or 0 when the id names no window or there is no
/// display. The root window counts as no parent.
uint64_t ParentWindowOf(uint64_t windowId);

/// Processor vendor and brand text from the identification instruction.
std::string ProcessorBrand();
