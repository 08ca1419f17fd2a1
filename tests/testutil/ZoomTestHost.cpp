#include "ZoomTestHost.h"

#include "uGlobalSettings.h"
#include "uOpenGL.h"
#include "uPlatform.h"

#include <algorithm>

std::unique_ptr<tOpenGLInterface> tZoomTestHost::OpenGL()
{
    window = CreateTestWindow(width, height);
    return tOpenGLInterface::Create(window);
}

void tZoomTestHost::ProcessMessages()
{
    ++eventRounds;
    ::ProcessMessages();
    if (onMessages)
        onMessages();
}

double tZoomTestHost::RunFrames(tZoomRunner& runner, double most)
{
    const extended start = now;
    while (now - start < most) {
        const extended frameStart = now;
        if (!runner.Tick())
            break;
        ProcessMessages();
        now = std::max(now, frameStart + 1.0L / 60);
    }
    return static_cast<double>(now - start);
}

bool tZoomTestHost::RunUntil(tZoomRunner& runner, tRunPhase phase)
{
    while (runner.Phase() != phase) {
        if (!runner.Tick())
            return runner.Phase() == phase;
        ProcessMessages();
    }
    return true;
}

void QuickZoomSettings(tGlobalSettings& settings)
{
    settings.detailLevel = 1;
    settings.ApplyDetailLevel();
    settings.FractalResolution = 64;
    settings.fractalItterations = 64;
    settings.PatternSeed = 7;
    settings.frameRes = 64;
}
