#include "uZoomRunner.h"

#include "uAssert.h"
#include "uClock.h"
#include "uCoreGraphics.h"
#include "uDesktopTransitions.h"
#include "uFileLocations.h"
#include "uFormat.h"
#include "uFractalPointFinder.h"
#include "uGlobalSettings.h"
#include "uGUI.h"
#include "uInputWatch.h"
#include "uLog.h"
#include "uOpenGL.h"
#include "uParticle.h"
#include "uPath.h"
#include "uPathSequence.h"
#include "uPlatform.h"
#include "uProfileTimer.h"
#include "uRandom.h"
#include "uRunModes.h"
#include "uSprite.h"
#include "uUniverse.h"
#include "uViewPort.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>

// ---------------------------------------------------------------------------
// Host defaults
// ---------------------------------------------------------------------------

extended tZoomHost::Now() { return HighResTime(); }
void tZoomHost::SleepOneMs() { SleepMs(1); }

namespace {

/// Profile slots of the frame loop's sections.
enum : int {
    kDrawSlot = 0,
    kUpdateSlot = 1,
    kAdvanceSlot = 2,
    kGenerateSlot = 3,
    kIdleSlot = 4,
    kDisplaySlot = 5,
    kMessagesSlot = 6,
};

constexpr int32_t kFadeSpriteSize = 15;

/// renderPercision 0 ... 3 to the generator's precision codes.
uint8_t PrecisionCode(int32_t renderPercision)
{
    switch (renderPercision) {
    case 1:
        return 2;
    case 2:
        return 3;
    case 3:
        return 4;
    default:
        return 5;
    }
}

/// Runs one group of the shutdown; an exception ends that group only.
template <class F>
void Guarded(F&& release)
{
    try {
        release();
    } catch (...) {
    }
}

} // namespace

uint8_t VignetteAlpha(extended r, int32_t size, double noise)
{
    const float ratio = static_cast<float>(r / size);
    const double a = std::sqrt(std::max(0.0, 1 - std::cos(std::numbers::pi * ratio))) * 510;
    const double whole = std::trunc(a);
    const extended dithered = Round(whole + (a - whole) * noise);
    return static_cast<uint8_t>(std::clamp<extended>(dithered, 0, 255));
}

// ---------------------------------------------------------------------------
// Life
// ---------------------------------------------------------------------------

tZoomRunner::tZoomRunner(tGlobalSettings& settings, tZoomHost& host, int runMode)
    : settings_(settings), host_(host), runMode_(runMode), previewScaling_(runMode == rmPreview)
{
    finder_ = std::make_unique<tFractalPointFinder>();
    sequence_ = std::make_unique<tPathSequence>(*finder_);
    sequence_->deepZooming = settings.zoomDeep;
    sequence_->rotationSpeed = settings.zoomRotationSpeed;
    sequence_->ResetSequences();
}

tZoomRunner::~tZoomRunner()
{
    if (gl_)
        gl_->MakeCurrent();
    LogNote(1, "Releasing GUI");
    Guarded([&] {
        // The paths' sprites live in the "mainGui" scene; the paths outlive it
        // only as long as nothing draws.
        mask_ = nullptr;
        fade_ = nullptr;
        coreGraphics_.reset();
        mainGui_.reset();
        uiGui_.reset();
        guiSystem_.reset();
    });
    LogNote(1, "Releasing Paths");
    Guarded([&] {
        currentPath_.reset();
        nextPath_.reset();
        sequence_.reset();
        maskSprite_.reset();
        fadeSprite_.reset();
    });
    LogNote(1, "Releasing openGL interface");
    Guarded([&] { gl_.reset(); });
}

void tZoomRunner::Run()
{
    status_.stop = false;
    Initialise();
    // A close request while starting up ends the run without a frame.
    if (!status_.stop)
        RunFrameLoop();
    LogNote(1, "Fractal closing...");
    status_.state = ssClosing;
}

void tZoomRunner::SetState(int state)
{
    // A stop asked for before the loop runs is kept: the closing state is final.
    if (status_.state != ssClosing)
        status_.state = state;
}

void tZoomRunner::LogDuration(extended since) const
{
    LogNote(4, " -took " + Format3(host_.Now() - since) + " sec");
}

