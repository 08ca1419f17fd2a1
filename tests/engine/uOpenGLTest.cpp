#include "uOpenGL.h"

#include "GLTestUtil.h"
#include "TestUtil.h"
#include "uAssert.h"
#include "uGraphicsFailure.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

namespace {

constexpr tPackedColor kBlack = PackRGBA(0, 0, 0);
constexpr tPackedColor kRed = PackRGBA(255, 0, 0);
constexpr tPackedColor kGreen = PackRGBA(0, 255, 0);
constexpr tPackedColor kBlue = PackRGBA(0, 0, 255);

/// The vertices OpenGL produced for the drawing, in window coordinates
/// (y upwards), through feedback mode; each line segment contributes its
/// start point.
std::vector<tVector2> LineStartsOf(const std::function<void()>& draw)
{
    std::vector<GLfloat> buffer(100000);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_2D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    std::vector<tVector2> starts;
    for (GLint i = 0; i < count;) {
        const auto token = static_cast<GLint>(buffer[static_cast<size_t>(i)]);
        if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            starts.push_back({buffer[static_cast<size_t>(i) + 1], buffer[static_cast<size_t>(i) + 2]});
            i += 5;
        } else if (token == GL_POINT_TOKEN) {
            i += 3;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 2;
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    return starts;
}

} // namespace

TEST(GLVersion, StepsFromTheVersionText)
{
    EXPECT_EQ(GLVersionStep("4.5 (Compatibility Profile) Mesa 22.3.6"), 1.5);
    EXPECT_EQ(GLVersionStep("1.5.0 NVIDIA"), 1.5);
    EXPECT_EQ(GLVersionStep("1.4 Mesa"), 1.4);
    EXPECT_EQ(GLVersionStep("1.1.0"), 1.1);
    EXPECT_EQ(GLVersionStep("1.0"), 1.0);
    EXPECT_EQ(GLVersionStep("2.1"), 1.5);
    EXPECT_EQ(GLVersionStep(""), 1.0);
    EXPECT_EQ(GLVersionStep("OpenGL ES 3.2"), 1.0);
}

TEST(TextureSide, RoundsUpToPowersOfTwo)
{
    EXPECT_EQ(TextureSide(-5), 0);
    EXPECT_EQ(TextureSide(0), 0);
    EXPECT_EQ(TextureSide(1), 1);
    EXPECT_EQ(TextureSide(2), 2);
    EXPECT_EQ(TextureSide(3), 4);
    EXPECT_EQ(TextureSide(512), 512);
    EXPECT_EQ(TextureSide(513), 1024);
    EXPECT_EQ(TextureSide(600), 1024);
    EXPECT_EQ(TextureSide(0x7FFFFFFF), 1 << 30);
}

using OpenGLInterface = tGLTest;

TEST_F(OpenGLInterface, CreationSetsTheFixedState)
{
    EXPECT_TRUE(gl->Initialised());
    EXPECT_EQ(gl->GLVersion(), 1.5);
    EXPECT_TRUE(gl->Context().IsCurrent());
    EXPECT_EQ(gl->WindowWidth(), windowWidth + 1);
    EXPECT_EQ(gl->WindowHeight(), windowHeight + 1);
    EXPECT_EQ(gl->Width(), windowWidth + 1) << "the 2-D projection is set up on the window size";
    EXPECT_EQ(gl->drawColor, kGreen);
    EXPECT_EQ(gl->TextureMemory(), 0);
    EXPECT_FALSE(gl->HasForm());
    EXPECT_FALSE(gl->IsFullScreen());
    EXPECT_EQ(gl->fullScreenWidth, 640);
    EXPECT_EQ(gl->fullScreenHeight, 480);
    EXPECT_EQ(gl->fullScreenBits, 32);
    EXPECT_TRUE(gl->ModeSupported(16));

    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_SMOOTH);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], windowWidth);
    EXPECT_EQ(viewport[3], windowHeight);

    const tFrame frame = Frame();
    EXPECT_EQ(CountPixels(frame, [](tPackedColor c) { return !ColorNear(c, kBlack, 0); }), 0)
        << "a new interface clears to black";
}

