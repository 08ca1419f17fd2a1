#include "uFractal.h"

#include "TestUtil.h"
#include "uAssert.h"
#include "uColorMap.h"
#include "uCpuFeatures.h"
#include "uPage.h"
#include "uRandom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

namespace {

constexpr tPackedColor kSentinel = PackRGBA(1, 2, 3, 4); // R != G: no fallback colour looks like it

struct tTestPage {
    explicit tTestPage(int32_t size)
    {
        page.SetSize(size, size, pfRGBA);
        page.Clear(PackedToFloat(kSentinel));
    }
    int Written() const
    {
        int n = 0;
        for (int32_t y = 0; y < page.Height(); ++y)
            for (int32_t x = 0; x < page.Width(); ++x)
                n += page.GetPixel(x, y) != kSentinel;
        return n;
    }
    tPage page;
};

/// A back end whose count is a function of c, so that tests choose the
/// colours of a batch exactly: four double lanes, like "FLT64 FPU".
std::function<int32_t(double re, double im)> gCountOf;

int32_t FunctionBackEnd(tFractalPackedData& block)
{
    for (int32_t lane = 0; lane < block.Lanes(); ++lane)
        block.SetCount(lane, gCountOf(block.ReadValue(lane, kRowCRe), block.ReadValue(lane, kRowCIm)));
    return 1;
}

class tFunctionFractal : public tFractal {
public:
    explicit tFunctionFractal(tPage* page, std::function<int32_t(double, double)> countOf) : tFractal(page)
    {
        gCountOf = std::move(countOf);
        SelectBackEnd();
    }
    void SelectBackEnd() override { SetBackEnd(FunctionBackEnd, 4, kElementDouble, "TEST FUNCTION"); }
};

std::vector<tPackedColor> PageRow(const tPage& page, int32_t y)
{
    std::vector<tPackedColor> row;
    for (int32_t x = 0; x < page.Width(); ++x)
        row.push_back(page.GetPixel(x, y));
    return row;
}

} // namespace

TEST(Fractal, CreationDefaults)
{
    tFractal bare;
    EXPECT_EQ(bare.Size(), 128);
    EXPECT_EQ(bare.Radius(), 64);
    EXPECT_EQ(bare.IterationLimit(), 1024);
    EXPECT_EQ(bare.LaneBlock().iterationLimit, 1024);
    EXPECT_EQ(bare.BackEndName(), "Not Assigned");
    EXPECT_EQ(bare.Lanes(), 0);
    EXPECT_EQ(bare.precision, 2);
    EXPECT_EQ(bare.zoom, 1.0);
    EXPECT_FALSE(bare.discMode);
    EXPECT_EQ(bare.colorMap, nullptr);
    EXPECT_EQ(bare.fallbackColour, PackRGBA(255, 255, 128, 255));
    EXPECT_EQ(bare.antiAliasing, (tAASettings{1.0f, 1, 1.0f}));
    EXPECT_EQ(bare.ScanX(), 0) << "left at the centre";
    EXPECT_EQ(bare.ScanY(), 0);
    EXPECT_EQ(bare.Page(), nullptr);
    EXPECT_EQ(bare.RenderStep(64), 0) << "no page";

    tPage page;
    page.SetSize(37, 37, pfRGBA);
    {
        tCpuFeaturesScope none({});
        tFractalMandelBrot m(&page);
        EXPECT_EQ(m.Size(), 37);
        EXPECT_EQ(m.Radius(), 19);
        EXPECT_EQ(m.RadiusSquared(), 361);
        EXPECT_EQ(m.BackEndName(), "FLT32 FPU") << "a Mandelbrot generator starts in single precision";
        EXPECT_EQ(m.Lanes(), 4);
        EXPECT_EQ(m.LaneBlock().ElementType(), kElementSingle);
    }
    try {
        bare.SetPage(nullptr);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uFractal");
        EXPECT_EQ(e.Line(), 1171);
    }
    bare.SetBackEnd(nullptr, 0, 0, std::string(300, 'n'));
    EXPECT_EQ(bare.BackEndName().size(), 255u);
}

