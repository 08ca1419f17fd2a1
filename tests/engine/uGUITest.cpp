#include "uAssert.h"
#include "uClock.h"
#include "uGUI.h"
#include "uParticle.h"
#include "uTimer.h"
#include "uUniverse.h"
#include "uViewPort.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

/// The global timer for the life of a test.
struct tGlobalTimerScope {
    tGlobalTimerScope() { CreateGlobalTimer(); }
    ~tGlobalTimerScope() { FreeGlobalTimer(); }
};

/// An interface that counts its draws.
class tCountingGui : public tGuiInterface {
public:
    tCountingGui(tGuiSystem& system, std::string name) : tGuiInterface(system, std::move(name)) {}
    void Draw() override { ++draws; }
    int draws = 0;
};

} // namespace

TEST(Gui, InterfacesJoinTheSystemTheyAreMadeFor)
{
    tGuiSystem first(nullptr);
    tGuiSystem second(nullptr);
    tGuiInterface a(first, "a");
    tGuiInterface b(second, "b");
    EXPECT_EQ(a.System(), &first);
    EXPECT_EQ(b.System(), &second);
    EXPECT_EQ(first.Count(), 1);
    EXPECT_EQ(first.IndexOf(&b), -1);
    EXPECT_EQ(second.IndexOf(&b), 0);
    EXPECT_EQ(a.Scene()->Viewport()->GL(), nullptr) << "a system without an interface draws nothing";
    ExpectAssertion([&] { first.Register(nullptr); }, "uGUI", 1001);
}

TEST(Gui, RegistrationFollowsInterfaceLifetime)
{
    tGlobalTimerScope timers;
    tGuiSystem system(nullptr);
    EXPECT_EQ(system.state, tGuiInterface::kActive);
    EXPECT_EQ(system.Scene()->Name(), "Unnamed Universe");
    EXPECT_EQ(system.speedFactor, 1.0);
    EXPECT_EQ(system.Count(), 0);
    auto main = std::make_unique<tGuiInterface>(system, "mainGui");
    auto ui = std::make_unique<tGuiInterface>(system, "uiGui");
    EXPECT_EQ(system.Count(), 2);
    EXPECT_EQ(system.Interface(0), main.get());
    EXPECT_EQ(system.Interface(1), ui.get());
    EXPECT_EQ(system.Interface(2), nullptr);
    EXPECT_EQ(system.IndexOf(ui.get()), 1);
    EXPECT_EQ(main->System(), &system);
    system.Register(main.get()); // already listed
    EXPECT_EQ(system.Count(), 2);

    EXPECT_EQ(main->state, tGuiInterface::kInactive);
    EXPECT_FALSE(main->complexMode);
    EXPECT_EQ(main->Scene()->Name(), "mainGui");
    tParticle* anchor = main->Anchor();
    ASSERT_NE(anchor, nullptr);
    EXPECT_EQ(anchor->Layer(), main->Scene()->BackLayer());
    EXPECT_EQ(anchor->position, (tVector2{0, 0}));
    EXPECT_EQ(anchor->sprite, nullptr);
    EXPECT_EQ(anchor->radius, 1.0);
    main->Activate();
    EXPECT_EQ(main->state, tGuiInterface::kActive);

    main.reset();
    EXPECT_EQ(system.Count(), 1);
    EXPECT_EQ(system.IndexOf(ui.get()), 0);
    system.Unregister(ui.get());
    EXPECT_EQ(system.Count(), 0);
    EXPECT_EQ(ui->System(), nullptr);
}

TEST(Gui, SystemTimersHangUnderTheGlobalTimer)
{
    tGlobalTimerScope timers;
    tTimer* global = GlobalTimer();
    {
        tGuiSystem system(nullptr);
        tTimer* root = global->FindChild("GUI-SYSTEM:");
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(root, system.SystemTimer());
        ASSERT_EQ(root->ChildCount(), 4);
        EXPECT_EQ(root->Child(0)->Name(), "GUI-Draw");
        EXPECT_EQ(root->Child(1)->Name(), "GUI-Advance");
        EXPECT_EQ(root->Child(2)->Name(), "GUI-Display");
        EXPECT_EQ(root->Child(3)->Name(), "GUI-Windows");
        system.Draw();
        system.Advance(0.01);
        system.Display();
        EXPECT_EQ(system.WindowsTimer()->startTime, 0); // never started
    }
    EXPECT_EQ(global->FindChild("GUI-SYSTEM:"), nullptr); // removed with the system
}

