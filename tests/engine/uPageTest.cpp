// Pages: layout, pixel access, fills and copies, the drawing slots, PNG and
// BMP files, bitmap import and text. PNG files are made here with libpng's
// own writer, BMP files are read back by a reader of the test's own.
#include "uAssert.h"
#include "uPage.h"

#include "TestUtil.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

std::vector<uint8_t> BufferOf(const tPage& page)
{
    if (!page.Pixels())
        return {};
    return {page.Pixels(), page.Pixels() + page.PixelCount()};
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// ---- A PNG writer on libpng's classic interface, for every colour type.

struct tPngFile {
    uint32_t width = 0;
    uint32_t height = 0;
    int colorType = PNG_COLOR_TYPE_RGBA;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::vector<uint8_t>> rows; // file-format rows (packed samples, 16-bit big-endian)
    std::vector<png_color> palette;
    std::vector<uint8_t> paletteAlpha; // tRNS of a palette picture
    bool colourKeyed = false;          // tRNS of a grey or RGB picture: this colour is transparent
    png_color_16 colourKey{};
};

// Plain data only in the frame that calls setjmp.
bool WritePngRaw(FILE* file, const tPngFile* picture, png_bytep* rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, picture->width, picture->height, picture->bitDepth, picture->colorType,
                 picture->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!picture->palette.empty())
        png_set_PLTE(png, info, picture->palette.data(), static_cast<int>(picture->palette.size()));
    if (!picture->paletteAlpha.empty())
        png_set_tRNS(png, info, picture->paletteAlpha.data(), static_cast<int>(picture->paletteAlpha.size()), nullptr);
    if (picture->colourKeyed)
        png_set_tRNS(png, info, nullptr, 0, &picture->colourKey);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

void WritePng(const std::string& path, tPngFile picture)
{
    std::vector<png_bytep> rows;
    for (auto& row : picture.rows)
        rows.push_back(row.data());
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const bool ok = WritePngRaw(file, &picture, rows.data());
    std::fclose(file);
    ASSERT_TRUE(ok);
}

// 3 × 2 RGBA picture with six different pixels, some translucent.
const tPackedColor kRgbaPixels[2][3] = {
    {PackRGBA(255, 0, 0, 255), PackRGBA(0, 255, 0, 128), PackRGBA(0, 0, 255, 0)},
    {PackRGBA(10, 20, 30, 40), PackRGBA(200, 100, 50, 255), PackRGBA(1, 2, 3, 4)},
};

std::string WriteRgbaPicture(const tTempDir& dir, const std::string& name = "rgba.png")
{
    tPngFile f;
    f.width = 3;
    f.height = 2;
    for (const auto& line : kRgbaPixels) {
        std::vector<uint8_t> row;
        for (tPackedColor c : line)
            row.insert(row.end(), {RedOf(c), GreenOf(c), BlueOf(c), AlphaOf(c)});
        f.rows.push_back(row);
    }
    WritePng(dir.File(name), f);
    return dir.File(name);
}

// ---- A BMP reader: the two headers and the pixel rows.

uint32_t U32At(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t U16At(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

class tRecordingPage : public tPage {
public:
    int DrawEx(const tRect& source, const tVector2& position, const tDrawParams& params) override
    {
        lastSource = source;
        lastPosition = position;
        lastScale = params.ScaleX;
        return 7;
    }
    tRect lastSource;
    tVector2 lastPosition;
    double lastScale = 0;
};

} // namespace

// ---------------------------------------------------------------------------
// Layout

TEST(Page, NewPageIsEmptyAndNamed)
{
    tPage page;
    EXPECT_EQ(page.Name(), "unnamed page");
    EXPECT_EQ(page.Pixels(), nullptr);
    EXPECT_EQ(page.Width(), 0);
    EXPECT_EQ(page.Height(), 0);
    EXPECT_EQ(page.PixelCount(), 0);
    EXPECT_EQ(page.GetPixel(0, 0), 0u);
}

TEST(Page, StrideHoldsAMultipleOfFourPixels)
{
    tPage page;
    page.SetSize(5, 3, pfRGBA, false);
    EXPECT_EQ(page.BitsPerPixel(), 32);
    EXPECT_EQ(page.Stride(), 32);
    EXPECT_EQ(page.PixelCount(), 96);
    EXPECT_EQ(page.PixelIndex(1, 2), 17);
    EXPECT_EQ(page.PixelIndex(4, 2), 20);
    EXPECT_EQ(page.PixelIndex(5, 0), -1) << "padding pixels are outside the page";
    EXPECT_EQ(page.PixelIndex(0, 3), -1);
    EXPECT_EQ(page.PixelIndex(-1, 0), -1);
    // Pixel (x, y) starts at byte y * stride + x * 4, R first.
    page.SetPixel(1, 2, PackRGBA(11, 22, 33, 44));
    const uint8_t* p = page.Pixels() + 2 * 32 + 1 * 4;
    EXPECT_EQ(p[0], 11);
    EXPECT_EQ(p[1], 22);
    EXPECT_EQ(p[2], 33);
    EXPECT_EQ(p[3], 44);

    struct Case {
        uint8_t format;
        int32_t bits;
        int32_t stride;
    };
    for (const Case c : {Case{pf8, 8, 8}, Case{pf16, 16, 16}, Case{pfBGRA, 32, 32}, Case{pfFloat4, 128, 128},
                         Case{0, 0, 0}, Case{9, 0, 0}}) {
        page.SetSize(5, 3, c.format, false);
        EXPECT_EQ(page.Format(), c.format);
        EXPECT_EQ(page.BitsPerPixel(), c.bits) << int(c.format);
        EXPECT_EQ(page.Stride(), c.stride) << int(c.format);
        EXPECT_EQ(page.PixelCount(), 3 * c.stride);
        EXPECT_EQ(page.Pixels() == nullptr, c.stride == 0);
    }
    page.SetSize(8, 1, pfRGBA, false);
    EXPECT_EQ(page.Stride(), 32) << "a width that is a multiple of 4 needs no padding";
}

TEST(Page, SetSizeStartsFromZeroPixelsAndLogsTheName)
{
    tCapturedLog log;
    LogFileLevel = 4;
    tPage page;
    page.SetName("keyframe 3");
    page.SetSize(4, 4, pfRGBA, false);
    page.Clear({9, 9, 9, 9});
    page.SetSize(6, 2, pfRGBA, true);
    EXPECT_EQ(page.Width(), 6);
    EXPECT_EQ(page.Height(), 2);
    for (uint8_t b : BufferOf(page))
        ASSERT_EQ(b, 0);
    EXPECT_EQ(log.FileCount("Resizing page \"keyframe 3\""), 2);

    page.SetSize(0, 0, pfRGBA, false);
    EXPECT_EQ(page.Pixels(), nullptr);
    EXPECT_EQ(page.GetPixel(0, 0), 0u);
    tFloatColor untouched{1, 2, 3, 4};
    page.GetPixelF(0, 0, untouched);
    EXPECT_EQ(untouched, (tFloatColor{1, 2, 3, 4}));
    page.SetPixel(0, 0, 0xFFFFFFFFu); // must not write anywhere
    page.Clear({1, 1, 1, 1});

    page.SetSize(-3, 2, pfRGBA, false);
    EXPECT_EQ(page.Pixels(), nullptr) << "a negative size is taken as empty";
    EXPECT_EQ(page.Width(), 0);
}

// ---------------------------------------------------------------------------
// Pixel access

TEST(Page, BgraStoresBlueFirstAndReadsBackThePackedColour)
{
    tPage page;
    page.SetSize(2, 2, pfBGRA, false);
    const tPackedColor c = PackRGBA(0x11, 0x22, 0x33, 0x44);
    page.SetPixel(1, 1, c);
    EXPECT_EQ(page.GetPixel(1, 1), c);
    const uint8_t* p = page.Pixels() + page.Stride() + 4;
    EXPECT_EQ(p[0], 0x33);
    EXPECT_EQ(p[1], 0x22);
    EXPECT_EQ(p[2], 0x11);
    EXPECT_EQ(p[3], 0x44);

    page.SetPixelF(0, 0, {200.9f, 100, 50, 255});
    tFloatColor f;
    page.GetPixelF(0, 0, f);
    EXPECT_EQ(f, (tFloatColor{200, 100, 50, 255}));
    EXPECT_EQ(page.Pixels()[0], 50);
}

TEST(Page, PackingClampsOutOfRangeComponents)
{
    // Components beyond 0..255 saturate; they never wrap around (300 must not become 44).
    tPage page;
    page.SetSize(1, 1, pfRGBA, false);
    page.SetPixelF(0, 0, {300, -20, 254.99f, 1000});
    EXPECT_EQ(page.GetPixel(0, 0), PackRGBA(255, 0, 254, 255));
}

TEST(Page, Float4KeepsUnclampedFloats)
{
    tPage page;
    page.SetSize(3, 2, pfFloat4, false);
    page.SetPixelF(2, 1, {300, -5, 1.5f, 255});
    tFloatColor f;
    page.GetPixelF(2, 1, f);
    EXPECT_EQ(f, (tFloatColor{300, -5, 1.5f, 255}));
    EXPECT_EQ(page.GetPixel(2, 1), PackRGBA(255, 0, 1, 255));
    float stored[4];
    std::memcpy(stored, page.Pixels() + page.Stride() + 2 * 16, sizeof stored);
    EXPECT_EQ(stored[0], 300);
    EXPECT_EQ(stored[1], -5);

    page.SetPixel(0, 0, PackRGBA(1, 2, 3, 4));
    page.GetPixelF(0, 0, f);
    EXPECT_EQ(f, (tFloatColor{1, 2, 3, 4}));
}

TEST(Page, FormatsWithoutPixelAccessAndOutsidePositionsAreIgnored)
{
    for (uint8_t format : {pf8, pf16}) {
        tPage page;
        page.SetSize(4, 2, format, false);
        page.SetPixel(1, 1, 0xFFFFFFFFu);
        page.SetPixelF(1, 1, {255, 255, 255, 255});
        page.BlendPixel(1, 1, {255, 255, 255, 255});
        page.Clear({255, 255, 255, 255});
        for (uint8_t b : BufferOf(page))
            ASSERT_EQ(b, 0);
        EXPECT_EQ(page.GetPixel(1, 1), 0u);
        tFloatColor f{7, 7, 7, 7};
        page.GetPixelF(1, 1, f);
        EXPECT_EQ(f, (tFloatColor{7, 7, 7, 7}));
    }
    for (uint8_t format : {pfRGBA, pfBGRA, pfFloat4}) {
        tPage page;
        page.SetSize(5, 3, format, false);
        for (auto [x, y] : {std::pair{-1, 0}, {5, 0}, {7, 0}, {0, 3}, {0, -1}, {-100000, 100000}}) {
            page.SetPixel(x, y, 0xFFFFFFFFu);
            page.SetPixelF(x, y, {255, 255, 255, 255});
            page.BlendPixel(x, y, {255, 255, 255, 255});
            EXPECT_EQ(page.GetPixel(x, y), 0u);
        }
        for (uint8_t b : BufferOf(page))
            ASSERT_EQ(b, 0) << "format " << int(format);
    }
}

TEST(Page, BlendPixel)
{
    tPage page;
    page.SetSize(3, 1, pfRGBA, false);
    page.SetPixel(0, 0, PackRGBA(100, 50, 0, 40));
    page.BlendPixel(0, 0, {255, 255, 255, 0});
    EXPECT_EQ(page.GetPixel(0, 0), PackRGBA(100, 50, 0, 40)) << "alpha 0 keeps colour and alpha";

    page.SetPixel(1, 0, PackRGBA(100, 50, 0, 40));
    page.BlendPixel(1, 0, {7, 8, 9, 255});
    EXPECT_EQ(page.GetPixel(1, 0), PackRGBA(7, 8, 9, 255)) << "alpha 255 replaces and is opaque";

    // t = 128/255: R = round((100*127 + 200*128)/255) = round(150.2) = 150,
    // G = round((50*127 + 150*128)/255) = round(100.2) = 100, B = 128,
    // alpha = 255 - 127*215/255 = 147.9, truncated when packed.
    page.SetPixel(2, 0, PackRGBA(100, 50, 0, 40));
    page.BlendPixel(2, 0, {200, 150, 255, 128});
    EXPECT_EQ(page.GetPixel(2, 0), PackRGBA(150, 100, 128, 147));
}

// ---------------------------------------------------------------------------
// Fills and copies

TEST(Page, ClearOnRgbaWritesThePaddingToo)
{
    tPage page;
    page.SetSize(5, 3, pfRGBA, false);
    page.Clear({10, 20, 30, 255});
    const tPackedColor expected = PackRGBA(10, 20, 30, 255);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(page.Words()[i], expected) << "word " << i;

    page.SetSize(5, 3, pfFloat4, false);
    page.Clear({1.5f, 2, 3, 4});
    tFloatColor f;
    page.GetPixelF(4, 2, f);
    EXPECT_EQ(f, (tFloatColor{1.5f, 2, 3, 4}));
    float padding[4];
    std::memcpy(padding, page.Pixels() + 5 * 16, sizeof padding);
    EXPECT_EQ(padding[0], 0) << "other formats clear only the page's own pixels";
}

TEST(Page, TransparentPixelsBesideVisibleOnesTakeTheirColour)
{
    tPage page;
    page.SetSize(5, 5, pfRGBA);
    const tPackedColor rim = PackRGBA(200, 100, 50, 40);
    page.SetPixel(2, 2, rim);
    page.SetPixel(4, 4, PackRGBA(9, 9, 9, 0)); // transparent already, alone
    page.BleedIntoTransparentEdges();
    EXPECT_EQ(page.GetPixel(2, 2), rim);
    for (const auto& [x, y] : {std::pair{1, 2}, {3, 2}, {2, 1}, {2, 3}})
        EXPECT_EQ(page.GetPixel(x, y), PackRGBA(200, 100, 50, 0)) << x << "," << y;
    // Diagonal and farther pixels stay as they were: colours spread one ring only.
    EXPECT_EQ(page.GetPixel(1, 1), 0u);
    EXPECT_EQ(page.GetPixel(0, 2), 0u);
    EXPECT_EQ(page.GetPixel(4, 4), PackRGBA(9, 9, 9, 0));
}

TEST(Page, HLineAndFillRectTakeEitherOrderAndClip)
{
    const tPackedColor ink = PackRGBA(1, 2, 3, 255);
    const tFloatColor inkF = PackedToFloat(ink);
    tPage page;
    page.SetSize(5, 3, pfRGBA, false);
    page.HLine(3, 1, inkF, -2);
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(page.GetPixel(x, 1), x <= 3 ? ink : 0u) << x;
    EXPECT_EQ(page.GetPixel(0, 0), 0u);
    EXPECT_EQ(page.Words()[5 + 8], 0u) << "a clipped line stops at the page, not at the padding";

    page.Clear({});
    page.FillRect(4, 2, inkF, 0, 2); // x from 4 to 2, y from 2 to 0
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(page.GetPixel(x, y), x >= 2 ? ink : 0u) << x << "," << y;

    page.Clear({});
    page.FillRect(-1000000000, 1, inkF, 1000000000, 1000000000); // clipped to rows 1..2
    EXPECT_EQ(page.GetPixel(0, 0), 0u);
    EXPECT_EQ(page.GetPixel(0, 1), ink);
    EXPECT_EQ(page.GetPixel(4, 2), ink);
}

TEST(Page, CopyToPageSlowConvertsFormats)
{
    tCapturedLog log;
    LogFileLevel = 3;
    tPage source;
    source.SetSize(3, 2, pfRGBA, false);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            source.SetPixel(x, y, kRgbaPixels[y][x]);

    tPage bgra;
    bgra.SetSize(4, 4, pfBGRA, false);
    source.CopyToPageSlow({1, 0, 2, 1}, bgra, 2, 1); // 2 x 2 block to (2, 1)
    EXPECT_EQ(bgra.GetPixel(2, 1), kRgbaPixels[0][1]);
    EXPECT_EQ(bgra.GetPixel(3, 1), kRgbaPixels[0][2]);
    EXPECT_EQ(bgra.GetPixel(2, 2), kRgbaPixels[1][1]);
    EXPECT_EQ(bgra.GetPixel(3, 2), kRgbaPixels[1][2]);
    EXPECT_EQ(bgra.GetPixel(1, 1), 0u);
    EXPECT_EQ(bgra.GetPixel(2, 3), 0u);
    EXPECT_EQ(bgra.Pixels()[bgra.Stride() + 2 * 4], 0) << "memory order B, G, R: blue of (0, 255, 0)";
    EXPECT_EQ(log.FileCount("Drawing tPage to tPage using slow pixel method."), 1);

    tPage floats;
    floats.SetSize(3, 2, pfFloat4, false);
    bgra.CopyToPageSlow({2, 1, 3, 2}, floats, 0, 0);
    tFloatColor f;
    floats.GetPixelF(1, 1, f);
    EXPECT_EQ(f, PackedToFloat(kRgbaPixels[1][2]));

    // Source pixels outside the page are skipped, not filled with a stale colour.
    tPage target;
    target.SetSize(5, 5, pfRGBA, false);
    target.Clear({9, 9, 9, 9});
    source.CopyToPageSlow({-2, -1, 4, 2}, target, 0, 0);
    EXPECT_EQ(target.GetPixel(0, 0), PackRGBA(9, 9, 9, 9));
    EXPECT_EQ(target.GetPixel(1, 1), PackRGBA(9, 9, 9, 9));
    EXPECT_EQ(target.GetPixel(2, 1), kRgbaPixels[0][0]);
    EXPECT_EQ(target.GetPixel(4, 2), kRgbaPixels[1][2]);
    EXPECT_EQ(target.GetPixel(4, 1), kRgbaPixels[0][2]);
    EXPECT_EQ(target.GetPixel(2, 3), PackRGBA(9, 9, 9, 9)) << "row 2 of the source does not exist";
}

// ---------------------------------------------------------------------------
// Drawing slots

TEST(Page, DrawingSlotsOfAMemoryPage)
{
    tPage page;
    page.SetSize(4, 3, pfRGBA, false);
    try {
        page.DrawRect({0, 0, 1, 1}, 0, 0);
        FAIL() << "DrawRect must fail its assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), "NIY");
        EXPECT_EQ(e.Unit(), "uPage");
        EXPECT_EQ(e.Line(), 803);
    }
    const tDrawParams params = InitDrawParams();
    EXPECT_THROW(page.Draw({}, params), std::logic_error);
    EXPECT_THROW(page.DrawEx({0, 0, 1, 1}, {}, params), std::logic_error);
    EXPECT_THROW(page.DrawPolygon({}, {{0, 0}}, {{0, 0}}, params), std::logic_error);

    tRecordingPage derived;
    derived.SetSize(7, 5, pfRGBA, false);
    tPage& asPage = derived;
    tDrawParams p = InitDrawParams();
    p.ScaleX = 2.5;
    EXPECT_EQ(asPage.Draw({3, 4}, p), 7);
    EXPECT_EQ(derived.lastSource, (tRect{0, 0, 6, 4}));
    EXPECT_EQ(derived.lastPosition, (tVector2{3, 4}));
    EXPECT_EQ(derived.lastScale, 2.5);
}

TEST(Page, InitDrawParamsIsZeroWithUnitScales)
{
    const tDrawParams p = InitDrawParams();
    EXPECT_EQ(p.ScaleX, 1.0);
    EXPECT_EQ(p.ScaleY, 1.0);
    EXPECT_EQ(p.Angle, 0.0);
    EXPECT_EQ(p.Pivot, (tVector2{0, 0}));
    EXPECT_EQ(p.BlendMode, 0);
    EXPECT_EQ(p.Alpha, 0.0);
    EXPECT_FALSE(p.Tinted);
    EXPECT_EQ(p.Tint, (tFloatColor{0, 0, 0, 0}));
}

// ---------------------------------------------------------------------------
// PNG

TEST(PagePng, RgbaIntoAnEmptyPage)
{
    tTempDir dir;
    tPage page;
    ASSERT_TRUE(page.LoadFromPng(WriteRgbaPicture(dir)));
    EXPECT_EQ(page.Format(), pfRGBA);
    EXPECT_EQ(page.Width(), 3);
    EXPECT_EQ(page.Height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(page.GetPixel(x, y), kRgbaPixels[y][x]) << x << "," << y;
}

TEST(PagePng, ColourTypesAndDepthsBecomeEightBitRgba)
{
    tTempDir dir;
    struct Case {
        std::string name;
        tPngFile file;
        std::vector<tPackedColor> expected; // row by row
    };
    std::vector<Case> cases;
    {
        tPngFile f;
        f.width = 2;
        f.height = 1;
        f.colorType = PNG_COLOR_TYPE_RGB;
        f.rows = {{10, 20, 30, 40, 50, 60}};
        cases.push_back({"rgb", f, {PackRGBA(10, 20, 30, 255), PackRGBA(40, 50, 60, 255)}});
    }
    {
        tPngFile f; // 2-bit palette, entries 0 and 1 translucent by tRNS, 2 opaque
        f.width = 3;
        f.height = 1;
        f.colorType = PNG_COLOR_TYPE_PALETTE;
        f.bitDepth = 2;
        f.palette = {{255, 0, 0}, {0, 128, 0}, {1, 2, 3}};
        f.paletteAlpha = {0, 77};
        f.rows = {{0b00'01'10'00}}; // indexes 0, 1, 2
        cases.push_back({"palette", f, {PackRGBA(255, 0, 0, 0), PackRGBA(0, 128, 0, 77), PackRGBA(1, 2, 3, 255)}});
    }
    {
        tPngFile f; // RGB with a transparent colour key
        f.width = 2;
        f.height = 1;
        f.colorType = PNG_COLOR_TYPE_RGB;
        f.colourKeyed = true;
        f.colourKey.red = 40;
        f.colourKey.green = 50;
        f.colourKey.blue = 60;
        f.rows = {{10, 20, 30, 40, 50, 60}};
        cases.push_back({"rgbkey", f, {PackRGBA(10, 20, 30, 255), PackRGBA(40, 50, 60, 0)}});
    }
    {
        tPngFile f;
        f.width = 2;
        f.height = 2;
        f.colorType = PNG_COLOR_TYPE_GRAY;
        f.rows = {{0, 90}, {180, 255}};
        cases.push_back({"grey", f,
                         {PackRGBA(0, 0, 0), PackRGBA(90, 90, 90), PackRGBA(180, 180, 180), PackRGBA(255, 255, 255)}});
    }
    {
        tPngFile f; // 2-bit grey: levels 0..3 scale to 0, 85, 170, 255
        f.width = 4;
        f.height = 1;
        f.colorType = PNG_COLOR_TYPE_GRAY;
        f.bitDepth = 2;
        f.rows = {{0b11'10'01'00}};
        cases.push_back({"grey2", f,
                         {PackRGBA(255, 255, 255), PackRGBA(170, 170, 170), PackRGBA(85, 85, 85), PackRGBA(0, 0, 0)}});
    }
    {
        tPngFile f;
        f.width = 2;
        f.height = 1;
        f.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
        f.rows = {{100, 0, 200, 150}};
        cases.push_back({"greyalpha", f, {PackRGBA(100, 100, 100, 0), PackRGBA(200, 200, 200, 150)}});
    }
    {
        // 16-bit samples 256k + 3: the high byte k is the 8-bit value, the low byte must not leak through.
        tPngFile f;
        f.width = 2;
        f.height = 1;
        f.bitDepth = 16;
        f.rows = {{10, 3, 20, 3, 30, 3, 40, 3, 120, 3, 0, 3, 131, 3, 255, 255}};
        cases.push_back({"rgba16", f, {PackRGBA(10, 20, 30, 40), PackRGBA(120, 0, 131, 255)}});
    }
    {
        tPngFile f; // 16-bit grey
        f.width = 1;
        f.height = 1;
        f.colorType = PNG_COLOR_TYPE_GRAY;
        f.bitDepth = 16;
        f.rows = {{77, 3}};
        cases.push_back({"grey16", f, {PackRGBA(77, 77, 77)}});
    }
    {
        tPngFile f; // interlaced 9 x 9 RGB, each pixel its own colour
        f.width = 9;
        f.height = 9;
        f.colorType = PNG_COLOR_TYPE_RGB;
        f.interlaced = true;
        std::vector<tPackedColor> expected;
        for (int y = 0; y < 9; ++y) {
            std::vector<uint8_t> row;
            for (int x = 0; x < 9; ++x) {
                row.insert(row.end(), {uint8_t(x * 20), uint8_t(y * 25), uint8_t(x + y)});
                expected.push_back(PackRGBA(uint8_t(x * 20), uint8_t(y * 25), uint8_t(x + y)));
            }
            f.rows.push_back(row);
        }
        cases.push_back({"interlaced", f, expected});
    }

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name + ".png");
        WritePng(path, c.file);
        tPage page;
        ASSERT_TRUE(page.LoadFromPng(path));
        ASSERT_EQ(page.Width(), static_cast<int32_t>(c.file.width));
        ASSERT_EQ(page.Height(), static_cast<int32_t>(c.file.height));
        for (int32_t y = 0; y < page.Height(); ++y)
            for (int32_t x = 0; x < page.Width(); ++x)
                EXPECT_EQ(page.GetPixel(x, y), c.expected[static_cast<size_t>(y * page.Width() + x)])
                    << x << "," << y;
    }
}

TEST(PagePng, APageWithABufferKeepsItsSizeAndFormat)
{
    tTempDir dir;
    const std::string path = WriteRgbaPicture(dir); // 3 x 2
    const tPackedColor background = PackRGBA(5, 5, 5, 5);

    tPage small;
    small.SetSize(2, 1, pfRGBA, false);
    ASSERT_TRUE(small.LoadFromPng(path));
    EXPECT_EQ(small.Width(), 2);
    EXPECT_EQ(small.Height(), 1);
    EXPECT_EQ(small.GetPixel(0, 0), kRgbaPixels[0][0]);
    EXPECT_EQ(small.GetPixel(1, 0), kRgbaPixels[0][1]);
    EXPECT_EQ(small.Words()[2], 0u) << "nothing reaches the padding";

    tPage large;
    large.SetSize(5, 4, pfBGRA, false);
    large.Clear(PackedToFloat(background));
    ASSERT_TRUE(large.LoadFromPng(path));
    EXPECT_EQ(large.Width(), 5);
    EXPECT_EQ(large.Format(), pfBGRA);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(large.GetPixel(x, y), (x < 3 && y < 2) ? kRgbaPixels[y][x] : background) << x << "," << y;
    EXPECT_EQ(large.Pixels()[0], 0) << "blue first in a BGRA page";
    EXPECT_EQ(large.Pixels()[2], 255);
}

TEST(PagePng, RefusedFilesLeaveThePageUnchanged)
{
    tTempDir dir;
    tCapturedLog log;
    const std::string good = WriteRgbaPicture(dir);
    const std::vector<uint8_t> goodBytes = ReadBytes(good);
    ASSERT_GT(goodBytes.size(), 60u);

    std::vector<uint8_t> truncated(goodBytes.begin(), goodBytes.begin() + static_cast<long>(goodBytes.size() / 2));
    WriteBytes(dir.File("truncated.png"), truncated);
    std::vector<uint8_t> noEnd(goodBytes.begin(), goodBytes.end() - 12); // the image data without IEND
    WriteBytes(dir.File("noend.png"), noEnd);
    WriteBytes(dir.File("garbage.png"), {'G', 'I', 'F', '8', '9', 'a', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    WriteBytes(dir.File("short.png"), {0x89, 'P', 'N'});
    std::vector<uint8_t> corrupt = goodBytes;
    corrupt[45] ^= 0xFF; // inside the image data: its checksum no longer matches
    WriteBytes(dir.File("corrupt.png"), corrupt);
    tPage bitmapSource;
    bitmapSource.SetSize(2, 2, pfRGBA, false);
    ASSERT_TRUE(bitmapSource.SaveToBitmapFile(dir.File("picture.bmp")));
    std::filesystem::create_directory(dir.File("folder.png"));

    for (const std::string name : {"truncated.png", "noend.png", "garbage.png", "short.png", "corrupt.png",
                                   "picture.bmp"}) {
        SCOPED_TRACE(name);
        for (bool withBuffer : {false, true}) {
            tPage page;
            if (withBuffer) {
                page.SetSize(4, 4, pfRGBA, false);
                page.Clear({1, 2, 3, 4});
            }
            const std::vector<uint8_t> before = BufferOf(page);
            const size_t warningsBefore = log.lines.size();
            EXPECT_FALSE(page.LoadFromPng(dir.File(name)));
            EXPECT_EQ(BufferOf(page), before);
            EXPECT_EQ(page.Width(), withBuffer ? 4 : 0);
            ASSERT_EQ(log.lines.size(), warningsBefore + 1);
            EXPECT_NE(log.lines.back().find("\"" + dir.File(name) + "\""), std::string::npos) << log.lines.back();
        }
    }

    // A missing file (or a folder) is simply not there: false, no warning, page unchanged.
    tPage page;
    page.SetSize(2, 2, pfRGBA, false);
    page.Clear({1, 2, 3, 4});
    const std::vector<uint8_t> before = BufferOf(page);
    const size_t warningsBefore = log.lines.size();
    EXPECT_FALSE(page.LoadFromPng(dir.File("missing.png")));
    EXPECT_FALSE(page.LoadFromPng(dir.File("folder.png")));
    EXPECT_EQ(BufferOf(page), before);
    EXPECT_EQ(log.lines.size(), warningsBefore);
}

namespace {
// A PNG of a header and one small image-data chunk, with correct checksums,
// claiming any size.
std::vector<uint8_t> PngClaiming(uint32_t width, uint32_t height)
{
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto chunk = [&](const char* type, std::vector<uint8_t> data) {
        auto put32 = [&](uint32_t v) {
            for (int s = 24; s >= 0; s -= 8)
                out.push_back(static_cast<uint8_t>(v >> s));
        };
        put32(static_cast<uint32_t>(data.size()));
        std::vector<uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        out.insert(out.end(), body.begin(), body.end());
        put32(static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
    };
    std::vector<uint8_t> ihdr;
    for (uint32_t v : {width, height})
        for (int s = 24; s >= 0; s -= 8)
            ihdr.push_back(static_cast<uint8_t>(v >> s));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA
    chunk("IHDR", ihdr);
    chunk("IDAT", {0x78, 0x9C, 0x63, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01});
    chunk("IEND", {});
    return out;
}
} // namespace

TEST(PagePng, AbsurdSizesAreRefusedBeforeAnyPixelMemory)
{
    tTempDir dir;
    tCapturedLog log;
    WriteBytes(dir.File("huge.png"), PngClaiming(100000, 100000));
    WriteBytes(dir.File("big.png"), PngClaiming(16000, 16000)); // allowed size, but a 100-byte file cannot hold it
    tPage page;
    EXPECT_FALSE(page.LoadFromPng(dir.File("huge.png")));
    ASSERT_FALSE(log.lines.empty());
    EXPECT_NE(log.lines.back().find("100000 x 100000 pixels is too large"), std::string::npos) << log.lines.back();
    EXPECT_FALSE(page.LoadFromPng(dir.File("big.png")));
    EXPECT_NE(log.lines.back().find("cannot fit"), std::string::npos) << log.lines.back();
    EXPECT_EQ(page.Pixels(), nullptr);
}

TEST(PagePng, SavedPicturesLoadBackFromEveryFormat)
{
    tTempDir dir;
    for (uint8_t format : {pfRGBA, pfBGRA, pfFloat4}) {
        SCOPED_TRACE(int(format));
        tPage page;
        page.SetSize(3, 2, format, false);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                page.SetPixel(x, y, kRgbaPixels[y][x]);
        const std::string path = dir.File("saved" + std::to_string(format) + ".png");
        ASSERT_TRUE(page.SaveToPngFile(path));
        tPage back;
        ASSERT_TRUE(back.LoadFromPng(path));
        EXPECT_EQ(back.Width(), 3);
        EXPECT_EQ(back.Height(), 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(back.GetPixel(x, y), kRgbaPixels[y][x]);
    }
    tCapturedLog log;
    tPage empty;
    EXPECT_FALSE(empty.SaveToPngFile(dir.File("empty.png")));
    tPage bytes;
    bytes.SetSize(2, 2, pf8, false);
    EXPECT_FALSE(bytes.SaveToPngFile(dir.File("bytes.png")));
    tPage fine;
    fine.SetSize(2, 2, pfRGBA, false);
    EXPECT_FALSE(fine.SaveToPngFile(dir.File("no/such/folder.png")));
    EXPECT_EQ(log.lines.size(), 3u);
}

// ---------------------------------------------------------------------------
// BMP, bitmap import, text

TEST(PageBitmap, SavesA32BitBottomUpBitmap)
{
    tTempDir dir;
    tPage page;
    page.SetSize(3, 2, pfRGBA, false);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            page.SetPixel(x, y, kRgbaPixels[y][x]);
    const std::string path = dir.File("page.bmp");
    ASSERT_TRUE(page.SaveToBitmapFile(path));
    const std::vector<uint8_t> b = ReadBytes(path);
    ASSERT_EQ(b.size(), 54u + 3 * 2 * 4);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32At(b, 2), b.size());
    EXPECT_EQ(U32At(b, 10), 54u);
    EXPECT_EQ(U32At(b, 14), 40u);
    EXPECT_EQ(static_cast<int32_t>(U32At(b, 18)), 3);
    EXPECT_EQ(static_cast<int32_t>(U32At(b, 22)), 2) << "positive height: bottom row first";
    EXPECT_EQ(U16At(b, 26), 1);
    EXPECT_EQ(U16At(b, 28), 32);
    EXPECT_EQ(U32At(b, 30), 0u) << "uncompressed";
    for (int fileRow = 0; fileRow < 2; ++fileRow) {
        for (int x = 0; x < 3; ++x) {
            const tPackedColor c = kRgbaPixels[1 - fileRow][x];
            const size_t at = 54 + static_cast<size_t>(fileRow * 3 + x) * 4;
            EXPECT_EQ(b[at + 0], BlueOf(c));
            EXPECT_EQ(b[at + 1], GreenOf(c));
            EXPECT_EQ(b[at + 2], RedOf(c));
            EXPECT_EQ(b[at + 3], 0) << "alpha is dropped";
        }
    }

    tCapturedLog log;
    tPage empty;
    EXPECT_FALSE(empty.SaveToBitmapFile(dir.File("empty.bmp")));
    EXPECT_FALSE(page.SaveToBitmapFile(dir.File("no/such/folder.bmp")));
    EXPECT_EQ(log.lines.size(), 2u);
}

TEST(PageBitmap, LoadFromBitmapMakesAnOpaqueBgraPage)
{
    tBitmap bitmap;
    bitmap.width = 5;
    bitmap.height = 2;
    for (int i = 0; i < 10; ++i)
        bitmap.pixels.insert(bitmap.pixels.end(), {uint8_t(i), uint8_t(10 + i), uint8_t(20 + i), 0});
    tPage page;
    page.SetSize(1, 1, pfRGBA, false);
    page.LoadFromBitmap(bitmap);
    EXPECT_EQ(page.Format(), pfBGRA);
    EXPECT_EQ(page.Width(), 5);
    EXPECT_EQ(page.Height(), 2);
    EXPECT_EQ(page.Stride(), 32);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 5; ++x) {
            const int i = y * 5 + x;
            EXPECT_EQ(page.GetPixel(x, y), PackRGBA(uint8_t(20 + i), uint8_t(10 + i), uint8_t(i), 255));
            const uint8_t* p = page.Pixels() + y * page.Stride() + x * 4;
            EXPECT_EQ(p[0], i) << "rows are copied at the page's stride";
        }
    }

    for (tBitmap bad : {tBitmap{}, tBitmap{2, 2, std::vector<uint8_t>(15)}, tBitmap{-1, 2, {}}}) {
        try {
            page.LoadFromBitmap(bad);
            FAIL() << "an invalid bitmap must fail the assertion";
        } catch (const EAssertionFailed& e) {
            EXPECT_EQ(e.Unit(), "uPage");
            EXPECT_EQ(e.Line(), 1025);
        }
    }
}

TEST(PageText, DrawTextColoursOnlyTheTextBox)
{
    tFont font;
    font.pixelSize = 24;
    font.bold = true;
    font.color = PackRGBA(0, 200, 0);
    const int32_t x = 10, y = 6;
    const std::string text = "HIH";
    const tTextMask box = RenderTextMask(200, 60, x, y, font, text);
    ASSERT_GT(box.textWidth, 10);
    ASSERT_GT(box.textHeight, 10);

    tPage page;
    page.SetSize(200, 60, pfRGBA, false);
    page.Clear({0, 0, 0, 255});
    page.DrawText(x, y, font, text);
    int inked = 0, full = 0;
    for (int32_t py = 0; py < page.Height(); ++py) {
        for (int32_t px = 0; px < page.Width(); ++px) {
            const tPackedColor c = page.GetPixel(px, py);
            const bool inBox = px >= x && px <= x + box.textWidth && py >= y && py <= y + box.textHeight;
            if (!inBox) {
                ASSERT_EQ(c, PackRGBA(0, 0, 0, 255)) << px << "," << py;
                continue;
            }
            EXPECT_EQ(RedOf(c), 0);
            EXPECT_EQ(BlueOf(c), 0);
            EXPECT_EQ(AlphaOf(c), 255);
            inked += GreenOf(c) > 0;
            full += GreenOf(c) == 200;
        }
    }
    EXPECT_GT(inked, 50) << "three bold capitals at 24 pixels";
    EXPECT_GT(full, 20) << "the stems are fully covered";

    // Text running over the page's edges is clipped, not written out of bounds.
    tPage tiny;
    tiny.SetSize(6, 5, pfRGBA, false);
    tiny.DrawText(-4, -6, font, text);
    tiny.DrawText(3, 2, font, text);
    int tinyInked = 0;
    for (int32_t py = 0; py < 5; ++py)
        for (int32_t px = 0; px < 6; ++px)
            tinyInked += GreenOf(tiny.GetPixel(px, py)) > 0;
    EXPECT_GT(tinyInked, 0);
}