TEST(Fractal, ScanOrderInDiscAndSquareMode)
{
    tFractal f;
    f.SetSize(8);
    f.discMode = true;
    f.zoom = 0.5;
    f.centreRe = 1.0;
    f.centreIm = -1.0;
    f.Restart();
    EXPECT_EQ(f.ProgressCount(), 0);
    std::vector<std::pair<int32_t, int32_t>> visited;
    for (int i = 0; i < 80; ++i) {
        f.AdvanceScan();
        visited.emplace_back(f.ScanX(), f.ScanY());
    }
    // Radius 4: rows -4..4 with e = Round(sqrt(16 - y^2)) = 0, 3, 3, 4, 4, 4, 3, 3, 0.
    std::vector<std::pair<int32_t, int32_t>> expected;
    const int e[] = {0, 3, 3, 4, 4, 4, 3, 3, 0};
    for (int y = -4; y <= 4; ++y) {
        const int end = e[y + 4];
        int x = -end;
        do
            expected.emplace_back(x++, y);
        while (x < end);
    }
    while (expected.size() < visited.size())
        expected.emplace_back(4, 4); // finished, and it stays there
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(f.ProgressCount(), 8 * 8 + 8);
    EXPECT_EQ(f.PointRe(), 4 / (8 * 0.5L) + 1.0L) << "the finished position keeps its last coordinates";

    // Coordinates: x / (size * zoom) + centre, in extended precision.
    f.Restart();
    f.AdvanceScan();
    EXPECT_EQ(f.ScanY(), -4);
    EXPECT_EQ(f.PointIm(), -4 / 4.0L - 1.0L);
    // A view changed in the middle of a row counts from the next pixel on.
    f.AdvanceScan();
    f.centreIm = 5.0;
    f.AdvanceScan();
    EXPECT_EQ(f.PointIm(), f.ScanY() / 4.0L + 5.0L);
    f.zoom = 2.0;
    f.AdvanceScan();
    EXPECT_EQ(f.PointIm(), f.ScanY() / 16.0L + 5.0L);
    EXPECT_EQ(f.PointRe(), f.ScanX() / 16.0L + 1.0L);
    f.zoom = 0.5;
    f.centreIm = -1.0;

    // Square mode: every row x = -radius .. radius - 1.
    f.discMode = false;
    f.Restart();
    f.AdvanceScan();
    EXPECT_EQ(f.ScanX(), -4);
    EXPECT_EQ(f.ScanY(), -4);
    for (int i = 0; i < 8; ++i)
        f.AdvanceScan();
    EXPECT_EQ(f.ScanX(), -4);
    EXPECT_EQ(f.ScanY(), -3);
    EXPECT_EQ(f.RowEnd(), 4);
}

TEST(Fractal, RenderStepWorksInWholeBatches)
{
    tTestPage target(128);
    tCpuFeaturesScope none({});
    tFractalMandelBrot f(&target.page);
    f.discMode = true;
    f.zoom = 0.25;
    f.Restart();
    EXPECT_EQ(f.RenderStep(63), 0);
    EXPECT_EQ(target.Written(), 0);
    EXPECT_EQ(f.RenderStep(64), 64);
    EXPECT_EQ(f.RenderStep(127), 64);
    const int64_t progress = f.ProgressCount();
    EXPECT_EQ(f.RenderStep(-64), 0);
    f.zoom = 0;
    EXPECT_EQ(f.RenderStep(640), 0);
    EXPECT_EQ(f.ProgressCount(), progress) << "nothing rendered";
}

