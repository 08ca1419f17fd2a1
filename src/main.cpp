// Program entry: program initialisation, the entry block that turns the
// command line into a run mode and creates the mode's windows, the message
// loop, and program finalisation.
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
#include "uScreenSaverForm.h"
#include "uSystemInfo.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr int64_t kLogSizeLimit = 65536;

enum tExitCode : int {
    kExitNormal = 0,
    kExitPreviousInstance = 20,
    kExitInvalidPreviewHandle = 42,
    kExitNoDisplay = 101,
    kExitNoGLContext = 102,
    kExitColourDepth = 105,
    kExitOpenGLTooOld = 106,
};

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

void PrepareLog()
{
    StartLogFile(LogFileLocation(), kLogSizeLimit);
    LogNote(1, " ");
    LogNote(1, std::string(55, '-'));
    LogNote(1, " ");
}

// Windows of the run and the system-information data module (not a
// window), owned here and destroyed in reverse order of creation after the
// message loop.
struct tForms {
    std::vector<std::shared_ptr<void>> all;

    template <class T>
    T* Make()
    {
        auto form = std::make_shared<T>();
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

std::string WindowIdText(uint64_t id)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(id));
    return text;
}

// A refusal: one line in the log and on standard error, where the user or
// the host sees it, with the way to the help.
int EndWithCommandLineError(const std::string& message, int code)
{
    LogWarning(1, message);
    std::fprintf(stderr, "quorex: %s (see quorex --help)\n", message.c_str());
    return code;
}

int EndWithInvalidPreviewHandle(const std::string& argument, const std::string& why)
{
    LogWarning(1, "Invalid Preivew Handle \"" + argument + "\"");
    return EndWithCommandLineError(why, kExitInvalidPreviewHandle);
}

std::string RunningInstanceText(const std::string& mutexName)
{
    if (mutexName == "FractalCONF")
        return "the Quorex settings dialog is open already";
    if (mutexName == "FractalPREV")
        return "a Quorex preview runs already";
    return "Quorex runs already (as a screen saver, demo or benchmark; one at a time)";
}

// The settings the command line gives apply to the runs that use them; the
// options dialog would otherwise show them and store them as the user's.
void ApplyCommandLineSettings(const tCommandLine& line)
{
    if (!line.settings.Any() || !GlobalSettings)
        return;
    if (RunMode == rmConfigure) {
        LogNote(1, " -Settings from the command line are not used in Configure mode");
        return;
    }
    ApplySettingsOverrides(*GlobalSettings, line.settings, tGlobalSettings::IniFilePath());
}

