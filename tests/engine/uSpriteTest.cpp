#include "uSprite.h"

#include "GLTestUtil.h"
#include "TestUtil.h"

#include <new>
#include <sstream>

namespace {

constexpr tPackedColor kBlack = PackRGBA(0, 0, 0);
constexpr tPackedColor kWhite = PackRGBA(255, 255, 255);
constexpr tPackedColor kRed = PackRGBA(255, 0, 0);
constexpr tPackedColor kBlue = PackRGBA(0, 0, 255);

bool NotBlack(tPackedColor c) { return !ColorNear(c, kBlack, 0); }

using Sprites = tGLTest;

/// A picture of 64 × 32: a red 20 × 10 block at (2, 3) on blue.
void WritePicture(const std::string& path)
{
    tPage picture;
    picture.SetSize(64, 32, pfRGBA);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            picture.SetPixel(x, y, x >= 2 && x < 22 && y >= 3 && y < 13 ? kRed : kBlue);
    ASSERT_TRUE(picture.SaveToPngFile(path));
}

class tOutOfMemorySpritePage : public tSpritePage {
public:
    using tSpritePage::tSpritePage;

protected:
    std::unique_ptr<tSpriteImageRef> NewSprite() override { throw std::bad_alloc(); }
};

} // namespace

TEST(Sprite, TheBaseDrawsNothingAndDescribesItselfAsDummy)
{
    tSprite sprite;
    EXPECT_EQ(sprite.name, "sprite");
    EXPECT_EQ(sprite.hotspot, (tVector2{0, 0}));
    EXPECT_EQ(sprite.tag, 0u);
    EXPECT_EQ(sprite.Width(), 0);
    EXPECT_EQ(sprite.Height(), 0);
    EXPECT_EQ(sprite.Describe(), "dummy");
    EXPECT_EQ(sprite.Page(), nullptr);
}

TEST(Sprite, ImageSpriteRectangleAndIntegerHotspot)
{
    tImageSprite sprite;
    sprite.rect = {10, 20, 19, 29};
    EXPECT_EQ(sprite.Width(), 10);
    EXPECT_EQ(sprite.Height(), 10);
    EXPECT_EQ(sprite.Describe(), "image 10x10");
    sprite.CentreHotspot();
    EXPECT_EQ(sprite.hotspot, (tVector2{4, 4})) << "(19 − 10) div 2";
    EXPECT_EQ(sprite.Page(), nullptr) << "a plain image sprite has no page and draws nothing";
    sprite.rect = {0, 0, -4, 5};
    sprite.CentreHotspot();
    EXPECT_EQ(sprite.hotspot, (tVector2{-2, 2})) << "integer division rounds towards zero";
}

TEST(Sprite, SpriteImageFloatRectangleAndHotspot)
{
    tSpriteImage sprite;
    EXPECT_EQ(sprite.topLeft, (tVector2{0, 0}));
    sprite.hotspot = {3, 3};
    sprite.SetRect(0, 0, 72, 250);
    EXPECT_EQ(sprite.Width(), 72);
    EXPECT_EQ(sprite.Height(), 250);
    EXPECT_EQ(sprite.hotspot, (tVector2{0, 0}));
    EXPECT_EQ(sprite.bottomRight, (tVector2{71, 249}));
    sprite.CentreHotspot();
    EXPECT_EQ(sprite.hotspot, (tVector2{35.5L, 124.5L}));
    EXPECT_EQ(sprite.Describe(), "dummy");

    std::ostringstream out;
    sprite.SetRect(1, 2, 250, 72);
    sprite.Dump(out);
    EXPECT_EQ(out.str(), "    TopLeft   [1,2]\n    Size      [250,72]\n");
}

TEST(Sprite, ARefWithoutSpritePageWarnsAndHasNoPage)
{
    tCapturedLog log;
    tSpriteImageRef sprite(nullptr);
    EXPECT_TRUE(log.FileContains("Creating tImageSprite with unassinged parent page!"));
    EXPECT_EQ(sprite.Page(), nullptr);
    EXPECT_TRUE(log.FileContains("Sprite has not parent!"));
    sprite.SetRect(0, 0, 10, 10);
    sprite.DrawAt(5, 5); // nothing to draw with, and no GL needed
    EXPECT_EQ(log.FileCount("Sprite has not parent!"), 2);
}

TEST_F(Sprites, PatternSpriteDrawsItsHotspotAtThePoint)
{
    tPatternSprite sprite(*gl, nullptr, 10, 10, 10, 20);
    EXPECT_EQ(sprite.rect, (tRect{10, 20, 19, 29}));
    EXPECT_EQ(sprite.hotspot, (tVector2{0, 0}));
    ASSERT_NE(sprite.Page(), nullptr);
    EXPECT_EQ(sprite.Page()->Width(), 16) << "powers of two at or above the size";
    EXPECT_EQ(sprite.Page()->Height(), 16);
    EXPECT_EQ(sprite.Page()->Format(), pfRGBA);
    EXPECT_TRUE(sprite.Page()->Texture()->IsValid());

    sprite.Page()->Clear(PackedToFloat(kWhite));
    sprite.Refresh();
    sprite.CentreHotspot();
    EXPECT_EQ(sprite.hotspot, (tVector2{4, 4}));
    sprite.DrawAt(100, 100);
    EXPECT_EQ(RectText(BoundingBoxOf(Frame(), kWhite)), RectText({96, 96, 105, 105}));

    // DrawWith places the pivot of the parameters at the point.
    gl->ClearBlack();
    tDrawParams params = InitDrawParams();
    params.Pivot = {4, 4};
    params.ScaleX = params.ScaleY = 2;
    sprite.DrawWith(params, 100, 100);
    EXPECT_EQ(RectText(BoundingBoxOf(Frame(), kWhite)), RectText({92, 92, 109, 109}));
}

