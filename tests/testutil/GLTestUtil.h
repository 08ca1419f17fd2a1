#pragma once
// Shared helpers of the OpenGL tests: a fixture with a real window, a context
// and the global interface on it, reading the frame back, and colour and
// coverage matchers. The tests run under a virtual display (xvfb-run) on
// Mesa's software renderer.
#include "uColor.h"
#include "uMath.h"
#include "uOpenGL.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

/// The drawn frame, top row first, as packed colours.
struct tFrame {
    int width = 0;
    int height = 0;
    std::vector<tPackedColor> pixels;

    tPackedColor At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

/// Reads the back buffer of the current context: width × height pixels from
/// the window's top-left corner.
tFrame ReadFrame(int width, int height);

/// "(r,g,b,a)" for messages.
std::string ColorText(tPackedColor c);
/// Each of R, G and B within tolerance (alpha is not compared).
bool ColorNear(tPackedColor a, tPackedColor b, int tolerance = 2);
::testing::AssertionResult PixelIs(const tFrame& frame, int x, int y, tPackedColor expected, int tolerance = 2);

/// The smallest inclusive rectangle holding every pixel that matches; right
/// below left (and bottom below top) when none does.
tRect BoundingBox(const tFrame& frame, const std::function<bool(tPackedColor)>& match);
/// BoundingBox of the pixels within tolerance of the colour.
tRect BoundingBoxOf(const tFrame& frame, tPackedColor color, int tolerance = 2);
int CountPixels(const tFrame& frame, const std::function<bool(tPackedColor)>& match);
std::string RectText(const tRect& r);

/// A window of windowWidth × windowHeight pixels with the global interface
/// made on it (2-D projection, fixed state, black frame), OpenGL errors
/// checked after every group of calls. Derived fixtures may change the size
/// in their constructors.
class tGLTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The back buffer of the fixture's window.
    tFrame Frame() const { return ReadFrame(windowWidth, windowHeight); }

    int windowWidth = 320;
    int windowHeight = 240;
    tWindowHandle window;
    std::unique_ptr<tOpenGLInterface> gl;

private:
    bool oldChecking_ = false;
};