TEST(Fractal, DiscModeRendersTheWholeDiscInKnownBatches)
{
    for (const auto& [size, batches, onPage] : {std::tuple{128, 201, 12845}, std::tuple{256, 805, -1}}) {
        tTestPage target(size);
        tFractalMandelBrot f(&target.page);
        f.discMode = true;
        f.zoom = 0.25;
        f.Restart();
        EXPECT_EQ(f.RenderRest(), batches * 64) << size;
        if (onPage > 0) {
            EXPECT_EQ(target.Written(), onPage);
            EXPECT_EQ(f.ProgressCount(), 16512);
            EXPECT_DOUBLE_EQ(f.Progress(), 16512.0 / 16384.0);
        }
        EXPECT_GE(f.Progress(), 1.0);
        EXPECT_EQ(f.RenderStep(6400), 0) << "complete";
        EXPECT_EQ(f.RenderRest(), 0);
        // RenderAll starts again and gives the same image.
        const std::vector<tPackedColor> row = PageRow(target.page, size / 2);
        target.page.Clear(PackedToFloat(kSentinel));
        EXPECT_EQ(f.RenderAll(), batches * 64);
        EXPECT_EQ(PageRow(target.page, size / 2), row);
    }
}

TEST(Fractal, FallbackColoursAndRimAlpha)
{
    tTestPage target(128);
    tCpuFeaturesScope none({});
    tFractalMandelBrot f(&target.page);
    f.discMode = true;
    f.zoom = 0.25; // the whole set: a pixel spans 1/32
    uint64_t sum = 0;
    f.escapeCountSum = &sum;
    f.RenderAll();

    EXPECT_EQ(f.ColourOf(1.0), PackRGBA(255, 255, 128, 255));
    EXPECT_EQ(f.ColourOf(1.0 / 1024), PackRGBA(0, 0, 0, 255)) << "a count of 1 rounds to black";
    EXPECT_EQ(f.ColourOf(0.5), PackRGBA(128, 128, 64, 255)) << "127.5 and 64 round to even";
    EXPECT_EQ(f.ColourOf(-1), PackRGBA(0, 0, 0, 255));
    EXPECT_EQ(f.ColourOf(std::nan("")), PackRGBA(0, 0, 0, 255));
    EXPECT_EQ(f.ColourOf(7), PackRGBA(255, 255, 128, 255));

    // c = 0 (inside) at the centre; c = -63/32 (inside: real orbits stay
    // within 1.99) at x = -63; c = 61/32 escapes at z2 (count 2: 255 * 2 /
    // 1024 rounds to 0).
    EXPECT_EQ(target.page.GetPixel(64, 64), PackRGBA(255, 255, 128, 255));
    EXPECT_EQ(target.page.GetPixel(1, 64), PackRGBA(255, 255, 128, 32)) << "(64 - 63) * 32";
    EXPECT_EQ(target.page.GetPixel(125, 64), PackRGBA(0, 0, 0, 96)) << "(64 - 61) * 32";
    EXPECT_EQ(target.page.GetPixel(0, 0), kSentinel) << "disc mode leaves the corners";
    EXPECT_GT(sum, 0u);

    EXPECT_EQ(f.EdgeAlpha(0, 0), 255);
    EXPECT_EQ(f.EdgeAlpha(55, 0), 255);
    EXPECT_EQ(f.EdgeAlpha(56, 0), 255) << "(64 - 56) * 32 = 256, clamped";
    EXPECT_EQ(f.EdgeAlpha(57, 0), 224);
    EXPECT_EQ(f.EdgeAlpha(-57, 0), 224);
    EXPECT_EQ(f.EdgeAlpha(0, 63), 32);
    EXPECT_EQ(f.EdgeAlpha(64, 0), 0);
    EXPECT_EQ(f.EdgeAlpha(64, 1), 0);
    EXPECT_EQ(f.EdgeAlpha(40, 40), 238) << "(64 - sqrt(3200)) * 32 = 237.8";
    EXPECT_EQ(f.EdgeAlpha(45, 40), 121) << "(64 - sqrt(3625)) * 32 = 121.3";
}

