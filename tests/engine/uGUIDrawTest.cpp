// The GUI system and its transitions on a real context, read back.
#include "uGUI.h"
#include "uOpenGL.h"
#include "uTimer.h"
#include "uUniverse.h"
#include "uViewPort.h"

#include "GLTestUtil.h"
#include "TestUtil.h"

#include <memory>

namespace {

constexpr tPackedColor kBlack = PackRGBA(0, 0, 0);
constexpr tPackedColor kRed = PackRGBA(255, 0, 0);
constexpr tPackedColor kBlue = PackRGBA(0, 0, 255);

/// A GUI system with two interfaces in complex mode: "from" pictures red,
/// "to" blue. Draw() captures both pictures into their render textures.
class Transitions : public tGLTest {
protected:
    void SetUp() override
    {
        tGLTest::SetUp();
        if (HasFatalFailure())
            return;
        CreateGlobalTimer();
        system = std::make_unique<tGuiSystem>(gl.get());
        from = std::make_unique<tGuiInterface>(*system, "from");
        to = std::make_unique<tGuiInterface>(*system, "to");
        Prepare(*from, kRed);
        Prepare(*to, kBlue);
    }
    void TearDown() override
    {
        to.reset();
        from.reset();
        system.reset();
        FreeGlobalTimer();
        tGLTest::TearDown();
    }

    static void Prepare(tGuiInterface& gui, tPackedColor color)
    {
        gui.Scene()->clearBeforeDrawing = true;
        gui.Scene()->clearColor = color;
        gui.Scene()->Viewport()->EnableRenderTexture();
        gui.complexMode = true;
        gui.Activate();
    }

    /// The transition at the given elapsed time, rendered on a black screen.
    tFrame RenderAt(uint8_t kind, double elapsed, bool reverse = false)
    {
        tBasicTransition& t = system->Transition();
        t.kind = kind;
        t.from = from.get();
        t.to = to.get();
        t.duration = 1;
        t.reverse = reverse;
        t.elapsed = elapsed;
        t.active = true;
        system->Scene()->Viewport()->BeginFrame();
        gl->ClearBlack();
        t.Render();
        return Frame();
    }

    tCapturedLog log; // Finish notes the render textures it frees
    std::unique_ptr<tGuiSystem> system;
    std::unique_ptr<tGuiInterface> from;
    std::unique_ptr<tGuiInterface> to;
};

} // namespace

TEST_F(Transitions, ReverseCrossFadeStartsWithTheFromPictureTransparent)
{
    system->Draw(); // both scenes drawn and captured
    tFrame frame = RenderAt(tBasicTransition::kCrossFade, 0, true);
    EXPECT_TRUE(PixelIs(frame, 160, 120, kBlue));
    EXPECT_TRUE(PixelIs(frame, 20, 220, kBlue));
    frame = RenderAt(tBasicTransition::kCrossFade, 0.5, true);
    EXPECT_TRUE(PixelIs(frame, 160, 120, PackRGBA(128, 0, 128), 3));
    frame = RenderAt(tBasicTransition::kCrossFade, 1, true); // the end: from opaque
    EXPECT_TRUE(PixelIs(frame, 160, 120, kRed));
    EXPECT_TRUE(PixelIs(frame, 300, 20, kRed));

    frame = RenderAt(tBasicTransition::kCrossFade, 0.25, false);
    EXPECT_TRUE(PixelIs(frame, 160, 120, PackRGBA(191, 0, 64), 3));
}

TEST_F(Transitions, SlideAndPush)
{
    system->Draw();
    // Slide: both move right; the incoming picture comes in over the outgoing one.
    tFrame frame = RenderAt(tBasicTransition::kSlide, 0.5);
    EXPECT_TRUE(PixelIs(frame, 80, 120, kBlack));
    EXPECT_TRUE(PixelIs(frame, 240, 120, kBlue));
    // Push: the incoming picture pushes the outgoing one out to the right.
    frame = RenderAt(tBasicTransition::kPush, 0.25);
    EXPECT_TRUE(PixelIs(frame, 40, 120, kBlue));
    EXPECT_TRUE(PixelIs(frame, 120, 120, kRed));
    EXPECT_TRUE(PixelIs(frame, 300, 120, kRed));
}

