#pragma once
// tPath: a zoom path shown in a scene. Two sprite particles, "FR-A" and
// "FR-B", draw the keyframes A and B from two textures; every frame Display
// places both for the camera (scaled, shifted and turned), lays the deeper
// one over the shallower one with an opacity that follows the logarithm of
// the magnification, and tilts the scene's viewport. The planning and
// rendering underneath are tPathBase's.
//
// The scene owns the two particles (it frees them with its elements); the
// path owns their sprites and the textures. A path therefore must not be
// drawn through its scene after the path is gone.
#include "uPathBase.h"

#include <memory>

class tGltexture;
class tParticle;
class tPatternSprite;
class tUniverse;

/// What keyframe placement needs of the screen: the window's client width
/// in pixels and the size of the screen's viewport, whose centre is the
/// screen centre. Until told otherwise a path assumes a viewport of
/// 800 × 600 and a window as wide.
struct tPathScreen {
    extended clientWidth = 800;
    tVector2 viewportSize{800, 600};
};

class tPath : public tPathBase {
public:
    /// A path showing its keyframes in the scene (asserted, "uPath" 1177),
    /// sharing the other path's pool when one is given. Its textures are
    /// made on the OpenGL interface of the scene's viewport.
    explicit tPath(tUniverse* scene, std::shared_ptr<tScratchPageArray> pool = nullptr);
    ~tPath() override;

    /// Pool pages, textures and both sprites sized to the resolution; the
    /// sprites turn about their centres.
    void ApplyResolution() override;
    /// As tPathBase, and both sprites become invisible until the next Display.
    void StartPath() override;
    /// Once per frame: picks A and B, places their sprites for the camera,
    /// uploads what changed, lays the deeper keyframe over the shallower one
    /// with the blend factor and tilts the viewport.
    void Display();
    /// Display scale, position, angle and full opacity of the keyframe's
    /// sprite for the camera cur; nothing while the keyframe has no
    /// generator. Asserts the particle ("uPath" 906) and the keyframe (907).
    void PlaceKeyframe(const tFractalKeyFrame* keyframe, tParticle* particle, const tPathPoint& cur);
    /// The screen the keyframes are placed on; the window that shows the
    /// path tells it whenever its size changes.
    void SetScreen(const tPathScreen& screen) { screen_ = screen; }
    const tPathScreen& Screen() const { return screen_; }

    tUniverse* Scene() const { return scene_; }
    tParticle* ParticleA() const { return particleA_; }
    tParticle* ParticleB() const { return particleB_; }
    tGltexture* TextureA() const { return textureA_.get(); }
    tGltexture* TextureB() const { return textureB_.get(); }
    tPatternSprite* SpriteA() const { return spriteA_.get(); }
    tPatternSprite* SpriteB() const { return spriteB_.get(); }

    /// Display scales of the smaller and the larger sprite after the last
    /// Display (the debug window shows them).
    float smallSize = 0;
    float bigSize = 0;
    /// Debug aid: the deeper (smaller) keyframe is tinted green.
    bool colourCodeFrames = false;

protected:
    void UploadToSlot(int slot, const tPage& page) override;
    void UploadRowsToSlot(int slot, const tPage& page, int32_t firstRow, int32_t endRow, bool clearBelow) override;

private:
    tUniverse* scene_;
    tPathScreen screen_;
    tParticle* particleA_ = nullptr; // owned by the scene
    tParticle* particleB_ = nullptr;
    std::unique_ptr<tGltexture> textureA_;
    std::unique_ptr<tGltexture> textureB_;
    std::unique_ptr<tPatternSprite> spriteA_;
    std::unique_ptr<tPatternSprite> spriteB_;
};
