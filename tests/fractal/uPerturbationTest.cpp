// Deep views by perturbation: the numbers of any precision, the reference
// orbit and its bilinear steps, and the counts of every perturbation back end
// against a direct iteration of each pixel in arbitrary precision.
//
// The accuracy table prints its figures (equal counts, counts within 1 %) per
// view and back end; run fractal_tests with
// --gtest_filter='Deep*' to see them.
#include "uBackEnds.h"
#include "uBigFloat.h"
#include "uColorMap.h"
#include "uCpuFeatures.h"
#include "uDeepTarget.h"
#include "uFractal.h"
#include "uPage.h"
#include "uReferenceOrbit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace {

// ------------------------------------------------------------ numbers

TEST(BigFloat, ReadsAndWritesDecimalText)
{
    struct tCase {
        const char* text;
        int digits;
        const char* written;
    };
    const tCase cases[] = {
        {"0", 10, "0"},
        {"-1.25", 10, "-1.25"},
        {"+.5", 10, "0.5"},
        {"3e-40", 10, "3e-40"},
        {"1234567", 10, "1234567"},
        {"0.000123", 5, "0.000123"},
        {"0.07107470682793798154914892647", 30, "0.07107470682793798154914892647"},
        {"-0.6739936271146929294290002656153483102987712255410038439823", 58,
         "-0.6739936271146929294290002656153483102987712255410038439823"},
    };
    for (const tCase& c : cases) {
        const auto value = tBigFloat::Parse(c.text, 256);
        ASSERT_TRUE(value.has_value()) << c.text;
        EXPECT_EQ(value->ToString(c.digits), c.written) << c.text;
    }
    for (const char* bad : {"", " 1", "1 ", "1.2.3", "e5", "1e", "nan", "inf", "0x10", "1,5", "--1", "1e9999999999"})
        EXPECT_FALSE(tBigFloat::Parse(bad, 64).has_value()) << '"' << bad << '"';

    const auto pair = tBigComplex::Parse("-0.75,0.1", 128);
    ASSERT_TRUE(pair.has_value());
    EXPECT_EQ(pair->ToString(5), "[-0.75,0.1]");
    EXPECT_EQ(pair->Bits(), 128);
    EXPECT_FALSE(tBigComplex::Parse("-0.75", 128).has_value());
    EXPECT_FALSE(tBigComplex::Parse("-0.75,x", 128).has_value());
}

TEST(BigFloat, OffsetsKeepEveryDigitOfTheCentre)
{
    // A centre with 100 digits plus an offset at the scale of 10^-90: the sum
    // keeps the centre's digits and the offset comes back exactly.
    const std::string digits = "0.3" + std::string(98, '7');
    const tBigFloat centre = *tBigFloat::Parse(digits, 400);
    const extended offset = 1.25e-90L;
    const tBigFloat moved = centre.Plus(offset);
    EXPECT_EQ(moved.Bits(), 400);
    EXPECT_EQ(moved.Minus(centre), offset);
    EXPECT_EQ(centre.Minus(moved), -offset);
    EXPECT_EQ(centre.ToString(99), digits);

    EXPECT_EQ(BitsForView(0, 1024), 64);
    EXPECT_EQ(BitsForView(1, 1024), 74);
    EXPECT_EQ(BitsForView(1e100L, 1024), 407); // log2(1e103) = 342.2
}

// ------------------------------------------------------------ reference orbit

