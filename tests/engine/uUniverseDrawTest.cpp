// Scenes drawn on a real context and read back.
#include "uOpenGL.h"
#include "uParticle.h"
#include "uSolid.h"
#include "uSprite.h"
#include "uUniverse.h"
#include "uViewPort.h"

#include "GLTestUtil.h"

#include <cmath>
#include <memory>

namespace {

constexpr tPackedColor kBlack = PackRGBA(0, 0, 0);

/// A square pattern sprite of one colour, its hotspot at the middle.
std::unique_ptr<tPatternSprite> SolidSprite(tOpenGLInterface& gl, int width, int height, tPackedColor color)
{
    auto sprite = std::make_unique<tPatternSprite>(gl, nullptr, width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            sprite->Page()->SetPixel(x, y, color);
    sprite->Refresh();
    sprite->CentreHotspot();
    return sprite;
}

/// Sets a global switch for the life of a test.
template <class T>
struct tSetting {
    T& value;
    T old;
    tSetting(T& v, T now) : value(v), old(v) { value = now; }
    ~tSetting() { value = old; }
};

class SceneDraw : public tGLTest {
protected:
    /// A live particle with the sprite at the centre of the window.
    tParticle* Live(tUniverse& u, tSprite* sprite, tElementLayer* layer = nullptr, tVector2 at = {160, 120})
    {
        auto* p = new tParticle(at, layer, &u);
        p->sprite = sprite;
        p->state = tElement::kLive;
        return p;
    }
};

} // namespace

TEST_F(SceneDraw, LayersDrawFromTheDeepestToTheNearest)
{
    tUniverse u("scene", gl.get());
    // Nested squares, the nearest layer smallest: each ring shows the layer
    // that must lie over all the larger squares around it.
    struct tLayerCase {
        tElementLayer* layer;
        int size;
        tPackedColor color;
    };
    const tLayerCase cases[] = {
        {u.GuiLayer(), 10, PackRGBA(255, 255, 255)}, {u.MaskLayer(), 20, PackRGBA(255, 0, 0)},
        {u.ForeLayer(), 30, PackRGBA(0, 255, 0)},    {u.MainLayer(), 40, PackRGBA(0, 0, 255)},
        {u.PseuLayer(), 50, PackRGBA(255, 255, 0)},  {u.PartLayer(), 60, PackRGBA(0, 255, 255)},
        {u.BackLayer(), 70, PackRGBA(255, 0, 255)},
    };
    std::vector<std::unique_ptr<tPatternSprite>> sprites;
    for (const auto& c : cases) { // made nearest first: the list order must not matter
        sprites.push_back(SolidSprite(*gl, c.size, c.size, c.color));
        Live(u, sprites.back().get(), c.layer)->blendOverride = tParticle::kBlendOpaque;
    }
    u.Draw();
    const tFrame frame = Frame();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layer->Name());
        const int inset = c.size / 2 - 3; // inside this square, outside the next smaller one
        EXPECT_TRUE(PixelIs(frame, 160 + inset, 120, c.color));
        EXPECT_TRUE(PixelIs(frame, 160, 120 - inset, c.color));
    }
    EXPECT_TRUE(PixelIs(frame, 160, 120, cases[0].color));
    EXPECT_TRUE(PixelIs(frame, 160 + 40, 120, kBlack));

    // An invisible layer draws nothing.
    gl->ClearBlack();
    u.GuiLayer()->visible = false;
    u.Draw();
    EXPECT_TRUE(PixelIs(Frame(), 160, 120, cases[1].color));
}

TEST_F(SceneDraw, NewParticlesShowAfterTheSweep)
{
    tUniverse u("scene", gl.get());
    auto sprite = SolidSprite(*gl, 16, 16, PackRGBA(0, 255, 0));
    auto* p = new tParticle({160, 120}, nullptr, &u);
    p->sprite = sprite.get();
    u.Draw();
    EXPECT_TRUE(PixelIs(Frame(), 160, 120, kBlack));
    u.Sweep();
    u.Draw();
    EXPECT_TRUE(PixelIs(Frame(), 160, 120, PackRGBA(0, 255, 0)));
    p->opacity = 0; // invisible particles are skipped
    gl->ClearBlack();
    u.Draw();
    EXPECT_TRUE(PixelIs(Frame(), 160, 120, kBlack));
}