int RunEntryBlock(int argc, char** argv)
{
    // The log shows every argument given; the toolkit then takes its own
    // switches out of argv, and the mode comes from what is left.
    const std::vector<std::string> given(argv + 1, argv + argc);
    const char* hostVariable = std::getenv("XSCREENSAVER_WINDOW");
    // Help, the version and mistakes in the options need no display.
    const tCommandLine early = ParseCommandLine(WithoutToolkitOptions(given), hostVariable);
    if (early.help || early.version) {
        std::fputs(early.help ? UsageText().c_str() : (std::string(kProgramVersionText) + "\n").c_str(), stdout);
        return kExitNormal;
    }
    // A hosted saver must never make the host's unlock dialog sluggish.
    // Linux keeps the nice value per thread, so it is set before the toolkit
    // starts any.
    std::optional<int> hostedNice;
    if (early.Hosted() && early.error.empty()) {
        hostedNice = HostedNiceness(ProcessNiceness());
        if (hostedNice)
            SetProcessNiceness(*hostedNice);
    }

    PrepareLog();
    const auto logStart = [&] {
        LogNote(1, std::string("Starting ") + kProgramVersionText);
        LogNote(1, " -Parameters: \"" + JoinArguments(given) + "\"");
    };
    if (!early.error.empty()) {
        logStart();
        if (early.errorExitCode == kExitInvalidPreviewHandle && !early.Hosted() &&
            RunModeFromArguments(early.classicArgs) == rmPreview)
            return EndWithInvalidPreviewHandle(early.previewArgument, early.error);
        return EndWithCommandLineError(early.error, early.errorExitCode);
    }
    if (!DisplayAvailable(argc, argv))
        return kExitNoDisplay;
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    WatchTerminationRequests();
    InstallInputWatchers();
    logStart();
    const tCommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), hostVariable);
    for (const std::string& option : line.ignored)
        LogNote(1, " -Ignoring the screen-saver host's option " + option);
    if (!line.error.empty())
        return EndWithCommandLineError(line.error, line.errorExitCode);
    ShowFramesPerSecond = line.showFramesPerSecond;
    RunMode = rmDemo;
    if (line.Hosted()) {
        RunMode = rmHosted;
        HostWindowId = line.hostSource == tHostSource::Root ? RootWindowId() : line.hostWindow;
        const std::string from = " (from " + HostSourceText(line.hostSource) + ")";
        if (!WindowExists(HostWindowId))
            return EndWithCommandLineError("there is no window " + WindowIdText(HostWindowId) + " to draw in" + from,
                                           kExitBadWindow);
        if (!WindowDrawable(HostWindowId))
            return EndWithCommandLineError("the window " + WindowIdText(HostWindowId) +
                                               " takes input only and cannot be drawn in" + from,
                                           kExitBadWindow);
    } else {
        RunMode = RunModeFromArguments(line.classicArgs);
    }

    const std::string mutexName = RunModeMutexName(RunMode);
    if (!mutexName.empty() && !InstanceMutex().Acquire(mutexName)) {
        LogNote(1, "previous instance detected");
        std::fprintf(stderr, "quorex: %s (see quorex --help)\n", RunningInstanceText(mutexName).c_str());
        return kExitPreviousInstance;
    }
    LogNote(1, " -Starting in \"" + RunModeName(RunMode) + "\" mode");
    if (RunMode == rmHosted)
        LogNote(2, hostedNice ? " -Priority lowered to nice " + IntToStr(*hostedNice)
                              : " -Priority kept at nice " + IntToStr(ProcessNiceness()) + " as the host set it");

    tForms forms;
    TfScreenSaver* runWindow = nullptr;
    TfBenchmark* benchmarkWindow = nullptr;
    const auto makeSaver = [&] {
        auto* saver = runWindow = forms.Make<TfScreenSaver>();
        saver->SetShowFramesPerSecond(ShowFramesPerSecond);
        return saver;
    };
    switch (RunMode) {
    case rmDemo: {
        HideFromTaskbar = false;
        auto* saver = makeSaver();
        saver->show();
        forms.Make<TdmSystemInfo>();
        forms.Make<TfOptions>();
        ApplyCommandLineSettings(line);
        saver->UseSettings(*GlobalSettings);
        saver->SetDebugWindow(forms.Make<TfDebug>());
        break;
    }
    case rmScreenSaver: {
        HideFromTaskbar = true;
        QApplication::setApplicationDisplayName("Quorex");
        auto* saver = makeSaver();
        saver->show();
        saver->AddCoverWindow(forms.Make<TfHideScreen>());
        forms.Make<TdmSystemInfo>();
        forms.Make<TfOptions>();
        ApplyCommandLineSettings(line);
        saver->UseSettings(*GlobalSettings);
        forms.Make<TAboutBox>();
        saver->SetDebugWindow(forms.Make<TfDebug>());
        break;
    }
    case rmConfigure: {
        const uint64_t handle = ConfigureHandleFromArgument(line.classicArgs[0]);
        if (handle != 0)
            OptionsParentWindow = ParentWindowOf(handle);
        forms.Make<TdmSystemInfo>();
        forms.Make<TfOptions>()->show();
        ApplyCommandLineSettings(line);
        forms.Make<TfDebug>();
        break;
    }
    case rmBenchmark: {
        auto* benchmark = benchmarkWindow = forms.Make<TfBenchmark>();
        forms.Make<TdmSystemInfo>();
        auto* display = forms.Make<TfBenchmarkDisplay>();
        auto* options = forms.Make<TfOptions>();
        ApplyCommandLineSettings(line);
        forms.Make<TfDebug>();
        benchmark->Attach(*display, *options, options->Settings());
        benchmark->show();
        break;
    }
    case rmPreview:
    case rmHosted: {
        // Both draw in a window another program made and keeps; hosted runs
        // at full resolution, one per monitor.
        HideFromTaskbar = true;
        auto* saver = makeSaver();
        forms.Make<TdmSystemInfo>();
        saver->AddCoverWindow(forms.Make<TfHideScreen>());
        forms.Make<TfOptions>();
        ApplyCommandLineSettings(line);
        saver->UseSettings(*GlobalSettings);
        forms.Make<TAboutBox>();
        saver->SetDebugWindow(forms.Make<TfDebug>());
        if (RunMode == rmPreview) {
            // A number that names no window is as invalid as no number.
            const uint64_t handle = PreviewHandleFromArgument(line.previewArgument);
            if (!saver->EmbedInto(handle))
                return EndWithInvalidPreviewHandle(line.previewArgument,
                                                   "there is no window " + WindowIdText(handle) + " to draw in (from /p)");
        } else if (!saver->EmbedInto(HostWindowId)) {
            // A host may take its window back while the saver starts
            // (xscreensaver ends and restarts hacks at will): that ends the
            // run like any stop by the host.
            LogNote(1, "The host window has gone, closing");
            return kExitNormal;
        }
        saver->show();
        break;
    }
    default:
        break;
    }

    app.exec();
    const std::optional<EGraphicsFailure> failure =
        runWindow ? runWindow->Failure() : benchmarkWindow ? benchmarkWindow->Failure() : std::nullopt;
    if (failure) {
        ShowFatalError(failure->what());
        return ExitCodeOf(*failure);
    }
    return kExitNormal;
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