TEST_F(OpenGLInterface, InterfacesOnTwoWindowsTakeTurns)
{
    const tWindowHandle other = CreateTestWindow(64, 48);
    const auto second = tOpenGLInterface::Create(other);
    EXPECT_TRUE(second->Context().IsCurrent()) << "a new interface is current";
    EXPECT_FALSE(gl->Context().IsCurrent());
    EXPECT_EQ(second->WindowWidth(), 65);
    ASSERT_TRUE(gl->MakeCurrent());
    EXPECT_TRUE(gl->Context().IsCurrent());
    EXPECT_FALSE(second->Context().IsCurrent());
    gl->Clear(kGreen);
    ASSERT_TRUE(second->MakeCurrent());
    second->ClearBlack();
    ASSERT_TRUE(gl->MakeCurrent());
    EXPECT_TRUE(PixelIs(Frame(), 5, 5, kGreen, 0)) << "each clears its own window";
}

TEST_F(OpenGLInterface, ClearFillsTheWholeFrame)
{
    gl->Clear(PackRGBA(10, 200, 30, 255));
    tFrame frame = Frame();
    EXPECT_EQ(CountPixels(frame, [](tPackedColor c) { return ColorNear(c, PackRGBA(10, 200, 30), 0); }),
              windowWidth * windowHeight);
    gl->ClearBlack();
    frame = Frame();
    EXPECT_TRUE(PixelIs(frame, 0, 0, kBlack, 0));
    EXPECT_TRUE(PixelIs(frame, windowWidth - 1, windowHeight - 1, kBlack, 0));
}

TEST_F(OpenGLInterface, PixelCoordinatesMatchTheWindowsPixels)
{
    gl->drawColor = kRed;
    gl->FillRect({10, 20}, {30, 50});
    tFrame frame = Frame();
    EXPECT_EQ(RectText(BoundingBoxOf(frame, kRed)), RectText({10, 20, 29, 49}))
        << "a rectangle from (10,20) to (30,50) covers the pixels 10..29 × 20..49";
    EXPECT_EQ(CountPixels(frame, [](tPackedColor c) { return ColorNear(c, kRed); }), 20 * 30);

    // The whole window, first and last rows and columns included.
    gl->ClearBlack();
    gl->drawColor = kBlue;
    gl->FillRect({0, 0}, {static_cast<extended>(windowWidth), static_cast<extended>(windowHeight)});
    frame = Frame();
    EXPECT_EQ(CountPixels(frame, [](tPackedColor c) { return ColorNear(c, kBlue); }), windowWidth * windowHeight);

    // A single pixel.
    gl->ClearBlack();
    gl->drawColor = kGreen;
    gl->FillRect({0, 0}, {1, 1});
    frame = Frame();
    EXPECT_EQ(RectText(BoundingBoxOf(frame, kGreen)), RectText({0, 0, 0, 0}));
}

TEST_F(OpenGLInterface, FillsBlendWithTheDrawColoursAlpha)
{
    gl->Clear(PackRGBA(0, 0, 200));
    gl->drawColor = PackRGBA(255, 0, 0, 128);
    gl->FillRect({0, 0}, {50, 50});
    const tFrame frame = Frame();
    // 128 ÷ 255 of red over blue.
    EXPECT_TRUE(PixelIs(frame, 25, 25, PackRGBA(128, 0, 100), 2));
    EXPECT_TRUE(PixelIs(frame, 75, 25, PackRGBA(0, 0, 200), 0));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

TEST_F(OpenGLInterface, PolygonsAreUntexturedAndTakeThePosition)
{
    // A texture bound before must not colour an untextured fill.
    tGltexture texture(gl.get(), "bound");
    texture.SetSize(4, 4);
    const std::vector<uint32_t> black(16, PackRGBA(0, 0, 0));
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 4, 4, GL_RGBA, GL_UNSIGNED_BYTE, black.data());
    texture.Bind();

    gl->drawColor = PackRGBA(255, 255, 0);
    gl->FillPolygon({100, 50}, {kRed}, {{0, 0}, {20, 0}, {20, 10}, {0, 10}});
    const tFrame frame = Frame();
    EXPECT_EQ(RectText(BoundingBoxOf(frame, PackRGBA(255, 255, 0))), RectText({100, 50, 119, 59}));
}

