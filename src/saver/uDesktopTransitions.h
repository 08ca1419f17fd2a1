#pragma once
// The two desktop transitions of a run and what they need:
//   - CaptureDesktopPage: the desktop as a page, taken when the window is made
//   - ShowDesktopCapture: the desktop as it was, while the start-up runs
//   - tDesktopFadeOut: the desktop recedes while the first keyframes render
//   - tDesktopFadeIn: the desktop comes back at the end of a run
//   - FadeOutKeyframeProgress: the fade-out's share of keyframe rendering
// The runner drives both transitions a frame at a time with the frame times
// of its clock (docs/run-phases.md); they draw onto the viewport of the
// "mainGui" scene and leave presenting the frame to the runner.
#include "uMath.h"

#include <functional>
#include <memory>
#include <optional>

struct tBitmap;
class tDesktopAnimation;
class tOpenGLInterface;
class tPage;
class tPageGLhw;
class tPathBase;
class tSprite;
class tViewPortGL;

/// The whole virtual desktop (or the area of it, right and bottom
/// exclusive) as an opaque pfRGBA page; none when there is no screen or the
/// platform refuses screen grabs.
std::unique_ptr<tPage> CaptureDesktopPage(std::optional<tRect> area = std::nullopt);
/// A picture of the desktop from elsewhere (a host's screenshot) as such a
/// page; none for an empty picture.
std::unique_ptr<tPage> DesktopPageFrom(const tBitmap& shot);
/// True for a capture with pixels to show.
bool HasPixels(const tPage* capture);

/// Frames longer than this count as this long in both transitions.
inline constexpr double kMaxTransitionFrameTime = 0.1;
/// Length of the fade-in, seconds of (clamped) frame time.
inline constexpr double kDesktopFadeInSeconds = 0.85;

/// One frame of the capture exactly as the desktop was, so that the window
/// goes on showing the desktop while the rest of the start-up runs. The
/// viewport's camera is left as it was found.
void ShowDesktopCapture(tOpenGLInterface& gl, tViewPortGL& viewport, const tPage& capture);

// Helpers of the transitions (uDesktopTransitions.cpp): a viewport's camera
// kept and put back, the capture drawn flat as the fade-in shows it.
class tSavedCamera;
class tReturningDesktop;

/// The "desktop fade out", frame by frame: the capture recedes into a fogged
/// space with a progress bar under the logo while the first keyframes
/// render, and the frame fades to black once they are complete. The
/// viewport's camera is put back when it goes.
class tDesktopFadeOut {
public:
    /// The capture (which must have pixels) uploaded onto the interface; the
    /// scene drawn on the viewport. Without a logo it runs without one.
    tDesktopFadeOut(tOpenGLInterface& gl, tViewPortGL& viewport, const tPage& capture, tSprite* logo);
    ~tDesktopFadeOut();
    tDesktopFadeOut(const tDesktopFadeOut&) = delete;
    tDesktopFadeOut& operator=(const tDesktopFadeOut&) = delete;

    /// Draws the frame as the transition stands.
    void Draw();
    /// Moves the transition on by dt seconds with the keyframes' progress.
    void Advance(double dt, float keyframeProgress);
    /// Darkens the drawn frame by a stop's close fade (1 → 0).
    void Darken(double closeFade);
    /// The keyframes are complete and the final fade has run out.
    bool Finished() const;
    const tDesktopAnimation& Animation() const { return *animation_; }

private:
    tOpenGLInterface& gl_;
    tViewPortGL& viewport_;
    std::unique_ptr<tSavedCamera> savedCamera_;
    std::unique_ptr<tPageGLhw> page_;
    std::unique_ptr<tDesktopAnimation> animation_;
};

/// The "desktop fade in", frame by frame: the capture comes back from dark,
/// 20 % enlarged and turned by 1.1 degrees, to its own size and brightness
/// over 0.85 s of frame time. The viewport's camera is put back when it goes.
class tDesktopFadeIn {
public:
    /// The capture (which must have pixels) uploaded onto the interface.
    tDesktopFadeIn(tOpenGLInterface& gl, tViewPortGL& viewport, const tPage& capture);
    ~tDesktopFadeIn();
    tDesktopFadeIn(const tDesktopFadeIn&) = delete;
    tDesktopFadeIn& operator=(const tDesktopFadeIn&) = delete;

    /// Moves the course on by dt seconds (at most kMaxTransitionFrameTime)
    /// and draws the frame; true once it has drawn the desktop as it was.
    bool Frame(double dt);
    /// How far the desktop has come back, 0 … 1.
    double Course() const;

private:
    std::unique_ptr<tReturningDesktop> desktop_;
    double shown_ = 0;
};

/// The fade-out's share of keyframe rendering for the current path: slices
/// of kGenerationSlice pixel writes for about 12 ms of the clock (less when
/// nothing is left to render), then the path's KeyframesProgress, or 1 when the scratch
/// pool has no free page, as no further keyframe could start. 0 without a
/// path.
float FadeOutKeyframeProgress(tPathBase* path, const std::function<extended()>& now);
