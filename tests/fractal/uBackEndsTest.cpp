// One test body per property, run against every back end of the table.
//
// Each back end is checked three times:
//  - exactly against a per-point reference of its own arithmetic (like with
//    like): the scalar family computes in long double and keeps z in the
//    element type between steps; the SIMD family computes in the element
//    type. Lock-step lanes must give the same counts as lanes run alone.
//  - against the scalar back end of the same precision, with the count
//    convention shifted by one. For single and double precision those two
//    round differently (the scalar family rounds once per update from long
//    double, the SIMD family after every operation), so chaotic points near
//    the boundary may escape at different steps; the test bounds how many.
//  - a SIMD back end against "FLT32 SSE" or "FLT64 SSE2": the same arithmetic,
//    so the same count for every point, however many lanes run together.
#include "uBackEnds.h"
#include "uCpuFeatures.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <complex>
#include <cstdio>
#include <ostream>
#include <stdexcept>
#include <random>
#include <string>
#include <vector>

/// Test names and failure messages show a back end by its name.
void PrintTo(const tBackEnd& be, std::ostream* os) { *os << be.name; }

namespace {

using ld = long double;
using tPoint = std::complex<double>;

/// Runs the points through a back end the way the generator does: limit in
/// the block and in int row 10 slot 2, a template of empty lanes, one chunk
/// of up to `lanes` points per run.
std::vector<int32_t> RunBackEnd(const tBackEnd& be, int32_t limit, const std::vector<tPoint>& points)
{
    tFractalPackedData block;
    block.SetLanes(be.lanes);
    block.SetElementType(be.elementType);
    block.iterationLimit = limit;
    block.SetInt(kSlotSimdLimit, kRowSimdLimit, limit);
    for (int lane = 0; lane < be.lanes; ++lane) {
        block.SetLaneDefaults(lane, 0, 0);
        block.ClearLane(lane);
    }
    block.SaveTemplate();
    std::vector<int32_t> counts(points.size(), -99);
    for (size_t start = 0; start < points.size(); start += static_cast<size_t>(be.lanes)) {
        const size_t k = std::min(points.size() - start, static_cast<size_t>(be.lanes));
        block.RestoreTemplate();
        for (size_t j = 0; j < k; ++j)
            block.LoadPoint(static_cast<int32_t>(j), points[start + j].real(), points[start + j].imag());
        be.routine(block);
        for (size_t j = 0; j < k; ++j)
            counts[start + j] = block.Int(static_cast<int32_t>(j), kRowCount);
    }
    return counts;
}

/// Scalar family, one point alone: long double arithmetic, z kept in T.
template <typename T>
int32_t ScalarReference(tPoint c, int32_t limit)
{
    const ld cr = static_cast<T>(c.real()), ci = static_cast<T>(c.imag());
    T x = static_cast<T>(cr), y = static_cast<T>(ci);
    for (int32_t n = 1;; ++n) {
        const ld lx = x, ly = y;
        const ld t = lx * ly, xx = lx * lx, yy = ly * ly;
        if (xx + yy > 4.0L || n >= limit)
            return n;
        x = static_cast<T>(xx - yy + cr);
        y = static_cast<T>(t + t + ci);
    }
}

/// SIMD family, one point alone: arithmetic in T, e - 1 or the limit.
template <typename T>
int32_t SimdReference(tPoint c, int32_t limit)
{
    const T cr = static_cast<T>(c.real()), ci = static_cast<T>(c.imag());
    T x = cr, y = ci;
    for (int32_t n = 1; n <= limit; ++n) {
        const T t = x * y, xx = x * x, yy = y * y;
        if (!(xx + yy <= T(4)))
            return n - 1;
        x = xx - yy + cr;
        y = t + t + ci;
    }
    return limit;
}

int32_t Reference(const tBackEnd& be, tPoint c, int32_t limit)
{
    if (be.family == tBackEndFamily::kScalar) {
        switch (be.elementType) {
        case kElementSingle: return ScalarReference<float>(c, limit);
        case kElementDouble: return ScalarReference<double>(c, limit);
        default: return ScalarReference<ld>(c, limit);
        }
    }
    return be.elementType == kElementSingle ? SimdReference<float>(c, limit) : SimdReference<double>(c, limit);
}

const tBackEnd& ScalarOfSamePrecision(const tBackEnd& be)
{
    for (const tBackEnd& other : BackEnds())
        if (other.family == tBackEndFamily::kScalar && other.precision == be.precision)
            return other;
    throw std::logic_error("no scalar back end");
}

constexpr size_t kWidePoints = 1500;

/// Random points over the set and its surroundings, and many more in small
/// windows on the boundary where counts are high and vary from pixel to
/// pixel. Fixed seed; the count is deliberately not a multiple of 8, so the
/// last chunk is partial for every lane count.
std::vector<tPoint> TestPoints()
{
    std::mt19937 rng(20240611);
    std::vector<tPoint> points;
    std::uniform_real_distribution<double> wideRe(-2.6, 1.2), wideIm(-1.6, 1.6);
    for (size_t i = 0; i < kWidePoints; ++i)
        points.emplace_back(wideRe(rng), wideIm(rng));
    const struct {
        double re, im, half;
    } windows[] = {
        {0.371540195428848, 0.167646706104279, 5e-6}, // the benchmark view
        {-0.743643887037151, 0.131825904205330, 1e-4},
        {0.2501, 0.0, 1e-4},
        {-1.7497, 0.0, 1e-4},
        {-0.1011, 0.9563, 1e-3},
        {-0.75, 0.1, 2e-2},
    };
    for (const auto& w : windows) {
        std::uniform_real_distribution<double> re(w.re - w.half, w.re + w.half), im(w.im - w.half, w.im + w.half);
        for (int i = 0; i < 600; ++i)
            points.emplace_back(re(rng), im(rng));
    }
    points.emplace_back(0.3, 0.0); // 5101 points
    return points;
}

/// Whether this processor executes the back end's instructions (the 3DNow!
/// routine is written portably).
bool Runnable(const tBackEnd& be)
{
    return be.needs == tCpuNeed::k3DNow || ProcessorRuns(be, DetectCpuFeatures());
}

class BackEndTest : public ::testing::TestWithParam<tBackEnd> {
protected:
    void SetUp() override
    {
        if (!Runnable(GetParam()))
            GTEST_SKIP() << "processor lacks the instruction set";
    }
    bool Scalar() const { return GetParam().family == tBackEndFamily::kScalar; }
    /// The count of a point that escapes at step e, in this back end's convention.
    int32_t Escaping(int32_t e) const { return Scalar() ? e : e - 1; }
};

std::string NameOf(const ::testing::TestParamInfo<tBackEnd>& info)
{
    std::string name = info.param.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

} // namespace

TEST(BackEndTable, EveryBackEndWithItsShape)
{
    struct {
        const char* name;
        int32_t lanes;
        uint8_t type;
        uint8_t precision;
        tBackEndFamily family;
        tCpuNeed needs;
    } expected[] = {
        {"FLT32 FPU", 4, 2, 2, tBackEndFamily::kScalar, tCpuNeed::kNothing},
        {"FLT32 3DN", 4, 2, 2, tBackEndFamily::kSimd, tCpuNeed::k3DNow},
        {"FLT32 SSE", 8, 2, 2, tBackEndFamily::kSimd, tCpuNeed::kSSE},
        {"FLT32 AVX2", 32, 2, 2, tBackEndFamily::kSimd, tCpuNeed::kAVX2},
        {"FLT32 AVX-512", 64, 2, 2, tBackEndFamily::kSimd, tCpuNeed::kAVX512},
        {"FLT64 FPU", 4, 3, 3, tBackEndFamily::kScalar, tCpuNeed::kNothing},
        {"FLT64 SSE2", 4, 3, 3, tBackEndFamily::kSimd, tCpuNeed::kSSE2},
        {"FLT64 AVX2", 16, 3, 3, tBackEndFamily::kSimd, tCpuNeed::kAVX2},
        {"FLT64 AVX-512", 32, 3, 3, tBackEndFamily::kSimd, tCpuNeed::kAVX512},
        {"FLT80 FPU", 4, 4, 4, tBackEndFamily::kScalar, tCpuNeed::kNothing},
    };
#ifdef QX_HAVE_SSE_BACKENDS
    EXPECT_EQ(BackEnds().size(), 10u);
#else
    EXPECT_EQ(BackEnds().size(), 4u);
#endif
    for (const auto& e : expected) {
        const tBackEnd* be = FindBackEnd(e.name);
#ifndef QX_HAVE_SSE_BACKENDS
        if (e.needs != tCpuNeed::kNothing && e.needs != tCpuNeed::k3DNow) {
            EXPECT_EQ(be, nullptr);
            continue;
        }
#endif
        ASSERT_NE(be, nullptr) << e.name;
        EXPECT_EQ(be->lanes, e.lanes) << e.name;
        EXPECT_EQ(be->elementType, e.type) << e.name;
        EXPECT_EQ(be->precision, e.precision) << e.name;
        EXPECT_EQ(be->family, e.family) << e.name;
        EXPECT_EQ(be->needs, e.needs) << e.name;
        EXPECT_NE(be->routine, nullptr) << e.name;
        // The generator hands out batches of 64 points: a lane count that
        // does not divide 64 would leave empty lanes (c = 0, which runs to
        // the limit) in every batch.
        EXPECT_EQ(64 % be->lanes, 0) << e.name;
    }
    EXPECT_EQ(FindBackEnd("FLT128 AVX"), nullptr);
}

TEST_P(BackEndTest, MatchesPointByPointReferenceOfItsArithmetic)
{
    const tBackEnd& be = GetParam();
    const std::vector<tPoint> points = TestPoints();
    for (int32_t limit : {1, 2, 100, 1024}) {
        const std::vector<int32_t> counts = RunBackEnd(be, limit, points);
        int mismatches = 0;
        for (size_t i = 0; i < points.size(); ++i) {
            const int32_t expected = Reference(be, points[i], limit);
            if (counts[i] != expected && ++mismatches <= 5)
                ADD_FAILURE() << be.name << " limit " << limit << " point " << points[i] << ": " << counts[i]
                              << " instead of " << expected;
        }
        EXPECT_EQ(mismatches, 0) << "limit " << limit;
    }
}

TEST_P(BackEndTest, AgreesWithScalarBackEndOfSamePrecision)
{
    const tBackEnd& be = GetParam();
    const tBackEnd& scalar = ScalarOfSamePrecision(be);
    const std::vector<tPoint> points = TestPoints();
    const int32_t limit = 1024;
    const std::vector<int32_t> mine = RunBackEnd(be, limit, points);
    const std::vector<int32_t> theirs = RunBackEnd(scalar, limit, points);
    int differingWide = 0;
    int differingNear = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        // The scalar count in this back end's convention: e - 1 for the SIMD
        // family when the point escaped.
        int32_t expected = theirs[i];
        if (!Scalar() && theirs[i] < limit)
            expected = theirs[i] - 1;
        if (mine[i] != expected)
            ++(i < kWidePoints ? differingWide : differingNear);
        // Points far from the boundary escape at once in every arithmetic.
        if (std::norm(points[i]) > 4.0) {
            EXPECT_EQ(mine[i], Escaping(1)) << points[i];
        }
    }
    std::printf("%s vs %s: %d of %zu wide and %d of %zu boundary points differ\n", be.name, scalar.name,
                differingWide, kWidePoints, differingNear, points.size() - kWidePoints);
    if (std::string(scalar.name) == be.name || be.elementType == kElementExtended) {
        EXPECT_EQ(differingWide + differingNear, 0);
    } else if (be.elementType == kElementDouble) {
        // Double rounding (long double, then double) against one rounding
        // per operation: a handful of chaotic boundary points may differ.
        EXPECT_LE(differingWide, 3);
        EXPECT_LE(differingNear, 15);
    } else {
        // In single precision the boundary windows (down to 1e-5 wide, a few
        // hundred float steps) are chaotic: after a few hundred iterations
        // the two roundings follow different orbits, and about one in nine
        // of those points escapes at another step (412 of 3601 here).
        // Away from the boundary the results agree almost everywhere.
        EXPECT_LE(differingWide, 8);
        EXPECT_LE(differingNear, static_cast<int>(0.2 * static_cast<double>(points.size() - kWidePoints)));
    }
}

