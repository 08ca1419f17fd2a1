// Program entry: program initialisation, the entry block that turns the
// command line into a run mode and creates the mode's windows, the message
// loop, and program finalisation.
#include "uAboutBox.h"
#include "uApplication.h"
#include "uBenchmarkDisplayForm.h"
#include "uBenchmarkForm.h"
#include "uDebugForm.h"
#include "uGlobalSettings.h"
#include "uHideScreenForm.h"
#include "uLog.h"
#include "uOptionsForm.h"
#include "uPlatform.h"
#include "uProgram.h"
#include "uRunMode.h"
#include "uScreenSaverForm.h"
#include "uSystemInfo.h"

#include <QApplication>

#include <memory>
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
    kExitNoDisplay = 101,
};

void PrepareLog()
{
    StartLogFile(ExecutableFolder() + "fractal.log", kLogSizeLimit);
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

int RunEntryBlock(int argc, char** argv)
{
    // Qt takes its own switches out of argv; the log shows what we were
    // given, the mode comes from what is left.
    const std::vector<std::string> given(argv + 1, argv + argc);

    PrepareLog();
    if (!DisplayAvailable(argc, argv))
        return kExitNoDisplay;
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    WatchTerminationRequests();
    InstallInputWatchers();
    const std::vector<std::string> args(argv + 1, argv + argc);

    LogNote(1, "Starting Quorex V1.4.0 (24/10/2007)");
    LogNote(1, " -Parameters: \"" + JoinArguments(given) + "\"");

    RunMode = rmDemo;
    RunMode = RunModeFromArguments(args);
    if (RunMode == 0)
        return kExitUnknownSwitch;

    if (!InstanceMutex().Acquire(RunModeMutexName(RunMode))) {
        LogNote(1, "previous instance detected");
        return kExitPreviousInstance;
    }
    LogNote(1, " -Starting in \"" + RunModeName(RunMode) + "\" mode");

    tForms forms;
    switch (RunMode) {
    case rmDemo: {
        HideFromTaskbar = false;
        auto* saver = forms.Make<TfScreenSaver>();
        saver->show();
        forms.Make<TdmSystemInfo>();
        forms.Make<TfOptions>();
        saver->UseSettings(*GlobalSettings);
        saver->SetDebugWindow(forms.Make<TfDebug>());
        break;
    }
    case rmScreenSaver: {
        HideFromTaskbar = true;
        QApplication::setApplicationDisplayName("Quorex");
        auto* saver = forms.Make<TfScreenSaver>();
        saver->show();
        saver->AddCoverWindow(forms.Make<TfHideScreen>());
        forms.Make<TdmSystemInfo>();
        forms.Make<TfOptions>();
        saver->UseSettings(*GlobalSettings);
        forms.Make<TAboutBox>();
        saver->SetDebugWindow(forms.Make<TfDebug>());
        break;
    }
    case rmConfigure: {
        const uint64_t handle = ConfigureHandleFromArgument(args[0]);
        if (handle != 0)
            OptionsParentWindow = ParentWindowOf(handle);
        forms.Make<TdmSystemInfo>();
        forms.Make<TfOptions>()->show();
        forms.Make<TfDebug>();
        break;
    }
    case rmBenchmark: {
        auto* benchmark = forms.Make<TfBenchmark>();
        forms.Make<TdmSystemInfo>();
        auto* display = forms.Make<TfBenchmarkDisplay>();
        auto* options = forms.Make<TfOptions>();
        forms.Make<TfDebug>();
        benchmark->Attach(*display, *options, options->Settings());
        benchmark->show();
        break;
    }
    case rmPreview: {
        HideFromTaskbar = true;
        auto* saver = forms.Make<TfScreenSaver>();
        forms.Make<TdmSystemInfo>();
        saver->AddCoverWindow(forms.Make<TfHideScreen>());
        forms.Make<TfOptions>();
        saver->UseSettings(*GlobalSettings);
        forms.Make<TAboutBox>();
        saver->SetDebugWindow(forms.Make<TfDebug>());
        const std::string second = args.size() > 1 ? args[1] : std::string();
        const uint64_t handle = PreviewHandleFromArgument(second);
        // A number that names no window is as invalid as no number.
        if (handle == 0 || !saver->EmbedInto(handle)) {
            LogWarning(1, "Invalid Preivew Handle \"" + second + "\"");
            return kExitInvalidPreviewHandle;
        }
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
    InstallTerminationHandler();
    ProgramInitialisation();
    const int code = RunEntryBlock(argc, argv);
    ProgramFinalisation();
    return code;
}
