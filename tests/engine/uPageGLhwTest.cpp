#include "uPageGLhw.h"

#include "GLTestUtil.h"
#include "TestUtil.h"
#include "uAssert.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

namespace {

constexpr tPackedColor kBlack = PackRGBA(0, 0, 0);
constexpr tPackedColor kRed = PackRGBA(255, 0, 0);
constexpr tPackedColor kGreen = PackRGBA(0, 255, 0);
constexpr tPackedColor kWhite = PackRGBA(255, 255, 255);

void FillPage(tPage& page, tPackedColor color)
{
    for (int y = 0; y < page.Height(); ++y)
        for (int x = 0; x < page.Width(); ++x)
            page.SetPixel(x, y, color);
}

/// Level 0 of the bound texture, texels row by row.
std::vector<uint32_t> TexelsOf(const tGltexture& texture, int level = 0)
{
    texture.Bind();
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
    std::vector<uint32_t> texels(static_cast<size_t>(w) * static_cast<size_t>(h));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

bool IsRed(tPackedColor c) { return RedOf(c) > 200 && GreenOf(c) < 60 && BlueOf(c) < 60; }
bool IsGreen(tPackedColor c) { return GreenOf(c) > 200 && RedOf(c) < 60 && BlueOf(c) < 60; }
bool NotBlack(tPackedColor c) { return !ColorNear(c, kBlack, 0); }

class HardwarePage : public tGLTest {
protected:
    /// A pfRGBA hardware page of one colour, uploaded.
    std::unique_ptr<tPageGLhw> MakePage(int w, int h, tPackedColor color, tPageManager* manager = nullptr)
    {
        auto page = std::make_unique<tPageGLhw>(*gl, manager);
        page->SetSize(w, h, pfRGBA);
        FillPage(*page, color);
        page->Upload();
        return page;
    }
};

} // namespace

// ---------------------------------------------------------------------------
// Texture storage and uploads
// ---------------------------------------------------------------------------

TEST_F(HardwarePage, OwnsATextureNamedAfterThePageAndSizedWithIt)
{
    tPageGLhw page(*gl);
    ASSERT_NE(page.Texture(), nullptr);
    EXPECT_EQ(page.Texture()->Name(), "TEX_unnamed page");
    EXPECT_FALSE(page.mipmapped);
    EXPECT_FALSE(page.Texture()->IsValid());

    page.SetSize(800, 600, pfRGBA);
    EXPECT_EQ(page.Texture()->Width(), 1024);
    EXPECT_EQ(page.Texture()->Height(), 1024);
    EXPECT_EQ(gl->TextureMemory(), 4194304);

    page.SetSize(0, 0, pfRGBA);
    EXPECT_FALSE(page.Texture()->IsValid()) << "a page without pixels releases the storage";
    EXPECT_EQ(gl->TextureMemory(), 0);

    page.SetSize(20, 0, pfRGBA);
    EXPECT_FALSE(page.Texture()->IsValid());
    page.SetSize(3, 5, pfRGBA);
    EXPECT_EQ(page.Texture()->Width(), 4);
    EXPECT_EQ(page.Texture()->Height(), 8);
}

TEST_F(HardwarePage, UploadsIntoStorageThatIsKeptWhileTheSizeIsKept)
{
    tGltexture texture(gl.get(), "keyframe");
    tPage first;
    first.SetSize(800, 600, pfRGBA);
    FillPage(first, kRed);
    texture.UploadPage(&first, false);
    EXPECT_EQ(texture.Width(), 1024);
    EXPECT_EQ(texture.Height(), 1024);
    EXPECT_EQ(gl->TextureMemory(), 4194304);

    // A texel outside the page's corner survives the next upload only if the
    // storage is not made anew.
    const uint32_t marker = PackRGBA(1, 2, 3, 4);
    texture.Bind();
    glTexSubImage2D(GL_TEXTURE_2D, 0, 900, 700, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &marker);

    tPage second;
    second.SetSize(800, 600, pfRGBA);
    FillPage(second, kGreen);
    texture.UploadPage(&second, false);
    EXPECT_EQ(gl->TextureMemory(), 4194304) << "grown once";
    const std::vector<uint32_t> texels = TexelsOf(texture);
    ASSERT_EQ(texels.size(), 1024u * 1024u);
    EXPECT_EQ(texels[0], kGreen);
    EXPECT_EQ(texels[599 * 1024 + 799], kGreen);
    EXPECT_EQ(texels[700 * 1024 + 900], marker);

    tPage square;
    square.SetSize(512, 512, pfRGBA);
    texture.UploadPage(&square, false);
    EXPECT_EQ(texture.Width(), 512);
    EXPECT_EQ(texture.Height(), 512);
    square.SetSize(513, 512, pfRGBA);
    texture.UploadPage(&square, false);
    EXPECT_EQ(texture.Width(), 1024);
    EXPECT_EQ(texture.Height(), 512);
    EXPECT_EQ(gl->TextureMemory(), 1024 * 512 * 4);
}

TEST_F(HardwarePage, UploadReadsEveryPixelFormatAndPaddedRows)
{
    tGltexture texture(gl.get(), "formats");
    const tPackedColor colors[] = {PackRGBA(10, 20, 30, 40), PackRGBA(200, 150, 100, 255), PackRGBA(1, 2, 3, 4),
                                   PackRGBA(250, 0, 125, 128), PackRGBA(7, 77, 177, 255)};
    for (uint8_t format : {pfRGBA, pfBGRA, pfFloat4}) {
        SCOPED_TRACE(static_cast<int>(format));
        // Five pixels wide: rows are padded to eight pixels.
        tPage page;
        page.SetSize(5, 3, format);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                page.SetPixel(x, y, colors[(x + y) % 5]);
        texture.UploadPage(&page, false);
        ASSERT_EQ(texture.Width(), 8);
        ASSERT_EQ(texture.Height(), 4);
        const std::vector<uint32_t> texels = TexelsOf(texture);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(texels[static_cast<size_t>(y) * 8 + x], colors[(x + y) % 5]) << x << "," << y;
    }
    GLint rowLength = -1;
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    EXPECT_EQ(rowLength, 0) << "the row length is not left behind for other uploads";
}

TEST_F(HardwarePage, AnUnsupportedFormatIsRefused)
{
    tCapturedLog log;
    tGltexture texture(gl.get(), "bytes");
    tPage page;
    page.SetSize(16, 16, pf8);
    texture.UploadPage(&page, false);
    EXPECT_TRUE(log.FileContains("Could not upload data video card as source format is not supported"));
    EXPECT_FALSE(texture.IsValid()) << "the texture stays as it was";

    try {
        texture.UploadPage(nullptr, false);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uOpenGL");
        EXPECT_EQ(e.Line(), 312);
    }
}

TEST_F(HardwarePage, MipmappedUploadsBuildTheChain)
{
    auto page = std::make_unique<tPageGLhw>(*gl);
    page->mipmapped = true;
    page->SetSize(64, 32, pfRGBA);
    FillPage(*page, kRed);
    page->Upload();
    const std::vector<uint32_t> level2 = TexelsOf(*page->Texture(), 2);
    ASSERT_EQ(level2.size(), 16u * 8u);
    EXPECT_EQ(level2[0], kRed);

    // A page smaller than its storage keeps its corner upload: a chain would
    // stretch the picture over the whole texture.
    page->SetSize(50, 30, pfRGBA);
    FillPage(*page, kGreen);
    page->Upload();
    EXPECT_EQ(page->Texture()->Width(), 64);
    const std::vector<uint32_t> level0 = TexelsOf(*page->Texture());
    ASSERT_EQ(level0.size(), 64u * 32u);
    EXPECT_EQ(level0[29 * 64 + 49], kGreen);
}

// ---------------------------------------------------------------------------
// Draws
// ---------------------------------------------------------------------------

TEST_F(HardwarePage, DrawRectIsInclusiveUnscaledAndOpaque)
{
    gl->Clear(PackRGBA(0, 0, 200));
    auto page = MakePage(16, 16, PackRGBA(200, 100, 0, 0)); // fully transparent texels
    glEnable(GL_BLEND);
    EXPECT_EQ(page->DrawRect({0, 0, 9, 9}, 20, 30), 0);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    const tFrame frame = Frame();
    const tRect box = BoundingBox(frame, [](tPackedColor c) { return RedOf(c) > 150; });
    EXPECT_EQ(RectText(box), RectText({20, 30, 29, 39})) << "(0,0,9,9) is a 10 × 10 quad";
    EXPECT_TRUE(PixelIs(frame, 25, 35, PackRGBA(200, 100, 0), 1)) << "no blending: alpha 0 still covers";
}

TEST_F(HardwarePage, DrawExIsRightMinusLeftWideBeforeScaling)
{
    auto page = MakePage(16, 16, kWhite);
    tDrawParams params = InitDrawParams();
    EXPECT_EQ(page->DrawEx({0, 0, 9, 9}, {50, 50}, params), 0);
    tFrame frame = Frame();
    EXPECT_EQ(RectText(BoundingBoxOf(frame, kWhite)), RectText({50, 50, 58, 58})) << "9 × 9";

    gl->ClearBlack();
    params.ScaleX = 2;
    params.ScaleY = 3;
    page->DrawEx({0, 0, 9, 9}, {50, 50}, params);
    frame = Frame();
    EXPECT_EQ(RectText(BoundingBoxOf(frame, kWhite)), RectText({50, 50, 67, 76})) << "18 × 27";

    // The pivot is placed at the position; scaling acts about it.
    gl->ClearBlack();
    params.Pivot = {4, 3};
    page->DrawEx({0, 0, 9, 9}, {100, 100}, params);
    frame = Frame();
    EXPECT_EQ(RectText(BoundingBoxOf(frame, kWhite)), RectText({92, 91, 109, 117}));

    // A negative scale mirrors about the pivot.
    gl->ClearBlack();
    params = InitDrawParams();
    params.ScaleY = -1;
    page->DrawEx({0, 0, 9, 9}, {100, 100}, params);
    frame = Frame();
    EXPECT_EQ(RectText(BoundingBoxOf(frame, kWhite)), RectText({100, 91, 108, 99}));
}

TEST_F(HardwarePage, APositiveAngleTurnsClockwiseOnScreen)
{
    // Top quarter red, the rest green; drawn 1:1 from the whole texture.
    auto page = std::make_unique<tPageGLhw>(*gl);
    page->SetSize(16, 16, pfRGBA);
    FillPage(*page, kGreen);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 16; ++x)
            page->SetPixel(x, y, kRed);
    page->Upload();

