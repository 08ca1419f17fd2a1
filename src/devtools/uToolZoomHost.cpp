#include "uToolZoomHost.h"

#include "uClock.h"
#include "uGLSurface.h"
#include "uOpenGL.h"
#include "uPlatform.h"

std::unique_ptr<tOpenGLInterface> tToolZoomHost::OpenGL()
{
    return tOpenGLInterface::Create(CreateTestWindow(width_, height_));
}

void tToolZoomHost::ProcessMessages() { ::ProcessMessages(); }

extended tToolZoomHost::Now() { return fixedStep_ ? fakeNow_ : HighResTime(); }

void tToolZoomHost::SleepOneMs()
{
    if (fixedStep_)
        fakeNow_ += 0.001L;
    else
        SleepMs(1);
}

void tToolZoomHost::FrameDone()
{
    frameStart_ += 1.0L / stepRate_;
    fakeNow_ = frameStart_;
}
