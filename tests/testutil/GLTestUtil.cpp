#include "GLTestUtil.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

tFrame ReadFrame(int width, int height)
{
    tFrame frame;
    frame.width = width;
    frame.height = height;
    std::vector<tPackedColor> bottomUp(static_cast<size_t>(width) * height);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    frame.pixels.resize(bottomUp.size());
    for (int y = 0; y < height; ++y)
        std::copy_n(bottomUp.begin() + static_cast<ptrdiff_t>(height - 1 - y) * width, width,
                    frame.pixels.begin() + static_cast<ptrdiff_t>(y) * width);
    return frame;
}

std::string ColorText(tPackedColor c)
{
    return "(" + std::to_string(RedOf(c)) + "," + std::to_string(GreenOf(c)) + "," + std::to_string(BlueOf(c)) +
           "," + std::to_string(AlphaOf(c)) + ")";
}

bool ColorNear(tPackedColor a, tPackedColor b, int tolerance)
{
    return std::abs(RedOf(a) - RedOf(b)) <= tolerance && std::abs(GreenOf(a) - GreenOf(b)) <= tolerance &&
           std::abs(BlueOf(a) - BlueOf(b)) <= tolerance;
}

::testing::AssertionResult PixelIs(const tFrame& frame, int x, int y, tPackedColor expected, int tolerance)
{
    if (x < 0 || y < 0 || x >= frame.width || y >= frame.height)
        return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") lies outside the frame";
    const tPackedColor got = frame.At(x, y);
    if (ColorNear(got, expected, tolerance))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << ColorText(got) << ", expected "
                                         << ColorText(expected) << " ±" << tolerance;
}

tRect BoundingBox(const tFrame& frame, const std::function<bool(tPackedColor)>& match)
{
    tRect box{frame.width, frame.height, -1, -1};
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x)
            if (match(frame.At(x, y))) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

tRect BoundingBoxOf(const tFrame& frame, tPackedColor color, int tolerance)
{
    return BoundingBox(frame, [&](tPackedColor c) { return ColorNear(c, color, tolerance); });
}

int CountPixels(const tFrame& frame, const std::function<bool(tPackedColor)>& match)
{
    return static_cast<int>(std::count_if(frame.pixels.begin(), frame.pixels.end(), match));
}

std::string RectText(const tRect& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

void tGLTest::SetUp()
{
    try {
        window = CreateTestWindow(windowWidth, windowHeight);
    } catch (const std::exception& e) {
        FAIL() << "the OpenGL tests need a display (run them under xvfb-run): " << e.what();
    }
    oldChecking_ = GLErrorChecking();
    SetGLErrorChecking(true);
    gl = tOpenGLInterface::Create(window);
}

void tGLTest::TearDown()
{
    gl.reset();
    window.reset();
    SetGLErrorChecking(oldChecking_);
}