TEST(ReferenceOrbit, EndsWhereTheOrbitEscapesReturnsOrReachesTheLimit)
{
    struct tCase {
        extended re, im;
        int32_t limit;
        int32_t length;
        bool periodic, escaped;
    };
    const tCase cases[] = {
        {-1, 0, 100, 2, true, false},    // 0, -1, 0
        {0, 0, 100, 1, true, false},     // 0, 0
        {1, 0, 100, 3, false, true},     // 0, 1, 2, 5
        {0.25L, 0, 50, 50, false, false}, // creeps towards 1/2
        {0, 1, 100, 100, false, false},  // i: 0, i, -1+i, -i, -1+i, ...
    };
    for (const tCase& c : cases) {
        tReferenceOrbit orbit(tBigComplex(c.re, c.im, 128), c.limit, 1e-30);
        EXPECT_TRUE(orbit.Advance(1000));
        EXPECT_EQ(orbit.Length(), c.length) << c.re << "," << c.im;
        EXPECT_EQ(orbit.Periodic(), c.periodic) << c.re;
        EXPECT_EQ(orbit.Escaped(), c.escaped) << c.re;
        EXPECT_EQ(orbit.Re().size(), static_cast<size_t>(c.length) + 1);
    }

    // Slices give the same orbit as one go, and match long double iteration.
    tReferenceOrbit whole(tBigComplex(-0.5L, 0.5L, 128), 500);
    tReferenceOrbit sliced(tBigComplex(-0.5L, 0.5L, 128), 500);
    EXPECT_TRUE(whole.Advance(1 << 20));
    int calls = 1;
    while (!sliced.Advance(7))
        ++calls;
    EXPECT_GT(calls, 10);
    EXPECT_EQ(whole.Re(), sliced.Re());
    EXPECT_EQ(whole.Im(), sliced.Im());
    long double x = 0, y = 0;
    for (size_t n = 1; n < 30; ++n) {
        const long double t = x * y;
        x = x * x - y * y - 0.5L;
        y = 2 * t + 0.5L;
        EXPECT_NEAR(whole.Re()[n], static_cast<double>(x), 1e-12) << n;
        EXPECT_NEAR(whole.Im()[n], static_cast<double>(y), 1e-12) << n;
    }
}

TEST(ReferenceOrbit, BilinearStepsMatchThePlainStepsTheyReplace)
{
    // A level-k step from m must take a small d where 2^k plain steps take it,
    // within the step's relative error.
    tReferenceOrbit orbit(tBigComplex(0, 1, 128), 600); // i: bounded, never periodic
    orbit.Advance(1 << 20);
    const double maxDelta = 1e-30;
    const tBlaTable table(orbit, maxDelta);
    ASSERT_GE(table.LevelCount(), 5);
    const double dcx = 3e-31, dcy = -4e-31;
    int checked = 0;
    for (int32_t k = 1; k < table.LevelCount() && table.Level(k).size() >= 2; ++k) {
        const tBlaStep& step = table.Level(k)[1];
        const int32_t m = 1 + (1 << k);
        ASSERT_LE(m + step.length, orbit.Length());
        double dx = 2e-31, dy = 1e-31;
        if (!(dx * dx + dy * dy < step.radiusSquared))
            continue;
        for (int32_t i = m; i < m + step.length; ++i) {
            const double zx = orbit.Re()[static_cast<size_t>(i)], zy = orbit.Im()[static_cast<size_t>(i)];
            const double nx = 2 * (zx * dx - zy * dy) + dx * dx - dy * dy + dcx;
            const double ny = 2 * (zx * dy + zy * dx) + 2 * dx * dy + dcy;
            dx = nx;
            dy = ny;
        }
        const double bx = step.ax * 2e-31 - step.ay * 1e-31 + step.bx * dcx - step.by * dcy;
        const double by = step.ax * 1e-31 + step.ay * 2e-31 + step.bx * dcy + step.by * dcx;
        EXPECT_NEAR(bx, dx, 1e-5 * std::hypot(dx, dy)) << "level " << k;
        EXPECT_NEAR(by, dy, 1e-5 * std::hypot(dx, dy)) << "level " << k;
        ++checked;
    }
    EXPECT_GE(checked, 4);
}

// ------------------------------------------------------------ counts against arbitrary precision

