#include "uFrameLoop.h"
#include "uInputWatch.h"
#include "uRunModes.h"
#include "uZoomRunner.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kFrame = 1.0 / 60;

/// Runs the speed factor for the given seconds of 60 Hz frames.
float RunSpeed(float speed, double seconds, bool slowDown, bool speedUp)
{
    for (int i = 0; i < static_cast<int>(std::lround(seconds / kFrame)); ++i)
        speed = NextSpeed(speed, kFrame, slowDown, speedUp);
    return speed;
}

} // namespace

TEST(FrameLoop, RefreshRateBudgetAndFrameStep)
{
    EXPECT_EQ(ClampRefreshRate(0), 60);
    EXPECT_EQ(ClampRefreshRate(144), 100);
    EXPECT_EQ(ClampRefreshRate(75), 75);
    EXPECT_DOUBLE_EQ(FramePeriod(60), 1.0 / 70);

    // Twice the display time, but never less than one frame period...
    EXPECT_DOUBLE_EQ(GenerationBudget(0.001, 60), 1.0 / 70);
    EXPECT_DOUBLE_EQ(GenerationBudget(0.010, 60), 0.020);
    // ...and never more than 50 ms.
    EXPECT_DOUBLE_EQ(GenerationBudget(0.040, 60), 0.05);

    // A 0.3 s stall moves the zoom by 0.1 s, but the ten-frame sum sees 0.3 s.
    tFrameTimes times;
    for (uint64_t frame = 1; frame <= 10; ++frame)
        times.Store(frame, frame == 10 ? 0.3 : 0.02);
    EXPECT_DOUBLE_EQ(ClampFrameStep(0.3), 0.1);
    EXPECT_NEAR(times.Sum(), 9 * 0.02 + 0.3, 1e-12);
    EXPECT_DOUBLE_EQ(ClampFrameStep(-0.01), 0.0);
}

TEST(FrameLoop, SpeedFactor)
{
    // Lagging keyframes win over Shift: the floor is 0.1.
    EXPECT_FLOAT_EQ(RunSpeed(1.0f, 5, true, true), 0.1f);
    // Shift: +4 and -3 per second above 1, a net 1 per second, capped near 5.
    EXPECT_NEAR(RunSpeed(1.0f, 2, false, true), 3.0f, 0.05f);
    EXPECT_NEAR(RunSpeed(1.0f, 10, false, true), 5.0f - 3 * kFrame, 1e-4);
    // Released, it falls by 3 - 1/6 per second back to 1.
    EXPECT_NEAR(RunSpeed(3.0f, 0.5, false, false), 3.0f - 0.5f * (3 - 1.0f / 6), 0.02f);
    EXPECT_FLOAT_EQ(RunSpeed(3.0f, 5, false, false), 1.0f);
    // Control: 4 per second above 1, 1 per second below.
    EXPECT_NEAR(RunSpeed(3.0f, 0.25, true, false), 2.0f, 0.02f);
    EXPECT_NEAR(RunSpeed(1.0f, 0.5, true, false), 0.5f, 0.01f);
    // Without keys a slowed zoom creeps back up to 1 and settles there.
    EXPECT_NEAR(RunSpeed(0.1f, 3, false, false), 0.6f, 0.01f);
    EXPECT_FLOAT_EQ(RunSpeed(0.1f, 10, false, false), 1.0f);
}

TEST(FrameLoop, FadeOverlay)
{
    EXPECT_DOUBLE_EQ(PathFadeAlpha(0, 30), 1.0);
    EXPECT_DOUBLE_EQ(PathFadeAlpha(1, 30), 0.5);
    EXPECT_DOUBLE_EQ(PathFadeAlpha(10, 30), 0.0);
    EXPECT_DOUBLE_EQ(PathFadeAlpha(29, 30), 0.5);
    EXPECT_DOUBLE_EQ(PathFadeAlpha(30, 30), 1.0);
    // A path shorter than 4 s never becomes fully visible: the fade out
    // starts before the fade in has ended.
    double least = 1;
    for (double t = 0; t <= 3.5; t += 0.01)
        least = std::min(least, PathFadeAlpha(t, 3.5));
    EXPECT_GT(least, 0.0);
    EXPECT_DOUBLE_EQ(PathFadeAlpha(2, 3.5), 0.25);
    // Closing darkens on top of the path's own fade.
    EXPECT_DOUBLE_EQ(ClosingFadeAlpha(0, 1.0f), 0.0);
    EXPECT_DOUBLE_EQ(ClosingFadeAlpha(0, 0.25f), 0.75);
}

TEST(FrameLoop, SaverStatusAndCloseFade)
{
    tSaverStatus status;
    status.state = ssRunning;
    status.CloseFadeStep(1); // not closing: nothing happens
    EXPECT_FALSE(status.stop);

    status.BeginStop();
    EXPECT_EQ(status.state, ssClosing);
    double elapsed = 0;
    while (!status.stop && elapsed < 2) {
        status.CloseFadeStep(kFrame);
        elapsed += kFrame;
    }
    EXPECT_NEAR(elapsed, 0.5, 2 * kFrame);

    // A second stop does not restart the fade; closing the window ends at once.
    tSaverStatus other;
    other.BeginStop();
    other.closeFade = 0.3f;
    other.BeginStop();
    EXPECT_FLOAT_EQ(other.closeFade, 0.3f);
    EXPECT_FALSE(other.RequestClose()); // already closing: nothing new to report
    EXPECT_TRUE(other.stop);
    tSaverStatus fresh;
    EXPECT_TRUE(fresh.RequestClose());
    EXPECT_EQ(fresh.state, ssClosing);
}

