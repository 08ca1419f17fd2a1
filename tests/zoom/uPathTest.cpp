// The scene side of a zoom path, on a real OpenGL context: its particles,
// sprites and textures, the sprites hidden after StartPath, the single
// keyframe shown by both sprites, placement and the layers of the cross-fade,
// tilt, colour coding, a drawn frame in which the keyframe's centre, size
// and turn land where the camera puts them, and a deep dive that passes 2^40
// without a jump.
#include "uPath.h"

#include "uAssert.h"
#include "uColorMap.h"
#include "uFractal.h"
#include "uParticle.h"
#include "uSprite.h"
#include "uUniverse.h"
#include "uViewPort.h"

#include "GLTestUtil.h"
#include "TestUtil.h"
#include "ZoomTestUtil.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr tPackedColor kRed = PackRGBA(255, 0, 0);
constexpr tPackedColor kGreen = PackRGBA(0, 255, 0);
constexpr tPackedColor kBlue = PackRGBA(0, 0, 255);
constexpr tPackedColor kYellow = PackRGBA(255, 255, 0);
constexpr tPackedColor kMagenta = PackRGBA(255, 0, 255);

class PathGL : public tGLTest {
protected:
    void SetUp() override
    {
        tGLTest::SetUp();
        scene = std::make_unique<tUniverse>("mainGui", gl.get());
    }
    void TearDown() override
    {
        scene.reset();
        tGLTest::TearDown();
    }

    /// A path of small keyframes on the scene, its particles alive.
    std::unique_ptr<tPath> MakePath(int32_t resolution = 32)
    {
        auto path = std::make_unique<tPath>(scene.get());
        path->SetScreen(tPathScreen{320, scene->Viewport()->size});
        path->SetParams(SmallParams(resolution));
        path->ApplyResolution();
        scene->Sweep();
        return path;
    }

    std::unique_ptr<tUniverse> scene;
};

/// The texture's storage read back (width × height texels).
std::vector<uint32_t> TextureTexels(const tGltexture& texture)
{
    std::vector<uint32_t> texels(static_cast<size_t>(texture.Width()) * texture.Height());
    texture.Bind();
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

/// Where a channel (0 red, 1 green, 2 blue) of the pixels along a row
/// (horizontal) or a column first crosses 128, rising or falling, between
/// two pixel positions; pixel i stands for the point i + 0.5. -1 when it
/// does not cross.
double Crossing(const tFrame& frame, int fixed, int from, int to, bool horizontal, int channel, bool rising)
{
    auto value = [&](int i) {
        const tPackedColor c = horizontal ? frame.At(i, fixed) : frame.At(fixed, i);
        return static_cast<double>((c >> (8 * channel)) & 0xFF);
    };
    for (int i = from; i < to; ++i) {
        const double a = value(i);
        const double b = value(i + 1);
        if (rising ? (a < 128 && b >= 128) : (a >= 128 && b < 128))
            return i + 0.5 + (128 - a) / (b - a);
    }
    return -1;
}

void RenderAll(tPathBase& path)
{
    while (path.RenderStep(1 << 14) > 0) {
    }
}

} // namespace

TEST_F(PathGL, NeedsAScene)
{
    try {
        tPath path(nullptr);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uPath");
        EXPECT_EQ(e.Line(), 1177);
    }
}