TEST(Fractal, SquareModeWritesTheCornersTransparent)
{
    tTestPage target(64);
    tFractalMandelBrot f(&target.page);
    f.zoom = 0.25;
    f.Restart();
    EXPECT_EQ(f.RenderStep(64 * 64), 64 * 64);
    EXPECT_EQ(target.Written(), 64 * 64);
    EXPECT_EQ(AlphaOf(target.page.GetPixel(0, 0)), 0);
    EXPECT_EQ(AlphaOf(target.page.GetPixel(63, 63)), 0);
    EXPECT_EQ(AlphaOf(target.page.GetPixel(32, 32)), 255);
    EXPECT_EQ(f.ProgressCount(), 64 * 64 - 1) << "the last pixel leaves the square scan one short of the end";
    EXPECT_LT(f.Progress(), 1.0);
}

TEST(Fractal, EscapeCountsAreThoseOfTheBackEnd)
{
    tCpuFeaturesScope all({true, true, true});
    tFractalMandelBrot f;
    f.precision = 3;
    f.SelectBackEnd();
    std::vector<double> re, im;
    for (int i = 0; i < 13; ++i) {
        re.push_back(-0.75 + 0.01 * i);
        im.push_back(0.1 + 0.003 * i);
    }
    std::vector<int32_t> together(13, -7);
    f.IteratePoints(re, im, 13, together);
    for (size_t i = 0; i < re.size(); ++i) {
        int32_t alone = -7;
        f.IteratePoints(std::span(&re[i], 1), std::span(&im[i], 1), 1, std::span(&alone, 1));
        EXPECT_EQ(together[i], alone) << "chunk position must not matter";
        EXPECT_GE(together[i], 0);
    }

    std::vector<int32_t> untouched(13, -7);
    f.IteratePoints(re, im, 0, untouched);
    EXPECT_EQ(untouched, std::vector<int32_t>(13, -7));
    try {
        f.IteratePoints(re, im, 14, untouched);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Unit(), "uFractal");
        EXPECT_GE(e.Line(), 1044);
        EXPECT_LE(e.Line(), 1048);
    }
}

TEST(Fractal, AntiAliasingOffChangesNothing)
{
    const auto render = [](tAASettings aa) {
        tTestPage target(96);
        tFractalMandelBrot f(&target.page);
        f.discMode = true;
        f.centreRe = -0.75;
        f.centreIm = 0.1;
        f.zoom = 8;
        f.antiAliasing = aa;
        f.RenderAll();
        std::vector<tPackedColor> all;
        for (int32_t y = 0; y < 96; ++y)
            for (tPackedColor c : PageRow(target.page, y))
                all.push_back(c);
        return all;
    };
    const auto plain = render({});
    EXPECT_EQ(render({0.0f, 1, 1.0f}), plain) << "one sample";
    EXPECT_EQ(render({1.0f, 4, 1.0f}), plain) << "threshold 1";
    EXPECT_NE(render({0.0f, 4, 1.0f}), plain) << "on: a boundary view must change";
}