TEST(SimdBackEnds, SameCountsAsTheSseBackEndOfTheirPrecision)
{
#ifndef QX_HAVE_SSE_BACKENDS
    GTEST_SKIP() << "no SSE back ends in this build";
#endif
    // Both benchmark views (the benchmark window's and the whole set) on a
    // grid of 157 x 157 points: every lane count ends on a partial block.
    const struct {
        double re, im, zoom;
    } views[] = {{0.371540195428848, 0.167646706104279, 100000.0}, {0.0, 0.0, 0.25}};
    int compared = 0;
    for (const tBackEnd& be : BackEnds()) {
        const tBackEnd& sse = *FindBackEnd(be.precision == 2 ? "FLT32 SSE" : "FLT64 SSE2");
        if (be.family != tBackEndFamily::kSimd || &sse == &be || !Runnable(be))
            continue;
        ++compared;
        for (const auto& v : views) {
            std::vector<tPoint> points;
            constexpr int kGrid = 157;
            for (int y = 0; y < kGrid; ++y)
                for (int x = 0; x < kGrid; ++x)
                    points.emplace_back(v.re + (x - kGrid / 2) / (kGrid * v.zoom), v.im + (y - kGrid / 2) / (kGrid * v.zoom));
            for (int32_t limit : {3, 1024}) {
                const std::vector<int32_t> mine = RunBackEnd(be, limit, points);
                const std::vector<int32_t> theirs = RunBackEnd(sse, limit, points);
                int differing = 0;
                for (size_t i = 0; i < points.size(); ++i)
                    if (mine[i] != theirs[i] && ++differing <= 5)
                        ADD_FAILURE() << be.name << " limit " << limit << " point " << points[i] << ": " << mine[i]
                                      << " where " << sse.name << " counts " << theirs[i];
                EXPECT_EQ(differing, 0) << be.name << " zoom " << v.zoom << " limit " << limit;
            }
        }
    }
    EXPECT_GE(compared, 1) << "at least the 3DNow! routine";
}

