#pragma once
// A window for the running zoom in tests: a real window on the (virtual)
// display with a made-up clock that moves only when the loop sleeps or a
// test says so.
#include "uGLSurface.h"
#include "uZoomRunner.h"

#include <functional>

class tGlobalSettings;

class tZoomTestHost : public tZoomHost {
public:
    std::unique_ptr<tOpenGLInterface> OpenGL() override;
    int ScreenDepth() override { return 24; }
    int ScreenRefreshRate() override { return refreshRate; }
    void ProcessMessages() override;
    extended Now() override { return now; }
    void SleepOneMs() override { now += 0.001L; }
    void PlaceForms() override { ++placed; }
    void ShowDebugWindow(bool shown) override { debugShown = shown; }

    /// Frames at 60 a second of the made-up clock until the loop ends (at
    /// most the given seconds); returns the seconds that passed.
    double RunFrames(tZoomRunner& runner, double most);

    tWindowHandle window;
    extended now = 100;
    int refreshRate = 144;
    int placed = 0;
    bool debugShown = true;
    std::function<void()> onMessages;
};

/// Settings that start a zoom quickly: level 1, 64-pixel keyframes of 64
/// iterations, a fixed seed.
void QuickZoomSettings(tGlobalSettings& settings);
