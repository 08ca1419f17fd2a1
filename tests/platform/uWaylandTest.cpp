// The saver's own Wayland client on a Wayland desktop of the test's own
// (headless sway with two outputs side by side): outputs as they come and
// go, surfaces on the desktop's layers drawn with OpenGL, keys and pointer,
// and copies of what an output shows.
#include "uWayland.h"

#include "ChildProcess.h"
#include "WaylandSession.h"

#include <GL/gl.h>

#include <gtest/gtest.h>

#include <map>
#include <tuple>

using namespace std::chrono_literals;

namespace {

class WaylandClient : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session.Valid()) << session.Log();
        client = std::make_unique<tWaylandClient>(session.Display());
    }

    /// Dispatches events until the condition holds (at most 10 s).
    template <class F>
    bool Pump(F&& condition)
    {
        return WaitUntil(
            [&] {
                client->DispatchWaiting(10);
                return condition();
            },
            10s);
    }

    /// One frame of a single colour (0xRRGGBB) on the surface.
    void Fill(tWaylandSurface& surface, tGLContext& context, uint32_t colour)
    {
        surface.BeginFrame();
        ASSERT_TRUE(context.MakeCurrent());
        glClearColor(static_cast<float>(colour >> 16 & 0xFF) / 255, static_cast<float>(colour >> 8 & 0xFF) / 255,
                     static_cast<float>(colour & 0xFF) / 255, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        std::string reason;
        ASSERT_TRUE(context.SwapBuffers(reason)) << reason;
        client->Dispatch();
    }

    /// Polls the output's screenshot until nearly all of it is the colour.
    bool Shows(const std::string& output, uint32_t colour)
    {
        return WaitUntil(
            [&] {
                client->Dispatch();
                const tScreenShot shot = session.Shot(output);
                return !shot.Empty() && shot.Count(colour, 2) > static_cast<int>(shot.pixels.size() * 99 / 100);
            },
            10s);
    }

    tWaylandSession session{2};
    std::unique_ptr<tWaylandClient> client;
};

} // namespace

TEST_F(WaylandClient, OutputsAndTheirPlaces)
{
    EXPECT_TRUE(client->HasLayerShell());
    EXPECT_TRUE(client->HasXdgShell());
    EXPECT_TRUE(client->HasScreenCopy());
    const std::vector<tWaylandOutput> outputs = client->Outputs();
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[0].name, "HEADLESS-1");
    EXPECT_EQ(outputs[1].name, "HEADLESS-2");
    EXPECT_EQ(outputs[1].x - outputs[0].x, 1280) << "side by side";
    for (const tWaylandOutput& output : outputs) {
        EXPECT_EQ(output.width, 1280);
        EXPECT_EQ(output.height, 720);
        EXPECT_GT(output.refreshMilliHz, 0);
    }

    std::vector<std::string> added;
    std::vector<uint32_t> removed;
    client->onOutputAdded = [&](const tWaylandOutput& output) { added.push_back(output.name); };
    client->onOutputRemoved = [&](uint32_t id) { removed.push_back(id); };
    ASSERT_TRUE(session.Command("create_output"));
    ASSERT_TRUE(Pump([&] { return !added.empty(); }));
    EXPECT_EQ(added[0], "HEADLESS-3");
    ASSERT_EQ(client->Outputs().size(), 3u);
    const uint32_t third = client->Outputs()[2].id;

    tWaylandSurface surface(*client, third, tSurfaceLayer::Overlay);
    ASSERT_TRUE(Pump([&] { return surface.Configured(); }));
    EXPECT_EQ(surface.Width(), client->Outputs()[2].width) << "a new output gets a surface like the others";
    // Headless sway 1.7 cannot take an output away ("Unsupported output
    // state fields" when disabling one), so the way back is the hosts'
    // tests' to check.
    EXPECT_TRUE(removed.empty());
}

TEST_F(WaylandClient, SurfacesCoverTheirOutputsAboveAndBelowWindows)
{
    struct tRun {
        std::unique_ptr<tWaylandSurface> surface;
        std::unique_ptr<tGLContext> context;
    };
    std::map<std::string, tRun> overlays;
    const uint32_t colours[] = {0xD02010, 0x10C040};
    int i = 0;
    for (const tWaylandOutput& output : client->Outputs()) {
        tRun& run = overlays[output.name];
        run.surface = std::make_unique<tWaylandSurface>(*client, output.id, tSurfaceLayer::Overlay);
        ASSERT_TRUE(Pump([&] { return run.surface->Configured(); }));
        EXPECT_EQ(run.surface->Width(), 1280);
        EXPECT_EQ(run.surface->Height(), 720);
        const tRect rect = WindowRect(run.surface->Window());
        EXPECT_EQ(rect.left, output.x);
        EXPECT_EQ(rect.right - rect.left, 1280);
        EXPECT_EQ(ScreenRefreshRate(run.surface->Window()), (output.refreshMilliHz + 500) / 1000);
        run.context = std::make_unique<tGLContext>(run.surface->Window());
        Fill(*run.surface, *run.context, colours[i++]);
    }
    EXPECT_TRUE(Shows("HEADLESS-1", colours[0]));
    EXPECT_TRUE(Shows("HEADLESS-2", colours[1]));

    // Another frame is welcome once the compositor has shown this one.
    tRun& first = overlays["HEADLESS-1"];
    EXPECT_TRUE(Pump([&] { return first.surface->FrameDue(); }));

    // A background below it stays hidden until the overlay goes.
    tWaylandSurface background(*client, client->Outputs()[0].id, tSurfaceLayer::Background);
    ASSERT_TRUE(Pump([&] { return background.Configured(); }));
    tGLContext backgroundContext(background.Window());
    Fill(background, backgroundContext, 0x2030B0);
    EXPECT_TRUE(Shows("HEADLESS-1", colours[0]));
    first.context.reset();
    first.surface.reset();
    EXPECT_TRUE(Shows("HEADLESS-1", 0x2030B0));
}