TEST_F(Transitions, ZoomsShowTheOutgoingPictureFirst)
{
    system->Draw();
    for (uint8_t kind : {tBasicTransition::kZoom, tBasicTransition::kZoomTurn}) {
        SCOPED_TRACE(int(kind));
        EXPECT_TRUE(PixelIs(RenderAt(kind, 0), 160, 120, kRed));
        EXPECT_TRUE(PixelIs(RenderAt(kind, 1), 160, 120, kBlue));
    }
}

TEST_F(Transitions, PageTurnFocusAndFloorEndOnTheIncomingPicture)
{
    system->Draw();
    // Page turn: flat at the start, edge-on at the end.
    tFrame frame = RenderAt(tBasicTransition::kPageTurn, 0);
    EXPECT_TRUE(PixelIs(frame, 160, 120, kRed));
    EXPECT_TRUE(PixelIs(frame, 5, 120, kRed));
    frame = RenderAt(tBasicTransition::kPageTurn, 0.5);
    EXPECT_TRUE(PixelIs(frame, 310, 120, kBlue)); // the turning page has left the right edge
    EXPECT_TRUE(PixelIs(frame, 20, 120, kRed));
    frame = RenderAt(tBasicTransition::kPageTurn, 0.999);
    EXPECT_TRUE(PixelIs(frame, 160, 120, kBlue));

    // Focus: a uniform picture stays uniform under the blur; at the end it is sharp.
    frame = RenderAt(tBasicTransition::kFocus, 0.5);
    EXPECT_TRUE(PixelIs(frame, 160, 120, kBlue, 4));
    frame = RenderAt(tBasicTransition::kFocus, 1);
    EXPECT_TRUE(PixelIs(frame, 160, 120, kBlue));

    // Floor: the picture stands in place at the start; the incoming one covers all at the end.
    frame = RenderAt(tBasicTransition::kFloor, 0);
    EXPECT_TRUE(PixelIs(frame, 160, 120, kRed));
    frame = RenderAt(tBasicTransition::kFloor, 1);
    EXPECT_TRUE(PixelIs(frame, 160, 120, kBlue));
    EXPECT_TRUE(PixelIs(frame, 160, 230, kBlue));
}

TEST_F(Transitions, NothingIsDrawnWithoutRenderTextures)
{
    system->Draw();
    to->Scene()->Viewport()->DisableRenderTexture();
    EXPECT_TRUE(PixelIs(RenderAt(tBasicTransition::kCrossFade, 0.5), 160, 120, kBlack));
    for (uint8_t kind : {0, 2, 3, 11})
        EXPECT_TRUE(PixelIs(RenderAt(kind, 0.5), 160, 120, kBlack)) << int(kind);
}

TEST_F(Transitions, ComplexModeWithoutRenderTextureWarns)
{
    from->Scene()->Viewport()->DisableRenderTexture();
    gl->ClearBlack();
    from->Draw();
    EXPECT_TRUE(PixelIs(Frame(), 160, 120, kBlack)); // nothing drawn
    EXPECT_TRUE(log.FileContains("Complex mode not supported on this gui interface"));
    from->complexMode = false; // plain mode draws the scene straight away
    from->Draw();
    EXPECT_TRUE(PixelIs(Frame(), 160, 120, kRed));
}

TEST_F(Transitions, FinishEndsComplexModeAndFreesTheRenderTextures)
{
    tBasicTransition& t = system->Transition();
    t.kind = tBasicTransition::kCrossFade;
    t.from = from.get();
    t.to = to.get();
    t.duration = 0.5;
    t.active = true;
    system->Advance(0.6);
    EXPECT_FALSE(t.active);
    EXPECT_FALSE(from->complexMode);
    EXPECT_FALSE(to->complexMode);
    EXPECT_EQ(from->Scene()->Viewport()->renderTexture, nullptr);
    EXPECT_EQ(to->Scene()->Viewport()->renderTexture, nullptr);
    EXPECT_EQ(from->state, tGuiInterface::kInactive);
    EXPECT_EQ(to->state, tGuiInterface::kActive);
}