TEST_F(OpenGLInterface, FillPolygon3DTakesVertexColoursWhereGiven)
{
    gl->drawColor = kBlue;
    // Two vertices coloured red, two fall back to the draw colour; smooth
    // shading blends them, so probe next to the corners.
    gl->FillPolygon3D({0, 0, 0}, {kRed, kRed}, {{10, 10, 0}, {110, 10, 0}, {110, 110, 0}, {10, 110, 0}});
    const tFrame frame = Frame();
    EXPECT_TRUE(PixelIs(frame, 11, 11, kRed, 8));
    EXPECT_TRUE(PixelIs(frame, 108, 11, kRed, 8));
    EXPECT_TRUE(PixelIs(frame, 108, 108, kBlue, 8));
    EXPECT_TRUE(PixelIs(frame, 11, 108, kBlue, 8));
}

TEST_F(OpenGLInterface, DrawCircleDrawsAClosedLoopOfRound2PiROver4Vertices)
{
    const tVector2 centre{100, 100};
    const std::vector<tVector2> starts = LineStartsOf([&] { gl->DrawCircle(centre, 10); });
    ASSERT_EQ(starts.size(), 16u) << "round(62.83 ÷ 4) vertices in a loop give 16 segments";
    for (const tVector2& v : starts) {
        const extended dx = v.x - centre.x;
        const extended dy = v.y - (windowHeight - centre.y); // window y points up
        EXPECT_NEAR(static_cast<double>(std::sqrt(dx * dx + dy * dy)), 10.0, 0.01);
    }
    // The first vertex lies 22.5 degrees clockwise from the top.
    EXPECT_NEAR(static_cast<double>(starts[0].x), 100 + 10 * std::sin(22.5 * M_PI / 180), 0.01);
    EXPECT_NEAR(static_cast<double>(starts[0].y), windowHeight - 100 + 10 * std::cos(22.5 * M_PI / 180), 0.01);

    EXPECT_EQ(LineStartsOf([&] { gl->DrawCircle(centre, 1 / M_PI); }).size(), 0u);
    EXPECT_EQ(LineStartsOf([&] { gl->DrawCircle(centre, 3); }).size(), 5u); // round(4.71)

    // And it reaches the frame buffer: the loop's pixels, not its inside.
    gl->drawColor = kRed;
    gl->DrawCircle(centre, 10);
    const tFrame frame = Frame();
    const tRect box = BoundingBox(frame, [](tPackedColor c) { return RedOf(c) > 100; });
    EXPECT_GE(box.left, 89);
    EXPECT_LE(box.right, 111);
    EXPECT_GE(box.top, 89);
    EXPECT_LE(box.bottom, 111);
    EXPECT_TRUE(PixelIs(frame, 100, 100, kBlack, 0));
}

TEST_F(OpenGLInterface, DrawLineDrawsBetweenItsEnds)
{
    gl->drawColor = PackRGBA(255, 255, 255);
    gl->DrawLine({20.5L, 30.5L}, {120.5L, 30.5L});
    const tFrame frame = Frame();
    const tRect box = BoundingBox(frame, [](tPackedColor c) { return GreenOf(c) > 200; });
    EXPECT_EQ(box.top, 30);
    EXPECT_EQ(box.bottom, 30);
    EXPECT_LE(std::abs(box.left - 20), 1);
    EXPECT_LE(std::abs(box.right - 120), 1);
    // Line colours are the draw colour ÷ 256.
    EXPECT_TRUE(PixelIs(frame, 60, 30, PackRGBA(254, 254, 254), 1));
}

