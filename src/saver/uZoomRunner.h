#pragma once
// tZoomRunner: the running zoom, without a window of its own. It owns the
// OpenGL interface, the GUI system with its two interfaces, both zoom paths
// with their shared scratch pool, the path sequence, the desktop transitions
// and the frame loop. A host (a window, a tool, a test) makes it, feeds it
// the requests of its events, and drives it one frame at a time:
//
//     while (runner.Tick())
//         host.ProcessMessages();
//
// or calls Tick() from an event loop of its own (a compositor's frame
// callback), handling its events between two calls. Through tZoomHost the
// host supplies what the run needs of the world: the OpenGL interface, the
// screen's facts, the clock, sleeping and pending events. A runner keeps
// all of its run but the log and the process-wide random generator, so
// several runners, each with its own host and context, can take turns in one
// thread.
//
// A run goes through its phases once, in this order (docs/run-phases.md):
//   Starting        graphics, scene, settings and the first two zooms, one
//                   step per tick with the host's events in between
//   DesktopFadeOut  the desktop recedes while the first keyframes render
//   Zooming         the frame loop
//   Closing         the frame loop while a stop's close fade darkens it
//   DesktopFadeIn   the desktop comes back (Screen Saver mode)
//   Done
//
// Sections of the header:
//   - tZoomHost: what the host supplies
//   - tRunPhase, tFrameReport
//   - tZoomRunner: the run (Tick), the host's requests, what is read
#include "uFrameLoop.h"
#include "uMath.h"
#include "uProfileTimer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class tDesktopFadeIn;
class tDesktopFadeOut;
class tFractalPointFinder;
class tGlobalSettings;
class tGuiInterface;
class tGuiSystem;
class tOpenGLInterface;
class tPage;
class tParticle;
class tPath;
class tPathSequence;
class tPatternSprite;
class tRenderWorkers;
class tSpritePage;
class tKeyframeRender;

/// What the running zoom needs of the window (or whatever) it runs in.
class tZoomHost {
public:
    virtual ~tZoomHost() = default;

    /// Makes the OpenGL interface on the window the zoom draws in; its
    /// context presents the frames and its window's size is the size of
    /// the picture. Raises EGraphicsFailure when no context can be had.
    virtual std::unique_ptr<tOpenGLInterface> OpenGL() = 0;
    /// Colour depth of the screen the window is on, bits per pixel.
    virtual int ScreenDepth() = 0;
    /// Vertical refresh of that screen in hertz (0 when unknown).
    virtual int ScreenRefreshRate() = 0;
    /// Handles pending window events; input and close requests reach the
    /// runner from here. Hosts call it between ticks; the frame loop calls
    /// it too while it idles for cpuThrottle.
    virtual void ProcessMessages() = 0;
    /// Seconds of the clock every part of the run takes its time from; the
    /// high-resolution clock by default.
    virtual extended Now();
    /// Sleeps one millisecond of that clock (pacing and throttling).
    virtual void SleepOneMs();
    /// True when the host ticks the run only as the display asks for a
    /// frame (a compositor's frame callbacks): the frame loop then leaves
    /// the pacing of frames to it instead of idling to refresh + 10 Hz.
    virtual bool PacedByDisplay() { return false; }

    /// Start-up asks the window to stop staying on top while graphics start.
    virtual void SetStayOnTop(bool /*onTop*/) {}
    /// The window is made stay-on-top and raised.
    virtual void BringToFront() {}
    /// "Placing forms": cover windows, full-screen and preview placement.
    virtual void PlaceForms() {}
    /// The settings show or hide the debug window.
    virtual void ShowDebugWindow(bool /*shown*/) {}
    /// Shown over the zoom in the top-left corner when the settings ask for
    /// the frame rate; empty hides it.
    virtual void ShowOverlayText(const std::string& /*text*/) {}
};

/// Where a run stands; see the top of this header.
enum class tRunPhase : uint8_t { Starting, DesktopFadeOut, Zooming, Closing, DesktopFadeIn, Done };
/// "Starting", "DesktopFadeOut", ... (messages of tests and tools).
const char* RunPhaseName(tRunPhase phase);

