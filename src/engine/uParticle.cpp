#include "uParticle.h"

#include "uFormat.h"

#include <cmath>

#if __has_include("uSprite.h")
#include "uSprite.h"
#else
class tSprite {};
#endif

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
        text += " <" + std::string("sprite") + ">";
    if (opacity != 1)
        text += " Opac:" + FloatToStr(opacity);
    return text + " --> " + tElement::Describe();
}