TEST_F(OpenGLInterface, PerspectiveKeepsTheZeroPlaneOnItsPixels)
{
    gl->SetupPerspective(gl->WindowWidth(), gl->WindowHeight());
    gl->drawColor = kRed;
    gl->FillPolygon3D({0, 0, 0}, {}, {{10, 20, 0}, {30, 20, 0}, {30, 50, 0}, {10, 50, 0}});
    tFrame frame = Frame();
    EXPECT_EQ(RectText(BoundingBoxOf(frame, kRed)), RectText({10, 20, 29, 49}));

    // At z = 1000 everything shrinks by half about the window's centre.
    gl->ClearBlack();
    const extended cx = windowWidth / 2.0L;
    const extended cy = windowHeight / 2.0L;
    gl->FillPolygon3D({0, 0, 1000}, {},
                      {{cx - 100, cy - 80, 0}, {cx + 100, cy - 80, 0}, {cx + 100, cy + 80, 0}, {cx - 100, cy + 80, 0}});
    frame = Frame();
    const tRect box = BoundingBoxOf(frame, kRed);
    EXPECT_LE(std::abs(box.left - (windowWidth / 2 - 50)), 1) << RectText(box);
    EXPECT_LE(std::abs(box.right - (windowWidth / 2 + 49)), 1) << RectText(box);
    EXPECT_LE(std::abs(box.top - (windowHeight / 2 - 40)), 1) << RectText(box);
    EXPECT_LE(std::abs(box.bottom - (windowHeight / 2 + 39)), 1) << RectText(box);

    // z = 3000 shrinks to a quarter; a floor running 10 000 units deep is not
    // cut off by the far plane.
    gl->ClearBlack();
    gl->FillPolygon3D({0, 0, 0}, {},
                      {{-10000, cy + 40, 10000}, {10000, cy + 40, 10000}, {10000, cy + 40, 0}, {-10000, cy + 40, 0}});
    frame = Frame();
    const tRect floor = BoundingBoxOf(frame, kRed);
    EXPECT_EQ(floor.left, 0);
    EXPECT_EQ(floor.right, windowWidth - 1);
    EXPECT_EQ(floor.bottom, static_cast<int>(cy) + 39) << "the near edge at z = 0 lies on its own row";
    // Its far edge at z = 10 000 lies 40 × 1000 ÷ 11 000 pixels below the centre.
    EXPECT_LE(std::abs(floor.top - static_cast<int>(std::lround(static_cast<double>(cy) + 40.0 / 11))), 1)
        << RectText(floor);
}

TEST_F(OpenGLInterface, FogDarkensWithDistance)
{
    gl->SetupPerspective(gl->WindowWidth(), gl->WindowHeight());
    gl->SetupFog();
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    gl->drawColor = PackRGBA(200, 200, 200);
    gl->FillPolygon3D({0, 0, 0}, {}, {{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}});
    gl->FillPolygon3D({0, 0, 2000}, {}, {{0, 0, 0}, {320, 0, 0}, {320, 240, 0}, {0, 240, 0}});
    const tFrame frame = Frame();
    const int nearGrey = GreenOf(frame.At(20, 20));
    const int farGrey = GreenOf(frame.At(windowWidth / 2 + 10, windowHeight / 2 + 10));
    // The fog counts depth from the plane z = 0: none there, e^-3 at z = 2000.
    EXPECT_NEAR(nearGrey, 200, 1);
    EXPECT_NEAR(farGrey, 200 * std::exp(-3.0), 2);
    glDisable(GL_FOG);
}

TEST_F(OpenGLInterface, FullScreenNeedsAForm)
{
    tCapturedLog log;
    EXPECT_FALSE(gl->SwitchToFullScreen());
    EXPECT_FALSE(gl->IsFullScreen());
    EXPECT_TRUE(log.FileContains("Can not switch to fullscreen when attached to forien device context"));

    gl.reset();
    gl = tOpenGLInterface::CreateOnForm(window);
    EXPECT_TRUE(gl->HasForm());
    EXPECT_TRUE(gl->SwitchToFullScreen());
    EXPECT_TRUE(gl->IsFullScreen());
    EXPECT_TRUE(IsWindowFullScreen(window));
    gl->LeaveFullScreen();
    EXPECT_FALSE(gl->IsFullScreen());
    EXPECT_FALSE(IsWindowFullScreen(window));
}

TEST_F(OpenGLInterface, AFailedSwapIsNotedAndTheFrameGoesOn)
{
    tCapturedLog log;
    gl->Present();
    EXPECT_EQ(log.FileCount("Could not swap openGL buffer"), 0);

    gl->Context().SimulateSwapFailure("The device is gone");
    EXPECT_NO_THROW(gl->Present());
    EXPECT_TRUE(log.FileContains("Could not swap openGL buffer because \"The device is gone\""));
    gl->Context().SimulateSwapFailure("");

    // Still usable afterwards.
    gl->Clear(kRed);
    EXPECT_TRUE(PixelIs(Frame(), 5, 5, kRed, 0));
    gl->Present();
    EXPECT_EQ(log.FileCount("Could not swap openGL buffer"), 1);
}

