// Checks that need the toolkit on a Wayland desktop, which
// platform_wayland_tests starts and runs this program on (not a CTest test
// of its own: without that desktop there is nothing to check).
#include "uDesktopCapture.h"

#include "WidgetApplication.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {
[[maybe_unused]] auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new tWidgetApplication("platform_wayland_toolkit_checks"));

/// B, G, R of a captured pixel as 0xRRGGBB.
uint32_t CapturedRgb(const tBitmap& shot, int x, int y)
{
    const uint8_t* p = shot.pixels.data() + (static_cast<size_t>(y) * shot.width + x) * 4;
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}
} // namespace

// On a Wayland desktop, where the toolkit grabs nothing, the compositor
// copies the outputs. platform_wayland_tests runs this on one whose two
// outputs show plain backgrounds (plum and teal).
TEST(DesktopCapture, OnAWaylandDesktopTheCompositorCopiesTheOutputs)
{
    ASSERT_EQ(QGuiApplication::platformName(), "wayland");
    const tBitmap desktop = CaptureDesktop();
    ASSERT_TRUE(desktop.Valid());
    EXPECT_EQ(desktop.width, 2560);
    EXPECT_EQ(desktop.height, 720);
    EXPECT_EQ(CapturedRgb(desktop, 10, 10), 0xC8285Au);
    EXPECT_EQ(CapturedRgb(desktop, 1279, 719), 0xC8285Au);
    EXPECT_EQ(CapturedRgb(desktop, 1280, 0), 0x208080u);
    const tBitmap part = CaptureDesktop(tRect{1270, 100, 1290, 110});
    ASSERT_TRUE(part.Valid());
    EXPECT_EQ(CapturedRgb(part, 9, 0), 0xC8285Au);
    EXPECT_EQ(CapturedRgb(part, 10, 0), 0x208080u);
}
