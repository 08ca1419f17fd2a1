#pragma once
// The two desktop transitions of the screen-saver window and what they need:
//   - CaptureDesktopPage: the desktop as a page, taken when the window is made
//   - tDesktopTransitionHooks: everything the loops need of the window
//   - RunDesktopFadeOut: the desktop recedes while the first keyframes render
//   - RunDesktopFadeIn: the desktop comes back at the end of a run
//   - FadeOutKeyframeProgress: the fade-out's progress callback
#include "uMath.h"

#include <functional>
#include <memory>
#include <optional>

struct tBitmap;
class tOpenGLInterface;
class tPage;
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

/// What the transitions take from the screen-saver window. Empty functions
/// have the defaults named.
struct tDesktopTransitionHooks {
    /// The window's interface (made current by the loops) and the viewport
    /// of its "mainGui" scene; both required when there is a capture.
    tOpenGLInterface* gl = nullptr;
    tViewPortGL* viewport = nullptr;
    /// The desktop capture; none (Preview mode, no grab) skips both loops.
    const tPage* capture = nullptr;
    /// The logo over the progress bar; none leaves it out.
    tSprite* logo = nullptr;

    /// Seconds; the high-resolution clock by default.
    std::function<extended()> clock;
    /// Handles pending window events; ProcessMessages by default.
    std::function<void()> processMessages;
    /// Shows the drawn frame; the interface's Present by default.
    std::function<void()> present;

    /// The window's CloseFadeStep(dt); nothing by default.
    std::function<void(double dt)> closeFadeStep;
    /// The window's close fade (1 → 0 while closing); 1 by default.
    std::function<double()> closeFade;
    /// True in the closing state (4); false by default.
    std::function<bool()> closing;
    /// The stop flag; false by default.
    std::function<bool()> stopRequested;
    /// Keyframe progress 0 … 1 after spending a frame's share on keyframes
    /// (FadeOutKeyframeProgress on the current path); none counts as complete.
    std::function<float(double dt)> keyframeProgress;
};

/// Frames longer than this count as this long in both transitions.
inline constexpr double kMaxTransitionFrameTime = 0.1;
/// Length of the fade-in, seconds of (clamped) frame time.
inline constexpr double kDesktopFadeInSeconds = 0.85;

/// The "desktop fade out": logs "Initilizing desktop fade out transition",
/// returns at once without a capture, else runs the transition frame by
/// frame, pumping window events after each, until it has finished or the
/// stop flag is set. While closing, each frame is darkened by the close fade.
/// The viewport's camera is restored afterwards.
void RunDesktopFadeOut(const tDesktopTransitionHooks& hooks);

/// The "desktop fade in": logs "Initilizing desktop fade in transition",
/// returns at once without a capture, else shows the capture coming back
/// from dark, 20 % enlarged and turned by 1.1 degrees, to its own size and
/// brightness over 0.85 s. Window events wait until it has ended.
void RunDesktopFadeIn(const tDesktopTransitionHooks& hooks);

/// One frame of the capture exactly as the desktop was, so that the window
/// goes on showing the desktop while the rest of the start-up runs.
void ShowDesktopCapture(const tDesktopTransitionHooks& hooks);

/// The fade-out's progress callback for the current path: renders keyframe
/// slices of 1280 pixel writes for about 12 ms of the global timer (the
/// high-resolution clock when there is none; less when nothing is left to
/// render) and returns the path's KeyframesProgress, or 1 when the scratch
/// pool has no free page, as no further keyframe could start. 0 without a path.
float FadeOutKeyframeProgress(tPathBase* path);
