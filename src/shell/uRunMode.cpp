#include "uRunMode.h"

#include "uFormat.h"
#include "uNumberParser.h"

std::string RunModeName(int mode)
{
    static const char* const names[] = {"Demo",      "Screen Saver", "Free Zoom", "Configure",
                                        "Benchmark", "Preview",      "Hosted"};
    return mode >= 1 && mode <= 7 ? names[mode - 1] : "";
}

std::string RunModeMutexName(int mode)
{
    switch (mode) {
    case rmDemo:
    case rmScreenSaver:
    case rmBenchmark:
        return "FractalRUN";
    case rmConfigure:
        return "FractalCONF";
    case rmPreview:
        return "FractalPREV";
    default:
        return "";
    }
}

int RunModeFromArguments(const std::vector<std::string>& args)
{
    if (args.empty())
        return rmScreenSaver;
    const std::string first = UpperCase(args[0]);
    if (first.size() < 2)
        return 0;
    switch (first[1]) {
    case 'B':
        return rmBenchmark;
    case 'C':
        return rmConfigure;
    case 'D':
        return rmDemo;
    case 'P':
        return rmPreview;
    case 'S':
        return rmScreenSaver;
    default:
        return 0;
    }
}

std::string JoinArguments(const std::vector<std::string>& args)
{
    std::string joined;
    for (const auto& a : args)
        joined += a + " ";
    return joined;
}

uint64_t WindowIdFromText(const std::string& text)
{
    uint64_t id = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (!ParseUnsigned(hex ? text.substr(2) : text, hex ? 16 : 10, 0xFFFFFFFFu, id))
        return 0;
    return id;
}

uint64_t ConfigureHandleFromArgument(const std::string& firstArgument)
{
    if (firstArgument.size() <= 3)
        return 0;
    return WindowIdFromText(firstArgument.substr(3, 99));
}

uint64_t PreviewHandleFromArgument(const std::string& secondArgument) { return WindowIdFromText(secondArgument); }