/// A pixel iterated directly in arbitrary precision, counted like the SIMD
/// family: the iterates z_1 = c, z_2, ... up to the limit that lie inside the
/// circle of radius 2 before the first that does not.
int32_t DirectCount(const tBigComplex& c, int32_t limit)
{
    const long bits = c.Bits();
    tBigFloat x(c.re), y(c.im), xx(bits), yy(bits), xy(bits);
    for (int32_t n = 1;; ++n) {
        mpfr_sqr(xx.get(), x.get(), MPFR_RNDN);
        mpfr_sqr(yy.get(), y.get(), MPFR_RNDN);
        if (mpfr_get_d(xx.get(), MPFR_RNDN) + mpfr_get_d(yy.get(), MPFR_RNDN) > 4)
            return n - 1;
        if (n >= limit)
            return limit;
        mpfr_mul(xy.get(), x.get(), y.get(), MPFR_RNDN);
        mpfr_sub(x.get(), xx.get(), yy.get(), MPFR_RNDN);
        mpfr_add(x.get(), x.get(), c.re.get(), MPFR_RNDN);
        mpfr_mul_2ui(y.get(), xy.get(), 1, MPFR_RNDN);
        mpfr_add(y.get(), y.get(), c.im.get(), MPFR_RNDN);
    }
}

struct tDeepView {
    const char* name;
    const char* centre; ///< "RE,IM"
    extended zoom;
    int32_t size;
    int32_t limit;
    /// A tangle of the boundary whose counts hang on the last digits of each
    /// pixel: there even a direct iteration with the view's own bits gets
    /// some counts wrong (2 of these 256 against 500 bits), and every error of
    /// a double, of a bilinear step, adds to that. Its figures are printed
    /// and held to what they were when the steps' error was chosen.
    bool chaotic = false;
};

void PrintTo(const tDeepView& v, std::ostream* os) { *os << v.name; }

/// The pixels' offsets from the centre, as the generator's square scan makes
/// them (x / (size x zoom) for x = -size/2 .. size/2 - 1, rounded to double).
struct tOffsets {
    std::vector<double> re, im;
};

tOffsets PixelOffsets(const tDeepView& view)
{
    tOffsets o;
    const extended pixels = static_cast<extended>(view.size) * view.zoom;
    for (int32_t y = -view.size / 2; y < view.size / 2; ++y)
        for (int32_t x = -view.size / 2; x < view.size / 2; ++x) {
            o.re.push_back(static_cast<double>(x / pixels));
            o.im.push_back(static_cast<double>(y / pixels));
        }
    return o;
}

struct tComparison {
    double equal = 0;  ///< share of pixels with the same count
    double within = 0; ///< share within 1 % of the direct count
};

tComparison Compare(const std::vector<int32_t>& direct, const std::vector<int32_t>& counts)
{
    int64_t equal = 0, within = 0;
    for (size_t i = 0; i < direct.size(); ++i) {
        equal += counts[i] == direct[i];
        within += std::abs(counts[i] - direct[i]) <= 0.01 * direct[i];
    }
    const auto n = static_cast<double>(direct.size());
    return {static_cast<double>(equal) / n, static_cast<double>(within) / n};
}

class DeepViewTest : public ::testing::TestWithParam<tDeepView> {};

TEST_P(DeepViewTest, EveryBackEndCountsLikeArbitraryPrecision)
{
    const tDeepView& view = GetParam();
    const long bits = BitsForView(view.zoom, view.size);
    const tBigComplex centre = *tBigComplex::Parse(view.centre, bits);
    const tOffsets offsets = PixelOffsets(view);
    std::vector<int32_t> direct;
    for (size_t i = 0; i < offsets.re.size(); ++i) {
        tBigComplex c = centre.Plus({offsets.re[i], offsets.im[i]});
        if (view.chaotic)
            c.SetBits(c.Bits() + 384); // bits enough that more change no count
        direct.push_back(DirectCount(c, view.limit));
    }
    // A view worth testing has structure: counts that differ.
    const auto [low, high] = std::minmax_element(direct.begin(), direct.end());
    ASSERT_GT(*high - *low, 20) << view.name;

    const double maxDelta = view.size / 2 * 1.5 / (view.size * static_cast<double>(view.zoom));
    tPerturbationReference reference(centre, view.limit, maxDelta);
    ASSERT_TRUE(reference.Prepare(1 << 30));
    const tCpuFeatures features = DetectCpuFeatures();
    for (const tBackEnd& backEnd : PerturbationBackEnds()) {
        if (!ProcessorRuns(backEnd, features))
            continue;
        const tComparison c = Compare(direct, PerturbationCounts(backEnd, reference.data, view.limit, offsets.re, offsets.im));
        std::printf("  %-22s %-16s equal %6.2f %%  within 1 %% %6.2f %%\n", view.name, backEnd.name, 100 * c.equal,
                    100 * c.within);
        EXPECT_GE(c.equal, view.chaotic ? 0.8 : 0.995) << view.name << " " << backEnd.name;
        EXPECT_GE(c.within, view.chaotic ? 0.85 : 1.0) << view.name << " " << backEnd.name;
    }
}

