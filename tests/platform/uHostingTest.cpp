#include "uHosting.h"

#include "X11Windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/resource.h>
#include <thread>

namespace {
// B, G, R, A of a pixel.
std::array<uint8_t, 4> PixelAt(const tBitmap& b, int x, int y)
{
    const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(b.width) + static_cast<size_t>(x)) * 4;
    return {b.pixels[at], b.pixels[at + 1], b.pixels[at + 2], b.pixels[at + 3]};
}
} // namespace

TEST(Hosting, WindowsThatExist)
{
    tX11Screenshot shot(8, 4);
    ASSERT_TRUE(shot.Valid()) << "needs a display";
    EXPECT_TRUE(WindowExists(shot.Window()));
    EXPECT_NE(RootWindowId(), 0u);
    EXPECT_TRUE(WindowExists(RootWindowId()));
    EXPECT_FALSE(WindowExists(shot.Pixmap())) << "a pixmap is no window";
    EXPECT_FALSE(WindowExists(0x7ffffff0u));
    EXPECT_FALSE(WindowExists(0));
    EXPECT_FALSE(WindowExists(uint64_t{1} << 40));
}

TEST(Hosting, TheHostsScreenshotFromTheWindowOrItsRoot)
{
    tX11Screenshot shot(40, 30);
    ASSERT_TRUE(shot.Valid()) << "needs a display";
    EXPECT_FALSE(HostScreenshot(shot.Window()).has_value()) << "nothing announced";

    for (const bool onRoot : {true, false}) {
        shot.Announce(onRoot);
        const auto picture = HostScreenshot(shot.Window());
        ASSERT_TRUE(picture.has_value()) << onRoot;
        ASSERT_TRUE(picture->Valid());
        EXPECT_EQ(picture->width, 40);
        EXPECT_EQ(picture->height, 30);
        EXPECT_EQ(PixelAt(*picture, 0, 0), (std::array<uint8_t, 4>{0x80, 0x40, 0x20, 255}));
        EXPECT_EQ(PixelAt(*picture, 19, 29), (std::array<uint8_t, 4>{0x80, 0x40, 0x20, 255}));
        EXPECT_EQ(PixelAt(*picture, 20, 0), (std::array<uint8_t, 4>{0x10, 0xE0, 0xC0, 255}));
        EXPECT_EQ(PixelAt(*picture, 39, 29), (std::array<uint8_t, 4>{0x10, 0xE0, 0xC0, 255}));
    }
    shot.FreePixmap();
    EXPECT_FALSE(HostScreenshot(shot.Window()).has_value()) << "a pixmap that is gone";
    EXPECT_FALSE(HostScreenshot(0x7ffffff0u).has_value());
}

TEST(Hosting, TheNiceValueReachesThreadsStartedBefore)
{
    std::atomic<bool> go{false};
    std::atomic<int> seen{-100};
    std::thread early([&] {
        while (!go)
            std::this_thread::yield();
        errno = 0;
        seen = ::getpriority(PRIO_PROCESS, 0); // this thread's own value
    });
    const int before = ProcessNiceness();
    ASSERT_LT(before, 19);
    EXPECT_TRUE(SetProcessNiceness(before + 1));
    go = true;
    early.join();
    EXPECT_EQ(ProcessNiceness(), before + 1);
    EXPECT_EQ(seen, before + 1);
}
