#include "uFormat.h"
#include "uNumberParser.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(Format, FixedAndGeneralForms)
{
    EXPECT_EQ(Format3(1.5L), "1.500");
    EXPECT_EQ(FormatFixed(-2.119017L, 3), "-2.119");
    EXPECT_EQ(FormatFixed(0.25L, 1), "0.2"); // nearest representable, ties to even
    EXPECT_EQ(FloatToStr(0.1L), "0.1");
    EXPECT_EQ(FloatToStr(100000.0L), "100000");
    EXPECT_EQ(FloatToStr(0.371540195428848L), "0.371540195428848");
    EXPECT_EQ(VectorText({1.5L, -2}), "[1.5,-2]");
}

TEST(Format, IgnoresTheProcessLocale)
{
    tDecimalCommaLocale comma;
    ASSERT_TRUE(comma.Active()) << "could not set a decimal-comma locale";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    EXPECT_STREQ(buf, "1,5"); // the C library now writes commas...
    EXPECT_EQ(Format3(1.5L), "1.500"); // ...our forms do not
    EXPECT_EQ(FloatToStr(0.5L), "0.5");
    double d = 0;
    EXPECT_TRUE(TryStrToFloat("2.5", d));
    EXPECT_EQ(d, 2.5);
}

TEST(Format, ThousandsGroupsAndPadding)
{
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatThousands(1234), "1,234");
    EXPECT_EQ(FormatThousands(1234567), "1,234,567");
    EXPECT_EQ(FormatThousands(-1234), "-1,234");
    EXPECT_EQ(FormatThousands(0), "0");
    EXPECT_EQ(PadLeft("Draw", 8), "    Draw");
    EXPECT_EQ(PadRight("ab", 4), "ab  ");
    EXPECT_EQ(PadLeft("toolong", 3), "toolong");
    EXPECT_EQ(Trim("  a b \t"), "a b");
    EXPECT_EQ(UpperCase("/s:x"), "/S:X");
}

TEST(NumberParser, EvaluatesBracketedExpressions)
{
    tCapturedLog log;
    extended v = 0;
    EXPECT_TRUE(EvaluateNumber("1.5", v));
    EXPECT_EQ(v, 1.5L);
    EXPECT_TRUE(EvaluateNumber(" (1 + 2) * 2 ", v));
    EXPECT_EQ(v, 6);
    EXPECT_TRUE(EvaluateNumber("-(3)/4", v));
    EXPECT_EQ(v, -0.75L);
    EXPECT_TRUE(EvaluateNumber("2e3", v));
    EXPECT_EQ(v, 2000);
    EXPECT_TRUE(log.lines.empty());
}

TEST(NumberParser, ReportsItsTwoWarnings)
{
    tCapturedLog log;
    extended v = 7;
    EXPECT_FALSE(EvaluateNumber("(1+2", v));
    EXPECT_EQ(v, 7);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "[3] Bracket has no end! \"(1+2\"");

    EXPECT_FALSE(EvaluateNumber("12x", v));
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[1], "[1] Invalid character in number \"12x\"");

    EXPECT_FALSE(EvaluateNumber("", v));
    EXPECT_FALSE(EvaluateNumber(std::string(500, '('), v)); // deep nesting is refused, not a stack overflow
    EXPECT_EQ(v, 7);
}

TEST(NumberParser, StrictConversions)
{
    int64_t i = 0;
    EXPECT_TRUE(TryStrToInt(" 42 ", i));
    EXPECT_EQ(i, 42);
    EXPECT_TRUE(TryStrToInt("-7", i));
    EXPECT_EQ(i, -7);
    EXPECT_FALSE(TryStrToInt("4 2", i));
    EXPECT_FALSE(TryStrToInt("0x10", i));
    EXPECT_FALSE(TryStrToInt("99999999999999999999", i));
    EXPECT_FALSE(TryStrToInt("", i));
    double d = 0;
    EXPECT_TRUE(TryStrToFloat("1.5e2", d));
    EXPECT_EQ(d, 150);
    EXPECT_FALSE(TryStrToFloat("1,5", d));
    EXPECT_FALSE(TryStrToFloat("1e400", d));
    EXPECT_FALSE(TryStrToFloat("nan", d));
}