TEST_F(SceneDraw, OpacityTintAndBlendOverrides)
{
    tUniverse u("scene", gl.get());
    auto white = SolidSprite(*gl, 16, 16, PackRGBA(255, 255, 255));
    auto dim = SolidSprite(*gl, 16, 16, PackRGBA(100, 0, 0));

    tParticle* faded = Live(u, white.get(), nullptr, {40, 40});
    faded->opacity = 0.5;
    tParticle* tinted = Live(u, white.get(), nullptr, {80, 40});
    tinted->tinted = true;
    tinted->color = PackRGBA(0, 200, 100);
    // Two additive copies at full opacity add up.
    for (int i = 0; i < 2; ++i)
        Live(u, dim.get(), nullptr, {120, 40})->blendOverride = tParticle::kBlendAdditive;
    tParticle* opaque = Live(u, white.get(), nullptr, {160, 40});
    opaque->opacity = 0.5;
    opaque->blendOverride = tParticle::kBlendOpaque;
    u.Draw();
    const tFrame frame = Frame();
    EXPECT_TRUE(PixelIs(frame, 40, 40, PackRGBA(128, 128, 128), 3));
    EXPECT_TRUE(PixelIs(frame, 80, 40, PackRGBA(0, 199, 99), 3)); // tint bytes / 256
    EXPECT_TRUE(PixelIs(frame, 120, 40, PackRGBA(200, 0, 0), 3));
    EXPECT_TRUE(PixelIs(frame, 160, 40, PackRGBA(255, 255, 255)));
}

TEST_F(SceneDraw, ScaleAspectAndAngle)
{
    tUniverse u("scene", gl.get());
    auto bar = SolidSprite(*gl, 41, 5, PackRGBA(255, 255, 0));
    tParticle* turned = Live(u, bar.get(), nullptr, {80, 120});
    turned->angle = 90;
    tParticle* stretched = Live(u, bar.get(), nullptr, {220, 120});
    stretched->scale = 2;
    stretched->aspect = 0.5; // 40 wide, 8 high
    u.Draw();
    const tFrame frame = Frame();
    EXPECT_TRUE(PixelIs(frame, 80, 120 - 15, PackRGBA(255, 255, 0)));
    EXPECT_TRUE(PixelIs(frame, 80 + 10, 120, kBlack));
    EXPECT_TRUE(PixelIs(frame, 220 + 15, 120 + 3, PackRGBA(255, 255, 0)));
    EXPECT_TRUE(PixelIs(frame, 220 + 25, 120, kBlack));
    EXPECT_TRUE(PixelIs(frame, 220, 120 + 6, kBlack));
}

TEST_F(SceneDraw, ParticlesWithoutSpriteDrawCirclesAndOutlines)
{
    tUniverse u("scene", gl.get());
    tParticle* dot = Live(u, nullptr, nullptr, {100, 120});
    dot->radius = 20;
    dot->color = PackRGBA(0, 255, 0);
    auto* box = new tSolid({220, 120}, nullptr, &u);
    box->state = tElement::kLive;
    box->shape = tSolid::kPolygon;
    box->vertices = {{-20, -20}, {20, -20}, {20, 20}, {-20, 20}};
    box->color = PackRGBA(255, 0, 0);
    u.Draw();
    const tFrame frame = Frame();
    auto green = [](tPackedColor c) { return GreenOf(c) > 128 && RedOf(c) < 50; };
    const tRect ring = BoundingBox(frame, green);
    EXPECT_NEAR(ring.left, 80, 2);
    EXPECT_NEAR(ring.right, 120, 2);
    EXPECT_NEAR(ring.top, 100, 2);
    EXPECT_NEAR(ring.bottom, 140, 2);
    EXPECT_TRUE(PixelIs(frame, 100, 120, kBlack)); // an outline, not a disc
    auto red = [](tPackedColor c) { return RedOf(c) > 128 && GreenOf(c) < 50; };
    const tRect outline = BoundingBox(frame, red);
    EXPECT_NEAR(outline.left, 200, 1);
    EXPECT_NEAR(outline.right, 240, 1);
    EXPECT_TRUE(PixelIs(frame, 220, 120, kBlack));
}