    tDrawParams params = InitDrawParams();
    params.Angle = 90;
    page->DrawEx({0, 0, 16, 16}, {100, 100}, params);
    tFrame frame = Frame();
    // Turned clockwise about its corner: the quad lies left of and below
    // (100, 100), and its top edge (red) is now on the right.
    EXPECT_EQ(RectText(BoundingBox(frame, NotBlack)), RectText({84, 100, 99, 115}));
    EXPECT_EQ(RectText(BoundingBox(frame, IsRed)), RectText({96, 100, 99, 115}));
    EXPECT_TRUE(IsGreen(frame.At(88, 108)));

    // 30 degrees about the centre: the corners follow x' = x cos − y sin,
    // y' = x sin + y cos.
    gl->ClearBlack();
    params.Angle = 30;
    params.Pivot = {8, 8};
    page->DrawEx({0, 0, 16, 16}, {160, 120}, params);
    frame = Frame();
    const tRect box = BoundingBox(frame, NotBlack);
    const double reach = 8 * (std::cos(M_PI / 6) + std::sin(M_PI / 6)); // 10.93
    EXPECT_LE(std::abs(box.left - (160 - reach)), 1.0) << RectText(box);
    EXPECT_LE(std::abs(box.right + 1 - (160 + reach)), 1.0) << RectText(box);
    EXPECT_LE(std::abs(box.top - (120 - reach)), 1.0) << RectText(box);
    // The red band's middle, 6 above the pivot, turns to the upper right.
    const double rx = 160 + 6 * std::sin(M_PI / 6);
    const double ry = 120 - 6 * std::cos(M_PI / 6);
    EXPECT_TRUE(IsRed(frame.At(static_cast<int>(rx), static_cast<int>(ry))));
}