TEST_P(BackEndTest, PointsOnAndOutsideTheCircle)
{
    const tBackEnd& be = GetParam();
    const int32_t limit = 50;
    // c = 3, 2.5i: |c|^2 > 4, out at once. c = 2: z1 = 2 lies exactly on the
    // circle (not outside), z2 = 6 escapes. c = 2i: z2 = -4 + 2i escapes.
    // c = -2: z = -2, 2, 2, 2, ... stays exactly on the circle for ever.
    // c = 0.5: z = 0.5, 0.75, 1.0625, 1.62890625, 3.15..., all exact: e = 5.
    // c = 0 and -1: inside.
    const std::vector<tPoint> points = {{3, 0}, {0, 2.5}, {2, 0}, {0, 2}, {-2, 0}, {0.5, 0}, {0, 0}, {-1, 0}, {-2.0000001, 0}};
    const std::vector<int32_t> alone = [&] {
        // Each point in a block of its own, so no other lane ends the lock step.
        std::vector<int32_t> r;
        for (const tPoint& p : points)
            r.push_back(RunBackEnd(be, limit, {p})[0]);
        return r;
    }();
    EXPECT_EQ(alone[0], Escaping(1));
    EXPECT_EQ(alone[1], Escaping(1));
    EXPECT_EQ(alone[2], Escaping(2));
    EXPECT_EQ(alone[3], Escaping(2));
    EXPECT_EQ(alone[4], limit) << "a lane exactly on the circle keeps iterating";
    EXPECT_EQ(alone[5], Escaping(5));
    EXPECT_EQ(alone[6], limit);
    EXPECT_EQ(alone[7], limit);
    EXPECT_EQ(alone[8], be.elementType == kElementSingle ? limit : Escaping(1)) << "-2 - 1e-7 is -2 in single";

    // In one block: the scalar family ends its lock step in the step where
    // the first lane escapes, and counts a lane that is exactly on the
    // circle in that step as escaped too; the SIMD family does not.
    const std::vector<int32_t> together = RunBackEnd(be, limit, {{-2, 0}, {3, 0}, {-1, 0}, {2, 0}});
    if (Scalar())
        EXPECT_EQ(together, (std::vector<int32_t>{1, 1, limit, 1}));
    else
        EXPECT_EQ(together, (std::vector<int32_t>{limit, 0, limit, 1}));
    const std::vector<int32_t> later = RunBackEnd(be, limit, {{0.5, 0}, {-2, 0}});
    if (Scalar())
        EXPECT_EQ(later, (std::vector<int32_t>{5, 5}));
    else
        EXPECT_EQ(later, (std::vector<int32_t>{4, limit}));
}