TEST_F(PathGL, CreatesTwoHiddenParticlesWithSpritesDrawingItsTextures)
{
    auto path = MakePath(48);
    tParticle* a = path->ParticleA();
    tParticle* b = path->ParticleB();
    EXPECT_EQ(a->Name(), "FR-A");
    EXPECT_EQ(b->Name(), "FR-B");
    EXPECT_EQ(a->Universe(), scene.get());
    EXPECT_EQ(a->opacity, 0);
    EXPECT_EQ(b->opacity, 0);
    EXPECT_EQ(a->sprite, path->SpriteA());
    EXPECT_EQ(b->sprite, path->SpriteB());
    EXPECT_EQ(path->SpriteA()->Page()->DrawnTexture(), path->TextureA());
    EXPECT_EQ(path->SpriteB()->Page()->DrawnTexture(), path->TextureB());
    EXPECT_EQ(path->TextureA()->GetName(), "Unnamed");
    EXPECT_TRUE(path->OwnsScratch());

    // Sized to the resolution, turning about the middle.
    EXPECT_EQ(path->TextureA()->Width(), 64);
    EXPECT_EQ(path->TextureB()->Height(), 64);
    EXPECT_EQ(path->SpriteA()->rect, (tRect{0, 0, 47, 47}));
    EXPECT_EQ(path->SpriteB()->hotspot, (tVector2{24, 24}));
    EXPECT_EQ(path->SpriteA()->Page()->Width(), 48);
    EXPECT_EQ(path->ScratchPool()->Page(4)->Width(), 48);

    tPath second(scene.get(), path->SharedScratchPool());
    EXPECT_FALSE(second.OwnsScratch());
    EXPECT_EQ(second.ScratchPool(), path->ScratchPool());
}

TEST_F(PathGL, SpritesStayInvisibleAfterStartPathUntilTheFirstDisplay)
{
    auto path = MakePath();
    PlanZoom(*path, 4, 64, 15);
    path->StartPath();
    RenderAll(*path);
    path->Display();
    EXPECT_EQ(path->ParticleA()->opacity, 1);
    EXPECT_GT(path->ParticleB()->opacity, 0);

    PlanZoom(*path, 8, 64, 15);
    path->StartPath();
    EXPECT_EQ(path->ParticleA()->opacity, 0);
    EXPECT_EQ(path->ParticleB()->opacity, 0);
    RenderAll(*path);
    EXPECT_EQ(path->ParticleA()->opacity, 0);
    path->Display();
    EXPECT_EQ(path->ParticleA()->opacity, 1);
}

TEST_F(PathGL, ASingleKeyframeIsShownByBothSpritesWithoutBlending)
{
    auto path = MakePath();
    path->singleKeyframe = true;
    path->SetSmoothing(1.5f);
    path->AddPoint(1, -0.75L, 0.1L, 6, 0, 0);
    path->AddPoint(1, -0.75L, 0.1L, 7, 15, 6);
    path->AddPoint(1, -0.74L, 0.1L, 6, 7.5L, 20);
    path->StartPath();
    RenderAll(*path);
    for (extended t : {0.5L, 6.0L, 18.0L}) {
        path->SetTime(t);
        path->Display();
        EXPECT_EQ(path->BlendFactor(), 0);
        EXPECT_EQ(path->ShownA(), &path->Keyframe(0));
        EXPECT_EQ(path->ShownB(), &path->Keyframe(0));
        tParticle* a = path->ParticleA();
        tParticle* b = path->ParticleB();
        EXPECT_EQ(a->scale, b->scale);
        EXPECT_EQ(a->position, b->position);
        EXPECT_EQ(a->angle, b->angle);
        EXPECT_EQ(a->opacity, 1);
        EXPECT_EQ(b->opacity, 1);
        EXPECT_EQ(b->Layer(), scene->MainLayer()); // equal scales: B counts as the big one
        EXPECT_EQ(a->Layer(), scene->ForeLayer());
    }
    const std::vector<uint32_t> texelsA = TextureTexels(*path->TextureA());
    EXPECT_EQ(texelsA, TextureTexels(*path->TextureB()));
    const tPage& page = *path->Keyframe(0).Page();
    EXPECT_EQ(texelsA[static_cast<size_t>(16 * path->TextureA()->Width() + 16)], page.GetPixel(16, 16));
}