TEST(Fractal, AntiAliasingSupersamplesAboveTheThreshold)
{
    // Counts of a step function of c re with limit 255: a count d is colour
    // (d, d, Round(128 d / 255)) without a map. Between 0 and 90 the squared
    // difference is 2 * 8100 + 45^2 div 9 = 16 425 > 16 384; between 0 and
    // 89 it is 15 842 + 225 = 16 067.
    for (const int32_t jump : {90, 89}) {
        tTestPage target(128);
        // Pixel x has c re = x + 0.5 (size * zoom = 1, centre 0.5), x from -64
        // in the first batch; pixels x >= -54 (batch index 10 on) count `jump`.
        tFunctionFractal f(&target.page, [jump](double re, double) { return re >= -53.75 ? jump : 0; });
        f.SetMaxIterations(255);
        f.zoom = 1.0 / 128;
        f.centreRe = 0.5;
        f.antiAliasing = {0.5f, 2, 1.0f};
        f.Restart();
        ASSERT_EQ(f.RenderStep(64), 64);
        for (int j = 0; j < 64; ++j)
            EXPECT_EQ(f.BatchFlags()[j], jump == 90 && j == 10) << "jump " << jump << " pixel " << j;
        if (jump == 90) {
            // Pixel 10 (c re = -53.5) and its sample at +0.5 (c re = -53.0):
            // both count 90, so the mean is the pixel's own colour.
            EXPECT_EQ(target.page.GetPixel(10, 0), WithAlpha(f.ColourOf(90 / 255.0), 0));
        }
    }

    // The first pixel is compared with the second; samples land half a pixel
    // (times the radius) right and down.
    tTestPage target(128);
    tFunctionFractal f(&target.page, [](double re, double) { return re < -63.25 ? 200 : (re < -62.6 ? 0 : 100); });
    f.SetMaxIterations(255);
    f.zoom = 1.0 / 128;
    f.centreRe = 0.5;
    f.antiAliasing = {0.5f, 2, 1.0f};
    f.Restart();
    f.RenderStep(64);
    // Pixel 0 (c re -63.5, 200) vs pixel 1 (-62.5, 100): flagged both ways.
    EXPECT_TRUE(f.BatchFlags()[0]);
    EXPECT_TRUE(f.BatchFlags()[1]);
    EXPECT_FALSE(f.BatchFlags()[2]);
    // Pixel 0's sample at -63.0 counts 0: mean of (200, 200, 100) and black.
    EXPECT_EQ(RedOf(target.page.GetPixel(0, 0)), 100);
    EXPECT_EQ(BlueOf(target.page.GetPixel(0, 0)), 50);
    // Pixel 1's sample at -62.0 counts 100: unchanged.
    EXPECT_EQ(RedOf(target.page.GetPixel(1, 0)), 100);
}

TEST(Fractal, TooManySamplesFailInsideTheGuard)
{
    tTestPage target(128);
    // Every pixel differs from its neighbour: all 64 are supersampled.
    tFunctionFractal f(&target.page, [](double re, double) { return static_cast<int64_t>(std::floor(re)) % 2 ? 255 : 0; });
    f.SetMaxIterations(255);
    f.zoom = 1.0 / 128;
    f.centreRe = 0.5;
    f.antiAliasing = {0.0f, 9, 1.0f};
    f.Restart();
    EXPECT_EQ(f.RenderStep(64), 64) << "9 samples: 64 * 8 = 512 fill the pool exactly";

    tCapturedLog log;
    f.antiAliasing.samples = 10; // 64 * 9 = 576 do not fit
    const int64_t before = f.ProgressCount();
    EXPECT_EQ(f.RenderStep(64), 0);
    EXPECT_TRUE(log.FileContains("Error on fractal render!"));
    EXPECT_GT(f.ProgressCount(), before) << "the scan stays where the failed step left it";

    f.SetMaxIterations(0);
    EXPECT_EQ(f.RenderStep(64), 0);
    EXPECT_EQ(log.FileCount("Error on fractal render!"), 2) << "limit 0 fails line 729";
}

TEST(Fractal, RandomSamplePatternsUseTheSharedGenerator)
{
    tTestPage target(128);
    tFunctionFractal f(&target.page, [](double re, double) { return static_cast<int64_t>(std::floor(re)) % 2 ? 255 : 0; });
    f.SetMaxIterations(255);
    f.zoom = 1.0 / 128;
    f.centreRe = 0.5;
    f.antiAliasing = {0.0f, 6, 1.0f};
    SetRandSeed(1234);
    f.Restart();
    f.RenderStep(64);
    // 64 pixels, 5 samples each, two draws per sample.
    uint32_t expected = 1234;
    for (int i = 0; i < 64 * 5 * 2; ++i)
        expected = expected * 134775813u + 1u;
    EXPECT_EQ(RandSeed(), expected);
}

