#include "uViewPort.h"

#include "GLTestUtil.h"
#include "TestUtil.h"

#include <GL/gl.h>

#include <cmath>

namespace {

constexpr tPackedColor kBlack = PackRGBA(0, 0, 0);
constexpr tPackedColor kRed = PackRGBA(255, 0, 0);
constexpr tPackedColor kGreen = PackRGBA(0, 255, 0);

bool NotBlack(tPackedColor c) { return !ColorNear(c, kBlack, 0); }

using ViewPort = tGLTest;

/// An untextured square of side 2 × half around (x, y) at depth z.
void Square(tOpenGLInterface& gl, extended x, extended y, extended half, extended z = 0)
{
    gl.FillPolygon3D({x, y, z}, {}, {{-half, -half, 0}, {half, -half, 0}, {half, half, 0}, {-half, half, 0}});
}

tVector2 Centre(const tRect& r) { return {(r.left + r.right + 1) / 2.0L, (r.top + r.bottom + 1) / 2.0L}; }

} // namespace

TEST(ViewPortWithoutInterface, IsEightHundredBySixHundred)
{
    tViewPortGL viewport(nullptr, "main");
    EXPECT_EQ(viewport.GL(), nullptr);
    EXPECT_EQ(viewport.size, (tVector2{800, 600}));
    EXPECT_EQ(viewport.cameraPosition, (tVector3{400, 300, 0}));
    EXPECT_EQ(viewport.cameraScale, (tVector3{1, 1, 1}));
    EXPECT_EQ(viewport.screenOffset, (tVector2{0, 0}));
    EXPECT_EQ(viewport.roll, 0);
    EXPECT_EQ(viewport.pitch, 0);
    EXPECT_EQ(viewport.yaw, 0);
    EXPECT_EQ(viewport.renderTexture, nullptr);
    EXPECT_EQ(viewport.pbuffer, nullptr);
    EXPECT_EQ(viewport.displayMode, 0);
    EXPECT_EQ(viewport.GetName(), "Viewport \"main\" [800,600]");

    viewport.SetArea({0, 0}, {1024, 768});
    EXPECT_EQ(viewport.GetName(), "Viewport \"main\" [1024,768]");
    EXPECT_EQ(viewport.cameraPosition, (tVector3{512, 384, 0}));
    viewport.SetArea({10, 20}, {100, 50});
    EXPECT_EQ(viewport.screenOffset, (tVector2{10, -20})) << "bottom-up: 50 − (50 + 20)";
    EXPECT_NO_THROW(viewport.BeginFrame());
}

TEST_F(ViewPort, TakesTheInterfacesWindowSize)
{
    tViewPortGL viewport(gl.get(), "main");
    EXPECT_EQ(viewport.size, (tVector2{static_cast<extended>(windowWidth + 1), static_cast<extended>(windowHeight + 1)}));
    EXPECT_EQ(viewport.GetName(), "Viewport \"main\" [321,241]");
    EXPECT_EQ(viewport.screenOffset, (tVector2{0, 0}));
    viewport.SetArea({20, 30}, {100, 100});
    EXPECT_EQ(viewport.screenOffset, (tVector2{20, static_cast<extended>(windowHeight + 1) - 130}));
}

TEST_F(ViewPort, TheZeroPlaneLiesOnItsPixelsWithTheDefaultCamera)
{
    tViewPortGL viewport(gl.get(), "main");
    viewport.BeginFrame();
    GLint vp[4] = {};
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], windowWidth);
    EXPECT_EQ(vp[3], windowHeight);
    gl->drawColor = kRed;
    gl->FillRect({10, 20}, {30, 50});
    EXPECT_EQ(RectText(BoundingBoxOf(Frame(), kRed)), RectText({10, 20, 29, 49}));
}