TEST_F(PathGL, TheDeeperKeyframeLiesOverTheShallowerOneWithTheBlendFactor)
{
    for (bool zoomIn : {true, false}) {
        auto path = MakePath();
        PlanZoom(*path, zoomIn ? 4 : 256, zoomIn ? 256 : 4, 20);
        path->StartPath();
        path->SetTime(path->Keyframe(2).view.time + 1);
        RenderAll(*path);
        path->Display();
        tParticle* deep = zoomIn ? path->ParticleB() : path->ParticleA();
        tParticle* shallow = zoomIn ? path->ParticleA() : path->ParticleB();
        EXPECT_LT(deep->scale, shallow->scale);
        EXPECT_EQ(shallow->Layer(), scene->MainLayer());
        EXPECT_EQ(shallow->opacity, 1);
        EXPECT_EQ(deep->Layer(), scene->ForeLayer());
        const float blend = path->BlendFactor();
        EXPECT_GT(blend, 0.0f);
        EXPECT_LT(blend, 1.0f);
        EXPECT_FLOAT_EQ(static_cast<float>(deep->opacity), 1 - blend);
        EXPECT_FLOAT_EQ(path->smallSize, static_cast<float>(deep->scale));
        EXPECT_FLOAT_EQ(path->bigSize, static_cast<float>(shallow->scale));
        // The two pictures are placed for the same camera: their scales
        // differ by the keyframes' magnifications.
        EXPECT_NEAR(shallow->scale / deep->scale,
                    static_cast<double>(std::max(path->A()->view.scale, path->B()->view.scale) /
                                        std::min(path->A()->view.scale, path->B()->view.scale)),
                    1e-9);
    }
}

TEST_F(PathGL, AKeyframeWithoutAPictureIsNotShown)
{
    auto path = MakePath();
    PlanZoom(*path, 4, 64, 15);
    path->StartPath();
    path->Display(); // nothing rendered yet
    EXPECT_EQ(path->ParticleA()->opacity, 0);
    EXPECT_EQ(path->ParticleB()->opacity, 0);

    while (!path->Keyframe(0).Complete())
        path->RenderStep(128);
    path->Display(); // B has not started
    EXPECT_EQ(path->ParticleA()->opacity, 1);
    EXPECT_EQ(path->ParticleA()->Layer(), scene->MainLayer());
    EXPECT_EQ(path->ParticleB()->opacity, 0);
}

TEST_F(PathGL, TiltModesTurnTheViewport)
{
    auto path = MakePath();
    PlanZoom(*path, 4, 64, 15);
    path->StartPath();
    RenderAll(*path);
    tViewPortGL* viewport = scene->Viewport();
    path->tiltMode = 1;
    path->SetTime(5);
    path->Display();
    EXPECT_NEAR(static_cast<double>(viewport->pitch), 15 * std::sin(1.0), 1e-12);
    EXPECT_NEAR(static_cast<double>(viewport->yaw), 2 * std::sin(7.012 / 4), 1e-12);
    path->tiltMode = 9; // unknown: the viewport keeps its angles
    path->SetTime(6);
    path->Display();
    EXPECT_NEAR(static_cast<double>(viewport->pitch), 15 * std::sin(1.0), 1e-12);
    path->tiltMode = 0;
    path->Display();
    EXPECT_EQ(viewport->pitch, 0);
    EXPECT_EQ(viewport->yaw, 0);
}

TEST_F(PathGL, ColourCodingTintsTheDeeperKeyframeOnlyWhileOn)
{
    auto path = MakePath();
    PlanZoom(*path, 4, 64, 15);
    path->StartPath();
    path->SetTime(4);
    RenderAll(*path);
    path->colourCodeFrames = true;
    path->Display();
    EXPECT_TRUE(path->ParticleB()->tinted);
    EXPECT_EQ(path->ParticleB()->color, kGreen);
    EXPECT_FALSE(path->ParticleA()->tinted);
    path->colourCodeFrames = false;
    path->Display();
    EXPECT_FALSE(path->ParticleB()->tinted);
    EXPECT_FALSE(path->ParticleA()->tinted);
}

TEST_F(PathGL, PlaceKeyframeNeedsParticleAndKeyframe)
{
    auto path = MakePath();
    PlanZoom(*path, 4, 64, 15);
    path->StartPath();
    const tPathPoint cur = path->Evaluate(0);
    auto line = [&](const tFractalKeyFrame* k, tParticle* p) {
        try {
            path->PlaceKeyframe(k, p, cur);
        } catch (const EAssertionFailed& e) {
            return e.Line();
        }
        return 0;
    };
    EXPECT_EQ(line(&path->Keyframe(0), nullptr), 906);
    EXPECT_EQ(line(nullptr, path->ParticleA()), 907);
    EXPECT_EQ(line(&path->Keyframe(0), path->ParticleA()), 0); // no generator: nothing
    EXPECT_EQ(path->ParticleA()->opacity, 0);
}

