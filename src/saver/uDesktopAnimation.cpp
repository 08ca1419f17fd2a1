// Sections: creation and timing; the frame (floor, picture and reflection,
// progress bar and logo, final fade).
#include "uDesktopAnimation.h"

#include "uAssert.h"
#include "uColor.h"
#include "uOpenGL.h"
#include "uPageGLhw.h"
#include "uSprite.h"
#include "uViewPort.h"

#include <algorithm>
#include <vector>

namespace {

/// The floor: strips from the viewer to this depth, this wide on each side.
constexpr extended kFloorDepth = 10000;
constexpr extended kFloorHalfWidth = 10000;
constexpr int kFloorStrips = 100;

/// The progress bar, relative to the screen's centre line and to a camera
/// 100 pixels below the usual one: 177 × 11 pixels, 68 to 79 pixels above
/// the bottom edge. A full bar would reach 85 pixels right of the centre.
constexpr extended kBarLeft = -92;
constexpr extended kBarRight = 85;
constexpr extended kBarTop = 21;
constexpr extended kBarBottom = 32;
constexpr extended kBarLength = 185;
constexpr extended kBarOrigin = -100;
constexpr extended kOverlayLift = 100;

constexpr tPackedColor kBlack = PackRGBA(0, 0, 0, 255);

uint8_t AlphaByte(double alpha) { return PackComponent(static_cast<float>(alpha * 255)); }

/// Looks the camera at (x, y) without scale or rotation.
void PlaceCamera(tViewPortGL& viewport, extended x, extended y)
{
    viewport.pitch = 0;
    viewport.yaw = 0;
    viewport.SetCamera({x, y}, {1, 1}, 0);
}

} // namespace

// ---------------------------------------------------------------------------
// Creation and timing
// ---------------------------------------------------------------------------

tDesktopAnimation::tDesktopAnimation(tOpenGLInterface* gl, tViewPortGL* viewport_, tPageGLhw* desktopPage_,
                                     tSprite* logo_)
    : viewport(viewport_), desktopPage(desktopPage_), logo(logo_), gl_(gl)
{
    Assert(gl != nullptr, "uDesktopAnimation", __LINE__, "The desktop animation needs an OpenGL interface");
    Assert(viewport != nullptr, "uDesktopAnimation", __LINE__, "The desktop animation needs a viewport");
    Assert(desktopPage != nullptr, "uDesktopAnimation", __LINE__, "The desktop animation needs the desktop page");
}

void tDesktopAnimation::Advance(double dt, float keyframeProgress)
{
    progress = keyframeProgress;

    // The speed before this step's increase moves the picture.
    const auto step = static_cast<float>(dt);
    slidePosition += slideSpeed * step;
    slideSpeed = std::min(slideSpeed + kSlideAcceleration * step, kMaxSlideSpeed);

    elapsed += step;
    normalisedTime = std::min(static_cast<float>(elapsed / normalisingTime), 1.0f);

    // The final fade may only start once the first keyframes are there.
    if (progress < 1)
        closingFade = 1.0;
    else
        closingFade -= dt / finalFadeTime;
}

float tDesktopAnimation::TurnAmount() const { return std::clamp(normalisedTime * 5 - 0.7f, 0.0f, 1.0f); }

float tDesktopAnimation::OverlayAlpha() const { return std::min(elapsed, 1.0f); }

// ---------------------------------------------------------------------------
// The frame
// ---------------------------------------------------------------------------

void tDesktopAnimation::Draw()
{
    Assert(viewport != nullptr && desktopPage != nullptr, "uDesktopAnimation", __LINE__,
           "The desktop animation lost its viewport or page");
    const extended w = viewport->size.x;
    const extended h = viewport->size.y;
    const float overlay = OverlayAlpha();

    // Camera at (0, H): a scene point (x, y) at depth 0 lands on pixel
    // (x + W/2, y − H/2), so the picture's rectangle starts on the screen.
    viewport->SetupProjection();
    PlaceCamera(*viewport, 0, h);
    gl_->Clear(kBlack);
    gl_->SetupFog();

    DrawFloor(h);
    if (slidePosition < kPictureDepthLimit)
        DrawPicture(w, h, TurnAmount() * kTurnDegrees);

    PlaceCamera(*viewport, 0, h / 2 + kOverlayLift);
    DrawProgressBar(h, overlay);
    if (logo) {
        tDrawParams params = InitDrawParams();
        params.BlendMode = 3;
        params.Alpha = std::clamp(overlay, 0.0f, 1.0f);
        params.Pivot = logo->hotspot;
        logo->DrawWith(params, 0, static_cast<double>(h));
    }

    viewport->roll = 0;
    viewport->ApplyCamera();
    DrawFinalFade(w, h);

    // Later frames (the zoom itself, tilted) must not be fogged.
    gl_->DisableFog();
}