TEST(DeepView, RebasingRepairsTheGlitchesOfAReferenceOutsideAMiniSet)
{
    // The reference lies on the real axis beside the period-31 mini-set at
    // -1.99999999995956631978 (3.5e-29 in size). The mini-set's pixels pass by
    // 0 every 31st step while the reference does not: without rebasing their
    // differences lose their digits there (Pauldelbrot's criterion flags
    // them), with rebasing they are exact.
    const tDeepView view{"glitch", "-1.99999999995956631978062802491275740509518715908176443557588,0", 5e27L, 64,
                         3000};
    const tBigComplex centre = *tBigComplex::Parse(view.centre, BitsForView(view.zoom, view.size));
    const tOffsets offsets = PixelOffsets(view);
    std::vector<int32_t> direct;
    for (size_t i = 0; i < offsets.re.size(); ++i)
        direct.push_back(DirectCount(centre.Plus({offsets.re[i], offsets.im[i]}), view.limit));
    const int64_t inside = std::count(direct.begin(), direct.end(), view.limit);
    ASSERT_GT(inside, 50) << "the mini-set is in view";

    const double maxDelta = 0.75 / static_cast<double>(view.zoom);
    tPerturbationReference reference(centre, view.limit, maxDelta);
    ASSERT_TRUE(reference.Prepare(1 << 30));
    std::printf("  reference %d iterations, %lld inside\n", reference.orbit.Length(), static_cast<long long>(inside));
    for (const tBackEnd& backEnd : PerturbationBackEnds()) {
        if (!ProcessorRuns(backEnd, DetectCpuFeatures()))
            continue;
        uint64_t glitches = 0;
        reference.data.glitches = &glitches;
        reference.data.rebase = false;
        const tComparison without = Compare(direct, PerturbationCounts(backEnd, reference.data, view.limit, offsets.re, offsets.im));
        const uint64_t flagged = glitches;
        reference.data.rebase = true;
        const tComparison with = Compare(direct, PerturbationCounts(backEnd, reference.data, view.limit, offsets.re, offsets.im));
        std::printf("  %-16s without rebasing: equal %6.2f %%, %llu glitches flagged; with: equal %6.2f %%\n",
                    backEnd.name, 100 * without.equal, static_cast<unsigned long long>(flagged), 100 * with.equal);
        EXPECT_LT(without.equal, 0.95) << backEnd.name;
        EXPECT_GT(flagged, static_cast<uint64_t>(inside) / 2) << backEnd.name;
        EXPECT_EQ(glitches, flagged) << "nothing is flagged while rebasing";
        EXPECT_GE(with.equal, 0.995) << backEnd.name;
        EXPECT_EQ(with.within, 1.0) << backEnd.name;
    }
}

// Three targets, Misiurewicz points where the set branches at every depth:
// i (exact), and the points where z_4 = z_5 and z_3 = z_5, to 115 digits.
constexpr const char* kMisiurewicz41 =
    "-0.1010963638456221610257854457386225654638054428262534838769311776607808407404705842748212198105167790334045319085567,"
    "0.9562865108091415007710960577299774358098333365105291700343143215005246590657167325269784107873398072043444724926469";
