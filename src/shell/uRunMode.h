#pragma once
// The run mode: its display and mutex names, the classic switch that
// selects it, and the window ids of the classic switches.
#include "uRunModes.h"

#include <cstdint>
#include <string>
#include <vector>

/// "Demo", "Screen Saver", "Free Zoom", "Configure", "Benchmark", "Preview",
/// "Hosted"; empty for any other value.
std::string RunModeName(int mode);
/// "FractalRUN", "FractalCONF" or "FractalPREV"; empty for Free Zoom and
/// Hosted: a host starts one hosted saver per monitor at the same time.
std::string RunModeMutexName(int mode);

/// The mode the arguments select, or 0 for an unrecognised switch. No
/// arguments select Screen Saver; otherwise the upper-cased second character
/// of the first argument decides: B, C, D, P or S.
int RunModeFromArguments(const std::vector<std::string>& args);

/// Each argument followed by one space.
std::string JoinArguments(const std::vector<std::string>& args);

/// An X11 window id written as 0x hex or decimal digits; 0 when the text is
/// anything else, 0 itself, or does not fit in 32 bits.
uint64_t WindowIdFromText(const std::string& text);
/// Window handle of "/c:HANDLE": the characters from the fourth on (at most
/// 99) as a window id, 0x hex or decimal; 0 when they are anything else.
uint64_t ConfigureHandleFromArgument(const std::string& firstArgument);
/// Window handle of the preview's second argument, 0x hex or decimal; 0
/// when it is anything else.
uint64_t PreviewHandleFromArgument(const std::string& secondArgument);
