#pragma once
// The arithmetic of the frame loop, kept apart from the engine so that tests
// can drive it with a made-up clock:
//   - refresh rate, frame period and the keyframe generation budget
//   - the ten-frame time sum the frame-rate display is built on
//   - the zoom's speed factor (held keys and lagging keyframes)
//   - the fade overlay at path ends and during the closing fade
//   - the saver's state, stop flag and close fade
//   - spending a generation budget in small slices
#include "uMath.h"

#include <array>
#include <cstdint>
#include <functional>

// ------------------------------------------------------------ timing

/// Longest time one frame may move the zoom on, seconds: a stall never
/// makes the picture jump.
inline constexpr double kMaxFrameStep = 0.1;
/// Most a frame spends generating keyframes, seconds.
inline constexpr double kMaxGenerationBudget = 0.05;
/// Pixel writes per generation call: small enough to stop near the budget.
inline constexpr int64_t kGenerationSlice = 128;

/// The display's refresh rate raised to 60 Hz and lowered to 100 Hz (an
/// unknown rate, 0, counts as 60).
int ClampRefreshRate(int hertz);
/// Shortest time between two frames: frames are paced to 10 per second more
/// than the display refreshes.
double FramePeriod(int refreshRate);
/// Generation time of one frame: twice the average time the display took to
/// present a frame, at least one frame period, at most 50 ms.
double GenerationBudget(double averageDisplaySeconds, int refreshRate);
/// A raw frame time limited to 0 ... kMaxFrameStep.
double ClampFrameStep(double rawSeconds);

/// The raw times of the last ten frames.
class tFrameTimes {
public:
    static constexpr int kSlots = 10;
    /// Frame n's raw time goes to slot n mod 10.
    void Store(uint64_t frame, double rawSeconds);
    double Sum() const;
    void Clear() { slots_.fill(0); }

private:
    std::array<double, kSlots> slots_{};
};

// ------------------------------------------------------------ speed and fades

/// One frame's change of the speed factor for a (clamped) frame time dt.
/// Slowing (Control held, or keyframes around the camera still rendering)
/// takes 1 per second off, down to 0.1; otherwise Shift adds 4 per second up
/// to 5, and without keys the factor creeps up by 1/6 per second; above 1 it
/// always loses 3 per second, down to 1.
float NextSpeed(float speed, double dt, bool slowDown, bool speedUp);

/// Alpha of the frame-colour overlay for path time t of a path lasting
/// duration: 1 → 0 over the first two seconds, 0 → 1 over the last two.
double PathFadeAlpha(extended t, extended duration);
/// The overlay alpha while closing: the close fade (1 → 0) darkens the
/// picture on top of the path's own fade.
double ClosingFadeAlpha(double pathAlpha, float closeFade);

// ------------------------------------------------------------ state

enum tSaverState : int {
    ssBeforeStart = 0,
    ssInitialising = 1,
    ssInitialised = 2,
    ssRunning = 3,
    ssClosing = 4,
};

/// The state of a running zoom as its window and its input see it.
struct tSaverStatus {
    int state = ssBeforeStart;
    /// Set to end the frame loop and the desktop transitions.
    bool stop = false;
    /// 1 → 0 during the 0.5 s closing fade.
    float closeFade = 1.0f;

    /// A stop asked for by the user: starts the closing fade.
    void BeginStop();
    /// Runs the closing fade on by dt (only while closing); once it has run
    /// out the stop flag is set.
    void CloseFadeStep(double dt);
    /// The window is closing: the loop ends after the current frame. True
    /// when this is the first request (the caller logs it).
    bool RequestClose();
};

// ------------------------------------------------------------ generation

/// What one generation call did: no work left anywhere, or the pixel
/// writes of a call (0 when it could not work, for want of a free page).
inline constexpr int64_t kNoWorkLeft = -1;

/// Calls step() until it reports no work left or a call that wrote nothing,
/// or until, after a call that did work, now() is more than budget seconds
/// past frameStart. So at least one call is made whenever work is left.
/// Returns the number of calls.
int SpendGenerationBudget(const std::function<int64_t()>& step, const std::function<extended()>& now,
                          extended frameStart, double budget);