TEST_F(PathGL, PathsAssumeAnEightHundredPixelScreenUntilTold)
{
    tPath path(scene.get());
    EXPECT_EQ(path.Screen().clientWidth, 800);
    EXPECT_EQ(path.Screen().viewportSize, (tVector2{800, 600}));
    path.SetScreen(tPathScreen{320, {321, 241}});
    EXPECT_EQ(path.Screen().clientWidth, 320);
    EXPECT_EQ(path.Screen().viewportSize, (tVector2{321, 241}));
    EXPECT_EQ(path.TextureA()->Interface(), gl.get()) << "textures on the scene's interface";
}

TEST_F(PathGL, TheDrawnKeyframeSitsWhereTheCameraPutsIt)
{
    // A pan at constant magnification turning from 0 to 180 degrees: half
    // way the camera has turned a quarter clockwise and moved 0.01 to the
    // right of the keyframe's centre.
    auto path = MakePath(32);
    path->singleKeyframe = true;
    path->AddPoint(1, 0.30L, 0.05L, 4, 0, 0);
    path->AddPoint(1, 0.32L, 0.05L, 4, 180, 10);
    path->StartPath();
    RenderAll(*path);

    // Four coloured quadrants meeting at the sprite's pivot, and a magenta
    // marker stripe at columns 20 and 21 of the top half.
    tPage& page = *path->Keyframe(0).Page();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            tPackedColor c = y < 16 ? (x < 16 ? kRed : kGreen) : (x < 16 ? kBlue : kYellow);
            if (y < 16 && (x == 20 || x == 21))
                c = kMagenta;
            page.SetPixel(x, y, c);
        }
    path->SetTime(5);
    path->Display();

    const extended scale = 320.0L / 1024 * 1.1L * 1024 / 32; // cur.scale equals the keyframe's zoom
    EXPECT_NEAR(path->ParticleA()->scale, static_cast<double>(scale), 1e-9);
    const tVector2 centre = scene->Viewport()->size * 0.5L;
    const extended shift = 0.01L * 320 / 900 * 1024 * 4; // the keyframe lies left of the camera ...
    const double px = static_cast<double>(centre.x);
    const double py = static_cast<double>(centre.y - shift); // ... which turned: above the centre
    EXPECT_NEAR(path->ParticleA()->position.x, px, 1e-6);
    EXPECT_NEAR(path->ParticleA()->position.y, py, 1e-6);

    scene->Draw();
    const tFrame frame = Frame();
    const int cx = static_cast<int>(std::lround(px));
    const int cy = static_cast<int>(std::lround(py));
    // Turned a quarter clockwise: top-left red is now top-right, bottom-left
    // blue top-left, top-right green bottom-right and yellow bottom-left.
    EXPECT_TRUE(PixelIs(frame, cx + 20, cy - 20, kRed, 4));
    EXPECT_TRUE(PixelIs(frame, cx - 20, cy - 20, kBlue, 4));
    EXPECT_TRUE(PixelIs(frame, cx + 20, cy + 20, kGreen, 4));
    EXPECT_TRUE(PixelIs(frame, cx - 20, cy + 20, kYellow, 4));
    // The quadrants meet at the placed centre: blue turns red across it, red
    // turns green below it (linear filtering centres the ramps on the edges).
    EXPECT_NEAR(Crossing(frame, cy - 20, cx - 30, cx + 30, true, 2, false), px, 0.75);
    EXPECT_NEAR(Crossing(frame, cx + 20, cy - 30, cy + 30, false, 1, true), py, 0.75);
    // The marker, 4 to 6 texels right of the pivot before the turn, lies
    // 4 to 6 texels (of the scale's size) below it after the turn.
    const double s = static_cast<double>(scale);
    EXPECT_NEAR(Crossing(frame, cx + 40, cy, cy + static_cast<int>(5 * s), false, 0, true), py + 4 * s, 0.75);
    EXPECT_NEAR(Crossing(frame, cx + 40, cy + static_cast<int>(5 * s), cy + static_cast<int>(8 * s), false, 0, false),
                py + 6 * s, 0.75);
}