// ---------------------------------------------------------------------------
// Initialisation
// ---------------------------------------------------------------------------

bool tZoomRunner::CloseRequested()
{
    // Start-up takes a while; a host that ends the saver at once (window
    // closed, SIGTERM) should not wait for it.
    host_.ProcessMessages();
    return status_.stop;
}

void tZoomRunner::Initialise()
{
    tProfileTimer& whole = ProfileTimers()[kDrawSlot];
    whole.Start();

    StartEngine();
    if (gl_) {
        coreGraphics_ = LoadCoreGraphics(*gl_, DataFilePath("gfxdata.dat"));
        // The window goes on showing the desktop until the transition starts.
        ShowDesktopCapture(TransitionHooks());
    }
    if (CloseRequested())
        return;
    CreateSceneObjects();

    LogNote(2, "Placing forms");
    host_.PlaceForms();

    ApplySettings();
    if (CloseRequested())
        return;

    LogNote(2, "Setting up zoom path");
    extended started = host_.Now();
    SetupZoomPaths();
    LogDuration(started);
    if (CloseRequested())
        return;

    host_.ProcessMessages();
    LogNote(3, "Initilization completed in " + Format3(whole.Elapsed()) + " seconds");

    SetState(ssInitialised);
    RunDesktopFadeOut(TransitionHooks());
    host_.BringToFront();

    LogNote(2, "Generating scene textures");
    started = host_.Now();
    GenerateSceneTextures();
    LogDuration(started);

    LogNote(3, "Using " + currentPath_->RenderMethodName() + " render method");

    uiGui_->Activate();
    mainGui_->Activate();
    Resize();
    tPathBase::LogRenderParams(currentPath_->params);

    refreshRate_ = ClampRefreshRate(host_.ScreenRefreshRate());
    LogNote(1, "Screen refresh rate: " + IntToStr(refreshRate_));

    gl_->MakeCurrent();
    gl_->ClearBlack();
    gl_->Present();
}

void tZoomRunner::StartEngine()
{
    host_.SetStayOnTop(false);
    SetState(ssInitialising);
    LogNote(1, "Initilizing");
    const extended started = host_.Now();
    const bool checked = runMode_ != rmPreview && runMode_ != rmHosted;
    try {
        if (checked && host_.ScreenDepth() < 24)
            FatalErrorExit("INIT-FAIL: 32Bit color is required, please change desktop settings", 105);
        LogNote(1, " [1/2] Open OpenGL interface");
        gl_ = host_.OpenGL();
        if (checked && gl_->GLVersion() < 1.1)
            FatalErrorExit(
                "INIT-FAIL: OpenGL V1.1 or greater is required.  You may need to update your video drivers", 106);
        gl_->MakeCurrent();
        LogNote(1, " [2/2] Setup graphics engine");
        guiSystem_ = std::make_unique<tGuiSystem>(gl_.get());
        for (auto* gui : {&mainGui_, &uiGui_}) {
            *gui = std::make_unique<tGuiInterface>(*guiSystem_, gui == &mainGui_ ? "mainGui" : "uiGui");
            (*gui)->Scene()->clearBeforeDrawing = false;
            (*gui)->Scene()->clearColor = PackRGBA(0, 0, 0, 255);
        }
    } catch (const std::exception& e) {
        LogWarning(1, "Initilization failed!");
        LogWarning(1, std::string(" -") + e.what());
        return;
    }
    LogDuration(started);
}

void tZoomRunner::CreateSceneObjects()
{
    LogNote(2, "Creating scene objects");
    Assert(gl_ && mainGui_, "uZoomRunner", __LINE__, "The graphics engine did not start");
    gl_->MakeCurrent();
    if (!currentPath_)
        currentPath_ = std::make_unique<tPath>(mainGui_->Scene());
    if (!nextPath_)
        nextPath_ = std::make_unique<tPath>(mainGui_->Scene(), currentPath_->SharedScratchPool());
    TellPathsTheScreen();
}

void tZoomRunner::TellPathsTheScreen()
{
    tPathScreen screen;
    screen.viewportSize = guiSystem_->Scene()->Viewport()->size;
    // The engine counts window sizes inclusively: one more than the pixels.
    screen.clientWidth = WindowExists(gl_->Window()) ? gl_->WindowWidth() - 1 : screen.viewportSize.x;
    for (tPath* path : {currentPath_.get(), nextPath_.get()})
        if (path)
            path->SetScreen(screen);
}

