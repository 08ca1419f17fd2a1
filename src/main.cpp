// Program entry: program initialisation, the entry block, program
// finalisation. The entry block owns the run: it parses the command line
// into run options, takes the mode family's instance, loads the run's
// settings and builds the mode's windows on them, runs the message loop, and
// turns whatever ended the run into an exit code. The exit codes are defined
// here and nowhere else, and only this file ends the process.
#include "uAboutBox.h"
#include "uApplication.h"
#include "uBenchmarkDisplayForm.h"
#include "uBenchmarkForm.h"
#include "uCommandLine.h"
#include "uDebugForm.h"
#include "uFileLocations.h"
#include "uFormat.h"
#include "uGlobalSettings.h"
#include "uGraphicsFailure.h"
#include "uHideScreenForm.h"
#include "uHosting.h"
#include "uLog.h"
#include "uOptionsForm.h"
#include "uPlatform.h"
#include "uProgram.h"
#include "uRunMode.h"
#include "uRunOptions.h"
#include "uScreenSaverForm.h"
#include "uSettingsOverrides.h"
#include "uSystemInfo.h"
#include "uWaylandSaverForm.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

/// Every way the program ends.
enum tExitCode : int {
    kExitNormal = 0,
    /// A bad option value, a missing value, or a classic switch beside a host switch.
    kExitBadOption = 2,
    kExitPreviousInstance = 20,
    /// An unrecognised switch letter or option.
    kExitUnknownSwitch = 24,
    /// The preview's window or the window to draw in is missing or bad.
    kExitBadWindow = 42,
    kExitNoDisplay = 101,
    kExitNoGLContext = 102,
    kExitColourDepth = 105,
    kExitOpenGLTooOld = 106,
};

int ExitCodeOf(tCommandLineError failure)
{
    switch (failure) {
    case tCommandLineError::BadValue:
        return kExitBadOption;
    case tCommandLineError::Unknown:
        return kExitUnknownSwitch;
    case tCommandLineError::BadWindow:
        return kExitBadWindow;
    default:
        return kExitNormal;
    }
}

int ExitCodeOf(const EGraphicsFailure& failure)
{
    switch (failure.Kind()) {
    case EGraphicsFailure::tKind::NoContext:
        return kExitNoGLContext;
    case EGraphicsFailure::tKind::ColourDepth:
        return kExitColourDepth;
    default:
        return kExitOpenGLTooOld;
    }
}

constexpr int64_t kLogSizeLimit = 65536;

void PrepareLog()
{
    StartLogFile(LogFileLocation(), kLogSizeLimit);
    LogNote(1, " ");
    LogNote(1, std::string(55, '-'));
    LogNote(1, " ");
}

void LogStart(const std::vector<std::string>& given)
{
    LogNote(1, std::string("Starting ") + kProgramVersionText);
    LogNote(1, " -Parameters: \"" + JoinArguments(given) + "\"");
}

// A refusal: one line in the log and on standard error, where the user or
// the host sees it, with the way to the help.
int EndWithCommandLineError(tCommandLineError failure, const std::string& message)
{
    LogWarning(1, message);
    std::fprintf(stderr, "quorex: %s (see quorex --help)\n", message.c_str());
    return ExitCodeOf(failure);
}

int EndWithInvalidPreviewHandle(const std::string& argument, const std::string& why)
{
    LogWarning(1, "Invalid Preivew Handle \"" + argument + "\"");
    return EndWithCommandLineError(tCommandLineError::BadWindow, why);
}

std::string RunningInstanceText(const std::string& mutexName)
{
    if (mutexName == "FractalCONF")
        return "the Quorex settings dialog is open already";
    if (mutexName == "FractalPREV")
        return "a Quorex preview runs already";
    return "Quorex runs already (as a screen saver, demo or benchmark; one at a time)";
}

// A hosted saver must never make the host's unlock dialog sluggish. Linux
// keeps the nice value per thread, so it is set before the toolkit starts
// any. The nice value taken, none when the host's is kept.
std::optional<int> LowerHostedPriority(const tCommandLine& early)
{
    if (!early.Hosted() || !early.error.empty())
        return std::nullopt;
    const std::optional<int> nice = HostedNiceness(ProcessNiceness());
    if (nice)
        SetProcessNiceness(*nice);
    return nice;
}

// Windows of the run and the system-information data module (not a
// window), owned here and destroyed in reverse order of creation after the
// message loop.
struct tForms {
    std::vector<std::shared_ptr<void>> all;

    template <class T, class... Args>
    T* Make(Args&&... args)
    {
        auto form = std::make_shared<T>(std::forward<Args>(args)...);
        T* raw = form.get();
        if constexpr (std::is_base_of_v<QWidget, T>)
            RegisterForm(raw);
        all.push_back(std::move(form));
        return raw;
    }
    ~tForms()
    {
        while (!all.empty())
            all.pop_back();
    }
};

/// The run of one mode: its settings, its windows, their message loop.
class tRun {
public:
    explicit tRun(const tRunOptions& options) : options_(options) {}