namespace {

/// Root mean square difference of the central halves of two frames'
/// colours, 0 to 1. (Beyond the disc of the shallower keyframe the corners
/// change at every hand-over; the saver's frame mask darkens them.)
double Difference(const tFrame& a, const tFrame& b)
{
    double sum = 0;
    int n = 0;
    for (int y = a.height / 4; y < a.height * 3 / 4; ++y)
        for (int x = a.width / 4; x < a.width * 3 / 4; ++x, ++n)
            for (int c = 0; c < 3; ++c) {
                const double d = (static_cast<int>((a.At(x, y) >> (8 * c)) & 0xFF) -
                                  static_cast<int>((b.At(x, y) >> (8 * c)) & 0xFF)) / 255.0;
                sum += d * d;
            }
    return std::sqrt(sum / (3.0 * n));
}

} // namespace

TEST_F(PathGL, ADiveThroughTwoToTheFortyGoesOnWithoutAJump)
{
    // A dive from 2^30 to 2^50 in 20 s towards a Misiurewicz point, turning
    // and drifting (a tenth of the view at 2^40): its camera is the target
    // plus offsets all the
    // way, and its keyframes switch to perturbation at 2^32. The frames a
    // sixtieth of a second apart around the moment the camera passes 2^40
    // differ by as much as their neighbours do, and so do those around 2^32.
    auto path = MakePath(64);
    tPathRenderParams params = SmallParams(64);
    params.iterations = 600;
    params.colorMap = ColorMapGenerator().GetPreset(5);
    path->SetParams(params);
    path->ApplyResolution();
    auto dive = std::make_shared<tDeepDive>();
    dive->target = *tBigComplex::Parse("-0.101096363845622161025785445738622565463805442826253483876931,"
                                       "0.956286510809141500771096057729977435809833336510529170034314",
                                       256);
    path->deepDive = dive;
    path->SetSmoothing(1.5f);
    path->AddPoint(1, 2e-13L, 0, 0x1p30L, 0, 0);
    path->AddPoint(1, 0, 0, 0x1p50L, 30, 20);
    path->StartPath();

    // The times the camera passes a magnification (bisection; the smoothed
    // zoom still grows steadily there).
    const auto timeAt = [&](extended magnification) {
        extended lo = 0, hi = 20;
        for (int i = 0; i < 80; ++i) {
            const extended mid = (lo + hi) / 2;
            (path->Evaluate(mid).scale < magnification ? lo : hi) = mid;
        }
        return lo;
    };
    const auto framesAround = [&](extended t) {
        // Frames from a little earlier on settle the path at the new time.
        std::vector<tFrame> frames;
        for (int k = -12; k <= 6; ++k) {
            path->SetTime(t + k / 60.0L);
            path->CleanBuffers();
            RenderAll(*path);
            path->Display();
            scene->Draw();
            if (k >= -6)
                frames.push_back(Frame());
        }
        return frames;
    };
    for (const extended boundary : {0x1p32L, 0x1p40L}) {
        const std::vector<tFrame> frames = framesAround(timeAt(boundary));
        std::vector<double> steps;
        for (size_t i = 1; i < frames.size(); ++i)
            steps.push_back(Difference(frames[i - 1], frames[i]));
        std::vector<double> sorted = steps;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted[sorted.size() / 2];
        EXPECT_GT(median, 0) << "the picture moves";
        // The step across the boundary is steps[5] -> steps[6].
        EXPECT_LT(steps[5], 2 * median) << static_cast<double>(boundary);
        EXPECT_LT(steps[6], 2 * median) << static_cast<double>(boundary);
        EXPECT_LT(sorted.back(), 3 * median) << static_cast<double>(boundary);
    }
    // Both sides of 2^40 were drawn from perturbation keyframes.
    EXPECT_TRUE(path->A()->Generator()->Perturbing());
}
