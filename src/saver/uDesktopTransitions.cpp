// Sections: the capture; shared pieces of the loops; fade-out; fade-in;
// keyframe progress.
#include "uDesktopTransitions.h"

#include "uAssert.h"
#include "uClock.h"
#include "uDesktopAnimation.h"
#include "uDesktopCapture.h"
#include "uFrameLoop.h"
#include "uLog.h"
#include "uOpenGL.h"
#include "uPageGLhw.h"
#include "uPathBase.h"
#include "uPlatform.h"
#include "uTimer.h"
#include "uViewPort.h"

#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------
// The capture
// ---------------------------------------------------------------------------

std::unique_ptr<tPage> CaptureDesktopPage(std::optional<tRect> area) { return DesktopPageFrom(CaptureDesktop(area)); }

std::unique_ptr<tPage> DesktopPageFrom(const tBitmap& shot)
{
    if (!shot.Valid())
        return nullptr;
    auto page = std::make_unique<tPage>();
    page->SetName("desktop capture");
    page->SetSize(shot.width, shot.height, pfRGBA);
    for (int32_t y = 0; y < shot.height; ++y) {
        const uint8_t* in = shot.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(shot.width) * 4;
        uint8_t* out = page->Pixels() + static_cast<size_t>(y) * static_cast<size_t>(page->Stride());
        for (int32_t x = 0; x < shot.width; ++x, in += 4, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = 255;
        }
    }
    return page;
}

// ---------------------------------------------------------------------------
// Shared pieces
// ---------------------------------------------------------------------------

namespace {

/// The hooks with their defaults filled in.
struct tHooks {
    explicit tHooks(const tDesktopTransitionHooks& h) : given(h)
    {
        Assert(given.gl != nullptr, "uDesktopTransitions", __LINE__, "The desktop transition needs an interface");
        Assert(given.viewport != nullptr, "uDesktopTransitions", __LINE__, "The desktop transition needs a viewport");
    }

    extended Now() const { return given.clock ? given.clock() : HighResTime(); }
    void Present() const
    {
        if (given.present)
            given.present();
        else
            given.gl->Present();
    }
    void ProcessEvents() const
    {
        if (given.processMessages)
            given.processMessages();
        else
            ProcessMessages();
    }
    void CloseFadeStep(double dt) const
    {
        if (given.closeFadeStep)
            given.closeFadeStep(dt);
    }
    double CloseFade() const { return given.closeFade ? given.closeFade() : 1.0; }
    bool Closing() const { return given.closing && given.closing(); }
    bool StopRequested() const { return given.stopRequested && given.stopRequested(); }

    const tDesktopTransitionHooks& given;
};

/// Time between frames, clamped so that a stall never makes a jump.
class tFrameClock {
public:
    explicit tFrameClock(const tHooks& hooks) : hooks_(hooks), previous_(hooks.Now()) {}
    double Step()
    {
        const extended now = hooks_.Now();
        const auto dt = static_cast<double>(now - previous_);
        previous_ = now;
        return std::clamp(dt, 0.0, kMaxTransitionFrameTime);
    }

private:
    const tHooks& hooks_;
    extended previous_;
};

/// The capture on a texture of the interface.
std::unique_ptr<tPageGLhw> UploadedCopy(tOpenGLInterface& gl, const tPage& capture)
{
    auto page = std::make_unique<tPageGLhw>(gl);
    page->SetName(capture.Name());
    page->SetSize(capture.Width(), capture.Height(), pfRGBA);
    if (capture.Format() == pfRGBA && capture.Pixels())
        std::memcpy(page->Pixels(), capture.Pixels(), static_cast<size_t>(capture.PixelCount()));
    else
        capture.CopyToPageSlow({0, 0, capture.Width() - 1, capture.Height() - 1}, *page, 0, 0);
    page->Upload();
    return page;
}

/// Puts the viewport's camera back as the transition found it.
class tSavedCamera {
public:
    explicit tSavedCamera(tViewPortGL& viewport)
        : viewport_(viewport), position_(viewport.cameraPosition), scale_(viewport.cameraScale),
          roll_(viewport.roll), pitch_(viewport.pitch), yaw_(viewport.yaw)
    {
    }
    ~tSavedCamera()
    {
        viewport_.cameraPosition = position_;
        viewport_.cameraScale = scale_;
        viewport_.roll = roll_;
        viewport_.pitch = pitch_;
        viewport_.yaw = yaw_;
        viewport_.ApplyCamera();
    }
    tSavedCamera(const tSavedCamera&) = delete;
    tSavedCamera& operator=(const tSavedCamera&) = delete;

private:
    tViewPortGL& viewport_;
    tVector3 position_;
    tVector3 scale_;
    extended roll_;
    extended pitch_;
    extended yaw_;
};

bool HasPixels(const tPage* page) { return page && page->Width() > 0 && page->Height() > 0; }

} // namespace

// ---------------------------------------------------------------------------
// Fade-out
// ---------------------------------------------------------------------------

