#pragma once
// A window for the running zoom in tests: a real window on the (virtual)
// display with a made-up clock that moves only when the loop sleeps, a
// frame is done or a test says so.
#include "uGLSurface.h"
#include "uZoomRunner.h"

#include <functional>

class tGlobalSettings;

class tZoomTestHost : public tZoomHost {
public:
    tZoomTestHost() = default;
    tZoomTestHost(int windowWidth, int windowHeight) : width(windowWidth), height(windowHeight) {}

    std::unique_ptr<tOpenGLInterface> OpenGL() override;
    int ScreenDepth() override { return depth; }
    int ScreenRefreshRate() override { return refreshRate; }
    void ProcessMessages() override;
    extended Now() override { return now; }
    void SleepOneMs() override { now += 0.001L; }
    bool PacedByDisplay() override { return pacedByDisplay; }
    void PlaceForms() override { ++placed; }
    void ShowDebugWindow(bool shown) override { debugShown = shown; }

    /// Ticks at 60 a second of the made-up clock, handling events after
    /// each, until the run is over (at most the given seconds); returns the
    /// seconds that passed.
    double RunFrames(tZoomRunner& runner, double most);
    /// Ticks, handling events after each but leaving the clock alone, until
    /// the run reaches the phase; false when it ended first.
    bool RunUntil(tZoomRunner& runner, tRunPhase phase);

    int width = 160;
    int height = 120;
    tWindowHandle window;
    extended now = 100;
    int depth = 24;
    int refreshRate = 144;
    bool pacedByDisplay = false;
    /// Rounds of event handling so far.
    int eventRounds = 0;
    int placed = 0;
    bool debugShown = true;
    std::function<void()> onMessages;
};

/// Settings that start a zoom quickly: level 1, 64-pixel keyframes of 64
/// iterations, a fixed seed.
void QuickZoomSettings(tGlobalSettings& settings);