TEST(Gui, AdvanceMovesOnlyActiveInterfaces)
{
    tGlobalTimerScope timers;
    tGuiSystem system(nullptr);
    tCountingGui active(system, "active");
    tCountingGui shown(system, "shown");
    tCountingGui idle(system, "idle");
    active.Activate();
    shown.state = tGuiInterface::kShown;
    tParticle* movers[3];
    tCountingGui* guis[3] = {&active, &shown, &idle};
    for (int i = 0; i < 3; ++i) {
        movers[i] = new tParticle({0, 0}, nullptr, guis[i]->Scene(), {10, 0});
        guis[i]->Scene()->Sweep();
    }
    std::vector<double> hooks;
    int framesSeenByHook = -1;
    active.OnAdvance = [&](double dt) {
        hooks.push_back(dt);
        framesSeenByHook = active.Scene()->FrameCount();
    };
    shown.OnAdvance = [&](double dt) { hooks.push_back(-dt); };

    system.Advance(0.1);
    EXPECT_EQ(hooks, std::vector<double>{0.1});
    EXPECT_EQ(framesSeenByHook, 0); // called before the scene advances
    EXPECT_NEAR(static_cast<double>(movers[0]->position.x), 1, 1e-12);
    EXPECT_EQ(movers[1]->position.x, 0); // state 3: drawn, not moved
    EXPECT_EQ(movers[2]->position.x, 0);

    system.Draw();
    EXPECT_EQ(active.draws, 1);
    EXPECT_EQ(shown.draws, 1);
    EXPECT_EQ(idle.draws, 0);

    // Advance sweeps: a particle made now is live after the next frame.
    auto* late = new tParticle({0, 0}, nullptr, active.Scene(), {10, 0});
    system.Advance(0.1);
    EXPECT_EQ(late->position.x, 0);
    EXPECT_EQ(late->state, tElement::kLive);
}

TEST(Gui, NegativeOrUndefinedFrameTimeAdvancesNothing)
{
    tGlobalTimerScope timers;
    tGuiSystem system(nullptr);
    tGuiInterface gui(system, "gui");
    gui.Activate();
    int hooks = 0;
    gui.OnAdvance = [&](double) { ++hooks; };
    system.Transition().active = true;
    system.Transition().duration = 1;
    system.Transition().from = &gui;
    for (double dt : {-1.0, std::numeric_limits<double>::quiet_NaN()}) {
        system.Advance(dt);
        EXPECT_EQ(hooks, 0);
        EXPECT_EQ(gui.Scene()->FrameCount(), 0);
        EXPECT_EQ(system.Transition().elapsed, 0);
        EXPECT_EQ(system.AdvanceTimer()->state, tTimer::kStopped);
    }
    system.Advance(0.25);
    EXPECT_EQ(hooks, 1);
    EXPECT_EQ(system.Transition().elapsed, 0.25);
}

TEST(Gui, TransitionFinishesAndFreesRemoveMe)
{
    tCapturedLog log;
    tGlobalTimerScope timers;
    tGuiSystem system(nullptr);
    auto from = std::make_unique<tGuiInterface>(system, "outgoing");
    auto* doomed = new tGuiInterface(system, tBasicTransition::kRemoveMe); // handed to the transition
    from->Activate();
    doomed->Activate();
    from->complexMode = true;
    tBasicTransition& t = system.Transition();
    EXPECT_FALSE(t.active);
    EXPECT_EQ(t.kind, 0);
    EXPECT_EQ(t.color, PackRGBA(0, 0, 0, 255));
    t.kind = tBasicTransition::kCrossFade;
    t.from = from.get();
    t.to = doomed;
    t.duration = 0.5;
    t.active = true;
    EXPECT_EQ(system.Count(), 2);

    system.Advance(0.2);
    EXPECT_TRUE(t.active);
    EXPECT_NEAR(t.Progress(), 0.4, 1e-12);
    t.reverse = true;
    EXPECT_NEAR(t.Progress(), 0.6, 1e-12);
    system.Advance(0.3); // reaches the duration
    EXPECT_FALSE(t.active);
    EXPECT_FALSE(from->complexMode);
    EXPECT_EQ(from->state, tGuiInterface::kInactive);
    EXPECT_EQ(t.to, nullptr); // freed, and gone from the system
    EXPECT_EQ(system.Count(), 1);
    EXPECT_EQ(system.Interface(0), from.get());
    EXPECT_TRUE(log.FileContains("Disableing render texture on Viewport \"outgoing Viewport\""));
}

TEST(Gui, TransitionForgetsInterfacesThatGo)
{
    tGlobalTimerScope timers;
    tGuiSystem system(nullptr);
    auto* gui = new tGuiInterface(system, "temporary");
    system.Transition().from = gui;
    system.Transition().to = gui;
    delete gui;
    EXPECT_EQ(system.Transition().from, nullptr);
    EXPECT_EQ(system.Transition().to, nullptr);
}

TEST(Gui, RenderChecksItsInputs)
{
    tGlobalTimerScope timers;
    tGuiSystem system(nullptr);
    tGuiInterface gui(system, "gui");
    tBasicTransition& t = system.Transition();
    t.active = true;
    t.duration = 1;
    ExpectAssertion([&] { t.Render(); }, "uGUI", 317);
    t.from = &gui;
    t.duration = 0;
    ExpectAssertion([&] { t.Render(); }, "uGUI", 318);
    t.duration = 1;
    t.elapsed = -0.5;
    ExpectAssertion([&] { t.Render(); }, "uGUI", 319);
    t.active = false;
    t.from = nullptr;
    t.Render(); // inactive: nothing to check, nothing drawn
}

TEST(Gui, SystemDetachesInterfacesThatOutliveIt)
{
    tGlobalTimerScope timers;
    auto system = std::make_unique<tGuiSystem>(nullptr);
    auto gui = std::make_unique<tGuiInterface>(*system, "left over");
    system.reset();
    EXPECT_EQ(gui->System(), nullptr);
    gui.reset(); // must not reach the freed system
}
