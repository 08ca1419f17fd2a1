#include "uMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Round, TiesGoToTheEvenNeighbour)
{
    EXPECT_EQ(Round(0.5L), 0);
    EXPECT_EQ(Round(1.5L), 2);
    EXPECT_EQ(Round(2.5L), 2);
    EXPECT_EQ(Round(3.5L), 4);
    EXPECT_EQ(Round(-0.5L), 0);
    EXPECT_EQ(Round(-1.5L), -2);
    EXPECT_EQ(Round(-2.5L), -2);
    EXPECT_EQ(Round(2047.5L), 2048);
    EXPECT_EQ(Round(2.4999999L), 2);
    EXPECT_EQ(Round(2.5000001L), 3);
    EXPECT_EQ(Round(-7.2L), -7);
}

TEST(Round, SaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(Round(std::numeric_limits<extended>::quiet_NaN()), 0);
    EXPECT_EQ(Round(1e30L), INT64_MAX);
    EXPECT_EQ(Round(-1e30L), INT64_MIN);
}

TEST(SineTable, UsesSixtyFourthsOfADegree)
{
    EXPECT_NEAR(static_cast<double>(SinDeg(30)), 0.5, 1e-15);
    EXPECT_NEAR(static_cast<double>(SinDeg(90)), 1.0, 1e-15);
    EXPECT_EQ(SinDeg(0), 0);
    // The angle is rounded to the table's step, ties to even:
    // 1/128 degree is half a step and rounds to entry 0, 3/128 to entry 2.
    EXPECT_EQ(SinDeg(1.0L / 128), 0);
    EXPECT_EQ(SinDeg(3.0L / 128), SinDeg(2.0L / 64));
    EXPECT_NE(SinDeg(3.0L / 128), SinDeg(1.0L / 64));
    // A whole turn wraps around.
    EXPECT_EQ(SinDeg(390), SinDeg(30));
    EXPECT_EQ(SinDeg(720 + 45), SinDeg(45));
}

TEST(SineTable, NegativeAnglesAndCosine)
{
    EXPECT_EQ(SinDeg(-30), -SinDeg(30));
    EXPECT_EQ(SinDeg(-400), -SinDeg(40));
    EXPECT_EQ(CosDeg(0), SinDeg(90));
    EXPECT_EQ(CosDeg(60), SinDeg(150));
    EXPECT_EQ(CosDeg(-90), SinDeg(0));
    EXPECT_NEAR(static_cast<double>(CosDeg(-60)), 0.5, 1e-15);
    EXPECT_EQ(SinDeg(std::numeric_limits<extended>::infinity()), 0);
}

TEST(Vector2, RotationTurnsClockwiseOnAScreenWithYDown)
{
    const tVector2 right{1, 0};
    const tVector2 turned = right.Rotated(90);
    EXPECT_NEAR(static_cast<double>(turned.x), 0, 1e-15);
    EXPECT_NEAR(static_cast<double>(turned.y), 1, 1e-15); // down on the screen
    const tVector2 back = turned.Rotated(-90);
    EXPECT_NEAR(static_cast<double>(back.x), 1, 1e-15);
    EXPECT_NEAR(static_cast<double>(back.y), 0, 1e-15);
    const tVector2 v = tVector2{3, 4} * 2 + tVector2{1, 1} - tVector2{0, 1};
    EXPECT_EQ(v, (tVector2{7, 8}));
    EXPECT_EQ(v.LengthSquared(), 113);
}
