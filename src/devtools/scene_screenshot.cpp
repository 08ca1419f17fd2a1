// scene-screenshot OUT.png: a universe with particles in several layers (a
// backdrop, soft dots, sprites turned, tinted, fading and motion-blurred,
// circles without sprites, a vignette, solids with debug overlays), advanced
// for a second and drawn in an 800 × 600 window; the frame goes to a PNG so
// that a person can look at what the scene draws.
#include "uGLSurface.h"
#include "uOpenGL.h"
#include "uParticle.h"
#include "uRandom.h"
#include "uSolid.h"
#include "uSprite.h"
#include "uToolMain.h"
#include "uUniverse.h"
#include "uViewPort.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

using tSprites = std::vector<std::unique_ptr<tPatternSprite>>;

tPatternSprite* NewSprite(tOpenGLInterface& gl, tSprites& sprites, int w, int h, const auto& paint)
{
    auto sprite = std::make_unique<tPatternSprite>(gl, nullptr, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            sprite->Page()->SetPixel(x, y, paint(x, y));
    sprite->Refresh();
    sprite->CentreHotspot();
    sprites.push_back(std::move(sprite));
    return sprites.back().get();
}

uint8_t Byte(double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0)); }

void BuildScene(tUniverse& u, tSprites& sprites)
{
    tOpenGLInterface& gl = *u.Viewport()->GL();
    // Back: a deep blue-to-violet backdrop stretched over the window.
    tPatternSprite* backdrop = NewSprite(gl, sprites, 64, 64, [](int x, int y) {
        return PackRGBA(Byte(20 + x), Byte(10 + y / 2), Byte(60 + y * 2));
    });
    auto* back = new tParticle({kWidth / 2.0, kHeight / 2.0}, u.BackLayer(), &u);
    back->sprite = backdrop;
    back->scale = kHeight / 62.0;
    back->aspect = static_cast<double>(kWidth) / kHeight;
    back->SetName("BACKDROP");

    // Part: soft white dots tinted in many colours, some added on top.
    tPatternSprite* dot = NewSprite(gl, sprites, 32, 32, [](int x, int y) {
        const double r = std::hypot(x - 15.5, y - 15.5) / 16;
        return PackRGBA(255, 255, 255, Byte(255 * (1 - r * r)));
    });
    SetRandSeed(7);
    for (int i = 0; i < 60; ++i) {
        auto* p = new tParticle({Random() * kWidth, Random() * kHeight}, u.PartLayer(), &u,
                                {(Random() - 0.5) * 40, (Random() - 0.5) * 40});
        p->sprite = dot;
        p->tinted = true;
        p->color = PackRGBA(Byte(Random() * 255), Byte(Random() * 255), 255);
        p->scale = 0.5 + Random() * 1.5;
        p->opacity = 0.6;
        if (i % 4 == 0)
            p->blendOverride = tParticle::kBlendAdditive;
    }

    // Pseu: particles without sprites are drawn as circles of their colour.
    for (int i = 0; i < 5; ++i) {
        auto* c = new tParticle({80.0 + i * 30, 520}, u.PseuLayer(), &u);
        c->radius = 10 + i * 6;
        c->color = PackRGBA(255, Byte(200 - i * 40), 80);
    }

    // Main: a striped card turned by 30 degrees, a tinted copy, and a spinning one.
    tPatternSprite* card = NewSprite(gl, sprites, 160, 100, [](int x, int y) {
        const bool border = x < 4 || y < 4 || x > 155 || y > 95;
        const bool stripe = (x / 16 + y / 16) % 2 == 0;
        return border ? PackRGBA(255, 255, 255) : stripe ? PackRGBA(240, 120, 30) : PackRGBA(250, 220, 90);
    });
    auto* turned = new tParticle({220, 200}, u.MainLayer(), &u);
    turned->sprite = card;
    turned->angle = 30;
    turned->SetName("TURNED");
    auto* tinted = new tParticle({560, 190}, u.MainLayer(), &u);
    tinted->sprite = card;
    tinted->tinted = true;
    tinted->color = PackRGBA(90, 200, 255);
    tinted->scale = 0.8;
    tinted->SetName("TINTED");
    auto* spinner = new tParticle({400, 380}, u.MainLayer(), &u);
    spinner->sprite = card;
    spinner->spin = 45; // 45 degrees after one second
    spinner->scale = 0.6;
    spinner->castsShadow = true;

    // Fore: a card fading out and growing over two seconds (half way when shot),
    // and a fast one smeared by the motion blur.
    auto* fading = new tParticle({600, 400}, u.ForeLayer(), &u);
    fading->sprite = card;
    fading->lifetime = 2;
    fading->opacityFrom = 1;
    fading->opacityTo = 0;
    fading->scaleFrom = 0.6;
    fading->scaleTo = 1.4;
    fading->SetName("FADING");
    tPatternSprite* spark = NewSprite(gl, sprites, 12, 12, [](int, int) { return PackRGBA(255, 255, 255); });
    auto* fast = new tParticle({-450, 100}, u.ForeLayer(), &u, {1200, 0});
    fast->sprite = spark;
    fast->motionBlur = true;
    fast->SetName("BLURRED");

    // Mask: a vignette, transparent in the middle and dark at the edges.
    tPatternSprite* vignette = NewSprite(gl, sprites, 128, 128, [](int x, int y) {
        const double r = std::hypot(x - 63.5, y - 63.5) / 64;
        return PackRGBA(0, 0, 0, Byte(std::sqrt(std::max(0.0, 1 - std::cos(std::numbers::pi * r / 1.6))) * 255));
    });
    auto* mask = new tParticle({kWidth / 2.0, kHeight / 2.0}, u.MaskLayer(), &u);
    mask->sprite = vignette;
    mask->scale = kHeight * 1.35 / 128;
    mask->aspect = static_cast<double>(kWidth) / kHeight;
    mask->SetName("MASK");

    // Gui: two solids, drawn as outlines, with the debug overlays on.
    auto* box = new tSolid({700, 520}, u.GuiLayer(), &u, {-60, -60});
    box->shape = tSolid::kPolygon;
    box->vertices = {{-30, -20}, {30, -20}, {30, 20}, {-30, 20}};
    box->angle = -15;
    box->color = PackRGBA(120, 255, 120);
    auto* ball = new tSolid({700, 80}, u.GuiLayer(), &u, {0, 80});
    ball->shape = tSolid::kCircle;
    ball->radius = 25;
    ball->color = PackRGBA(120, 255, 120);
}

} // namespace

int main(int argc, char** argv)
{
    return PictureToolMain(argc, argv, "scene-screenshot", [](const std::string& out) {
        SetGLErrorChecking(true);
        tWindowHandle window = CreateTestWindow(kWidth, kHeight);
        auto gl = tOpenGLInterface::Create(window);
        tSprites sprites; // outlive the universe's particles, which do not own them
        {
            tUniverse u("screenshot", gl.get());
            u.clearBeforeDrawing = true;
            BuildScene(u, sprites);
            u.Sweep();
            for (int frame = 0; frame < 20; ++frame) { // one second
                u.Advance(0.05);
                u.Sweep();
            }
            SceneMotionBlur = true;
            SceneDrawVelocities = true;
            gl->drawColor = PackRGBA(255, 255, 255, 255);
            u.Draw();
            SaveBackBufferToPng(kWidth, kHeight, out);
        }
        gl->Present();
    });
}
