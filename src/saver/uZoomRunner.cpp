// Sections: host defaults; life; the phases (start-up, desktop fade-out,
// frame loop, end, desktop fade-in); start-up steps; requests; the frame
// loop.
#include "uZoomRunner.h"

#include "uAssert.h"
#include "uClock.h"
#include "uCoreGraphics.h"
#include "uDesktopTransitions.h"
#include "uFileLocations.h"
#include "uFormat.h"
#include "uFractalPointFinder.h"
#include "uGlobalSettings.h"
#include "uGraphicsFailure.h"
#include "uGUI.h"
#include "uInputWatch.h"
#include "uLog.h"
#include "uOpenGL.h"
#include "uParticle.h"
#include "uPath.h"
#include "uPathSequence.h"
#include "uRandom.h"
#include "uRenderWorkers.h"
#include "uRunModes.h"
#include "uSprite.h"
#include "uUniverse.h"
#include "uViewPort.h"
#include "uViewProbe.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>
#include <thread>

// ---------------------------------------------------------------------------
// Host defaults
// ---------------------------------------------------------------------------

extended tZoomHost::Now() { return HighResTime(); }
void tZoomHost::SleepOneMs() { SleepMs(1); }

const char* RunPhaseName(tRunPhase phase)
{
    switch (phase) {
    case tRunPhase::Starting:
        return "Starting";
    case tRunPhase::DesktopFadeOut:
        return "DesktopFadeOut";
    case tRunPhase::Zooming:
        return "Zooming";
    case tRunPhase::Closing:
        return "Closing";
    case tRunPhase::DesktopFadeIn:
        return "DesktopFadeIn";
    default:
        return "Done";
    }
}

