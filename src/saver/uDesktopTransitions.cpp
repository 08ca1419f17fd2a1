// Sections: the capture; shared pieces; fade-out; fade-in; keyframe progress.
#include "uDesktopTransitions.h"

#include "uDesktopAnimation.h"
#include "uDesktopCapture.h"
#include "uFrameLoop.h"
#include "uOpenGL.h"
#include "uPageGLhw.h"
#include "uPathBase.h"
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

bool HasPixels(const tPage* capture) { return capture && capture->Width() > 0 && capture->Height() > 0; }

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

namespace {

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

} // namespace

// ---------------------------------------------------------------------------
// Fade-out
// ---------------------------------------------------------------------------

tDesktopFadeOut::tDesktopFadeOut(tOpenGLInterface& gl, tViewPortGL& viewport, const tPage& capture, tSprite* logo)
    : gl_(gl), viewport_(viewport), savedCamera_(std::make_unique<tSavedCamera>(viewport)),
      page_(UploadedCopy(gl, capture)),
      animation_(std::make_unique<tDesktopAnimation>(&gl, &viewport, page_.get(), logo))
{
}

tDesktopFadeOut::~tDesktopFadeOut() = default;

void tDesktopFadeOut::Draw() { animation_->Draw(); }

void tDesktopFadeOut::Advance(double dt, float keyframeProgress) { animation_->Advance(dt, keyframeProgress); }

void tDesktopFadeOut::Darken(double closeFade)
{
    const extended w = viewport_.size.x;
    const extended h = viewport_.size.y;
    gl_.drawColor = PackRGBA(0, 0, 0, PackComponent(static_cast<float>((1 - closeFade) * 255)));
    gl_.FillRect({-w, -h}, {2 * w, 2 * h});
}

bool tDesktopFadeOut::Finished() const { return animation_->Finished(); }

// ---------------------------------------------------------------------------
// Fade-in
// ---------------------------------------------------------------------------

/// The capture drawn flat over the whole viewport, as the fade-in shows it:
/// at p = 0 dark, 20 % enlarged and turned, at p = 1 the desktop as it was.
/// The viewport's camera is put back when it goes.
class tReturningDesktop {
public:
    tReturningDesktop(tOpenGLInterface& gl, tViewPortGL& viewport, const tPage& capture)
        : gl_(gl), viewport_(viewport), savedCamera_(viewport), page_(UploadedCopy(gl, capture))
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
    }

private:
    tOpenGLInterface& gl_;
    tViewPortGL& viewport_;
    tSavedCamera savedCamera_;
    std::unique_ptr<tPageGLhw> page_;
};

tDesktopFadeIn::tDesktopFadeIn(tOpenGLInterface& gl, tViewPortGL& viewport, const tPage& capture)
    : desktop_(std::make_unique<tReturningDesktop>(gl, viewport, capture))
{
}

tDesktopFadeIn::~tDesktopFadeIn() = default;

bool tDesktopFadeIn::Frame(double dt)
{
    // The course follows the clamped frame times, so a stalled frame moves
    // it on by at most 0.1 s.
    shown_ += std::clamp(dt, 0.0, kMaxTransitionFrameTime);
    const double p = Course();
    desktop_->Show(p);
    return p >= 1;
}

double tDesktopFadeIn::Course() const { return std::min(shown_ / kDesktopFadeInSeconds, 1.0); }

void ShowDesktopCapture(tOpenGLInterface& gl, tViewPortGL& viewport, const tPage& capture)
{
    if (HasPixels(&capture))
        tReturningDesktop(gl, viewport, capture).Show(1);
}

// ---------------------------------------------------------------------------
// Keyframe progress
// ---------------------------------------------------------------------------

float FadeOutKeyframeProgress(tPathBase* path, const std::function<extended()>& now)
{
    if (!path)
        return 0;
    constexpr double kSlice = 0.012;
    // Small steps, as the frame loop takes them: the time is checked often,
    // so a high iteration limit cannot hold the transition (and a stop) up.
    constexpr int64_t kWrites = kGenerationSlice;
    const extended start = now();
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