void tDesktopAnimation::DrawFloor(extended height)
{
    // Bluish on the left, greener on the right.
    const std::vector<tPackedColor> colors = {PackRGBA(122, 142, 152), PackRGBA(122, 142, 122),
                                              PackRGBA(122, 142, 122), PackRGBA(122, 142, 152)};
    gl_->drawColor = PackRGBA(122, 142, 137);
    for (int k = 0; k < kFloorStrips; ++k) {
        const extended z0 = static_cast<extended>(k + 1) / kFloorStrips * kFloorDepth;
        const extended z1 = static_cast<extended>(k) / kFloorStrips * kFloorDepth;
        gl_->FillPolygon3D({0, 1.5L * height, 0}, colors,
                           {{-kFloorHalfWidth, 0, z0}, {kFloorHalfWidth, 0, z0}, {kFloorHalfWidth, 0, z1},
                            {-kFloorHalfWidth, 0, z1}});
    }
}

void tDesktopAnimation::DrawPicture(extended width, extended height, extended turn)
{
    // Only the page's pixels, not the unused rest of the power-of-two texture.
    const tGltexture* texture = desktopPage->DrawnTexture();
    if (!texture || !texture->IsValid())
        return;
    const extended u = static_cast<extended>(desktopPage->Width()) / texture->Width();
    const extended v = static_cast<extended>(desktopPage->Height()) / texture->Height();
    const std::vector<tVector3> quad = {{0, 0, 0}, {width, 0, 0}, {width, height, 0}, {0, height, 0}};
    const tVector3 rotation{0, turn, 0};

    tDrawParams params = InitDrawParams();
    params.BlendMode = 0;
    const tPackedColor white = PackRGBA(255, 255, 255, 255);
    desktopPage->DrawPolygon3D({-width / 2, height / 2, slidePosition}, rotation, quad,
                               {{0, 0}, {u, 0}, {u, v}, {0, v}}, {white, white, white, white}, params);

    // The reflection hangs below the floor line, upside down, and fades out
    // downwards; it is added to the floor.
    params.BlendMode = 4;
    params.Alpha = 1;
    const tPackedColor veiled = PackRGBA(255, 255, 255, 128);
    const tPackedColor clear = PackRGBA(0, 0, 0, 0);
    desktopPage->DrawPolygon3D({-width / 2, 1.5L * height, slidePosition}, rotation, quad,
                               {{0, v}, {u, v}, {u, 0}, {0, 0}}, {veiled, veiled, clear, clear}, params);
}

void tDesktopAnimation::DrawProgressBar(extended height, float alpha)
{
    gl_->drawColor = PackRGBA(102, 102, 102, AlphaByte(alpha * 0.5));
    gl_->FillRect({kBarLeft, height + kBarTop}, {kBarRight, height + kBarBottom});
    // The bar stays on its background: below about 4 % progress its end would
    // lie left of its start, and complete keyframes may report a little over 1.
    const extended end = std::clamp(progress * kBarLength + kBarOrigin, kBarLeft, kBarRight);
    gl_->drawColor = PackRGBA(204, 204, 204, AlphaByte(alpha));
    gl_->FillRect({kBarLeft, height + kBarTop}, {end, height + kBarBottom});
}

void tDesktopAnimation::DrawFinalFade(extended width, extended height)
{
    if (closingFade > 0 && closingFade < 1) {
        gl_->drawColor = PackRGBA(0, 0, 0, AlphaByte(1 - closingFade));
        gl_->FillRect({-2 * width, -2 * height}, {2 * width, 2 * height});
    } else if (closingFade <= 0) {
        gl_->Clear(kBlack);
    }
}