TEST_F(OpenGLInterface, GLErrorsFailAnAssertionWhenChecked)
{
    tCapturedLog log;
    glEnable(0x7FFF); // not a capability: GL_INVALID_ENUM
    try {
        CheckGL("a bad glEnable");
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uOpenGL");
        EXPECT_GT(e.Line(), 0);
    }
    EXPECT_TRUE(log.FileContains("OpenGL error 0x0500"));
    EXPECT_TRUE(log.FileContains("after a bad glEnable"));
    EXPECT_NO_THROW(CheckGL("nothing")) << "the error was consumed";

    SetGLErrorChecking(false);
    glEnable(0x7FFF);
    EXPECT_NO_THROW(CheckGL("unchecked"));
    SetGLErrorChecking(true);
    while (glGetError() != GL_NO_ERROR) {
    }
}

TEST_F(OpenGLInterface, MissingHandleOrTextureFailTheirAssertions)
{
    try {
        tOpenGLInterface::Create(nullptr);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uOpenGL");
        EXPECT_EQ(e.Line(), 834);
        EXPECT_EQ(e.Message(), "OpenGL interface must be assosiated with a valid handle");
    }
    try {
        gl->AddTexture(nullptr);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Line(), 968);
        EXPECT_EQ(e.Message(), "Tried to add an invalud texture to openGL interface.");
    }
    try {
        tGltexture texture(nullptr, "orphan");
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Line(), 353);
        EXPECT_EQ(e.Message(), "Texture must be assosiated with an OpenGL interface");
    }
}

TEST(OpenGLInterfaceWithoutWindow, NoContextRaisesAGraphicsFailure)
{
    EnsureGLApplication();
    // A handle whose window is gone can carry no context.
    tWindowHandle vanished = WindowHandleFor(static_cast<QWindow*>(nullptr));
    try {
        tOpenGLInterface::Create(vanished);
        FAIL() << "no failure";
    } catch (const EGraphicsFailure& e) {
        EXPECT_EQ(e.Kind(), EGraphicsFailure::tKind::NoContext);
        EXPECT_STREQ(e.what(), "Could not create OpenGL render context");
    }
}

// ---------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------

namespace {
GLint StorageWidth(const tGltexture& t)
{
    GLint w = -1;
    t.Bind();
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    return w;
}
GLint StorageHeight(const tGltexture& t)
{
    GLint h = -1;
    t.Bind();
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    return h;
}
int64_t SumOfNamedTextures(const tOpenGLInterface& gl)
{
    int64_t sum = 0;
    for (const tGltexture* t : gl.Textures())
        if (t->HasName())
            sum += t->MemorySize();
    return sum;
}
} // namespace

using GLTexture = tGLTest;

TEST_F(GLTexture, CreationNamesAndRegistersWithoutStorage)
{
    tGltexture texture(gl.get(), "TEX_test");
    EXPECT_EQ(texture.Name(), "TEX_test");
    EXPECT_TRUE(texture.HasName());
    EXPECT_FALSE(texture.IsValid());
    EXPECT_EQ(texture.MemorySize(), 0);
    EXPECT_EQ(texture.Interface(), gl.get());
    ASSERT_EQ(gl->Textures().size(), 1u);
    EXPECT_EQ(gl->Textures()[0], &texture);
    EXPECT_TRUE(glIsTexture(texture.TextureName()));

    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &filter);
    EXPECT_EQ(filter, GL_REPEAT);
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE);
}