namespace {

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

/// The steps of the start-up, one per tick.
enum tStartStep : int {
    ssStartEngine,
    ssSceneAndSettings,
    ssZoomPaths,
    ssStartUpDone,
};

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

tZoomRunner::tZoomRunner(const tGlobalSettings& settings, tZoomHost& host, int runMode)
    : settings_(settings), host_(host), runMode_(runMode), previewScaling_(runMode == rmPreview)
{
    for (tProfileTimer& section : sections_)
        section.clock = [this] { return host_.Now(); };
    finder_ = std::make_unique<tFractalPointFinder>();
    sequence_ = std::make_unique<tPathSequence>(*finder_);
    sequence_->deepZooming = settings.zoomDeep;
    sequence_->deepDiving = settings.deepDive;
    sequence_->rotationSpeed = settings.zoomRotationSpeed;
    sequence_->ResetSequences();
}

tZoomRunner::~tZoomRunner()
{
    if (gl_)
        gl_->MakeCurrent();
    // No worker may render into a page once the paths and their pool go.
    Guarded([&] { workers_.reset(); });
    LogNote(1, "Releasing GUI");
    Guarded([&] {
        fadeOut_.reset();
        fadeIn_.reset();
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

bool tZoomRunner::Tick()
{
    // Runners on other windows may have drawn since the last tick.
    if (gl_)
        gl_->MakeCurrent();
    try {
        switch (phase_) {
        case tRunPhase::Starting:
            TickStarting();
            break;
        case tRunPhase::DesktopFadeOut:
            TickDesktopFadeOut();
            break;
        case tRunPhase::Zooming:
        case tRunPhase::Closing:
            TickZoom();
            break;
        case tRunPhase::DesktopFadeIn:
            DesktopFadeInFrame();
            break;
        case tRunPhase::Done:
            break;
        }
    } catch (const EGraphicsFailure&) {
        phase_ = tRunPhase::Done;
        throw;
    } catch (const std::exception& e) {
        Abandon(e);
    }
    return phase_ != tRunPhase::Done;
}

tRunPhase tZoomRunner::Phase() const
{
    // A stop comes between two frames; the frames after it are the closing ones.
    if (phase_ == tRunPhase::Zooming && status_.state == ssClosing)
        return tRunPhase::Closing;
    return phase_;
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

double tZoomRunner::FrameClockStep(extended now)
{
    const auto raw = static_cast<double>(now - previousFrameTime_);
    previousFrameTime_ = now;
    return raw;
}

const tPage* tZoomRunner::ShowableCapture() const
{
    return gl_ && mainGui_ && HasPixels(desktopCapture_) ? desktopCapture_ : nullptr;
}

// ---------------------------------------------------------------------------
// Starting: one step per tick; the host's events in between may ask to close.
// ---------------------------------------------------------------------------

void tZoomRunner::TickStarting()
{
    // A close request while starting up ends the run without a frame.
    if (startStep_ != ssStartEngine && status_.stop) {
        EndRun();
        return;
    }
    switch (startStep_++) {
    case ssStartEngine:
        startedAt_ = host_.Now();
        StartEngine();
        if (gl_) {
            const extended loading = host_.Now();
            coreGraphics_ = LoadCoreGraphics(*gl_, DataFilePath("gfxdata.dat"));
            LogDuration(loading);
            // The window goes on showing the desktop until the transition starts.
            if (const tPage* capture = ShowableCapture()) {
                ShowDesktopCapture(*gl_, *mainGui_->Scene()->Viewport(), *capture);
                gl_->Present();
            }
        }
        break;
    case ssSceneAndSettings:
        CreateSceneObjects();
        LogNote(2, "Placing forms");
        host_.PlaceForms();
        ApplySettings();
        break;
    case ssZoomPaths: {
        LogNote(2, "Setting up zoom path");
        const extended started = host_.Now();
        SetupZoomPaths();
        LogDuration(started);
        break;
    }
    default:
        LogNote(3, "Initilization completed in " + Format3(host_.Now() - startedAt_) + " seconds");
        SetState(ssInitialised);
        BeginDesktopFadeOut();
        break;
    }
}

// ---------------------------------------------------------------------------
// DesktopFadeOut: a frame per tick until the first keyframes are there and
// the final fade has run out, or a stop has run its close fade.
// ---------------------------------------------------------------------------

void tZoomRunner::BeginDesktopFadeOut()
{
    LogNote(1, "Initilizing desktop fade out transition");
    const tPage* capture = ShowableCapture();
    if (!capture) {
        FinishStartUp();
        return;
    }
    fadeOut_ = std::make_unique<tDesktopFadeOut>(*gl_, *mainGui_->Scene()->Viewport(), *capture,
                                                 CoreGraphicsLogo(coreGraphics_.get()));
    phase_ = tRunPhase::DesktopFadeOut;
    previousFrameTime_ = host_.Now();
    DesktopFadeOutFrame();
}

void tZoomRunner::TickDesktopFadeOut()
{
    if (fadeOut_->Finished() || status_.stop) {
        fadeOut_.reset();
        FinishStartUp();
        return;
    }
    DesktopFadeOutFrame();
}

void tZoomRunner::DesktopFadeOutFrame()
{
    const double dt = std::clamp(FrameClockStep(host_.Now()), 0.0, kMaxTransitionFrameTime);
    status_.CloseFadeStep(dt);
    fadeOut_->Draw();
    // The transition gives the first keyframes a fixed share of each frame.
    float progress = 0;
    if (workers_) {
        // The render threads take pages for the keyframes from A on at once,
        // so a full pool says nothing here: the first two keyframes come
        // first and always have theirs.
        ScheduleWork();
        progress = currentPath_->KeyframesProgress();
    } else {
        progress = FadeOutKeyframeProgress(currentPath_.get(), [this] { return host_.Now(); });
    }
    fadeOut_->Advance(dt, progress);
    if (status_.state == ssClosing)
        fadeOut_->Darken(status_.closeFade);
    gl_->Present();
}

/// The rest of the start-up, once the desktop has gone: scene textures,
/// the refresh rate, a cleared frame; then the frame loop's clock starts.
void tZoomRunner::FinishStartUp()
{
    host_.BringToFront();

    LogNote(2, "Generating scene textures");
    const extended started = host_.Now();
    GenerateSceneTextures();
    LogDuration(started);

    LogNote(3, "Using " + currentPath_->RenderMethodName() + " render method");

    uiGui_->Activate();
    mainGui_->Activate();
    Resize();
    tPathBase::LogRenderParams(currentPath_->params);

    refreshRate_ = ClampRefreshRate(host_.ScreenRefreshRate());
    LogNote(1, "Screen refresh rate: " + IntToStr(refreshRate_));

    gl_->ClearBlack();
    gl_->Present();

    previousFrameTime_ = host_.Now();
    frameCounter_ = 0;
    frameTimes_.Clear();
    SetState(ssRunning);
    phase_ = tRunPhase::Zooming;
}

// ---------------------------------------------------------------------------
// Zooming and Closing: a frame of the loop per tick until the stop flag.
// ---------------------------------------------------------------------------

void tZoomRunner::TickZoom()
{
    if (status_.stop) {
        EndRun();
        return;
    }
    if (frameCounter_ == 0)
        LogNote(1, "Fractal running...");
    Frame();
}

// ---------------------------------------------------------------------------
// The end: the desktop fade-in in Screen Saver mode, a frame per tick.
// ---------------------------------------------------------------------------

void tZoomRunner::EndRun()
{
    LogNote(1, "Fractal closing...");
    status_.state = ssClosing;
    BeginDesktopFadeIn();
}

void tZoomRunner::BeginDesktopFadeIn()
{
    phase_ = tRunPhase::Done;
    if (runMode_ != rmScreenSaver || !gl_)
        return;
    LogNote(1, "Initilizing desktop fade in transition");
    const tPage* capture = ShowableCapture();
    if (!capture)
        return;
    fadeIn_ = std::make_unique<tDesktopFadeIn>(*gl_, *mainGui_->Scene()->Viewport(), *capture);
    phase_ = tRunPhase::DesktopFadeIn;
    previousFrameTime_ = host_.Now();
    DesktopFadeInFrame();
}

void tZoomRunner::DesktopFadeInFrame()
{
    const bool complete = fadeIn_->Frame(FrameClockStep(host_.Now()));
    gl_->Present();
    if (complete) {
        fadeIn_.reset();
        phase_ = tRunPhase::Done;
    }
}

void tZoomRunner::Abandon(const std::exception& failure)
{
    // Nothing of the zoom can go on; the run ends as at any close.
    LogWarning(1, std::string("The zoom stopped: ") + failure.what());
    status_.stop = true;
    status_.state = ssClosing;
    fadeOut_.reset();
    if (phase_ == tRunPhase::DesktopFadeIn) {
        fadeIn_.reset();
        phase_ = tRunPhase::Done;
        return;
    }
    Guarded([&] { BeginDesktopFadeIn(); });
    if (!fadeIn_)
        phase_ = tRunPhase::Done;
}

// ---------------------------------------------------------------------------
// Start-up steps
// ---------------------------------------------------------------------------

void tZoomRunner::StartEngine()
{
    host_.SetStayOnTop(false);
    SetState(ssInitialising);
    LogNote(1, "Initilizing");
    const extended started = host_.Now();
    const bool checked = runMode_ != rmPreview && runMode_ != rmHosted;
    try {
        if (checked && host_.ScreenDepth() < 24)
            throw EGraphicsFailure(EGraphicsFailure::tKind::ColourDepth,
                                   "INIT-FAIL: 32Bit color is required, please change desktop settings");
        LogNote(1, " [1/2] Open OpenGL interface");
        gl_ = host_.OpenGL();
        if (checked && gl_->GLVersion() < 1.1)
            throw EGraphicsFailure(
                EGraphicsFailure::tKind::OpenGLTooOld,
                "INIT-FAIL: OpenGL V1.1 or greater is required.  You may need to update your video drivers");
        LogNote(1, " [2/2] Setup graphics engine");
        guiSystem_ = std::make_unique<tGuiSystem>(gl_.get());
        for (auto* gui : {&mainGui_, &uiGui_}) {
            *gui = std::make_unique<tGuiInterface>(*guiSystem_, gui == &mainGui_ ? "mainGui" : "uiGui");
            (*gui)->Scene()->clearBeforeDrawing = false;
            (*gui)->Scene()->clearColor = PackRGBA(0, 0, 0, 255);
        }
    } catch (const EGraphicsFailure&) {
        throw;
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
    const bool window = WindowExists(gl_->Window());
    screen.clientWidth = window ? gl_->WindowWidth() - 1 : screen.viewportSize.x;
    for (tPath* path : {currentPath_.get(), nextPath_.get()})
        if (path)
            path->SetScreen(screen);
    // Plans widen their keyframes until the discs cover what the vignette
    // leaves visible of this screen.
    sequence_->framing = tFramingScreen{screen.clientWidth, window ? gl_->WindowHeight() - 1 : screen.viewportSize.y,
                                        settings_.frameScale, settings_.keyframeDisplayScale};
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
    // The pages are made again: no worker may still render into one.
    workers_.reset();
    for (tPath* path : {currentPath_.get(), nextPath_.get()}) {
        path->SetParams(params);
        path->ApplyResolution();
    }
    const int32_t threads = RenderThreadsFor(settings_.renderThreads, std::thread::hardware_concurrency());
    if (threads > 0)
        workers_ = std::make_unique<tRenderWorkers>(threads);
    LogNote(2, "Render threads: " + IntToStr(threads));
    sequence_->viewProbe = std::make_unique<tViewProbe>(BackEndProbeRenderer(params.precision));

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
    sequence_->deepDiving = settings_.deepDive;
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

int32_t tZoomRunner::Resolution() const { return currentPath_ ? currentPath_->params.resolution : 0; }

int32_t tZoomRunner::RenderThreads() const { return workers_ ? workers_->Threads() : 0; }

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

int64_t tZoomRunner::GenerateStep()
{
    int64_t writes = kNoWorkLeft;
    if (currentPath_->RenderProgress() < 1)
        writes = currentPath_->RenderStep(kGenerationSlice);
    else if (nextPath_ && nextPath_->RenderProgress() < 1)
        writes = nextPath_->RenderStep(kGenerationSlice);
    // Time the paths cannot use goes to the search for the next deep dive.
    if (writes <= 0)
        if (const int64_t work = sequence_->PrepareStep(kGenerationSlice))
            return work;
    return writes;
}

int64_t tZoomRunner::SearchStep()
{
    const int64_t work = sequence_->PrepareStep(kGenerationSlice);
    return work > 0 ? work : kNoWorkLeft;
}

void tZoomRunner::ScheduleWork()
{
    work_.clear();
    const bool pagesLeft = currentPath_->CollectWork(work_);
    if (nextPath_)
        nextPath_->CollectWork(work_, pagesLeft);
    workers_->SetWork(std::move(work_));
}

void tZoomRunner::Idle(extended frameStart)
{
    tProfileTimer& idle = sections_[fsIdle];
    // The throttle gives way to a stop: the closing fade and the end of the
    // run never wait for it.
    const auto stopping = [this] { return status_.stop || status_.state == ssClosing; };
    if (settings_.cpuThrottle > 0 && !stopping())
        do {
            host_.SleepOneMs();
            host_.ProcessMessages();
        } while (!stopping() && idle.Elapsed() <= settings_.cpuThrottle / 1000.0L);
    if (host_.PacedByDisplay())
        return;
    const double period = FramePeriod(refreshRate_);
    // With render threads nothing but the display follows: idling on top of
    // a display that takes longer than a frame period would only make every
    // frame later, so the time the display usually takes counts as spent.
    const double displaying = workers_ ? sections_[fsDisplay].Average() : 0.0;
    while (host_.Now() - frameStart + displaying < period)
        host_.SleepOneMs();
}

void tZoomRunner::Frame()
{
    tProfileTimer& messages = sections_[fsMessages];
    if (frameCounter_ > 0)
        messages.End();

    const double budget = GenerationBudget(sections_[fsDisplay].Average(), refreshRate_);
    ++frameCounter_;
    const extended frameStart = host_.Now();
    const double raw = FrameClockStep(frameStart);
    status_.CloseFadeStep(raw);
    frameTimes_.Store(frameCounter_, raw);
    const double dt = ClampFrameStep(raw);

    const tKeyboardHK& keys = KeyboardHook();
    const bool lagging = !currentPath_->BothKeyframesReady();
    currentPath_->speed = NextSpeed(currentPath_->speed, dt, keys.IsDown(vkControl) || lagging, keys.IsDown(vkShift));
    const double scaledDt = dt * currentPath_->speed;
    tenFrameTime_ = frameTimes_.Sum();

    sections_[fsDraw].Begin("Draw");
    guiSystem_->Draw();
    sections_[fsDraw].End();

    sections_[fsUpdate].Begin("Update");
    const bool swapped = UpdatePath(scaledDt);
    sections_[fsUpdate].End();

    sections_[fsAdvance].Begin("Advance");
    guiSystem_->Advance(scaledDt);
    sections_[fsAdvance].End();

    sections_[fsGenerate].Begin("Generate Mandelbrot");
    if (workers_)
        ScheduleWork();
    // With render threads the budget goes only to the search for the next
    // deep dive, which belongs to the path sequence on this thread.
    const int calls = SpendGenerationBudget([this] { return workers_ ? SearchStep() : GenerateStep(); },
                                            [this] { return host_.Now(); }, frameStart, budget);
    sections_[fsGenerate].End();
    const double generationEnd = static_cast<double>(host_.Now() - frameStart);

    sections_[fsIdle].Begin("Idle");
    Idle(frameStart);
    sections_[fsIdle].End();

    if (beforePresent)
        beforePresent();
    sections_[fsDisplay].Begin("Display");
    guiSystem_->Display();
    sections_[fsDisplay].End();

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
        report.pathSwapped = swapped;
        report.keyframeA = currentPath_->A() ? currentPath_->A()->Index() : -1;
        onFrame(report);
    }
    // The host handles its window events until the next frame.
    messages.Begin("Windows messages");
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