void tZoomRunner::ApplySettings()
{
    LogNote(2, "Applying Settings");
    const extended started = host_.Now();

    tPathRenderParams params;
    params.colorMap = nullptr;
    params.aa = settings_.aa;
    params.iterations = settings_.fractalItterations;
    params.resolution = previewScaling_ ? settings_.FractalResolution / 4 : settings_.FractalResolution;
    params.precision = PrecisionCode(settings_.renderPercision);
    params.keyframeRatio = settings_.zoomKeyframeInterval;
    params.displayScale = settings_.keyframeDisplayScale;
    params.writeToDisk = settings_.writeKeyFramesToDisk;
    gl_->MakeCurrent();
    for (tPath* path : {currentPath_.get(), nextPath_.get()}) {
        path->SetParams(params);
        path->ApplyResolution();
    }

    host_.ShowDebugWindow(settings_.DebugMode);
    LogFileLevel = settings_.DebugMode ? 4 : 3;

    if (settings_.PatternSeed != 0) {
        SetRandSeed(static_cast<uint32_t>(settings_.PatternSeed));
    } else {
        // The low bits of the clock in microseconds differ from run to run;
        // the note lets a run be repeated through PatternSeed.
        const auto seed = static_cast<uint32_t>(static_cast<uint64_t>(HighResTime() * 1e6L) & 0x7FFFFFFF);
        SetRandSeed(seed);
        LogNote(1, "Random Pattern Seed = " + IntToStr(seed));
    }

    sequence_->deepZooming = settings_.zoomDeep;
    sequence_->rotationSpeed = settings_.zoomRotationSpeed;
    sequence_->ResetSequences();
    if (settings_.FractalColorMap != 0) {
        sequence_->ColorMapSequence().Clear();
        sequence_->ColorMapSequence().Add(settings_.FractalColorMap);
    }
    if (onSequencesReset)
        onSequencesReset(*sequence_);
    LogDuration(started);
}

void tZoomRunner::SetupZoomPaths()
{
    Assert(currentPath_ && nextPath_, "uZoomRunner", __LINE__, "Both zoom paths must exist");
    gl_->MakeCurrent();
    if (nextPath_->Duration() > 0) {
        std::swap(currentPath_, nextPath_);
        sequence_->PlanPath(*nextPath_);
    } else {
        sequence_->PlanPath(*currentPath_);
        currentPath_->StartPath();
        sequence_->PlanPath(*nextPath_);
    }
    nextPath_->StartPath();
}

void tZoomRunner::GenerateSceneTextures()
{
    gl_->MakeCurrent();
    tUniverse* scene = mainGui_->Scene();

    const int32_t s = std::max(settings_.frameRes, 2);
    maskSprite_ = std::make_unique<tPatternSprite>(*gl_, nullptr, s, s);
    maskSprite_->hotspot = {static_cast<extended>(s / 2), static_cast<extended>(s / 2)};
    tPage& maskPage = *maskSprite_->Page();
    for (int32_t i = 0; i <= s / 2; ++i)
        for (int32_t j = 0; j <= s / 2; ++j) {
            const extended dx = i - s / 2;
            const extended dy = j - s / 2;
            const uint8_t alpha = VignetteAlpha(std::sqrt(dx * dx + dy * dy), s, Random() * 2 - 1);
            const tPackedColor c = PackRGBA(0, 0, 0, alpha);
            maskPage.SetPixel(i, j, c);
            maskPage.SetPixel(s - i, j, c);
            maskPage.SetPixel(s - i, s - j, c);
            maskPage.SetPixel(i, s - j, c);
        }
    maskSprite_->Refresh();
    mask_ = new tParticle({0, 0}, scene->MaskLayer(), scene); // the scene owns it
    mask_->SetName("MASK");
    mask_->sprite = maskSprite_.get();

    fadeSprite_ = std::make_unique<tPatternSprite>(*gl_, nullptr, kFadeSpriteSize, kFadeSpriteSize);
    fadeSprite_->Page()->Clear(tFloatColor{255, 255, 255, 255});
    fadeSprite_->Refresh();
    fadeSprite_->hotspot = {8, 8};
    const tVector2 centre = guiSystem_->Scene()->Viewport()->size * 0.5L;
    fade_ = new tParticle(centre, scene->MaskLayer(), scene);
    fade_->SetName("FADE");
    fade_->sprite = fadeSprite_.get();
    fade_->scale = static_cast<double>(gl_->WindowWidth());
    fade_->tinted = true;
    fade_->color = settings_.frameColor;
    fade_->opacity = 1.0;
}

