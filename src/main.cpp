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
#include "uFiles.h"
#include "uFormat.h"
#include "uGlobalSettings.h"
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
    kExitUnknownSwitch = 24,
    kExitInvalidPreviewHandle = 42,
};

void PrepareLog()
{
    SetLogFilePath(LogFileLocation());
    if (FileSize(LogFilePath()) > kLogSizeLimit)
        DeleteFileAt(LogFilePath());
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

// A problem with the command line: in the log and on standard error, where
// the user or the host sees it.
int EndWithCommandLineError(const std::string& message, int code)
{
    LogWarning(1, message);
    std::fprintf(stderr, "quorex: %s\n", message.c_str());
    return code;
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
    // Qt takes its own switches out of argv; the log shows what we were given.
    const std::vector<std::string> args(argv + 1, argv + argc);
    const tCommandLine line = ParseCommandLine(args, std::getenv("XSCREENSAVER_WINDOW"));
    if (line.help || line.version) {
        std::fputs(line.help ? UsageText().c_str() : (std::string(kProgramVersionText) + "\n").c_str(), stdout);
        return kExitNormal;
    }
    // A hosted saver must never make the host's unlock dialog sluggish.
    // Linux keeps the nice value per thread, so it is set before the toolkit
    // starts any.
    std::optional<int> hostedNice;
    if (line.Hosted() && line.error.empty()) {
        hostedNice = HostedNiceness(ProcessNiceness());
        if (hostedNice)
            SetProcessNiceness(*hostedNice);
    }

    PrepareLog();
    const auto logStart = [&] {
        LogNote(1, std::string("Starting ") + kProgramVersionText);
        LogNote(1, " -Parameters: \"" + JoinArguments(args) + "\"");
    };
    // Checked before the toolkit starts, so that a mistyped option is
    // reported even without a display.
    if (!line.error.empty()) {
        logStart();
        return EndWithCommandLineError(line.error, line.errorExitCode);
    }
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    InstallTerminationHandler();
    logStart();

    ShowFramesPerSecond = line.showFramesPerSecond;
    RunMode = rmDemo;
    if (line.Hosted()) {
        RunMode = rmHosted;
        HostWindowId = line.hostSource == tHostSource::Root ? RootWindowId() : line.hostWindow;
        if (!WindowExists(HostWindowId))
            return EndWithCommandLineError("there is no window " + WindowIdText(HostWindowId) + " to draw in (from " +
                                               HostSourceText(line.hostSource) + ")",
                                           kExitBadWindow);
    } else {
        RunMode = RunModeFromArguments(line.classicArgs);
        if (RunMode == 0)
            return kExitUnknownSwitch;
    }

    const std::string mutexName = RunModeMutexName(RunMode);
    if (!mutexName.empty() && !InstanceMutex().Acquire(mutexName)) {
        LogNote(1, "previous instance detected");
        return kExitPreviousInstance;
    }
    LogNote(1, " -Starting in \"" + RunModeName(RunMode) + "\" mode");
    if (RunMode == rmHosted)
        LogNote(2, hostedNice ? " -Priority lowered to nice " + IntToStr(*hostedNice)
                              : " -Priority kept at nice " + IntToStr(ProcessNiceness()) + " as the host set it");

    tForms forms;
    switch (RunMode) {
    case rmDemo:
        HideFromTaskbar = false;
        forms.Make<TfScreenSaver>()->show();
        forms.Make<TdmSystemInfo>();
        forms.Make<TfOptions>();
        ApplyCommandLineSettings(line);
        forms.Make<TfDebug>();
        break;
    case rmScreenSaver:
        HideFromTaskbar = true;
        QApplication::setApplicationDisplayName("Quorex");
        forms.Make<TfScreenSaver>()->show();
        forms.Make<TfHideScreen>();
        forms.Make<TdmSystemInfo>();
        forms.Make<TfOptions>();
        ApplyCommandLineSettings(line);
        forms.Make<TAboutBox>();
        forms.Make<TfDebug>();
        break;
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
    case rmBenchmark:
        forms.Make<TfBenchmark>()->show();
        forms.Make<TdmSystemInfo>();
        forms.Make<TfBenchmarkDisplay>()->show();
        forms.Make<TfOptions>();
        ApplyCommandLineSettings(line);
        forms.Make<TfDebug>();
        break;
    case rmPreview: {
        HideFromTaskbar = true;
        auto* saver = forms.Make<TfScreenSaver>();
        forms.Make<TdmSystemInfo>();
        forms.Make<TfHideScreen>();
        forms.Make<TfOptions>();
        ApplyCommandLineSettings(line);
        forms.Make<TAboutBox>();
        forms.Make<TfDebug>();
        const std::string second = line.classicArgs.size() > 1 ? line.classicArgs[1] : std::string();
        const uint64_t handle = PreviewHandleFromArgument(second);
        if (handle == 0) {
            LogWarning(1, "Invalid Preivew Handle \"" + second + "\"");
            return kExitInvalidPreviewHandle;
        }
        saver->EmbedInto(handle);
        saver->show();
        break;
    }
    case rmHosted: {
        // As Preview, in a window the host made and keeps (one per monitor).
        HideFromTaskbar = true;
        auto* saver = forms.Make<TfScreenSaver>();
        forms.Make<TdmSystemInfo>();
        forms.Make<TfHideScreen>();
        forms.Make<TfOptions>();
        ApplyCommandLineSettings(line);
        forms.Make<TAboutBox>();
        forms.Make<TfDebug>();
        saver->EmbedInto(HostWindowId);
        saver->show();
        break;
    }
    default:
        break;
    }

    app.exec();
    return kExitNormal;
}

} // namespace

int main(int argc, char** argv)
{
    ProgramInitialisation();
    const int code = RunEntryBlock(argc, argv);
    ProgramFinalisation();
    return code;
}