constexpr const char* kMisiurewicz32 =
    "0.4196433776070805662759262823266433002120893730487961233893793197021016110409832128692177097141535070709899134296205,"
    "0.6062907292071993692593421970280230029495706683864217122148996863188682752811456620313279303794023409829262687697122";

/// Where a deep-target search heading for the highest counts went from a
/// finder point, at 10^20.
constexpr const char* kTangle20 = "0.07107470682793798154914892647,0.6167957810837057243252278968";

INSTANTIATE_TEST_SUITE_P(Deep, DeepViewTest,
                         ::testing::Values(tDeepView{"i_1e20", "0,1", 1e20L, 64, 2000},
                                           tDeepView{"i_1e50", "0,1", 1e50L, 64, 2000},
                                           tDeepView{"i_1e100", "0,1", 1e100L, 64, 2000},
                                           tDeepView{"m41_1e20", kMisiurewicz41, 1e20L, 64, 2000},
                                           tDeepView{"m41_1e50", kMisiurewicz41, 1e50L, 64, 2000},
                                           tDeepView{"m41_1e100", kMisiurewicz41, 1e100L, 64, 2000},
                                           tDeepView{"m32_1e20", kMisiurewicz32, 1e20L, 64, 2000},
                                           tDeepView{"m32_1e50", kMisiurewicz32, 1e50L, 64, 2000},
                                           tDeepView{"m32_1e100", kMisiurewicz32, 1e100L, 64, 2000},
                                           tDeepView{"tangle_1e20", kTangle20, 1e20L, 16, 11300, true}),
                         [](const auto& param) { return std::string(param.param.name); });

// ------------------------------------------------------------ the generator

/// A generator on a page of its own, rendering by perturbation.
struct tDeepGenerator {
    explicit tDeepGenerator(int32_t size) : fractal(&page)
    {
        page.SetSize(size, size, pfRGBA);
        fractal.SetSize(size);
        fractal.discMode = true;
        fractal.colorMap = ColorMapGenerator().GetPreset(5);
        fractal.precision = kPrecisionPerturbation;
        fractal.SelectBackEnd();
    }
    tPage page;
    tFractalMandelBrot fractal;
};

TEST(DeepGenerator, ComputesTheReferenceFirstThenRendersLikeDoublePrecision)
{
    // At a zoom that doubles still resolve, perturbation and the double back
    // end of the same width count alike, so the pictures agree.
    tDeepGenerator deep(128);
    deep.fractal.centreRe = -0.7436438870371587;
    deep.fractal.centreIm = 0.1318259042053119;
    deep.fractal.zoom = 2000;
    deep.fractal.SetMaxIterations(4000);
    deep.fractal.Restart();
    EXPECT_FALSE(deep.fractal.ReferenceReady());
    EXPECT_EQ(deep.fractal.RenderStep(63), 0) << "below one batch nothing happens";
    // While the reference is built, a step writes no pixel but reports its
    // budget, so that the frame loop keeps giving it time.
    const int64_t start = deep.fractal.ProgressCount();
    int steps = 0;
    while (!deep.fractal.ReferenceReady()) {
        EXPECT_EQ(deep.fractal.RenderStep(128), 128);
        EXPECT_EQ(deep.fractal.ProgressCount(), start);
        ++steps;
    }
    EXPECT_GE(steps, 2) << "4000 iterations take two steps of 128 x 16";
    deep.fractal.RenderRest();
    EXPECT_GE(deep.fractal.Progress(), 1.0);

    tPage page;
    page.SetSize(128, 128, pfRGBA);
    tFractalMandelBrot plain(&page);
    plain.discMode = true;
    plain.colorMap = deep.fractal.colorMap;
    plain.centreRe = deep.fractal.centreRe;
    plain.centreIm = deep.fractal.centreIm;
    plain.zoom = deep.fractal.zoom;
    plain.SetMaxIterations(4000);
    plain.precision = 3;
    plain.SelectBackEnd();
    plain.RenderAll();
    int64_t same = 0;
    for (int32_t y = 0; y < 128; ++y)
        for (int32_t x = 0; x < 128; ++x)
            same += page.GetPixel(x, y) == deep.page.GetPixel(x, y);
    // Chaotic pixels near the boundary may escape a step apart: double
    // precision is not exact there.
    EXPECT_GE(same, 128 * 128 * 995 / 1000);
}