TEST_P(BackEndTest, SmallAndLargeLimitsNeverWrap)
{
    const tBackEnd& be = GetParam();
    // 0.25 + 2.2e-9 creeps past the parabolic point at 1/4 and escapes after
    // about 67 000 steps in double and extended precision (in single it is
    // 0.25, which stays).
    const std::vector<tPoint> points = {{0, 0}, {-1, 0}, {0.25, 0}, {0.25 + 2.2e-9, 0}, {0.5, 0}, {3, 0}, {-0.1, 0.1}};
    for (int32_t limit : {1, 2, 65535, 70000}) {
        const std::vector<int32_t> counts = RunBackEnd(be, limit, points);
        for (size_t i = 0; i < points.size(); ++i) {
            EXPECT_EQ(counts[i], Reference(be, points[i], limit)) << "limit " << limit << " point " << points[i];
            EXPECT_GE(counts[i], 0);
            EXPECT_LE(counts[i], limit);
        }
        EXPECT_EQ(counts[0], limit);
        EXPECT_EQ(counts[1], limit);
        EXPECT_EQ(counts[5], Escaping(1));
        if (limit == 70000) {
            if (be.elementType == kElementSingle) {
                EXPECT_EQ(counts[3], 70000);
            } else {
                EXPECT_GT(counts[3], 65535) << "counted beyond 16 bits";
            }
        }
    }
}

