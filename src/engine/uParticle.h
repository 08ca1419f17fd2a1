#pragma once
// tParticle: an element that draws a sprite (or a circle) with a scale,
// rotation, opacity and tint, and that can live for a limited time while its
// scale and opacity move between two values.
#include "uPage.h"
#include "uUniverse.h"

class tOpenGLInterface;
class tSprite;

class tParticle : public tElement {
public:
    enum Blend : int32_t { kBlendAuto = 0, kBlendAdditive = 1, kBlendOpaque = 2 };
    enum Interpolation : int32_t { kHold = 0, kLinear = 1, kSquareRoot = 2 };

    tParticle(tVector2 position, tElementLayer* layer, tUniverse* universe, tVector2 velocity = {});

    /// Only when live: ages the particle (dying once its lifetime is over),
    /// sets scale and opacity from the age, turns it by its spin.
    void Update(double dt) override;
    /// " scale = ", the sprite's description, the opacity when it is not 1,
    /// then the element's description; marked "*" when nothing would show.
    std::string Describe() const override;

    /// Only when live and visible, onto the viewport: the sprite through the
    /// particle's draw parameters (motion-blurred when both switches are
    /// on), or without a sprite a circle of its radius (a solid's outline)
    /// in its colour.
    void Draw(tViewPortGL& viewport) override;
    /// For a live particle that casts a shadow: Draw as a half-transparent
    /// black copy one unit down and to the left.
    virtual void DrawShadow(tViewPortGL& viewport);
    /// A line from the position to where the velocity leads in 0.2 s, in the
    /// interface's current draw colour.
    void DrawVelocity(tViewPortGL& viewport) override;
    /// The draw parameters of one plain copy of the sprite.
    tDrawParams SpriteParams() const;

    tSprite* sprite = nullptr; // not owned: particles may share a sprite
    tPackedColor color = PackRGBA(128, 0, 128, 255);
    double radius = 1.0;
    double angle = 0;
    double spin = 0; // degrees per second
    bool motionBlur = false;
    double scale = 1.0;
    double aspect = 1.0; // extra horizontal factor
    double opacity = 1.0;
    int32_t blendOverride = kBlendAuto;
    bool shadowPass = false;
    bool tinted = false;
    double lifetime = 0; // seconds, 0 = unlimited
    bool castsShadow = false;
    double age = 0;
    double scaleFrom = 1.0;
    double scaleTo = 1.0;
    double opacityFrom = 1.0;
    double opacityTo = 1.0;
    int32_t interpolation = kLinear;

protected:
    /// Draw without a sprite onto the viewport: a circle of the radius, in
    /// the interface's current draw colour.
    virtual void DrawWithoutSprite(tViewPortGL& viewport);

private:
    void DrawSpriteAt(const tDrawParams& params, tVector2 at);
    void DrawBlurred(const tDrawParams& params);
};