TEST_F(HardwarePage, BlendModesAndTint)
{
    const tPackedColor background = PackRGBA(0, 0, 200);
    auto page = MakePage(16, 16, PackRGBA(200, 100, 0, 128));
    struct tCase {
        int32_t mode;
        double alpha;
        tPackedColor expected;
        const char* what;
    };
    const tCase cases[] = {
        {0, 1.0, PackRGBA(200, 100, 0), "0: no blending"},
        {1, 1.0, PackRGBA(100, 50, 100), "1: texel alpha"},
        {2, 0.25, PackRGBA(50, 25, 150), "2: constant alpha, the texel's ignored"},
        {3, 0.5, PackRGBA(50, 25, 150), "3: texel alpha × alpha"},
        {4, 1.0, PackRGBA(100, 50, 200), "4: additive"},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.what);
        gl->Clear(background);
        tDrawParams params = InitDrawParams();
        params.BlendMode = c.mode;
        params.Alpha = c.alpha;
        EXPECT_EQ(page->DrawEx({0, 0, 16, 16}, {10, 10}, params), 0);
        EXPECT_TRUE(PixelIs(Frame(), 18, 18, c.expected, 2));
    }

    // The tint's R, G, B ÷ 256 replace white (its A is not read).
    gl->Clear(background);
    tDrawParams params = InitDrawParams();
    params.Tinted = true;
    params.Tint = {128, 64, 256, 0};
    page->DrawEx({0, 0, 16, 16}, {10, 10}, params);
    EXPECT_TRUE(PixelIs(Frame(), 18, 18, PackRGBA(100, 25, 0), 2));

    // Modes beyond 4 leave the blend state as it was.
    gl->Clear(background);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    params = InitDrawParams();
    params.BlendMode = 9;
    page->DrawEx({0, 0, 16, 16}, {10, 10}, params);
    EXPECT_TRUE(PixelIs(Frame(), 18, 18, PackRGBA(200, 100, 200), 2));
}

