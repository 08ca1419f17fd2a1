#include "uPackedData.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

float FloatAt(const tPackedData& b, size_t byte)
{
    float v;
    std::memcpy(&v, b.Block() + byte, 4);
    return v;
}

double DoubleAt(const tPackedData& b, size_t byte)
{
    double v;
    std::memcpy(&v, b.Block() + byte, 8);
    return v;
}

int32_t IntAt(const tPackedData& b, size_t byte)
{
    int32_t v;
    std::memcpy(&v, b.Block() + byte, 4);
    return v;
}

} // namespace

TEST(PackedData, ElementSizesAndBlockAlignment)
{
    EXPECT_EQ(ElementSizeOf(1), 4);
    EXPECT_EQ(ElementSizeOf(2), 4);
    EXPECT_EQ(ElementSizeOf(3), 8);
    EXPECT_EQ(ElementSizeOf(4), 10);
    EXPECT_EQ(ElementSizeOf(0), 0);
    EXPECT_EQ(ElementSizeOf(5), 0);

    // Several blocks, so that at least some raw allocations are misaligned
    // for 16 in practice; every working block must be aligned regardless.
    for (int i = 0; i < 8; ++i) {
        tFractalPackedData b;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b.Block()) % 16, 0u);
        EXPECT_EQ(b.Rows(), 16);
        EXPECT_EQ(b.Lanes(), 0);
        EXPECT_EQ(b.ElementSize(), 0);
        EXPECT_EQ(b.iterationLimit, 0);
    }
}

TEST(PackedData, RowLayoutOfEveryElementType)
{
    tPackedData b;
    // 8 single lanes: rows of 32 bytes; value rows hold floats, int rows ints at 4 * lane.
    b.SetLanes(8);
    b.SetElementType(kElementSingle);
    EXPECT_EQ(b.ElementSize(), 4);
    EXPECT_EQ(b.UsedBytes(), 512u);
    b.SetLaneDefaults(3, 1.5, -2.25);
    b.ClearLane(5);
    b.LoadPoint(6, 0.75, 0.125);
    b.SetCount(7, 42);
    b.MarkEscaped(2);
    EXPECT_EQ(FloatAt(b, 0 * 32 + 3 * 4), 1.5f);
    EXPECT_EQ(FloatAt(b, 3 * 32 + 3 * 4), 1.5f);
    EXPECT_EQ(FloatAt(b, 1 * 32 + 3 * 4), -2.25f);
    EXPECT_EQ(FloatAt(b, 4 * 32 + 3 * 4), -2.25f);
    EXPECT_EQ(FloatAt(b, 8 * 32 + 3 * 4), 4.0f);
    EXPECT_EQ(FloatAt(b, 9 * 32 + 3 * 4), 4.0f);
    EXPECT_EQ(IntAt(b, 6 * 32 + 5 * 4), -1);
    EXPECT_EQ(IntAt(b, 6 * 32 + 6 * 4), 0);
    EXPECT_EQ(FloatAt(b, 0 * 32 + 6 * 4), 0.75f);
    EXPECT_EQ(FloatAt(b, 4 * 32 + 6 * 4), 0.125f);
    EXPECT_EQ(IntAt(b, 6 * 32 + 7 * 4), 42);
    EXPECT_EQ(IntAt(b, 15 * 32 + 2 * 4), -1);
    EXPECT_EQ(b.RowOffset(15), 480u);

    // 4 double lanes: rows of 32 bytes, int rows still 4 bytes per lane.
    b.SetLanes(4);
    b.SetElementType(kElementDouble);
    EXPECT_EQ(b.ReadValue(3, 0), 0.0) << "SetElementType clears the block";
    b.LoadPoint(1, -0.5, 0.25);
    b.SetCount(3, 7);
    EXPECT_EQ(DoubleAt(b, 0 * 32 + 1 * 8), -0.5);
    EXPECT_EQ(DoubleAt(b, 3 * 32 + 1 * 8), -0.5);
    EXPECT_EQ(DoubleAt(b, 1 * 32 + 1 * 8), 0.25);
    EXPECT_EQ(IntAt(b, 6 * 32 + 3 * 4), 7);
    EXPECT_EQ(b.Int(3, kRowCount), 7);

    // 4 extended lanes: rows of 40 bytes, 10 bytes per value.
    b.SetElementType(kElementExtended);
    EXPECT_EQ(b.UsedBytes(), 640u);
    b.SetLaneDefaults(2, 0.1, -0.3);
    EXPECT_EQ(DecodeExtended80(b.Block() + 3 * 40 + 2 * 10), static_cast<long double>(0.1));
    EXPECT_EQ(b.ReadValue(2, 4), -0.3);
    EXPECT_EQ(b.ReadValue(2, 8), 4.0);
    EXPECT_EQ(IntAt(b, 6 * 40 + 2 * 4), 0);
    b.ClearLane(2);
    EXPECT_EQ(b.Int(2, kRowCount), -1);
    EXPECT_EQ(b.ReadValue(2, 0), 0.0);
    EXPECT_EQ(b.ReadValue(2, 8), 4.0) << "ClearLane leaves the bound rows";
}

