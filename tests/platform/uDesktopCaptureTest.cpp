#include "uDesktopCapture.h"
#include "uGLSurface.h"

#include <GL/gl.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

/// B, G, R of a captured pixel as 0xRRGGBB.
uint32_t CapturedRgb(const tBitmap& shot, int x, int y)
{
    const uint8_t* p = shot.pixels.data() + (static_cast<size_t>(y) * shot.width + x) * 4;
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

} // namespace

TEST(DesktopCapture, PhotographsWhatTheScreenShows)
{
    // A window showing a colour nothing else on the virtual display has.
    tWindowHandle window = CreateTestWindow(120, 80);
    tGLContext context(window);
    ASSERT_TRUE(context.MakeCurrent());
    const tRect r = WindowRect(window);
    constexpr uint32_t kPlum = 0xC8285A;
    const auto shotShowsThePlum = [&](tBitmap& shot) {
        QElapsedTimer timer;
        timer.start();
        do {
            glClearColor(200 / 255.0f, 40 / 255.0f, 90 / 255.0f, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            std::string reason;
            context.SwapBuffers(reason);
            QCoreApplication::processEvents();
            shot = CaptureDesktop();
            if (shot.Valid() && CapturedRgb(shot, r.left + 60, r.top + 40) == kPlum)
                return true;
        } while (timer.elapsed() < 10000);
        return false;
    };

    tBitmap desktop;
    ASSERT_TRUE(shotShowsThePlum(desktop)) << "the window never showed in the capture";
    const QRect virtualDesktop = QGuiApplication::primaryScreen()->virtualGeometry();
    EXPECT_EQ(desktop.width, virtualDesktop.width());
    EXPECT_EQ(desktop.height, virtualDesktop.height());
    EXPECT_EQ(CapturedRgb(desktop, r.left, r.top), kPlum);
    EXPECT_EQ(CapturedRgb(desktop, r.right - 1, r.bottom - 1), kPlum);
    for (size_t i = 3; i < desktop.pixels.size(); i += 4)
        ASSERT_EQ(desktop.pixels[i], 255) << "every pixel is opaque";

    // An area gives just that part, right and bottom exclusive.
    const tBitmap part = CaptureDesktop(tRect{r.left + 10, r.top + 20, r.left + 40, r.top + 30});
    ASSERT_TRUE(part.Valid());
    EXPECT_EQ(part.width, 30);
    EXPECT_EQ(part.height, 10);
    EXPECT_EQ(CapturedRgb(part, 0, 0), kPlum);
    EXPECT_EQ(CapturedRgb(part, 29, 9), kPlum);

    EXPECT_FALSE(CaptureDesktop(tRect{10, 10, 10, 50}).Valid()) << "an empty area";
    context.DoneCurrent();
}