TEST_F(WaylandClient, WithoutLayersTheOverlayIsAFullScreenWindow)
{
    client->IgnoreLayerShell();
    const tWaylandOutput output = client->Outputs()[1];
    EXPECT_THROW(tWaylandSurface(*client, output.id, tSurfaceLayer::Background), std::runtime_error)
        << "a background needs the desktop's layers";
    tWaylandSurface surface(*client, output.id, tSurfaceLayer::Overlay);
    ASSERT_TRUE(Pump([&] { return surface.Configured() && surface.Width() == 1280; }));
    tGLContext context(surface.Window());
    Fill(surface, context, 0xA05070);
    EXPECT_TRUE(Shows(output.name, 0xA05070));
}

TEST_F(WaylandClient, ASurfaceFollowsItsOutputsNewMode)
{
    tWaylandSurface surface(*client, client->Outputs()[0].id, tSurfaceLayer::Overlay);
    ASSERT_TRUE(Pump([&] { return surface.Configured(); }));
    tGLContext context(surface.Window());
    Fill(surface, context, 0x808000);
    ASSERT_TRUE(session.Command("output HEADLESS-1 mode 800x600"));
    ASSERT_TRUE(Pump([&] { return surface.Width() == 800; }));
    // A frame swapped without drawing after the size changed must not
    // overrun the new, smaller buffers.
    EXPECT_TRUE(surface.BeginFrame()) << "the new size applies to this frame";
    std::string reason;
    EXPECT_TRUE(context.SwapBuffers(reason)) << reason;
    Fill(surface, context, 0x0080C0);
    EXPECT_TRUE(Shows("HEADLESS-1", 0x0080C0));
    EXPECT_EQ(session.Shot("HEADLESS-1").width, 800);
}

TEST_F(WaylandClient, KeysAndPointerReachTheOverlay)
{
    std::vector<tWaylandKey> keys;
    std::tuple<int, int, bool> last;
    client->onKey = [&](const tWaylandKey& key) { keys.push_back(key); };
    client->onPointer = [&](int x, int y, bool moved) { last = {x, y, moved}; };
    tWaylandSurface left(*client, client->Outputs()[0].id, tSurfaceLayer::Overlay);
    tWaylandSurface right(*client, client->Outputs()[1].id, tSurfaceLayer::Overlay);
    ASSERT_TRUE(Pump([&] { return left.Configured() && right.Configured(); }));
    tGLContext leftContext(left.Window()), rightContext(right.Window());
    Fill(left, leftContext, 0x404040);
    Fill(right, rightContext, 0x404040);
    ASSERT_TRUE(Shows("HEADLESS-2", 0x404040));

    const auto typing = session.StartTyping({"-P", "Shift_L", "-p", "Shift_L", "q"});
    ASSERT_TRUE(Pump([&] { return keys.size() >= 4; }));
    EXPECT_EQ(typing->Wait(), 0);
    EXPECT_EQ(keys[0].virtualKey, 0x10u);
    EXPECT_TRUE(keys[0].down);
    EXPECT_TRUE(keys[0].modifier);
    EXPECT_FALSE(keys[1].down);
    EXPECT_EQ(keys[2].virtualKey, static_cast<uint32_t>('Q'));
    EXPECT_TRUE(keys[2].down);
    EXPECT_FALSE(keys[2].modifier);

    // Onto the second output's surface (the pointer only arrives there),
    // over it (a move), then onto the first one's.
    ASSERT_TRUE(session.MovePointer(1280 + 300, 200));
    ASSERT_TRUE(Pump([&] { return last == std::make_tuple(1580, 200, false); }));
    ASSERT_TRUE(session.MovePointer(1280 + 310, 205));
    ASSERT_TRUE(Pump([&] { return last == std::make_tuple(1590, 205, true); }));
    ASSERT_TRUE(session.MovePointer(640, 100));
    EXPECT_TRUE(Pump([&] { return last == std::make_tuple(640, 100, false); }));
}

TEST_F(WaylandClient, CapturesWhatAnOutputShows)
{
    tWaylandSurface surface(*client, client->Outputs()[1].id, tSurfaceLayer::Overlay);
    ASSERT_TRUE(Pump([&] { return surface.Configured(); }));
    tGLContext context(surface.Window());
    Fill(surface, context, 0x3366CC);
    ASSERT_TRUE(Shows("HEADLESS-2", 0x3366CC));

    const std::optional<tBitmap> picture = client->CaptureOutput(client->Outputs()[1].id, 2000);
    ASSERT_TRUE(picture.has_value());
    ASSERT_TRUE(picture->Valid());
    EXPECT_EQ(picture->width, 1280);
    EXPECT_EQ(picture->height, 720);
    // B, G, R, A bytes.
    const size_t middle = (static_cast<size_t>(360) * 1280 + 640) * 4;
    EXPECT_NEAR(picture->pixels[middle + 0], 0xCC, 2);
    EXPECT_NEAR(picture->pixels[middle + 1], 0x66, 2);
    EXPECT_NEAR(picture->pixels[middle + 2], 0x33, 2);
    EXPECT_EQ(picture->pixels[middle + 3], 255);
    EXPECT_FALSE(client->CaptureOutput(12345, 100).has_value()) << "no such output";
}