TEST_F(SceneDraw, ShadowIsAHalfBlackCopyOneUnitAway)
{
    tUniverse u("scene", gl.get());
    u.clearBeforeDrawing = true;
    u.clearColor = PackRGBA(200, 200, 200);
    u.Draw();
    EXPECT_TRUE(PixelIs(Frame(), 5, 5, PackRGBA(200, 200, 200)));

    auto white = SolidSprite(*gl, 16, 16, PackRGBA(255, 255, 255));
    tParticle* p = Live(u, white.get());
    p->DrawShadow(*u.Viewport()); // does not cast one
    EXPECT_TRUE(PixelIs(Frame(), 160, 120, PackRGBA(200, 200, 200)));
    p->castsShadow = true;
    p->DrawShadow(*u.Viewport());
    const tFrame frame = Frame();
    EXPECT_TRUE(PixelIs(frame, 160, 120, PackRGBA(100, 100, 100), 3));
    EXPECT_FALSE(p->shadowPass);
    // Moved one unit left and down: a column on the right edge stays grey.
    const tRect box = BoundingBox(frame, [](tPackedColor c) { return RedOf(c) < 150; });
    const tRect plain = [&] {
        gl->ClearBlack();
        p->Draw(*u.Viewport());
        return BoundingBox(Frame(), [](tPackedColor c) { return RedOf(c) > 150; });
    }();
    EXPECT_EQ(box.left, plain.left - 1);
    EXPECT_EQ(box.top, plain.top + 1);
}

TEST_F(SceneDraw, MotionBlurSpreadsCopiesBehindTheParticle)
{
    tUniverse u("scene", gl.get());
    // Two pixels wide: a quad of one unit, so the copies, one unit apart, do not overlap.
    auto sprite = SolidSprite(*gl, 2, 2, PackRGBA(255, 255, 255));
    tParticle* p = Live(u, sprite.get());
    p->velocity = {1000, 0};
    p->motionBlur = true;
    u.Draw(); // the global switch is off: one sharp copy
    EXPECT_TRUE(PixelIs(Frame(), 160, 120, PackRGBA(255, 255, 255)));

    tSetting<bool> blur(SceneMotionBlur, true);
    gl->ClearBlack();
    u.Draw();
    const tFrame frame = Frame();
    // 20 copies of alpha sqrt(1/20) between one and two blur times (0.02 s) back.
    EXPECT_TRUE(PixelIs(frame, 160, 120, kBlack));
    const tRect trail = BoundingBox(frame, [](tPackedColor c) { return RedOf(c) > 0; });
    EXPECT_NEAR(trail.left, 160 - 39 - 2, 2);
    EXPECT_NEAR(trail.right, 160 - 20 + 2, 2);
    const int level = RedOf(frame.At(130, 120));
    EXPECT_NEAR(level, 255 * std::sqrt(1.0 / 20), 4);
}

TEST_F(SceneDraw, DebugOverlays)
{
    tUniverse u("scene", gl.get());
    auto* s = new tSolid({160, 120}, nullptr, &u, {0, -200}); // velocity line 40 up
    s->state = tElement::kLive;
    s->shape = tSolid::kPolygon;
    s->vertices = {{-20, -20}, {20, -20}, {20, 20}, {-20, 20}};
    s->opacity = 0; // the solid itself draws nothing
    gl->drawColor = PackRGBA(255, 255, 255);
    auto lit = [](tPackedColor c) { return RedOf(c) > 128; };
    u.Draw();
    EXPECT_EQ(CountPixels(Frame(), lit), 0);

    tSetting<bool> velocities(SceneDrawVelocities, true);
    u.Draw();
    const tRect line = BoundingBox(Frame(), lit); // 0.2 s of velocity: 40 up
    EXPECT_NEAR(line.top, 80, 1);
    EXPECT_NEAR(line.bottom, 120, 1);
    EXPECT_NEAR(line.left, 160, 1);
    EXPECT_NEAR(line.right, 160, 1);

    tSetting<bool> outlines(SceneDrawOutlines, true);
    tSetting<bool> normals(SceneDrawNormals, true);
    gl->ClearBlack();
    u.Draw();
    const tFrame frame = Frame();
    EXPECT_TRUE(PixelIs(frame, 150, 100, PackRGBA(255, 255, 255), 3)); // top edge of the outline
    // Normals reach 12 units out of the middle of each edge; the velocity
    // line still sets the top.
    const tRect all = BoundingBox(frame, lit);
    EXPECT_NEAR(all.left, 140 - 12, 1);
    EXPECT_NEAR(all.right, 180 + 12, 1);
    EXPECT_NEAR(all.top, 80, 1);
    EXPECT_NEAR(all.bottom, 140 + 12, 1);
}