TEST_F(GLTexture, StorageIsPowerOfTwoAndAllocatedOncePerSize)
{
    tGltexture texture(gl.get(), "keyframe");
    texture.SetSize(800, 600);
    EXPECT_EQ(texture.Width(), 1024);
    EXPECT_EQ(texture.Height(), 1024);
    EXPECT_EQ(gl->TextureMemory(), 4194304);
    EXPECT_EQ(StorageWidth(texture), 1024);
    EXPECT_EQ(StorageHeight(texture), 1024);

    // A texel outside the 800 × 600 corner survives a same-size SetSize only
    // when the storage is kept.
    const uint32_t marker = PackRGBA(1, 2, 3, 4);
    texture.Bind();
    glTexSubImage2D(GL_TEXTURE_2D, 0, 900, 700, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &marker);
    texture.SetSize(800, 600);
    texture.SetSize(1000, 1000);
    EXPECT_EQ(gl->TextureMemory(), 4194304);
    std::vector<uint32_t> texels(1024 * 1024);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels[700 * 1024 + 900], marker);

    texture.SetSize(512, 512);
    EXPECT_EQ(texture.Width(), 512);
    EXPECT_EQ(texture.Height(), 512);
    EXPECT_EQ(gl->TextureMemory(), 512 * 512 * 4);
    texture.SetSize(513, 512);
    EXPECT_EQ(texture.Width(), 1024);
    EXPECT_EQ(texture.Height(), 512);
    EXPECT_EQ(StorageWidth(texture), 1024);
    EXPECT_EQ(StorageHeight(texture), 512);
    EXPECT_EQ(gl->TextureMemory(), 1024 * 512 * 4);

    // Sides of 1 are a power of two; a side of 0 means no storage at all.
    texture.SetSize(1, 3);
    EXPECT_EQ(texture.Width(), 1);
    EXPECT_EQ(texture.Height(), 4);
    EXPECT_TRUE(texture.IsValid());
    texture.SetSize(0, 300);
    EXPECT_EQ(texture.Width(), 0);
    EXPECT_EQ(texture.Height(), 0);
    EXPECT_FALSE(texture.IsValid());
    EXPECT_EQ(StorageWidth(texture), 0);
    EXPECT_EQ(gl->TextureMemory(), 0);
}

TEST_F(GLTexture, MemoryAlwaysEqualsTheNamedTexturesSizes)
{
    auto a = std::make_unique<tGltexture>(gl.get(), "a");
    auto b = std::make_unique<tGltexture>(gl.get(), "b");
    tGltexture c(gl.get(), "c");
    a->SetSize(100, 100); // 128²
    b->SetSize(300, 20);  // 512 × 32
    c.SetSize(64, 64);
    EXPECT_EQ(gl->TextureMemory(), SumOfNamedTextures(*gl));
    EXPECT_EQ(gl->TextureMemory(), (128 * 128 + 512 * 32 + 64 * 64) * 4);

    c.FreeStorage();
    EXPECT_TRUE(c.HasName());
    EXPECT_EQ(gl->TextureMemory(), SumOfNamedTextures(*gl));

    const uint32_t name = a->TextureName();
    a->Delete(true); // deferred
    EXPECT_FALSE(a->HasName());
    EXPECT_EQ(a->Width(), 0);
    EXPECT_EQ(gl->TextureMemory(), SumOfNamedTextures(*gl));
    ASSERT_EQ(gl->DeferredDeletions().Count(), 1);
    EXPECT_EQ(gl->DeferredDeletions().IntValue(0), name);
    EXPECT_TRUE(glIsTexture(name)) << "a deferred name lives until the frame ends";
    gl->Present();
    EXPECT_EQ(gl->DeferredDeletions().Count(), 0);
    EXPECT_FALSE(glIsTexture(name));

    a->Generate();
    a->SetSize(16, 16);
    EXPECT_EQ(gl->TextureMemory(), SumOfNamedTextures(*gl));
    b.reset();
    EXPECT_EQ(gl->Textures().size(), 2u) << "a destroyed texture leaves the list";
    EXPECT_EQ(gl->TextureMemory(), SumOfNamedTextures(*gl));
    EXPECT_EQ(gl->TextureMemory(), 16 * 16 * 4);

    const uint32_t aName = a->TextureName();
    a->Delete(false);
    EXPECT_FALSE(glIsTexture(aName));
    EXPECT_EQ(gl->TextureMemory(), 0);
}

TEST_F(GLTexture, ATextureOutlivingItsInterfaceIsForgotten)
{
    auto texture = std::make_unique<tGltexture>(gl.get(), "late");
    texture->SetSize(8, 8);
    gl.reset();
    EXPECT_FALSE(texture->HasName());
    EXPECT_EQ(texture->Interface(), nullptr);
    texture->SetSize(16, 16); // nothing to do without a name
    EXPECT_FALSE(texture->IsValid());
    EXPECT_NO_THROW(texture.reset());
}