TEST(DeepGenerator, ColourWindowSpreadsAnyBandOfCountsOverTheMap)
{
    tColorMap map;
    map.Gradient(0, 4094, tFloatColor{0, 0, 255, 255}, tFloatColor{255, 0, 0, 255});
    map.Gradient(4095, 4095, tFloatColor{255, 255, 255, 255}, tFloatColor{255, 255, 255, 255}); // the set
    tFractal f;
    f.colorMap = &map;
    f.SetMaxIterations(20000);
    const double limit = 20000;
    // Without a span: the fraction of the limit, as for every shallow view.
    for (int32_t count : {0, 5000, 12000, 19999, 20000})
        EXPECT_EQ(f.CountColour(count, limit), f.ColourOf(count / limit)) << count;
    f.colourFloor = 10000;
    f.colourSpan = 2000;
    struct tCase {
        int32_t count;
        double v;
    };
    const tCase cases[] = {
        {9000, 0}, {10000, 0}, {11000, 0.5}, {11999, 0.9995}, {12000, tFractal::kTopEscaping},
        {19999, tFractal::kTopEscaping}, {20000, 1},
    };
    for (const tCase& c : cases)
        EXPECT_EQ(f.CountColour(c.count, limit), f.ColourOf(c.v)) << c.count;
    EXPECT_NE(f.CountColour(19999, limit), f.CountColour(20000, limit)) << "escaping points never take the set's colour";
}

// ------------------------------------------------------------ deep targets

TEST(DeepTarget, DescendsAlongTheBoundaryToTheDepthAskedFor)
{
    // The finder's kind of point: it escapes after 500 to 1024 iterations.
    tDeepTargetSearch search({-0.7436438870371587L, 0.1318259042053119L}, 2.5L, 1e30L);
    int steps = 0;
    while (!search.Step())
        ++steps;
    EXPECT_TRUE(search.Done());
    EXPECT_TRUE(search.Step()) << "nothing more to do";
    const auto& samples = search.Samples();
    ASSERT_EQ(static_cast<int>(samples.size()), steps + 1);
    EXPECT_EQ(search.Magnification(), 1e30L);
    EXPECT_EQ(samples.back().magnification, 1e30L);
    for (size_t i = 0; i < samples.size(); ++i) {
        EXPECT_GE(samples[i].highest - samples[i].lowest, tDeepTargetSearch::kMinimumSpread) << i;
        EXPECT_LT(samples[i].highest, samples[i].limit) << i;
        if (i > 0 && i + 1 < samples.size()) {
            EXPECT_EQ(samples[i].magnification, samples[i - 1].magnification * tDeepTargetSearch::kStepFactor);
        }
    }
    // The target lies where the last view's probes escaped last: a small
    // view around it still has structure.
    const tBigComplex& target = search.Target();
    EXPECT_GE(target.Bits(), BitsForView(1e30L, 4096));
    const int32_t limit = samples.back().limit;
    std::vector<int32_t> counts;
    for (double dx : {-0.2, 0.0, 0.2})
        for (double dy : {-0.2, 0.0, 0.2})
            counts.push_back(DirectCount(target.Plus({dx * 1e-30, dy * 1e-30}), limit));
    const auto [low, high] = std::minmax_element(counts.begin(), counts.end());
    EXPECT_LT(*low, limit);
    EXPECT_GT(*high - *low, 0);
}

TEST(DeepTarget, StopsAtOnceInsideTheSet)
{
    tDeepTargetSearch search({-0.1L, 0.1L}, 2.5L, 1e50L);
    EXPECT_TRUE(search.Step());
    EXPECT_TRUE(search.Samples().empty());
    EXPECT_EQ(search.Magnification(), 2.5L);
    EXPECT_EQ(search.Target().ToString(3), "[-0.1,0.1]");
}

} // namespace
