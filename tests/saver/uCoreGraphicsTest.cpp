#include "uCoreGraphics.h"

#include "GLTestUtil.h"
#include "TestUtil.h"
#include "uSprite.h"

namespace {

using CoreGraphics = tGLTest;

int CountAlpha(const tPage& page, const tSpriteImage& sprite, bool opaque)
{
    int n = 0;
    const tRect r = sprite.IntRect();
    for (int y = r.top; y <= r.bottom; ++y)
        for (int x = r.left; x <= r.right; ++x)
            n += (AlphaOf(page.GetPixel(x, y)) == (opaque ? 255 : 0));
    return n;
}

} // namespace

TEST_F(CoreGraphics, TheProgramsPictureHoldsTheLogo)
{
    tCapturedLog log;
    LogFileLevel = 4;
    const std::unique_ptr<tSpritePage> graphics = LoadCoreGraphics(*gl, QX_GFXDATA_FILE);
    EXPECT_TRUE(log.FileContains("Loading core graphics"));
    EXPECT_FALSE(log.FileContains("Could not load resource file"));
    EXPECT_EQ(graphics->Name(), "GfxData");
    ASSERT_GE(graphics->Count(), 1);
    const tSpriteImageRef* logo = graphics->Sprite(0);
    ASSERT_EQ(CoreGraphicsLogo(graphics.get()), logo);
    EXPECT_EQ(logo->topLeft, (tVector2{1, 1}));
    EXPECT_EQ(logo->Width(), 250);
    EXPECT_EQ(logo->Height(), 72);
    EXPECT_EQ(logo->hotspot, (tVector2{124.5L, 35.5L}));
    // A picture with alpha: solid parts, and clear ones around them and
    // where the progress bar shows through.
    const tPageGLhw& page = *graphics->Page();
    EXPECT_GT(CountAlpha(page, *logo, true), 2000);
    EXPECT_GT(CountAlpha(page, *logo, false), 4000);
    EXPECT_EQ(AlphaOf(page.GetPixel(1 + 120, 1 + 62)), 0) << "the bar's place is clear";
    EXPECT_TRUE(page.Texture()->IsValid()) << "uploaded";
}

TEST_F(CoreGraphics, AMissingOrUnusableFileLeavesNoLogo)
{
    tTempDir dir;
    tPage small;
    small.SetSize(200, 60, pfRGBA);
    ASSERT_TRUE(small.SaveToPngFile(dir.File("small.dat")));
    WriteTextFile(dir.File("text.dat"), "not a picture");
    // A sound picture, but far larger than sprites need: refused before any
    // pixel is decoded.
    tPage huge;
    huge.SetSize(2048, 2049, pfRGBA);
    ASSERT_TRUE(huge.SaveToPngFile(dir.File("huge.dat")));

    for (const std::string name : {"missing.dat", "small.dat", "text.dat", "huge.dat"}) {
        SCOPED_TRACE(name);
        tCapturedLog log;
        const std::string path = dir.File(name);
        const std::unique_ptr<tSpritePage> graphics = LoadCoreGraphics(*gl, path);
        ASSERT_NE(graphics, nullptr);
        EXPECT_EQ(graphics->Count(), 0);
        EXPECT_EQ(CoreGraphicsLogo(graphics.get()), nullptr);
        EXPECT_EQ(log.FileCount("Could not load resource file " + path), 1);
        EXPECT_EQ(log.FileContains("a picture of 2048 x 2049 pixels is too large"), name == "huge.dat");
    }
    EXPECT_EQ(CoreGraphicsLogo(nullptr), nullptr);
}