TEST(Fractal, LaneTemplateFollowsLimitAndBackEnd)
{
    // The generator keeps its lane template between calls; a new limit, a new
    // back end or a template saved by someone else must not leave it stale.
    tFractalMandelBrot f;
    // c = 0.5 escapes at z5 (count 4 in the SIMD family, 5 in the scalar one).
    std::vector<double> re{0.0, 0.5, -1.0}, im{0.0, 0.0, 0.0};
    std::vector<int32_t> counts(3, -1);
    for (uint8_t precision : {2, 3, 4}) {
        f.precision = precision;
        f.SelectBackEnd();
        const int32_t shift = FindBackEnd(f.BackEndName())->family == tBackEndFamily::kScalar ? 1 : 0;
        f.SetMaxIterations(50);
        f.IteratePoints(re, im, 3, counts);
        EXPECT_EQ(counts, (std::vector<int32_t>{50, 4 + shift, 50})) << f.BackEndName();
        f.SetMaxIterations(20);
        f.IteratePoints(re, im, 3, counts);
        EXPECT_EQ(counts, (std::vector<int32_t>{20, 4 + shift, 20})) << f.BackEndName();

        // A template saved by someone else, with another limit for the SIMD family.
        f.LaneBlock().RestoreTemplate();
        f.LaneBlock().SetInt(kSlotSimdLimit, kRowSimdLimit, 5);
        f.LaneBlock().SaveTemplate();
        f.IteratePoints(re, im, 3, counts);
        EXPECT_EQ(counts, (std::vector<int32_t>{20, 4 + shift, 20})) << f.BackEndName();
    }
}

TEST(Fractal, BackEndChoiceByPrecisionAndProcessor)
{
    struct tCase {
        tCpuFeatures features;
        uint8_t precision;
        double zoom;
        const char* name;
        int32_t lanes;
    };
    const tCase cases[] = {
#ifdef QX_HAVE_SSE_BACKENDS
        {{true, true, true}, 2, 1, "FLT32 SSE", 8},
        {{true, true, false}, 3, 1, "FLT64 SSE2", 4},
        {{true, true, true}, 5, 10000, "FLT32 SSE", 8},
        {{true, true, true}, 5, 10000.5, "FLT64 SSE2", 4},
#endif
        {{false, false, true}, 2, 1, "FLT32 3DN", 4},
        {{false, false, false}, 2, 1, "FLT32 FPU", 4},
        {{false, false, true}, 3, 1, "FLT64 FPU", 4},
        {{true, true, true}, 4, 1, "FLT80 FPU", 4},
        {{false, false, false}, 5, 10000.5, "FLT64 FPU", 4},
        {{false, false, false}, 6, 1, "PERTURB FLT64", 4},
#ifdef QX_HAVE_SSE_BACKENDS
        {{true, true, true}, 6, 1e30, "PERTURB SSE2", 8},
#endif
    };
    std::vector<tCase> all(std::begin(cases), std::end(cases));
#ifdef QX_HAVE_SSE_BACKENDS
    // The widest back end of the precision that the processor runs; AVX2 and
    // AVX-512 only where this processor has them.
    const tCpuFeatures detected = DetectCpuFeatures();
    if (detected.avx512) {
        all.push_back({{true, true, true, true, true}, 2, 1, "FLT32 AVX-512", 64});
        all.push_back({{true, true, false, false, true}, 3, 1, "FLT64 AVX-512", 32});
        all.push_back({{true, true, true, true, true}, 5, 10000.5, "FLT64 AVX-512", 32});
        all.push_back({{false, false, false, false, true}, 3, 1, "FLT64 AVX-512", 32});
        all.push_back({{true, true, false, true, true}, 6, 1e50, "PERTURB AVX-512", 32});
    }
    if (detected.avx2) {
        all.push_back({{true, true, true, true, false}, 2, 1, "FLT32 AVX2", 32});
        all.push_back({{true, true, true, true, false}, 5, 10000, "FLT32 AVX2", 32});
        all.push_back({{false, false, false, true, false}, 3, 1, "FLT64 AVX2", 16});
        all.push_back({{true, true, false, true, false}, 6, 1e50, "PERTURB AVX2", 16});
    }
    all.push_back({{true, true, true, detected.avx2, detected.avx512}, 4, 1, "FLT80 FPU", 4});
#endif
    tFractalMandelBrot f;
    for (const tCase& c : all) {
        tCpuFeaturesScope scope(c.features);
        tCapturedLog log;
        f.precision = c.precision;
        f.zoom = c.zoom;
        f.SelectBackEnd();
        EXPECT_EQ(f.BackEndName(), c.name) << int(c.precision) << " " << c.zoom;
        EXPECT_EQ(f.Lanes(), c.lanes);
        EXPECT_EQ(f.LaneBlock().Lanes(), c.lanes);
        EXPECT_EQ(f.LaneBlock().ElementType(), FindBackEnd(c.name)->elementType);
        EXPECT_EQ(f.Perturbing(), c.precision == kPrecisionPerturbation);
        const std::string note = std::string("Using percision ") + c.name;
        bool noted = false;
        for (const std::string& line : log.lines)
            noted |= line.find(note) != std::string::npos;
        EXPECT_EQ(noted, c.precision == 5);
    }

    tCapturedLog log;
    f.precision = 7;
    f.SelectBackEnd();
    EXPECT_TRUE(log.FileContains("Selected Percision is not supported by this fractal generator"));
    EXPECT_EQ(f.BackEndName(), "Not Assigned");
    EXPECT_EQ(f.Lanes(), 0);
    std::vector<double> re{0.1}, im{0.1};
    std::vector<int32_t> counts{-5};
    f.IteratePoints(re, im, 1, counts);
    EXPECT_EQ(counts[0], -5) << "no back end: nothing written";
}

