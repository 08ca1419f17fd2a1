#pragma once
// tZoomRunner: the running zoom, without a window of its own. It owns the
// OpenGL interface, the GUI system with its two interfaces, both zoom paths
// with their shared scratch pool, the path sequence and the frame loop; a
// window (or a tool, or a test) drives it through tZoomHost: it supplies the
// OpenGL surface, the screen's facts, the clock, sleeping and the pumping of
// window events, and receives the requests the zoom makes of the windows.
//
// Sections of the class:
//   - the whole life of a zoom: Run = Initialise, RunFrameLoop, closing
//   - initialisation steps, each with its log lines
//   - one frame: Frame
//   - requests from the window and its input: BeginStop, RequestClose, Resize
//   - what the debug window and the tools read
#include "uFrameLoop.h"
#include "uMath.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class tFractalPointFinder;
class tGlobalSettings;
class tGuiInterface;
class tGuiSystem;
class tOpenGLInterface;
class tParticle;
class tPath;
class tPathSequence;
class tPatternSprite;
class tSpritePage;
class tPage;
struct tDesktopTransitionHooks;

/// What the running zoom needs of the window it runs in.
class tZoomHost {
public:
    virtual ~tZoomHost() = default;

    /// Makes the OpenGL interface on the window (raises when it cannot).
    virtual std::unique_ptr<tOpenGLInterface> OpenGL() = 0;
    /// Colour depth of the screen the window is on, bits per pixel.
    virtual int ScreenDepth() = 0;
    /// Vertical refresh of that screen in hertz (0 when unknown).
    virtual int ScreenRefreshRate() = 0;
    /// Handles pending window events; input and close requests reach the
    /// runner from here.
    virtual void ProcessMessages() = 0;
    /// Seconds of the high-resolution clock.
    virtual extended Now();
    /// Sleeps one millisecond (the pacing and throttling steps).
    virtual void SleepOneMs();

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

/// Figures of one frame, for benchmarks and tools.
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

class tZoomRunner {
public:
    /// Nothing starts yet; the settings and the host must outlive the runner.
    /// runMode decides the quarter resolution of Preview and whether the
    /// colour-depth and OpenGL-version checks apply.
    tZoomRunner(tGlobalSettings& settings, tZoomHost& host, int runMode);
    /// Frees, each group guarded: the GUI, the paths and the sequence, the
    /// OpenGL interface.
    ~tZoomRunner();
    tZoomRunner(const tZoomRunner&) = delete;
    tZoomRunner& operator=(const tZoomRunner&) = delete;

    // ---- the whole life

    /// Initialise, the frame loop until the stop flag is set, then
    /// "Fractal closing..." and the closing state.
    void Run();
    /// Every start-up step: graphics, scene objects, settings, the first two
    /// zooms, scene textures; ends with a cleared frame, state 2 (or still
    /// closing when a stop came first). A close request cuts it short.
    void Initialise();
    /// The frame loop: StartFrameLoop, then frames until the stop flag is set.
    void RunFrameLoop();
    /// What comes before the first frame: the frame clock starts and the
    /// state becomes 3 (running) unless a stop came first.
    void StartFrameLoop();
    /// One pass of the loop; false once the stop flag is set.
    bool Frame();
    /// Draws the current path at its time as a frame shows it, without
    /// moving it on or presenting (tools that read frames back).
    void ComposeFrame();

    // ---- initialisation steps (Initialise runs them in this order)

    void StartEngine();
    void CreateSceneObjects();
    void ApplySettings();
    /// Swaps in the next path when it holds a zoom and plans a new one behind
    /// it; the first time plans both.
    void SetupZoomPaths();
    void GenerateSceneTextures();

    // ---- requests from the window and its input

    /// A stop by the user: the 0.5 s closing fade, then the loop ends.
    void BeginStop() { status_.BeginStop(); }
    /// The window closes: the loop ends after the current frame.
    void RequestClose();
    /// The window's drawable size changed: viewports, the mask and the
    /// paths' screens follow.
    void Resize();

    // ---- the desktop

    /// The picture of the desktop taken when the window was made (not
    /// owned): shown while the start-up runs and receding in the fade-out.
    /// Without one both desktop transitions are skipped.
    void SetDesktopCapture(const tPage* capture) { desktopCapture_ = capture; }
    /// The desktop coming back at the end of a run (Screen Saver mode).
    void RunDesktopFadeIn();

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
    /// The sum of the last ten raw frame times.
    double TenFrameTime() const { return tenFrameTime_; }
    int RefreshRate() const { return refreshRate_; }
    uint64_t FrameCount() const { return frameCounter_; }
    /// The keyframe resolution the paths render at.
    int32_t Resolution() const;

    /// Keeps the host's overlay text showing the frame rate.
    bool showFramesPerSecond = false;
    /// Called when a frame is drawn, just before it is presented (tools that
    /// read the frame back).
    std::function<void()> beforePresent;
    /// Called when the settings have filled the path sequence, before the
    /// first zoom is planned (tools that choose what is planned).
    std::function<void(tPathSequence&)> onSequencesReset;
    /// Called after every frame (benchmarks and tools).
    std::function<void(const tFrameReport&)> onFrame;

private:
    void LogDuration(extended since) const;
    /// Pumps window events; true when the window asked to close meanwhile.
    bool CloseRequested();
    void SetState(int state);
    int64_t GenerateStep();
    void Idle(extended frameStart);
    /// The frame's update: the path swap at its end, the path moved on and
    /// placed, the fade overlay. True when the paths were swapped.
    bool UpdatePath(double scaledDt);
    void UpdateOverlayText();
    /// The paths place their keyframes on the window's current size.
    void TellPathsTheScreen();
    tDesktopTransitionHooks TransitionHooks();

    tGlobalSettings& settings_;
    tZoomHost& host_;
    int runMode_;
    bool previewScaling_ = false;
    tSaverStatus status_;

    std::unique_ptr<tOpenGLInterface> gl_;
    std::unique_ptr<tSpritePage> coreGraphics_;
    const tPage* desktopCapture_ = nullptr;
    std::unique_ptr<tGuiSystem> guiSystem_;
    std::unique_ptr<tGuiInterface> mainGui_;
    std::unique_ptr<tGuiInterface> uiGui_;
    std::unique_ptr<tFractalPointFinder> finder_;
    std::unique_ptr<tPathSequence> sequence_;
    std::unique_ptr<tPath> currentPath_;
    std::unique_ptr<tPath> nextPath_;
    std::unique_ptr<tPatternSprite> maskSprite_;
    std::unique_ptr<tPatternSprite> fadeSprite_;
    tParticle* mask_ = nullptr; // owned by the "mainGui" scene
    tParticle* fade_ = nullptr;

    int refreshRate_ = 60;
    tFrameTimes frameTimes_;
    double tenFrameTime_ = 0;
    uint64_t frameCounter_ = 0;
    extended previousFrameTime_ = 0;
    bool pathSwapped_ = false;
    extended overlayUpdated_ = 0;
};

/// The alpha of the screen-edge vignette at distance r from the centre of an
/// S-pixel mask: √(1 − cos(π r ÷ S)) × 510, its fraction dithered by noise
/// in [−1, 1], rounded and limited to 0 … 255.
uint8_t VignetteAlpha(extended r, int32_t size, double noise);
