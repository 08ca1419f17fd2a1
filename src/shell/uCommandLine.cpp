#include "uCommandLine.h"

#include "uFormat.h"
#include "uGlobalSettings.h"
#include "uNumberParser.h"
#include "uRunMode.h"

#include <set>

namespace {
bool IsOneOf(const std::string& arg, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (arg == n)
            return true;
    return false;
}

// Our options that X11 hosts and hand-edited lines spell with one dash
// (help and version have their own list of spellings).
bool IsSingleDashOption(const std::string& name)
{
    return IsOneOf(name, {"-window-id", "-root", "-detail", "-deep-zoom", "-no-deep-zoom", "-deep-dive", "-no-deep-dive",
                          "-seed", "-threads", "-fps"});
}

bool IsHelp(const std::string& arg) { return IsOneOf(arg, {"--help", "-help", "-h", "-?", "/?"}); }
bool IsVersion(const std::string& arg) { return IsOneOf(arg, {"--version", "-version", "-v"}); }

// The common options of xscreensaver's hacks that mean nothing here: the
// window comes from -root or -window-id, and the zoom paces itself.
bool IsIgnoredHostFlag(const std::string& arg)
{
    return IsOneOf(arg, {"-window", "-install", "-noinstall", "-mono", "-pair", "-no-fps"});
}
bool IsIgnoredHostOption(const std::string& arg)
{
    return IsOneOf(arg, {"-delay", "-visual", "-count", "-cycles", "-ncolors", "-fg", "-bg", "-foreground",
                         "-background"});
}

// Takes the options out of the arguments into the command line; the host
// switches are kept apart until the window's source is chosen.
class tParser {
public:
    tParser(const std::vector<std::string>& args, tCommandLine& line) : args_(args), line_(line) {}

    uint64_t windowId = 0;
    bool root = false;

    void Run()
    {
        for (index_ = 0; index_ < args_.size() && line_.error.empty(); ++index_)
            Take(args_[index_]);
    }

private:
    void Fail(tCommandLineError failure, const std::string& message)
    {
        if (line_.error.empty()) {
            line_.error = message;
            line_.failure = failure;
        }
    }

    // The value after an option, or from "--option=value".
    std::optional<std::string> Value(const std::string& option, const std::optional<std::string>& attached)
    {
        if (attached)
            return attached;
        if (index_ + 1 < args_.size())
            return args_[++index_];
        Fail(option == "--window-id" ? tCommandLineError::BadWindow : tCommandLineError::BadValue, option + " needs a value");
        return std::nullopt;
    }

