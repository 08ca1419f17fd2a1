#pragma once
// The running zoom in a window of a developer tool or benchmark: a window of
// its own on the (virtual) display, on the real clock or on a made-up one of
// exactly 60 (or stepRate) frames a second.
#include "uZoomRunner.h"

class tToolZoomHost : public tZoomHost {
public:
    tToolZoomHost(int width, int height, bool fixedStep, int stepRate = 60)
        : width_(width), height_(height), fixedStep_(fixedStep), stepRate_(stepRate)
    {
    }

    std::unique_ptr<tOpenGLInterface> OpenGL() override;
    int ScreenDepth() override { return 24; }
    int ScreenRefreshRate() override { return 60; }
    void ProcessMessages() override;
    extended Now() override;
    void SleepOneMs() override;
    /// On the made-up clock: the next frame starts 1/stepRate s after this one did.
    void FrameDone();

private:
    int width_;
    int height_;
    bool fixedStep_;
    int stepRate_;
    extended fakeNow_ = 1000;
    extended frameStart_ = 1000;
};