TEST_F(Sprites, PatternSpriteCopiesItsRectangleFromASourcePage)
{
    tCapturedLog log;
    tPage source;
    source.SetSize(40, 40, pfRGBA);
    source.Clear(PackedToFloat(kBlue));
    source.SetPixel(3, 2, kRed);
    tPatternSprite sprite(*gl, &source, 6, 5, 1, 1);
    EXPECT_EQ(sprite.Page()->Width(), 8);
    EXPECT_EQ(sprite.Page()->Height(), 8);
    EXPECT_EQ(sprite.Page()->GetPixel(3, 2), kRed) << "the rectangle keeps its place";
    EXPECT_EQ(sprite.Page()->GetPixel(1, 1), kBlue);
    EXPECT_EQ(sprite.Page()->GetPixel(6, 5), kBlue);
    EXPECT_EQ(sprite.Page()->GetPixel(0, 0), 0u) << "outside the rectangle nothing is copied";
    EXPECT_EQ(sprite.Page()->GetPixel(7, 7), 0u);
    bool noted = false;
    for (const std::string& line : log.lines)
        noted = noted || line.find("Drawing tPage to tPage using slow pixel method.") != std::string::npos;
    EXPECT_TRUE(noted);

    // The upload happened: drawing shows the copied pixels.
    sprite.DrawAt(50, 50);
    const tFrame frame = Frame();
    EXPECT_EQ(RectText(BoundingBox(frame, NotBlack)), RectText({50, 50, 55, 54}));
    EXPECT_GT(CountPixels(frame, [](tPackedColor c) { return BlueOf(c) > 200; }), 10);
    EXPECT_GT(CountPixels(frame, [](tPackedColor c) { return RedOf(c) > 60; }), 0);
}

TEST_F(Sprites, SpritePageLoadsAPngWhateverItsNameAndCutsSprites)
{
    tTempDir dir;
    const std::string file = dir.File("gfxdata.dat");
    WritePicture(file);

    tSpritePage sheet(*gl, "GfxData");
    EXPECT_EQ(sheet.Name(), "GfxData");
    EXPECT_TRUE(sheet.centreHotspots);
    EXPECT_EQ(sheet.Count(), 0);
    sheet.LoadFromFile(file);
    EXPECT_EQ(sheet.FileName(), file);
    EXPECT_EQ(sheet.Page()->Width(), 64);
    EXPECT_EQ(sheet.Page()->Height(), 32);
    EXPECT_TRUE(sheet.Page()->Texture()->IsValid());

    tSpriteList collection;
    tSpriteImageRef* block = sheet.AddSprite(&collection, 2.4, 2.6, 20, 10.2);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->topLeft, (tVector2{2, 3}));
    EXPECT_EQ(block->Width(), 20);
    EXPECT_EQ(block->Height(), 10);
    EXPECT_EQ(block->hotspot, (tVector2{9.5L, 4.5L}));
    EXPECT_EQ(block->SpritePage(), &sheet);
    EXPECT_EQ(block->Page(), sheet.Page());
    ASSERT_EQ(collection.size(), 1u);
    EXPECT_EQ(collection[0], block);
    EXPECT_EQ(sheet.Count(), 1);
    EXPECT_EQ(sheet.Sprite(0), block);
    EXPECT_EQ(sheet.Sprite(1), nullptr);
    EXPECT_EQ(sheet.Sprite(-1), nullptr);

    // The sprite draws exactly the red block of the picture, centred.
    block->DrawAt(100, 100);
    tFrame frame = Frame();
    const tRect red = BoundingBoxOf(frame, kRed, 40);
    EXPECT_EQ(RectText(red), RectText({90, 96, 109, 105})) << "hotspot (9.5, 4.5) rounds to (10, 4)";
    EXPECT_EQ(CountPixels(frame, [](tPackedColor c) { return BlueOf(c) > 128; }), 0)
        << "nothing of the blue around it";

    sheet.centreHotspots = false;
    tSpriteImageRef* corner = sheet.AddSprite(nullptr, 0, 0, 8, 8);
    ASSERT_NE(corner, nullptr);
    EXPECT_EQ(corner->hotspot, (tVector2{0, 0}));
    EXPECT_EQ(sheet.Count(), 2);
    sheet.Clear();
    EXPECT_EQ(sheet.Count(), 0);
}

TEST_F(Sprites, AMissingPictureLeavesAPageThatDrawsNothing)
{
    tCapturedLog log;
    tSpritePage sheet(*gl, "GfxData");
    sheet.LoadFromFile("/nonexistent/gfxdata.dat");
    EXPECT_TRUE(log.FileContains("Could not open file \"/nonexistent/gfxdata.dat\""));
    tSpriteImageRef* sprite = sheet.AddSprite(nullptr, 1, 1, 250, 72);
    ASSERT_NE(sprite, nullptr);
    sprite->DrawAt(100, 100);
    sprite->DrawWith(InitDrawParams(), 100, 100);
    EXPECT_EQ(CountPixels(Frame(), NotBlack), 0);
}

TEST_F(Sprites, ASpriteThatCannotBeMadeIsReported)
{
    tCapturedLog log;
    tOutOfMemorySpritePage sheet(*gl, "tight");
    tSpriteList collection;
    EXPECT_EQ(sheet.AddSprite(&collection, 0, 0, 4, 4), nullptr);
    EXPECT_TRUE(log.FileContains("Could not allocate sprite object!"));
    EXPECT_TRUE(log.FileContains("Could not assign sprite to collection as it is not assigned!"));
    EXPECT_TRUE(collection.empty());
    EXPECT_EQ(sheet.Count(), 0);
}