    void Take(const std::string& arg)
    {
        if (IsIgnoredHostFlag(arg)) {
            line_.ignored.push_back(arg);
            return;
        }
        if (IsIgnoredHostOption(arg)) {
            line_.ignored.push_back(index_ + 1 < args_.size() ? arg + " " + args_[++index_] : arg);
            return;
        }
        std::string name = arg;
        if (IsHelp(arg))
            name = "--help";
        else if (IsVersion(arg))
            name = "--version";
        else if (IsSingleDashOption(arg.substr(0, arg.find('='))))
            name = "-" + arg;
        std::optional<std::string> attached;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            attached = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (name.rfind("--", 0) != 0) {
            line_.classicArgs.push_back(arg);
            return;
        }
        const bool takesValue = IsOneOf(name, {"--window-id", "--detail", "--seed", "--threads"});
        if (attached && !takesValue) {
            Fail(tCommandLineError::BadValue, name + " takes no value");
            return;
        }

        if (name == "--window-id") {
            if (const auto v = Value(name, attached)) {
                windowId = WindowIdFromText(*v);
                if (windowId == 0)
                    Fail(tCommandLineError::BadWindow, "--window-id: \"" + *v + "\" is not a window id (0x hex or decimal, not 0)");
            }
        } else if (name == "--root") {
            root = true;
        } else if (name == "--detail") {
            if (const auto v = Value(name, attached)) {
                uint64_t level = 0;
                if (UpperCase(*v) == "AUTO")
                    line_.settings.detailLevel = kAutoDetectDetailLevel;
                else if (ParseUnsigned(*v, 10, kHighestDetailLevel, level) && level >= kLowestDetailLevel)
                    line_.settings.detailLevel = static_cast<uint8_t>(level);
                else
                    Fail(tCommandLineError::BadValue, "--detail: \"" + *v + "\" is not a detail level (1 to 5, or auto)");
            }
        } else if (name == "--deep-zoom" || name == "--no-deep-zoom") {
            line_.settings.zoomDeep = name == "--deep-zoom";
        } else if (name == "--deep-dive" || name == "--no-deep-dive") {
            line_.settings.deepDive = name == "--deep-dive";
        } else if (name == "--seed") {
            if (const auto v = Value(name, attached)) {
                uint64_t seed = 0;
                if (ParseUnsigned(*v, 10, 0xFFFFFFFFu, seed))
                    line_.settings.patternSeed = static_cast<int32_t>(static_cast<uint32_t>(seed));
                else
                    Fail(tCommandLineError::BadValue, "--seed: \"" + *v + "\" is not a seed (0 to 4294967295; 0 = from the clock)");
            }
        } else if (name == "--threads") {
            if (const auto v = Value(name, attached)) {
                uint64_t threads = 0;
                if (ParseUnsigned(*v, 10, kMaxRenderThreads, threads))
                    line_.settings.renderThreads = static_cast<int32_t>(threads);
                else
                    Fail(tCommandLineError::BadValue, "--threads: \"" + *v + "\" is not a number of render threads (0 to " +
                                                          IntToStr(kMaxRenderThreads) + ")");
            }
        } else if (name == "--fps") {
            line_.showFramesPerSecond = true;
        } else if (name == "--help") {
            line_.help = true;
        } else if (name == "--version") {
            line_.version = true;
        } else {
            Fail(tCommandLineError::Unknown, "unknown option " + arg);
        }
    }

    const std::vector<std::string>& args_;
    tCommandLine& line_;
    size_t index_ = 0;
};
} // namespace

std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& args)
{
    static const std::set<std::string> withValue = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                                    "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                                    "display", "geometry", "name", "title", "visual", "style",
                                                    "stylesheet"};
    static const std::set<std::string> alone = {"reverse", "widgetcount", "sync", "nograb", "dograb"};
    std::vector<std::string> left;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string name = arg.rfind("--", 0) == 0 ? arg.substr(2) : arg.rfind('-', 0) == 0 ? arg.substr(1) : "";
        name = name.substr(0, name.find('='));
        if (withValue.count(name)) {
            if (arg.find('=') == std::string::npos)
                ++i; // its value
            continue;
        }
        if (!alone.count(name))
            left.push_back(arg);
    }
    return left;
}

