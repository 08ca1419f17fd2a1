#include "uPath.h"

#include "uAssert.h"
#include "uOpenGL.h"
#include "uParticle.h"
#include "uSprite.h"
#include "uUniverse.h"
#include "uViewPort.h"

#include <utility>

namespace {

constexpr tPackedColor kColourCodeTint = PackRGBA(0, 255, 0, 255);

tParticle* MakeKeyframeParticle(tUniverse* scene, const char* name)
{
    auto* particle = new tParticle({0, 0}, nullptr, scene); // the scene owns it
    particle->SetName(name);
    particle->opacity = 0;
    return particle;
}

/// The interface the scene draws with; a path is always shown.
tOpenGLInterface& SceneGL(const tUniverse& scene)
{
    tOpenGLInterface* gl = scene.Viewport()->GL();
    Assert(gl != nullptr, "uPath", __LINE__, "A zoom path needs a scene that is drawn");
    return *gl;
}

std::unique_ptr<tPatternSprite> MakeKeyframeSprite(tOpenGLInterface& gl, int32_t resolution, tGltexture* texture)
{
    auto sprite = std::make_unique<tPatternSprite>(gl, nullptr, resolution, resolution);
    sprite->Page()->SetDrawnTexture(texture);
    return sprite;
}

void MoveTo(tParticle* particle, tElementLayer* layer)
{
    if (particle->Layer() != layer)
        particle->MoveToLayer(layer);
}

} // namespace

tPath::tPath(tUniverse* scene, std::shared_ptr<tScratchPageArray> pool)
    : tPathBase(std::move(pool)), scene_(scene)
{
    Assert(scene != nullptr, "uPath", 1177);
    particleA_ = MakeKeyframeParticle(scene, "FR-A");
    particleB_ = MakeKeyframeParticle(scene, "FR-B");
    tOpenGLInterface& gl = SceneGL(*scene);
    textureA_ = std::make_unique<tGltexture>(&gl, "Unnamed");
    spriteA_ = MakeKeyframeSprite(gl, params.resolution, textureA_.get());
    particleA_->sprite = spriteA_.get();
    textureB_ = std::make_unique<tGltexture>(&gl, "Unnamed");
    spriteB_ = MakeKeyframeSprite(gl, params.resolution, textureB_.get());
    particleB_->sprite = spriteB_.get();
    ApplyResolution();
}

tPath::~tPath() = default;

void tPath::ApplyResolution()
{
    tPathBase::ApplyResolution();
    const int32_t r = params.resolution;
    textureA_->SetSize(r, r);
    textureB_->SetSize(r, r);
    for (tPatternSprite* sprite : {spriteA_.get(), spriteB_.get()}) {
        sprite->Page()->SetSize(r, r, pfRGBA);
        sprite->rect = tRect{0, 0, r - 1, r - 1};
        sprite->hotspot = tVector2{r / 2.0L, r / 2.0L};
    }
}

void tPath::StartPath()
{
    tPathBase::StartPath();
    particleA_->opacity = 0;
    particleB_->opacity = 0;
}

void tPath::UploadToSlot(int slot, const tPage& page)
{
    (slot == 0 ? textureA_ : textureB_)->UploadPage(&page, false);
}

void tPath::UploadRowsToSlot(int slot, const tPage& page, int32_t firstRow, int32_t endRow, bool clearBelow)
{
    (slot == 0 ? textureA_ : textureB_)->UploadPageRows(&page, firstRow, endRow, clearBelow);
}

void tPath::PlaceKeyframe(const tFractalKeyFrame* keyframe, tParticle* particle, const tPathPoint& cur)
{
    Assert(particle != nullptr, "uPath", 906);
    Assert(keyframe != nullptr, "uPath", 907);
    const auto placement = KeyframePlacement(*keyframe, cur, screen_.clientWidth, screen_.viewportSize);
    if (!placement)
        return;
    particle->scale = static_cast<double>(placement->scale);
    particle->position = placement->position;
    particle->opacity = 1.0;
    particle->angle = static_cast<double>(placement->angle);
}

void tPath::Display()
{
    UpdateCurrentKeyframes();
    if (!A())
        return;
    const tPathPoint cur = Evaluate(Time());

    // A slot whose keyframe has not started rendering has nothing of this
    // path to show: its texture still holds an older picture (or none), so
    // its sprite is kept out of the picture instead of being shown stale.
    const bool placedA = A()->Generator() != nullptr;
    const bool placedB = B()->Generator() != nullptr;
    if (placedA)
        PlaceKeyframe(A(), particleA_, cur);
    else
        particleA_->scale = 0;
    if (placedB)
        PlaceKeyframe(B(), particleB_, cur);
    else
        particleB_->scale = 0;

    UploadKeyframes();

    tParticle* big = particleA_->scale > particleB_->scale ? particleA_ : particleB_;
    tParticle* small = big == particleA_ ? particleB_ : particleA_;
    MoveTo(big, scene_->MainLayer());
    big->opacity = 1.0;
    MoveTo(small, scene_->ForeLayer());
    small->opacity = 1.0 - BlendFactor(cur);
    if (!placedA)
        particleA_->opacity = 0;
    if (!placedB)
        particleB_->opacity = 0;

    if (const auto tilt = TiltAngles(tiltMode, Time())) {
        scene_->Viewport()->pitch = tilt->x;
        scene_->Viewport()->yaw = tilt->y;
    }

    smallSize = static_cast<float>(small->scale);
    bigSize = static_cast<float>(big->scale);

    // Colour coding is a debug switch: switched off, neither sprite stays tinted.
    small->tinted = colourCodeFrames;
    small->color = colourCodeFrames ? kColourCodeTint : small->color;
    big->tinted = false;
}