TEST_P(BackEndTest, BlockStateAfterARun)
{
    const tBackEnd& be = GetParam();
    tFractalPackedData block;
    block.SetLanes(be.lanes);
    block.SetElementType(be.elementType);
    block.iterationLimit = 10;
    block.SetInt(kSlotSimdLimit, kRowSimdLimit, 10);
    for (int lane = 0; lane < be.lanes; ++lane) {
        block.SetLaneDefaults(lane, 0, 0);
        block.ClearLane(lane);
    }
    block.SaveTemplate();
    block.LoadPoint(0, 3.0, 0.0);  // escapes at once
    block.LoadPoint(1, -1.0, 0.0); // stays
    be.routine(block);
    EXPECT_EQ(block.Int(0, kRowCount), Escaping(1));
    EXPECT_EQ(block.Int(1, kRowCount), 10);
    if (Scalar()) {
        for (int lane = 0; lane < 4; ++lane)
            EXPECT_EQ(block.Int(lane, kRowEscaped), -1) << "the scalar routines flag all four lanes";
        EXPECT_EQ(block.Int(2, kRowCount), 10) << "an empty lane runs like c = 0";
    } else {
        EXPECT_EQ(block.Int(0, kRowEscaped), -1);
        EXPECT_EQ(block.Int(1, kRowEscaped), 0);
        EXPECT_EQ(block.Int(0, kRowMasks), 0);
        EXPECT_EQ(block.Int(1, kRowMasks), -1);
        EXPECT_EQ(block.Int(2, kRowCount), 9) << "an empty lane: -1 plus ten counted rounds";
        EXPECT_EQ(block.Int(kSlotRounds, kRowSimdLimit), 10);
        // The z written back is z11: -1, 0, -1, ... for the lane that stays;
        // the escaped lane went on (3, 12, 147, ... up to overflow).
        EXPECT_EQ(block.ReadValue(1, kRowZRe), -1.0);
        EXPECT_FALSE(block.ReadValue(0, kRowZRe) <= 147.0);
    }

    // A block whose lanes all escape in round 1 writes back z2 and t1.
    block.RestoreTemplate();
    for (int lane = 0; lane < be.lanes; ++lane)
        block.LoadPoint(lane, 3.0, 1.0);
    be.routine(block);
    for (int lane = 0; lane < be.lanes; ++lane) {
        EXPECT_EQ(block.Int(lane, kRowCount), Escaping(1));
        EXPECT_EQ(block.Int(lane, kRowEscaped), -1);
        if (!Scalar()) {
            EXPECT_EQ(block.ReadValue(lane, kRowZRe), 11.0); // 9 - 1 + 3
            EXPECT_EQ(block.ReadValue(lane, kRowZIm), 7.0);  // 3 + 3 + 1
            EXPECT_EQ(block.ReadValue(lane, kRowZProduct), 3.0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryBackEnd, BackEndTest, ::testing::ValuesIn(BackEnds().begin(), BackEnds().end()), NameOf);

TEST(EscapeCount, SinglePointInExtendedPrecision)
{
    EXPECT_EQ(EscapeCount(1024, 3.0L, 0.0L), 1) << "z2 = 12 is outside";
    EXPECT_EQ(EscapeCount(1024, 0.0L, 2.5L), 1);
    EXPECT_EQ(EscapeCount(1024, 2.0L, 0.0L), 1) << "z1 = 2 is never tested; z2 = 6";
    EXPECT_EQ(EscapeCount(1024, -2.0L, 0.0L), 1024) << "exactly on the circle is not outside";
    EXPECT_EQ(EscapeCount(1024, 0.5L, 0.0L), 4) << "z5 is the first outside";
    EXPECT_EQ(EscapeCount(1024, 0.0L, 0.0L), 1024);
    EXPECT_EQ(EscapeCount(1, 0.0L, 0.0L), 1);
    EXPECT_EQ(EscapeCount(0, 0.0L, 0.0L), 1) << "at least one step";
    EXPECT_EQ(EscapeCount(100000, 0.25L + 2.2e-9L, 0.0L),
              RunBackEnd(*FindBackEnd("FLT80 FPU"), 100000, {{0.25 + 2.2e-9, 0}})[0] - 1);

    // Over many points: one less than the extended scalar back end on points
    // that escape, the limit on those that stay.
    const std::vector<tPoint> points = TestPoints();
    // The scalar back end runs to 1025 so that its count tells e = 1025
    // (EscapeCount 1024) from e = 1024 (EscapeCount 1023).
    const std::vector<int32_t> scalar = RunBackEnd(*FindBackEnd("FLT80 FPU"), 1025, points);
    for (size_t i = 0; i < points.size(); ++i) {
        // A scalar count of 1 (c itself outside) has no z_1 test here: 1.
        const int32_t expected = std::min(std::max(scalar[i] - 1, 1), 1024);
        EXPECT_EQ(EscapeCount(1024, points[i].real(), points[i].imag()), expected) << points[i];
    }
}