TEST_F(HardwarePage, PagesWithoutStorageDrawNothing)
{
    tPageGLhw empty(*gl);
    empty.SetSize(0, 0, pfRGBA);
    const tDrawParams params = InitDrawParams();
    EXPECT_EQ(empty.DrawRect({0, 0, 9, 9}, 10, 10), -1);
    EXPECT_EQ(empty.DrawEx({0, 0, 9, 9}, {10, 10}, params), -1);
    EXPECT_EQ(empty.Draw({10, 10}, params), -1);
    EXPECT_EQ(empty.DrawPolygon({10, 10}, {{0, 0}, {9, 0}, {0, 9}}, {{0, 0}, {1, 0}, {0, 1}}, params), -1);
    empty.DrawPolygon3D({}, {}, {{0, 0, 0}, {9, 0, 0}, {0, 9, 0}}, {{0, 0}, {1, 0}, {0, 1}}, {}, params);
    EXPECT_EQ(CountPixels(Frame(), NotBlack), 0);

    auto page = MakePage(8, 8, kWhite);
    page->FreeTexture();
    EXPECT_EQ(page->Texture(), nullptr);
    EXPECT_EQ(page->DrawRect({0, 0, 7, 7}, 10, 10), -1);
    EXPECT_EQ(page->DrawEx({0, 0, 7, 7}, {10, 10}, params), -1);
    page->Upload(); // nothing to upload into
    page->SetSize(4, 4, pfRGBA);
    EXPECT_EQ(CountPixels(Frame(), NotBlack), 0);
}

TEST_F(HardwarePage, DrawPolygonTurnsScalesAndMovesItsVertices)
{
    auto page = MakePage(16, 16, kWhite);
    tDrawParams params = InitDrawParams();
    params.ScaleX = 2;
    params.ScaleY = 2;
    params.Angle = 90;
    params.Pivot = {100, 100}; // not used by polygons
    const std::vector<tVector2> vertices{{0, 0}, {10, 0}, {10, 5}, {0, 5}};
    const std::vector<tVector2> tex{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    EXPECT_EQ(page->DrawPolygon({100, 100}, vertices, tex, params), -1) << "-1 even when drawn";
    // Turned first: (10, 0) → (0, 10), (0, 5) → (−5, 0); then doubled.
    EXPECT_EQ(RectText(BoundingBoxOf(Frame(), kWhite)), RectText({90, 100, 99, 119}));

    try {
        page->DrawPolygon({0, 0}, vertices, {{0, 0}}, params);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uPageGLhw");
        EXPECT_EQ(e.Line(), 153);
    }
}

TEST_F(HardwarePage, DrawPolygon3DTurnsMovesAndColoursItsVertices)
{
    gl->SetupPerspective(gl->WindowWidth(), gl->WindowHeight());
    auto page = MakePage(16, 16, kWhite);
    tDrawParams params = InitDrawParams();
    const std::vector<tVector3> quad{{-20, -10, 0}, {20, -10, 0}, {20, 10, 0}, {-20, 10, 0}};
    const std::vector<tVector2> tex{{0, 0}, {1, 0}, {1, 1}, {0, 1}};

    // Turned 90 degrees about z (clockwise on screen), moved to (100, 80, 0).
    page->DrawPolygon3D({100, 80, 0}, {0, 0, 90}, quad, tex, {}, params);
    tFrame frame = Frame();
    EXPECT_EQ(RectText(BoundingBoxOf(frame, kWhite)), RectText({90, 60, 109, 99}));

    // Vertex colours where given (÷ 255), else the tint ÷ 255.
    gl->ClearBlack();
    params.Tinted = true;
    params.Tint = {255, 0, 0, 255};
    page->DrawPolygon3D({100, 80, 0}, {}, quad, tex, {kGreen, kGreen}, params);
    frame = Frame();
    EXPECT_TRUE(PixelIs(frame, 80, 70, kGreen, 12));
    EXPECT_TRUE(PixelIs(frame, 80, 89, kRed, 12)) << "tint 255 ÷ 255 is full red";

    // At z = 1000 the quad is half as large; blend mode 2 sets nothing here.
    gl->ClearBlack();
    glDisable(GL_BLEND);
    params = InitDrawParams();
    params.BlendMode = 2;
    page->DrawPolygon3D({static_cast<extended>(windowWidth) / 2, static_cast<extended>(windowHeight) / 2, 1000}, {},
                        quad, tex, {}, params);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    frame = Frame();
    const tRect box = BoundingBoxOf(frame, kWhite);
    EXPECT_EQ(box.right - box.left + 1, 20) << RectText(box);
    EXPECT_EQ(box.bottom - box.top + 1, 10) << RectText(box);

    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1) << "the matrix is popped again";

    try {
        page->DrawPolygon3D({}, {}, quad, {}, {}, params);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uPageGLhw");
        EXPECT_EQ(e.Line(), 409);
    }
}