    /// Builds the mode's windows in their order, the settings loaded where
    /// the options dialog comes, and runs the message loop until the main
    /// window closes. The exit code.
    int Exec();

private:
    /// The system-information module, the settings (logged and loaded), the
    /// options dialog on them, then the command line's settings (not in
    /// Configure mode). False when the settings could not be loaded.
    bool LoadSettingsAndMakeOptions();
    TfScreenSaver* MakeSaver();
    /// The saver's own surfaces on every output of the session's compositor;
    /// none (logged) when the desktop cannot have them.
    TfWaylandSaver* MakeWaylandSaver(tSurfaceLayer layer);
    /// The rest of a run on Wayland surfaces: settings, dialogs, the start.
    /// False when the settings could not be loaded.
    bool StartWaylandSaver();
    /// Preview and Hosted: the saver in the window another program owns.
    /// An exit code when it cannot go there.
    std::optional<int> Embed(TfScreenSaver& saver);
    /// The graphics failure that ended the run, if one did.
    std::optional<EGraphicsFailure> Failure() const;

    const tRunOptions& options_;
    tGlobalSettings settings_;
    tForms forms_; // after the settings: the windows go first
    TfOptions* optionsDialog_ = nullptr;
    TfScreenSaver* saver_ = nullptr;
    TfWaylandSaver* waylandSaver_ = nullptr;
    TfBenchmark* benchmark_ = nullptr;
};

bool tRun::LoadSettingsAndMakeOptions()
{
    forms_.Make<TdmSystemInfo>();
    try {
        LoadRunSettings(settings_, tGlobalSettings::IniFilePath());
    } catch (...) {
        // Without settings nothing can run; the program ends as at a normal end.
        LogWarning(1, " - error loading settings");
        return false;
    }
    optionsDialog_ = forms_.Make<TfOptions>(settings_, options_.optionsHost);
    // The command line's settings apply to the runs that use them, after the
    // dialog has taken the user's own choices: it would otherwise show them,
    // and store them as the user's when it closes.
    if (!options_.overrides.Any())
        return true;
    if (options_.mode == rmConfigure)
        LogNote(1, " -Settings from the command line are not used in Configure mode");
    else
        ApplySettingsOverrides(settings_, options_.overrides, tGlobalSettings::IniFilePath());
    return true;
}

TfScreenSaver* tRun::MakeSaver()
{
    saver_ = forms_.Make<TfScreenSaver>(options_.mode, settings_);
    saver_->SetShowFramesPerSecond(options_.showFramesPerSecond);
    return saver_;
}

TfWaylandSaver* tRun::MakeWaylandSaver(tSurfaceLayer layer)
{
    try {
        waylandSaver_ = forms_.Make<TfWaylandSaver>(options_.mode, settings_, options_.waylandDisplay, layer);
    } catch (const std::exception& e) {
        LogWarning(1, std::string("No saver surfaces on the Wayland desktop: ") + e.what());
    }
    return waylandSaver_;
}

bool tRun::StartWaylandSaver()
{
    if (!LoadSettingsAndMakeOptions())
        return false;
    forms_.Make<TAboutBox>();
    waylandSaver_->SetDebugWindow(forms_.Make<TfDebug>());
    QTimer::singleShot(0, waylandSaver_, &TfWaylandSaver::Start);
    return true;
}

std::optional<int> tRun::Embed(TfScreenSaver& saver)
{
    if (options_.mode == rmPreview) {
        // A number that names no window is as invalid as no number.
        if (!saver.EmbedInto(options_.hostWindow)) {
            const std::string why = "there is no window " + WindowIdText(options_.hostWindow) + " to draw in (from /p)";
            return EndWithInvalidPreviewHandle(options_.previewArgument, why);
        }
    } else if (!saver.EmbedInto(options_.hostWindow)) {
        // A host may take its window back while the saver starts
        // (xscreensaver ends and restarts hacks at will): that ends the run
        // like any stop by the host.
        LogNote(1, "The host window has gone, closing");
        return kExitNormal;
    }
    return std::nullopt;
}

std::optional<EGraphicsFailure> tRun::Failure() const
{
    if (saver_)
        return saver_->Failure();
    if (waylandSaver_)
        return waylandSaver_->Failure();
    if (benchmark_)
        return benchmark_->Failure();
    return std::nullopt;
}

