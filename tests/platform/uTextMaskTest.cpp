// The text mask: the text's box, clipping to the page, and rendering in a
// process without windows, with or without a reachable display.
#include "uGuiApplication.h"
#include "uTextMask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {
tFont TestFont(int pixels)
{
    tFont font;
    font.pixelSize = pixels;
    return font;
}

int Inked(const tTextMask& mask)
{
    return static_cast<int>(std::count_if(mask.red.begin(), mask.red.end(), [](uint8_t r) { return r > 0; }));
}

// Renders in a fresh process (gtest re-executes the binary for this test
// alone), so that EnsureGuiApplication has to create the application itself.
[[noreturn]] void RenderInFreshProcess(const char* display)
{
    unsetenv("QT_QPA_PLATFORM");
    unsetenv("WAYLAND_DISPLAY");
    if (display)
        setenv("DISPLAY", display, 1);
    else
        unsetenv("DISPLAY");
    const tTextMask mask = RenderTextMask(100, 40, 2, 2, TestFont(20), "Quorex");
    std::exit(mask.textWidth > 20 && Inked(mask) > 20 ? 0 : 1);
}
} // namespace

TEST(TextMask, CoversTheTextBoxClippedToThePage)
{
    const tTextMask whole = RenderTextMask(300, 100, 10, 20, TestFont(30), "Wide text");
    ASSERT_GT(whole.textWidth, 60);
    ASSERT_GT(whole.textHeight, 25);
    EXPECT_EQ(whole.left, 10);
    EXPECT_EQ(whole.top, 20);
    EXPECT_EQ(whole.width, whole.textWidth + 1) << "the box includes its far edge";
    EXPECT_EQ(whole.height, whole.textHeight + 1);
    ASSERT_EQ(whole.red.size(), static_cast<size_t>(whole.width * whole.height));
    EXPECT_GT(Inked(whole), 100);
    EXPECT_NE(std::find(whole.red.begin(), whole.red.end(), 255), whole.red.end()) << "full coverage somewhere";

    // Moved up and left over the page's corner: the same glyph pixels, shifted.
    const tTextMask clipped = RenderTextMask(300, 100, -5, -7, TestFont(30), "Wide text");
    EXPECT_EQ(clipped.left, 0);
    EXPECT_EQ(clipped.top, 0);
    EXPECT_EQ(clipped.width, whole.width - 5);
    EXPECT_EQ(clipped.height, whole.height - 7);
    for (int32_t y = 0; y < clipped.height; ++y)
        for (int32_t x = 0; x < clipped.width; ++x)
            ASSERT_EQ(clipped.red[static_cast<size_t>(y * clipped.width + x)],
                      whole.red[static_cast<size_t>((y + 7) * whole.width + x + 5)])
                << x << "," << y;

    const tTextMask bigger = RenderTextMask(600, 200, 0, 0, TestFont(60), "Wide text");
    EXPECT_GT(bigger.textWidth, whole.textWidth * 3 / 2) << "the pixel size is honoured";

    EXPECT_TRUE(RenderTextMask(300, 100, 400, 0, TestFont(30), "x").red.empty()) << "entirely off the page";
    EXPECT_TRUE(RenderTextMask(300, 100, 0, 0, TestFont(30), "").red.empty());
    EXPECT_TRUE(RenderTextMask(0, 0, 0, 0, TestFont(30), "x").red.empty());
    EXPECT_TRUE(EnsureGuiApplication());
}

TEST(TextMaskDeathTest, RendersWithoutAnyDisplay)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RenderInFreshProcess(nullptr), testing::ExitedWithCode(0), "");
}

TEST(TextMaskDeathTest, RendersWhenTheDisplayCannotBeReached)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RenderInFreshProcess(":4711"), testing::ExitedWithCode(0), "");
}