tDesktopTransitionHooks tZoomRunner::TransitionHooks()
{
    tDesktopTransitionHooks hooks;
    hooks.gl = gl_.get();
    hooks.viewport = mainGui_ ? mainGui_->Scene()->Viewport() : nullptr;
    hooks.capture = hooks.gl && hooks.viewport ? desktopCapture_ : nullptr;
    hooks.logo = CoreGraphicsLogo(coreGraphics_.get());
    hooks.clock = [this] { return host_.Now(); };
    hooks.processMessages = [this] { host_.ProcessMessages(); };
    hooks.closeFadeStep = [this](double dt) { status_.CloseFadeStep(dt); };
    hooks.closeFade = [this] { return static_cast<double>(status_.closeFade); };
    hooks.closing = [this] { return status_.state == ssClosing; };
    hooks.stopRequested = [this] { return status_.stop; };
    hooks.keyframeProgress = [this](double) { return FadeOutKeyframeProgress(currentPath_.get()); };
    return hooks;
}

void tZoomRunner::RunDesktopFadeIn() { ::RunDesktopFadeIn(TransitionHooks()); }

int32_t tZoomRunner::Resolution() const { return currentPath_ ? currentPath_->params.resolution : 0; }

// ---------------------------------------------------------------------------
// Requests
// ---------------------------------------------------------------------------

void tZoomRunner::RequestClose()
{
    if (status_.RequestClose())
        LogNote(1, "Starting shutdown process");
}

void tZoomRunner::Resize()
{
    if (!gl_ || !mainGui_)
        return;
    gl_->MakeCurrent();
    // The engine counts a window's size inclusively (one more than its
    // pixels): a viewport of exactly the drawable's pixel size would leave
    // the top row and the right column of every frame undrawn.
    const tVector2 size{static_cast<extended>(gl_->WindowWidth()), static_cast<extended>(gl_->WindowHeight())};
    for (tUniverse* scene : {guiSystem_->Scene(), mainGui_->Scene()})
        scene->Viewport()->SetArea({0, 0}, size);
    if (mask_) {
        const extended w = size.x - 1;
        const extended h = size.y - 1;
        mask_->position = guiSystem_->Scene()->Viewport()->size * 0.5L;
        mask_->scale = static_cast<double>(h * 1.35L / std::max(settings_.frameRes, 2) * settings_.frameScale * 2);
        mask_->aspect = h > 0 ? static_cast<double>(w / h) : 1.0;
    }
    if (fade_) {
        fade_->position = guiSystem_->Scene()->Viewport()->size * 0.5L;
        fade_->scale = static_cast<double>(std::max(size.x, size.y));
    }
    TellPathsTheScreen();
}

// ---------------------------------------------------------------------------
// The frame loop
// ---------------------------------------------------------------------------

void tZoomRunner::StartFrameLoop()
{
    previousFrameTime_ = host_.Now();
    frameCounter_ = 0;
    frameTimes_.Clear();
    SetState(ssRunning);
    host_.ProcessMessages();
    LogNote(1, "Fractal running...");
}

void tZoomRunner::RunFrameLoop()
{
    StartFrameLoop();
    while (Frame()) {
    }
}

int64_t tZoomRunner::GenerateStep()
{
    if (currentPath_->RenderProgress() < 1)
        return currentPath_->RenderStep(kGenerationSlice);
    if (nextPath_ && nextPath_->RenderProgress() < 1)
        return nextPath_->RenderStep(kGenerationSlice);
    return kNoWorkLeft;
}