TEST_F(ViewPort, TheCameraPositionIsShownAtTheCentre)
{
    tViewPortGL viewport(gl.get(), "main");
    viewport.BeginFrame();
    viewport.SetCamera({1000, 2000}, {1, 1}, 0);
    gl->drawColor = kRed;
    Square(*gl, 1000, 2000, 10);
    tRect box = BoundingBoxOf(Frame(), kRed);
    const tVector2 middle = Centre(box);
    EXPECT_LE(std::abs(middle.x - viewport.size.x / 2), 1) << RectText(box);
    EXPECT_LE(std::abs(middle.y - viewport.size.y / 2), 1) << RectText(box);
    EXPECT_EQ(box.right - box.left + 1, 20);

    // Scale 2 doubles about the centre.
    gl->ClearBlack();
    viewport.SetCamera({1000, 2000}, {2, 2}, 0);
    Square(*gl, 1000, 2000, 10);
    box = BoundingBoxOf(Frame(), kRed);
    EXPECT_EQ(box.right - box.left + 1, 40) << RectText(box);
    EXPECT_EQ(box.bottom - box.top + 1, 40) << RectText(box);

    // Roll 90: a point right of the camera shows below the centre (the
    // picture turns clockwise).
    gl->ClearBlack();
    viewport.SetCamera({1000, 2000}, {1, 1}, 90);
    Square(*gl, 1050, 2000, 5);
    box = BoundingBoxOf(Frame(), kRed);
    EXPECT_LE(std::abs(Centre(box).x - viewport.size.x / 2), 1) << RectText(box);
    EXPECT_LE(std::abs(Centre(box).y - (viewport.size.y / 2 + 50)), 1) << RectText(box);

    // Yaw turns about the vertical axis: a square shows narrower, as tall.
    gl->ClearBlack();
    viewport.roll = 0;
    viewport.yaw = 60;
    viewport.ApplyCamera();
    Square(*gl, 1000, 2000, 20);
    box = BoundingBoxOf(Frame(), kRed);
    EXPECT_LE(box.right - box.left + 1, 24) << RectText(box);
    EXPECT_GE(box.bottom - box.top + 1, 38) << RectText(box);
}

TEST_F(ViewPort, BeginFrameMakesTheContextCurrent)
{
    tCapturedLog log;
    tViewPortGL viewport(gl.get(), "main");
    gl->Context().DoneCurrent();
    EXPECT_FALSE(gl->Context().IsCurrent());
    viewport.BeginFrame();
    EXPECT_TRUE(gl->Context().IsCurrent());
    EXPECT_EQ(log.FileCount("Could not set default rendering context!"), 0);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

// The bowl and the tilted plane are laid out for an 800 × 600 screen.
class ViewPortRenderTexture : public tGLTest {
protected:
    ViewPortRenderTexture()
    {
        windowWidth = 800;
        windowHeight = 600;
    }
};

TEST_F(ViewPortRenderTexture, CaptureAndShow)
{
    tCapturedLog log;
    tViewPortGL viewport(gl.get(), "main");
    viewport.ShowRenderTexture(); // nothing without one
    EXPECT_EQ(CountPixels(Frame(), NotBlack), 0);

    viewport.EnableRenderTexture();
    ASSERT_NE(viewport.renderTexture, nullptr);
    viewport.BeginFrame();
    gl->drawColor = kGreen;
    gl->FillRect({300, 200}, {500, 400});
    viewport.CaptureToTexture();
    gl->ClearBlack();

    // Mode 0 shows the frame again, right way up.
    viewport.ShowRenderTexture();
    tFrame frame = Frame();
    const tRect box = BoundingBox(frame, [](tPackedColor c) { return GreenOf(c) > 128; });
    EXPECT_LE(std::abs(box.left - 300), 2) << RectText(box);
    EXPECT_LE(std::abs(box.right - 499), 2) << RectText(box);
    EXPECT_LE(std::abs(box.top - 200), 2) << RectText(box);
    EXPECT_LE(std::abs(box.bottom - 399), 2) << RectText(box);

    // Modes 1 (tilted) and 2 (bowl) show it in 3-D, somewhere on screen.
    for (uint8_t mode : {1, 2}) {
        SCOPED_TRACE(static_cast<int>(mode));
        gl->ClearBlack();
        viewport.displayMode = mode;
        viewport.ShowRenderTexture();
        frame = Frame();
        EXPECT_GT(CountPixels(frame, [](tPackedColor c) { return GreenOf(c) > 128; }), 100);
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 1);
    }

    viewport.DisableRenderTexture();
    EXPECT_EQ(viewport.renderTexture, nullptr);
    EXPECT_TRUE(log.FileContains("Disableing render texture on Viewport \"main\" [801,601]"));
}

TEST_F(ViewPort, PresentShowsTheFrame)
{
    tCapturedLog log;
    tViewPortGL viewport(gl.get(), "main");
    viewport.BeginFrame();
    gl->Clear(kRed);
    viewport.Present();
    EXPECT_EQ(log.FileCount("Could not swap openGL buffer"), 0);
    gl->Context().SimulateSwapFailure("gone");
    viewport.Present();
    EXPECT_TRUE(log.FileContains("Could not swap openGL buffer because \"gone\""));
}
