#include "uParticle.h"

#include "uFormat.h"
#include "uOpenGL.h"
#include "uSprite.h"
#include "uViewPort.h"

#include <algorithm>
#include <cmath>
#include <numbers>

tParticle::tParticle(tVector2 position_, tElementLayer* layer, tUniverse* universe, tVector2 velocity_)
    : tElement(position_, layer, universe, velocity_)
{
}

void tParticle::Update(double dt)
{
    if (state != kLive)
        return;
    if (lifetime > 0) {
        age += dt;
        double f = age / lifetime;
        if (interpolation == kSquareRoot)
            f = std::sqrt(std::max(f, 0.0));
        if (interpolation == kLinear || interpolation == kSquareRoot) {
            scale = scaleFrom + f * (scaleTo - scaleFrom);
            opacity = opacityFrom + f * (opacityTo - opacityFrom);
        } else if (interpolation == kHold) {
            scale = scaleFrom;
            opacity = opacityFrom;
        }
        if (age >= lifetime)
            state = kDead;
    }
    angle += dt * spin;
}

std::string tParticle::Describe() const
{
    const bool hidden = opacity == 0 || !sprite;
    std::string text = hidden ? "*" : " ";
    text += " scale = " + FloatToStr(scale);
    if (sprite)
        text += " <" + sprite->Describe() + ">";
    if (opacity != 1)
        text += " Opac:" + FloatToStr(opacity);
    return text + " --> " + tElement::Describe();
}

tDrawParams tParticle::SpriteParams() const
{
    tDrawParams params = InitDrawParams();
    params.BlendMode = 1;
    params.Pivot = sprite ? sprite->hotspot : tVector2{};
    params.Angle = angle;
    params.ScaleX = scale * aspect;
    params.ScaleY = scale;
    // Alpha is read only by the blending modes that use it; keeping the
    // opacity there also makes an additive particle at full opacity visible.
    params.Alpha = opacity;
    if (opacity != 1)
        params.BlendMode = 3;
    if (blendOverride == kBlendAdditive)
        params.BlendMode = 4;
    else if (blendOverride == kBlendOpaque)
        params.BlendMode = 0;
    if (tinted) {
        params.Tinted = true;
        params.Tint = {static_cast<float>(RedOf(color)), static_cast<float>(GreenOf(color)),
                       static_cast<float>(BlueOf(color)), 255};
    }
    if (shadowPass) {
        params.Tinted = true;
        params.Tint = {0, 0, 0, 255};
        params.BlendMode = 3;
        params.Alpha = opacity * 0.5;
    }
    params.Alpha = std::clamp(params.Alpha, 0.0, 1.0);
    return params;
}

void tParticle::DrawSpriteAt(const tDrawParams& params, tVector2 at)
{
    if (shadowPass)
        at = at + tVector2{-1, 1};
    sprite->DrawWith(params, static_cast<double>(at.x), static_cast<double>(at.y));
}

void tParticle::DrawBlurred(const tDrawParams& params)
{
    const double b = SceneBlurTime;
    // The faster of the two ends of the particle's diameter along x.
    const tVector2 spinAtEnd{0, radius * spin * std::numbers::pi / 180};
    const double speed = static_cast<double>(
        std::sqrt(std::max((velocity + spinAtEnd).LengthSquared(), (velocity - spinAtEnd).LengthSquared())));
    const int n = static_cast<int>(std::clamp<int64_t>(Round(speed * b), 1, 32));
    if (n == 1) {
        DrawSpriteAt(params, position);
        return;
    }
    tDrawParams copy = params;
    copy.BlendMode = 3;
    copy.Alpha = std::clamp(params.Alpha * std::sqrt(1.0 / n), 0.0, 1.0);
    for (int k = n - 1; k >= 0; --k) {
        copy.Angle = angle - b * spin * k / (n - 1);
        DrawSpriteAt(copy, position + velocity * ((-static_cast<double>(k) / n - 1) * b));
    }
}

void tParticle::Draw(tViewPortGL& viewport)
{
    if (state != kLive || !(opacity > 0))
        return;
    if (sprite) {
        const tDrawParams params = SpriteParams();
        if (SceneMotionBlur && motionBlur)
            DrawBlurred(params);
        else
            DrawSpriteAt(params, position);
        return;
    }
    tOpenGLInterface* gl = viewport.GL();
    if (!gl)
        return;
    gl->drawColor = color;
    DrawWithoutSprite(viewport);
}

void tParticle::DrawWithoutSprite(tViewPortGL& viewport) { viewport.GL()->DrawCircle(position, radius); }

void tParticle::DrawShadow(tViewPortGL& viewport)
{
    if (state != kLive || !castsShadow)
        return;
    shadowPass = true;
    Draw(viewport);
    shadowPass = false;
}

void tParticle::DrawVelocity(tViewPortGL& viewport)
{
    if (tOpenGLInterface* gl = viewport.GL())
        gl->DrawLine(position, position + velocity * 0.2L);
}
