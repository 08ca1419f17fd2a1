#include "uColor.h"

#include <gtest/gtest.h>

#include <limits>

TEST(Color, PackedLayoutIsRedInTheLowByte)
{
    const tPackedColor c = PackRGBA(1, 2, 3, 4);
    EXPECT_EQ(c, 0x04030201u);
    EXPECT_EQ(RedOf(c), 1);
    EXPECT_EQ(GreenOf(c), 2);
    EXPECT_EQ(BlueOf(c), 3);
    EXPECT_EQ(AlphaOf(c), 4);
    EXPECT_EQ(SwapRedBlue(c), PackRGBA(3, 2, 1, 4));
    EXPECT_EQ(WithAlpha(c, 255), PackRGBA(1, 2, 3, 255));
}

TEST(Color, PackingClampsAndTruncates)
{
    EXPECT_EQ(FloatToPacked({12.9f, 300.0f, -5.0f, 255.0f}), PackRGBA(12, 255, 0, 255));
    EXPECT_EQ(FloatToPacked({std::numeric_limits<float>::quiet_NaN(), 254.99f, 0.5f, 1000.0f}),
              PackRGBA(0, 254, 0, 255));
    const tFloatColor f = PackedToFloat(PackRGBA(10, 20, 30, 40));
    EXPECT_EQ(f, (tFloatColor{10, 20, 30, 40}));
    EXPECT_EQ(FloatToPacked(f), PackRGBA(10, 20, 30, 40));
}

TEST(Color, LerpRoundsTiesToEvenAndClampsT)
{
    const tFloatColor black{0, 0, 0, 255};
    const tFloatColor white{255, 3, 1, 255};
    const tFloatColor mid = Lerp(black, white, 0.5);
    EXPECT_EQ(mid.r, 128); // 127.5
    EXPECT_EQ(mid.g, 2);   // 1.5
    EXPECT_EQ(mid.b, 0);   // 0.5
    EXPECT_EQ(mid.a, 255);
    EXPECT_EQ(Lerp(black, white, 2.0), white);
    EXPECT_EQ(Lerp(black, white, -1.0), black);
    EXPECT_EQ(Lerp(black, white, std::numeric_limits<double>::quiet_NaN()), black);
    // Components are kept unclamped until packed.
    const tFloatColor big = Lerp({0, 0, 0, 0}, {1000, -25, 378, 0}, 0.5);
    EXPECT_EQ(big.r, 500);
    EXPECT_EQ(big.g, -12); // -12.5 goes to the even neighbour
    EXPECT_EQ(big.b, 189);
}