tCommandLine ParseCommandLine(const std::vector<std::string>& args, const char* xscreensaverWindow)
{
    tCommandLine line;
    // Help and version win over anything else on the line.
    for (const auto& arg : args) {
        line.help = line.help || IsHelp(arg);
        line.version = line.version || IsVersion(arg);
    }
    if (line.help || line.version)
        return line;
    tParser parser(args, line);
    parser.Run();
    if (!line.error.empty())
        return line;

    const bool fromEnvironment = xscreensaverWindow && *xscreensaverWindow;
    if (parser.windowId != 0) {
        line.hostSource = tHostSource::WindowIdSwitch;
        line.hostWindow = parser.windowId;
    } else if (fromEnvironment && (parser.root || line.classicArgs.empty())) {
        line.hostSource = tHostSource::Environment;
        line.hostWindow = WindowIdFromText(xscreensaverWindow);
        if (line.hostWindow == 0) {
            line.error = std::string("XSCREENSAVER_WINDOW: \"") + xscreensaverWindow +
                         "\" is not a window id (0x hex or decimal, not 0)";
            line.failure = tCommandLineError::BadWindow;
        }
    } else if (parser.root) {
        line.hostSource = tHostSource::Root;
    }

    if (line.error.empty() && (parser.windowId != 0 || parser.root) && !line.classicArgs.empty()) {
        line.error = "\"" + line.classicArgs[0] + "\" cannot be used with " +
                     (parser.windowId != 0 ? "--window-id" : "--root");
        line.failure = tCommandLineError::BadValue;
    }
    if (line.error.empty() && !line.Hosted()) {
        // The classic switch: known, and for Preview with a window.
        const int mode = RunModeFromArguments(line.classicArgs);
        if (mode == 0) {
            line.error = "unknown switch \"" + line.classicArgs[0] + "\"";
            line.failure = tCommandLineError::Unknown;
        } else if (mode == rmPreview) {
            line.previewArgument = line.classicArgs.size() > 1 ? line.classicArgs[1] : std::string();
            if (PreviewHandleFromArgument(line.previewArgument) == 0) {
                line.error = "/p needs the X11 window to draw in, as 0x hex or decimal digits, not \"" +
                             line.previewArgument + "\"";
                line.failure = tCommandLineError::BadWindow;
            }
        }
    }
    return line;
}

std::string UsageText()
{
    return std::string(kProgramVersionText) +
           " - an endless, smooth zoom into the Mandelbrot set\n"
           "\n"
           "Usage: quorex [SWITCH] [OPTION...]\n"
           "\n"
           "Switches (one; a dash or any other first character will do for the slash):\n"
           "  /s                  full-screen screen saver (also with no switch)\n"
           "  /d                  the zoom in a window (demo)\n"
           "  /c[:WINDOW]         the settings dialog\n"
           "  /p WINDOW           the zoom inside the X11 window WINDOW (preview)\n"
           "  /b                  benchmark: time a fixed render and score the machine\n"
           "  --root              draw in the screen-saver host's window\n"
           "                      (XSCREENSAVER_WINDOW), else in the root window\n"
           "  --window-id ID      draw in the X11 window ID\n"
           "Window ids are 0x hex or decimal digits, as xwininfo prints them.\n"
           "\n"
           "Options (for this run only; nothing is stored):\n"
           "  --detail 1..5|auto  detail level (auto measures this machine)\n"
           "  --deep-zoom         zoom deep (64-bit keyframes)\n"
           "  --no-deep-zoom      stay within single precision\n"
           "  --deep-dive         huge zooms dive on to 10^100 (with deep zooming)\n"
           "  --no-deep-dive      huge zooms end at 2^40\n"
           "  --seed N            repeat the run of seed N (0 = from the clock)\n"
           "  --threads N         threads rendering keyframes beside the display\n"
           "                      (0: the display thread renders them; default: all\n"
           "                      cores but one)\n"
           "  --fps               show the frames per second\n"
           "  --help, -h, -?      print this text\n"
           "  --version, -v       print the version\n"
           "Every option may also be written with one dash (-root, -fps, -detail 3).\n"
           "\n"
           "For xscreensaver, add to the programs in ~/.xscreensaver:\n"
           "  GL: quorex --root\n"
           "Its hacks' own options -window, -install, -noinstall, -mono, -pair, -no-fps,\n"
           "-delay N, -visual V, -count N, -cycles N, -ncolors N, -fg C, -bg C are\n"
           "accepted and ignored (the log says so).\n"
           "\n"
           "Exit codes: 0 normal end, 2 bad option value, 20 another instance runs,\n"
           "24 unknown switch or option, 42 bad window, 101 no display,\n"
           "102/105/106 graphics failures.\n";
}

std::optional<int> HostedNiceness(int current)
{
    if (current > 0)
        return std::nullopt;
    return 10;
}