TEST_F(HardwarePage, ADrawnTextureOrPbufferStandsInForTheOwnTexture)
{
    auto page = MakePage(16, 16, kRed);
    auto other = MakePage(16, 16, kGreen);
    page->SetDrawnTexture(other->Texture());
    page->DrawRect({0, 0, 15, 15}, 0, 0);
    EXPECT_TRUE(PixelIs(Frame(), 5, 5, kGreen, 0));
    page->SetDrawnTexture(nullptr);
    page->DrawRect({0, 0, 15, 15}, 0, 0);
    EXPECT_TRUE(PixelIs(Frame(), 5, 5, kRed, 0));

    // A pbuffer link binds its own texture name for DrawEx.
    tPbufferLink link;
    link.textureName = other->Texture()->TextureName();
    page->pbuffer = &link;
    page->DrawEx({0, 0, 16, 16}, {0, 0}, InitDrawParams());
    EXPECT_TRUE(PixelIs(Frame(), 5, 5, kGreen, 0));
    page->pbuffer = nullptr;
}

TEST_F(HardwarePage, PbufferLinkAssertsItsContexts)
{
    tPbufferLink link;
    try {
        link.MakeCurrent();
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uPbuffer");
        EXPECT_EQ(e.Line(), 47);
    }
    link.deviceContext = 1;
    try {
        link.MakeCurrent();
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Line(), 48);
    }
    link.renderingContext = &gl->Context();
    gl->Context().DoneCurrent();
    link.MakeCurrent();
    EXPECT_TRUE(gl->Context().IsCurrent());
}

TEST_F(HardwarePage, ThePageManagerHearsOfEveryChange)
{
    tPageManager manager;
    try {
        manager.Add(nullptr);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uPageManager");
        EXPECT_EQ(e.Line(), 77);
    }
    auto a = std::make_unique<tPageGLhw>(*gl, &manager);
    auto b = std::make_unique<tPageGLhw>(*gl, &manager);
    EXPECT_EQ(a->Manager(), &manager);
    EXPECT_EQ(manager.Count(), 2);
    manager.Add(a.get());
    EXPECT_EQ(manager.Count(), 2) << "listed once";
    EXPECT_EQ(manager.IndexOf(b.get()), 1);
    EXPECT_EQ(manager.IndexOf(nullptr), -1);
    EXPECT_EQ(manager.Get(0), a.get());
    EXPECT_EQ(manager.Get(2), nullptr);
    EXPECT_EQ(manager.Get(-1), nullptr);

    manager.state = 7;
    a->SetSize(4, 4, pfRGBA);
    EXPECT_EQ(manager.state, 0u);
    manager.state = 7;
    a->Upload();
    EXPECT_EQ(manager.state, 0u);
    manager.state = 7;
    a->FreeTexture();
    EXPECT_EQ(manager.state, 0u);

    a.reset();
    EXPECT_EQ(manager.Count(), 1);
    EXPECT_EQ(manager.IndexOf(b.get()), 0);
    manager.Remove(b.get());
    manager.Remove(b.get());
    EXPECT_EQ(manager.Count(), 0);
}

TEST(HardwarePageWithoutInterface, ItsTextureNeedsTheOpenGLInterface)
{
    try {
        tGltexture texture(nullptr, "TEX_page");
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Line(), 353);
    }
}