TEST(PackedData, LoadingAChunkIsLoadingEachPoint)
{
    // LoadPoints (the generator's way, direct for single and double) writes
    // exactly what LoadPoint writes lane by lane; ReadCounts reads int row 6.
    const double re[] = {0.1, -1.75, 0.3, 2.5, -0.0};
    const double im[] = {-0.2, 0.0, 1e-9, 0.5, 0.7};
    for (uint8_t type : {kElementInt32, kElementSingle, kElementDouble, kElementExtended}) {
        for (int32_t lanes : {8, 64}) {
            tPackedData one, all;
            for (tPackedData* b : {&one, &all}) {
                b->SetLanes(lanes);
                b->SetElementType(type);
                for (int32_t lane = 0; lane < lanes; ++lane)
                    b->ClearLane(lane);
            }
            for (int32_t j = 0; j < 5; ++j)
                one.LoadPoint(j, re[j], im[j]);
            all.LoadPoints(5, re, im);
            EXPECT_EQ(std::memcmp(one.Block(), all.Block(), tPackedData::kBlockBytes), 0) << int(type) << " " << lanes;
            all.SetCount(3, 77);
            int32_t counts[5] = {};
            all.ReadCounts(5, counts);
            EXPECT_EQ(counts[0], 0);
            EXPECT_EQ(counts[3], 77);
            EXPECT_EQ(all.Int(5, kRowCount), -1) << "lanes beyond the chunk stay empty";
        }
    }
}

TEST(PackedData, StoreAndReadEveryType)
{
    tPackedData b;
    b.SetLanes(4);
    b.SetElementType(kElementInt32);
    b.StoreValue(5, 3.99);
    b.StoreValue(6, -3.99);
    b.StoreValue(7, 1e12);
    EXPECT_EQ(b.ReadValue(1, 1), 3.0) << "truncation towards zero";
    EXPECT_EQ(b.ReadValue(2, 1), -3.0);
    EXPECT_EQ(b.ReadValue(3, 1), 2147483647.0) << "saturates rather than wrapping";

    b.SetElementType(kElementSingle);
    b.StoreValue(5, 0.1);
    EXPECT_EQ(b.ReadValue(1, 1), static_cast<double>(0.1f));

    b.SetElementType(kElementDouble);
    b.StoreValue(5, 0.1);
    EXPECT_EQ(b.ReadValue(1, 1), 0.1);

    b.SetElementType(kElementExtended);
    b.StoreValue(5, -1.0 / 3.0);
    EXPECT_EQ(b.ReadValue(1, 1), -1.0 / 3.0);

    for (uint8_t type : {uint8_t{0}, uint8_t{5}}) {
        b.SetElementType(type);
        EXPECT_EQ(b.ElementSize(), 0);
        b.StoreValue(5, 1.0); // nothing to write
        EXPECT_EQ(b.ReadValue(1, 1), 0.0);
        EXPECT_EQ(b.UsedBytes(), 0u);
    }
}

TEST(PackedData, TemplateCopiesOnlyTheUsedRows)
{
    tFractalPackedData b;
    b.SetLanes(8);
    b.SetElementType(kElementSingle);
    for (int lane = 0; lane < 8; ++lane) {
        b.SetLaneDefaults(lane, 0, 0);
        b.ClearLane(lane);
    }
    b.SaveTemplate();
    EXPECT_EQ(std::memcmp(b.Block(), b.TemplateBlock(), 512), 0);

    // Dirty the used rows and the byte just after them.
    b.LoadPoint(0, 1.0, 2.0);
    b.SetCount(4, 99);
    b.Block()[512] = 0xAB;
    b.RestoreTemplate();
    EXPECT_EQ(std::memcmp(b.Block(), b.TemplateBlock(), 512), 0);
    EXPECT_EQ(b.Int(0, kRowCount), -1);
    EXPECT_EQ(b.Int(4, kRowCount), -1);
    EXPECT_EQ(b.ReadValue(0, kRowCRe), 0.0);
    EXPECT_EQ(b.Block()[512], 0xAB) << "bytes beyond 16 rows are not restored";

    // A changed lane count changes how much is copied; unknown types copy nothing.
    b.SetElementType(0);
    b.Block()[0] = 0x11;
    b.RestoreTemplate();
    EXPECT_EQ(b.Block()[0], 0x11);
}

TEST(PackedData, ExtendedFormatByHandMatchesTheProcessor)
{
    const long double values[] = {0.0L, -0.0L, 1.0L, -2.5L, 0.1L, 1e-300L, 3.0e300L, 4.0L,
                                  static_cast<long double>(0.371540195428848),
                                  std::numeric_limits<long double>::infinity()};
    for (long double v : values) {
        uint8_t byHand[10];
        uint8_t native[10];
        EncodeExtended80Portable(v, byHand);
        EncodeExtended80(v, native);
        EXPECT_EQ(DecodeExtended80Portable(byHand), v);
        EXPECT_EQ(DecodeExtended80(native), v);
#if LDBL_MANT_DIG == 64
        EXPECT_EQ(std::memcmp(byHand, native, 10), 0) << static_cast<double>(v);
#endif
    }
    uint8_t nan[10];
    EncodeExtended80Portable(std::numeric_limits<long double>::quiet_NaN(), nan);
    EXPECT_TRUE(std::isnan(DecodeExtended80Portable(nan)));
}