void RunDesktopFadeOut(const tDesktopTransitionHooks& given)
{
    LogNote(1, "Initilizing desktop fade out transition");
    if (!HasPixels(given.capture))
        return;
    const tHooks hooks(given);
    tOpenGLInterface& gl = *given.gl;
    tViewPortGL& viewport = *given.viewport;
    gl.MakeCurrent();
    const tSavedCamera savedCamera(viewport);
    const std::unique_ptr<tPageGLhw> page = UploadedCopy(gl, *given.capture);
    tDesktopAnimation animation(&gl, &viewport, page.get(), given.logo);
    animation.progressCallback = given.keyframeProgress;

    tFrameClock frameClock(hooks);
    for (;;) {
        const double dt = frameClock.Step();
        hooks.CloseFadeStep(dt);
        animation.Draw();
        animation.Advance(dt);
        if (hooks.Closing()) {
            // A stop was asked for: the close fade darkens the whole screen.
            const extended w = viewport.size.x;
            const extended h = viewport.size.y;
            gl.drawColor = PackRGBA(0, 0, 0, PackComponent(static_cast<float>((1 - hooks.CloseFade()) * 255)));
            gl.FillRect({-w, -h}, {2 * w, 2 * h});
        }
        hooks.Present();
        hooks.ProcessEvents();
        // Window events may have switched to another window's context.
        gl.MakeCurrent();
        if (animation.Finished() || hooks.StopRequested())
            break;
    }
}

// ---------------------------------------------------------------------------
// Fade-in
// ---------------------------------------------------------------------------

namespace {

/// The viewport, once the interface it draws with is current.
tViewPortGL& Current(tOpenGLInterface& gl, tViewPortGL& viewport)
{
    gl.MakeCurrent();
    return viewport;
}

/// The capture drawn flat over the whole viewport, as the fade-in shows it:
/// at p = 0 dark, 20 % enlarged and turned, at p = 1 the desktop as it was.
/// The viewport's camera is restored when it goes.
class tReturningDesktop {
public:
    explicit tReturningDesktop(const tDesktopTransitionHooks& given)
        : hooks_(given), gl_(*given.gl), viewport_(*given.viewport), savedCamera_(Current(gl_, viewport_)),
          page_(UploadedCopy(gl_, *given.capture))
    {
        viewport_.SetupProjection();
        viewport_.pitch = 0;
        viewport_.yaw = 0;
        viewport_.SetCamera(viewport_.size * 0.5L, {1, 1}, 0);
    }

    void Show(double p)
    {
        tDrawParams params = InitDrawParams();
        params.ScaleX = params.ScaleY = (1 - p) * 0.2 + 1;
        params.Angle = (1 - p) * 1.1;
        params.Tinted = true;
        params.Tint.r = params.Tint.g = params.Tint.b = static_cast<float>(p * 255);
        params.Pivot = {page_->Width() / 2.0L, page_->Height() / 2.0L};
        params.BlendMode = 0;
        gl_.ClearBlack();
        page_->Draw(viewport_.size * 0.5L, params);
        hooks_.Present();
    }

    const tHooks& Hooks() const { return hooks_; }

private:
    tHooks hooks_;
    tOpenGLInterface& gl_;
    tViewPortGL& viewport_;
    tSavedCamera savedCamera_;
    std::unique_ptr<tPageGLhw> page_;
};

} // namespace

void RunDesktopFadeIn(const tDesktopTransitionHooks& given)
{
    LogNote(1, "Initilizing desktop fade in transition");
    if (!HasPixels(given.capture))
        return;
    tReturningDesktop desktop(given);
    // The course follows the clamped frame times, so a stalled frame moves
    // it on by at most 0.1 s.
    tFrameClock frameClock(desktop.Hooks());
    double shown = 0;
    double p = 0;
    do {
        shown += frameClock.Step();
        p = std::min(shown / kDesktopFadeInSeconds, 1.0);
        desktop.Show(p);
    } while (p < 1);
}

void ShowDesktopCapture(const tDesktopTransitionHooks& given)
{
    if (HasPixels(given.capture) && given.gl && given.viewport)
        tReturningDesktop(given).Show(1);
}

// ---------------------------------------------------------------------------
// Keyframe progress
// ---------------------------------------------------------------------------

float FadeOutKeyframeProgress(tPathBase* path)
{
    if (!path)
        return 0;
    constexpr double kSlice = 0.012;
    // Small steps, as the frame loop takes them: the time is checked often,
    // so a high iteration limit cannot hold the transition (and a stop) up.
    constexpr int64_t kWrites = kGenerationSlice;
    const tTimer* timer = GlobalTimer();
    const auto now = [timer] { return timer ? timer->Elapsed() : static_cast<double>(HighResTime()); };
    const double start = now();
    // A step that did nothing means every keyframe is done or no page is
    // free: waiting out the slice would only burn the processor.
    do {
        if (path->RenderStep(kWrites) == 0)
            break;
    } while (now() <= start + kSlice);
    const tScratchPageArray* pool = path->ScratchPool();
    if (pool && pool->FreeCount() == 0)
        return 1;
    return path->KeyframesProgress();
}