int tRun::Exec()
{
    // The first window made is the main window: closing it ends the loop.
    switch (options_.mode) {
    case rmDemo:
        MakeSaver()->show();
        if (!LoadSettingsAndMakeOptions())
            return kExitNormal;
        saver_->SetDebugWindow(forms_.Make<TfDebug>());
        break;
    case rmScreenSaver:
        QApplication::setApplicationDisplayName("Quorex");
        // In a Wayland session the saver covers the outputs itself; where the
        // desktop lacks what that needs, a window of the toolkit's covers the
        // screen as on X11.
        if (!options_.waylandDisplay.empty() && MakeWaylandSaver(tSurfaceLayer::Overlay)) {
            if (!StartWaylandSaver())
                return kExitNormal;
            break;
        }
        MakeSaver()->show();
        saver_->AddCoverWindow(forms_.Make<TfHideScreen>(options_.mode));
        if (!LoadSettingsAndMakeOptions())
            return kExitNormal;
        forms_.Make<TAboutBox>();
        saver_->SetDebugWindow(forms_.Make<TfDebug>());
        break;
    case rmConfigure:
        if (!LoadSettingsAndMakeOptions())
            return kExitNormal;
        optionsDialog_->show();
        forms_.Make<TfDebug>();
        break;
    case rmBenchmark: {
        benchmark_ = forms_.Make<TfBenchmark>();
        auto* display = forms_.Make<TfBenchmarkDisplay>();
        if (!LoadSettingsAndMakeOptions())
            return kExitNormal;
        forms_.Make<TfDebug>();
        benchmark_->Attach(*display, *optionsDialog_, settings_);
        benchmark_->show();
        break;
    }
    case rmPreview:
    case rmHosted:
        // --root in a Wayland session: the background of every output.
        if (!options_.waylandDisplay.empty()) {
            if (!MakeWaylandSaver(tSurfaceLayer::Background))
                return EndWithCommandLineError(tCommandLineError::BadWindow,
                                               "--root: this Wayland desktop has no background layer to draw on");
            if (!StartWaylandSaver())
                return kExitNormal;
            break;
        }
        // Both draw in a window another program made and keeps; hosted runs
        // at full resolution, one per monitor.
        MakeSaver();
        saver_->AddCoverWindow(forms_.Make<TfHideScreen>(options_.mode));
        if (!LoadSettingsAndMakeOptions())
            return kExitNormal;
        forms_.Make<TAboutBox>();
        saver_->SetDebugWindow(forms_.Make<TfDebug>());
        if (const std::optional<int> code = Embed(*saver_))
            return *code;
        saver_->show();
        break;
    default:
        break;
    }

    QApplication::exec();
    if (const std::optional<EGraphicsFailure> failure = Failure()) {
        ShowFatalError(failure->what());
        return ExitCodeOf(*failure);
    }
    return kExitNormal;
}

int RunEntryBlock(int argc, char** argv)
{
    // The log shows every argument given; the toolkit then takes its own
    // switches out of argv, and the run comes from what is left. Help, the
    // version and mistakes in the options need no display.
    const std::vector<std::string> given(argv + 1, argv + argc);
    const char* hostVariable = std::getenv("XSCREENSAVER_WINDOW");
    const tCommandLine early = ParseCommandLine(WithoutToolkitOptions(given), hostVariable);
    if (early.help || early.version) {
        std::fputs(early.help ? UsageText().c_str() : (std::string(kProgramVersionText) + "\n").c_str(), stdout);
        return kExitNormal;
    }
    const std::optional<int> hostedNice = LowerHostedPriority(early);
    PrepareLog();
    if (!early.error.empty()) {
        LogStart(given);
        if (early.failure == tCommandLineError::BadWindow && !early.Hosted() &&
            RunModeFromArguments(early.classicArgs) == rmPreview)
            return EndWithInvalidPreviewHandle(early.previewArgument, early.error);
        return EndWithCommandLineError(early.failure, early.error);
    }
    if (!DisplayAvailable(argc, argv))
        return kExitNoDisplay;
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    WatchTerminationRequests();
    InstallInputWatchers();
    LogStart(given);

    // Parse, take the instance, build the windows for the mode.
    const tCommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), hostVariable);
    for (const std::string& option : line.ignored)
        LogNote(1, " -Ignoring the screen-saver host's option " + option);
    if (!line.error.empty())
        return EndWithCommandLineError(line.failure, line.error);
    const tRunRequest request = RunRequestFrom(line);
    if (request.failure != tCommandLineError::None)
        return EndWithCommandLineError(request.failure, request.message);
    const tRunOptions& options = request.options;
    const std::string mutexName = RunModeMutexName(options.mode);
    if (!mutexName.empty() && !InstanceMutex().Acquire(mutexName)) {
        LogNote(1, "previous instance detected");
        std::fprintf(stderr, "quorex: %s (see quorex --help)\n", RunningInstanceText(mutexName).c_str());
        return kExitPreviousInstance;
    }
    LogNote(1, " -Starting in \"" + RunModeName(options.mode) + "\" mode");
    if (options.mode == rmHosted)
        LogNote(2, hostedNice ? " -Priority lowered to nice " + IntToStr(*hostedNice)
                              : " -Priority kept at nice " + IntToStr(ProcessNiceness()) + " as the host set it");
    return tRun(options).Exec();
}

} // namespace

int main(int argc, char** argv)
{
    InstallTerminationHandler();
    ProgramInitialisation();
    const int code = RunEntryBlock(argc, argv);
    ProgramFinalisation();
    return code;
}