void tZoomRunner::Idle(extended frameStart)
{
    tProfileTimer& idle = ProfileTimers()[kIdleSlot];
    // The throttle gives way to a stop: the closing fade and the end of the
    // run never wait for it.
    const auto stopping = [this] { return status_.stop || status_.state == ssClosing; };
    if (settings_.cpuThrottle > 0 && !stopping())
        do {
            host_.SleepOneMs();
            host_.ProcessMessages();
        } while (!stopping() && idle.Elapsed() <= settings_.cpuThrottle / 1000.0L);
    const double period = FramePeriod(refreshRate_);
    while (host_.Now() - frameStart < period)
        host_.SleepOneMs();
}

bool tZoomRunner::Frame()
{
    auto& profile = ProfileTimers();
    gl_->MakeCurrent();

    const double budget = GenerationBudget(profile[kDisplaySlot].Average(), refreshRate_);
    ++frameCounter_;
    const extended frameStart = host_.Now();
    const double raw = static_cast<double>(frameStart - previousFrameTime_);
    previousFrameTime_ = frameStart;
    status_.CloseFadeStep(raw);
    frameTimes_.Store(frameCounter_, raw);
    const double dt = ClampFrameStep(raw);

    const tKeyboardHK& keys = KeyboardHook();
    const bool lagging = !currentPath_->BothKeyframesReady();
    currentPath_->speed = NextSpeed(currentPath_->speed, dt, keys.IsDown(vkControl) || lagging, keys.IsDown(vkShift));
    const double scaledDt = dt * currentPath_->speed;
    tenFrameTime_ = frameTimes_.Sum();

    profile[kDrawSlot].Begin("Draw");
    guiSystem_->Draw();
    profile[kDrawSlot].End();

    profile[kUpdateSlot].Begin("Update");
    pathSwapped_ = UpdatePath(scaledDt);
    profile[kUpdateSlot].End();

    profile[kAdvanceSlot].Begin("Advance");
    guiSystem_->Advance(scaledDt);
    profile[kAdvanceSlot].End();

    profile[kGenerateSlot].Begin("Generate Mandelbrot");
    const int calls = SpendGenerationBudget([this] { return GenerateStep(); }, [this] { return host_.Now(); },
                                            frameStart, budget);
    profile[kGenerateSlot].End();
    const double generationEnd = static_cast<double>(host_.Now() - frameStart);

    profile[kIdleSlot].Begin("Idle");
    Idle(frameStart);
    profile[kIdleSlot].End();

    if (beforePresent)
        beforePresent();
    profile[kDisplaySlot].Begin("Display");
    guiSystem_->Display();
    profile[kDisplaySlot].End();

    profile[kMessagesSlot].Begin("Windows messages");
    host_.ProcessMessages();
    profile[kMessagesSlot].End();

    if (showFramesPerSecond)
        UpdateOverlayText();

    if (onFrame) {
        tFrameReport report;
        report.frame = frameCounter_;
        report.rawSeconds = raw;
        report.speed = currentPath_->speed;
        report.lagging = lagging;
        report.budget = budget;
        report.generationOverrun = calls > 0 ? std::max(0.0, generationEnd - budget) : 0;
        report.generationCalls = calls;
        report.pathSwapped = pathSwapped_;
        report.keyframeA = currentPath_->A() ? currentPath_->A()->Index() : -1;
        onFrame(report);
    }
    return !status_.stop;
}

bool tZoomRunner::UpdatePath(double scaledDt)
{
    bool swapped = false;
    if (currentPath_->Time() >= currentPath_->Duration()) {
        SetupZoomPaths();
        swapped = true;
    }
    currentPath_->Advance(scaledDt);
    currentPath_->Display();
    if (fade_) {
        double alpha = PathFadeAlpha(currentPath_->Time(), currentPath_->Duration());
        if (status_.state == ssClosing)
            alpha = ClosingFadeAlpha(alpha, status_.closeFade);
        fade_->opacity = std::clamp(alpha, 0.0, 1.0);
    }
    return swapped;
}

void tZoomRunner::ComposeFrame()
{
    gl_->MakeCurrent();
    UpdatePath(0);
    guiSystem_->Advance(0);
    guiSystem_->Draw();
}

void tZoomRunner::UpdateOverlayText()
{
    const extended now = host_.Now();
    if (now - overlayUpdated_ < 0.5L || tenFrameTime_ <= 0)
        return;
    overlayUpdated_ = now;
    host_.ShowOverlayText(FormatFixed(10 / tenFrameTime_, 1) + " fps");
}