/// Figures of one frame of the frame loop, for benchmarks and tools.
struct tFrameReport {
    uint64_t frame = 0;
    double rawSeconds = 0;
    float speed = 1;
    bool lagging = false;
    double budget = 0;
    /// Seconds the generation section went past its budget (0 when not).
    double generationOverrun = 0;
    int generationCalls = 0;
    bool pathSwapped = false;
    int32_t keyframeA = -1;
};

/// The sections of one frame of the loop, in their order; the runner times
/// each with a profile timer.
enum tFrameSection : int {
    fsDraw,
    fsUpdate,
    fsAdvance,
    fsGenerate,
    fsIdle,
    fsDisplay,
    /// From the end of one frame to the start of the next: the host's
    /// handling of window events.
    fsMessages,
    kFrameSections,
};

class tZoomRunner {
public:
    /// Nothing starts yet; the settings and the host must outlive the runner.
    /// runMode decides the quarter resolution of Preview, whether the
    /// colour-depth and OpenGL-version checks apply, and the desktop fade-in
    /// of Screen Saver mode.
    tZoomRunner(const tGlobalSettings& settings, tZoomHost& host, int runMode);
    /// Frees, each group guarded: the GUI, the paths and the sequence, the
    /// OpenGL interface.
    ~tZoomRunner();
    tZoomRunner(const tZoomRunner&) = delete;
    tZoomRunner& operator=(const tZoomRunner&) = delete;

    // ---- the run

    /// One step of the run: a step of the start-up, or one frame of the
    /// phase it is in (presented). False once the run is over (Done); the
    /// host then closes its window. The host handles its pending events
    /// before the next call: that is where input and close requests come in.
    /// Raises EGraphicsFailure when the graphics a run needs are missing
    /// (the run is then over); any other failure is logged as "The zoom
    /// stopped: ..." and ends the run as a close request would.
    bool Tick();
    tRunPhase Phase() const;

    // ---- requests from the host's events

    /// A stop by the user: the 0.5 s closing fade, then the run ends.
    void BeginStop() { status_.BeginStop(); }
    /// The window closes: the run ends after the current frame.
    void RequestClose();
    /// The window's drawable size changed: viewports, the mask and the
    /// paths' screens follow.
    void Resize();
    /// The picture of the desktop taken when the window was made (not
    /// owned): shown while the start-up runs, receding in the fade-out and
    /// coming back in the fade-in. Without one both transitions are skipped.
    void SetDesktopCapture(const tPage* capture) { desktopCapture_ = capture; }

    /// Draws the current path at its time as a frame shows it, without
    /// moving it on or presenting (tools that read frames back; once the
    /// start-up is over).
    void ComposeFrame();

    // ---- what windows, tools and tests read

    const tSaverStatus& Status() const { return status_; }
    int RunMode() const { return runMode_; }
    tOpenGLInterface* GL() const { return gl_.get(); }
    tGuiSystem* Gui() const { return guiSystem_.get(); }
    tGuiInterface* MainGui() const { return mainGui_.get(); }
    tPath* CurrentPath() const { return currentPath_.get(); }
    tPath* NextPath() const { return nextPath_.get(); }
    tPathSequence* Sequence() const { return sequence_.get(); }
    tParticle* MaskParticle() const { return mask_; }
    tParticle* FadeParticle() const { return fade_; }
    /// The desktop fade-out while it runs, else none.
    const tDesktopFadeOut* FadeOut() const { return fadeOut_.get(); }
    /// The sum of the last ten raw frame times.
    double TenFrameTime() const { return tenFrameTime_; }
    int RefreshRate() const { return refreshRate_; }
    uint64_t FrameCount() const { return frameCounter_; }
    /// The keyframe resolution the paths render at.
    int32_t Resolution() const;
    /// Threads rendering keyframes beside this one; 0 when the frame loop
    /// renders them in its spare time (known once the settings are applied).
    int32_t RenderThreads() const;
    /// The render workers; none with 0 render threads.
    const tRenderWorkers* Workers() const { return workers_.get(); }
    /// The frame loop's section timers, by tFrameSection.
    const std::array<tProfileTimer, kFrameSections>& Sections() const { return sections_; }