TEST(FrameLoop, GenerationSpendsTheBudgetInSlices)
{
    extended clock = 0;
    const auto now = [&] { return clock; };
    int work = 100;
    const auto step = [&]() -> int64_t {
        if (work == 0)
            return kNoWorkLeft;
        --work;
        clock += 0.004; // each slice takes 4 ms
        return kGenerationSlice;
    };
    // 20 ms budget: the call that crosses it is the last one.
    EXPECT_EQ(SpendGenerationBudget(step, now, 0, 0.020), 6);
    // Already past the budget when the frame gets here: still one call.
    clock = 1;
    EXPECT_EQ(SpendGenerationBudget(step, now, 0, 0.020), 1);
    // Nothing left: no call counts.
    work = 0;
    EXPECT_EQ(SpendGenerationBudget(step, now, clock, 0.020), 0);
    // A call that could not write (no free page) ends the frame's generation.
    int calls = 0;
    EXPECT_EQ(SpendGenerationBudget([&]() -> int64_t { return ++calls > 3 ? kNoWorkLeft : 0; }, now, clock, 1), 1);
}

TEST(FrameLoop, VignetteIsClearInTheMiddleAndOpaqueAtTheEdges)
{
    EXPECT_EQ(VignetteAlpha(0, 512, 0), 0);
    EXPECT_EQ(VignetteAlpha(256, 512, -1), 255);
    EXPECT_EQ(VignetteAlpha(362, 512, 1), 255); // the corner
    // The dither moves a value by at most one step, never outside 0..255.
    const int plain = VignetteAlpha(50, 512, 0);
    for (double noise : {-1.0, -0.3, 0.4, 1.0})
        EXPECT_LE(std::abs(VignetteAlpha(50, 512, noise) - plain), 1);
    // It darkens steadily towards the edge.
    int previous = -1;
    for (int r = 0; r <= 120; r += 10) {
        const int a = VignetteAlpha(r, 512, 0);
        EXPECT_GE(a, previous) << r;
        previous = a;
    }
}

TEST(InputWatch, KeyTableAndStopRules)
{
    tKeyboardHK keys;
    keys.KeyEvent(vkShift, true);
    keys.KeyEvent(0x1FFFF, true); // only the low 16 bits count
    EXPECT_TRUE(keys.IsDown(vkShift));
    EXPECT_TRUE(keys.IsDown(0xFFFF));
    EXPECT_FALSE(keys.IsDown(tKeyboardHK::kTableSize));
    keys.KeyEvent(vkShift, false);
    EXPECT_FALSE(keys.IsDown(vkShift));

    tCapturedLog log;
    tMouseStopRule rule;
    // While starting up a move only moves the remembered position.
    EXPECT_FALSE(rule.Moved(100, 50, rmScreenSaver, ssInitialising));
    EXPECT_FALSE(rule.Moved(100, 50, rmScreenSaver, ssRunning)); // same place: a synthetic move
    EXPECT_TRUE(rule.Moved(101, 50, rmScreenSaver, ssRunning));
    EXPECT_TRUE(log.FileContains("Mouse move... stop event triggered"));
    EXPECT_TRUE(rule.Moved(101, 51, rmScreenSaver, ssInitialised));
    for (int mode : {rmDemo, rmPreview, rmHosted})
        EXPECT_FALSE(rule.Moved(300 + mode, 0, mode, ssRunning)) << mode;
    EXPECT_TRUE(KeyPressStops(rmScreenSaver));
    EXPECT_FALSE(KeyPressStops(rmDemo));
    EXPECT_FALSE(KeyPressStops(rmHosted));

    // The pointer where the window appeared: a click there moves nothing.
    tMouseStopRule shown;
    shown.Remember(640, 512);
    EXPECT_FALSE(shown.Moved(640, 512, rmScreenSaver, ssRunning));
    EXPECT_TRUE(shown.Moved(641, 512, rmScreenSaver, ssRunning));
}

TEST(InputWatch, EveryKeyButTheModifiersAndAltEnterEndsTheSaver)
{
    const struct {
        uint32_t key;
        bool alt;
        bool stops;
    } cases[] = {
        {'A', false, true},   {'7', false, true},   {0x1B, false, true} /* Escape */,
        {0x25, false, true} /* Left */, {0x28, false, true} /* Down */, {0x70, false, true} /* F1 */,
        {0x87, false, true} /* F24 */,  {0x0D, false, true} /* Enter */, {0, false, true} /* no code */,
        {'A', true, true},    {0x0D, true, false} /* Alt+Enter */,
        {vkShift, false, false}, {vkControl, false, false}, {vkMenu, true, false},
        {0x14, false, false} /* Caps Lock */, {0x5B, false, false}, {0x5C, false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsStoppingKey(c.key, c.alt), c.stops) << std::hex << c.key << " alt " << c.alt;
}
