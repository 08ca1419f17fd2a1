#include "uToolMain.h"

#include "uFormat.h"
#include "uLog.h"
#include "uNumberParser.h"
#include "uOpenGL.h"
#include "uPage.h"

#include <cstdio>
#include <exception>
#include <stdexcept>

int ToolMain(int argc, char** argv, const char* name, const char* usage, const std::function<bool()>& parse,
             const std::function<int()>& run)
{
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (!parse()) {
        std::fputs(usage, stderr);
        return 2;
    }
    SendLogToStandardError();
    int status = 1;
    try {
        status = run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", name, e.what());
    }
    SetLogWarningsList(nullptr);
    return status;
}

int PictureToolMain(int argc, char** argv, const char* name, const std::function<void(const std::string& out)>& run)
{
    const std::string usage = std::string("usage: ") + name + " OUT.png\n";
    return ToolMain(
        argc, argv, name, usage.c_str(), [&] { return argc == 2; },
        [&] {
            run(argv[1]);
            return 0;
        });
}

void SaveBackBufferToPng(int32_t width, int32_t height, const std::string& path)
{
    tPage frame;
    ReadBackBuffer(width, height, frame);
    if (!frame.SaveToPngFile(path))
        throw std::runtime_error("could not write " + path);
}

bool ParseWholeNumber(const std::string& text, int64_t low, int64_t high, int64_t& out)
{
    int64_t n = 0;
    if (!TryStrToInt(text, n) || n < low || n > high)
        return false;
    out = n;
    return true;
}

bool ParseWholeNumber(const std::string& text, int64_t low, int64_t high, int32_t& out)
{
    int64_t n = 0;
    if (!ParseWholeNumber(text, low, high, n))
        return false;
    out = static_cast<int32_t>(n);
    return true;
}

bool ParseSize(const std::string& text, int32_t low, int32_t high, int32_t& width, int32_t& height)
{
    const auto parts = SplitText(text, 'x');
    return parts.size() == 2 && ParseWholeNumber(parts[0], low, high, width) &&
           ParseWholeNumber(parts[1], low, high, height);
}