    /// Keeps the host's overlay text showing the frame rate.
    bool showFramesPerSecond = false;
    /// Called when a frame of the loop is drawn, just before it is
    /// presented (tools that read the frame back).
    std::function<void()> beforePresent;
    /// Called when the settings have filled the path sequence, before the
    /// first zoom is planned (tools that choose what is planned).
    std::function<void(tPathSequence&)> onSequencesReset;
    /// Called after every frame of the loop (benchmarks and tools).
    std::function<void(const tFrameReport&)> onFrame;

private:
    // The phases (uZoomRunner.cpp has them in this order).
    void TickStarting();
    void BeginDesktopFadeOut();
    void TickDesktopFadeOut();
    void DesktopFadeOutFrame();
    void FinishStartUp();
    void TickZoom();
    void EndRun();
    void BeginDesktopFadeIn();
    void DesktopFadeInFrame();
    void Abandon(const std::exception& failure);

    // Start-up steps.
    void StartEngine();
    void CreateSceneObjects();
    void ApplySettings();
    /// Swaps in the next path when it holds a zoom and plans a new one behind
    /// it; the first time plans both.
    void SetupZoomPaths();
    void GenerateSceneTextures();

    // The frame loop.
    void Frame();
    int64_t GenerateStep();
    /// With render workers: hands them the renders both paths need, the
    /// current path's first.
    void ScheduleWork();
    /// With render workers, the frame loop's own work: a step of the search
    /// for the next deep dive; kNoWorkLeft when there is none.
    int64_t SearchStep();
    void Idle(extended frameStart);
    /// The frame's update: the path swap at its end, the path moved on and
    /// placed, the fade overlay. True when the paths were swapped.
    bool UpdatePath(double scaledDt);
    void UpdateOverlayText();

    /// Raw seconds from the previous frame of any phase to now: the run's
    /// one frame clock.
    double FrameClockStep(extended now);
    /// The capture when the transitions can show it: a picture and the
    /// "mainGui" viewport to draw it on.
    const tPage* ShowableCapture() const;
    /// The paths place their keyframes on the window's current size.
    void TellPathsTheScreen();
    void LogDuration(extended since) const;
    void SetState(int state);

    const tGlobalSettings& settings_;
    tZoomHost& host_;
    int runMode_;
    bool previewScaling_ = false;
    tSaverStatus status_;
    tRunPhase phase_ = tRunPhase::Starting;
    int startStep_ = 0;
    extended startedAt_ = 0;

    std::unique_ptr<tOpenGLInterface> gl_;
    std::unique_ptr<tSpritePage> coreGraphics_;
    const tPage* desktopCapture_ = nullptr;
    std::unique_ptr<tDesktopFadeOut> fadeOut_;
    std::unique_ptr<tDesktopFadeIn> fadeIn_;
    std::unique_ptr<tGuiSystem> guiSystem_;
    std::unique_ptr<tGuiInterface> mainGui_;
    std::unique_ptr<tGuiInterface> uiGui_;
    std::unique_ptr<tFractalPointFinder> finder_;
    std::unique_ptr<tPathSequence> sequence_;
    std::unique_ptr<tPath> currentPath_;
    std::unique_ptr<tPath> nextPath_;
    /// Made with the settings; stopped before the paths go.
    std::unique_ptr<tRenderWorkers> workers_;
    std::vector<std::shared_ptr<tKeyframeRender>> work_;
    std::unique_ptr<tPatternSprite> maskSprite_;
    std::unique_ptr<tPatternSprite> fadeSprite_;
    tParticle* mask_ = nullptr; // owned by the "mainGui" scene
    tParticle* fade_ = nullptr;

    int refreshRate_ = 60;
    std::array<tProfileTimer, kFrameSections> sections_;
    tFrameTimes frameTimes_;
    double tenFrameTime_ = 0;
    uint64_t frameCounter_ = 0;
    extended previousFrameTime_ = 0;
    extended overlayUpdated_ = 0;
};

/// The alpha of the screen-edge vignette at distance r from the centre of an
/// S-pixel mask: √(1 − cos(π r ÷ S)) × 510, its fraction dithered by noise
/// in [−1, 1], rounded and limited to 0 … 255.
uint8_t VignetteAlpha(extended r, int32_t size, double noise);
