#pragma once
// What every developer tool's entry does alike: the usage on --help, on
// standard error with exit code 2 for options it cannot take, the log on
// standard error, and an exception ending the tool with its message and
// exit code 1. Plus the checked number readers their options share, and the
// frame written to a picture.
#include <cstdint>
#include <functional>
#include <string>

/// Runs a tool: parse(argc, argv) reads the options (false: they were bad,
/// and it has said why), run() does the work and gives the exit code.
int ToolMain(int argc, char** argv, const char* name, const char* usage, const std::function<bool()>& parse,
             const std::function<int()>& run);

/// ToolMain for a tool whose one argument is the picture it writes
/// ("usage: NAME OUT.png"); run gets that file name.
int PictureToolMain(int argc, char** argv, const char* name, const std::function<void(const std::string& out)>& run);
/// Writes the back buffer's top-left width × height pixels, opaque, to a PNG
/// file; throws when the file cannot be written.
void SaveBackBufferToPng(int32_t width, int32_t height, const std::string& path);

/// A whole number from low to high.
bool ParseWholeNumber(const std::string& text, int64_t low, int64_t high, int64_t& out);
bool ParseWholeNumber(const std::string& text, int64_t low, int64_t high, int32_t& out);
/// "WxH", each side from low to high.
bool ParseSize(const std::string& text, int32_t low, int32_t high, int32_t& width, int32_t& height);