TEST(Fractal, ColoursComeFromTheColourMap)
{
    tColorMap map;
    map.Gradient(0, 4095, tFloatColor{0, 0, 255, 255}, tFloatColor{255, 0, 0, 255});
    tFractal f;
    f.colorMap = &map;
    EXPECT_EQ(f.ColourOf(0.0), map.Lookup(0.0f));
    EXPECT_EQ(f.ColourOf(1.0), map.Lookup(1.0f));
    EXPECT_EQ(f.ColourOf(0.3), map.Lookup(0.3f));
    EXPECT_EQ(f.ColourOf(2.0), map.Lookup(1.0f));
    EXPECT_NE(f.ColourOf(0.0), f.ColourOf(1.0));
}

TEST(Fractal, SamePictureOnAnotherPageRendersTheSamePixels)
{
    tTestPage first(80);
    tFractalMandelBrot f(&first.page);
    f.discMode = true;
    f.centreRe = -0.7436;
    f.centreIm = 0.1318;
    f.zoom = 30;
    f.colorMap = ColorMapGenerator().GetPreset(5);
    f.antiAliasing = {0.3f, 4, 0.5f};
    f.SetMaxIterations(300);
    f.precision = 3;
    f.SelectBackEnd();
    tTestPage second(80);
    const std::unique_ptr<tFractalMandelBrot> copy = f.SamePictureOn(&second.page);
    EXPECT_EQ(copy->Page(), &second.page);
    EXPECT_EQ(copy->BackEndName(), f.BackEndName());
    EXPECT_EQ(copy->Progress(), 0);
    f.RenderAll();
    copy->RenderRest();
    for (int32_t y = 0; y < 80; ++y)
        ASSERT_EQ(PageRow(second.page, y), PageRow(first.page, y)) << "row " << y;
}
